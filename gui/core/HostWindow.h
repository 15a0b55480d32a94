#pragma once
// Turns one top-level window into the surface of a tree of controls.
// (Contract with the control base; the host's own operations are added beside it.)
#include <windows.h>

#include <string>

#include "Forward.h"
#include "Gdip.h"

class HostWindow {
public:
    // The host attached to `hwnd` (its "Ex_Wnd_Control" property), or null.
    static HostWindow* fromWindow(HWND hwnd);
    HostHandle handle() const;

    // Registers `text` as the tooltip of `control` with the host's tooltip window (empty removes it).
    void setControlTooltip(ControlHandle control, const std::string& text);
    // Redraws `rect` into the back buffer at once, without putting it on screen (fade-in snapshots).
    void redrawIntoBackBuffer(const RectF& rect);
    // A new ARGB bitmap copied from the back buffer at `rect`; the caller disposes it.
    GpBitmap* cloneBackBufferArea(const RectF& rect);

    // Slots the control tree reads and writes.
    HWND hwnd = nullptr;
    ControlHandle focusedControl = 0;
    ControlHandle hoverControl = 0;
    ControlHandle pressedControl = 0;
    bool pressed = false;
    bool redrawLock = false;
    ControlHandle firstControl = 0;
    ControlHandle lastControl = 0;
    ControlHandle keyboardFocus = 0;  // the control showing the keyboard focus frame
};
