#include "FakeHostWindow.h"

#include "TestWindowClass.h"

FakeHostWindow::FakeHostWindow(DWORD style, int width, int height)
{
    static const TestWindowClass windowClass(L"FakeHostWindow", windowProc, CS_DBLCLKS,
                                             LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    // Left hidden unless the style asks: under Wine without a window manager, destroying a shown
    // window waits two seconds for it to be withdrawn.
    hwnd_ = windowClass.create(L"", style, 40, 40, width, height);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    host_.hwnd = hwnd_;
    SetPropW(hwnd_, L"Ex_Wnd_Control", reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(host_.handle())));
}

FakeHostWindow::~FakeHostWindow()
{
    destroyWindow();
    host_.hwnd = nullptr;
    host_.firstControl = host_.lastControl = 0;
}

void FakeHostWindow::destroyWindow()
{
    if (!hwnd_)
        return;
    // From here on the derived harness may be gone: the window answers by DefWindowProc alone.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    RemovePropW(hwnd_, L"Ex_Wnd_Control");
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

LRESULT CALLBACK FakeHostWindow::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<FakeHostWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->handle(msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool FakeHostWindow::inTree(ControlHandle first, ControlHandle control) const
{
    for (ControlHandle c = first; c; c = Control::fromHandle(c)->nextSibling())
        if (c == control || inTree(Control::fromHandle(c)->firstChild(), control))
            return true;
    return false;
}

LRESULT FakeHostWindow::handle(UINT msg, WPARAM wParam, LPARAM lParam)
{
    const auto control = static_cast<ControlHandle>(wParam);
    switch (msg) {
    case WM_EX_EVENT:
        return host_.dispatchEventRecord(control, lParam);
    case WM_EX_MOVED:
        if (inTree(control))
            Control::fromHandle(control)->dispatchEvent(EV_MOVED, 0, 0);
        return 1;
    case WM_EX_INVALIDATE:
        return 0;
    default:
        return DefWindowProcW(hwnd_, msg, wParam, lParam);
    }
}
