#include <gtest/gtest.h>

#include "BarsHost.h"
#include "Pixels.h"
#include "ProgressBar.h"

namespace {

// The bar's colours are at least 0xE6 opaque; the track's shade is at most 0x33 without a track fill.
bool isBar(ARGB pixel)
{
    return (pixel >> 24) > 150;
}

int barPixelsInRow(Control& c, int y, int from, int to)
{
    int count = 0;
    for (int x = from; x < to; ++x)
        count += isBar(pixelAt(c.bitmap(), x, y)) ? 1 : 0;
    return count;
}

int barPixelsInColumn(Control& c, int x, int from, int to)
{
    int count = 0;
    for (int y = from; y < to; ++y)
        count += isBar(pixelAt(c.bitmap(), x, y)) ? 1 : 0;
    return count;
}

}  // namespace

TEST(ProgressBar, HorizontalFillFollowsTheValueAndAnEmptyRangeDrawsAnEmptyBar)
{
    struct Case {
        int minimum, maximum, value, length;  // length in pixels of a 200-pixel inner track
    };
    const Case cases[] = {
        {0, 100, 50, 100}, {0, 100, 0, 0},     {0, 100, 100, 200}, {0, 100, 25, 50},  {10, 20, 15, 100},
        {0, 3, 1, 67},     {50, 50, 50, 0},    {50, 50, 80, 0},    {0, 0, 0, 0},      {0, 100, 150, 200},
        {0, 100, -10, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.minimum << ".." << c.maximum << " value " << c.value);
        BarsHost host;
        ProgressBar bar;
        ASSERT_NE(bar.createProgress(host.parent(), 10, 10, 204, 18, c.value, c.minimum, c.maximum, false,
                                     std::nullopt, std::nullopt, std::nullopt, 0u, false),
                  0u);
        EXPECT_EQ(bar.fillLength(), c.length);
        EXPECT_EQ(barPixelsInRow(bar, 9, 0, 204), c.length);
        if (c.length > 0) {
            EXPECT_TRUE(isBar(pixelAt(bar.bitmap(), 2, 9)));
            EXPECT_TRUE(isBar(pixelAt(bar.bitmap(), 2 + c.length - 1, 9)));
        }
        bar.destroy();
    }
}

TEST(ProgressBar, VerticalBarFillsFromTheBottom)
{
    const std::pair<int, int> cases[] = {{25, 25}, {0, 0}, {100, 100}, {50, 50}};
    for (auto [value, rows] : cases) {
        SCOPED_TRACE(value);
        BarsHost host;
        ProgressBar bar;
        bar.createProgress(host.parent(), 10, 10, 18, 104, value, 0, 100, true, std::nullopt, std::nullopt,
                           std::nullopt, 0u, false);
        EXPECT_EQ(bar.fillLength(), rows);
        EXPECT_EQ(barPixelsInColumn(bar, 9, 0, 104), rows);
        if (rows > 0) {
            EXPECT_TRUE(isBar(pixelAt(bar.bitmap(), 9, 101)));  // the lowest inner row
            EXPECT_TRUE(isBar(pixelAt(bar.bitmap(), 9, 102 - rows)));
            EXPECT_FALSE(isBar(pixelAt(bar.bitmap(), 9, 101 - rows)));
        }
        bar.destroy();
    }
}

TEST(ProgressBar, RoundedBarAtItsMinimumOrWithAnEmptyRangeShowsNoBar)
{
    for (auto [minimum, maximum] : {std::pair{0, 100}, std::pair{40, 40}}) {
        BarsHost host;
        ProgressBar bar;
        bar.createProgress(host.parent(), 10, 10, 204, 18, minimum, minimum, maximum, false, std::nullopt,
                           std::nullopt, std::nullopt, 0u, true);
        EXPECT_EQ(barPixelsInRow(bar, 9, 0, 204), 0) << minimum << ".." << maximum;
        bar.destroy();
    }
}

