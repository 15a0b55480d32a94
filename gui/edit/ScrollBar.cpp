// Sections: lifetime · creation and accessors · geometry · events · painting
#include "ScrollBar.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdint>

#include "Canvas.h"
#include "HostWindow.h"

namespace {

constexpr int fadeIntervalDefault = 60;  // ms
constexpr int hoverFadeFrames = 5;
constexpr float trackCorner = 6;
constexpr float arrowFrameCorner = 4;

constexpr ARGB blackAt(int alpha)
{
    return static_cast<ARGB>(alpha) << 24;
}

bool contains(const RectF& r, POINT p)
{
    const float x = static_cast<float>(p.x), y = static_cast<float>(p.y);
    return x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height;
}

bool sameRect(const RectF& a, const RectF& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

void fillAndFrame(GpGraphics* g, const RectF& rect, float corner, int fillAlpha, int frameAlpha)
{
    fillRoundedRect(g, rect, corner, blackAt(fillAlpha));
    strokeRoundedRect(g, rect, corner, blackAt(frameAlpha));
}

}  // namespace

// ---- lifetime ----

ScrollBar::~ScrollBar()
{
    // The base destructor can no longer reach this class's EV_DESTROY, which stops the repeat timer.
    destroy();
}

std::unique_ptr<Control> ScrollBar::clone() const
{
    auto copy = std::make_unique<ScrollBar>();
    copyBaseInto(*copy);
    copy->minimum_ = minimum_;
    copy->maximum_ = maximum_;
    copy->pageSize_ = pageSize_;
    copy->step_ = step_;
    copy->tracking_ = tracking_;
    copy->orientation_ = orientation_;
    copy->hoverEffect_ = hoverEffect_;
    copy->position_ = position_;
    copy->thumbLength_ = thumbLength_;
    copy->minusMinimum_ = minusMinimum_;
    copy->trackRect_ = trackRect_;
    copy->thumbRect_ = thumbRect_;
    copy->firstArrowRect_ = firstArrowRect_;
    copy->secondArrowRect_ = secondArrowRect_;
    copy->childHandler_ = childHandler_;
    copy->handler_ = handler_;
    return copy;
}

// ---- creation and accessors ----

ControlHandle ScrollBar::create(ParentHandle parent, int left, int top, int width, int height,
                                std::optional<int> position, std::optional<int> minimum, std::optional<int> maximum,
                                std::optional<int> pageSize, std::optional<int> step, std::optional<bool> tracking,
                                std::optional<int> orientation, std::optional<bool> hoverEffect,
                                std::optional<bool> visible)
{
    if (handle())
        return handle();
    minimum_ = minimum.value_or(0);
    maximum_ = maximum.value_or(100);
    pageSize_ = pageSize.value_or(10);
    step_ = step.value_or(1);
    tracking_ = tracking.value_or(true);
    orientation_ = orientation.value_or(Horizontal) == Vertical ? Vertical : Horizontal;
    hoverEffect_ = hoverEffect.value_or(true);
    minusMinimum_ = -minimum_;
    position_ = std::max(minimum_, std::min(position.value_or(minimum_), maximum_));
    pressedPart_ = PartNone;
    dragOffset_ = 0;
    lastDrawnPart_ = PartNone;
    lastDrawnThumb_ = {};
    layoutBar(width, height);
    return Control::create(parent, makeRectF(left, top, width, height), KIND_EDIT, visible.value_or(true), true,
                           CursorSpec::none(), fadeIntervalDefault, 0, 0);
}

int ScrollBar::position(std::optional<int> value)
{
    if (value) {
        // Below the minimum the thumb would start before the track.
        const int next = std::max(minimum_, std::min(*value, maximum_));
        if (next != position_) {
            position_ = next;
            placeThumb();
            repaint();
        }
    }
    return position_;
}

int ScrollBar::minimum(std::optional<int> value)
{
    if (value) {
        minimum_ = *value;
        minusMinimum_ = -minimum_;
        if (position_ < minimum_)
            position_ = minimum_;
        placeThumb();
        repaint();
    }
    return minimum_;
}

int ScrollBar::maximum(std::optional<int> value)
{
    if (value) {
        maximum_ = *value;
        position_ = std::max(minimum_, std::min(position_, maximum_));
        updateThumb();
        placeThumb();
        repaint();
    }
    return maximum_;
}

int ScrollBar::pressedPart(std::optional<int> value)
{
    if (value)
        pressedPart_ = *value;
    return pressedPart_;
}

int ScrollBar::step(std::optional<int> value)
{
    if (value)
        step_ = *value;
    return step_;
}

bool ScrollBar::tracking(std::optional<bool> value)
{
    if (value)
        tracking_ = *value;
    return tracking_;
}

bool ScrollBar::hoverEffect(std::optional<bool> value)
{
    if (value)
        hoverEffect_ = *value;
    return hoverEffect_;
}

void ScrollBar::onChange(ScrollChildHandler handler)
{
    childHandler_ = handler;
    handler_ = nullptr;
}

void ScrollBar::onChange(ScrollHandler handler)
{
    handler_ = handler;
    childHandler_ = nullptr;
}

void ScrollBar::raiseChange()
{
    if (thumbLength_ == 0)
        return;
    if (childHandler_)
        childHandler_(parent(), position_);
    else if (handler_)
        handler_(position_);
}

// ---- geometry ----

void ScrollBar::layoutBar(int width, int height)
{
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    if (isHorizontal()) {
        firstArrowRect_ = {0, 0, 9, 10};
        secondArrowRect_ = {w - 9, 0, 9, 10};
        trackRect_ = {10, 1, w - 20, 8};
    } else {
        firstArrowRect_ = {0, 0, 10, 9};
        secondArrowRect_ = {0, h - 9, 10, 9};
        trackRect_ = {1, 10, 8, h - 20};
    }
    // The same rule as updateThumb: with nothing to scroll there is no thumb.
    updateThumb();
    placeThumb();
}

int ScrollBar::trackOrigin() const
{
    return static_cast<int>(isHorizontal() ? trackRect_.x : trackRect_.y);
}

int ScrollBar::trackLength() const
{
    return static_cast<int>(isHorizontal() ? trackRect_.width : trackRect_.height);
}

int ScrollBar::updateThumb()
{
    const std::int64_t length = std::max(0, trackLength());
    if (maximum_ <= 0)
        thumbLength_ = 0;
    else
        thumbLength_ = std::max(minimumThumbLength, static_cast<int>(length * length / (length + maximum_)));
    return thumbLength_;
}

int ScrollBar::thumbStart() const
{
    const int origin = trackOrigin();
    if (maximum_ <= minimum_ || position_ <= minimum_)
        return origin;
    const std::int64_t travel = trackLength() - thumbLength_;
    return origin + static_cast<int>(static_cast<std::int64_t>(position_ - minimum_) * travel / (maximum_ - minimum_));
}

int ScrollBar::positionAt(int coordinate) const
{
    const int origin = trackOrigin();
    const int travel = trackLength() - thumbLength_;
    if (coordinate <= origin)
        return minimum_;
    if (coordinate >= origin + travel || maximum_ <= minimum_)
        return maximum_;
    // Offset × range / travel rather than offset / (travel / range): with more positions than pixels the
    // pixels per position fall below 1, and in whole numbers they would be 0.
    const std::int64_t range = static_cast<std::int64_t>(maximum_) - minimum_;
    return static_cast<int>(static_cast<std::int64_t>(coordinate - origin) * range / travel) + minimum_;
}

void ScrollBar::placeThumb()
{
    thumbRect_ = trackRect_;
    const float start = static_cast<float>(thumbStart()), length = static_cast<float>(thumbLength_);
    if (isHorizontal()) {
        thumbRect_.x = start;
        thumbRect_.width = length;
    } else {
        thumbRect_.y = start;
        thumbRect_.height = length;
    }
}

int ScrollBar::partAt(POINT pointer) const
{
    if (contains(firstArrowRect_, pointer))
        return PartFirstArrow;
    if (contains(secondArrowRect_, pointer))
        return PartSecondArrow;
    if (thumbLength_ > 0 && contains(thumbRect_, pointer))
        return PartThumb;
    if (contains(trackRect_, pointer))
        return PartTrack;
    return PartNone;
}

POINT ScrollBar::pointerInBar(std::optional<LPARAM> mousePoint) const
{
    POINT p = {};
    if (mousePoint) {
        p = {GET_X_LPARAM(*mousePoint), GET_Y_LPARAM(*mousePoint)};
    } else {
        // Events that are not mouse messages carry no point in lParam.
        GetCursorPos(&p);
        ScreenToClient(hostWindow(), &p);
        if (const HostWindow* host = hostObject())
            p = host->displayScale.toLogical(p);
    }
    const RectF& b = currentBounds();
    return {p.x - static_cast<LONG>(b.x), p.y - static_cast<LONG>(b.y)};
}

// ---- events ----

int ScrollBar::handleEvent(int code, WPARAM wParam, LPARAM lParam)
{
    switch (code) {
    case EV_DESTROY:
        KillTimer(hostWindow(), handle());
        position_ = 0;
        thumbLength_ = 0;
        childHandler_ = nullptr;
        handler_ = nullptr;
        maximum_ = 0;
        minimum_ = 0;
        pressedPart_ = PartNone;
        break;
    case EV_PAINT:
        paintBar(PaintPlain);
        break;
    case WM_TIMER:
        if (wParam == handle())
            onRepeatTick();
        break;
    case WM_MOUSEMOVE:
        if (pressedPart_ != PartFirstArrow && pressedPart_ != PartSecondArrow)
            paintBar(PaintMouseMove, wParam, lParam);
        break;
    case WM_LBUTTONDOWN:
        paintBar(PaintPress, wParam, lParam);
        break;
    case WM_LBUTTONUP: {
        // Cleared first: the handler may destroy the bar.
        const bool wasDragging = pressedPart_ == PartThumb;
        pressedPart_ = PartNone;
        if (!tracking_ && wasDragging)
            raiseChange();
        break;
    }
    case EV_MOUSE_ENTER:
    case EV_MOUSE_LEAVE:
        if (transitionInterval() != 0)
            transitionFrames(hoverFadeFrames);
        paintBar(code == EV_MOUSE_ENTER ? PaintMouseMove : PaintPlain);
        break;
    case EV_RESIZE:
        layoutBar(static_cast<int>(wParam), static_cast<int>(lParam));
        break;
    case EV_QUERY_PRESS:
        return 1;
    case EV_TRANSITION_END:
        transitionFrames(0);
        break;
    default:
        break;
    }
    return -1;
}

void ScrollBar::onRepeatTick()
{
    if (pressedPart_ == PartFirstArrow) {
        position_ -= step_;
        if (position_ <= minimum_) {
            KillTimer(hostWindow(), handle());
            position_ = minimum_;
        }
    } else if (pressedPart_ == PartSecondArrow) {
        position_ += step_;
        if (position_ >= maximum_) {
            KillTimer(hostWindow(), handle());
            position_ = maximum_;
        }
    } else {
        KillTimer(hostWindow(), handle());
        return;
    }
    const ControlHandle self = handle();
    paintBar(PaintMouseMove);
    if (handle() == self)
        raiseChange();
}

// ---- painting ----

void ScrollBar::paintBar(int kind, WPARAM wParam, std::optional<LPARAM> mousePoint)
{
    if (!handle())
        return;
    const ControlHandle self = handle();
    const POINT pointer = pointerInBar(kind == PaintPlain ? std::nullopt : mousePoint);
    const int along = isHorizontal() ? pointer.x : pointer.y;

    if (kind == PaintMouseMove && wParam == self && pressedPart_ == PartThumb) {
        const int next = positionAt(along - dragOffset_);
        if (next != position_) {
            position_ = next;
            placeThumb();
            if (tracking_) {
                raiseChange();
                if (handle() != self)
                    return;
            }
        }
    }
    placeThumb();

    int part = PartNone;
    if (kind != PaintPlain || !hoverEffect_)
        part = pressedPart_ != PartNone ? pressedPart_ : partAt(pointer);

    if (kind == PaintPress) {
        pressedPart_ = part;
        if (part == PartThumb)
            dragOffset_ = along - thumbStart();
    } else if (kind == PaintMouseMove && part != PartNone && part == lastDrawnPart_ &&
               sameRect(thumbRect_, lastDrawnThumb_)) {
        // Another move over the same part with the thumb where it was drawn: the image stands.
        return;
    }

    PaintContext context;
    if (beginPaint(context, nullptr, true)) {
        GpGraphics* g = context.graphics;
        const bool hasThumb = thumbLength_ > 0;
        if (kind == PaintPlain && hoverEffect_) {
            if (hasThumb)
                fillAndFrame(g, thumbRect_, trackCorner, 40, 30);
        } else {
            drawArrow(g, firstArrowRect_, true, hasThumb && part == PartFirstArrow);
            drawArrow(g, secondArrowRect_, false, hasThumb && part == PartSecondArrow);
            fillAndFrame(g, trackRect_, trackCorner, 40, 30);
            if (hasThumb)
                fillAndFrame(g, thumbRect_, trackCorner, 110, 80);
        }
        endPaint(context);
        if (handle() != self)
            return;
    }

    lastDrawnPart_ = thumbLength_ < 1 ? PartNone : part;
    lastDrawnThumb_ = thumbRect_;
    if (kind == PaintPress)
        SetTimer(hostWindow(), self, repeatInterval, nullptr);
}

void ScrollBar::drawArrow(GpGraphics* g, const RectF& box, bool first, bool hot) const
{
    const float x = box.x, y = box.y;
    Gdiplus::PointF points[3];
    if (isHorizontal()) {
        if (first)
            points[0] = {x + 2, y + 4.5f}, points[1] = {x + 5, y + 1}, points[2] = {x + 5, y + 8};
        else
            points[0] = {x + 6, y + 4.5f}, points[1] = {x + 3, y + 1}, points[2] = {x + 3, y + 8};
    } else {
        if (first)
            points[0] = {x + 4.5f, y + 2}, points[1] = {x + 1, y + 5}, points[2] = {x + 8, y + 5};
        else
            points[0] = {x + 4.5f, y + 6}, points[1] = {x + 1, y + 3}, points[2] = {x + 8, y + 3};
    }
    if (GpSolidFill* brush = solidBrush(blackAt(hot ? 160 : 100))) {
        GDIP(GdipFillPolygon)(g, brush, points, 3, Gdiplus::FillModeAlternate);
        GDIP(GdipDeleteBrush)(brush);
    }
    if (GpPen* pen = makePen(blackAt(hot ? 140 : 60))) {
        GDIP(GdipDrawPolygon)(g, pen, points, 3);
        GDIP(GdipDeletePen)(pen);
    }
    if (hot)
        strokeRoundedRect(g, box, arrowFrameCorner, blackAt(160));
}
