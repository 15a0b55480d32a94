#pragma once
// A real top-level window with a host attached, its controls, the back buffer's pixels and a count of
// every present that goes through the host.
#include <functional>
#include <memory>
#include <vector>

#include "HostWindow.h"
#include "SolidControl.h"

struct PresentCall {
    bool layered;
    RECT rect;       // BitBlt: the rectangle; UpdateLayeredWindow: the window size
    ARGB sample;     // UpdateLayeredWindow: the source canvas pixel at the window centre
    HDC source;
    HWND window;
    std::vector<ARGB> frame;  // UpdateLayeredWindow: the whole source canvas, top row first

    ARGB at(int x, int y) const { return frame[static_cast<size_t>(y * (rect.right - rect.left) + x)]; }
};

class RenderTestWindow {
public:
    explicit RenderTestWindow(int width = 200, int height = 150, DWORD style = WS_POPUP | WS_VISIBLE);
    ~RenderTestWindow();

    // Attaches without frame elements and, unless given, without the window frame (frameStyle 1).
    bool attach(HostAttachOptions options = {});
    SolidControl& add(RectF bounds, ARGB color, ControlHandle parent = 0, int transitionFrames = 0,
                      int transitionParam = 0);
    // The back buffer's pixel as stored (premultiplied ARGB).
    ARGB pixel(int x, int y) const;
    // The pixel Windows shows in the window.
    COLORREF screenPixel(int x, int y) const;
    void redrawAll() { host.redrawRect(host.windowRect(), true); }
    // Runs messages until the host's redraw lock is clear; false when it never clears.
    bool pumpUntilUnlocked();
    void pump();

    HWND hwnd = nullptr;
    HostWindow host;
    std::vector<std::unique_ptr<SolidControl>> controls;

    static std::vector<PresentCall> presents;
    static int count(bool layered);
    // Called after each present is recorded, while the animation that made it waits.
    static std::function<void(const PresentCall&)> onPresent;
};

bool closeTo(ARGB actual, ARGB expected, int tolerance = 2);
