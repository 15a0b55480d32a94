// The baseline of the installer's start-up benchmark: the least a GDI+ program does to show a window of
// the installer's size and place, filled on its first WM_PAINT with the installer's two panel colours.
#include <windows.h>

#include "Gdip.h"
#include "SystemDll.h"

namespace {

constexpr int windowX = 50, windowY = 50, windowWidth = 588, windowHeight = 438;
constexpr int panelSplit = 270;

void paintPanels(HDC dc)
{
    GpGraphics* graphics = nullptr;
    if (GDIP(GdipCreateFromHDC)(dc, &graphics) != Gdiplus::Ok)
        return;
    GpSolidFill* top = nullptr;
    GpSolidFill* bottom = nullptr;
    GDIP(GdipCreateSolidFill)(0xFF2C3848, &top);     // RGB(44,56,72)
    GDIP(GdipCreateSolidFill)(0xFF222C38, &bottom);  // RGB(34,44,56)
    GDIP(GdipFillRectangleI)(graphics, reinterpret_cast<GpBrush*>(top), 0, 0, windowWidth, panelSplit);
    GDIP(GdipFillRectangleI)(graphics, reinterpret_cast<GpBrush*>(bottom), 0, panelSplit, windowWidth,
                             windowHeight - panelSplit);
    GDIP(GdipDeleteBrush)(reinterpret_cast<GpBrush*>(top));
    GDIP(GdipDeleteBrush)(reinterpret_cast<GpBrush*>(bottom));
    GDIP(GdipDeleteGraphics)(graphics);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        paintPanels(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    restrictDllSearchPath();
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    BOUND_PROC(SystemDll::GdiPlus, decltype(&Gdiplus::GdiplusStartup), "GdiplusStartup")(&token, &input, nullptr);

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpszClassName = L"BenchInstallWindow";
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"bench", WS_POPUP | WS_VISIBLE, windowX, windowY, windowWidth,
                                  windowHeight, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
