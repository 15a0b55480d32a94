// Sections: background · picture and colour · painting · window shape · blur
#include <windows.h>
#include <dwmapi.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Canvas.h"
#include "DibCanvas.h"
#include "Engine.h"
#include "HostWindow.h"
#include "Images.h"

namespace {

constexpr ARGB outlineOuterColor = 0xCC606060;
constexpr ARGB outlineInnerColor = 0x66FFFFFF;
constexpr UINT fadeIntervalMs = 50;

void disposeImage(GpImage* image)
{
    if (image)
        GDIP(GdipDisposeImage)(image);
}

// The picture's mean blue, green and red as a COLORREF.
COLORREF averageColor(GpBitmap* picture, COLORREF fallback)
{
    HBITMAP converted = nullptr;
    if (!picture || GDIP(GdipCreateHBITMAPFromBitmap)(picture, &converted, 0) != Gdiplus::Ok || !converted)
        return fallback;
    const int width = static_cast<int>(imageWidth(picture)), height = static_cast<int>(imageHeight(picture));
    COLORREF result = fallback;
    if (width > 0 && height > 0) {
        BITMAPINFO info = dibHeader(width, height);
        std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
        HDC dc = CreateCompatibleDC(nullptr);
        if (GetDIBits(dc, converted, 0, height, pixels.data(), &info, DIB_RGB_COLORS) == height) {
            std::uint64_t blue = 0, green = 0, red = 0;
            for (std::uint32_t p : pixels) {
                blue += p & 0xFF;
                green += (p >> 8) & 0xFF;
                red += (p >> 16) & 0xFF;
            }
            const std::uint64_t count = pixels.size();
            auto mean = [count](std::uint64_t sum) { return static_cast<COLORREF>((sum + count / 2) / count); };
            result = RGB(mean(red), mean(green), mean(blue));
        }
        DeleteDC(dc);
    }
    DeleteObject(converted);
    return result;
}

GpRegion* regionFromRoundRect(int left, int top, int right, int bottom, int corner)
{
    HRGN rgn = CreateRoundRectRgn(left, top, right, bottom, corner, corner);
    GpRegion* region = nullptr;
    if (rgn) {
        GDIP(GdipCreateRegionHrgn)(rgn, &region);
        DeleteObject(rgn);
    }
    return region;
}

void deleteRegion(GpRegion*& region)
{
    if (region)
        GDIP(GdipDeleteRegion)(region);
    region = nullptr;
}

void fillWindow(GpGraphics* graphics, int width, int height, ARGB color)
{
    GpSolidFill* brush = solidBrush(color);
    if (!brush)
        return;
    GDIP(GdipFillRectangleI)(graphics, brush, 0, 0, width, height);
    GDIP(GdipDeleteBrush)(brush);
}

}  // namespace

// ---- background ----

void HostWindow::setBackground(std::optional<Bytes> picture, std::optional<COLORREF> color, int mode, bool quiet)
{
    if (!backGraphics)
        return;
    const int width = deviceSize.cx, height = deviceSize.cy;
    lockRedraw();
    loadBackgroundPicture(picture, color);

    if (mode == 1 && isLayered()) {
        releaseFadeCanvas();  // a fade still running goes on from the new snapshot
        DibCanvas::make(windowDC, width, height, fadeDC, fadeBitmap, fadeOldBitmap);
        BitBlt(fadeDC, 0, 0, width, height, backDC, 0, 0, SRCCOPY);
    }

    paintBackground();

    GDIP(GdipFlush)(backGraphics, Gdiplus::FlushIntentionSync);
    BitBlt(backgroundDC, 0, 0, width, height, backDC, 0, 0, SRCCOPY);
    GdiFlush();
    deleteRegion(clipRegion);
    clipInterior_ = {0, 0, width, height};
    if (frameStyle_ != 1) {
        // In device pixels: composition draws the controls' device-sized bitmaps without a transform.
        const int corner = frameStyle_ == 0 ? 0 : device(clipCorner);
        const int inner = device(7), outer = device(6);
        clipRegion = regionFromRoundRect(inner, inner, width - outer, height - outer, corner);
        // The region's pixels run from 7 to width - 8; its corners are cut within `corner` pixels.
        const int core = device(7 + clipCorner);
        clipInterior_ = {core, core, width - core, height - core};
        if (clipRegion)
            GDIP(GdipSetClipRegion)(backGraphics, clipRegion, Gdiplus::CombineModeReplace);
    }
    layoutCaption();
    composeList(firstControl, {deviceWindowRect(), false, true, !quiet});
    GDIP(GdipResetClip)(backGraphics);
    redrawDropped_ = false;

    unlockRedraw();
    if (blurBehind)
        setBlur(device(6), device(6), width - device(5), height - device(5), device(6));

    if (mode == 0) {
        presentRect(windowRect());
    } else if (mode == 1) {
        // The fade holds one lock from here to its last tick; a fade started again keeps the one it has.
        if (!fadeRunning_)
            lockRedraw();
        fadeAlpha = 0;
        fadeRunning_ = true;
        SetTimer(hwnd, handle(), fadeIntervalMs, fadeTimerProc);
    }
}

