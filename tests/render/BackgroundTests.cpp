#include <gtest/gtest.h>

#include <vector>

#include "RenderTestWindow.h"

namespace {
constexpr int width = 200, height = 150;

// A 10 x 10 PNG, red on the left half and blue on the right.
std::vector<std::uint8_t> halfRedHalfBluePng()
{
    GpBitmap* bitmap = nullptr;
    GDIP(GdipCreateBitmapFromScan0)(10, 10, 0, PixelFormat32bppARGB, nullptr, &bitmap);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            GDIP(GdipBitmapSetPixel)(bitmap, x, y, x < 5 ? 0xFFFF0000 : 0xFF0000FF);
    const CLSID png = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    GDIP(GdipSaveImageToStream)(bitmap, stream, &png, nullptr);
    GDIP(GdipDisposeImage)(bitmap);
    HGLOBAL memory = nullptr;
    GetHGlobalFromStream(stream, &memory);
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(memory));
    std::vector<std::uint8_t> result(bytes, bytes + stat.cbSize.LowPart);
    GlobalUnlock(memory);
    stream->Release();
    return result;
}

bool rgbNear(ARGB pixel, int r, int g, int b)
{
    return closeTo(pixel & 0xFFFFFF, static_cast<ARGB>((r << 16) | (g << 8) | b), 3);
}
}  // namespace

TEST(Background, PictureGivesItsAverageColourAndIsPlacedByLayout)
{
    const std::vector<std::uint8_t> png = halfRedHalfBluePng();
    struct Case {
        int layout;
        POINT red, blue, fill;
    } cases[] = {
        {0, {9, 10}, {12, 10}, {100, 75}},
        {1, {50, 75}, {150, 75}, {}},
        {2, {97, 75}, {102, 75}, {9, 10}},
    };
    for (const Case& c : cases) {
        RenderTestWindow window(width, height);
        HostAttachOptions options;
        options.background = png;
        options.frameStyle = 7;
        options.imageLayout = c.layout;
        ASSERT_TRUE(window.attach(options));
        EXPECT_EQ(window.host.backgroundColor, RGB(128, 0, 128)) << "rounded mean of each channel";
        EXPECT_TRUE(rgbNear(window.pixel(c.red.x, c.red.y), 255, 0, 0)) << "layout " << c.layout;
        EXPECT_TRUE(rgbNear(window.pixel(c.blue.x, c.blue.y), 0, 0, 255)) << "layout " << c.layout;
        if (c.fill.x) {
            const ARGB fill = window.pixel(c.fill.x, c.fill.y);
            EXPECT_EQ(fill >> 24, 0xFEu) << "opaque fills carry alpha 254";
            EXPECT_TRUE(rgbNear(fill, 128, 0, 128)) << std::hex << fill;
        }
    }
}

