// Sections: canvases · entry points and present · redraw and composition · transitions ·
// fade-in snapshots · size changes · background · background fade · blur · show and close animations
#include <windows.h>
#include <dwmapi.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Canvas.h"
#include "Control.h"
#include "Engine.h"
#include "HostWindow.h"
#include "Images.h"
#include "RedrawQueue.h"

HostWindow::PresentBltProc HostWindow::presentBlt = ::BitBlt;
HostWindow::PresentLayeredProc HostWindow::presentLayeredWindow = ::UpdateLayeredWindow;

namespace {

constexpr float overlapTolerance = 1e-7f;
constexpr ARGB outlineOuterColor = 0xCC606060;
constexpr ARGB outlineInnerColor = 0x66FFFFFF;
constexpr UINT fadeIntervalMs = 50;
constexpr int fadeStep = 51;  // five ticks from 0 to 255
constexpr int clipCorner = 3;  // corner of the rounded clip region; a square one is kept as clear

// A memory DC with a 32-bit bottom-up DIB section selected into it.
struct DibCanvas {
    HDC dc = nullptr;
    HBITMAP dib = nullptr;
    HGDIOBJ old = nullptr;
    std::uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;
};

HBITMAP createDib(HDC dc, int width, int height, std::uint32_t** bits)
{
    BITMAPINFO info = {};  // the one colour entry stays zero
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
    void* pixels = nullptr;
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bits)
        *bits = static_cast<std::uint32_t*>(pixels);
    return dib;
}

// compatibleWith 0 gives a DC compatible with the screen.
void makeCanvas(HDC compatibleWith, int width, int height, HDC& dc, HBITMAP& dib, HGDIOBJ& old,
                std::uint32_t** bits = nullptr)
{
    dc = CreateCompatibleDC(compatibleWith);
    dib = createDib(dc, width, height, bits);
    old = dib ? SelectObject(dc, dib) : nullptr;
}

void releaseCanvas(HDC& dc, HBITMAP& dib, HGDIOBJ& old)
{
    if (dc && old)
        SelectObject(dc, old);
    if (dib)
        DeleteObject(dib);
    if (dc)
        DeleteDC(dc);
    dc = nullptr;
    dib = nullptr;
    old = nullptr;
}

DibCanvas makeDibCanvas(int width, int height)
{
    DibCanvas canvas;
    canvas.width = width;
    canvas.height = height;
    makeCanvas(nullptr, width, height, canvas.dc, canvas.dib, canvas.old, &canvas.bits);
    return canvas;
}

void releaseDibCanvas(DibCanvas& canvas)
{
    releaseCanvas(canvas.dc, canvas.dib, canvas.old);
    canvas.bits = nullptr;
}

void clearDibCanvas(DibCanvas& canvas, std::uint32_t color)
{
    if (!canvas.bits)
        return;
    GdiFlush();
    std::fill_n(canvas.bits, static_cast<size_t>(canvas.width) * static_cast<size_t>(canvas.height), color);
}

GpGraphics* makeGraphics(HDC dc)
{
    GpGraphics* graphics = nullptr;
    if (!dc || GDIP(GdipCreateFromHDC)(dc, &graphics) != Gdiplus::Ok)
        return nullptr;
    GDIP(GdipSetSmoothingMode)(graphics, Gdiplus::SmoothingModeAntiAlias);
    GDIP(GdipSetTextRenderingHint)(graphics, Gdiplus::TextRenderingHintAntiAliasGridFit);
    return graphics;
}

void deleteGraphics(GpGraphics*& graphics)
{
    if (graphics)
        GDIP(GdipDeleteGraphics)(graphics);
    graphics = nullptr;
}

// The process's one scratch canvas for transitions: at least as large as every attached window.
struct ScratchCanvas {
    HDC dc = nullptr;
    HBITMAP dib = nullptr;
    HGDIOBJ old = nullptr;
    GpGraphics* graphics = nullptr;
};
ScratchCanvas scratch;

SIZE scratchSize()
{
    BITMAP info = {};
    if (!scratch.dib || GetObjectW(scratch.dib, sizeof info, &info) != sizeof info)
        return {0, 0};
    return {info.bmWidth, info.bmHeight};
}

void growScratchCanvas(int width, int height)
{
    if (scratch.dib) {
        const SIZE current = scratchSize();
        if (current.cx >= width && current.cy >= height)
            return;
        width = std::max<int>(width, current.cx);
        height = std::max<int>(height, current.cy);
        deleteGraphics(scratch.graphics);
        releaseCanvas(scratch.dc, scratch.dib, scratch.old);
    }
    makeCanvas(nullptr, width, height, scratch.dc, scratch.dib, scratch.old);
    scratch.graphics = makeGraphics(scratch.dc);
}

// Whole pixels covering the rectangle.
RECT coveringRect(const RectF& rect)
{
    RECT rc;
    rc.left = static_cast<LONG>(std::floor(rect.x + overlapTolerance));
    rc.top = static_cast<LONG>(std::floor(rect.y + overlapTolerance));
    rc.right = static_cast<LONG>(std::ceil(rect.x + rect.width - overlapTolerance));
    rc.bottom = static_cast<LONG>(std::ceil(rect.y + rect.height - overlapTolerance));
    return rc;
}

