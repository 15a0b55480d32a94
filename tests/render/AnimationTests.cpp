#include <gtest/gtest.h>

#include "RenderTestWindow.h"

namespace {
constexpr COLORREF blueRef = RGB(0, 0, 255);
constexpr COLORREF shownBlue = RGB(0, 0, 254);  // an opaque fill is alpha 254, premultiplied

bool isLayeredStyle(HWND hwnd)
{
    return (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
}
}  // namespace

TEST(Animations, BackgroundFadeEndsWithTheWholeNewPictureAndTheLockClear)
{
    struct Case {
        std::optional<int> windowAlpha;
    } cases[] = {{std::nullopt}, {255}};
    for (const Case& c : cases) {
        RenderTestWindow window;
        HostAttachOptions options;
        options.frameStyle = 0;
        options.windowAlpha = c.windowAlpha;
        options.backgroundColor = RGB(255, 0, 0);
        ASSERT_TRUE(window.attach(options));
        SolidControl& control = window.add({20, 20, 30, 30}, 0xFF00FF00);
        window.redrawAll();

        window.host.setBackground(std::nullopt, blueRef, 1, true);
        EXPECT_TRUE(window.host.redrawLock);
        control.color = 0xFFFFFF00;  // asked for while the fade holds the lock
        control.paint(false);
        control.invalidate();
        ASSERT_TRUE(window.pumpUntilUnlocked());
        EXPECT_EQ(window.host.fadeAlpha, 255);
        EXPECT_EQ(window.host.fadeDC, nullptr) << "the snapshot is released";
        EXPECT_TRUE(closeTo(window.pixel(100, 100), 0xFE0000FE)) << std::hex << window.pixel(100, 100);
        EXPECT_EQ(window.pixel(30, 30), 0xFFFFFF00u) << "the change made during the fade is not lost";
        if (c.windowAlpha) {
            ASSERT_FALSE(RenderTestWindow::presents.empty());
            EXPECT_EQ(RenderTestWindow::presents.back().source, window.host.backDC);
            EXPECT_EQ(RenderTestWindow::presents.back().sample, window.pixel(100, 75));
        } else {
            EXPECT_EQ(window.screenPixel(100, 100), shownBlue);
            EXPECT_EQ(window.screenPixel(30, 30), RGB(255, 255, 0));
        }
    }
}

TEST(Animations, ShowPlaysTenStepsFromTransparentToTheBackBufferAndRestoresTheWindow)
{
    for (int kind : {1, 3, 6, 7}) {
        RenderTestWindow window(200, 150, WS_POPUP);
        HostAttachOptions options;
        options.backgroundColor = RGB(0, 0, 255);
        options.frameStyle = 0;
        ASSERT_TRUE(window.attach(options));
        window.host.show(kind, 10);
        const auto& frames = RenderTestWindow::presents;
        ASSERT_EQ(RenderTestWindow::count(true), 12) << "blank, ten steps, final; kind " << kind;
        EXPECT_EQ(frames[0].sample, 0u);
        EXPECT_EQ(frames[1].sample, 0u) << "the first step is at alpha 0";
        EXPECT_EQ(frames[11].sample, window.pixel(100, 75));
        EXPECT_FALSE(isLayeredStyle(window.hwnd));
        EXPECT_FALSE(window.host.redrawLock);
        EXPECT_TRUE(IsWindowVisible(window.hwnd));
        EXPECT_EQ(window.screenPixel(100, 75), shownBlue);
    }
}

TEST(Animations, ShowOfAWindowWithoutFrameLeavesItUnshaped)
{
    RenderTestWindow window(200, 150, WS_POPUP);
    ASSERT_TRUE(window.attach());
    window.host.show(1, 10);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(window.hwnd, rgn), ERROR) << "the animation's rounded shape was temporary";
    DeleteObject(rgn);
}

TEST(Animations, CloseAnimationsEndFullyTransparentOnALayeredWindow)
{
    struct Case {
        int kind;
        int frames;
    } cases[] = {{1, 17}, {2, 22}, {3, 17}, {4, 17}, {5, 17}, {6, 17}, {7, 17}, {0, 0}};
    for (const Case& c : cases) {
        RenderTestWindow window;
        HostAttachOptions options;
        options.backgroundColor = RGB(0, 0, 255);
        options.frameStyle = 0;
        ASSERT_TRUE(window.attach(options));
        window.host.setCloseAnimation(c.kind);
        RenderTestWindow::presents.clear();
        window.host.playCloseAnimation();
        EXPECT_EQ(RenderTestWindow::count(true), c.frames) << "kind " << c.kind;
        EXPECT_FALSE(window.host.redrawLock);
        if (c.frames == 0)
            continue;
        const auto& frames = RenderTestWindow::presents;
        EXPECT_EQ(frames.front().sample, window.pixel(100, 75)) << "starts from the whole picture";
        EXPECT_EQ(frames.back().sample, 0u);
        EXPECT_TRUE(isLayeredStyle(window.hwnd));
    }
}

namespace {
struct DestroySeen {
    int count = 0;
    bool wasVisible = true;
} destroySeen;

LRESULT noteDestroy(HWND hwnd, UINT msg, WPARAM, LPARAM)
{
    if (msg == WM_DESTROY) {
        ++destroySeen.count;
        destroySeen.wasVisible = IsWindowVisible(hwnd) != FALSE;
    }
    return -1;
}
}  // namespace

TEST(Animations, CloseMessagePlaysTheAnimationThenHidesAndDestroysTheWindow)
{
    struct Case {
        std::optional<int> windowAlpha;
        int kind;
        int frames;
    } cases[] = {{std::nullopt, 1, 17}, {200, 1, 17}, {200, 3, 17}, {std::nullopt, 0, 0}};
    for (const Case& c : cases) {
        RenderTestWindow window;
        HostAttachOptions options;
        options.backgroundColor = blueRef;
        options.frameStyle = 0;
        options.windowAlpha = c.windowAlpha;
        ASSERT_TRUE(window.attach(options));
        window.host.setCloseAnimation(c.kind);
        window.host.setOnMessage(noteDestroy);
        destroySeen = {};
        RenderTestWindow::presents.clear();
        SendMessageW(window.hwnd, WM_CLOSE, 0, 0);
        window.pump();
        const char* what = c.windowAlpha ? "layered" : "ordinary";
        EXPECT_EQ(RenderTestWindow::count(true), c.frames) << what << " kind " << c.kind;
        if (c.frames) {
            EXPECT_EQ(RenderTestWindow::presents.back().sample, 0u) << what << ": the last frame is transparent";
        }
        EXPECT_FALSE(IsWindow(window.hwnd)) << what;
        EXPECT_EQ(destroySeen.count, 1) << what;
        EXPECT_FALSE(destroySeen.wasVisible) << what << ": hidden before it is destroyed";
        EXPECT_EQ(window.host.previousWndProc, nullptr) << what << ": destroying detached the host";
        EXPECT_FALSE(window.host.redrawLock);
    }
}
