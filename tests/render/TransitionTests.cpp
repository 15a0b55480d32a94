#include <gtest/gtest.h>

#include "RenderTestWindow.h"

namespace {
constexpr ARGB red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF;
constexpr RectF bounds = {20, 20, 40, 40};

// A red control that has just started a fade-in to green over four frames.
SolidControl& startFade(RenderTestWindow& window, int param)
{
    SolidControl& control = window.add(bounds, red, 0, 4, param);
    window.redrawAll();
    control.color = green;
    control.paint(true);
    return control;
}
}  // namespace

TEST(Transitions, CrossFadeBlendsTheSnapshotIntoTheNewLookFrameByFrame)
{
    RenderTestWindow window;
    ASSERT_TRUE(window.attach());
    SolidControl& control = startFade(window, 0);
    ASSERT_NE(control.transitionSnapshot(), nullptr);
    EXPECT_EQ(control.received[EV_TRANSITION_START], 1);
    window.redrawAll();
    EXPECT_TRUE(closeTo(window.pixel(30, 30), red)) << "frame 0 shows the old look";
    const ARGB expected[] = {0xFFC03F00, 0xFF807F00, 0xFF40BF00};
    for (ARGB color : expected) {
        control.transitionTick();  // redraws the control's bounds at once
        EXPECT_TRUE(closeTo(window.pixel(30, 30), color))
            << std::hex << window.pixel(30, 30) << " frame " << control.transitionFrame();
    }
    control.transitionTick();
    EXPECT_EQ(control.transitionSnapshot(), nullptr);
    EXPECT_EQ(control.received[EV_TRANSITION_END], 1);
    EXPECT_EQ(window.pixel(30, 30), green);
}

TEST(Transitions, SlidesMoveTheOldLookOutAndTheNewOneInWithinTheControl)
{
    struct Case {
        int param;
        POINT newSide, oldSide, beyond;
    } cases[] = {
        {1, {40, 25}, {40, 35}, {40, 65}},  // down: new above
        {2, {40, 55}, {40, 45}, {40, 15}},  // up: new below
        {3, {25, 40}, {35, 40}, {65, 40}},  // right: new to the left
        {4, {55, 40}, {45, 40}, {15, 40}},  // left: new to the right
    };
    for (const Case& c : cases) {
        RenderTestWindow window;
        ASSERT_TRUE(window.attach());
        SolidControl& control = startFade(window, c.param);
        control.transitionTick();  // frame 1 of 4: moved by a quarter of 40 pixels
        window.redrawAll();
        EXPECT_EQ(window.pixel(c.newSide.x, c.newSide.y), green) << "param " << c.param;
        EXPECT_EQ(window.pixel(c.oldSide.x, c.oldSide.y), red) << "param " << c.param;
        EXPECT_EQ(window.pixel(c.beyond.x, c.beyond.y), 0u) << "nothing slides out of the control";
    }
}

TEST(Transitions, ControlThatDrawsItsOwnFrameGetsTheRecordAndNoDefaultDrawing)
{
    struct Case {
        int answer;
        ARGB expected;
    } cases[] = {{1, blue}, {0, red}};
    for (const Case& c : cases) {
        RenderTestWindow window;
        ASSERT_TRUE(window.attach());
        SolidControl& control = startFade(window, 0);
        control.answers[EV_DRAW_TRANSITION] = c.answer;
        HostWindow::TransitionRecord seen = {};
        control.onEvent = [&](int code, LPARAM lParam) {
            if (code != EV_DRAW_TRANSITION)
                return;
            seen = *reinterpret_cast<const HostWindow::TransitionRecord*>(lParam);
            if (c.answer >= 1) {
                GpSolidFill* brush = nullptr;
                GDIP(GdipCreateSolidFill)(blue, &brush);
                GDIP(GdipFillRectangle)(seen.backGraphics, brush, 20, 20, 40, 40);
                GDIP(GdipDeleteBrush)(brush);
            }
        };
        window.host.invalidate(bounds, 0);
        EXPECT_EQ(seen.backDC, window.host.backDC);
        EXPECT_EQ(seen.bitmap, control.bitmap());
        EXPECT_EQ(seen.snapshot, control.transitionSnapshot());
        EXPECT_EQ(seen.bounds.width, 40);
        EXPECT_EQ(seen.clipX, 20);
        EXPECT_EQ(seen.clipY, 20);
        EXPECT_NE(seen.scratchGraphics, nullptr);
        EXPECT_TRUE(closeTo(window.pixel(30, 30), c.expected)) << "answer " << c.answer;
    }
}
