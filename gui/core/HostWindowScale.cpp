// Sections: device rectangles · DPI changes · canvases at a new size
#include "Control.h"
#include "HostWindow.h"
#include "LiveControls.h"
#include "RedrawQueue.h"

// ---- device rectangles ----

RectF HostWindow::deviceWindowRect() const
{
    return RectF{0, 0, static_cast<float>(deviceSize.cx), static_cast<float>(deviceSize.cy)};
}

// ---- DPI changes ----

void HostWindow::onDpiChanged(WPARAM wParam, const RECT* suggested)
{
    const int dpi = LOWORD(wParam);
    if (!previousWndProc || !DisplayScale::isUsableDpi(dpi) || dpi == displayScale.dpi())
        return;
    displayScale = DisplayScale(dpi);
    scaleChanged_ = true;
    RECT target = {};
    if (suggested && suggested->right > suggested->left && suggested->bottom > suggested->top) {
        target = *suggested;
    } else {
        // No usable suggestion: the same logical size where the window is.
        GetWindowRect(hwnd, &target);
        const SIZE device = displayScale.sizeToDevice(size);
        target.right = target.left + device.cx;
        target.bottom = target.top + device.cy;
    }
    // WM_SIZE rebuilds the canvases when the device size changes; otherwise they are rebuilt here.
    SetWindowPos(hwnd, nullptr, target.left, target.top, target.right - target.left, target.bottom - target.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (scaleChanged_ && backDC)
        resizeCanvases(deviceSize);
    if (tooltipWindow && isAlive(hoverControl))
        setControlTooltip(hoverControl);
}

void HostWindow::rescaleControls(ControlHandle first)
{
    for (ControlHandle current = first; current;) {
        Control* control = Control::fromHandle(current);
        const ControlHandle next = control->nextSibling();
        control->rescale();
        if (LiveControls::contains(current))
            rescaleControls(control->firstChild());
        current = LiveControls::contains(next) ? next : 0;
    }
}

// ---- canvases at a new size ----

void HostWindow::resizeCanvases(SIZE device)
{
    if (fadeRunning_)
        finishFade();  // its snapshot and its picture belong to the old size
    releaseCanvases();
    deviceSize = device;
    size = displayScale.sizeToLogical(deviceSize);
    createCanvases();
    if (redrawQueue)
        redrawQueue->init(hwnd, handle(), backGraphics);
    if (scaleChanged_) {
        scaleChanged_ = false;
        // Each control repaints into its new bitmap; the whole window is composed once below.
        lockRedraw();
        rescaleControls(firstControl);
        unlockRedraw();
    }
    if (onResize)
        onResize(hwnd, size.cx, size.cy);
    setBackground(std::nullopt, backgroundColor, 0, true);
}
