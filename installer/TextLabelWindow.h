#pragma once
// A plain text label of the installer window: a child window above the host's drawing that shows its
// caption over whatever the host has drawn beneath it. Clicks go through to the window below.
#include <windows.h>

#include <optional>
#include <string>

#include "DisplayScale.h"

class Control;
class HostWindow;

class TextLabelWindow {
public:
    struct Look {
        std::string fontName;  // GBK face name
        int fontSize = 12;     // pixels
        COLORREF color = RGB(0, 0, 0);
        UINT alignment = DT_LEFT;  // DT_LEFT or DT_CENTER
    };

    TextLabelWindow() = default;
    ~TextLabelWindow();
    TextLabelWindow(const TextLabelWindow&) = delete;
    TextLabelWindow& operator=(const TextLabelWindow&) = delete;

    // The parent needs WS_CLIPCHILDREN, so the host's presents never paint over the label.
    bool create(HWND parent, int x, int y, int width, int height, const std::string& caption, const Look& look,
                bool visible);
    // The host whose back buffer is the label's background; none: the parent's class brush. The label
    // takes the host's display scale.
    void setBackgroundHost(HostWindow* host);
    // Place and font at `scale`: create's numbers are logical pixels.
    void applyScale(const DisplayScale& scale);
    // A control of the host that hides the text where it lies over the label while it is shown.
    void setOccluder(Control* control) { occluder_ = control; }

    bool visible(std::optional<bool> value = std::nullopt);
    // Logical pixels.
    int top(std::optional<int> value = std::nullopt);
    std::string text(std::optional<std::string> value = std::nullopt);

    HWND hwnd() const { return hwnd_; }
    // The label area in parent client pixels (device pixels).
    RECT bounds() const;
    // Called after the host put `area` (parent client pixels) on screen: the label redraws over it.
    void backgroundChanged(const RECT& area);

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void paint();
    void makeFont();
    void place();

    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    HostWindow* host_ = nullptr;
    Control* occluder_ = nullptr;
    std::string caption_;
    Look look_;
    RECT logical_ = {};  // create's rectangle, moved by top
    DisplayScale scale_;
};
