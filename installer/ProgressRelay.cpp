#include "ProgressRelay.h"

namespace {

constexpr const char* relayClass = "FeijingProgressRelay";

void registerRelayClass(WNDPROC proc)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = relayClass;
    RegisterClassExA(&wc);  // already registered is fine
}

}  // namespace

ProgressRelay::ProgressRelay(Handler handler, Handler finished)
    : handler_(std::move(handler)), finished_(std::move(finished))
{
    registerRelayClass(&ProgressRelay::windowProc);
    window_ = CreateWindowExA(0, relayClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
    if (window_)
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ProgressRelay::~ProgressRelay()
{
    close();
    if (window_)
        DestroyWindow(window_);
}

bool ProgressRelay::deliver(int percent)
{
    if (closed_ || !window_)
        return false;
    return SendMessageA(window_, reportMessage, static_cast<WPARAM>(percent), 0) == 1;
}

bool ProgressRelay::deliverFinished(int outcome)
{
    if (closed_ || !window_)
        return false;
    return SendMessageA(window_, finishedMessage, static_cast<WPARAM>(outcome), 0) == 1;
}

void ProgressRelay::close()
{
    InterlockedExchange(&closed_, 1);
}

LRESULT CALLBACK ProgressRelay::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == reportMessage || message == finishedMessage) {
        auto* relay = reinterpret_cast<ProgressRelay*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        const Handler* handler = relay ? (message == reportMessage ? &relay->handler_ : &relay->finished_) : nullptr;
        if (!handler || relay->closed_ || !*handler)
            return 0;
        (*handler)(static_cast<int>(wParam));
        return 1;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
