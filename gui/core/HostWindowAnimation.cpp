// Sections: background fade · show and close animations
#include <windows.h>

#include <algorithm>

#include "Canvas.h"
#include "DibCanvas.h"
#include "Engine.h"
#include "HostWindow.h"

namespace {

constexpr int fadeStep = 51;  // five ticks from 0 to 255

void sleepAndPump(int milliseconds)
{
    Sleep(static_cast<DWORD>(std::max(milliseconds, 0)));
    processEvents();
}

}  // namespace

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
    const int width = deviceSize.cx, height = deviceSize.cy;
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
    if (!fadeRunning_)
        return;
    fadeAlpha = 255;
    fadeRunning_ = false;
    KillTimer(hwnd, handle());
    releaseFadeCanvas();
    const bool stale = redrawDropped_;
    if (stale)
        composeRect(deviceWindowRect());  // what was refused during the fade
    redrawDropped_ = false;
    unlockRedraw();
    if (isLayered() || stale)
        presentRect(windowRect());
}

// ---- show and close animations ----

void HostWindow::show(int animation, std::optional<int> duration)
{
    const HWND window = hwnd;
    processEvents();
    if (!isAttachedTo(window))
        return;  // closed meanwhile: nothing to show, and RedrawWindow(0) would repaint the desktop
    if (animation != 0) {
        if (!playShowAnimation(animation, duration.value_or(200)))
            return;
        presentRect(windowRect());
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return;
    }
    if (blurBehind)
        setBlur(device(6), device(6), deviceSize.cx - device(5), deviceSize.cy - device(5), device(6));
    ShowWindow(hwnd, SW_SHOWNORMAL);
}

