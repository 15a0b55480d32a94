// Sections: window procedure · message handlers · engine messages · mouse routing · hit test ·
// resize borders · keyboard · focus
#include <windowsx.h>

#include <algorithm>

#include "Control.h"
#include "HostWindow.h"
#include "LabelControl.h"
#include "RedrawQueue.h"
#include "Text.h"

namespace {
constexpr float hitTolerance = 1e-7f;

Control* controlOf(ControlHandle control)
{
    return Control::fromHandle(control);
}

// A control still created under the handle it was known by (destroy zeroes its handle).
bool isAlive(ControlHandle control)
{
    return control && controlOf(control)->handle() == control;
}

bool isShown(ControlHandle control)
{
    return isAlive(control) && controlOf(control)->isVisible();
}

bool isShownAndEnabled(ControlHandle control)
{
    return isShown(control) && !controlOf(control)->isDisabled();
}

char foldCase(int key)
{
    const char c = static_cast<char>(key & 0xFF);
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool insideBounds(const RectF& r, float x, float y)
{
    return x - r.x >= -hitTolerance && y - r.y >= -hitTolerance && r.x + r.width - x > hitTolerance &&
           r.y + r.height - y > hitTolerance;
}

bool containsControl(ControlHandle first, ControlHandle wanted)
{
    for (ControlHandle c = first; c; c = controlOf(c)->nextSibling()) {
        if (c == wanted || containsControl(controlOf(c)->firstChild(), wanted))
            return true;
    }
    return false;
}
}  // namespace

// ---- window procedure ----

LRESULT CALLBACK HostWindow::thunkWindowProc(HWND host, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return fromHandle(static_cast<HostHandle>(reinterpret_cast<UINT_PTR>(host)))->windowProc(msg, wParam, lParam);
}

LRESULT HostWindow::windowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // Kept apart: WM_DESTROY detaches (clearing both) before the message is passed on.
    const HWND window = hwnd;
    const WNDPROC previous = previousWndProc;
    // The redraw queue only runs on this thread and sends no messages while busy, so it is idle whenever
    // a message is passed on; waiting for it here could only deadlock a re-entrant call.
    auto passOn = [&]() -> LRESULT {
        return previous ? CallWindowProcW(previous, window, msg, wParam, lParam)
                        : DefWindowProcW(window, msg, wParam, lParam);
    };

    if (onMessage) {
        const LRESULT answer = onMessage(window, msg, wParam, lParam);
        if (answer != -1)
            return answer;
    }

    switch (msg) {
    case WM_DESTROY:
        detach(window);
        return passOn();
    case WM_SIZE:
        onSize(window, wParam);
        return passOn();
    case WM_ACTIVATE:
        handleActivate(wParam, lParam);
        return passOn();
    case WM_SETTEXT: {
        const LRESULT result = passOn();
        if (result == 1)
            handleSetText(lParam);
        return result;
    }
    case WM_PAINT:
        handlePaint();
        return passOn();
    case WM_CLOSE:
        handleClose();
        return passOn();
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) != window)
            return passOn();
        handleSetCursor();
        return 1;
    case WM_GETMINMAXINFO:
        handleGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_STYLECHANGED:
        handleStyleChanged();
        return passOn();
    case WM_NCCALCSIZE:
        // The whole window is client area: the engine draws its own frame.
        return wParam == TRUE ? 1 : passOn();
    case WM_NCACTIVATE:
        return 1;
    case WM_KEYDOWN:
        onKeyDown(msg, wParam, lParam);
        return passOn();
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_IME_COMPOSITION:
    case WM_COMMAND:
    case WM_MOUSEWHEEL:
        forwardToFocused(msg, wParam, lParam);
        return passOn();
    case WM_SYSCHAR:
        return onSysChar(msg, wParam, lParam) ? 0 : passOn();
    case WM_TIMER:
        handleTimer(wParam, lParam);
        return passOn();
    case WM_MOUSEMOVE:
        trackMouseLeave();
        onMouse(msg, wParam, lParam);
        return passOn();
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        onMouse(msg, wParam, lParam);
        return passOn();
    case WM_LBUTTONDBLCLK:
        SendMessageW(window, WM_LBUTTONDOWN, doubleClickMark, lParam);
        return 0;
    case WM_MOUSELEAVE:
        handleMouseLeave(wParam, lParam);
        return passOn();
    case WM_CAPTURECHANGED:
        // Someone else took the mouse (a handler opened a modal dialog): the press is over, and the
        // pressed control loses its hover look.
        if (pressed && reinterpret_cast<HWND>(lParam) != window) {
            pressed = false;
            pressedControl = 0;
            handleMouseLeave(0, 0);
        }
        return passOn();
    case WM_EX_FOCUS:
        if (lParam)
            setFocus(static_cast<ControlHandle>(lParam), false);
        return passOn();
    case WM_EX_SET_ACCELERATOR:
        return setAccelerator(static_cast<int>(wParam), static_cast<ControlHandle>(lParam));
    case WM_EX_PRESENT_LAYERED:
        presentLayered();
        return passOn();
    case WM_EX_INVALIDATE:
        if (lParam)
            invalidate(*reinterpret_cast<const RectF*>(lParam), static_cast<int>(wParam));
        return wParam == RedrawNow ? 0 : passOn();
    case WM_EX_MOVED:
        return handleMoved(static_cast<ControlHandle>(wParam), lParam);
    case WM_EX_EVENT:
        return Control::dispatchEventRecord(static_cast<ControlHandle>(wParam), lParam);
    default:
        return passOn();
    }
}

