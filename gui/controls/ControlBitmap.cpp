// Sections: bitmap at the display scale · clearing
// The control's bitmap has the host's device pixels; the control draws in logical ones through the
// transform of its graphics.
#include "Control.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "DisplayScale.h"
#include "HostWindow.h"
#include "Images.h"

// ---- bitmap at the display scale ----

RectF Control::deviceBounds() const
{
    const HostWindow* host = hostObject();
    return host ? host->deviceRect(bounds_) : bounds_;
}

float Control::displayScale() const
{
    const HostWindow* host = hostObject();
    return host ? host->displayScale.factor() : 1.0f;
}

SIZE Control::bitmapSize() const
{
    if (kind_ == KIND_NO_OWN_BITMAP)
        return {1, 1};
    const HostWindow* host = hostObject();
    if (!host || host->displayScale.isIdentity())
        return {wholePixels(bounds_.width), wholePixels(bounds_.height)};
    const RectF device = host->deviceRect(bounds_);
    return {static_cast<LONG>(device.width), static_cast<LONG>(device.height)};
}

void Control::makeBitmap()
{
    // A bitmap of no pixels would leave the control without graphics to measure or paint with.
    const SIZE size = bitmapSize();
    const int w = std::max(1, static_cast<int>(size.cx)), h = std::max(1, static_cast<int>(size.cy));
    // The control draws in logical units: the transform maps its logical rectangle onto the whole bitmap.
    const float factor = displayScale();
    const bool scaled = factor != 1.0f && kind_ != KIND_NO_OWN_BITMAP;
    paintScaleX_ = scaled ? (bounds_.width > 0 ? static_cast<float>(w) / bounds_.width : factor) : 1.0f;
    paintScaleY_ = scaled ? (bounds_.height > 0 ? static_cast<float>(h) / bounds_.height : factor) : 1.0f;
    if (GDIP(GdipCreateBitmapFromScan0)(w, h, 0, PixelFormat32bppARGB, nullptr, &bitmap_) != Gdiplus::Ok) {
        bitmap_ = nullptr;
        return;
    }
    if (GDIP(GdipGetImageGraphicsContext)(bitmap_, &graphics_) != Gdiplus::Ok) {
        graphics_ = nullptr;
        return;
    }
    GDIP(GdipSetSmoothingMode)(graphics_, Gdiplus::SmoothingModeAntiAlias);
    GDIP(GdipSetTextRenderingHint)(graphics_, Gdiplus::TextRenderingHintAntiAliasGridFit);
    DisplayScale::applyTransform(graphics_, paintScaleX_, paintScaleY_);
}

void Control::rescale()
{
    if (!handle_)
        return;
    const ControlHandle self = handle_;
    releaseBitmap();
    makeBitmap();
    // As after a resize: a new bitmap means a new graphics, which controls that measure with their
    // graphics (the edit control's layout) must take before they paint.
    const auto w = static_cast<WPARAM>(wholePixels(bounds_.width));
    const auto h = static_cast<LPARAM>(wholePixels(bounds_.height));
    sendEvent(EV_RESIZE, w, h);
    if (handle_ == self)
        sendEvent(EV_PAINT, w, h);
}

void Control::releaseBitmap()
{
    if (graphics_)
        GDIP(GdipDeleteGraphics)(graphics_);
    if (bitmap_)
        GDIP(GdipDisposeImage)(bitmap_);
    graphics_ = nullptr;
    bitmap_ = nullptr;
}

// ---- clearing ----

void Control::clearToTransparent(const RectF& logical)
{
    // The rectangle in the bitmap's pixels, its edges rounded as the host rounds the control's.
    const auto edge = [](float v) { return std::floor(v + 0.5f); };
    const bool scaled = paintScaleX_ != 1.0f || paintScaleY_ != 1.0f;
    RectF r = logical;
    if (scaled) {
        const float left = edge(logical.x * paintScaleX_), top = edge(logical.y * paintScaleY_);
        r = {left, top, edge((logical.x + logical.width) * paintScaleX_) - left,
             edge((logical.y + logical.height) * paintScaleY_) - top};
    }
    // Whole pixels are zeroed in the bitmap's memory: what GdipGraphicsClear does, without GDI+ filling
    // them one by one (under Wine the clear of a window-sized control took milliseconds).
    const Gdiplus::GpRect whole{static_cast<INT>(r.x), static_cast<INT>(r.y), static_cast<INT>(r.width),
                                static_cast<INT>(r.height)};
    const bool aligned = whole.X == r.x && whole.Y == r.y && whole.Width == r.width && whole.Height == r.height &&
                         whole.X >= 0 && whole.Y >= 0 && whole.Width > 0 && whole.Height > 0 &&
                         bitmap_ && whole.X + whole.Width <= static_cast<INT>(imageWidth(bitmap_)) &&
                         whole.Y + whole.Height <= static_cast<INT>(imageHeight(bitmap_));
    Gdiplus::BitmapData data = {};
    if (aligned &&
        GDIP(GdipBitmapLockBits)(bitmap_, &whole, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) ==
            Gdiplus::Ok) {
        for (INT y = 0; y < whole.Height; ++y)
            std::memset(static_cast<std::uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride, 0,
                        static_cast<size_t>(whole.Width) * 4);
        GDIP(GdipBitmapUnlockBits)(bitmap_, &data);
        GDIP(GdipResetClip)(graphics_);  // as after the clear below: painting starts unclipped
        return;
    }
    GDIP(GdipSetClipRect)(graphics_, logical.x, logical.y, logical.width, logical.height,
                          Gdiplus::CombineModeReplace);
    GDIP(GdipGraphicsClear)(graphics_, 0x00000000);
    GDIP(GdipResetClip)(graphics_);
}
