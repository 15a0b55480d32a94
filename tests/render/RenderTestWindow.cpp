#include "RenderTestWindow.h"

#include <cstdlib>

#include "Engine.h"
#include "MessagePump.h"
#include "TestWindowClass.h"

std::vector<PresentCall> RenderTestWindow::presents;
std::function<void(const PresentCall&)> RenderTestWindow::onPresent;

namespace {
ARGB dibPixel(HBITMAP dib, int x, int y)
{
    DIBSECTION section = {};
    GdiFlush();
    if (!dib || GetObjectW(dib, sizeof section, &section) != sizeof section || !section.dsBm.bmBits)
        return 0;
    const int width = section.dsBm.bmWidth, height = section.dsBm.bmHeight;
    if (x < 0 || y < 0 || x >= width || y >= height)
        return 0;
    const bool bottomUp = section.dsBmih.biHeight > 0;
    const auto* bits = static_cast<const ARGB*>(section.dsBm.bmBits);
    return bits[static_cast<size_t>(bottomUp ? height - 1 - y : y) * width + x];
}

// Every pixel of the DIB, top row first.
std::vector<ARGB> dibFrame(HBITMAP dib)
{
    DIBSECTION section = {};
    GdiFlush();
    if (!dib || GetObjectW(dib, sizeof section, &section) != sizeof section || !section.dsBm.bmBits)
        return {};
    const int width = section.dsBm.bmWidth, height = section.dsBm.bmHeight;
    const bool bottomUp = section.dsBmih.biHeight > 0;
    const auto* bits = static_cast<const ARGB*>(section.dsBm.bmBits);
    std::vector<ARGB> frame;
    frame.reserve(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const ARGB* row = bits + static_cast<size_t>(bottomUp ? height - 1 - y : y) * width;
        frame.insert(frame.end(), row, row + width);
    }
    return frame;
}

void recorded(const PresentCall& call)
{
    RenderTestWindow::presents.push_back(call);
    if (RenderTestWindow::onPresent)
        RenderTestWindow::onPresent(RenderTestWindow::presents.back());
}

BOOL WINAPI countedBlt(HDC target, int x, int y, int w, int h, HDC source, int sx, int sy, DWORD rop)
{
    const BOOL done = BitBlt(target, x, y, w, h, source, sx, sy, rop);
    recorded({false, {x, y, x + w, y + h}, 0, source, WindowFromDC(target), {}});
    return done;
}

BOOL WINAPI countedLayered(HWND hwnd, HDC screen, POINT* position, SIZE* size, HDC source, POINT* origin,
                           COLORREF key, BLENDFUNCTION* blend, DWORD flags)
{
    HBITMAP dib = static_cast<HBITMAP>(GetCurrentObject(source, OBJ_BITMAP));
    PresentCall call = {true, {0, 0, size ? size->cx : 0, size ? size->cy : 0}, 0, source, hwnd, dibFrame(dib)};
    call.sample = size ? dibPixel(dib, size->cx / 2, size->cy / 2) : 0;
    const BOOL done = UpdateLayeredWindow(hwnd, screen, position, size, source, origin, key, blend, flags);
    recorded(call);
    return done;
}
}  // namespace

RenderTestWindow::RenderTestWindow(int width, int height, DWORD style)
{
    static const TestWindowClass windowClass(L"RenderTestWindow", DefWindowProcW);
    hwnd = windowClass.create(L"render", style, 40, 40, width, height);
    HostWindow::presentBlt = countedBlt;
    HostWindow::presentLayeredWindow = countedLayered;
    presents.clear();
}

RenderTestWindow::~RenderTestWindow()
{
    onPresent = nullptr;
    controls.clear();
    DestroyWindow(hwnd);
    HostWindow::presentBlt = ::BitBlt;
    HostWindow::presentLayeredWindow = ::UpdateLayeredWindow;
}

bool RenderTestWindow::attach(HostAttachOptions options)
{
    if (!options.frameFlags)
        options.frameFlags = 0;
    if (!options.frameStyle)
        options.frameStyle = 1;
    if (!options.resizable)
        options.resizable = false;
    const bool attached = host.attach(hwnd, options);
    pump();
    presents.clear();
    return attached;
}

SolidControl& RenderTestWindow::add(RectF bounds, ARGB color, ControlHandle parent, int transitionFrames,
                                    int transitionParam)
{
    controls.push_back(std::make_unique<SolidControl>(color));
    SolidControl& control = *controls.back();
    // A transition interval far beyond any test: the frames are stepped by hand.
    const int interval = transitionFrames ? 0x7FFFFFF : 0;
    control.create(parent ? parent : parentWindow(hwnd), bounds, KIND_PICTURE, true, false, {}, interval,
                   transitionFrames, transitionParam);
    pump();
    return control;
}

ARGB RenderTestWindow::pixel(int x, int y) const
{
    if (host.backGraphics)
        GDIP(GdipFlush)(host.backGraphics, Gdiplus::FlushIntentionSync);
    return dibPixel(host.backBitmap, x, y);
}

COLORREF RenderTestWindow::screenPixel(int x, int y) const
{
    HDC dc = GetDC(hwnd);
    const COLORREF color = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return color;
}

void RenderTestWindow::pump()
{
    processEvents();
}

bool RenderTestWindow::pumpUntilUnlocked()
{
    return pumpUntil([this] { return !host.redrawLock; }, 10000);
}

int RenderTestWindow::count(bool layered)
{
    int n = 0;
    for (const PresentCall& call : presents)
        n += call.layered == layered;
    return n;
}

bool closeTo(ARGB actual, ARGB expected, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF), e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance)
            return false;
    }
    return true;
}