TEST(Background, FrameStylesDrawTheOutlineShapeTheWindowAndClipTheControls)
{
    struct Case {
        int frameStyle;
        bool squareCorner;
    } cases[] = {{7, false}, {0, true}};
    for (const Case& c : cases) {
        RenderTestWindow window(width, height);
        HostAttachOptions options;
        options.frameStyle = c.frameStyle;
        options.backgroundColor = RGB(0, 0, 0);
        ASSERT_TRUE(window.attach(options));
        window.add({0, 0, width, height}, 0xFF00FF00);
        window.redrawAll();
        EXPECT_TRUE(rgbNear(window.pixel(100, 6), 0x4D, 0x4D, 0x4D)) << "grey outer line over black";
        EXPECT_EQ(window.pixel(100, 7), 0xFF00FF00u) << "controls begin one pixel inside the outline";
        EXPECT_EQ(window.pixel(2, 75), 0u) << "outside the frame nothing is drawn";
        EXPECT_EQ(window.pixel(6, 6) != 0, c.squareCorner) << "frame style " << c.frameStyle;

        // The background cache holds the outline and the inner white line over the fill.
        window.controls.front()->visible(false);
        window.pump();
        EXPECT_TRUE(rgbNear(window.pixel(100, 7), 0x66, 0x66, 0x66)) << std::hex << window.pixel(100, 7);
        EXPECT_EQ(window.pixel(100, 75), 0xFE000000u);

        HRGN rgn = CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(GetWindowRgn(window.hwnd, rgn), ERROR);
        RECT box;
        GetRgnBox(rgn, &box);
        DeleteObject(rgn);
        // Six pixels off every edge; the outline runs along the last pixels shown.
        EXPECT_EQ(box.left, 6);
        EXPECT_EQ(box.top, 6);
        EXPECT_EQ(box.right, width - 6);
        EXPECT_EQ(box.bottom, height - 6);
        EXPECT_TRUE(rgbNear(window.pixel(width - 7, 75), 0x4D, 0x4D, 0x4D));
        EXPECT_TRUE(rgbNear(window.pixel(width - 8, 75), 0x66, 0x66, 0x66));
        EXPECT_EQ(window.pixel(width - 6, 75), 0u);

        // A rebuilt background starts from a cleared buffer: whatever was drawn before is gone from
        // the corners and the margin outside the frame.
        GpSolidFill* garbage = nullptr;
        GDIP(GdipCreateSolidFill)(0xFF123456, &garbage);
        GDIP(GdipFillRectangleI)(window.host.backGraphics, reinterpret_cast<GpBrush*>(garbage), 0, 0, width, height);
        GDIP(GdipDeleteBrush)(reinterpret_cast<GpBrush*>(garbage));
        window.host.setBackground(std::nullopt, RGB(0, 0, 0), 0, true);
        window.redrawAll();
        EXPECT_EQ(window.pixel(2, 75), 0u);
        EXPECT_EQ(window.pixel(width - 1, height - 1), 0u);
        EXPECT_EQ(window.pixel(6, 6) != 0, c.squareCorner) << "frame style " << c.frameStyle;
        EXPECT_EQ(window.pixel(100, 75), 0xFE000000u);
    }
}

TEST(Background, WithoutFrameOnlyThePictureIsDrawnAndLayeredFillsTakeTheWindowAlpha)
{
    RenderTestWindow plain(width, height);
    const std::vector<std::uint8_t> png = halfRedHalfBluePng();
    HostAttachOptions options;
    options.background = png;
    ASSERT_TRUE(plain.attach(options));
    EXPECT_TRUE(rgbNear(plain.pixel(2, 2), 255, 0, 0));
    EXPECT_TRUE(rgbNear(plain.pixel(7, 2), 0, 0, 255));
    EXPECT_EQ(plain.pixel(12, 2), 0u) << "no fill colour without a frame";

    RenderTestWindow layered(width, height);
    HostAttachOptions layeredOptions;
    layeredOptions.frameStyle = 7;
    layeredOptions.windowAlpha = 128;
    layeredOptions.backgroundColor = RGB(255, 255, 255);
    ASSERT_TRUE(layered.attach(layeredOptions));
    EXPECT_EQ(layered.pixel(100, 75) >> 24, 128u);
}

TEST(Background, RebuildTellsEachVisibleControlFirstUnlessQuiet)
{
    RenderTestWindow window(width, height);
    ASSERT_TRUE(window.attach());
    SolidControl& shown = window.add({10, 10, 20, 20}, 0xFFFF0000);
    SolidControl& hidden = window.add({40, 10, 20, 20}, 0xFF00FF00);
    SolidControl& child = window.add({45, 15, 5, 5}, 0xFF0000FF, hidden.handle());
    hidden.visible(false);
    window.pump();
    window.host.setBackground(std::nullopt, RGB(1, 2, 3), 0, false);
    EXPECT_EQ(shown.received[EV_SNAPSHOT], 1);
    EXPECT_EQ(hidden.received[EV_SNAPSHOT], 0);
    EXPECT_EQ(child.received[EV_SNAPSHOT], 0) << "under a hidden parent";
    EXPECT_EQ(window.host.backgroundColor, RGB(1, 2, 3));
    window.host.setBackground(std::nullopt, std::nullopt, 0, true);
    EXPECT_EQ(shown.received[EV_SNAPSHOT], 1);
    EXPECT_EQ(window.pixel(20, 20), 0xFFFF0000u);
}
