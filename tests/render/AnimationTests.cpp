#include <gtest/gtest.h>

#include <algorithm>

#include "RenderTestWindow.h"

namespace {
constexpr COLORREF blueRef = RGB(0, 0, 255);
constexpr COLORREF shownBlue = RGB(0, 0, 254);  // an opaque fill is alpha 254, premultiplied

bool isLayeredStyle(HWND hwnd)
{
    return (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
}

// A premultiplied pixel blended at constant alpha onto transparent black.
ARGB scaled(ARGB pixel, int alpha)
{
    ARGB result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const ARGB channel = (pixel >> shift) & 0xFF;
        result |= ((channel * static_cast<ARGB>(std::max(alpha, 0)) + 127) / 255) << shift;
    }
    return result;
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
    for (int kind : {1, 3, 4, 5, 6, 7}) {
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
        for (int i = 2; i <= 10; ++i) {
            const int s = 25 * (i - 1);
            const PresentCall& frame = frames[static_cast<size_t>(i)];
            if (kind == 1) {
                for (POINT p : {POINT{10, 75}, POINT{100, 75}, POINT{190, 140}})
                    EXPECT_TRUE(closeTo(frame.at(p.x, p.y), scaled(window.pixel(p.x, p.y), s))) << i;
            } else if (kind == 7) {
                // Grows from the centre: the edge columns stay empty until the last step.
                const int dx = 2 * (10 - i);
                EXPECT_TRUE(closeTo(frame.at(100, 75), scaled(window.pixel(100, 75), s))) << i;
                if (dx > 0)
                    EXPECT_EQ(frame.at(dx - 1, 75), 0u) << i;
            } else {
                // Wipes in from one edge: `revealed` strips at alpha s, then 100 strips fading out.
                const bool horizontal = kind == 3 || kind == 4;
                const bool fromStart = kind == 3 || kind == 5;
                const int extent = horizontal ? 200 : 150;
                const int revealed = extent / 10 * (i - 1);
                auto pointAt = [&](int along) {
                    const int position = fromStart ? along : extent - 1 - along;
                    return horizontal ? POINT{position, 75} : POINT{100, position};
                };
                auto expectAlong = [&](int along, int alpha) {
                    const POINT p = pointAt(along);
                    EXPECT_TRUE(closeTo(frame.at(p.x, p.y), scaled(window.pixel(p.x, p.y), alpha)))
                        << "kind " << kind << " step " << i << " at " << along << ": " << std::hex
                        << frame.at(p.x, p.y);
                };
                if (revealed >= 20)
                    expectAlong(revealed - 5, s);
                if (revealed + 39 < extent - 10)
                    expectAlong(revealed + 39, s * (101 - 40) / 100);
                if (revealed + 105 < extent - 10)
                    expectAlong(revealed + 105, 0);
            }
        }
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

TEST(Animations, CloseAnimationsFadeStepByStepAndEndFullyTransparentOnALayeredWindow)
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
        const int steps = c.frames - 2;
        for (int i = 1; i <= steps; ++i) {
            const PresentCall& frame = frames[static_cast<size_t>(i)];
            const int alpha = c.kind == 2 ? 255 - 12 * i : 255 - 17 * i;
            auto expectAt = [&](int x, int y, int a) {
                EXPECT_TRUE(closeTo(frame.at(x, y), scaled(window.pixel(x, y), a)))
                    << "kind " << c.kind << " step " << i << " at " << x << ", " << y << ": " << std::hex
                    << frame.at(x, y);
            };
            if (c.kind == 1 || c.kind == 2) {
                expectAt(100, 75, alpha);
            } else if (c.kind == 7) {
                // Shrinks to the centre: the edge columns are empty once the inset passes them.
                const int dx = static_cast<int>(200 * 0.1 / 15 * (i - 1));
                expectAt(100, 75, alpha);
                if (dx >= 8)
                    EXPECT_EQ(frame.at(dx - 1, 75), 0u) << "step " << i;
            } else {
                // Cut away from one edge step by step; the far edge keeps the full step alpha.
                const bool horizontal = c.kind == 3 || c.kind == 4;
                const bool cutAtStart = c.kind == 3 || c.kind == 5;
                const int extent = horizontal ? 200 : 150;
                const int remaining = std::max(extent - extent / 15 * i, 0);
                auto pointAt = [&](int fromCut) {
                    const int position = cutAtStart ? fromCut : extent - 1 - fromCut;
                    return horizontal ? POINT{position, 75} : POINT{100, position};
                };
                const int cut = extent - remaining;
                if (cut >= 12) {
                    const POINT gone = pointAt(cut - 3);
                    EXPECT_EQ(frame.at(gone.x, gone.y), 0u) << "kind " << c.kind << " step " << i;
                }
                if (remaining - std::min(100, remaining) > 12) {
                    const POINT kept = pointAt(extent - 10);
                    expectAt(kept.x, kept.y, alpha);
                }
            }
        }
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
