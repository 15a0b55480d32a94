// Sections: lifetime · create and destroy · tree links · geometry · properties · events · paint · fade-in
#include "Control.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "HostWindow.h"
#include "Images.h"
#include "LiveControls.h"

namespace {

constexpr float geometryTolerance = 1e-7f;
// wParam of WM_EX_INVALIDATE: queue the rectangle, or redraw and present it at once.
constexpr WPARAM redrawQueued = 0;
constexpr WPARAM redrawNow = 1;
// A host that keeps refusing WM_EX_MOVED is given up on after this many 1 ms retries.
constexpr int maxMoveRetries = 1000;

bool differs(float a, float b)
{
    return std::fabs(a - b) > geometryTolerance;
}

LPARAM pointerParam(const void* pointer)
{
    return reinterpret_cast<LPARAM>(pointer);
}

HostWindow* hostOfWindow(HWND hwnd)
{
    return hwnd ? HostWindow::fromWindow(hwnd) : nullptr;
}

}  // namespace

// ---- lifetime ----

Control::~Control()
{
    // A derived class destroys itself first so that its own handleEvent sees EV_DESTROY; this is the safety net.
    if (handle_)
        destroy();
}

std::unique_ptr<Control> Control::clone() const
{
    auto copy = std::make_unique<Control>();
    copyBaseInto(*copy);
    return copy;
}

void Control::copyBaseInto(Control& copy) const
{
    copy.visible_ = visible_;
    copy.disabled_ = disabled_;
    copy.focusable_ = focusable_;
    copy.redrawEnabled_ = redrawEnabled_;
    copy.cursor_ = cursor_;
    copy.eventBindings_ = eventBindings_;
    copy.bounds_ = bounds_;
    copy.tooltipText_ = tooltipText_;
    copy.name_ = name_;
    copy.kind_ = kind_;
    copy.alpha_ = alpha_;
    copy.transitionInterval_ = transitionInterval_;
    copy.previousBounds_ = previousBounds_;
    copy.transitionFrames_ = transitionFrames_;
    copy.transitionFrame_ = transitionFrames_;
    copy.transitionParam_ = transitionParam_;
}

// ---- create and destroy ----

ControlHandle Control::create(ParentHandle parent, const RectF& bounds, int kind, bool visible,
                              std::optional<bool> focusable, CursorSpec cursor, int transitionInterval,
                              int transitionFrames, int transitionParam)
{
    const ControlHandle self = static_cast<ControlHandle>(reinterpret_cast<UINT_PTR>(this));
    if (handle_ == self)
        return handle_;

    // The parent is either an attached host window or a created control of a live host.
    HWND parentWindow = reinterpret_cast<HWND>(static_cast<UINT_PTR>(parent));
    HostWindow* host = parent ? hostOfWindow(parentWindow) : nullptr;
    Control* parentControl = nullptr;
    if (!host) {
        // Read through only when it names a live control: a stale window handle is no address.
        if (!LiveControls::contains(parent))
            return 0;  // no parent, a window without a host, or nothing at all
        parentControl = fromHandle(parent);
        if (parentControl == this || parentControl->handle_ != parent || !parentControl->host_)
            return 0;
        parentWindow = parentControl->hostWindow_;
        HostWindow* parentsHost = hostOfWindow(parentWindow);
        if (!parentsHost || parentControl->host_ != parentsHost->handle())
            return 0;  // the parent belongs to another (or no longer attached) host window
        host = parentsHost;
    }

    hostWindow_ = parentWindow;
    bounds_ = bounds;
    cursor_ = cursor.isResourceId ? LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(cursor.value))
                                  : reinterpret_cast<HCURSOR>(cursor.value);
    tooltipText_.clear();
    parent_ = 0;
    alpha_ = 255;
    kind_ = kind;
    visible_ = visible;
    focusable_ = focusable.value_or(true);
    disabled_ = false;
    redrawEnabled_ = true;
    prevSibling_ = nextSibling_ = 0;
    firstChild_ = lastChild_ = 0;
    handle_ = self;
    host_ = host->handle();
    LiveControls::add(self);

    if (parentControl)
        setParent(parent);
    else
        linkLast(&host->firstControl, &host->lastControl);

    makeBitmap();
    transitionInterval_ = transitionInterval;
    transitionFrames_ = transitionFrames;
    transitionParam_ = transitionParam;
    // Idle means transitionFrame == transitionFrames; anything else reads as a running fade-in to the host.
    transitionFrame_ = transitionFrames;
    if (visible_)
        host->noteLayoutChange();

    sendEvent(EV_CREATE, reinterpret_cast<WPARAM>(bitmap_), pointerParam(graphics_));
    if (handle_ == self)
        sendEvent(EV_PAINT, reinterpret_cast<WPARAM>(bitmap_), pointerParam(graphics_));
    return handle_;
}

