#include <gtest/gtest.h>

#include "Canvas.h"
#include "Engine.h"
#include "Pixels.h"

namespace {
RectF pathBounds(GpPath* path)
{
    RectF bounds;
    GDIP(GdipGetPathWorldBounds)(path, gpRect(&bounds), nullptr, nullptr);
    return bounds;
}

bool isTransparent(ARGB color)
{
    return (color >> 24) == 0;
}
}  // namespace

TEST(Canvas, RectangleHelpers)
{
    RectF r = makeRectF(1, 2, 30, 40);
    inflateRect(r, -1, -2, 2, 4);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 0);
    EXPECT_EQ(r.width, 32);
    EXPECT_EQ(r.height, 44);
    RECT rc = {5, 6, 25, 16};
    RectF f = rectFromRECT(rc);
    EXPECT_EQ(f.x, 5);
    EXPECT_EQ(f.y, 6);
    EXPECT_EQ(f.width, 20);
    EXPECT_EQ(f.height, 10);
}

TEST(Canvas, RoundedRectArcsSitOneCornerInsideTheFarEdges)
{
    // (0, 0, 10, 10) with corner 4: right-hand arcs at x = 5, bottom arcs at y = 5, so the
    // figure spans 0..9.
    GpPath* path = roundedRectPath(makeRectF(0, 0, 10, 10), 4);
    ASSERT_NE(path, nullptr);
    RectF bounds = pathBounds(path);
    EXPECT_NEAR(bounds.x, 0, 0.01);
    EXPECT_NEAR(bounds.y, 0, 0.01);
    EXPECT_NEAR(bounds.x + bounds.width, 9, 0.01);
    EXPECT_NEAR(bounds.y + bounds.height, 9, 0.01);
    deletePath(path);

    TestCanvas canvas(20, 20);
    fillRoundedRect(canvas.graphics(), makeRectF(0, 0, 20, 20), 8, 0xFF0000FF);
    EXPECT_TRUE(isTransparent(canvas.pixel(0, 0))) << "corner cut off";
    EXPECT_TRUE(isTransparent(canvas.pixel(19, 19)));
    EXPECT_EQ(canvas.pixel(10, 10), 0xFF0000FFu);
    EXPECT_EQ(canvas.pixel(0, 10), 0xFF0000FFu);
}

TEST(Canvas, FrameStylesDrawTheirEdges)
{
    TestCanvas canvas(10, 10);
    drawFrame(canvas.graphics(), makeRectF(0, 0, 10, 10), FrameNone);
    EXPECT_EQ(canvas.pixel(0, 0), 0u);

    drawFrame(canvas.graphics(), makeRectF(0, 0, 10, 10), FrameSolid);
    EXPECT_EQ(canvas.pixel(0, 0), 0xFE646464u);
    EXPECT_EQ(canvas.pixel(9, 9), 0xFE646464u);
    EXPECT_EQ(canvas.pixel(5, 5), 0u);

    canvas.clear(0);
    drawFrame(canvas.graphics(), makeRectF(0, 0, 10, 10), FrameSolid, 0xFF00FF00);
    EXPECT_EQ(canvas.pixel(0, 5), 0xFF00FF00u);

    canvas.clear(0);
    drawFrame(canvas.graphics(), makeRectF(0, 0, 10, 10), 0xFFFF0000);  // a colour as the style
    EXPECT_EQ(canvas.pixel(9, 5), 0xFFFF0000u);
    EXPECT_EQ(canvas.pixel(5, 5), 0u);

    canvas.clear(0);
    drawFrame(canvas.graphics(), makeRectF(0, 0, 10, 10), FrameSunken);
    EXPECT_EQ(canvas.pixel(5, 0), 0xA0000000u) << "dark top edge";
    EXPECT_EQ(canvas.pixel(0, 5), 0xA0000000u) << "dark left edge";
    EXPECT_EQ(canvas.pixel(5, 9) & 0x00FFFFFF, 0x00FFFFFFu) << "light bottom edge";
    EXPECT_EQ(canvas.pixel(5, 5), 0u);

    canvas.clear(0);
    drawFrame(canvas.graphics(), makeRectF(0, 0, 10, 10), FrameRaised);
    EXPECT_EQ(canvas.pixel(5, 9), 0xA8000000u) << "dark bottom edge";
    EXPECT_EQ(canvas.pixel(9, 5), 0xA8000000u) << "dark right edge";
    EXPECT_EQ(canvas.pixel(5, 0) & 0x00FFFFFF, 0x00FFFFFFu) << "light top edge";

    TestCanvas wide(40, 4);
    drawFrame(wide.graphics(), makeRectF(0, 0, 40, 4), FrameFocus);
    int drawn = 0;
    for (int x = 0; x < 40; ++x)
        drawn += wide.pixel(x, 0) == 0x78000000u;
    EXPECT_GT(drawn, 5) << "dashes";
    EXPECT_LT(drawn, 35) << "gaps between dashes";
}