bool liesWithin(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// `core` lies wholly inside the clip region. A rounded region is the core grown by clipCorner on every
// side, less its four corner squares: a rectangle along an edge lies inside when it keeps clear of the
// corners in one direction.
bool insideClipRegion(const RECT& rc, const RECT& core, bool rounded)
{
    if (liesWithin(rc, core))
        return true;
    if (!rounded)
        return false;
    const RECT wide = {core.left - clipCorner, core.top, core.right + clipCorner, core.bottom};
    const RECT tall = {core.left, core.top - clipCorner, core.right, core.bottom + clipCorner};
    return liesWithin(rc, wide) || liesWithin(rc, tall);
}

bool isEmpty(const RECT& rc)
{
    return rc.right <= rc.left || rc.bottom <= rc.top;
}

// Strict: rectangles that only touch at an edge share no interior and do not overlap.
bool overlaps(const RectF& a, const RectF& b)
{
    return a.x < b.x + b.width - overlapTolerance && b.x < a.x + a.width - overlapTolerance &&
           a.y < b.y + b.height - overlapTolerance && b.y < a.y + a.height - overlapTolerance;
}

// The 32-bit DIB section's pixels as a GDI+ bitmap sharing its memory (premultiplied, top row first).
GpBitmap* wrapDib(HBITMAP dib)
{
    DIBSECTION section = {};
    if (!dib || GetObjectW(dib, sizeof section, &section) != sizeof section || !section.dsBm.bmBits)
        return nullptr;
    const int width = section.dsBm.bmWidth, height = section.dsBm.bmHeight;
    const int stride = width * 4;
    auto* lastRow = static_cast<BYTE*>(section.dsBm.bmBits) + static_cast<size_t>(height - 1) * stride;
    GpBitmap* bitmap = nullptr;
    GdiFlush();
    GDIP(GdipCreateBitmapFromScan0)(width, height, -stride, PixelFormat32bppPARGB, lastRow, &bitmap);
    return bitmap;
}

void disposeImage(GpImage* image)
{
    if (image)
        GDIP(GdipDisposeImage)(image);
}

void blend(HDC target, const RECT& to, HDC source, const RECT& from, int alpha)
{
    if (!target || !source || isEmpty(to) || isEmpty(from) || alpha <= 0)
        return;
    BLENDFUNCTION function = {AC_SRC_OVER, 0, static_cast<BYTE>(std::min(alpha, 255)), 0};
    GdiAlphaBlend(target, to.left, to.top, to.right - to.left, to.bottom - to.top, source, from.left, from.top,
                  from.right - from.left, from.bottom - from.top, function);
}

RECT intersection(const RECT& a, const RECT& b)
{
    RECT rc = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
    return rc;
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
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
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

// The graphics' clip, kept to be put back after nested drawing.
GpRegion* saveClip(GpGraphics* graphics)
{
    GpRegion* region = nullptr;
    if (GDIP(GdipCreateRegion)(&region) == Gdiplus::Ok)
        GDIP(GdipGetClip)(graphics, region);
    return region;
}

void restoreClip(GpGraphics* graphics, GpRegion*& saved)
{
    if (saved)
        GDIP(GdipSetClipRegion)(graphics, saved, Gdiplus::CombineModeReplace);
    deleteRegion(saved);
}

void fillWindow(GpGraphics* graphics, int width, int height, ARGB color)
{
    GpSolidFill* brush = solidBrush(color);
    if (!brush)
        return;
    GDIP(GdipFillRectangleI)(graphics, brush, 0, 0, width, height);
    GDIP(GdipDeleteBrush)(brush);
}

// Set while the top-level list of a redraw is drawn with no clip on the back buffer: images may then
// be blended by GDI directly (blendImagePart).
bool drawingUnclipped = false;

// A top-down DIB kept for the process: the premultiplied source of blendImagePart.
struct BlendSource {
    HDC dc = nullptr;
    HBITMAP dib = nullptr;
    HGDIOBJ old = nullptr;
    void* bits = nullptr;
    int width = 0;
    int height = 0;
};
BlendSource blendSource;

bool growBlendSource(int width, int height)
{
    if (blendSource.bits && width <= blendSource.width && height <= blendSource.height)
        return true;
    width = std::max(width, blendSource.width);
    height = std::max(height, blendSource.height);
    if (blendSource.dc) {
        SelectObject(blendSource.dc, blendSource.old);
        DeleteObject(blendSource.dib);
        DeleteDC(blendSource.dc);
    }
    blendSource = {};
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP dib = dc ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (!dib || !bits) {
        if (dc)
            DeleteDC(dc);
        return false;
    }
    blendSource = {dc, dib, SelectObject(dc, dib), bits, width, height};
    return true;
}

// A one-to-one draw of a bitmap part at full alpha onto an unclipped 32-bit DC: the part read as
// premultiplied ARGB and blended source-over with its per-pixel alpha. That is what GDI+ does for such
// a DC, but it makes a DC, a DIB and a clip region for every call. False when it cannot.
bool blendImagePart(HDC target, GpGraphics* graphics, GpImage* image, int srcX, int srcY, int dstX, int dstY,
                    int width, int height)
{
    Gdiplus::ImageType type = Gdiplus::ImageTypeUnknown;
    if (!target || GDIP(GdipGetImageType)(image, &type) != Gdiplus::Ok || type != Gdiplus::ImageTypeBitmap ||
        !growBlendSource(width, height))
        return false;
    auto* bitmap = static_cast<GpBitmap*>(image);
    Gdiplus::BitmapData data = {};
    data.Width = static_cast<UINT>(width);
    data.Height = static_cast<UINT>(height);
    data.Stride = blendSource.width * 4;
    data.PixelFormat = PixelFormat32bppPARGB;
    data.Scan0 = blendSource.bits;
    Gdiplus::GpRect area = {srcX, srcY, width, height};
    GdiFlush();
    if (GDIP(GdipBitmapLockBits)(bitmap, &area, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                                 PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return false;
    GDIP(GdipBitmapUnlockBits)(bitmap, &data);
    GDIP(GdipFlush)(graphics, Gdiplus::FlushIntentionSync);
    BLENDFUNCTION function = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(target, dstX, dstY, width, height, blendSource.dc, 0, 0, width, height, function);
    GdiFlush();  // GDI+ may write the back buffer's memory directly next
    return true;
}

void sleepAndPump(int milliseconds)
{
    Sleep(static_cast<DWORD>(std::max(milliseconds, 0)));
    processEvents();
}

}  // namespace

// ---- canvases ----

RectF HostWindow::windowRect() const
{
    return makeRectF(0, 0, size.cx, size.cy);
}

SIZE HostWindow::scratchCanvasSize()
{
    return scratchSize();
}

void HostWindow::createCanvases()
{
    const int width = size.cx, height = size.cy;
    makeCanvas(windowDC, width, height, backDC, backBitmap, backOldBitmap);
    backGraphics = makeGraphics(backDC);
    makeCanvas(windowDC, width, height, backgroundDC, backgroundBitmap, backgroundOldBitmap);
    growScratchCanvas(width, height);
}

void HostWindow::releaseCanvases()
{
    if (fadeRunning_ && hwnd)
        KillTimer(hwnd, handle());
    fadeRunning_ = false;
    releaseFadeCanvas();
    deleteGraphics(backGraphics);
    releaseCanvas(backDC, backBitmap, backOldBitmap);
    releaseCanvas(backgroundDC, backgroundBitmap, backgroundOldBitmap);
}

void HostWindow::releaseFadeCanvas()
{
    releaseCanvas(fadeDC, fadeBitmap, fadeOldBitmap);
}

// ---- entry points and present ----

void HostWindow::invalidate(const RectF& rect, int mode)
{
    if (redrawQueue)
        redrawQueue->add(rect, mode);
}

void HostWindow::present(std::optional<RectF> rect)
{
    presentRect(rect.value_or(windowRect()));
}

void HostWindow::presentRect(const RectF& rect)
{
    if (redrawLock || !backDC)
        return;
    if (backGraphics)
        GDIP(GdipFlush)(backGraphics, Gdiplus::FlushIntentionSync);
    if (isLayered()) {
        presentLayered();
        return;
    }
    RECT rc = intersection(coveringRect(rect), RECT{0, 0, size.cx, size.cy});
    if (isEmpty(rc) || !windowDC)
        return;
    presentBlt(windowDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, backDC, rc.left, rc.top, SRCCOPY);
}

void HostWindow::presentLayered()
{
    if (redrawLock || !backDC)
        return;
    layeredFrame(backDC);
}

// UpdateLayeredWindow of a window-sized canvas with its per-pixel alpha.
void HostWindow::layeredFrame(HDC canvas)
{
    POINT origin = {0, 0};
    SIZE extent = size;
    BLENDFUNCTION function = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    presentLayeredWindow(hwnd, nullptr, nullptr, &extent, canvas, &origin, 0, &function, ULW_ALPHA);
}

// ---- redraw and composition ----

void HostWindow::redrawRect(const RectF& rect, bool presentIt)
{
    if (redrawLock) {
        redrawDropped_ = true;
        return;
    }
    composeRect(rect);
    if (presentIt)
        presentRect(rect);
}

// Background restored under the rectangle, then every control overlapping it drawn over it.
void HostWindow::composeRect(const RectF& rect)
{
    if (!backGraphics || !backDC)
        return;
    const RECT rc = coveringRect(rect);
    if (isEmpty(rc))
        return;
    const RectF dirty = rectFromRECT(rc);
    // Inside the clip region no clip is set: drawList draws only the parts of the images inside the
    // dirty rectangle, and GDI+ pays for a clip on every image drawn.
    const bool unclipped = insideClipRegion(rc, clipInterior_, clipRegion != nullptr);
    if (!unclipped) {
        if (clipRegion)
            GDIP(GdipSetClipRegion)(backGraphics, clipRegion, Gdiplus::CombineModeReplace);
        else
            GDIP(GdipResetClip)(backGraphics);
        GDIP(GdipSetClipRect)(backGraphics, dirty.x, dirty.y, dirty.width, dirty.height,
                              Gdiplus::CombineModeIntersect);
    } else {
        GDIP(GdipResetClip)(backGraphics);
    }
    BitBlt(backDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, backgroundDC, rc.left, rc.top, SRCCOPY);
    GdiFlush();  // GDI+ writes the section's memory directly: the restore must have landed first
    const bool wasUnclipped = drawingUnclipped;
    drawingUnclipped = unclipped;
    drawList(firstControl, dirty);
    drawingUnclipped = wasUnclipped;
    GDIP(GdipResetClip)(backGraphics);
}

void HostWindow::drawList(ControlHandle first, const RectF& dirty)
{
    for (ControlHandle current = first; current;) {
        Control* control = Control::fromHandle(current);
        if (control->isVisible() && overlaps(control->currentBounds(), dirty)) {
            drawControl(*control, dirty);
            if (control->firstChild()) {
                const RectF bounds = control->currentBounds();
                GpRegion* saved = saveClip(backGraphics);
                GDIP(GdipSetClipRect)(backGraphics, bounds.x, bounds.y, bounds.width, bounds.height,
                                      Gdiplus::CombineModeIntersect);
                const bool wasUnclipped = drawingUnclipped;
                drawingUnclipped = false;
                drawList(control->firstChild(), dirty);
                drawingUnclipped = wasUnclipped;
                restoreClip(backGraphics, saved);
            }
        }
        // Read after drawing: a control answering an event may have unlinked its neighbour.
        current = control->nextSibling();
    }
}

bool HostWindow::isDimmed(Control& control)
{
    return control.dispatchEvent(EV_QUERY_DIM, 0, 1) == -1;
}

namespace {
// A fade-in runs between end paint and its last tick; without a snapshot there is nothing to fade from.
bool isTransitionRunning(Control& control)
{
    return control.transitionInterval() != 0 && control.transitionFrames() != 0 &&
           control.transitionFrame() != control.transitionFrames() && control.transitionSnapshot() != nullptr;
}
}  // namespace

void HostWindow::drawControl(Control& control, const RectF& dirty)
{
    const RectF bounds = control.currentBounds();
    const int alpha = control.currentAlpha();
    if (control.isDisabled()) {
        drawImagePart(control.bitmap(), bounds, dirty, isDimmed(control) ? alpha / 2 : alpha);
        return;
    }
    if (!isTransitionRunning(control)) {
        drawImagePart(control.bitmap(), bounds, dirty, alpha);
        return;
    }
    // Transitions draw whole images: they get the dirty rectangle as clip in any case.
    GpRegion* saved = saveClip(backGraphics);
    GDIP(GdipSetClipRect)(backGraphics, dirty.x, dirty.y, dirty.width, dirty.height, Gdiplus::CombineModeIntersect);
    RectF clip;
    GDIP(GdipGetVisibleClipBounds)(backGraphics, gpRect(&clip));
    TransitionRecord record = {backDC, backGraphics, scratch.dc, scratch.graphics, control.bitmap(),
                               control.transitionSnapshot(), bounds, clip.x, clip.y};
    if (control.dispatchEvent(EV_DRAW_TRANSITION, 0, reinterpret_cast<LPARAM>(&record)) < 1)
        drawTransition(control, clip);
    restoreClip(backGraphics, saved);
}

void HostWindow::drawImage(GpGraphics* graphics, GpImage* image, const RectF& rect, int alpha)
{
    if (!graphics || !image || alpha <= 0)
        return;
    if (alpha >= 255) {
        GDIP(GdipDrawImageRect)(graphics, image, rect.x, rect.y, rect.width, rect.height);
        return;
    }
    Gdiplus::ColorMatrix matrix = {};
    for (int i = 0; i < 5; ++i)
        matrix.m[i][i] = 1.0f;
    matrix.m[3][3] = static_cast<float>(alpha) / 255.0f;
    GpImageAttributes* attributes = nullptr;
    if (GDIP(GdipCreateImageAttributes)(&attributes) != Gdiplus::Ok)
        return;
    GDIP(GdipSetImageAttributesColorMatrix)(attributes, Gdiplus::ColorAdjustTypeDefault, TRUE, &matrix, nullptr,
                                            Gdiplus::ColorMatrixFlagsDefault);
    GDIP(GdipDrawImageRectRect)(graphics, image, rect.x, rect.y, rect.width, rect.height, 0, 0, rect.width,
                                rect.height, Gdiplus::UnitPixel, attributes, nullptr, nullptr);
    GDIP(GdipDisposeImageAttributes)(attributes);
}

namespace {
bool isWhole(float v)
{
    return v == std::floor(v);
}
}  // namespace

// Only the part of the image inside the dirty rectangle: GDI+ otherwise processes the whole image even
// where the clip hides it. Possible when the image maps one to one onto whole-pixel bounds.
void HostWindow::drawImagePart(GpImage* image, const RectF& bounds, const RectF& dirty, int alpha)
{
    if (!image || alpha <= 0)
        return;
    const bool oneToOne = isWhole(bounds.x) && isWhole(bounds.y) && isWhole(bounds.width) &&
                          isWhole(bounds.height) && static_cast<float>(imageWidth(image)) == bounds.width &&
                          static_cast<float>(imageHeight(image)) == bounds.height;
    if (!oneToOne) {
        GpRegion* saved = saveClip(backGraphics);
        GDIP(GdipSetClipRect)(backGraphics, dirty.x, dirty.y, dirty.width, dirty.height,
                              Gdiplus::CombineModeIntersect);
        drawImage(backGraphics, image, bounds, alpha);
        restoreClip(backGraphics, saved);
        return;
    }
    const float left = std::max(bounds.x, dirty.x), top = std::max(bounds.y, dirty.y);
    const float right = std::min(bounds.x + bounds.width, dirty.x + dirty.width);
    const float bottom = std::min(bounds.y + bounds.height, dirty.y + dirty.height);
    if (right <= left || bottom <= top)
        return;
    if (alpha >= 255 && drawingUnclipped &&
        blendImagePart(backDC, backGraphics, image, static_cast<int>(left - bounds.x), static_cast<int>(top - bounds.y),
                       static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                       static_cast<int>(bottom - top)))
        return;
    GpImageAttributes* attributes = nullptr;
    if (alpha < 255) {
        Gdiplus::ColorMatrix matrix = {};
        for (int i = 0; i < 5; ++i)
            matrix.m[i][i] = 1.0f;
        matrix.m[3][3] = static_cast<float>(alpha) / 255.0f;
        if (GDIP(GdipCreateImageAttributes)(&attributes) != Gdiplus::Ok)
            return;
        GDIP(GdipSetImageAttributesColorMatrix)(attributes, Gdiplus::ColorAdjustTypeDefault, TRUE, &matrix, nullptr,
                                                Gdiplus::ColorMatrixFlagsDefault);
    }
    GDIP(GdipDrawImageRectRect)(backGraphics, image, left, top, right - left, bottom - top, left - bounds.x,
                                top - bounds.y, right - left, bottom - top, Gdiplus::UnitPixel, attributes, nullptr,
                                nullptr);
    if (attributes)
        GDIP(GdipDisposeImageAttributes)(attributes);
}

// The tree over the whole back buffer, without transitions; notify sends EV_SNAPSHOT first.
void HostWindow::composeTree(ControlHandle first, bool notify)
{
    for (ControlHandle current = first; current;) {
        Control* control = Control::fromHandle(current);
        if (control->isVisible()) {
            if (notify)
                control->dispatchEvent(EV_SNAPSHOT, 0, 0);
            const int alpha = control->currentAlpha();
            const bool dim = control->isDisabled() && isDimmed(*control);
            drawImage(backGraphics, control->bitmap(), control->currentBounds(), dim ? alpha / 2 : alpha);
            if (control->firstChild()) {
                const RectF bounds = control->currentBounds();
                GpRegion* saved = saveClip(backGraphics);
                GDIP(GdipSetClipRect)(backGraphics, bounds.x, bounds.y, bounds.width, bounds.height,
                                      Gdiplus::CombineModeIntersect);
                composeTree(control->firstChild(), notify);
                restoreClip(backGraphics, saved);
            }
        }
        current = control->nextSibling();
    }
}

// ---- transitions ----

void HostWindow::drawTransition(Control& control, const RectF& clip)
{
    const int frame = control.transitionFrame();
    const int frames = control.transitionFrames();
    const int alpha = control.currentAlpha();
    const RectF bounds = control.currentBounds();
    GpBitmap* oldImage = control.transitionSnapshot();
    GpBitmap* newImage = control.bitmap();

    const int param = control.transitionParam();
    if (param < 1 || param > 4) {
        // Cross-fade: old over the back buffer, new over a copy of it, then the copy blended in.
        const RECT area = intersection(coveringRect(clip), RECT{0, 0, size.cx, size.cy});
        if (isEmpty(area) || !scratch.dc)
            return;
        BitBlt(scratch.dc, area.left, area.top, area.right - area.left, area.bottom - area.top, backDC, area.left,
               area.top, SRCCOPY);
        GdiFlush();
        drawImage(backGraphics, oldImage, bounds, alpha);
        drawImage(scratch.graphics, newImage, bounds, alpha);
        GDIP(GdipFlush)(backGraphics, Gdiplus::FlushIntentionSync);
        if (scratch.graphics)
            GDIP(GdipFlush)(scratch.graphics, Gdiplus::FlushIntentionSync);
        blend(backDC, area, scratch.dc, area, alpha * frame / frames);
        return;
    }

    // Slides stay inside the control: what moves out of its bounds is cut off.
    GpRegion* saved = saveClip(backGraphics);
    GDIP(GdipSetClipRect)(backGraphics, bounds.x, bounds.y, bounds.width, bounds.height,
                          Gdiplus::CombineModeIntersect);
    const bool vertical = param == 1 || param == 2;
    const int extent = static_cast<int>(vertical ? bounds.height : bounds.width);
    const float offset = static_cast<float>(extent / frames * frame);
    const float length = vertical ? bounds.height : bounds.width;
    // Old image moves by `offset`; the new one follows right behind it.
    const float direction = (param == 1 || param == 3) ? 1.0f : -1.0f;
    RectF oldRect = bounds, newRect = bounds;
    float& oldPos = vertical ? oldRect.y : oldRect.x;
    float& newPos = vertical ? newRect.y : newRect.x;
    oldPos += direction * offset;
    newPos = oldPos - direction * length;
    auto drawCentred = [this](GpBitmap* image, const RectF& rect) {
        if (!image)
            return;
        const float w = static_cast<float>(imageWidth(image)), h = static_cast<float>(imageHeight(image));
        GDIP(GdipDrawImageRect)(backGraphics, image, rect.x + (rect.width - w) / 2, rect.y + (rect.height - h) / 2, w,
                                h);
    };
    drawCentred(oldImage, oldRect);
    drawCentred(newImage, newRect);
    restoreClip(backGraphics, saved);
}

// ---- fade-in snapshots ----

void HostWindow::redrawIntoBackBuffer(const RectF& rect)
{
    redrawRect(rect, false);
}

GpBitmap* HostWindow::cloneBackBufferArea(const RectF& rect)
{
    if (backGraphics)
        GDIP(GdipFlush)(backGraphics, Gdiplus::FlushIntentionSync);
    GpBitmap* whole = wrapDib(backBitmap);
    if (!whole)
        return nullptr;
    const RECT rc = coveringRect(rect);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    GpBitmap* copy = nullptr;
    if (width > 0 && height > 0) {
        const bool inside = rc.left >= 0 && rc.top >= 0 && rc.right <= size.cx && rc.bottom <= size.cy;
        if (inside) {
            GDIP(GdipCloneBitmapAreaI)(rc.left, rc.top, width, height, PixelFormat32bppARGB, whole, &copy);
        } else if (GDIP(GdipCreateBitmapFromScan0)(width, height, 0, PixelFormat32bppARGB, nullptr, &copy) ==
                   Gdiplus::Ok) {
            // Partly outside the window: what lies outside stays transparent.
            GpGraphics* graphics = nullptr;
            if (GDIP(GdipGetImageGraphicsContext)(copy, &graphics) == Gdiplus::Ok) {
                GDIP(GdipSetCompositingMode)(graphics, Gdiplus::CompositingModeSourceCopy);
                GDIP(GdipDrawImageRectRectI)(graphics, whole, 0, 0, width, height, rc.left, rc.top, width, height,
                                             Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
                GDIP(GdipDeleteGraphics)(graphics);
            }
        }
    }
    disposeImage(whole);
    return copy;
}

// ---- size changes ----

void HostWindow::onSize(HWND window, WPARAM wParam)
{
    if (wParam == SIZE_MINIMIZED || !backDC)
        return;
    RECT rc;
    if (!GetWindowRect(window, &rc))
        return;
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    if (width == size.cx && height == size.cy)
        return;
    if (fadeRunning_)
        finishFade();  // its snapshot and its picture belong to the old size
    releaseCanvases();
    size = {width, height};
    createCanvases();
    if (redrawQueue)
        redrawQueue->init(hwnd, handle(), backGraphics);
    if (onResize)
        onResize(window, width, height);
    setBackground(std::nullopt, backgroundColor, 0, true);
}

// ---- background ----

void HostWindow::setBackground(std::optional<Bytes> picture, std::optional<COLORREF> color, int mode, bool quiet)
{
    if (!backGraphics)
        return;
    const int width = size.cx, height = size.cy;
    redrawLock = true;
    loadBackgroundPicture(picture, color);

    if (mode == 1 && isLayered()) {
        releaseFadeCanvas();  // a fade still running goes on from the new snapshot
        makeCanvas(windowDC, width, height, fadeDC, fadeBitmap, fadeOldBitmap);
        BitBlt(fadeDC, 0, 0, width, height, backDC, 0, 0, SRCCOPY);
    }

    paintBackground();

    GDIP(GdipFlush)(backGraphics, Gdiplus::FlushIntentionSync);
    BitBlt(backgroundDC, 0, 0, width, height, backDC, 0, 0, SRCCOPY);
    GdiFlush();
    deleteRegion(clipRegion);
    clipInterior_ = {0, 0, width, height};
    if (frameStyle_ != 1) {
        const int corner = frameStyle_ == 0 ? 0 : clipCorner;
        clipRegion = regionFromRoundRect(7, 7, width - 6, height - 6, corner);
        // The region's pixels run from 7 to width - 8; its corners are cut within `corner` pixels.
        clipInterior_ = {7 + clipCorner, 7 + clipCorner, width - 7 - clipCorner, height - 7 - clipCorner};
        if (clipRegion)
            GDIP(GdipSetClipRegion)(backGraphics, clipRegion, Gdiplus::CombineModeReplace);
    }
    layoutCaption();
    composeTree(firstControl, !quiet);
    GDIP(GdipResetClip)(backGraphics);
    redrawDropped_ = false;

    redrawLock = false;
    if (blurBehind)
        setBlur(6, 6, width - 5, height - 5, 6);

    if (mode == 0) {
        presentRect(windowRect());
    } else if (mode == 1) {
        redrawLock = true;
        fadeAlpha = 0;
        fadeRunning_ = true;
        SetTimer(hwnd, handle(), fadeIntervalMs, fadeTimerProc);
    }
}

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

// Steps up to the frame outline and the window shape; the clip of the back buffer is reset after.
void HostWindow::paintBackground()
{
    const int width = size.cx, height = size.cy;
    GDIP(GdipResetClip)(backGraphics);
    clearBackBuffer();
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
        return;
    }

    GpRegion* region = regionFromRoundRect(6, 6, width - 5, height - 5, frameStyle_ == 0 ? 0 : 4);
    if (region)
        GDIP(GdipSetClipRegion)(backGraphics, region, Gdiplus::CombineModeReplace);
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
                GDIP(GdipCloneBitmapAreaI)(0, 0, width, height, PixelFormat32bppPARGB, whole, &composed);
            disposeImage(whole);
            GDIP(GdipGraphicsClear)(backGraphics, 0x00000000);
            drawImage(backGraphics, composed, makeRectF(0, 0, width, height), windowAlpha);
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

void HostWindow::applyWindowShape()
{
    if (isLayered() || !hwnd)
        return;
    if (frameStyle_ == 1) {
        SetWindowRgn(hwnd, nullptr, TRUE);
        return;
    }
    const int inset = IsZoomed(hwnd) ? 5 : 6;
    const int corner = frameStyle_ == 0 ? 0 : 5;
    SetWindowRgn(hwnd,
                 CreateRoundRectRgn(inset, inset, size.cx - inset + 1, size.cy - inset + 1, corner, corner), TRUE);
}

// ---- background fade ----

void CALLBACK HostWindow::fadeTimerProc(HWND hwnd, UINT msg, UINT_PTR id, DWORD time)
{
    HostWindow* host = fromWindow(hwnd);
    if (!host || host->handle() != static_cast<HostHandle>(id)) {
        KillTimer(hwnd, id);  // the host has gone: nothing left to fade
        return;
    }
    host->fadeTick(hwnd, msg, id, time);
}

void HostWindow::fadeTick(HWND window, UINT msg, UINT_PTR id, DWORD time)
{
    const int width = size.cx, height = size.cy;
    HDC target = windowDC;
    if (isLayered()) {
        target = fadeDC;
        if (fadeDC)
            layeredFrame(fadeDC);
    }
    fadeAlpha = std::min(fadeAlpha + fadeStep, 255);
    const RECT whole = {0, 0, width, height};
    blend(target, whole, backDC, whole, fadeAlpha);
    if (fadeAlpha >= 255 || !target)
        finishFade();
}

void HostWindow::finishFade()
{
    fadeAlpha = 255;
    fadeRunning_ = false;
    KillTimer(hwnd, handle());
    releaseFadeCanvas();
    const bool stale = redrawDropped_;
    if (stale)
        composeRect(windowRect());  // what was refused during the fade
    redrawDropped_ = false;
    redrawLock = false;
    if (isLayered() || stale)
        presentRect(windowRect());
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

// ---- show and close animations ----

void HostWindow::show(int animation, std::optional<int> duration)
{
    processEvents();
    if (animation != 0) {
        playShowAnimation(animation, duration.value_or(200));
        presentRect(windowRect());
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return;
    }
    if (blurBehind)
        setBlur(6, 6, size.cx - 5, size.cy - 5, 6);
    ShowWindow(hwnd, SW_SHOWNORMAL);
}

namespace {
// The back buffer's part `from` blended onto the canvas at `to`, clamped to what the buffer holds.
void blendFromBuffer(DibCanvas& canvas, const RECT& to, HDC backDC, SIZE backSize, const RECT& from, int alpha)
{
    const RECT inside = intersection(from, RECT{0, 0, backSize.cx, backSize.cy});
    if (inside.left != from.left || inside.top != from.top || inside.right != from.right ||
        inside.bottom != from.bottom) {
        // Only unscaled strips are clamped; they map one to one.
        RECT shifted = {to.left + inside.left - from.left, to.top + inside.top - from.top,
                        to.left + inside.right - from.left, to.top + inside.bottom - from.top};
        blend(canvas.dc, shifted, backDC, inside, alpha);
        return;
    }
    blend(canvas.dc, to, backDC, from, alpha);
}

// A soft-edged wipe: `solid` strips along one edge at full `alpha`, then strips of falling alpha.
// horizontal: strips are columns; fromStart: the solid part begins at column (row) 0.
void drawWipe(DibCanvas& canvas, HDC backDC, SIZE backSize, bool horizontal, bool fromStart, int solid,
              int softCount, int alpha, int (*softAlpha)(int alpha, int j, int count))
{
    const int extent = horizontal ? canvas.width : canvas.height;
    auto strip = [&](int begin, int end) {
        begin = std::max(begin, 0);
        end = std::min(end, extent);
        if (end <= begin)
            return RECT{0, 0, 0, 0};
        return horizontal ? RECT{begin, 0, end, canvas.height} : RECT{0, begin, canvas.width, end};
    };
    const RECT solidPart = fromStart ? strip(0, solid) : strip(extent - solid, extent);
    blendFromBuffer(canvas, solidPart, backDC, backSize, solidPart, alpha);
    for (int j = 1; j <= softCount; ++j) {
        const int position = fromStart ? solid + j - 1 : extent - solid - j;
        if (position < 0 || position >= extent)
            break;
        const RECT one = strip(position, position + 1);
        blendFromBuffer(canvas, one, backDC, backSize, one, softAlpha(alpha, j, softCount));
    }
}

RECT insetRect(int width, int height, int dx, int dy)
{
    return RECT{dx, dy, width - dx, height - dy};
}
}  // namespace

void HostWindow::playShowAnimation(int kind, int duration)
{
    RECT windowRc;
    GetWindowRect(hwnd, &windowRc);
    const int width = windowRc.right - windowRc.left, height = windowRc.bottom - windowRc.top;
    const bool ordinary = !isLayered();
    const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    if (ordinary) {
        SetWindowLongW(hwnd, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
        SetWindowRgn(hwnd, CreateRoundRectRgn(6, 6, width - 5, height - 5, 5, 5), TRUE);
    }
    redrawLock = true;

    DibCanvas canvas = makeDibCanvas(width, height);
    // Transparent black: with premultiplied alpha a transparent white would light the screen up.
    clearDibCanvas(canvas, 0x00000000);
    layeredFrame(canvas.dc);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    if (blurBehind)
        setBlur(0, 0, 0, 0, 0);

    const RECT whole = {0, 0, width, height};
    for (int i = 1; i <= 10; ++i) {
        clearDibCanvas(canvas, 0x00000000);
        const int s = 25 * (i - 1);
        int wait = duration / 10;
        if (kind == 1) {
            blendFromBuffer(canvas, whole, backDC, size, whole, s);
        } else if (kind == 7) {
            const int dx = static_cast<int>(width * 0.1 / 10 * (10 - i));
            const int dy = static_cast<int>(height * 0.1 / 10 * (10 - i));
            blend(canvas.dc, insetRect(width, height, dx, dy), backDC, intersection(whole, {0, 0, size.cx, size.cy}),
                  s);
            wait = 11 - i;
        } else {
            const bool horizontal = kind == 3 || kind == 4;
            const bool fromStart = kind == 3 || kind == 5;
            const int revealed = (horizontal ? width : height) / 10 * (i - 1);
            drawWipe(canvas, backDC, size, horizontal, fromStart, revealed, 100, s,
                     [](int a, int j, int) { return a * (101 - j) / 100; });
        }
        layeredFrame(canvas.dc);
        sleepAndPump(wait);
    }

    if (redrawDropped_) {
        composeRect(windowRect());  // what was refused while the animation ran
        redrawDropped_ = false;
    }
    clearDibCanvas(canvas, 0x00000000);
    blendFromBuffer(canvas, whole, backDC, size, whole, 255);
    layeredFrame(canvas.dc);
    if (blurBehind)
        setBlur(6, 6, width - 5, height - 5, 6);
    releaseDibCanvas(canvas);
    if (ordinary) {
        SetWindowLongW(hwnd, GWL_EXSTYLE, GetWindowLongW(hwnd, GWL_EXSTYLE) & ~WS_EX_LAYERED);
        applyWindowShape();  // the animation's shape was temporary
    }
    redrawLock = false;
}

void HostWindow::playCloseAnimation()
{
    const int kind = closeAnimation;
    if (kind == 0 || !backDC)
        return;
    RECT windowRc;
    GetWindowRect(hwnd, &windowRc);
    const int width = windowRc.right - windowRc.left, height = windowRc.bottom - windowRc.top;
    if (!isLayered())
        SetWindowLongW(hwnd, GWL_EXSTYLE, GetWindowLongW(hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    DibCanvas canvas = makeDibCanvas(width, height);
    const RECT whole = {0, 0, width, height};
    clearDibCanvas(canvas, 0x00000000);
    blendFromBuffer(canvas, whole, backDC, size, whole, 255);
    layeredFrame(canvas.dc);
    redrawLock = true;
    if ((kind == 1 || kind == 2 || kind == 7) && blurBehind)
        setBlur(0, 0, 0, 0, 0);
    const RECT buffer = intersection(whole, {0, 0, size.cx, size.cy});

    if (kind == 1) {
        for (int i = 1; i <= 15; ++i) {
            clearDibCanvas(canvas, 0x00000000);
            blendFromBuffer(canvas, whole, backDC, size, whole, 255 - 17 * i);
            layeredFrame(canvas.dc);
            sleepAndPump(10);
        }
    } else if (kind == 2) {
        for (int i = 1; i <= 20; ++i) {
            clearDibCanvas(canvas, 0x00000000);
            const int grow = i < 4 ? static_cast<int>(1.5 * i) : 5 - 2 * (i - 4);
            blend(canvas.dc, RECT{-grow, -grow, width + grow, height + grow}, backDC, buffer, 255 - 12 * i);
            layeredFrame(canvas.dc);
            sleepAndPump(std::max(21 - i, 10));
        }
    } else if (kind == 7) {
        for (int i = 1; i <= 15; ++i) {
            clearDibCanvas(canvas, 0x00000000);
            const int dx = static_cast<int>(width * 0.1 / 15 * (i - 1));
            const int dy = static_cast<int>(height * 0.1 / 15 * (i - 1));
            blend(canvas.dc, insetRect(width, height, dx, dy), backDC, buffer, 255 - 17 * i);
            layeredFrame(canvas.dc);
            sleepAndPump(10);
        }
    } else {
        const bool horizontal = kind == 3 || kind == 4;
        // The cut edge: left (3), right (4), top (5) or bottom; what remains sits at the other edge.
        const bool cutAtStart = kind == 3 || kind == 5;
        const int extent = horizontal ? width : height;
        const int step = extent / 15;
        for (int i = 1; i <= 15; ++i) {
            clearDibCanvas(canvas, 0x00000000);
            const int a = 255 - 17 * i;
            const int remaining = std::max(extent - step * i, 0);
            const int soft = std::min(100, remaining);
            // Strips j = 1 .. remaining from the far edge; the last `soft` of them fade to the cut.
            drawWipe(canvas, backDC, size, horizontal, !cutAtStart, remaining - soft, soft, a,
                     [](int alpha, int j, int count) { return alpha * (count - j) / 100; });
            if (blurBehind) {
                RECT left = cutAtStart ? (horizontal ? RECT{extent - remaining, 0, width, height}
                                                     : RECT{0, extent - remaining, width, height})
                                       : (horizontal ? RECT{0, 0, remaining, height} : RECT{0, 0, width, remaining});
                setBlur(left.left, left.top, left.right, left.bottom, 6);
            }
            layeredFrame(canvas.dc);
            sleepAndPump(8);
        }
    }

    clearDibCanvas(canvas, 0x00000000);
    layeredFrame(canvas.dc);
    releaseDibCanvas(canvas);
    redrawLock = false;
}
