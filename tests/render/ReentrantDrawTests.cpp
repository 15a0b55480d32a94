#include <gtest/gtest.h>

#include "RedrawQueue.h"
#include "RenderTestWindow.h"

namespace {
constexpr ARGB green = 0xFF00FF00;
constexpr ARGB red = 0xFFFF0000;
constexpr ARGB yellow = 0xFFFFFF00;
constexpr ARGB background = 0;  // the test window draws no frame and no fill
}  // namespace

TEST(ReentrantDraw, ARedrawAskedForWhileAnImmediateRedrawRunsWaitsForItsEnd)
{
    RenderTestWindow window;
    ASSERT_TRUE(window.attach());
    SolidControl& parent = window.add({20, 20, 60, 60}, green);
    SolidControl& dimmed = window.add({25, 25, 10, 10}, green, parent.handle());
    SolidControl& spilling = window.add({50, 50, 60, 60}, red, parent.handle());
    SolidControl& distant = window.add({150, 100, 20, 20}, yellow);
    dimmed.disabled(true);
    window.pump();
    // Asked while the disabled child is drawn: a move, whose redraw must not reset the clip of the pass.
    dimmed.onEvent = [&](int code, LPARAM) {
        if (code == EV_QUERY_DIM && distant.currentBounds().x == 150)
            distant.move(160.0f, std::nullopt, std::nullopt, std::nullopt);
    };
    window.host.invalidate(window.host.windowRect(), RedrawNow);
    window.pump();
    EXPECT_EQ(window.pixel(60, 60), red);
    EXPECT_EQ(window.pixel(95, 95), background) << "the child outside its parent stays clipped";
    EXPECT_EQ(window.pixel(175, 110), yellow) << "the move was drawn after the pass";
    EXPECT_EQ(window.pixel(155, 110), background);
    (void)spilling;
}

TEST(ReentrantDraw, AControlDestroyedWhileItIsDrawnLeavesItsSiblingsDrawn)
{
    struct Case {
        const char* what;
        int code;  // the event whose handler destroys the control
    } cases[] = {{"redraw", EV_QUERY_DIM}, {"background rebuild", EV_SNAPSHOT}};
    for (const Case& c : cases) {
        RenderTestWindow window;
        ASSERT_TRUE(window.attach());
        SolidControl& doomed = window.add({10, 10, 20, 20}, green);
        SolidControl& next = window.add({50, 10, 20, 20}, green);
        SolidControl& last = window.add({90, 10, 20, 20}, green);
        doomed.disabled(true);
        window.pump();
        // New looks that only a pass over the whole list picks up.
        next.color = red;
        next.paint(false);
        last.color = yellow;
        last.paint(false);
        doomed.onEvent = [&](int code, LPARAM) {
            if (code == c.code)
                doomed.destroy();
        };
        if (c.code == EV_SNAPSHOT)
            window.host.setBackground(std::nullopt, std::nullopt, 0, false);
        else
            window.host.invalidate(window.host.windowRect(), RedrawAppend);
        window.pump();
        EXPECT_EQ(doomed.handle(), 0u) << c.what;
        EXPECT_EQ(window.pixel(60, 20), red) << c.what;
        EXPECT_EQ(window.pixel(100, 20), yellow) << c.what;
        EXPECT_EQ(window.pixel(20, 20), background) << c.what;
    }
}

TEST(ReentrantDraw, ShowAnimationKeepsItsLockThroughANestedBackgroundRebuildAndStopsWhenClosed)
{
    // A resize pumped between two steps rebuilds the background: the animation's lock outlives it.
    {
        RenderTestWindow window(200, 150, WS_POPUP);
        ASSERT_TRUE(window.attach());
        std::vector<int> locks;
        RenderTestWindow::onPresent = [&](const PresentCall& call) {
            if (!call.layered)
                return;
            locks.push_back(window.host.redrawLock);
            if (locks.size() == 3)
                SetWindowPos(window.hwnd, nullptr, 0, 0, 210, 160, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        };
        window.host.show(1, 40);
        RenderTestWindow::onPresent = nullptr;
        ASSERT_GE(locks.size(), 11u);
        for (size_t i = 3; i < 11; ++i)
            EXPECT_NE(locks[i], 0) << "step " << i;
        EXPECT_EQ(window.host.redrawLock, 0);
        EXPECT_EQ(window.host.size.cx, 210);
    }
    // A close pumped between two steps destroys the window: nothing more is drawn for it.
    RenderTestWindow window(200, 150, WS_POPUP);
    ASSERT_TRUE(window.attach());
    const HWND hwnd = window.hwnd;
    int steps = 0;
    RenderTestWindow::onPresent = [&](const PresentCall& call) {
        if (call.layered && ++steps == 3)
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
    };
    window.host.show(1, 40);
    RenderTestWindow::onPresent = nullptr;
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(steps, 3) << "no step after the window was gone";
    EXPECT_EQ(window.host.redrawLock, 0);
    for (const PresentCall& call : RenderTestWindow::presents)
        EXPECT_EQ(call.window, hwnd);
}
