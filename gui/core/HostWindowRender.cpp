// Sections: canvases · entry points and present · redraw and composition · transitions ·
// fade-in snapshots · size changes
#include <windows.h>

#include <algorithm>
#include <cmath>

#include "Canvas.h"
#include "Control.h"
#include "DibCanvas.h"
#include "HostWindow.h"
#include "Images.h"
#include "LiveControls.h"
#include "RedrawQueue.h"

HostWindow::PresentBltProc HostWindow::presentBlt = ::BitBlt;
HostWindow::PresentLayeredProc HostWindow::presentLayeredWindow = ::UpdateLayeredWindow;

namespace {

constexpr float overlapTolerance = 1e-7f;

// The process's one scratch canvas for transitions: at least as large as every attached window.
struct ScratchCanvas {
    DibCanvas canvas;
    GpGraphics* graphics = nullptr;
};
ScratchCanvas scratch;

void growScratchCanvas(int width, int height)
{
    if (scratch.canvas.dib) {
        if (scratch.canvas.width >= width && scratch.canvas.height >= height)
            return;
        width = std::max(width, scratch.canvas.width);
        height = std::max(height, scratch.canvas.height);
        deleteGraphics(scratch.graphics);
        scratch.canvas.release();
    }
    scratch.canvas = DibCanvas::make(nullptr, width, height);
    scratch.graphics = makeGraphics(scratch.canvas.dc);
}

bool liesWithin(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// `core` lies wholly inside the clip region. A rounded region is the core grown by `corner` on every
// side, less its four corner squares: a rectangle along an edge lies inside when it keeps clear of the
// corners in one direction.
bool insideClipRegion(const RECT& rc, const RECT& core, bool rounded, int corner)
{
    if (liesWithin(rc, core))
        return true;
    if (!rounded)
        return false;
    const RECT wide = {core.left - corner, core.top, core.right + corner, core.bottom};
    const RECT tall = {core.left, core.top - corner, core.right, core.bottom + corner};
    return liesWithin(rc, wide) || liesWithin(rc, tall);
}

// Strict: rectangles that only touch at an edge share no interior and do not overlap.
bool overlaps(const RectF& a, const RectF& b)
{
    return a.x < b.x + b.width - overlapTolerance && b.x < a.x + a.width - overlapTolerance &&
           a.y < b.y + b.height - overlapTolerance && b.y < a.y + a.height - overlapTolerance;
}

void disposeImage(GpImage* image)
{
    if (image)
        GDIP(GdipDisposeImage)(image);
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
    if (!saved)
        return;
    GDIP(GdipSetClipRegion)(graphics, saved, Gdiplus::CombineModeReplace);
    GDIP(GdipDeleteRegion)(saved);
    saved = nullptr;
}

void intersectClip(GpGraphics* graphics, const RectF& rect)
{
    GDIP(GdipSetClipRect)(graphics, rect.x, rect.y, rect.width, rect.height, Gdiplus::CombineModeIntersect);
}

// A fade-in runs between end paint and its last tick; without a snapshot there is nothing to fade from.
bool isTransitionRunning(Control& control)
{
    return control.transitionInterval() != 0 && control.transitionFrames() != 0 &&
           control.transitionFrame() != control.transitionFrames() && control.transitionSnapshot() != nullptr;
}

bool isWhole(float v)
{
    return v == std::floor(v);
}

}  // namespace

// ---- canvases ----

RectF HostWindow::windowRect() const
{
    return makeRectF(0, 0, size.cx, size.cy);
}

SIZE HostWindow::scratchCanvasSize()
{
    return {scratch.canvas.width, scratch.canvas.height};
}

void HostWindow::createCanvases()
{
    const int width = deviceSize.cx, height = deviceSize.cy;
    DibCanvas::make(windowDC, width, height, backDC, backBitmap, backOldBitmap);
    backGraphics = makeGraphics(backDC);
    DibCanvas::make(windowDC, width, height, backgroundDC, backgroundBitmap, backgroundOldBitmap);
    growScratchCanvas(width, height);
}

void HostWindow::releaseCanvases()
{
    if (fadeRunning_ && hwnd)
        KillTimer(hwnd, handle());
    fadeRunning_ = false;
    releaseFadeCanvas();
    deleteGraphics(backGraphics);
    DibCanvas::release(backDC, backBitmap, backOldBitmap);
    DibCanvas::release(backgroundDC, backgroundBitmap, backgroundOldBitmap);
}

void HostWindow::releaseFadeCanvas()
{
    DibCanvas::release(fadeDC, fadeBitmap, fadeOldBitmap);
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
    RECT rc = intersectRects(coveringRect(deviceRect(rect)), RECT{0, 0, deviceSize.cx, deviceSize.cy});
    if (isEmptyRect(rc) || !windowDC)
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
    SIZE extent = deviceSize;
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
    composeRect(deviceRect(rect));
    if (presentIt)
        presentRect(rect);
}

// Background restored under the rectangle (device pixels), then every control overlapping it drawn over it.
void HostWindow::composeRect(const RectF& rect)
{
    if (!backGraphics || !backDC)
        return;
    const RECT rc = coveringRect(rect);
    if (isEmptyRect(rc))
        return;
    const RectF dirty = rectFromRECT(rc);
    // Inside the clip region no clip is set: only the parts of the images inside the dirty rectangle are
    // drawn, and GDI+ pays for a clip on every image drawn.
    const bool unclipped = insideClipRegion(rc, clipInterior_, clipRegion != nullptr, clipCorner);
    if (!unclipped) {
        if (clipRegion)
            GDIP(GdipSetClipRegion)(backGraphics, clipRegion, Gdiplus::CombineModeReplace);
        else
            GDIP(GdipResetClip)(backGraphics);
        intersectClip(backGraphics, dirty);
    } else {
        GDIP(GdipResetClip)(backGraphics);
    }
    BitBlt(backDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, backgroundDC, rc.left, rc.top, SRCCOPY);
    GdiFlush();  // GDI+ writes the section's memory directly: the restore must have landed first
    composeList(firstControl, {dirty, unclipped, false, false});
    GDIP(GdipResetClip)(backGraphics);
}

void HostWindow::drawList(ControlHandle first, const RectF& dirty)
{
    composeList(first, {deviceRect(dirty), false, false, false});
}

void HostWindow::composeList(ControlHandle first, const ComposePass& pass)
{
    for (ControlHandle current = first; current;) {
        Control* control = Control::fromHandle(current);
        // Kept before any event is dispatched: a handler may destroy this very control or its neighbour.
        const ControlHandle next = control->nextSibling();
        if (control->isVisible() && (pass.wholeTree || overlaps(control->deviceBounds(), pass.dirty))) {
            if (pass.notify)
                control->dispatchEvent(EV_SNAPSHOT, 0, 0);
            if (LiveControls::contains(current))
                drawControl(*control, pass);
            if (LiveControls::contains(current) && control->firstChild()) {
                GpRegion* saved = saveClip(backGraphics);
                intersectClip(backGraphics, control->deviceBounds());
                ComposePass inner = pass;
                inner.unclipped = false;
                composeList(control->firstChild(), inner);
                restoreClip(backGraphics, saved);
            }
        }
        if (LiveControls::contains(next))
            current = next;
        else
            current = LiveControls::contains(current) ? control->nextSibling() : 0;
    }
}

int HostWindow::composedAlpha(Control& control)
{
    const int alpha = control.currentAlpha();
    if (!control.isDisabled())
        return alpha;
    return control.dispatchEvent(EV_QUERY_DIM, 0, 1) == -1 ? alpha / 2 : alpha;
}

void HostWindow::drawControl(Control& control, const ComposePass& pass)
{
    const ControlHandle self = control.handle();
    const RectF bounds = control.deviceBounds();
    if (pass.wholeTree) {
        const int alpha = composedAlpha(control);
        if (LiveControls::contains(self))
            drawImage(backGraphics, control.bitmap(), control.deviceBounds(), alpha);
        return;
    }
    if (control.isDisabled() || !isTransitionRunning(control)) {
        const int alpha = composedAlpha(control);
        if (LiveControls::contains(self))
            drawImagePart(control.bitmap(), bounds, pass.dirty, alpha, pass.unclipped);
        return;
    }
    // Transitions draw whole images: they get the dirty rectangle as clip in any case.
    GpRegion* saved = saveClip(backGraphics);
    intersectClip(backGraphics, pass.dirty);
    RectF clip;
    GDIP(GdipGetVisibleClipBounds)(backGraphics, gpRect(&clip));
    TransitionRecord record = {backDC, backGraphics, scratch.canvas.dc, scratch.graphics, control.bitmap(),
                               control.transitionSnapshot(), bounds, clip.x, clip.y};
    if (control.dispatchEvent(EV_DRAW_TRANSITION, 0, reinterpret_cast<LPARAM>(&record)) < 1 &&
        LiveControls::contains(self))
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
    GpImageAttributes* attributes = alphaAttributes(alpha);
    if (!attributes)
        return;
    GDIP(GdipDrawImageRectRect)(graphics, image, rect.x, rect.y, rect.width, rect.height, 0, 0, rect.width,
                                rect.height, Gdiplus::UnitPixel, attributes, nullptr, nullptr);
    GDIP(GdipDisposeImageAttributes)(attributes);
}

// Only the part of the image inside the dirty rectangle: GDI+ otherwise processes the whole image even
// where the clip hides it. Possible when the image maps one to one onto whole-pixel bounds.
void HostWindow::drawImagePart(GpImage* image, const RectF& bounds, const RectF& dirty, int alpha, bool unclipped)
{
    if (!image || alpha <= 0)
        return;
    const bool oneToOne = isWhole(bounds.x) && isWhole(bounds.y) && isWhole(bounds.width) &&
                          isWhole(bounds.height) && static_cast<float>(imageWidth(image)) == bounds.width &&
                          static_cast<float>(imageHeight(image)) == bounds.height;
    if (!oneToOne) {
        GpRegion* saved = saveClip(backGraphics);
        intersectClip(backGraphics, dirty);
        drawImage(backGraphics, image, bounds, alpha);
        restoreClip(backGraphics, saved);
        return;
    }
    const float left = std::max(bounds.x, dirty.x), top = std::max(bounds.y, dirty.y);
    const float right = std::min(bounds.x + bounds.width, dirty.x + dirty.width);
    const float bottom = std::min(bounds.y + bounds.height, dirty.y + dirty.height);
    if (right <= left || bottom <= top)
        return;
    if (alpha >= 255 && unclipped &&
        blendBitmapPart(backDC, backGraphics, image, static_cast<int>(left - bounds.x),
                        static_cast<int>(top - bounds.y), static_cast<int>(left), static_cast<int>(top),
                        static_cast<int>(right - left), static_cast<int>(bottom - top)))
        return;
    GpImageAttributes* attributes = nullptr;
    if (alpha < 255 && !(attributes = alphaAttributes(alpha)))
        return;
    GDIP(GdipDrawImageRectRect)(backGraphics, image, left, top, right - left, bottom - top, left - bounds.x,
                                top - bounds.y, right - left, bottom - top, Gdiplus::UnitPixel, attributes, nullptr,
                                nullptr);
    if (attributes)
        GDIP(GdipDisposeImageAttributes)(attributes);
}

// ---- transitions ----

void HostWindow::drawTransition(Control& control, const RectF& clip)
{
    const int frame = control.transitionFrame();
    const int frames = control.transitionFrames();
    const int alpha = control.currentAlpha();
    const RectF bounds = control.deviceBounds();
    GpBitmap* oldImage = control.transitionSnapshot();
    GpBitmap* newImage = control.bitmap();

    const int param = control.transitionParam();
    if (param < 1 || param > 4) {
        // Cross-fade: old over the back buffer, new over a copy of it, then the copy blended in.
        const RECT area = intersectRects(coveringRect(clip), RECT{0, 0, deviceSize.cx, deviceSize.cy});
        if (isEmptyRect(area) || !scratch.canvas.dc)
            return;
        BitBlt(scratch.canvas.dc, area.left, area.top, area.right - area.left, area.bottom - area.top, backDC,
               area.left, area.top, SRCCOPY);
        GdiFlush();
        drawImage(backGraphics, oldImage, bounds, alpha);
        drawImage(scratch.graphics, newImage, bounds, alpha);
        GDIP(GdipFlush)(backGraphics, Gdiplus::FlushIntentionSync);
        if (scratch.graphics)
            GDIP(GdipFlush)(scratch.graphics, Gdiplus::FlushIntentionSync);
        blend(backDC, area, scratch.canvas.dc, area, alpha * frame / frames);
        return;
    }

    // Slides stay inside the control: what moves out of its bounds is cut off.
    GpRegion* saved = saveClip(backGraphics);
    intersectClip(backGraphics, bounds);
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
    const RECT rc = coveringRect(deviceRect(rect));
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    GpBitmap* copy = nullptr;
    if (width > 0 && height > 0) {
        const bool inside = rc.left >= 0 && rc.top >= 0 && rc.right <= deviceSize.cx && rc.bottom <= deviceSize.cy;
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
    const SIZE device = {rc.right - rc.left, rc.bottom - rc.top};
    if (device.cx == deviceSize.cx && device.cy == deviceSize.cy && !scaleChanged_)
        return;
    resizeCanvases(device);
}