void Control::destroy()
{
    if (!handle_ || !host_)
        return;
    const ControlHandle self = handle_;
    HostWindow* host = hostObject();

    // The repaint is sent, not posted: a posted one would read the bounds after they were zeroed below.
    const bool wasVisible = visible_;
    visible_ = false;
    if (wasVisible && IsWindow(hostWindow_))
        SendMessageW(hostWindow_, WM_EX_INVALIDATE, redrawNow, pointerParam(&bounds_));

    for (ControlHandle child = firstChild_; child;) {
        Control* c = fromHandle(child);
        child = c->nextSibling_;
        c->destroy();
    }

    handleEvent(EV_DESTROY, 0, 0);
    if (handle_ != self)
        return;  // the class destroyed it again from its own handler

    KillTimer(hostWindow_, self + 1);
    if (host) {
        if (host->pressedControl == self) {
            host->pressedControl = 0;
            if (host->pressed && GetCapture() == hostWindow_)
                ReleaseCapture();  // the press can no longer end on this control
            host->pressed = false;
        }
        if (host->focusedControl == self)
            host->focusedControl = 0;
        if (host->hoverControl == self) {
            host->hoverControl = 0;
            host->setControlTooltip(self, std::string());
        }
        if (host->keyboardFocus == self)
            host->keyboardFocus = 0;
        host->removeAccelerators(self);
        if (wasVisible)
            host->noteLayoutChange();
    }
    LiveControls::remove(self);

    unlink();
    tooltipText_.clear();
    name_.clear();
    releaseBitmap();
    if (transitionSnapshot_)
        GDIP(GdipDisposeImage)(transitionSnapshot_);
    eventBindings_.clear();

    hostWindow_ = nullptr;
    handle_ = 0;
    parent_ = 0;
    visible_ = disabled_ = focusable_ = redrawEnabled_ = false;
    cursor_ = nullptr;
    bounds_ = {};
    kind_ = 0;
    firstChild_ = lastChild_ = prevSibling_ = nextSibling_ = 0;
    transitionFrame_ = 0;
    transitionSnapshot_ = nullptr;
    host_ = 0;
    alpha_ = 0;
    transitionInterval_ = 0;
    previousBounds_ = {};
    transitionFrames_ = 0;
    transitionParam_ = 0;
}


// ---- tree links ----

void Control::setParent(ParentHandle newParent)
{
    if (!handle_)
        return;
    HostWindow* host = hostObject();
    HWND asWindow = reinterpret_cast<HWND>(static_cast<UINT_PTR>(newParent));
    Control* parentControl = nullptr;
    if (newParent && asWindow != hostWindow_) {
        if (!LiveControls::contains(newParent))
            return;  // neither this host's window nor a live control
        parentControl = fromHandle(newParent);
        if (parentControl->host_ != host_)
            return;  // a control of another host
        for (Control* up = parentControl; up; up = up->parent_ ? fromHandle(up->parent_) : nullptr) {
            if (up == this)
                return;  // a control cannot become its own descendant
        }
    }

    unlink();
    if (parentControl) {
        parent_ = newParent;
        linkLast(&parentControl->firstChild_, &parentControl->lastChild_);
    } else {
        parent_ = 0;
        if (host)
            linkLast(&host->firstControl, &host->lastControl);
    }
    if (host && visible_)
        host->noteLayoutChange();
    invalidate();
}

bool Control::ownerList(ControlHandle*& first, ControlHandle*& last) const
{
    if (parent_) {
        Control* p = fromHandle(parent_);
        first = &p->firstChild_;
        last = &p->lastChild_;
        return true;
    }
    if (HostWindow* host = hostObject()) {
        first = &host->firstControl;
        last = &host->lastControl;
        return true;
    }
    return false;
}

void Control::unlink()
{
    ControlHandle* first = nullptr;
    ControlHandle* last = nullptr;
    ownerList(first, last);

    bool listed = false;
    if (first) {
        for (ControlHandle c = *first; c; c = fromHandle(c)->nextSibling_) {
            if (c == handle_) {
                listed = true;
                break;
            }
        }
    }
    if (listed) {
        if (prevSibling_)
            fromHandle(prevSibling_)->nextSibling_ = nextSibling_;
        else
            *first = nextSibling_;
        if (nextSibling_)
            fromHandle(nextSibling_)->prevSibling_ = prevSibling_;
        else
            *last = prevSibling_;
    }
    prevSibling_ = nextSibling_ = 0;
}

