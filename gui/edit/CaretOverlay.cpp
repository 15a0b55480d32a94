// Sections: lifetime · drawing
#include "CaretOverlay.h"

#include <algorithm>
#include <cmath>

#include "Canvas.h"
#include "DibCanvas.h"
#include "HostWindow.h"

// ---- lifetime ----

CaretOverlay::~CaretOverlay()
{
    destroy();
}

void CaretOverlay::create(HWND window, HDC reference, int systemHeight, int saveHeight)
{
    destroy();
    systemShape_ = CreateBitmap(1, systemHeight, 1, 1, nullptr);
    if (systemShape_) {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, systemShape_);
        PatBlt(dc, 0, 0, 1, systemHeight, BLACKNESS);
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    hasSystemCaret_ = CreateCaret(window, systemShape_, 1, systemHeight) != FALSE;

    // The pixels under the caret, saved and put back by BitBlt.
    DibCanvas::make(reference, 1, std::max(saveHeight, 1), saveDc_, saveBitmap_, saveOld_);
}

void CaretOverlay::releaseCanvas()
{
    DibCanvas::release(saveDc_, saveBitmap_, saveOld_);
}

void CaretOverlay::destroy()
{
    releaseCanvas();
    if (hasSystemCaret_)
        DestroyCaret();
    hasSystemCaret_ = false;
    if (systemShape_)
        DeleteObject(systemShape_);
    systemShape_ = nullptr;
    blinkCounter_ = 0;
}

// ---- drawing ----

void CaretOverlay::show(HostWindow& host, const RectF& rect, bool visible, bool saveUnder)
{
    // The caret is drawn straight into the back buffer: in device pixels.
    const RectF device = host.deviceRect(RectF{std::trunc(rect.x), std::trunc(rect.y), 1, std::trunc(rect.height)});
    const int x = static_cast<int>(device.x), y = static_cast<int>(device.y);
    const int height = static_cast<int>(device.height), width = std::max(1, static_cast<int>(device.width));
    if (visible && saveUnder) {
        SetCaretPos(x, y);
        if (saveDc_ && host.backDC)
            BitBlt(saveDc_, 0, 0, 1, height, host.backDC, x, y, SRCCOPY);
        blinkCounter_ = 1;
    }
    blinkCounter_ += visible ? 1 : -1;
    if (!visible) {
        host.redrawRect(RectF{std::trunc(rect.x), std::trunc(rect.y), 1, std::trunc(rect.height)}, true);
        return;
    }
    if (!host.backGraphics)
        return;
    if (host.displayScale.isIdentity()) {
        if (GpPen* pen = makePen(colour)) {
            GDIP(GdipDrawLine)(host.backGraphics, pen, static_cast<float>(x), static_cast<float>(y + 1),
                               static_cast<float>(x), static_cast<float>(y + height - 1));
            GDIP(GdipDeletePen)(pen);
        }
    } else if (GpSolidFill* brush = solidBrush(colour)) {
        // One logical pixel wide, and one logical pixel short at either end, as the line above.
        const int inset = host.displayScale.toDevice(1.0f);
        GDIP(GdipFillRectangleI)(host.backGraphics, reinterpret_cast<GpBrush*>(brush), x, y + inset, width,
                                 std::max(1, height - 2 * inset));
        GDIP(GdipDeleteBrush)(brush);
    }
    GDIP(GdipFlush)(host.backGraphics, Gdiplus::FlushIntentionSync);
    if (!host.isLayered()) {
        if (host.windowDC && host.backDC)
            HostWindow::presentBlt(host.windowDC, x, y, width, height, host.backDC, x, y, SRCCOPY);
    } else {
        SendMessageW(host.hwnd, WM_EX_PRESENT_LAYERED, 0, 0);
    }
}