TEST(Canvas, VerticalGradientByDefault)
{
    TestCanvas canvas(10, 101);
    fillGradient(canvas.graphics(), makeRectF(0, 0, 10, 101), 0xFF000000, 0xFFFFFFFF);
    const ARGB top = canvas.pixel(4, 1), bottom = canvas.pixel(4, 98);
    EXPECT_LT(top & 0xFF, 0x20u);
    EXPECT_GT(bottom & 0xFF, 0xE0u);
    EXPECT_EQ(canvas.pixel(0, 50), canvas.pixel(8, 50)) << "constant along a row";

    TestCanvas horizontal(101, 10);
    fillGradient(horizontal.graphics(), makeRectF(0, 0, 101, 10), 0xFF000000, 0xFFFFFFFF,
                 Gdiplus::LinearGradientModeHorizontal);
    EXPECT_LT(horizontal.pixel(1, 4) & 0xFF, 0x20u);
    EXPECT_GT(horizontal.pixel(98, 4) & 0xFF, 0xE0u);
}

// Equal colours take a solid brush: the same pixels as GDI+'s gradient brush, edges and alpha included,
// anti-aliased or not, at whole and fractional positions.
TEST(Canvas, GradientOfEqualColoursMatchesTheGradientBrush)
{
    for (const RectF r : {makeRectF(0, 0, 40, 30), makeRectF(3.5f, 2.25f, 20.5f, 17.75f)})
        for (const ARGB colour : {ARGB{0xFE2C3848}, ARGB{0x80FF8000}})
            for (const bool antiAlias : {true, false}) {
                TestCanvas ours(44, 34), gdiPlus(44, 34);
                for (TestCanvas* c : {&ours, &gdiPlus})
                    GDIP(GdipSetSmoothingMode)(c->graphics(), antiAlias ? Gdiplus::SmoothingModeAntiAlias
                                                                        : Gdiplus::SmoothingModeNone);
                fillGradient(ours.graphics(), r, colour, colour, 0);
                GpLineGradient* brush = nullptr;
                GDIP(GdipCreateLineBrushFromRect)(gpRect(&r), colour, colour, Gdiplus::LinearGradientModeHorizontal,
                                                  Gdiplus::WrapModeTileFlipXY, &brush);
                GDIP(GdipFillRectangle)(gdiPlus.graphics(), brush, r.x, r.y, r.width - 1, r.height - 1);
                GDIP(GdipDeleteBrush)(brush);
                int differing = 0;
                for (int y = 0; y < 34; ++y)
                    for (int x = 0; x < 44; ++x)
                        differing += ours.pixel(x, y) != gdiPlus.pixel(x, y);
                EXPECT_EQ(differing, 0) << r.x << "," << r.y << " colour " << std::hex << colour << " aa "
                                        << antiAlias;
            }
}

