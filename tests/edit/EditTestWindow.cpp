#include "EditTestWindow.h"

#include <windowsx.h>

namespace {
const wchar_t* windowClass()
{
    static const wchar_t* name = [] {
        WNDCLASSW wc = {};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"EditTestWindow";
        RegisterClassW(&wc);
        return L"EditTestWindow";
    }();
    return name;
}
}  // namespace

EditTestWindow::EditTestWindow(int width, int height)
{
    hwnd = CreateWindowExW(0, windowClass(), L"Edit", WS_POPUP | WS_VISIBLE, 50, 50, width, height, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    HostAttachOptions options;
    options.backgroundColor = RGB(240, 240, 240);
    options.frameFlags = 0;
    options.blur = false;
    options.draggable = false;  // a press beside the controls would start a modal move loop
    host.attach(hwnd, options);
    pump();
}

EditTestWindow::~EditTestWindow()
{
    if (edit)
        edit->destroy();
    edit.reset();
    if (IsWindow(hwnd))
        DestroyWindow(hwnd);
    pump();
}

EditControl& EditTestWindow::add(int x, int y, int w, int h, const std::string& text, bool multiLine, int mode,
                                 bool focus)
{
    edit = std::make_unique<EditControl>();
    edit->create(parentWindow(hwnd), x, y, w, h, text, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                 std::nullopt, multiLine, mode);
    if (focus)
        host.setFocus(edit->handle(), false);
    pump();
    return *edit;
}

void EditTestWindow::type(const std::string& text)
{
    for (const char c : text)
        send(WM_CHAR, static_cast<unsigned char>(c), 0);
}

void EditTestWindow::click(int x, int y)
{
    send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    send(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void EditTestWindow::doubleClick(int x, int y)
{
    click(x, y);
    send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
    send(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void EditTestWindow::pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

HeldKey::HeldKey(int vk) : vk_(vk)
{
    GetKeyboardState(saved_);
    BYTE state[256];
    std::copy(std::begin(saved_), std::end(saved_), state);
    state[vk] |= 0x80;
    SetKeyboardState(state);
}

HeldKey::~HeldKey()
{
    SetKeyboardState(saved_);
}

void setClipboard(HWND owner, const std::string& text)
{
    if (!OpenClipboard(owner))
        return;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    char* bytes = static_cast<char*>(GlobalLock(memory));
    std::copy(text.begin(), text.end(), bytes);
    bytes[text.size()] = '\0';
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
}

std::string clipboard(HWND owner)
{
    std::string text;
    if (!OpenClipboard(owner))
        return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        text = static_cast<const char*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}
