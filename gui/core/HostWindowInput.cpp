// Sections: window procedure · engine messages · message handlers · mouse routing · hover after layout
// changes · hit test · resize borders
#include <windowsx.h>

#include <algorithm>
#include <utility>

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


bool insideBounds(const RectF& r, float x, float y)
{
    return x - r.x >= -hitTolerance && y - r.y >= -hitTolerance && r.x + r.width - x > hitTolerance &&
           r.y + r.height - y > hitTolerance;
}

// Calls `visit` for every control of the list and their descendants until it answers true.
template <typename Visit>
bool forEachControl(ControlHandle first, const Visit& visit)
{
    for (ControlHandle c = first; c; c = controlOf(c)->nextSibling()) {
        if (visit(*controlOf(c)) || forEachControl(controlOf(c)->firstChild(), visit))
            return true;
    }
    return false;
}

bool containsControl(ControlHandle first, ControlHandle wanted)
{
    return forEachControl(first, [wanted](const Control& c) { return c.handle() == wanted; });
}
}  // namespace

// ---- window procedure ----

LRESULT CALLBACK HostWindow::thunkWindowProc(HWND host, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return fromHandle(static_cast<HostHandle>(reinterpret_cast<UINT_PTR>(host)))->windowProc(msg, wParam, lParam);
}

LRESULT HostWindow::windowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    ++dispatchDepth_;
    const LRESULT result = routeMessage(msg, wParam, lParam);
    // Hover is decided again only here, with no handler of this host on the stack.
    if (--dispatchDepth_ == 0) {
        if (hoverCheckDue_) {
            hoverCheckDue_ = false;
            if (hoverStale_)
                redecideHover();
        } else if (hoverStale_ && !pressed && !redrawLock) {
            postHoverCheck();  // a check that a press held back
        }
    }
    return result;
}

LRESULT HostWindow::routeMessage(UINT msg, WPARAM wParam, LPARAM lParam)
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
        forwardToFocused(msg, wParam, lParam);
        return passOn();
    case WM_MOUSEWHEEL:
        routeWheel(wParam, lParam);
        return passOn();
    case WM_SYSCHAR:
        return onSysChar(msg, wParam, lParam) ? 0 : passOn();
    case WM_TIMER:
        handleTimer(wParam, lParam);
        return passOn();
    case WM_MOUSEMOVE:
        trackMouseLeave();
        onMouse(msg, wParam, displayScale.pointToLogical(lParam));
        return passOn();
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        // From here on every position the engine and its handlers see is logical.
        onMouse(msg, wParam, displayScale.pointToLogical(lParam));
        return passOn();
    case WM_DPICHANGED:
        onDpiChanged(wParam, reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_LBUTTONDBLCLK:
        SendMessageW(window, WM_LBUTTONDOWN, doubleClickMark, lParam);
        return 0;
    case WM_MOUSELEAVE:
        handleMouseLeave(wParam, lParam);
        return passOn();
    case WM_CAPTURECHANGED:
        // Someone else took the mouse (a handler opened a modal dialog, a menu or a drag): the press is
        // over and the pressed control loses its hover look. The capture is theirs now: nothing is released.
        if (pressed && reinterpret_cast<HWND>(lParam) != window) {
            pressed = false;
            pressedControl = 0;
            leaveHover(0, 0);
        }
        return passOn();
    case WM_EX_FOCUS:
    case WM_EX_SET_ACCELERATOR:
    case WM_EX_PRESENT_LAYERED:
    case WM_EX_INVALIDATE:
    case WM_EX_MOVED:
    case WM_EX_EVENT:
    case WM_EX_HOVER_CHECK: {
        // Anyone may post these: a control or record is used only when this host knows it.
        const LRESULT answer = handleEngineMessage(msg, wParam, lParam);
        const bool passed = msg == WM_EX_FOCUS || msg == WM_EX_PRESENT_LAYERED ||
                            (msg == WM_EX_INVALIDATE && wParam != RedrawNow);
        return passed ? passOn() : answer;
    }
    default:
        return passOn();
    }
}

// ---- engine messages ----

LRESULT HostWindow::handleEngineMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_EX_FOCUS:
        if (isInTree(static_cast<ControlHandle>(lParam)))
            setFocus(static_cast<ControlHandle>(lParam), false);
        return 0;
    case WM_EX_SET_ACCELERATOR: {
        const auto control = static_cast<ControlHandle>(lParam);
        return control && !isInTree(control) ? 1 : setAccelerator(static_cast<int>(wParam), control);
    }
    case WM_EX_PRESENT_LAYERED:
        presentLayered();
        return 0;
    case WM_EX_INVALIDATE:
        if (const RectF* rect = boundsInTree(lParam))
            invalidate(*rect, static_cast<int>(wParam));
        return 0;
    case WM_EX_MOVED:
        // 1 for a stranger too: its sender must not wait for a redraw that will never come.
        return isInTree(static_cast<ControlHandle>(wParam)) ? handleMoved(static_cast<ControlHandle>(wParam), lParam)
                                                            : 1;
    case WM_EX_EVENT:
        return dispatchEventRecord(static_cast<ControlHandle>(wParam), lParam);
    case WM_EX_HOVER_CHECK:
        hoverCheckPosted_ = false;
        hoverCheckDue_ = true;
        return 0;
    default:
        return 0;
    }
}

bool HostWindow::isInTree(ControlHandle control) const
{
    return control && containsControl(firstControl, control);
}

const RectF* HostWindow::boundsInTree(LPARAM value) const
{
    // Only ever compared, never read: the address of some control's own bounds.
    const auto* wanted = reinterpret_cast<const RectF*>(value);
    const RectF* found = nullptr;
    forEachControl(firstControl, [&](const Control& c) {
        if (&c.currentBounds() == wanted)
            found = wanted;
        return found != nullptr;
    });
    return found;
}