namespace {
// The back buffer's part `from` blended onto the canvas at `to`, clamped to what the buffer holds.
void blendFromBuffer(DibCanvas& canvas, const RECT& to, HDC backDC, SIZE backSize, const RECT& from, int alpha)
{
    const RECT inside = intersectRects(from, RECT{0, 0, backSize.cx, backSize.cy});
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

bool HostWindow::playShowAnimation(int kind, int duration)
{
    const HWND window = hwnd;
    RECT windowRc;
    GetWindowRect(hwnd, &windowRc);
    const int width = windowRc.right - windowRc.left, height = windowRc.bottom - windowRc.top;
    const bool ordinary = !isLayered();
    const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    if (ordinary) {
        SetWindowLongW(hwnd, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
        SetWindowRgn(hwnd,
                     CreateRoundRectRgn(device(6), device(6), width - device(5), height - device(5), device(5),
                                        device(5)),
                     TRUE);
    }
    lockRedraw();

    DibCanvas canvas = DibCanvas::make(nullptr, width, height);
    // Transparent black: with premultiplied alpha a transparent white would light the screen up.
    canvas.fill(0x00000000);
    layeredFrame(canvas.dc);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    // Messages run from here on: the window may be closed under the animation, which then just stops
    // (detach has let go of every lock).
    if (!isAttachedTo(window)) {
        canvas.release();
        return false;
    }
    if (blurBehind)
        setBlur(0, 0, 0, 0, 0);

    const RECT whole = {0, 0, width, height};
    for (int i = 1; i <= 10; ++i) {
        canvas.fill(0x00000000);
        const int s = 25 * (i - 1);
        int wait = duration / 10;
        if (kind == 1) {
            blendFromBuffer(canvas, whole, backDC, deviceSize, whole, s);
        } else if (kind == 7) {
            const int dx = static_cast<int>(width * 0.1 / 10 * (10 - i));
            const int dy = static_cast<int>(height * 0.1 / 10 * (10 - i));
            blend(canvas.dc, insetRect(width, height, dx, dy), backDC,
                  intersectRects(whole, {0, 0, deviceSize.cx, deviceSize.cy}), s);
            wait = 11 - i;
        } else {
            const bool horizontal = kind == 3 || kind == 4;
            const bool fromStart = kind == 3 || kind == 5;
            const int revealed = (horizontal ? width : height) / 10 * (i - 1);
            drawWipe(canvas, backDC, deviceSize, horizontal, fromStart, revealed, 100, s,
                     [](int a, int j, int) { return a * (101 - j) / 100; });
        }
        layeredFrame(canvas.dc);
        sleepAndPump(wait);
        if (!isAttachedTo(window)) {
            canvas.release();
            return false;
        }
    }

    if (redrawDropped_) {
        composeRect(deviceWindowRect());  // what was refused while the animation ran
        redrawDropped_ = false;
    }
    canvas.fill(0x00000000);
    blendFromBuffer(canvas, whole, backDC, deviceSize, whole, 255);
    layeredFrame(canvas.dc);
    if (blurBehind)
        setBlur(device(6), device(6), width - device(5), height - device(5), device(6));
    canvas.release();
    if (ordinary) {
        SetWindowLongW(hwnd, GWL_EXSTYLE, GetWindowLongW(hwnd, GWL_EXSTYLE) & ~WS_EX_LAYERED);
        applyWindowShape();  // the animation's shape was temporary
    }
    unlockRedraw();
    return true;
}

void HostWindow::playCloseAnimation()
{
    const int kind = closeAnimation;
    const HWND window = hwnd;
    if (kind == 0 || !backDC)
        return;
    RECT windowRc;
    GetWindowRect(hwnd, &windowRc);
    const int width = windowRc.right - windowRc.left, height = windowRc.bottom - windowRc.top;
    if (!isLayered())
        SetWindowLongW(hwnd, GWL_EXSTYLE, GetWindowLongW(hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    DibCanvas canvas = DibCanvas::make(nullptr, width, height);
    const RECT whole = {0, 0, width, height};
    canvas.fill(0x00000000);
    blendFromBuffer(canvas, whole, backDC, deviceSize, whole, 255);
    layeredFrame(canvas.dc);
    lockRedraw();
    // Each step lets messages run: one may destroy the window, and the animation then stops.
    auto presentAndPump = [&](int milliseconds) {
        layeredFrame(canvas.dc);
        sleepAndPump(milliseconds);
        return isAttachedTo(window);
    };
    if ((kind == 1 || kind == 2 || kind == 7) && blurBehind)
        setBlur(0, 0, 0, 0, 0);
    const RECT buffer = intersectRects(whole, {0, 0, deviceSize.cx, deviceSize.cy});

    if (kind == 1) {
        for (int i = 1; i <= 15; ++i) {
            canvas.fill(0x00000000);
            blendFromBuffer(canvas, whole, backDC, deviceSize, whole, 255 - 17 * i);
            if (!presentAndPump(10)) {
                canvas.release();
                return;
            }
        }
    } else if (kind == 2) {
        for (int i = 1; i <= 20; ++i) {
            canvas.fill(0x00000000);
            const int grow = i < 4 ? static_cast<int>(1.5 * i) : 5 - 2 * (i - 4);
            blend(canvas.dc, RECT{-grow, -grow, width + grow, height + grow}, backDC, buffer, 255 - 12 * i);
            if (!presentAndPump(std::max(21 - i, 10))) {
                canvas.release();
                return;
            }
        }
    } else if (kind == 7) {
        for (int i = 1; i <= 15; ++i) {
            canvas.fill(0x00000000);
            const int dx = static_cast<int>(width * 0.1 / 15 * (i - 1));
            const int dy = static_cast<int>(height * 0.1 / 15 * (i - 1));
            blend(canvas.dc, insetRect(width, height, dx, dy), backDC, buffer, 255 - 17 * i);
            if (!presentAndPump(10)) {
                canvas.release();
                return;
            }
        }
    } else {
        const bool horizontal = kind == 3 || kind == 4;
        // The cut edge: left (3), right (4), top (5) or bottom; what remains sits at the other edge.
        const bool cutAtStart = kind == 3 || kind == 5;
        const int extent = horizontal ? width : height;
        const int stride = extent / 15;
        for (int i = 1; i <= 15; ++i) {
            canvas.fill(0x00000000);
            const int a = 255 - 17 * i;
            const int remaining = std::max(extent - stride * i, 0);
            const int soft = std::min(100, remaining);
            // Strips j = 1 .. remaining from the far edge; the last `soft` of them fade to the cut.
            drawWipe(canvas, backDC, deviceSize, horizontal, !cutAtStart, remaining - soft, soft, a,
                     [](int alpha, int j, int count) { return alpha * (count - j) / 100; });
            if (blurBehind) {
                RECT left = cutAtStart ? (horizontal ? RECT{extent - remaining, 0, width, height}
                                                     : RECT{0, extent - remaining, width, height})
                                       : (horizontal ? RECT{0, 0, remaining, height} : RECT{0, 0, width, remaining});
                setBlur(left.left, left.top, left.right, left.bottom, 6);
            }
            if (!presentAndPump(8)) {
                canvas.release();
                return;
            }
        }
    }

    canvas.fill(0x00000000);
    layeredFrame(canvas.dc);
    canvas.release();
    unlockRedraw();
}
