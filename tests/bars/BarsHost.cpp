#include "BarsHost.h"

#include <windowsx.h>

namespace {
const wchar_t* const hostProp = L"BarsHost";

bool isLive(ControlHandle control)
{
    return control && Control::fromHandle(control)->handle() == control;
}

int dispatchTo(ControlHandle control, int code, WPARAM wParam, LPARAM lParam)
{
    return isLive(control) ? Control::fromHandle(control)->dispatchEvent(code, wParam, lParam) : 0;
}

}  // namespace

BarsHost::BarsHost()
{
    SetPropW(hwnd(), hostProp, this);
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BarsHost::windowProc)));
}

BarsHost::~BarsHost()
{
    if (IsWindow(hwnd())) {
        SetWindowLongPtrW(hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        RemovePropW(hwnd(), hostProp);
    }
}

void BarsHost::mouseMove(int x, int y)
{
    SendMessageW(hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

void BarsHost::mouseDown(int x, int y)
{
    SendMessageW(hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}

void BarsHost::mouseUp(int x, int y)
{
    SendMessageW(hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void BarsHost::routeMouse(UINT msg, WPARAM wParam, LPARAM lParam)
{
    HostWindow& h = host();
    const float x = static_cast<float>(GET_X_LPARAM(lParam)), y = static_cast<float>(GET_Y_LPARAM(lParam));
    if (h.pressed) {
        const ControlHandle pressed = h.pressedControl;
        dispatchTo(pressed, static_cast<int>(msg), pressed, lParam);
        if (msg != WM_LBUTTONUP)
            return;
        const ControlHandle r = HostWindow::controlAt(h.lastControl, x, y);
        if (r == pressed) {
            clicks.push_back(r);
            dispatchTo(r, EV_CLICK, pressed, lParam);
        } else {
            dispatchTo(pressed, EV_MOUSE_LEAVE, wParam, r);
            dispatchTo(r, EV_MOUSE_ENTER, wParam, pressed);
        }
        h.pressed = false;
        h.pressedControl = 0;
        h.hoverControl = r;
        return;
    }
    const ControlHandle r = HostWindow::controlAt(h.lastControl, x, y);
    const ControlHandle old = h.hoverControl;
    if (r != old && isLive(old))
        dispatchTo(old, EV_MOUSE_LEAVE, wParam, r);
    if (msg == WM_LBUTTONDOWN && isLive(r)) {
        Control* c = Control::fromHandle(r);
        if (c->dispatchEvent(EV_QUERY_PRESS, 0, 0) != -1 || c->isFocusable()) {
            h.pressed = true;
            h.pressedControl = r;
        }
    }
    if (msg == WM_MOUSEMOVE && r != old)
        dispatchTo(r, EV_MOUSE_ENTER, wParam, old);
    dispatchTo(r, static_cast<int>(msg), wParam, lParam);
    h.hoverControl = r;
}

LRESULT CALLBACK BarsHost::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<BarsHost*>(GetPropW(hwnd, hostProp));
    if (!self)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_TIMER:
        if (isLive(static_cast<ControlHandle>(wParam))) {
            self->timerTicks.push_back(wParam);
            dispatchTo(static_cast<ControlHandle>(wParam), WM_TIMER, wParam, lParam);
            return 0;
        }
        break;
    case WM_EX_SET_ACCELERATOR:
        self->accelerators.push_back({wParam, lParam});
        return self->host().setAccelerator(static_cast<int>(wParam), static_cast<ControlHandle>(lParam));
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        self->routeMouse(msg, wParam, lParam);
        return 0;
    default:
        break;
    }
    return CallWindowProcW(self->previous_, hwnd, msg, wParam, lParam);
}

void parkCursor()
{
    SetCursorPos(1270, 790);
}
