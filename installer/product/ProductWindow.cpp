// Sections: window · controls · messages · a running copy
#include "ProductWindow.h"

#include <cstdint>

#include "Engine.h"
#include "Text.h"

// The close button's pictures, embedded into fj.exe alone: the installer's resource table would drag
// the whole payload along.
extern "C" const std::uint8_t fj_close[];
extern "C" const std::uint32_t fj_close_size;
extern "C" const std::uint8_t fj_close_hover[];
extern "C" const std::uint32_t fj_close_hover_size;

namespace {

const std::string yaHei = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";  // 微软雅黑
const std::string versionText =
    "\xB0\xE6\xB1\xBE 201909999  \xB1\xB1\xC1\xEB\xCA\xFD\xC2\xEB\xBF\xC6\xBC\xBC";  // 版本 201909999  北岭数码科技

RectF rectFrom(const RECT& r)
{
    return {static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right - r.left),
            static_cast<float>(r.bottom - r.top)};
}

}  // namespace

// ---- window ----

bool ProductWindow::create(HINSTANCE instance)
{
    if (hwnd_)
        return false;
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // Centred in the work area, which is in device pixels: the window is made at its device size.
    const SIZE device = DisplayScale(DisplayScale::dpiOfWindow(nullptr)).sizeToDevice({width, height});
    const int x = work.left + (work.right - work.left - device.cx) / 2;
    const int y = work.top + (work.bottom - work.top - device.cy) / 2;
    // WS_SYSMENU keeps Alt+F4 and the taskbar's close; the host removes every frame part.
    hwnd_ = CreateWindowExW(0, toWide(engineWindowClass).c_str(), toWide(title).c_str(),
                            WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, x, y, device.cx, device.cy, nullptr, nullptr,
                            instance, nullptr);
    if (!hwnd_)
        return false;

    HostAttachOptions options;
    options.backgroundColor = backgroundColor;
    options.frameFlags = 0;
    options.frameStyle = 1;
    options.presentOnAttach = true;
    options.resizable = false;
    options.draggable = true;
    options.windowRectIsLogical = false;
    host.attach(hwnd_, options);
    host.setOnMessage(&ProductWindow::onMessage);
    buildControls();
    host.show();
    return true;
}

// ---- controls ----

void ProductWindow::buildControls()
{
    const ParentHandle top = parentWindow(hwnd_);

    // With frame style 1 the host paints no colour of its own: the panels are the background. A label
    // fills all but its last column and row, and rounding to device pixels can lose most of another: the
    // panels reach two pixels past the window and past their seam.
    LabelOptions panel;
    panel.gradientMode = 0;
    panel.gradientColor1 = panel.gradientColor2 = makeColor(backgroundColor);
    topPanel.createLabel(top, 0, 0, width + 2, panelTop + 2, "", panel);
    panel.gradientColor1 = panel.gradientColor2 = makeColor(panelColor);
    bottomPanel.createLabel(top, 0, panelTop, width + 2, height - panelTop + 2, "", panel);

    const auto centred = [&](LabelControl& label, const RECT& area, float size, COLORREF colour,
                             const std::string& text) {
        LabelOptions look;
        look.fontName = yaHei;
        look.fontSize = size;
        look.textColor = makeColor(colour);
        look.alignment = 1;
        const RectF r = rectFrom(area);
        label.createLabel(top, r.x, r.y, r.width, r.height, text, look);
    };
    centred(nameLabel, nameArea, 26, RGB(255, 255, 255), title);
    centred(statusLabel, statusArea, 14, RGB(210, 210, 210), idleStatus);

    LabelOptions version;
    version.fontName = yaHei;
    version.fontSize = 12;
    version.textColor = makeColor(RGB(255, 255, 255), 120);
    versionLabel.createLabel(top, 16, panelTop + 18, 260, 24, versionText, version);

    ButtonOptions plain;
    plain.textColor = makeColor(RGB(255, 255, 255));
    const RectF closeRect = rectFrom(closeArea);
    closeButton.createButton(top, static_cast<int>(closeRect.x), static_cast<int>(closeRect.y),
                             static_cast<int>(closeRect.width), static_cast<int>(closeRect.height), "", plain);
    const Bytes normal(fj_close, fj_close_size);
    closeButton.setImages(normal, Bytes(fj_close_hover, fj_close_hover_size), normal, normal, 1);
    // Posted, not destroyed here: the button is still inside its own event dispatch.
    closeButton.bindEvent(WM_LBUTTONDOWN, [](ControlHandle control, int, WPARAM, LPARAM) {
        if (Control* button = Control::fromHandle(control))
            PostMessageW(button->hostWindow(), WM_CLOSE, 0, 0);
        return 0;
    });
}

// ---- messages ----

LRESULT ProductWindow::onMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // The engine's class posts no WM_QUIT of its own.
    if (msg == WM_DESTROY)
        PostQuitMessage(0);
    return -1;
}

// ---- a running copy ----

HWND ProductWindow::findRunning()
{
    return FindWindowW(toWide(engineWindowClass).c_str(), toWide(title).c_str());
}

void ProductWindow::bringToFront(HWND window)
{
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    else
        ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}