// ---- message handlers ----

void HostWindow::handleActivate(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) != WA_INACTIVE) {
        dispatch(pressedControl, EV_FOCUS, wParam, lParam);
        return;
    }
    dispatch(hoverControl, EV_MOUSE_LEAVE, 0, lParam);
    if (pressed) {
        const ControlHandle control = pressedControl;
        pressed = false;
        dispatch(control, EV_BLUR, 0, lParam);
        ReleaseCapture();
    }
}

void HostWindow::handleSetText(LPARAM lParam)
{
    if (!(frameFlags & FRAME_CAPTION) || !captionLabel || !lParam)
        return;
    captionLabel->text(toAnsi(reinterpret_cast<const wchar_t*>(lParam)));
}

void HostWindow::handlePaint()
{
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    const RECT& r = ps.rcPaint;
    BitBlt(windowDC, r.left, r.top, r.right - r.left, r.bottom - r.top, backDC, r.left, r.top, SRCCOPY);
    EndPaint(hwnd, &ps);
}

void HostWindow::handleClose()
{
    playCloseAnimation();
    ShowWindow(hwnd, SW_HIDE);
}

void HostWindow::handleSetCursor()
{
    HCURSOR cursor = isAlive(hoverControl) ? controlOf(hoverControl)->currentCursor() : nullptr;
    SetCursor(cursor ? cursor : defaultCursor);
}

void HostWindow::handleGetMinMaxInfo(MINMAXINFO* info)
{
    if (!info)
        return;
    RECT work = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    info->ptMaxSize = {work.right - work.left + 14, work.bottom - work.top + 14};
    info->ptMaxPosition = {work.left - 7, work.top - 7};
    if (frameFlags == 0) {
        info->ptMinTrackSize.x = 21;
    } else {
        const int buttons = static_cast<int>(captionButtons.size());
        info->ptMinTrackSize.x = 28 * buttons + ((frameFlags & FRAME_CLOSE) ? 11 : 0) + 35 + 1;
    }
    info->ptMinTrackSize.y = frameFlags ? 38 : 20;
}

void HostWindow::handleStyleChanged()
{
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    if (style & (WS_DLGFRAME | WS_BORDER))
        SetWindowLongW(hwnd, GWL_STYLE, style & ~(WS_DLGFRAME | WS_BORDER));
}

void HostWindow::trackMouseLeave()
{
    if (trackingLeave & 1)
        return;
    TRACKMOUSEEVENT request = {sizeof request, TME_LEAVE, hwnd, 0};
    trackingLeave = TrackMouseEvent(&request);
}

void HostWindow::handleMouseLeave(WPARAM wParam, LPARAM lParam)
{
    trackingLeave = 0;
    // A tracked press keeps its capture, or its release outside the window would be lost.
    if (!pressed)
        ReleaseCapture();
    const ControlHandle left = hoverControl;
    if (!left)
        return;
    hoverControl = 0;
    const int kind = kindOf(left);
    dispatch(left, EV_MOUSE_LEAVE, wParam, lParam);
    if (onMouseLeave)
        onMouseLeave(hwnd, left, 0, 0, kind);
}

void HostWindow::forwardToFocused(UINT msg, WPARAM wParam, LPARAM lParam)
{
    dispatch(focusedControl, static_cast<int>(msg), wParam, lParam);
}