void Control::linkLast(ControlHandle* first, ControlHandle* last)
{
    prevSibling_ = *last;
    nextSibling_ = 0;
    if (*last)
        fromHandle(*last)->nextSibling_ = handle_;
    else
        *first = handle_;
    *last = handle_;
}

void Control::linkFirst(ControlHandle* first, ControlHandle* last)
{
    prevSibling_ = 0;
    nextSibling_ = *first;
    if (*first)
        fromHandle(*first)->prevSibling_ = handle_;
    else
        *last = handle_;
    *first = handle_;
}

void Control::setZOrder(std::optional<int> where, std::optional<bool> noRedraw)
{
    if (!handle_)
        return;
    ControlHandle* first = nullptr;
    ControlHandle* last = nullptr;
    if (!ownerList(first, last))
        return;
    unlink();
    if (where == ZOrderBottom)
        linkFirst(first, last);
    else
        linkLast(first, last);
    if (HostWindow* host = hostObject(); host && visible_)
        host->noteLayoutChange();
    if (!noRedraw.value_or(false))
        invalidate();
}

// ---- geometry ----

RectF Control::bounds(std::optional<RectF> value)
{
    if (value)
        move(value->x, value->y, value->width, value->height);
    return bounds_;
}

void Control::move(std::optional<float> x, std::optional<float> y, std::optional<float> width,
                   std::optional<float> height, bool noRedraw, bool forceRedraw)
{
    const RectF next{x.value_or(bounds_.x), y.value_or(bounds_.y), width.value_or(bounds_.width),
                     height.value_or(bounds_.height)};
    const bool moved = differs(next.x, bounds_.x) || differs(next.y, bounds_.y);
    const bool widthChanged = differs(next.width, bounds_.width);
    const bool heightChanged = differs(next.height, bounds_.height);
    if (!moved && !widthChanged && !heightChanged)
        return;
    if (!handle_) {
        bounds_ = next;
        return;
    }
    const ControlHandle self = handle_;

    previousBounds_ = bounds_;
    const SIZE before = bitmapSize();
    bounds_ = next;
    shiftDescendants(next.x - previousBounds_.x, next.y - previousBounds_.y);
    // Scaled, a move alone can change the bitmap's size by a pixel: its edges are rounded separately.
    const SIZE after = bitmapSize();
    const bool bitmapResized = before.cx != after.cx || before.cy != after.cy;

    if (widthChanged || (heightChanged && kind_ != KIND_NO_OWN_BITMAP) || bitmapResized) {
        releaseBitmap();
        makeBitmap();
        const auto w = static_cast<WPARAM>(wholePixels(bounds_.width));
        const auto h = static_cast<LPARAM>(wholePixels(bounds_.height));
        sendEvent(EV_RESIZE, w, h);
        if (handle_ != self)
            return;
        sendEvent(EV_PAINT, w, h);
        if (handle_ != self)
            return;
    }

    const LPARAM redraw = visible_ && (!noRedraw || forceRedraw) ? 1 : 0;
    HostWindow* host = hostObject();
    // The host refuses (0) only while its redraw lock is held. The lock is taken on the window's own
    // thread, which recomposes on release what it refused: waiting there could only wait for ever. Another
    // thread waits for the release; it gives up when the host is gone or never agrees.
    const bool onLockThread = GetWindowThreadProcessId(hostWindow_, nullptr) == GetCurrentThreadId();
    for (int tries = 0; SendMessageW(hostWindow_, WM_EX_MOVED, self, redraw) != 1; ++tries) {
        if (onLockThread || tries >= maxMoveRetries || !IsWindow(hostWindow_) ||
            HostWindow::fromWindow(hostWindow_) != host)
            break;
        Sleep(1);
        if (handle_ != self)
            break;
    }
}

void Control::shiftDescendants(float dx, float dy)
{
    for (ControlHandle c = firstChild_; c; c = fromHandle(c)->nextSibling_) {
        Control* child = fromHandle(c);
        child->bounds_.x += dx;
        child->bounds_.y += dy;
        child->shiftDescendants(dx, dy);
    }
}

float Control::left(std::optional<float> value)
{
    if (value && differs(*value, bounds_.x))
        move(*value, std::nullopt, std::nullopt, std::nullopt);
    return bounds_.x;
}

float Control::top(std::optional<float> value)
{
    if (value && differs(*value, bounds_.y))
        move(std::nullopt, *value, std::nullopt, std::nullopt);
    return bounds_.y;
}