TEST(ProgressBar, TrackAndBorderAreDrawnInTheirColours)
{
    BarsHost host;
    ProgressBar bar;
    const ARGB track = 0xFE1C232D, border = 0x64606060;
    bar.createProgress(host.parent(), 10, 10, 204, 18, 50, 0, 100, false, 0xFE0088FF, 0x3CFFFFFF, border, track,
                       false);
    // Beyond the bar: the track, darkened a little by its shade.
    const ARGB beyond = pixelAt(bar.bitmap(), 150, 9);
    EXPECT_EQ(beyond >> 24, 0xFEu);
    EXPECT_LE(beyond & 0xFF, 0x2Du);
    EXPECT_GE(beyond & 0xFF, 0x20u);
    // The bar starts with its first colour on the left.
    const ARGB start = pixelAt(bar.bitmap(), 3, 9);
    EXPECT_GT(start & 0xFF, (start >> 16) & 0xFF);
    // The 1-pixel outline on the top edge is the border colour over the track.
    EXPECT_NE(pixelAt(bar.bitmap(), 150, 0), pixelAt(bar.bitmap(), 150, 9));
    bar.destroy();
}

TEST(ProgressBar, SettingTheValueOrAColourRepaintsAtOnce)
{
    BarsHost host;
    ProgressBar bar;
    bar.createProgress(host.parent(), 10, 10, 204, 18, 0, 0, 100, false, std::nullopt, std::nullopt, std::nullopt,
                       0u, false);
    host.fake().clearLog();
    bar.value(60);
    // No message pumped: the bitmap and the host's redraw request are already there.
    EXPECT_EQ(barPixelsInRow(bar, 9, 0, 204), 120);
    ASSERT_EQ(host.fake().invalidations.size(), 1u);
    EXPECT_EQ(host.fake().invalidations[0].mode, 0u);
    EXPECT_FLOAT_EQ(host.fake().invalidations[0].rect.width, 204);

    bar.barColors(0xFFFF0000, 0xFFFF0000);
    EXPECT_EQ(host.fake().invalidations.size(), 2u);
    const ARGB red = pixelAt(bar.bitmap(), 60, 9);
    EXPECT_GT((red >> 16) & 0xFF, 0x90u);
    EXPECT_LT(red & 0xFF, 0x10u);
    bar.trackColor(0xFE00FF00);
    EXPECT_EQ(host.fake().invalidations.size(), 3u);
    EXPECT_GT((pixelAt(bar.bitmap(), 180, 9) >> 8) & 0xFF, 0xC0u);
    bar.destroy();
}

namespace {

class HookedBar : public ProgressBar {
public:
    int onDrawTrack(PaintContext&) override { return ownTrack; }
    int onDrawBar(PaintContext&, const RectF& bar) override
    {
        lastBar = bar;
        return ownBar;
    }
    void onLayout(PaintContext&, RectF& outer, bool) override { outer.width = 104; }
    int ownTrack = 0, ownBar = 0;
    RectF lastBar;
};

}  // namespace

TEST(ProgressBar, HooksTakeOverTrackBarAndLayout)
{
    struct Case {
        int ownTrack, ownBar;
        bool trackDrawn, barDrawn;
    };
    for (const Case& c : {Case{0, 0, true, true}, Case{1, 0, false, true}, Case{0, 1, true, false}}) {
        SCOPED_TRACE(testing::Message() << c.ownTrack << c.ownBar);
        BarsHost host;
        HookedBar bar;
        bar.ownTrack = c.ownTrack;
        bar.ownBar = c.ownBar;
        bar.createProgress(host.parent(), 10, 10, 204, 18, 50, 0, 100, false, std::nullopt, std::nullopt,
                           std::nullopt, 0xFE112233, false);
        // The layout hook narrowed the outer rectangle: the bar is half of 100 inner pixels.
        EXPECT_EQ(bar.fillLength(), 50);
        EXPECT_FLOAT_EQ(bar.lastBar.width, 50);
        // The bar's blue stands out against the dark track.
        EXPECT_EQ((pixelAt(bar.bitmap(), 20, 9) & 0xFF) > 0x90, c.barDrawn);
        EXPECT_EQ(pixelAt(bar.bitmap(), 80, 9) >> 24 != 0, c.trackDrawn);
        EXPECT_EQ(pixelAt(bar.bitmap(), 150, 9), 0u);  // outside the narrowed rectangle
        bar.destroy();
    }
}