void HostWindow::handleTimer(WPARAM wParam, LPARAM lParam)
{
    // Only ids that name a control of this tree are control timers; the application may run timers of
    // its own on the same window, and their ids must not be taken for control addresses.
    const auto id = static_cast<ControlHandle>(wParam);
    if (id && containsControl(firstControl, id))
        dispatch(id, WM_TIMER, wParam, lParam);
}

// ---- engine messages ----

LRESULT HostWindow::handleMoved(ControlHandle control, LPARAM redraw)
{
    dispatch(control, EV_MOVED, 0, 0);
    if (redraw != 1 || !isAlive(control))
        return 1;
    const RectF before = controlOf(control)->previousBounds();
    const RectF after = controlOf(control)->currentBounds();
    if (redrawQueue && !redrawQueue->isIdle()) {
        // Inside a redraw pass: the running pass picks the rectangles up before it ends.
        redrawQueue->add(before, RedrawAppend);
        redrawQueue->add(after, RedrawAppend);
        return 1;
    }
    // A refusal is only for another thread, which can wait for the lock. Here the lock is held further
    // up this thread's stack (a paint pass or an animation step), so the sender would wait for ever;
    // redrawRect notes the refused repaint instead and the lock's holder recomposes on release.
    if (redrawLock && InSendMessage())
        return 0;
    redrawRect(before, true);
    redrawRect(after, true);
    return 1;
}

// ---- mouse routing ----

void HostWindow::onMouse(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (redrawLock || onResizeBorder(msg, lParam))
        return;
    if (pressed) {
        routeCapturedMouse(msg, wParam, lParam);
        return;
    }

    const float x = static_cast<float>(GET_X_LPARAM(lParam));
    const float y = static_cast<float>(GET_Y_LPARAM(lParam));
    const ControlHandle target = controlAt(lastControl, x, y);
    const ControlHandle old = hoverControl;
    // The slot follows the mouse before any handler runs, so a handler that destroys the control clears it.
    hoverControl = target;
    if (target != old && isShown(old)) {
        const int kind = kindOf(old);
        dispatch(old, EV_MOUSE_LEAVE, wParam, target);
        if (onMouseLeave)
            onMouseLeave(hwnd, old, wParam, lParam, kind);
    }

    switch (msg) {
    case WM_LBUTTONDOWN:
        routeLeftPress(target, wParam, lParam);
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: {
        HostControlHandler callback = msg == WM_RBUTTONDOWN ? onRightDown : onRightUp;
        if (callback)
            callback(hwnd, target, wParam, lParam, kindOf(target));
        break;
    }
    case WM_LBUTTONUP:
        // A press whose control was destroyed meanwhile leaves the capture behind.
        if (GetCapture() == hwnd)
            ReleaseCapture();
        break;
    case WM_MOUSEMOVE:
        if (target != old && isAlive(target)) {
            dispatch(target, EV_MOUSE_ENTER, wParam, old);
            if (onMouseEnter && isAlive(target))
                onMouseEnter(hwnd, target, wParam, lParam, kindOf(target));
            if (isAlive(target))
                setControlTooltip(target);
        }
        break;
    default:
        break;
    }

    if (isAlive(target))
        dispatch(target, static_cast<int>(msg), wParam, lParam);
}

void HostWindow::routeCapturedMouse(UINT msg, WPARAM wParam, LPARAM lParam)
{
    const ControlHandle pressedOne = pressedControl;
    // While captured the wParam slot carries the pressed control rather than Windows' key state.
    dispatch(pressedOne, static_cast<int>(msg), pressedOne, lParam);
    if (msg != WM_LBUTTONUP || !pressed)
        return;

    // Copied and cleared first: the handlers below may hide, move or destroy the pressed control.
    pressed = false;
    pressedControl = 0;
    if (onMouseUp)
        onMouseUp(hwnd, 0, wParam, lParam, 0);
    ReleaseCapture();
    const float x = static_cast<float>(GET_X_LPARAM(lParam));
    const float y = static_cast<float>(GET_Y_LPARAM(lParam));
    const ControlHandle target = controlAt(lastControl, x, y);
    const int hoverKind = kindOf(hoverControl);
    hoverControl = target;

    if (target && target == pressedOne) {
        const int kind = kindOf(target);
        dispatch(target, EV_CLICK, pressedOne, lParam);
        if (onClick)
            onClick(hwnd, target, wParam, lParam, kind);
        return;
    }
    if (!isShown(pressedOne))
        return;
    dispatch(pressedOne, EV_MOUSE_LEAVE, wParam, target);
    if (onMouseLeave)
        onMouseLeave(hwnd, pressedOne, wParam, lParam, hoverKind);
    if (!isAlive(target))
        return;
    dispatch(target, EV_MOUSE_ENTER, wParam, pressedOne);
    if (onMouseEnter && isAlive(target))
        onMouseEnter(hwnd, target, wParam, lParam, kindOf(target));
    if (isAlive(target))
        setControlTooltip(target);
}

