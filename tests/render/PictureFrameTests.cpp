#include <gtest/gtest.h>

#include <vector>

#include "MessagePump.h"
#include "PictureControl.h"
#include "RenderTestWindow.h"
#include "TestImages.h"

TEST(PictureFrames, GifFramesReachTheWindowInOrderEachAfterItsOwnDelay)
{
    RenderTestWindow window;
    ASSERT_TRUE(window.attach());
    const std::vector<std::uint8_t> gif(std::begin(threeFrameGif), std::end(threeFrameGif));
    PictureControl picture;
    // The third frame has no delay: with the fix it stays 100 ms.
    ASSERT_NE(picture.createPicture(parentWindow(window.hwnd), 50, 50, 4, 4, gif, true, 0, true, 0, {}, 0), 0u);
    ASSERT_EQ(picture.frameDelays(), (std::vector<std::int32_t>{10, 20, 10}));

    // The host's own WM_TIMER routing drives the frames; each one is composed and put on screen.
    std::vector<ARGB> shown;
    std::vector<COLORREF> onScreen;
    std::vector<ULONGLONG> held;
    ULONGLONG since = GetTickCount64();
    auto watch = [&] {
        const ARGB now = window.pixel(51, 51);
        if (shown.empty() || now != shown.back()) {
            const ULONGLONG t = GetTickCount64();
            if (!shown.empty())
                held.push_back(t - since);
            since = t;
            shown.push_back(now);
            onScreen.push_back(window.screenPixel(51, 51));
        }
        return held.size() >= 4;
    };
    ASSERT_TRUE(pumpUntil(watch));
    EXPECT_EQ(shown, (std::vector<ARGB>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFF0000, 0xFF00FF00}));
    EXPECT_EQ(onScreen, (std::vector<COLORREF>{RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 0, 0),
                                               RGB(0, 255, 0)}));
    // Lower bounds only: a timer never fires early, a busy machine only makes frames stay longer.
    EXPECT_GE(held[0], 90u);
    EXPECT_GE(held[1], 190u);
    EXPECT_GE(held[2], 90u);
    picture.destroy();
}
