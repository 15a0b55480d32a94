#include "TestHost.h"

namespace {
constexpr wchar_t className[] = L"PicturesTestHost";

void registerClassOnce()
{
    static const bool registered = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = className;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
}
}  // namespace

TestHost::TestHost(int width, int height) : host_(std::make_unique<HostWindow>())
{
    registerClassOnce();
    hwnd_ = CreateWindowExW(0, className, L"pictures", WS_OVERLAPPEDWINDOW, 40, 40, width, height, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    host_->hwnd = hwnd_;
    SetPropW(hwnd_, L"Ex_Wnd_Control", host_.get());
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TestHost::windowProc));
    // Left hidden unless a test needs a window state: under Wine without a window manager, destroying a
    // shown window waits two seconds for it to be withdrawn.
}

TestHost::~TestHost()
{
    pumpPending();
    RemovePropW(hwnd_, L"Ex_Wnd_Control");
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
    DestroyWindow(hwnd_);
    host_->hwnd = nullptr;
}

bool TestHost::pumpUntil(const std::function<bool()>& done, DWORD deadlineMs)
{
    const ULONGLONG deadline = GetTickCount64() + deadlineMs;
    while (!done()) {
        if (GetTickCount64() > deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        pumpPending();
    }
    return true;
}

void TestHost::pumpPending()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

LRESULT CALLBACK TestHost::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<TestHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->handle(msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool TestHost::inTree(ControlHandle first, ControlHandle control) const
{
    for (ControlHandle c = first; c; c = Control::fromHandle(c)->nextSibling())
        if (c == control || inTree(Control::fromHandle(c)->firstChild(), control))
            return true;
    return false;
}

LRESULT TestHost::handle(UINT msg, WPARAM wParam, LPARAM lParam)
{
    const auto control = static_cast<ControlHandle>(wParam);
    switch (msg) {
    case WM_EX_EVENT:
        return Control::dispatchEventRecord(control, lParam);
    case WM_EX_MOVED:
        if (inTree(host_->firstControl, control))
            Control::fromHandle(control)->dispatchEvent(EV_MOVED, 0, 0);
        return 1;
    case WM_EX_INVALIDATE:
        ++invalidations;
        return 0;
    case WM_TIMER:
        if (inTree(host_->firstControl, control)) {
            Control::fromHandle(control)->dispatchEvent(WM_TIMER, wParam, lParam);
            if (afterTick)
                afterTick(control);
        } else {
            strayTimers.push_back(wParam);
        }
        return 0;
    case WM_CLOSE:
        commands.push_back({msg, 0});
        return 0;
    case WM_SYSCOMMAND:
        commands.push_back({msg, wParam & 0xFFF0});
        return passSysCommands ? DefWindowProcW(hwnd_, msg, wParam, lParam) : 0;
    default:
        return DefWindowProcW(hwnd_, msg, wParam, lParam);
    }
}