float Control::width(std::optional<float> value)
{
    if (value && differs(*value, bounds_.width))
        move(std::nullopt, std::nullopt, *value, std::nullopt);
    return bounds_.width;
}

float Control::height(std::optional<float> value)
{
    if (value && differs(*value, bounds_.height))
        move(std::nullopt, std::nullopt, std::nullopt, *value);
    return bounds_.height;
}

// ---- properties ----

bool Control::visible(std::optional<bool> value)
{
    if (value && *value != visible_) {
        visible_ = *value;
        if (handle_) {
            if (HostWindow* host = hostObject())
                host->noteLayoutChange();
            sendEvent(visible_ ? EV_SHOW : EV_HIDE, 0, 0);
            invalidate();
        }
    }
    return visible_;
}

bool Control::disabled(std::optional<bool> value)
{
    if (value && *value != disabled_) {
        disabled_ = *value;
        if (handle_) {
            HostWindow* host = hostObject();
            if (host && host->focusedControl == handle_) {
                host->focusedControl = 0;
                postEvent(EV_BLUR, 0, 0);
            }
            if (host)
                host->noteLayoutChange();
            postEvent(EV_MOUSE_LEAVE, 0, 0);
            invalidate();
        }
    }
    return disabled_;
}

bool Control::focusable(std::optional<bool> value)
{
    if (value)
        focusable_ = *value;
    return focusable_;
}

bool Control::hasFocus()
{
    const int answer = sendEvent(EV_QUERY_FOCUS, 0, 0);
    if (answer == -1) {
        HostWindow* host = hostObject();
        return handle_ && host && host->focusedControl == handle_;
    }
    return answer == 1;
}

int Control::repaint()
{
    return sendEvent(EV_PAINT, 0, 0);
}

void Control::invalidate()
{
    // The host reads the rectangle when the message arrives: the bounds of that moment.
    if (handle_)
        PostMessageW(hostWindow_, WM_EX_INVALIDATE, redrawNow, pointerParam(&bounds_));
}

std::string Control::tooltip(std::optional<std::string> text, bool apply)
{
    if (text) {
        tooltipText_ = *text;
        if (apply)
            applyTooltip(tooltipText_);
    }
    return tooltipText_;
}

void Control::applyTooltip(const std::string& text)
{
    if (HostWindow* host = hostObject(); host && handle_)
        host->setControlTooltip(handle_, text);
}

int Control::alpha(std::optional<int> value, bool redraw, bool defer)
{
    if (value) {
        alpha_ = std::clamp(*value, 0, 255);
        sendEvent(EV_ALPHA, 0, alpha_);
        if (redraw || !defer)
            invalidate();
    }
    return alpha_;
}

int Control::transitionFrames(std::optional<int> frames, std::optional<int> interval)
{
    if (frames) {
        const bool idle = transitionFrame_ == transitionFrames_;
        transitionFrames_ = *frames;
        if (idle)
            transitionFrame_ = transitionFrames_;
    }
    if (interval)
        transitionInterval_ = *interval;
    return transitionFrames_;
}

int Control::transitionInterval(std::optional<int> value)
{
    if (value)
        transitionInterval_ = *value;
    return transitionInterval_;
}

int Control::transitionParam(std::optional<int> value)
{
    if (value)
        transitionParam_ = *value;
    return transitionParam_;
}

HCURSOR Control::cursor(std::optional<CursorSpec> value)
{
    if (value)
        cursor_ = value->isResourceId ? LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(value->value))
                                      : reinterpret_cast<HCURSOR>(value->value);
    return cursor_;
}

std::string Control::name(std::optional<std::string> text)
{
    if (text)
        name_ = *text;
    return name_;
}

// ---- events ----

// The record belongs to the host that issued it: it takes it back when the message arrives, and frees
// what never arrived when its window goes.
int Control::sendEvent(int code, WPARAM wParam, LPARAM lParam)
{
    const HWND window = hostWindow_;
    HostWindow* host = hostOfWindow(window);
    if (!handle_ || !host)
        return 0;
    const LPARAM record = host->eventRecords.issue(code, wParam, lParam);
    const auto answer = static_cast<int>(SendMessageW(window, WM_EX_EVENT, handle_, record));
    // Not delivered (the send failed): freed here, unless the host went with its window meanwhile.
    if (hostOfWindow(window) == host)
        host->eventRecords.discard(record);
    return answer;
}

