#pragma once
// The installed product's main window: a borderless, draggable engine host with the product's name, the
// accelerator's status line and a close button. Closing it, from the button or by WM_CLOSE (which is how
// the uninstaller asks a running copy to go), destroys the window and ends the message loop.
#include <windows.h>

#include "ButtonControl.h"
#include "HostWindow.h"
#include "LabelControl.h"

class ProductWindow {
public:
    static constexpr int width = 420, height = 260;
    static constexpr COLORREF backgroundColor = RGB(44, 56, 72);
    static constexpr COLORREF panelColor = RGB(34, 44, 56);
    static constexpr int panelTop = 200;
    static constexpr RECT closeArea = {width - 34, 3, width - 4, 33};  // client pixels
    static constexpr RECT nameArea = {0, 66, width, 110};
    static constexpr RECT statusArea = {0, 118, width, 144};
    static constexpr const char* title = "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7";  // 飞鲸网游加速器
    static constexpr const char* idleStatus =
        "\xBC\xD3\xCB\xD9\xB7\xFE\xCE\xF1\xCE\xB4\xC6\xF4\xB6\xAF";  // 加速服务未启动

    ProductWindow() = default;
    ProductWindow(const ProductWindow&) = delete;
    ProductWindow& operator=(const ProductWindow&) = delete;

    // Creates the platform window centred on the work area, attaches the host, builds the controls and
    // shows the window. False when the platform window cannot be created.
    bool create(HINSTANCE instance);
    HWND window() const { return hwnd_; }

    // The window of a running copy (engine class, exact title), or null.
    static HWND findRunning();
    // Restores and raises `window`.
    static void bringToFront(HWND window);

    HostWindow host;
    LabelControl topPanel;
    LabelControl bottomPanel;
    LabelControl nameLabel;
    LabelControl statusLabel;
    LabelControl versionLabel;
    ButtonControl closeButton;

private:
    void buildControls();
    static LRESULT onMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};
