#include "DisplayScale.h"

#include <windowsx.h>

#include <cmath>

namespace {
int roundHalfUp(double v)
{
    return static_cast<int>(std::floor(v + 0.5));
}
}  // namespace

int DisplayScale::dpiOfWindow(HWND hwnd)
{
    using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
    // Windows 10 1607 and later; loaded by name so that older systems still start.
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    int dpi = 0;
    if (getDpiForWindow && hwnd)
        dpi = static_cast<int>(getDpiForWindow(hwnd));
    if (!isUsableDpi(dpi)) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : baseDpi;
        if (screen)
            ReleaseDC(nullptr, screen);
    }
    return isUsableDpi(dpi) ? dpi : baseDpi;
}

int DisplayScale::toDevice(float logical) const
{
    if (isIdentity())
        return static_cast<int>(logical);
    return roundHalfUp(static_cast<double>(logical) * dpi_ / baseDpi);
}

SIZE DisplayScale::sizeToDevice(SIZE logical) const
{
    return {toDevice(static_cast<float>(logical.cx)), toDevice(static_cast<float>(logical.cy))};
}

SIZE DisplayScale::sizeToLogical(SIZE device) const
{
    if (isIdentity())
        return device;
    return {roundHalfUp(static_cast<double>(device.cx) * baseDpi / dpi_),
            roundHalfUp(static_cast<double>(device.cy) * baseDpi / dpi_)};
}

RectF DisplayScale::toDevice(const RectF& logical) const
{
    if (isIdentity())
        return logical;
    const int left = toDevice(logical.x), top = toDevice(logical.y);
    const int right = toDevice(logical.x + logical.width), bottom = toDevice(logical.y + logical.height);
    return {static_cast<float>(left), static_cast<float>(top), static_cast<float>(right - left),
            static_cast<float>(bottom - top)};
}

RECT DisplayScale::toDevice(const RECT& logical) const
{
    if (isIdentity())
        return logical;
    return {toDevice(static_cast<float>(logical.left)), toDevice(static_cast<float>(logical.top)),
            toDevice(static_cast<float>(logical.right)), toDevice(static_cast<float>(logical.bottom))};
}

int DisplayScale::toLogical(int device) const
{
    if (isIdentity())
        return device;
    return static_cast<int>(std::floor((device + 0.5) * baseDpi / dpi_));
}

LPARAM DisplayScale::pointToLogical(LPARAM device) const
{
    if (isIdentity())
        return device;
    const int x = toLogical(GET_X_LPARAM(device)), y = toLogical(GET_Y_LPARAM(device));
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

void DisplayScale::applyTransform(GpGraphics* graphics, float scaleX, float scaleY)
{
    if (!graphics)
        return;
    GDIP(GdipResetWorldTransform)(graphics);
    if (scaleX != 1.0f || scaleY != 1.0f)
        GDIP(GdipScaleWorldTransform)(graphics, scaleX, scaleY, Gdiplus::MatrixOrderPrepend);
}