void Control::postEvent(int code, WPARAM wParam, LPARAM lParam)
{
    HostWindow* host = hostOfWindow(hostWindow_);
    if (!handle_ || !host)
        return;
    const LPARAM record = host->eventRecords.issue(code, wParam, lParam);
    if (!PostMessageW(hostWindow_, WM_EX_EVENT, handle_, record))
        host->eventRecords.discard(record);
}

void Control::bindEvent(int code, EventHandler handler)
{
    for (Binding& binding : eventBindings_) {
        if (binding.code == code) {
            binding = {code, handler, nullptr};
            return;
        }
    }
    eventBindings_.push_back({code, handler, nullptr});
}

void Control::bindEvent(int code, ChildEventHandler handler)
{
    for (Binding& binding : eventBindings_) {
        if (binding.code == code) {
            binding = {code, nullptr, handler};
            return;
        }
    }
    eventBindings_.push_back({code, nullptr, handler});
}

int Control::dispatchEvent(int code, WPARAM wParam, LPARAM lParam)
{
    const int answer = handleEvent(code, wParam, lParam);
    if (!handle_)
        return answer;
    const bool doubleClick = code == WM_LBUTTONDOWN && wParam == doubleClickMark;
    for (const Binding& binding : eventBindings_) {
        const bool matches = binding.code == EV_DOUBLE_CLICK ? doubleClick : binding.code == code;
        if (!matches)
            continue;
        // Copied first: the handler may rebind, hide, move or destroy this very control.
        const Binding call = binding;
        const ControlHandle self = handle_, parent = parent_;
        if (call.childHandler)
            call.childHandler(parent, self, code, wParam, lParam);
        else if (call.handler)
            call.handler(self, code, wParam, lParam);
        break;
    }
    return answer;
}

// ---- paint ----


bool Control::beginPaint(PaintContext& context, const RectF* rect, bool withFadeIn)
{
    HostWindow* host = hostObject();
    context.hostWindow = hostWindow_;
    context.graphics = graphics_;
    context.rect = rect ? *rect : RectF{0, 0, bounds_.width, bounds_.height};
    context.withFadeIn = withFadeIn;
    context.host = host;
    context.controlBitmap = bitmap_;
    if (!hostWindow_ || !host || !graphics_)
        return false;

    if (withFadeIn) {
        if (transitionSnapshot_) {
            GDIP(GdipDisposeImage)(transitionSnapshot_);
            transitionSnapshot_ = nullptr;
        }
        if (!host->redrawLock && transitionFrames_ && transitionInterval_) {
            KillTimer(hostWindow_, handle_ + 1);
            transitionFrame_ = transitionFrames_;  // the host now draws the old look plainly
            host->redrawIntoBackBuffer(bounds_);
            transitionSnapshot_ = host->cloneBackBufferArea(bounds_);
        }
        clearToTransparent(context.rect);
    }
    onBeginPaint(context);
    return true;
}

void Control::endPaint(PaintContext& context)
{
    onEndPaint(context);
    if (!context.withFadeIn || !redrawEnabled_ || !visible_ || !handle_)
        return;
    if (!transitionInterval_ || !transitionFrames_) {
        SendMessageW(hostWindow_, WM_EX_INVALIDATE, redrawQueued, pointerParam(&bounds_));
        return;
    }
    const ControlHandle self = handle_;
    transitionFrame_ = 0;
    sendEvent(EV_TRANSITION_START, 0, 0);
    if (handle_ == self)
        SetTimer(hostWindow_, self + 1, static_cast<UINT>(transitionInterval_), transitionTimerProc);
}

// ---- fade-in ----

void CALLBACK Control::transitionTimerProc(HWND hwnd, UINT msg, UINT_PTR id, DWORD time)
{
    Control* control = fromHandle(static_cast<ControlHandle>(id - 1));
    if (control->handle_ == id - 1 && control->hostWindow_ == hwnd)
        control->transitionTick();
    else
        KillTimer(hwnd, id);
}

void Control::transitionTick()
{
    if (!handle_)
        return;
    const ControlHandle self = handle_;
    transitionFrame_ += 1;
    SendMessageW(hostWindow_, WM_EX_INVALIDATE, redrawQueued, pointerParam(&bounds_));
    if (handle_ != self || transitionFrame_ < transitionFrames_)
        return;

    KillTimer(hostWindow_, self + 1);
    if (transitionSnapshot_) {
        GDIP(GdipDisposeImage)(transitionSnapshot_);
        transitionSnapshot_ = nullptr;
    }
    // Left at transitionFrames (idle): a frame of 0 would make the host draw a fade-in at its first frame.
    transitionFrame_ = transitionFrames_;
    sendEvent(EV_TRANSITION_END, 0, 0);
}
