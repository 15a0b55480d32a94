#include <gtest/gtest.h>

#include <algorithm>

#include "Pixels.h"
#include "PictureControl.h"
#include "TestHost.h"
#include "TestImages.h"
#include "TestPictures.h"

namespace {
ARGB shownAt(PictureControl& picture, int x = 1, int y = 1)
{
    return pixelAt(picture.bitmap(), x, y);
}

// Watches a playing GIF: the colour of each frame shown and how long it stayed, in ms.
struct FrameLog {
    std::vector<ARGB> colors;
    std::vector<ULONGLONG> held;
    ULONGLONG since = GetTickCount64();

    void record(ARGB color)
    {
        if (!colors.empty() && colors.back() == color)
            return;
        const ULONGLONG now = GetTickCount64();
        if (!colors.empty())
            held.push_back(now - since);
        colors.push_back(color);
        since = now;
    }
};

FrameLog play(TestHost& host, PictureControl& picture, size_t changes)
{
    FrameLog log;
    log.record(shownAt(picture));
    host.afterTick = [&](ControlHandle) { log.record(shownAt(picture)); };
    EXPECT_TRUE(host.pumpUntil([&] { return log.held.size() >= changes; }));
    host.afterTick = nullptr;
    return log;
}
}  // namespace

TEST(PictureControl, DrawModesPutThePictureWhereTheModeSays)
{
    const auto png = nineBlockPng();
    const RECT centre = {3, 3, 6, 6}, none = {};
    struct Probe {
        int x, y;
        ARGB color;
    };
    const struct {
        int mode;
        RECT source;
        std::vector<Probe> probes;
    } cases[] = {
        {0, none, {{1, 1, opaqueGreen}, {4, 1, opaqueRed}, {4, 4, opaqueBlue}, {7, 7, opaqueGreen}, {12, 4, 0}}},
        {1, none, {{5, 5, opaqueGreen}, {15, 5, opaqueRed}, {15, 15, opaqueBlue}, {25, 25, opaqueGreen}}},
        {2, none, {{5, 5, 0}, {11, 11, opaqueGreen}, {14, 11, opaqueRed}, {14, 14, opaqueBlue}, {17, 17, opaqueGreen}}},
        {3, centre, {{1, 1, opaqueGreen}, {28, 28, opaqueGreen}, {28, 1, opaqueGreen}, {10, 1, opaqueRed},
                     {1, 15, opaqueRed}, {15, 15, opaqueBlue}, {12, 12, opaqueBlue}}},
        {3, none, {{1, 1, opaqueGreen}, {4, 4, opaqueBlue}, {15, 15, 0}}},
    };
    TestHost host;
    for (const auto& c : cases) {
        PictureControl picture;
        ASSERT_NE(picture.createPicture(host.parent(), 10, 10, 30, 30, png, false, 0, false, c.mode, c.source, 0), 0u);
        for (const auto& p : c.probes)
            EXPECT_FALSE(colorsDiffer(shownAt(picture, p.x, p.y), p.color))
                << "mode " << c.mode << " at " << p.x << "," << p.y << ": " << std::hex << shownAt(picture, p.x, p.y);
    }
}

// The stretched picture is drawn from a copy of the control's size, made again for a new picture.
TEST(PictureControl, StretchedPictureShowsEachNewImage)
{
    TestHost host;
    PictureControl picture;
    ASSERT_NE(picture.createPicture(host.parent(), 10, 10, 30, 30, solidPng(8, 8, opaqueRed), false, 0, false, 1,
                                    RECT{}, 0),
              0u);
    EXPECT_EQ(shownAt(picture, 29, 29), opaqueRed);
    picture.image(solidPng(8, 8, opaqueBlue));
    EXPECT_EQ(shownAt(picture, 29, 29), opaqueBlue);
    picture.image(nineBlockPng());
    EXPECT_FALSE(colorsDiffer(shownAt(picture, 15, 15), opaqueBlue));
    EXPECT_FALSE(colorsDiffer(shownAt(picture, 1, 1), opaqueGreen));
    EXPECT_FALSE(colorsDiffer(shownAt(picture, 15, 1), opaqueRed));
    picture.destroy();
}

