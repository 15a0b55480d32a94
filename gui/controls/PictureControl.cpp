#include "PictureControl.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Canvas.h"
#include "DibCanvas.h"
#include "HostWindow.h"

// Sections: icon conversion · lifetime · creation · accessors · events · decoding · painting

namespace {
constexpr int fadeFramesDefault = 5;
constexpr int fadeIntervalDefault = 60;  // ms

// A 32-bit ARGB copy of `source` at its own size, drawn with high-quality bilinear interpolation.
GpBitmap* copyToArgb(GpImage* source)
{
    const INT width = static_cast<INT>(imageWidth(source));
    const INT height = static_cast<INT>(imageHeight(source));
    GpBitmap* copy = nullptr;
    if (width <= 0 || height <= 0 ||
        GDIP(GdipCreateBitmapFromScan0)(width, height, 0, PixelFormat32bppARGB, nullptr, &copy) != Gdiplus::Ok)
        return nullptr;
    GpGraphics* graphics = nullptr;
    if (GDIP(GdipGetImageGraphicsContext)(copy, &graphics) == Gdiplus::Ok && graphics) {
        GDIP(GdipSetInterpolationMode)(graphics, Gdiplus::InterpolationModeHighQualityBilinear);
        GDIP(GdipDrawImageRectI)(graphics, source, 0, 0, width, height);
        GDIP(GdipDeleteGraphics)(graphics);
    }
    return copy;
}

// The icon as an ARGB bitmap. GdipCreateBitmapFromHICON drops the alpha channel of 32-bit icons, so
// icons whose colour bitmap carries any alpha are built from those pixels instead.
GpBitmap* bitmapFromIcon(HICON icon)
{
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info))
        return nullptr;
    GpBitmap* source = nullptr;
    std::vector<std::uint32_t> pixels;
    if (info.hbmColor) {
        BITMAP bm = {};
        GetObjectW(info.hbmColor, sizeof bm, &bm);
        const int width = bm.bmWidth, height = bm.bmHeight;
        if (width > 0 && height > 0) {
            BITMAPINFO bi = dibHeader(width, height, true);  // top-down, as GDI+ scans
            pixels.resize(static_cast<size_t>(width) * height);
            HDC dc = GetDC(nullptr);
            const int lines = GetDIBits(dc, info.hbmColor, 0, height, pixels.data(), &bi, DIB_RGB_COLORS);
            ReleaseDC(nullptr, dc);
            const bool hasAlpha = lines == height && std::any_of(pixels.begin(), pixels.end(),
                                                                 [](std::uint32_t p) { return (p >> 24) != 0; });
            if (hasAlpha)
                GDIP(GdipCreateBitmapFromScan0)(width, height, width * 4, PixelFormat32bppARGB,
                                                reinterpret_cast<BYTE*>(pixels.data()), &source);
        }
    }
    if (!source)
        GDIP(GdipCreateBitmapFromHICON)(icon, &source);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (!source)
        return nullptr;
    // The scan0 bitmap borrows `pixels`: the copy makes the result independent of it.
    GpBitmap* result = copyToArgb(source);
    GDIP(GdipDisposeImage)(source);
    return result;
}
}  // namespace

PictureControl::~PictureControl()
{
    // The base destructor can no longer reach this class's EV_DESTROY, which stops the frame timer.
    destroy();
}

std::unique_ptr<Control> PictureControl::clone() const
{
    auto copy = std::make_unique<PictureControl>();
    copyBaseInto(*copy);
    copy->imageBytes_ = imageBytes_;
    if (!imageBytes_.empty()) {
        copy->image_ = imageFromMemory(copy->imageBytes_, false, true);
    } else if (image_) {
        GpImage* image = nullptr;
        GDIP(GdipCloneImage)(image_.image(), &image);
        copy->image_ = MemoryImage(image, nullptr, nullptr);
    }
    copy->animate_ = animate_;
    copy->borderStyle_ = borderStyle_;
    copy->currentFrame_ = copy->image_ ? 1 : 0;
    copy->frameCount_ = frameCount_;
    copy->backgroundColor_ = backgroundColor_;
    copy->frameDelays_ = frameDelays_;
    copy->drawMode_ = drawMode_;
    copy->fixZeroDelays_ = fixZeroDelays_;
    copy->sourceRect_ = sourceRect_;
    copy->imageWidth_ = imageWidth_;
    copy->imageHeight_ = imageHeight_;
    return copy;
}

ControlHandle PictureControl::createPicture(ParentHandle parent, int x, int y, int width, int height,
                                            Bytes imageBytes, bool animate, ARGB backgroundColor,
                                            bool fixZeroDelays, std::optional<int> drawMode, const RECT& sourceRect,
                                            unsigned borderStyle, std::optional<bool> visible)
{
    if (handle())
        return handle();
    animate_ = animate;
    backgroundColor_ = backgroundColor;
    fixZeroDelays_ = fixZeroDelays;
    drawMode_ = drawMode.value_or(DrawStretched);
    sourceRect_ = sourceRect;
    borderStyle_ = borderStyle;
    fadeParam_ = -1;
    decode(imageBytes);
    fixDelays();
    return create(parent, makeRectF(x, y, width, height), KIND_PICTURE, visible.value_or(true), true,
                  CursorSpec::none(), 0, 0, 0);
}