// ---- picture and colour ----

void HostWindow::loadBackgroundPicture(std::optional<Bytes> picture, std::optional<COLORREF> color)
{
    HostWindow* source = nullptr;
    if (skinSourceWindow && IsWindow(skinSourceWindow))
        source = fromWindow(skinSourceWindow);
    if (source && source != this) {
        backgroundImage = source->backgroundImage;
        backgroundColor = source->backgroundColor;
        return;
    }
    if (skinSourceWindow) {
        // The source is gone: its picture was never ours to dispose of, and is no longer valid to draw.
        backgroundImage = nullptr;
        skinSourceWindow = nullptr;
    }
    if (picture) {
        disposeImage(backgroundImage);
        GpBitmap* decoded = bitmapFromMemory(*picture);
        backgroundImage = decoded;
        if (decoded)
            backgroundColor = averageColor(decoded, backgroundColor);
    }
    if (color && *color != CLR_INVALID)
        backgroundColor = *color;
}

// The whole back buffer transparent black, as GdipGraphicsClear makes it, written straight into the
// DIB's memory (GDI+ on a DC clears pixel by pixel: 4 ms for the installer's window under Wine).
void HostWindow::clearBackBuffer()
{
    DIBSECTION dib = {};
    if (GetObjectW(backBitmap, sizeof dib, &dib) == sizeof dib && dib.dsBm.bmBits && dib.dsBm.bmBitsPixel == 32) {
        GDIP(GdipFlush)(backGraphics, Gdiplus::FlushIntentionSync);
        GdiFlush();
        std::memset(dib.dsBm.bmBits, 0, static_cast<size_t>(dib.dsBm.bmWidthBytes) * dib.dsBm.bmHeight);
        return;
    }
    GDIP(GdipGraphicsClear)(backGraphics, 0x00000000);
}

// ---- painting ----

// Steps up to the frame outline and the window shape; the clip of the back buffer is reset after.
void HostWindow::paintBackground()
{
    const int width = size.cx, height = size.cy;
    const float factor = displayScale.factor();
    GDIP(GdipResetClip)(backGraphics);
    clearBackBuffer();
    DisplayScale::applyTransform(backGraphics, factor, factor);
    GpImage* picture = backgroundImage;
    const float pictureWidth = picture ? static_cast<float>(imageWidth(picture)) : 0;
    const float pictureHeight = picture ? static_cast<float>(imageHeight(picture)) : 0;

    if (frameStyle_ == 1) {
        if (picture) {
            const bool noMargins = std::all_of(imageMargins.begin(), imageMargins.end(), [](int m) { return m == 0; });
            if (noMargins) {
                GDIP(GdipDrawImageRect)(backGraphics, picture, 0, 0, pictureWidth, pictureHeight);
            } else {
                RECT centre = {imageMargins[0], imageMargins[1], imageMargins[2], imageMargins[3]};
                drawImageNineGrid(backGraphics, picture, makeRectF(0, 0, width, height), rectFromRECT(centre));
            }
        }
        if (onPaintBackground)
            onPaintBackground(hwnd, backGraphics, width, height);
        DisplayScale::applyTransform(backGraphics, 1, 1);
        return;
    }

    // The clip is set in device pixels (without the transform) and kept by GDI+ in device pixels.
    DisplayScale::applyTransform(backGraphics, 1, 1);
    GpRegion* region = regionFromRoundRect(device(6), device(6), deviceSize.cx - device(5), deviceSize.cy - device(5),
                                           frameStyle_ == 0 ? 0 : device(4));
    if (region)
        GDIP(GdipSetClipRegion)(backGraphics, region, Gdiplus::CombineModeReplace);
    DisplayScale::applyTransform(backGraphics, factor, factor);
    if (picture) {
        fillWindow(backGraphics, width, height, makeColor(backgroundColor, 255));
        RectF placed = {5, 5, pictureWidth, pictureHeight};
        if (imageLayout == 1)
            placed = makeRectF(5, 5, width - 10, height - 10);
        else if (imageLayout == 2)
            placed = {std::trunc((width - pictureWidth) / 2), std::trunc((height - pictureHeight) / 2), pictureWidth,
                      pictureHeight};
        GDIP(GdipDrawImageRect)(backGraphics, picture, placed.x, placed.y, placed.width, placed.height);
        if (outlineExtra && imageLayout != 1) {
            // One pixel of the fill colour around the picture hides its anti-aliased rim.
            RectF edge = {placed.x - 1, placed.y - 1, placed.width + 2, placed.height + 2};
            drawFrame(backGraphics, edge, makeColor(backgroundColor, 255));
        }
        if (isLayered()) {
            GDIP(GdipFlush)(backGraphics, Gdiplus::FlushIntentionSync);
            GpBitmap* whole = wrapDib(backBitmap);
            GpBitmap* composed = nullptr;
            if (whole)
                GDIP(GdipCloneBitmapAreaI)(0, 0, deviceSize.cx, deviceSize.cy, PixelFormat32bppPARGB, whole, &composed);
            disposeImage(whole);
            GDIP(GdipGraphicsClear)(backGraphics, 0x00000000);
            DisplayScale::applyTransform(backGraphics, 1, 1);
            drawImage(backGraphics, composed, deviceWindowRect(), windowAlpha);
            DisplayScale::applyTransform(backGraphics, factor, factor);
            disposeImage(composed);
        }
    } else {
        fillWindow(backGraphics, width, height, makeColor(backgroundColor, isLayered() ? windowAlpha : 255));
    }
    if (onPaintBackground)
        onPaintBackground(hwnd, backGraphics, width, height);
    drawFrameOutline();
    GDIP(GdipResetClip)(backGraphics);
    deleteRegion(region);
    if ((frameFlags & FRAME_ALWAYS) && isLayered())
        drawShadow();
    DisplayScale::applyTransform(backGraphics, 1, 1);
    applyWindowShape();
}

