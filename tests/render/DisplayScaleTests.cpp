// The engine at display scales above 100 %: a WM_DPICHANGED sent to a window of the 96-DPI test bed.
#include <gtest/gtest.h>

#include <windowsx.h>

#include <cmath>

#include "ButtonControl.h"
#include "DisplayScale.h"
#include "EditControl.h"
#include "Images.h"
#include "LabelControl.h"
#include "Pixels.h"
#include "ProgressBar.h"
#include "RenderTestWindow.h"

namespace {

constexpr ARGB red = 0xFFFF0000, blue = 0xFF0000FF, green = 0xFF00FF00;

void changeDpi(RenderTestWindow& window, int dpi, SIZE suggestedSize)
{
    RECT rc = {};
    GetWindowRect(window.hwnd, &rc);
    RECT suggested = {rc.left, rc.top, rc.left + suggestedSize.cx, rc.top + suggestedSize.cy};
    SendMessageW(window.hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    window.pumpUntilUnlocked();
}

void changeDpi(RenderTestWindow& window, int dpi)
{
    changeDpi(window, dpi, DisplayScale(dpi).sizeToDevice(window.host.size));
}

SIZE dibSize(HBITMAP dib)
{
    BITMAP info = {};
    GetObjectW(dib, sizeof info, &info);
    return {info.bmWidth, std::abs(info.bmHeight)};
}

SIZE bitmapSize(const Control& control)
{
    return {static_cast<LONG>(imageWidth(control.bitmap())), static_cast<LONG>(imageHeight(control.bitmap()))};
}

int roundHalfUp(double v)
{
    return static_cast<int>(std::floor(v + 0.5));
}

// The bounding box of the pixels with any alpha.
RECT inkBox(GpBitmap* bitmap)
{
    const int w = static_cast<int>(imageWidth(bitmap)), h = static_cast<int>(imageHeight(bitmap));
    RECT box = {w, h, 0, 0};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (pixelAt(bitmap, x, y) >> 24) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box;
}

struct ScaleCase {
    int dpi;
    SIZE window;
};
const ScaleCase scales[] = {{120, {735, 548}}, {144, {882, 657}}, {192, {1176, 876}}};

}  // namespace

TEST(DisplayScale, WindowSizesRoundHalfUpAndRectanglesRoundTheirEdges)
{
    for (const ScaleCase& c : scales) {
        const DisplayScale scale(c.dpi);
        const SIZE device = scale.sizeToDevice({588, 438});
        EXPECT_EQ(device.cx, c.window.cx) << c.dpi;
        EXPECT_EQ(device.cy, c.window.cy) << c.dpi;
        EXPECT_EQ(scale.sizeToLogical(device).cx, 588) << c.dpi;
        EXPECT_EQ(scale.sizeToLogical(device).cy, 438) << c.dpi;
    }
    // At 125 %: 10..20 and 20..30 share the device edge 25; 11 starts at 13.75 -> 14.
    const DisplayScale quarter(120);
    const RectF a = quarter.toDevice(RectF{10, 10, 10, 10}), b = quarter.toDevice(RectF{20, 11, 10, 10});
    EXPECT_EQ(a.x + a.width, b.x);
    EXPECT_EQ(a.x, 13);
    EXPECT_EQ(b.y, 14);
    EXPECT_EQ(b.height, 12);  // 13.75 .. 26.25 -> 14 .. 26
}

TEST(DisplayScale, IdentityAtNinetySixKeepsFractions)
{
    const DisplayScale scale;
    const RectF r = scale.toDevice(RectF{1.5f, 2.25f, 3.75f, 4.5f});
    EXPECT_EQ(r.x, 1.5f);
    EXPECT_EQ(r.y, 2.25f);
    EXPECT_EQ(r.width, 3.75f);
    EXPECT_EQ(r.height, 4.5f);
    EXPECT_EQ(scale.pointToLogical(MAKELPARAM(33, 44)), MAKELPARAM(33, 44));
}

TEST(DpiChange, WindowBackBufferAndControlBitmapsTakeTheDeviceSize)
{
    for (const ScaleCase& c : scales) {
        RenderTestWindow window(588, 438);
        ASSERT_TRUE(window.attach());
        SolidControl& left = window.add({101, 100, 33, 21}, red);
        SolidControl& right = window.add({134, 100, 33, 21}, blue);
        changeDpi(window, c.dpi, c.window);
        const double s = c.dpi / 96.0;

        RECT rc = {};
        GetWindowRect(window.hwnd, &rc);
        EXPECT_EQ(rc.right - rc.left, c.window.cx) << c.dpi;
        EXPECT_EQ(rc.bottom - rc.top, c.window.cy) << c.dpi;
        EXPECT_EQ(window.host.size.cx, 588) << "logical numbers stay, " << c.dpi;
        EXPECT_EQ(window.host.size.cy, 438) << c.dpi;
        EXPECT_EQ(dibSize(window.host.backBitmap).cx, c.window.cx) << c.dpi;
        EXPECT_EQ(dibSize(window.host.backBitmap).cy, c.window.cy) << c.dpi;

        // Each edge rounded on its own: the neighbours meet without gap or overlap.
        const int leftX = roundHalfUp(101 * s), shared = roundHalfUp(134 * s), rightEnd = roundHalfUp(167 * s);
        const int top = roundHalfUp(100 * s), bottom = roundHalfUp(121 * s);
        EXPECT_EQ(left.deviceBounds().x, leftX) << c.dpi;
        EXPECT_EQ(left.deviceBounds().x + left.deviceBounds().width, shared) << c.dpi;
        EXPECT_EQ(right.deviceBounds().x, shared) << c.dpi;
        EXPECT_EQ(bitmapSize(left).cx, shared - leftX) << c.dpi;
        EXPECT_EQ(bitmapSize(left).cy, bottom - top) << c.dpi;
        EXPECT_EQ(bitmapSize(right).cx, rightEnd - shared) << c.dpi;

        const int y = (top + bottom) / 2;
        window.redrawAll();
        EXPECT_EQ(window.pixel(leftX, y), red) << c.dpi;
        EXPECT_NE(window.pixel(leftX - 1, y), red) << c.dpi;
        EXPECT_EQ(window.pixel(shared - 1, y), red) << c.dpi;
        EXPECT_EQ(window.pixel(shared, y), blue) << c.dpi;
        EXPECT_EQ(window.pixel(rightEnd - 1, y), blue) << c.dpi;
        EXPECT_NE(window.pixel(rightEnd, y), blue) << c.dpi;
        EXPECT_EQ(window.pixel(leftX, top), red) << c.dpi;
        EXPECT_NE(window.pixel(leftX, top - 1), red) << c.dpi;
        EXPECT_EQ(window.pixel(leftX, bottom - 1), red) << c.dpi;
        EXPECT_NE(window.pixel(leftX, bottom), red) << c.dpi;
    }
}

TEST(DpiChange, ZeroOrAbsurdDpiIsIgnored)
{
    for (int dpi : {0, 5000, 65535}) {
        RenderTestWindow window(200, 150);
        ASSERT_TRUE(window.attach());
        changeDpi(window, dpi, {400, 300});
        RECT rc = {};
        GetWindowRect(window.hwnd, &rc);
        EXPECT_EQ(rc.right - rc.left, 200) << dpi;
        EXPECT_EQ(window.host.displayScale.dpi(), 96) << dpi;
        EXPECT_EQ(dibSize(window.host.backBitmap).cx, 200) << dpi;
    }
}

TEST(DpiChange, MouseAtDevicePixelsReachesHitTestAndHandlersInLogicalOnes)
{
    RenderTestWindow window(300, 200);
    ASSERT_TRUE(window.attach());
    SolidControl& a = window.add({40, 20, 30, 30}, red);
    SolidControl& b = window.add({70, 20, 30, 30}, blue);
    a.focusable(true);
    b.focusable(true);
    changeDpi(window, 144);

    static ControlHandle downOn = 0, clickedOn = 0;
    static LPARAM downAt = 0;
    window.host.setOnMouseDown([](HWND, ControlHandle control, WPARAM, LPARAM lParam, int) {
        downOn = control;
        downAt = lParam;
        return 0;
    });
    window.host.setOnClick([](HWND, ControlHandle control, WPARAM, LPARAM, int) {
        clickedOn = control;
        return 0;
    });
    LPARAM seenByControl = -1;
    a.onEvent = b.onEvent = [&](int code, LPARAM lParam) {
        if (code == WM_LBUTTONDOWN)
            seenByControl = lParam;
    };
    struct Case {
        POINT device;
        POINT logical;
        ControlHandle target;
    };
    // Device 104 is the last pixel of a (its right edge is 70 * 1.5 = 105), 105 the first of b.
    const Case cases[] = {{{66, 45}, {44, 30}, a.handle()},
                          {{104, 45}, {69, 30}, a.handle()},
                          {{105, 45}, {70, 30}, b.handle()},
                          {{149, 74}, {99, 49}, b.handle()},
                          {{150, 45}, {100, 30}, 0}};
    for (const Case& c : cases) {
        downOn = clickedOn = 0;
        downAt = 0;
        seenByControl = -1;
        const LPARAM at = MAKELPARAM(c.device.x, c.device.y);
        SendMessageW(window.hwnd, WM_MOUSEMOVE, 0, at);
        EXPECT_EQ(window.host.hoverControl, c.target) << c.device.x;
        if (!c.target)
            continue;
        SendMessageW(window.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(window.hwnd, WM_LBUTTONUP, 0, at);
        EXPECT_EQ(downOn, c.target) << c.device.x;
        EXPECT_EQ(clickedOn, c.target) << c.device.x;
        EXPECT_EQ(GET_X_LPARAM(downAt), c.logical.x) << c.device.x;
        EXPECT_EQ(GET_Y_LPARAM(downAt), c.logical.y) << c.device.x;
        EXPECT_EQ(GET_X_LPARAM(seenByControl), c.logical.x) << c.device.x;
        EXPECT_EQ(GET_Y_LPARAM(seenByControl), c.logical.y) << c.device.x;
    }
    window.host.setOnMouseDown(nullptr);
    window.host.setOnClick(nullptr);
}

TEST(DpiChange, TextAtTwiceTheScaleHasTwiceTheInk)
{
    RenderTestWindow window(300, 200);
    ASSERT_TRUE(window.attach());
    LabelOptions look;
    look.textColor = 0xFF000000;
    LabelControl label;
    label.createLabel(parentWindow(window.hwnd), 20, 20, 200, 40, "Engine \xD2\xFD\xC7\xE6", look);  // 引擎
    window.pumpUntilUnlocked();
    const RECT before = inkBox(label.bitmap());
    ASSERT_GT(before.right - before.left, 10);
    changeDpi(window, 192);
    const RECT after = inkBox(label.bitmap());
    EXPECT_EQ(bitmapSize(label).cx, 400);
    EXPECT_EQ(bitmapSize(label).cy, 80);
    // The font is made at its logical size and scaled by the transform: not the same pixel size, and
    // not scaled twice.
    EXPECT_NEAR(after.right - after.left, 2 * (before.right - before.left), 4);
    EXPECT_NEAR(after.bottom - after.top, 2 * (before.bottom - before.top), 4);
    EXPECT_NEAR(after.left, 2 * before.left, 2);
    EXPECT_NEAR(after.top, 2 * before.top, 2);
    label.destroy();
}

TEST(DpiChange, DoubleSizePartnerIsDrawnFromOneAndAHalf)
{
    const std::vector<std::uint8_t> single = solidPng(6, 6, red), twice = solidPng(12, 12, blue);
    Images::registerDoubleSize(single, twice);
    struct Case {
        int dpi;
        ARGB expected;
    };
    const Case cases[] = {{96, red}, {120, red}, {144, blue}, {192, blue}};
    for (const Case& c : cases) {
        RenderTestWindow window(200, 150);
        ASSERT_TRUE(window.attach());
        ButtonControl box;
        box.createButton(parentWindow(window.hwnd), 10, 10, 20, 20, "");
        box.setImages(single, std::nullopt, std::nullopt, std::nullopt, ButtonControl::ImageNatural);
        if (c.dpi != 96)
            changeDpi(window, c.dpi);
        window.pumpUntilUnlocked();
        const double s = c.dpi / 96.0;
        EXPECT_EQ(pixelAt(box.bitmap(), 1, 1), c.expected) << c.dpi;
        // Natural size is logical: 6 logical pixels whichever picture is drawn.
        const int end = roundHalfUp(6 * s);
        EXPECT_EQ(pixelAt(box.bitmap(), end - 2, end - 2), c.expected) << c.dpi;
        EXPECT_EQ(pixelAt(box.bitmap(), end + 1, end + 1) >> 24, 0u) << c.dpi;
        // The control keeps the 1x bytes it was given.
        EXPECT_EQ(box.normalImage(), single) << c.dpi;
        box.destroy();
    }
    Images::clearDoubleSizes();
}

TEST(DpiChange, ControlStateSurvivesTheChange)
{
    RenderTestWindow window(400, 300);
    ASSERT_TRUE(window.attach());
    const ParentHandle top = parentWindow(window.hwnd);
    EditControl edit;
    edit.create(top, 20, 20, 200, 24, std::string("hello world"));
    ProgressBar progress;
    progress.createProgress(top, 20, 60, 200, 10, 37, 0, 100, false);
    SolidControl& hidden = window.add({20, 100, 40, 40}, green);
    hidden.visible(false);
    window.host.setFocus(edit.handle(), false);
    edit.setSelection({1, 2}, {1, 7});
    EXPECT_TRUE(window.pumpUntilUnlocked());
    POINT caretBefore = {};
    edit.showCaret(true, true);
    GetCaretPos(&caretBefore);

    changeDpi(window, 192);
    EXPECT_EQ(window.host.redrawLock, 0) << "a paint at the new scale failed half-way";
    window.redrawAll();

    EXPECT_EQ(edit.text(), "hello world");
    EXPECT_EQ(edit.anchor(), (TextBuffer::Position{1, 2}));
    EXPECT_EQ(edit.caret(), (TextBuffer::Position{1, 7}));
    EXPECT_EQ(progress.value(), 37);
    EXPECT_FALSE(hidden.isVisible());
    EXPECT_NE(window.pixel(80, 240), green) << "a hidden control stays undrawn";
    EXPECT_EQ(window.host.focusedControl, edit.handle());
    EXPECT_EQ(bitmapSize(edit).cx, 400);

    // The system caret, which the input method's window follows, is placed in device pixels.
    POINT caretAfter = {};
    edit.showCaret(true, true);
    GetCaretPos(&caretAfter);
    EXPECT_NEAR(caretAfter.x, 2 * caretBefore.x, 2);
    EXPECT_NEAR(caretAfter.y, 2 * caretBefore.y, 2);
    edit.destroy();
    progress.destroy();
}

TEST(DpiChange, TooltipRectangleIsInDevicePixels)
{
    RenderTestWindow window(300, 200);
    ASSERT_TRUE(window.attach());
    SolidControl& a = window.add({40, 20, 30, 30}, red);
    changeDpi(window, 144);
    window.host.setControlTooltip(a.handle(), std::string("tip"));
    const RECT r = window.host.toolInfo.rect;
    EXPECT_EQ(r.left, 60);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right, 105);
    EXPECT_EQ(r.bottom, 75);
}