ControlHandle PictureControl::createPictureFromIcon(ParentHandle parent, int x, int y, int width, int height,
                                                    HICON icon, ARGB backgroundColor, std::optional<int> drawMode,
                                                    unsigned borderStyle, std::optional<bool> visible)
{
    if (handle())
        return handle();
    image_.reset();
    stretched_.reset();
    imageBytes_.clear();
    image_ = MemoryImage(bitmapFromIcon(icon), nullptr, nullptr);
    imageWidth_ = static_cast<int>(::imageWidth(image_.image()));
    imageHeight_ = static_cast<int>(::imageHeight(image_.image()));
    frameCount_ = image_ ? 1 : 0;
    currentFrame_ = image_ ? 1 : 0;
    frameDelays_.assign(1, defaultDelay);
    animate_ = false;
    fixZeroDelays_ = false;
    backgroundColor_ = backgroundColor;
    drawMode_ = drawMode.value_or(DrawStretched);
    sourceRect_ = {};
    borderStyle_ = borderStyle;
    fadeParam_ = -1;
    return create(parent, makeRectF(x, y, width, height), KIND_PICTURE, visible.value_or(true), true,
                  CursorSpec::none(), 0, 0, 0);
}

bool PictureControl::animate(std::optional<bool> value)
{
    if (value) {
        animate_ = *value;
        currentFrame_ = image_ && frameCount_ > 0 ? 1 : 0;
        if (!animate_)
            timerRunning_ = false;
        repaint();
    }
    return animate_;
}

std::vector<std::uint8_t> PictureControl::image(std::optional<Bytes> bytes, std::optional<int> fadeParam,
                                                std::optional<int> frames, std::optional<int> interval,
                                                std::optional<bool> repaintNow)
{
    if (bytes) {
        fadeParam_ = fadeParam.value_or(-1);
        transitionParam(fadeParam_);
        decode(*bytes);
        fixDelays();
        if (repaintNow.value_or(true)) {
            if (fadeParam)
                transitionFrames(frames.value_or(fadeFramesDefault), interval.value_or(fadeIntervalDefault));
            repaint();
        } else {
            // Nothing will run the fade, and a pending one would hold the frame timer forever.
            fadeParam_ = -1;
        }
    }
    return imageBytes_;
}

ARGB PictureControl::backgroundColor(std::optional<ARGB> value)
{
    if (value) {
        backgroundColor_ = *value;
        repaint();
    }
    return backgroundColor_;
}

int PictureControl::handleEvent(int code, WPARAM wParam, LPARAM lParam)
{
    switch (code) {
    case EV_DESTROY:
        // Also without `animate`: the last paint of a multi-frame picture arms the timer regardless,
        // and a tick must not reach a destroyed control.
        KillTimer(hostWindow(), handle());
        currentFrame_ = 0;
        frameCount_ = 0;
        animate_ = false;
        timerRunning_ = false;
        fixZeroDelays_ = false;
        image_.reset();
        stretched_.reset();
        frameDelays_.clear();
        imageBytes_.clear();
        break;
    case WM_TIMER:
        if (wParam != handle() || fadeParam_ != -1)
            break;
        if (!animate_ || !image_ || frameCount_ == 0) {
            KillTimer(hostWindow(), wParam);
            timerRunning_ = false;
        } else {
            paint();
        }
        break;
    case EV_PAINT:
    case EV_SHOW:
        paint();
        break;
    case EV_TRANSITION_START:
        fadeStarted_ = true;
        break;
    case EV_TRANSITION_END:
        transitionFrames(0);
        fadeParam_ = -1;
        break;
    default:
        break;
    }
    return -1;
}

void PictureControl::decode(Bytes bytes)
{
    image_.reset();
    stretched_.reset();
    imageBytes_.assign(bytes.begin(), bytes.end());
    frameDelays_.clear();
    frameCount_ = 0;
    currentFrame_ = 0;
    imageWidth_ = imageHeight_ = 0;

    image_ = imageFromMemory(imageBytes_, false, true);
    GpImage* image = image_.image();
    if (!image)
        return;
    imageWidth_ = static_cast<int>(::imageWidth(image));
    imageHeight_ = static_cast<int>(::imageHeight(image));
    UINT count = 0;
    GDIP(GdipImageGetFrameCount)(image, &frameDimensionTime, &count);
    frameCount_ = std::max<int>(1, static_cast<int>(count));
    currentFrame_ = 1;

    UINT size = 0;
    if (GDIP(GdipGetPropertyItemSize)(image, PropertyTagFrameDelay, &size) != Gdiplus::Ok ||
        size < sizeof(Gdiplus::PropertyItem))
        return;
    std::vector<std::uint8_t> buffer(size);
    auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
    if (GDIP(GdipGetPropertyItem)(image, PropertyTagFrameDelay, size, item) != Gdiplus::Ok || !item->value)
        return;
    const bool isLong = item->length > 0 && item->type == PropertyTagTypeLong;
    if (!isLong && item->type != PropertyTagTypeSLONG)
        return;
    // Never read past what GDI+ handed over, whatever the item claims.
    const auto* begin = static_cast<const std::uint8_t*>(item->value);
    const auto* end = buffer.data() + buffer.size();
    size_t values = item->length / 4;
    if (begin < buffer.data() || begin > end)
        values = 0;
    else
        values = std::min<size_t>(values, static_cast<size_t>(end - begin) / 4);
    frameDelays_.resize(values);
    for (size_t i = 0; i < values; ++i) {
        std::int32_t delay = 0;
        std::memcpy(&delay, begin + i * 4, 4);
        frameDelays_[i] = std::max<std::int32_t>(0, delay);  // a negative delay would arm a timer of weeks
    }
}