int HostWindow::dispatchEventRecord(ControlHandle control, LPARAM record)
{
    const std::unique_ptr<EventRecord> owned = eventRecords.take(record);
    if (!owned || !isInTree(control))
        return 0;
    return controlOf(control)->dispatchEvent(owned->code, owned->wParam, owned->lParam);
}

LRESULT HostWindow::handleMoved(ControlHandle control, LPARAM redraw)
{
    dispatch(control, EV_MOVED, 0, 0);
    noteLayoutChange();
    if (redraw != 1 || !isAlive(control))
        return 1;
    // Refused under the lock: its holder, this window's thread, recomposes what was refused when it lets
    // go. Only a sender on another thread waits for that (Control::move).
    if (redrawLock) {
        redrawDropped_ = true;
        return 0;
    }
    // Inside a redraw pass these wait in the queue until the pass is over.
    const RectF before = controlOf(control)->previousBounds();
    const RectF after = controlOf(control)->currentBounds();
    redrawQueue->add(before, RedrawNow);
    redrawQueue->add(after, RedrawNow);
    return 1;
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
    info->ptMinTrackSize.x = displayScale.toDevice(static_cast<float>(info->ptMinTrackSize.x));
    info->ptMinTrackSize.y = displayScale.toDevice(static_cast<float>(info->ptMinTrackSize.y));
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
    // A tracked press keeps its capture, or its release outside the window would be lost; a capture
    // another window of this thread holds is not ours to release.
    if (!pressed && GetCapture() == hwnd)
        ReleaseCapture();
    leaveHover(wParam, lParam);
}

void HostWindow::leaveHover(WPARAM wParam, LPARAM lParam)
{
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

void HostWindow::routeWheel(WPARAM wParam, LPARAM lParam)
{
    // The wheel's position is in screen pixels.
    POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hwnd, &at);
    at = displayScale.toLogical(at);
    bool focusedWasOffered = false;
    for (ControlHandle c = controlAt(lastControl, static_cast<float>(at.x), static_cast<float>(at.y)); c;) {
        // Taken first: the handler may destroy the control.
        const ControlHandle up = controlOf(c)->parent();
        focusedWasOffered = focusedWasOffered || c == focusedControl;
        if (dispatch(c, WM_MOUSEWHEEL, wParam, lParam) != -1)
            return;
        c = isAlive(up) ? up : 0;
    }
    if (!focusedWasOffered)
        forwardToFocused(WM_MOUSEWHEEL, wParam, lParam);
}

void HostWindow::handleTimer(WPARAM wParam, LPARAM lParam)
{
    // Only ids that name a control of this tree are control timers; the application may run timers of
    // its own on the same window, and their ids must not be taken for control addresses.
    const auto id = static_cast<ControlHandle>(wParam);
    if (id && containsControl(firstControl, id))
        dispatch(id, WM_TIMER, wParam, lParam);
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

// ---- hover after layout changes ----

void HostWindow::noteLayoutChange()
{
    if (!previousWndProc)
        return;
    hoverStale_ = true;
    postHoverCheck();
}

void HostWindow::postHoverCheck()
{
    if (hoverCheckPosted_ || !hwnd)
        return;
    hoverCheckPosted_ = PostMessageW(hwnd, WM_EX_HOVER_CHECK, 0, 0) != FALSE;
}

void HostWindow::unlockRedraw()
{
    if (redrawLock > 0 && --redrawLock == 0 && hoverStale_)
        postHoverCheck();
}

// As if the mouse had moved where it rests: leave and enter, tooltip and cursor for the control now under it.
void HostWindow::redecideHover()
{
    // Under the lock input is not routed; a press decides the hover target when it ends.
    if (redrawLock || pressed)
        return;
    hoverStale_ = false;
    POINT at;
    if (!hwnd || !IsWindowVisible(hwnd) || !GetCursorPos(&at) || WindowFromPoint(at) != hwnd)
        return;
    ScreenToClient(hwnd, &at);
    at = displayScale.toLogical(at);
    if (controlAt(lastControl, static_cast<float>(at.x), static_cast<float>(at.y)) == hoverControl)
        return;
    WPARAM keys = 0;
    const std::pair<int, WPARAM> buttons[] = {{VK_LBUTTON, MK_LBUTTON}, {VK_RBUTTON, MK_RBUTTON},
                                              {VK_MBUTTON, MK_MBUTTON}, {VK_SHIFT, MK_SHIFT},
                                              {VK_CONTROL, MK_CONTROL}};
    for (const auto& [key, flag] : buttons)
        keys |= GetKeyState(key) < 0 ? flag : 0;
    // In a resize zone onMouse sets the border's cursor itself.
    const bool inResizeZone = resizable && !IsZoomed(hwnd) && resizeZoneAt(at.x, at.y, size.cx, size.cy) != 0;
    // Counted as a dispatch: a change made by the handlers below is decided on the next check.
    ++dispatchDepth_;
    trackMouseLeave();
    onMouse(WM_MOUSEMOVE, keys, MAKELPARAM(at.x, at.y));
    if (!inResizeZone && hwnd)
        handleSetCursor();
    --dispatchDepth_;
}

// ---- hit test ----

bool HostWindow::isAlive(ControlHandle control)
{
    return control && controlOf(control)->handle() == control;
}

bool HostWindow::isShown(ControlHandle control)
{
    return isAlive(control) && controlOf(control)->isVisible();
}

bool HostWindow::isShownAndEnabled(ControlHandle control)
{
    return isShown(control) && !controlOf(control)->isDisabled();
}

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
