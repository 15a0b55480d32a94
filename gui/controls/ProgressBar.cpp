// Sections: lifetime · creation and accessors · events · painting
#include "ProgressBar.h"

#include <algorithm>
#include <cmath>

#include "Canvas.h"

namespace {

constexpr float trackCorner = 6;
constexpr int clipCorner = 3;
constexpr ARGB trackShade = 0x33000000;
constexpr ARGB barShade = 0x51000000;
constexpr int modeHorizontal = Gdiplus::LinearGradientModeHorizontal;  // left to right
constexpr int modeVertical = Gdiplus::LinearGradientModeVertical;      // top to bottom

// The host keeps no setting for rounded controls: unless asked, bars are square.
constexpr bool hostDefaultRounded = false;

}  // namespace

// ---- lifetime ----

ProgressBar::~ProgressBar()
{
    destroy();
}

std::unique_ptr<Control> ProgressBar::clone() const
{
    auto copy = std::make_unique<ProgressBar>();
    copyBaseInto(*copy);
    copy->value_ = value_;
    copy->minimum_ = minimum_;
    copy->maximum_ = maximum_;
    copy->vertical_ = vertical_;
    copy->barColor1_ = barColor1_;
    copy->barColor2_ = barColor2_;
    copy->borderColor_ = borderColor_;
    copy->rounded_ = rounded_;
    copy->trackColor_ = trackColor_;
    copy->fillLength_ = fillLength_;
    return copy;
}

// ---- creation and accessors ----

ControlHandle ProgressBar::createProgress(ParentHandle parent, int x, int y, int width, int height, int value,
                                          int minimum, std::optional<int> maximum, bool vertical,
                                          std::optional<ARGB> barColor1, std::optional<ARGB> barColor2,
                                          std::optional<ARGB> borderColor, std::optional<ARGB> trackColor,
                                          std::optional<bool> rounded, std::optional<bool> visible)
{
    if (handle())
        return handle();
    value_ = value;
    minimum_ = minimum;
    maximum_ = maximum.value_or(100);
    vertical_ = vertical;
    barColor1_ = barColor1.value_or(defaultBarColor1);
    barColor2_ = barColor2.value_or(defaultBarColor2);
    borderColor_ = borderColor.value_or(defaultBorderColor);
    trackColor_ = trackColor.value_or(defaultTrackColor);
    rounded_ = rounded.value_or(hostDefaultRounded);
    fillLength_ = 0;
    return create(parent, makeRectF(x, y, width, height), KIND_PROGRESS_BAR, visible.value_or(true), false,
                  CursorSpec::none(), 0, 0, 0);
}

void ProgressBar::barColors(std::optional<ARGB> color1, std::optional<ARGB> color2)
{
    if (color1)
        barColor1_ = *color1;
    if (color2)
        barColor2_ = *color2;
    repaint();
}

ARGB ProgressBar::trackColor(std::optional<ARGB> value)
{
    if (value) {
        trackColor_ = *value;
        repaint();
    }
    return trackColor_;
}

int ProgressBar::value(std::optional<int> value)
{
    if (value) {
        value_ = *value;
        repaint();  // synchronous: a busy caller still shows every step
    }
    return value_;
}

int ProgressBar::barLength(int innerLength, int value, int minimum, int maximum)
{
    // An empty range has no proportion to show; outside the range the bar stops at the track's ends.
    if (maximum == minimum || innerLength <= 0)
        return 0;
    const double share = (static_cast<double>(value) - minimum) / (static_cast<double>(maximum) - minimum);
    const long length = std::lround(innerLength * share);
    return static_cast<int>(std::clamp<long>(length, 0, innerLength));
}

// ---- events ----

int ProgressBar::handleEvent(int code, WPARAM wParam, LPARAM lParam)
{
    const int answer = onPreEvent(code, wParam, lParam);
    if (answer != -1)
        return answer;
    if (code == EV_PAINT)
        paint();
    return -1;
}

// ---- painting ----

void ProgressBar::clipTo(GpGraphics* g, const RectF& rect) const
{
    if (!rounded_) {
        GDIP(GdipSetClipRect)(g, rect.x, rect.y, rect.width, rect.height, Gdiplus::CombineModeReplace);
        return;
    }
    const int x = static_cast<int>(rect.x), y = static_cast<int>(rect.y);
    const int w = static_cast<int>(rect.width), h = static_cast<int>(rect.height);
    HRGN shape = CreateRoundRectRgn(x, y, x + w + 1, y + h + 1, clipCorner, clipCorner);
    GpRegion* region = nullptr;
    if (shape && GDIP(GdipCreateRegionHrgn)(shape, &region) == Gdiplus::Ok && region) {
        GDIP(GdipSetClipRegion)(g, region, Gdiplus::CombineModeReplace);
        GDIP(GdipDeleteRegion)(region);
    }
    if (shape)
        DeleteObject(shape);
}

void ProgressBar::paint()
{
    PaintContext context;
    if (!beginPaint(context, nullptr, true))
        return;
    GpGraphics* g = context.graphics;
    RectF outer = context.rect;
    onLayout(context, outer, vertical_);
    const RectF inner{outer.x + 2, outer.y + 2, outer.width - 4, outer.height - 4};
    const int shadeMode = vertical_ ? modeHorizontal : modeVertical;

    const bool trackByHook = onDrawTrack(context) != 0;
    if (!trackByHook) {
        if (trackColor_ != 0) {
            if (rounded_) {
                fillRoundedRect(g, outer, trackCorner, trackColor_);
            } else if (GpSolidFill* brush = solidBrush(trackColor_)) {
                GDIP(GdipFillRectangle)(g, brush, outer.x, outer.y, outer.width - 1, outer.height - 1);
                GDIP(GdipDeleteBrush)(brush);
            }
        }
        clipTo(g, inner);
        fillGradient(g, outer, 0x00000000, trackShade, shadeMode);
        GDIP(GdipResetClip)(g);
    }

    RectF bar = inner;
    if (vertical_) {
        fillLength_ = barLength(static_cast<int>(inner.height), value_, minimum_, maximum_);
        bar.height = static_cast<float>(fillLength_);
        bar.y = outer.y + outer.height - static_cast<float>(fillLength_) - 2;
    } else {
        fillLength_ = barLength(static_cast<int>(inner.width), value_, minimum_, maximum_);
        bar.width = static_cast<float>(fillLength_);
    }

    // An empty bar draws nothing: the rounded clip would still leave a sliver one pixel wide.
    if (onDrawBar(context, bar) == 0 && fillLength_ > 0) {
        clipTo(g, bar);
        // Over the whole outer rectangle, so the colours stay put while the bar grows.
        if (vertical_)
            fillGradient(g, outer, barColor2_, barColor1_, modeVertical);
        else
            fillGradient(g, outer, barColor1_, barColor2_, modeHorizontal);
        fillGradient(g, outer, 0x00000000, barShade, shadeMode);
        GDIP(GdipResetClip)(g);
    }

    if (!trackByHook) {
        if (rounded_)
            strokeRoundedRect(g, outer, trackCorner, borderColor_);
        else
            drawFrame(g, outer, borderColor_);
    }
    endPaint(context);
}