TEST(PictureControl, BackgroundGoesUnderThePictureAndOutlineAroundIt)
{
    TestHost host;
    PictureControl picture;
    picture.createPicture(host.parent(), 0, 0, 30, 30, nineBlockPng(), false, 0xFE204060, false, 2, {}, 0xFF112233);
    EXPECT_EQ(shownAt(picture, 5, 15), 0xFE204060u);
    EXPECT_FALSE(colorsDiffer(shownAt(picture, 14, 14), opaqueBlue));
    EXPECT_NE(shownAt(picture, 0, 15), 0xFE204060u) << "outline over the left edge";

    picture.backgroundColor(0xFE00FF00);
    EXPECT_EQ(shownAt(picture, 5, 15), 0xFE00FF00u);
}

TEST(PictureControl, IconKeepsItsAlphaOrItsMask)
{
    const struct {
        bool useMask;
        ARGB right;
        ARGB expectedRight;
    } cases[] = {{false, 0x800000FF, 0x800000FF}, {true, 0, 0}};
    TestHost host;
    for (const auto& c : cases) {
        HICON icon = makeIcon(opaqueRed, c.right, c.useMask);
        PictureControl picture;
        picture.createPictureFromIcon(host.parent(), 0, 0, 16, 16, icon, 0, 0, 0);
        DestroyIcon(icon);
        EXPECT_EQ(picture.imageWidth(), 16);
        EXPECT_FALSE(colorsDiffer(shownAt(picture, 2, 8), opaqueRed)) << std::hex << shownAt(picture, 2, 8);
        EXPECT_FALSE(colorsDiffer(shownAt(picture, 12, 8), c.expectedRight, 6)) << std::hex << shownAt(picture, 12, 8);
    }
}

TEST(PictureControl, GifShowsFramesInOrderEachForItsOwnDelay)
{
    TestHost host;
    PictureControl picture;
    picture.createPicture(host.parent(), 0, 0, 4, 4, threeFrameGifWithDelays(10, 20, 30), true, 0, false, 0, {}, 0);
    EXPECT_EQ(picture.frameCount(), 3);
    EXPECT_EQ(picture.frameDelays(), (std::vector<std::int32_t>{10, 20, 30}));

    const FrameLog log = play(host, picture, 4);
    const std::vector<ARGB> order = {opaqueRed, opaqueGreen, opaqueBlue, opaqueRed, opaqueGreen};
    EXPECT_EQ(log.colors, order);
    // Lower bounds only: a timer never fires early, a busy machine only makes frames stay longer.
    EXPECT_GE(log.held[0], 90u);
    EXPECT_GE(log.held[1], 190u);
    EXPECT_GE(log.held[2], 290u);
}

TEST(PictureControl, ZeroDelaysBecomeTenthsOfASecondOnlyWhenAsked)
{
    const auto gif = std::vector<std::uint8_t>(std::begin(threeFrameGif), std::end(threeFrameGif));
    TestHost host;
    PictureControl fixed, raw;
    fixed.createPicture(host.parent(), 0, 0, 4, 4, gif, true, 0, true, 0, {}, 0);
    raw.createPicture(host.parent(), 10, 0, 4, 4, threeFrameGifWithDelays(0, 0, 0), true, 0, false, 0, {}, 0);
    EXPECT_EQ(fixed.frameDelays(), (std::vector<std::int32_t>{10, 20, 10}));
    EXPECT_EQ(raw.frameDelays(), (std::vector<std::int32_t>{0, 0, 0}));

    const FrameLog log = play(host, fixed, 3);
    EXPECT_EQ(log.colors.back(), opaqueRed) << "blue came and went";
    EXPECT_GE(log.held[2], 90u) << "the blue frame without a delay stays 100 ms";
}

TEST(PictureControl, StillPictureArmsNoTimerAndUndecodableBytesDrawNothing)
{
    TestHost host;
    PictureControl still, broken;
    still.createPicture(host.parent(), 0, 0, 9, 9, nineBlockPng(), true, 0, false, 0, {}, 0);
    const std::uint8_t garbage[] = {1, 2, 3, 4, 5, 6, 7, 8};
    broken.createPicture(host.parent(), 0, 0, 9, 9, garbage, true, 0, false, 0, {}, 0);
    EXPECT_EQ(still.frameCount(), 1);
    EXPECT_FALSE(KillTimer(host.hwnd(), still.handle()));
    EXPECT_EQ(broken.currentFrame(), 0);
    EXPECT_EQ(shownAt(broken, 4, 4), 0u);
    EXPECT_FALSE(KillTimer(host.hwnd(), broken.handle()));

    // Replacement bytes that do not decode take the old picture away, animated or not, faded or not.
    for (std::optional<int> fade : {std::optional<int>(), std::optional<int>(0)}) {
        PictureControl replaced;
        replaced.createPicture(host.parent(), 0, 0, 9, 9, threeFrameGifWithDelays(5, 5, 5), true, 0, false, 0, {}, 0);
        ASSERT_NE(shownAt(replaced), 0u);
        replaced.image(Bytes(garbage), fade, 2, 10);
        EXPECT_TRUE(host.pumpUntil([&] { return replaced.transitionFrame() == replaced.transitionFrames(); }));
        EXPECT_EQ(shownAt(replaced), 0u) << "fade " << fade.has_value();
        EXPECT_FALSE(KillTimer(host.hwnd(), replaced.handle())) << "no frame timer is left";
    }
}

