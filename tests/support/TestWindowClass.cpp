#include "TestWindowClass.h"

TestWindowClass::TestWindowClass(const wchar_t* name, WNDPROC procedure, UINT style, HCURSOR cursor)
    : name_(name)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = cursor;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

HWND TestWindowClass::create(const wchar_t* title, DWORD style, int x, int y, int width, int height) const
{
    HWND hwnd = CreateWindowExW(0, name_, title, style & ~WS_VISIBLE, x, y, width, height, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (hwnd && (style & WS_VISIBLE))
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    return hwnd;
}