void HostWindow::routeLeftPress(ControlHandle target, WPARAM wParam, LPARAM lParam)
{
    const bool doubleClick = wParam == doubleClickMark;
    const HWND focus = GetFocus();
    if (focus != hwnd) {
        if (focus)
            SendMessageW(focus, WM_KILLFOCUS, 0, 0);
        SetFocus(hwnd);
    }

    if (!target) {
        const float y = static_cast<float>(GET_Y_LPARAM(lParam));
        if (doubleClick) {
            if (y < 30 && (frameFlags & FRAME_MAXIMIZE))
                toggleMaximize();
        } else if (draggable_) {
            startWindowMove();
        }
        return;
    }

    if (takesPress(target)) {
        pressed = true;
        pressedControl = target;
        if (onMouseDown)
            onMouseDown(hwnd, target, wParam, lParam, kindOf(target));
        if (!isAlive(target) || pressedControl != target)
            return;
        if (controlOf(target)->isFocusable() && target != focusedControl)
            moveFocusByMouse(target, wParam, lParam);
        if (doubleClick && onDoubleClick && isAlive(target))
            onDoubleClick(hwnd, target, wParam, lParam, kindOf(target));
        if (pressed && pressedControl == target)
            SetCapture(hwnd);
        return;
    }

    if (doubleClick && (frameFlags & FRAME_CAPTION) && (frameFlags & FRAME_MAXIMIZE) && captionLabel &&
        target == captionLabel->handle()) {
        toggleMaximize();
        return;
    }
    if (!pressed && draggable_)
        startWindowMove();
}

bool HostWindow::takesPress(ControlHandle control)
{
    if (!isAlive(control))
        return false;
    if (dispatch(control, EV_QUERY_PRESS, 0, 0) != -1)
        return true;
    return isAlive(control) && controlOf(control)->isFocusable();
}

void HostWindow::moveFocusByMouse(ControlHandle target, WPARAM wParam, LPARAM lParam)
{
    const ControlHandle old = focusedControl;
    focusedControl = target;
    keyboardFocus = 0;
    if (old) {
        const int kind = kindOf(old);
        dispatch(old, EV_BLUR, wParam, target);
        if (onBlur)
            onBlur(hwnd, old, wParam, lParam, kind);
    }
    if (!isAlive(target) || focusedControl != target)
        return;
    dispatch(target, EV_FOCUS, wParam, old);
    if (onFocus && isAlive(target))
        onFocus(hwnd, target, wParam, lParam, kindOf(target));
}

void HostWindow::startWindowMove()
{
    // Windows runs its modal move loop until the button is released.
    SendMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void HostWindow::toggleMaximize()
{
    PostMessageW(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, 0);
    startWindowMove();
}

// ---- hit test ----

ControlHandle HostWindow::controlAt(ControlHandle last, float x, float y)
{
    for (ControlHandle c = last; c; c = controlOf(c)->prevSibling()) {
        const Control* control = controlOf(c);
        if (!control->isVisible() || control->isDisabled() || !insideBounds(control->currentBounds(), x, y))
            continue;
        const ControlHandle child = controlAt(control->lastChild(), x, y);
        return child ? child : c;
    }
    return 0;
}

int HostWindow::dispatch(ControlHandle control, int code, WPARAM wParam, LPARAM lParam)
{
    if (!isAlive(control))
        return 0;
    return controlOf(control)->dispatchEvent(code, wParam, lParam);
}

int HostWindow::kindOf(ControlHandle control)
{
    return isAlive(control) ? controlOf(control)->kind() : 0;
}

// ---- resize borders ----

int HostWindow::resizeZoneAt(int x, int y, int width, int height)
{
    if (y < 8)
        return x < 10 ? HTTOPLEFT : (width - x >= 10 ? HTTOP : HTTOPRIGHT);
    if (height - y < 10)
        return x < 10 ? HTBOTTOMLEFT : (width - x >= 10 ? HTBOTTOM : HTBOTTOMRIGHT);
    if (x < 8)
        return HTLEFT;
    if (width - x < 10)
        return HTRIGHT;
    return 0;
}

bool HostWindow::onResizeBorder(UINT msg, LPARAM lParam)
{
    if (!resizable || pressed || (msg != WM_MOUSEMOVE && msg != WM_LBUTTONDOWN) || IsZoomed(hwnd))
        return false;
    // Hit-test codes HTLEFT..HTBOTTOMRIGHT (10..17) minus 9 are the SC_SIZE directions 1..8.
    const int zone = resizeZoneAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), size.cx, size.cy);
    if (!zone)
        return false;
    const int code = zone - HTLEFT + 1;
    static const LPCSTR cursors[] = {IDC_SIZEWE,   IDC_SIZEWE, IDC_SIZENS,   IDC_SIZENWSE,
                                     IDC_SIZENESW, IDC_SIZENS, IDC_SIZENESW, IDC_SIZENWSE};
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(cursors[code - 1])));
    if (const ControlHandle left = hoverControl) {
        hoverControl = 0;
        dispatch(left, EV_MOUSE_LEAVE, 0, 0);
    }
    if (msg == WM_LBUTTONDOWN)
        SendMessageW(hwnd, WM_SYSCOMMAND, SC_SIZE | code, 0);
    return true;
}