// CreateRoundRectRgn leaves out its right and bottom edge: the shape (6, 6, width - 5, height - 5)
// shows pixels 6 to width - 7, and the outer line runs along those.
void HostWindow::drawFrameOutline()
{
    const int width = size.cx, height = size.cy;
    const RectF outer = makeRectF(6, 6, width - 12, height - 12);
    const RectF inner = makeRectF(7, 7, width - 14, height - 14);
    if (frameStyle_ != 0) {
        strokeRoundedRect(backGraphics, outer, 7, outlineOuterColor);
        strokeRoundedRect(backGraphics, inner, 7, outlineInnerColor);
    } else {
        drawFrame(backGraphics, outer, outlineOuterColor);
        drawFrame(backGraphics, inner, outlineInnerColor);
    }
}

// Rings fading outwards in the margin outside the outline; only a layered window can show them.
void HostWindow::drawShadow()
{
    const int rings = std::min(std::max(shadowWidth, 0), 6);
    const int width = size.cx, height = size.cy;
    for (int k = 1; k <= rings; ++k) {
        const ARGB alpha = static_cast<ARGB>(48 * (rings + 1 - k) / rings);
        RectF ring = makeRectF(6 - k, 6 - k, width - 12 + 2 * k, height - 12 + 2 * k);
        if (frameStyle_ != 0)
            strokeRoundedRect(backGraphics, ring, static_cast<float>(7 + 2 * k), alpha << 24);
        else
            drawFrame(backGraphics, ring, (alpha << 24) | 0x000001);  // a colour value above 4, black
    }
}

// ---- window shape ----

void HostWindow::applyWindowShape()
{
    if (isLayered() || !hwnd)
        return;
    if (frameStyle_ == 1) {
        SetWindowRgn(hwnd, nullptr, TRUE);
        return;
    }
    const int inset = device(IsZoomed(hwnd) ? 5 : 6);
    const int corner = frameStyle_ == 0 ? 0 : device(5);
    SetWindowRgn(hwnd,
                 CreateRoundRectRgn(inset, inset, deviceSize.cx - inset + 1, deviceSize.cy - inset + 1, corner, corner),
                 TRUE);
}

// ---- blur ----

void HostWindow::setBlur(int left, int top, int right, int bottom, int corner)
{
    if (engine().windowsMajorVersion != 6 || frameStyle_ == 1 || !isLayered())
        return;
    auto isCompositionEnabled =
        BOUND_PROC(SystemDll::Dwm, decltype(&DwmIsCompositionEnabled), "DwmIsCompositionEnabled");
    auto enableBlurBehind = BOUND_PROC(SystemDll::Dwm, decltype(&DwmEnableBlurBehindWindow), "DwmEnableBlurBehindWindow");
    if (!isCompositionEnabled || !enableBlurBehind)
        return;
    BOOL enabled = FALSE;
    if (isCompositionEnabled(&enabled) != S_OK || !enabled)
        return;
    HRGN rgn = CreateRoundRectRgn(left, top, right, bottom, corner, corner);
    DWM_BLURBEHIND blur = {};
    blur.dwFlags = DWM_BB_ENABLE | DWM_BB_BLURREGION;
    blur.fEnable = TRUE;
    blur.hRgnBlur = rgn;
    enableBlurBehind(hwnd, &blur);
    if (rgn)
        DeleteObject(rgn);
}
