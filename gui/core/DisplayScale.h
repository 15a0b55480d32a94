#pragma once
// The conversion between logical pixels (1/96 inch, every number of the engine and its callers) and
// the device pixels of one window: scale = DPI / 96. At 96 DPI every conversion is the identity.
#include <windows.h>

#include "Forward.h"
#include "Gdip.h"

class DisplayScale {
public:
    static constexpr int baseDpi = 96;

    DisplayScale() = default;
    explicit DisplayScale(int dpi) : dpi_(dpi) {}

    int dpi() const { return dpi_; }
    float factor() const { return static_cast<float>(dpi_) / baseDpi; }
    bool isIdentity() const { return dpi_ == baseDpi; }
    // What a WM_DPICHANGED or a device may report: 0 and absurd values are refused.
    static bool isUsableDpi(int dpi) { return dpi >= 24 && dpi <= 960; }
    // The window's DPI: GetDpiForWindow where user32 has it, else the screen DC's LOGPIXELSX.
    static int dpiOfWindow(HWND hwnd);

    // A length or a position, rounded half up.
    int toDevice(float logical) const;
    // A whole window's size: each dimension rounded on its own (588 x 438 at 125 % is 735 x 548).
    SIZE sizeToDevice(SIZE logical) const;
    SIZE sizeToLogical(SIZE device) const;
    // A rectangle's four edges rounded separately, so that neighbours share their edges: no gap, no
    // overlap. The identity (fractions kept) at 96 DPI.
    RectF toDevice(const RectF& logical) const;
    RECT toDevice(const RECT& logical) const;
    // The logical pixel a device pixel's centre lies in; consistent with the edge rounding above.
    int toLogical(int device) const;
    // Client coordinates packed as in a mouse message's lParam.
    LPARAM pointToLogical(LPARAM device) const;
    POINT toLogical(POINT device) const { return {toLogical(device.x), toLogical(device.y)}; }

    // The one place a graphics gets its logical-to-device transform (reset to the identity for 1, 1).
    static void applyTransform(GpGraphics* graphics, float scaleX, float scaleY);

private:
    int dpi_ = baseDpi;
};