// ---- keyboard ----

bool HostWindow::onKeyDown(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (focusedControl && dispatch(focusedControl, static_cast<int>(msg), wParam, lParam) != -1)
        return true;
    switch (wParam) {
    case VK_TAB:
        focusNextTopLevel();
        return true;
    case VK_RETURN:
    case VK_SPACE:
        clickFocused();
        return true;
    default:
        return false;
    }
}

void HostWindow::focusNextTopLevel()
{
    ControlHandle start = focusedControl ? focusedControl : firstControl;
    if (!start)
        return;
    while (controlOf(start)->parent())
        start = controlOf(start)->parent();
    auto next = [this](ControlHandle c) {
        const ControlHandle n = controlOf(c)->nextSibling();
        return n ? n : firstControl;
    };
    for (ControlHandle c = next(start);; c = next(c)) {
        const Control* control = controlOf(c);
        if (control->isVisible() && control->isFocusable() && !control->isDisabled() &&
            control->kind() != KIND_CAPTION_BUTTON) {
            if (c != focusedControl)
                setFocus(c, true);
            return;
        }
        if (c == start)
            return;
    }
}

void HostWindow::clickFocused()
{
    const ControlHandle control = focusedControl;
    if (!isShownAndEnabled(control))
        return;
    const int kind = kindOf(control);
    dispatch(control, EV_CLICK, 0, 0);
    if (onClick)
        onClick(hwnd, control, 0, 0, kind);
}

bool HostWindow::onSysChar(UINT msg, WPARAM wParam, LPARAM lParam)
{
    dispatch(focusedControl, static_cast<int>(msg), wParam, lParam);
    for (const Accelerator& entry : accelerators) {
        if (foldCase(entry.key) != foldCase(static_cast<int>(wParam)) || !isShownAndEnabled(entry.control))
            continue;
        // Copied: the click handler may change the accelerator table.
        const ControlHandle control = entry.control;
        const int kind = kindOf(control);
        dispatch(control, EV_CLICK, 0, 0);
        if (onClick)
            onClick(hwnd, control, wParam, lParam, kind);
        return true;
    }
    return false;
}

int HostWindow::setAccelerator(int key, ControlHandle control)
{
    auto entry = std::find_if(accelerators.begin(), accelerators.end(),
                              [key](const Accelerator& a) { return a.key == key; });
    if (!control) {
        if (entry != accelerators.end())
            accelerators.erase(entry);
    } else if (entry != accelerators.end()) {
        entry->control = control;
    } else {
        accelerators.push_back({key, control});
    }
    return 1;
}

// ---- focus ----

void HostWindow::setFocus(ControlHandle control, bool mark)
{
    if (!isAlive(control) || control == focusedControl)
        return;
    Control* target = controlOf(control);
    if (target->isDisabled() || !target->isVisible() || !target->isFocusable() ||
        target->kind() == KIND_CAPTION_BUTTON)
        return;
    const ControlHandle old = focusedControl;
    focusedControl = control;
    keyboardFocus = 0;
    if (isAlive(old))
        controlOf(old)->sendEvent(EV_BLUR, 0, control);
    if (mark)
        keyboardFocus = control;
    if (isAlive(control))
        target->sendEvent(EV_FOCUS, 0, old);
}
