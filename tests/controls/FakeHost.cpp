#include "FakeHost.h"

namespace {

const wchar_t* const className = L"ControlsFakeHost";

void registerClassOnce(WNDPROC proc)
{
    static const bool registered = [proc] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = className;
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

}  // namespace

FakeHost::FakeHost()
{
    registerClassOnce(windowProc);
    hwnd_ = CreateWindowExW(0, className, L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    host_.hwnd = hwnd_;
    SetPropW(hwnd_, L"Ex_Wnd_Control", reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(host_.handle())));
}

FakeHost::~FakeHost()
{
    destroyWindow();
    host_.hwnd = nullptr;
    host_.firstControl = host_.lastControl = 0;
}

void FakeHost::destroyWindow()
{
    if (!hwnd_)
        return;
    // Dropped, not dispatched: an invalidation may point into a control that no longer exists.
    MSG msg;
    while (PeekMessageW(&msg, hwnd_, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_EX_EVENT)
            delete reinterpret_cast<EventRecord*>(msg.lParam);
    }
    RemovePropW(hwnd_, L"Ex_Wnd_Control");
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

void FakeHost::pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool FakeHost::pumpUntil(const std::function<bool()>& done, DWORD limitMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > limitMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        pump();
    }
    return true;
}

void FakeHost::clearLog()
{
    events.clear();
    invalidations.clear();
    moves.clear();
}

std::vector<int> FakeHost::codesFor(ControlHandle control) const
{
    std::vector<int> codes;
    for (const HostEvent& e : events) {
        if (e.control == control)
            codes.push_back(e.code);
    }
    return codes;
}

LRESULT CALLBACK FakeHost::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<FakeHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    const auto control = static_cast<ControlHandle>(wParam);
    switch (msg) {
    case WM_EX_EVENT: {
        const auto* record = reinterpret_cast<const EventRecord*>(lParam);
        self->events.push_back({control, record->code, record->wParam, record->lParam});
        return Control::dispatchEventRecord(control, lParam);
    }
    case WM_EX_MOVED: {
        self->moves.push_back(lParam);
        if (Control* c = Control::fromHandle(control); c && c->handle() == control)
            c->dispatchEvent(EV_MOVED, 0, 0);
        LRESULT answer = 1;
        if (!self->movedAnswers.empty()) {
            answer = self->movedAnswers.front();
            self->movedAnswers.pop_front();
        }
        return answer;
    }
    case WM_EX_INVALIDATE:
        self->invalidations.push_back({wParam, *reinterpret_cast<const RectF*>(lParam)});
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}