void PictureControl::fixDelays()
{
    if (frameDelays_.empty())
        frameDelays_.assign(1, defaultDelay);
    if (fixZeroDelays_)
        std::replace(frameDelays_.begin(), frameDelays_.end(), 0, defaultDelay);
}

int PictureControl::delayOfFrame(int frame) const
{
    const size_t index = static_cast<size_t>(frame - 1);
    return frame >= 1 && index < frameDelays_.size() ? frameDelays_[index] : defaultDelay;
}

void PictureControl::paint()
{
    if (currentFrame_ == 0) {
        // No picture (the bytes did not decode): the control shows nothing, not the picture it had.
        if (timerRunning_) {
            KillTimer(hostWindow(), handle());
            timerRunning_ = false;
        }
        fadeParam_ = -1;
        PaintContext context;
        if (beginPaint(context, nullptr, true))
            endPaint(context);
        return;
    }
    if (isDisabled()) {
        // The host dims the last image; the change, if any, shows when the picture is enabled again.
        ++currentFrame_;
        fadeParam_ = -1;
        return;
    }
    if (currentFrame_ > frameCount_ || !animate_)
        currentFrame_ = 1;

    PaintContext context;
    if (!beginPaint(context, nullptr, true))
        return;
    GpGraphics* g = context.graphics;
    const RectF& r = context.rect;
    GpImage* image = image_.image();
    if (backgroundColor_ != 0) {
        GpSolidFill* brush = solidBrush(backgroundColor_);
        if (brush) {
            GDIP(GdipFillRectangle)(g, brush, r.x, r.y, r.width - 1, r.height - 1);
            GDIP(GdipDeleteBrush)(brush);
        }
    }
    if (frameCount_ > 1)
        GDIP(GdipImageSelectActiveFrame)(image, &frameDimensionTime, static_cast<UINT>(currentFrame_ - 1));

    // Natural size means pixels: GdipDrawImage would scale by the file's resolution.
    const float iw = static_cast<float>(imageWidth_), ih = static_cast<float>(imageHeight_);
    const bool nineGrid = drawMode_ == DrawNineGrid && !IsRectEmpty(&sourceRect_);
    if (nineGrid) {
        drawImageNineGrid(g, image, r, rectFromRECT(sourceRect_));
    } else if (drawMode_ == DrawNatural || drawMode_ == DrawNineGrid) {
        GpImage* twice = frameCount_ > 1 ? nullptr : Images::doubleSizeOf(imageBytes_);
        if (!Images::drawDoubleSize(g, displayScale(), twice, {r.x, r.y, iw, ih}, {0, 0, iw, ih}))
            GDIP(GdipDrawImageRect)(g, image, r.x, r.y, iw, ih);
    } else if (drawMode_ == DrawStretched) {
        stretched_.draw(g, image, r);
    } else if (drawMode_ == DrawCentred) {
        const float x = r.x + std::trunc((r.width - iw) / 2), y = r.y + std::trunc((r.height - ih) / 2);
        GDIP(GdipDrawImageRect)(g, image, x, y, iw, ih);
    }

    if (borderStyle_ != 0)
        drawFrame(g, r, borderStyle_);
    HostWindow* host = hostObject();
    if (host && host->keyboardFocus == handle())
        drawFrame(g, r, FrameFocus);

    fadeStarted_ = false;
    endPaint(context);
    // A change whose fade did not start (hidden, redraw suspended, no frames) must not hold the timer.
    if (fadeParam_ != -1 && !fadeStarted_)
        fadeParam_ = -1;

    if (frameCount_ < 2) {
        // A timer left from an animated picture that was replaced would repaint this one forever.
        if (timerRunning_) {
            KillTimer(hostWindow(), handle());
            timerRunning_ = false;
        }
        ++currentFrame_;  // the next paint goes back to the only frame
        return;
    }
    KillTimer(hostWindow(), handle());
    // A GIF frame's delay is how long that frame stays: the timer waits out the frame just drawn.
    const int shown = currentFrame_;
    ++currentFrame_;
    if (currentFrame_ > frameCount_ || !animate_)
        currentFrame_ = 1;
    SetTimer(hostWindow(), handle(), static_cast<UINT>(delayOfFrame(shown)) * 10, nullptr);
    timerRunning_ = true;
}