TEST(Canvas, NineGridKeepsCornersAndStretchesTheRest)
{
    // A 30 x 30 source of nine 10 x 10 blocks, each its own colour.
    TestCanvas source(30, 30);
    const ARGB colours[3][3] = {{0xFFFF0000, 0xFF00FF00, 0xFF0000FF},
                                {0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF},
                                {0xFF800000, 0xFF008000, 0xFF000080}};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            GpSolidFill* brush = solidBrush(colours[row][col]);
            GDIP(GdipFillRectangleI)(source.graphics(), brush, col * 10, row * 10, 10, 10);
            GDIP(GdipDeleteBrush)(brush);
        }
    GDIP(GdipFlush)(source.graphics(), Gdiplus::FlushIntentionSync);

    TestCanvas dest(100, 60);
    GDIP(GdipSetInterpolationMode)(dest.graphics(), Gdiplus::InterpolationModeNearestNeighbor);
    GDIP(GdipSetPixelOffsetMode)(dest.graphics(), Gdiplus::PixelOffsetModeHalf);
    drawImageNineGrid(dest.graphics(), source.bitmap(), makeRectF(0, 0, 100, 60), makeRectF(10, 10, 10, 10));
    struct Probe {
        int x, y, row, col;
    };
    const Probe probes[] = {
        {0, 0, 0, 0},  {9, 9, 0, 0},   {10, 0, 0, 1}, {89, 9, 0, 1}, {90, 0, 0, 2}, {99, 9, 0, 2},
        {0, 10, 1, 0}, {9, 49, 1, 0},  {50, 30, 1, 1}, {99, 49, 1, 2}, {0, 50, 2, 0}, {9, 59, 2, 0},
        {50, 59, 2, 1}, {90, 50, 2, 2}, {99, 59, 2, 2},
    };
    for (const Probe& p : probes)
        EXPECT_EQ(dest.pixel(p.x, p.y), colours[p.row][p.col]) << p.x << "," << p.y;

    TestCanvas faded(100, 60);
    drawImageNineGrid(faded.graphics(), source.bitmap(), makeRectF(0, 0, 100, 60), makeRectF(10, 10, 10, 10), 128);
    EXPECT_NEAR(faded.alpha(2, 2), 128, 2);
    drawImageNineGrid(nullptr, source.bitmap(), makeRectF(0, 0, 1, 1), makeRectF(0, 0, 1, 1));  // no crash
}

TEST(Canvas, MenuBackgroundLeavesMarginShadowAndIconColumn)
{
    TestCanvas canvas(100, 60, 0xFF123456);
    paintMenuBackground(canvas.graphics(), 100, 60);
    // Cleared to transparent; only the shadow rings reach into the 6-pixel margin, the outermost
    // 3 pixels outside the panel.
    for (int x : {0, 1, 2})
        EXPECT_EQ(canvas.alpha(x, 30), 0) << x;
    EXPECT_EQ(canvas.alpha(50, 1), 0);
    EXPECT_EQ(canvas.alpha(3, 30), 5);
    EXPECT_EQ(canvas.alpha(4, 30), 15);
    EXPECT_EQ(canvas.alpha(5, 30), 35);
    EXPECT_GT(canvas.alpha(50, 6), 234) << "ring 1 over the panel's edge";
    EXPECT_LT(canvas.pixel(50, 6) & 0xFF, 0x90u);
    EXPECT_EQ(canvas.pixel(50, 53), 0x7D000000u) << "ring 1 is the panel's last row";
    EXPECT_EQ(canvas.pixel(60, 30), 0xEAFFFFFFu) << "panel";
    // Icon column (8, 8, 24, 44): tinted, the panel to its right and below.
    EXPECT_EQ(canvas.pixel(20, 30) & 0x00FFFFFF, 0x00D1E4ECu);
    EXPECT_EQ(canvas.pixel(8, 30) & 0x00FFFFFF, 0x00D1E4ECu);
    EXPECT_EQ(canvas.pixel(30, 30) & 0x00FFFFFF, 0x00D1E4ECu);
    EXPECT_EQ(canvas.pixel(33, 30), 0xEAFFFFFFu);
    EXPECT_EQ(canvas.pixel(20, 51) & 0x00FFFFFF, 0x00D1E4ECu);
    EXPECT_EQ(canvas.pixel(20, 52), 0xEAFFFFFFu);
}