TEST(PictureControl, AnimateOffShowsFirstFrameAndStopsAtTheNextTick)
{
    TestHost host;
    PictureControl picture;
    picture.createPicture(host.parent(), 0, 0, 4, 4, threeFrameGifWithDelays(5, 5, 5), true, 0, false, 0, {}, 0);
    ASSERT_TRUE(host.pumpUntil([&] { return shownAt(picture) == opaqueGreen; }));
    picture.animate(false);
    EXPECT_EQ(shownAt(picture), opaqueRed);
    int ticks = 0;
    host.afterTick = [&](ControlHandle) { ++ticks; };
    ASSERT_TRUE(host.pumpUntil([&] { return ticks == 1; }));
    EXPECT_FALSE(KillTimer(host.hwnd(), picture.handle())) << "the tick stopped the timer";
    EXPECT_EQ(shownAt(picture), opaqueRed);
}

TEST(PictureControl, DestroyStopsTheFrameTimerAnimatedOrNot)
{
    TestHost host;
    for (bool animate : {true, false}) {
        PictureControl picture;
        const auto gif = threeFrameGifWithDelays(5, 5, 5);
        const ControlHandle handle = picture.createPicture(host.parent(), 0, 0, 4, 4, gif, animate, 0, false, 0, {}, 0);
        picture.destroy();
        EXPECT_EQ(picture.handle(), 0u);
        EXPECT_FALSE(KillTimer(host.hwnd(), handle)) << "animate " << animate;
    }
    host.pumpUntil([] { return false; }, 100);
    EXPECT_TRUE(host.strayTimers.empty());
}

TEST(PictureControl, FadedChangeHoldsFramesUntilTheFadeEnds)
{
    TestHost host;
    PictureControl picture;
    picture.createPicture(host.parent(), 0, 0, 9, 9, nineBlockPng(), true, 0, false, 0, {}, 0);
    picture.image(threeFrameGifWithDelays(2, 2, 2), 0, 3, 20);
    EXPECT_EQ(picture.fadeParam(), 0);
    EXPECT_EQ(picture.transitionParam(), 0);
    EXPECT_EQ(shownAt(picture), opaqueRed);
    // The fade lasts three 20 ms frames, the GIF's frames 20 ms each: sampled all through the fade, the
    // first frame stays.
    std::vector<ARGB> duringFade;
    ASSERT_TRUE(host.pumpUntil([&] {
        if (picture.fadeParam() != -1)
            duringFade.push_back(shownAt(picture));
        return picture.fadeParam() == -1;
    }));
    EXPECT_GE(duringFade.size(), 3u);
    EXPECT_EQ(std::count(duringFade.begin(), duringFade.end(), opaqueRed),
              static_cast<std::ptrdiff_t>(duringFade.size()));
    EXPECT_EQ(picture.transitionFrames(), 0);
    EXPECT_TRUE(host.pumpUntil([&] { return shownAt(picture) == opaqueGreen; })) << "frames play after the fade";
}

TEST(PictureControl, ChangeWithoutRepaintLeavesNoFadeToHoldTheAnimation)
{
    TestHost host;
    PictureControl picture;
    picture.createPicture(host.parent(), 0, 0, 4, 4, threeFrameGifWithDelays(5, 5, 5), true, 0, false, 0, {}, 0);
    picture.image(threeFrameGifWithDelays(5, 5, 5), 7, std::nullopt, std::nullopt, false);
    EXPECT_EQ(picture.fadeParam(), -1);
    EXPECT_TRUE(host.pumpUntil([&] { return shownAt(picture) == opaqueGreen; }));
}
