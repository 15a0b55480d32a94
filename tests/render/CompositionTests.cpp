#include <gtest/gtest.h>

#include "Canvas.h"
#include "Images.h"
#include "Pixels.h"
#include "RedrawQueue.h"
#include "RenderTestWindow.h"

namespace {
constexpr ARGB red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF;
}  // namespace

TEST(Composition, ControlTouchingTheDirtyRectangleOnlyAtAnEdgeIsNotDrawn)
{
    RenderTestWindow window;
    ASSERT_TRUE(window.attach());
    SolidControl& control = window.add({50, 50, 40, 40}, red);
    control.disabled(true);
    control.answers[EV_QUERY_DIM] = 0;  // drawn at full alpha, and every draw asks first
    struct Case {
        RectF dirty;
        bool drawn;
    } cases[] = {
        {{90, 50, 30, 40}, false}, {{20, 50, 30, 40}, false}, {{50, 20, 40, 30}, false}, {{50, 90, 40, 30}, false},
        {{89, 50, 30, 40}, true},  {{20, 50, 31, 40}, true},  {{50, 20, 40, 31}, true},  {{50, 89, 40, 30}, true},
    };
    for (const Case& c : cases) {
        window.redrawAll();
        control.received.clear();
        window.host.redrawRect(c.dirty, false);
        EXPECT_EQ(control.received[EV_QUERY_DIM] > 0, c.drawn) << c.dirty.x << "," << c.dirty.y;
    }
}

TEST(Composition, HiddenParentHidesItsChildrenAndChildrenAreClippedToTheirParent)
{
    RenderTestWindow window;
    ASSERT_TRUE(window.attach());
    SolidControl& parent = window.add({20, 20, 50, 50}, blue);
    window.add({60, 60, 40, 40}, red, parent.handle());  // reaches 30 pixels beyond its parent
    SolidControl& sibling = window.add({100, 20, 30, 30}, green);

    window.redrawAll();
    EXPECT_EQ(window.pixel(30, 30), blue);
    EXPECT_EQ(window.pixel(65, 65), red) << "inside the parent";
    EXPECT_EQ(window.pixel(80, 80), 0u) << "outside the parent";
    EXPECT_EQ(window.pixel(110, 30), green) << "a later sibling is not clipped to the parent";

    parent.visible(false);
    window.redrawAll();
    EXPECT_EQ(window.pixel(30, 30), 0u);
    EXPECT_EQ(window.pixel(65, 65), 0u) << "the child goes with its hidden parent";
    EXPECT_EQ(window.pixel(110, 30), green);
    (void)sibling;
}

TEST(Composition, DisabledControlIsHalvedUnlessItAnswersQueryDim)
{
    struct Case {
        std::optional<int> answer;
        int expectedAlpha;
    } cases[] = {{std::nullopt, 127}, {0, 255}, {1, 255}, {-2, 255}};
    for (const Case& c : cases) {
        RenderTestWindow window;
        ASSERT_TRUE(window.attach());
        SolidControl& control = window.add({10, 10, 30, 30}, red);
        control.disabled(true);
        if (c.answer)
            control.answers[EV_QUERY_DIM] = *c.answer;
        window.redrawAll();
        const ARGB p = window.pixel(20, 20);
        EXPECT_NEAR(static_cast<int>(p >> 24), c.expectedAlpha, 2) << "answer " << c.answer.value_or(-1);
        EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), c.expectedAlpha, 2) << "premultiplied red";
    }
}

TEST(Composition, RedrawRestoresTheBackgroundUnderTheRectangleOnly)
{
    RenderTestWindow window;
    ASSERT_TRUE(window.attach());
    SolidControl& control = window.add({10, 10, 60, 20}, red);
    window.redrawAll();
    window.host.redrawLock = true;  // the hiding's own redraw is dropped
    control.visible(false);
    window.pump();
    window.host.redrawLock = false;
    window.host.redrawRect({10, 10, 30, 20}, false);
    EXPECT_EQ(window.pixel(15, 15), 0u);
    EXPECT_EQ(window.pixel(50, 15), red) << "outside the dirty rectangle the old picture stays";
}

TEST(Composition, BackBufferAreaCopyIsStraightAlphaAndTransparentOutsideTheWindow)
{
    RenderTestWindow window(100, 80);
    ASSERT_TRUE(window.attach());
    window.add({0, 0, 20, 20}, 0x80FF0000);
    window.redrawAll();
    GpBitmap* inside = window.host.cloneBackBufferArea({0, 0, 10, 10});
    ASSERT_NE(inside, nullptr);
    EXPECT_TRUE(closeTo(pixelAt(inside, 5, 5), 0x80FF0000));
    GDIP(GdipDisposeImage)(inside);

    GpBitmap* across = window.host.cloneBackBufferArea({-10, -10, 20, 20});
    ASSERT_NE(across, nullptr);
    EXPECT_EQ(imageWidth(across), 20u);
    EXPECT_EQ(pixelAt(across, 2, 2) >> 24, 0u);
    EXPECT_TRUE(closeTo(pixelAt(across, 15, 15), 0x80FF0000));
    GDIP(GdipDisposeImage)(across);
}

TEST(Composition, PartialRedrawsGiveTheSamePixelsAsAWholeRedraw)
{
    RenderTestWindow window(200, 150);
    HostAttachOptions options;
    options.frameStyle = 7;
    options.backgroundColor = RGB(30, 60, 90);
    ASSERT_TRUE(window.attach(options));
    window.add({0, 0, 200, 40}, 0x80FF8000);  // across the rounded corners
    SolidControl& parent = window.add({40, 50, 60, 60}, 0xFF204060);
    window.add({80, 90, 50, 50}, 0xC000FF00, parent.handle());  // beyond its parent
    window.add({120.5f, 60.25f, 30, 30}, 0xFF0000FF);            // not on whole pixels
    SolidControl& dimmed = window.add({150, 100, 40, 40}, 0xFFFFFFFF);
    dimmed.disabled(true);
    window.add({12, 60, 20, 80}, 0x40FFFFFF);  // translucent, inside the frame: blended without a clip
    window.add({16, 70, 10, 60}, 0xB0103070);
    window.pump();
    window.redrawAll();
    std::vector<ARGB> whole;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            whole.push_back(window.pixel(x, y));

    const RectF dirty[] = {{0, 0, 30, 30},  {60, 70, 40, 40}, {85, 95, 10, 10}, {110, 55, 30, 30},
                           {140, 90, 60, 60}, {5, 20, 190, 30}, {99, 0, 2, 150}, {10, 55, 25, 80},
                           {14, 100, 5, 33}};
    GpSolidFill* garbage = nullptr;
    GDIP(GdipCreateSolidFill)(0xFF123456, &garbage);
    for (const RectF& r : dirty) {
        GDIP(GdipFillRectangle)(window.host.backGraphics, garbage, r.x, r.y, r.width, r.height);
        window.host.redrawRect(r, false);
        int wrong = 0;
        for (int y = static_cast<int>(r.y); y < r.y + r.height; ++y)
            for (int x = static_cast<int>(r.x); x < r.x + r.width; ++x)
                wrong += window.pixel(x, y) != whole[y * 200 + x];
        EXPECT_EQ(wrong, 0) << r.x << "," << r.y << " " << r.width << "x" << r.height;
    }
    GDIP(GdipDeleteBrush)(garbage);
}
