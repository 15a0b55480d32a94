#include <gtest/gtest.h>

#include <vector>

#include "BarsHost.h"
#include "Pixels.h"
#include "ScrollBar.h"

namespace {

std::vector<int> reports;
void recordPosition(int position)
{
    reports.push_back(position);
}

constexpr int barX = 20, barY = 20, barW = 200, barH = 10;

struct Bar {
    BarsHost host;
    ScrollBar bar;

    Bar(int minimum, int maximum, bool tracking = true, int step = 1, int orientation = ScrollBar::Horizontal)
    {
        parkCursor();
        reports.clear();
        const int w = orientation == ScrollBar::Vertical ? barH : barW;
        const int h = orientation == ScrollBar::Vertical ? barW : barH;
        bar.create(host.parent(), barX, barY, w, h, std::nullopt, minimum, maximum, std::nullopt, step, tracking,
                   orientation);
        bar.transitionInterval(0);  // as the edit control sets it: no fade-in frames
        bar.onChange(recordPosition);
    }
    ~Bar() { bar.destroy(); }

    // A point `along` pixels into the bar along its axis, in host client pixels.
    POINT at(int along) const
    {
        return bar.orientation() == ScrollBar::Vertical ? POINT{barX + 5, barY + along} : POINT{barX + along, barY + 5};
    }
    void down(int along) { host.mouseDown(at(along).x, at(along).y); }
    void move(int along) { host.mouseMove(at(along).x, at(along).y); }
    void up(int along) { host.mouseUp(at(along).x, at(along).y); }
    int thumbCentre() const
    {
        const RectF& t = bar.thumbRect();
        return static_cast<int>(bar.orientation() == ScrollBar::Vertical ? t.y + t.height / 2 : t.x + t.width / 2);
    }
};

}  // namespace

TEST(ScrollBar, DraggingPastEitherEndGivesExactlyMinimumAndMaximum)
{
    struct Case {
        int minimum, maximum, orientation;
    };
    const Case cases[] = {
        {0, 1000, ScrollBar::Horizontal}, {0, 100, ScrollBar::Horizontal}, {-50, 50, ScrollBar::Horizontal},
        {10, 20, ScrollBar::Horizontal},  {0, 7, ScrollBar::Vertical},     {0, 5000, ScrollBar::Vertical},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.minimum << ".." << c.maximum << " orientation " << c.orientation);
        Bar b(c.minimum, c.maximum, true, 1, c.orientation);
        ASSERT_GT(b.bar.thumbLength(), 0);
        b.down(b.thumbCentre());
        EXPECT_EQ(b.bar.pressedPart(), ScrollBar::PartThumb);
        b.move(1000);
        EXPECT_EQ(b.bar.position(), c.maximum);
        b.move(-1000);
        EXPECT_EQ(b.bar.position(), c.minimum);
        b.move(1000);
        b.up(1000);
        EXPECT_EQ(b.bar.position(), c.maximum);
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.back(), c.maximum);
        EXPECT_EQ(b.bar.pressedPart(), ScrollBar::PartNone);
    }
}

TEST(ScrollBar, DragBetweenTheEndsFollowsThePointerAndRedrawsTheThumbThere)
{
    Bar b(0, 1000);
    ASSERT_EQ(b.bar.thumbLength(), ScrollBar::minimumThumbLength);  // 180 * 180 / 1180 is below 30
    const int grab = b.thumbCentre();
    b.down(grab);
    // Half of the 150 pixels the thumb can travel.
    b.move(grab + 75);
    EXPECT_EQ(b.bar.position(), 500);
    EXPECT_EQ(b.bar.thumbStart(), 10 + 75);
    // The bitmap shows the thumb where it went, not where it was.
    const int y = 5;
    EXPECT_GT(pixelAt(b.bar.bitmap(), 85 + 15, y) >> 24, pixelAt(b.bar.bitmap(), 10 + 15, y) >> 24);
    b.up(grab + 75);
}

TEST(ScrollBar, HeldArrowRepeatsByStepAndStopsExactlyAtTheLimits)
{
    struct Case {
        int minimum, maximum, step;
        std::vector<int> up, down;  // reports holding the second arrow from the minimum, then the first one
    };
    const Case cases[] = {
        {0, 10, 3, {3, 6, 9, 10}, {7, 4, 1, 0}},
        {0, 4, 2, {2, 4}, {2, 0}},
        {-5, 5, 4, {-1, 3, 5}, {1, -3, -5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.minimum << ".." << c.maximum << " step " << c.step);
        Bar b(c.minimum, c.maximum, true, c.step);
        ASSERT_EQ(b.bar.position(), c.minimum);

        b.down(barW - 4);
        EXPECT_EQ(b.bar.pressedPart(), ScrollBar::PartSecondArrow);
        EXPECT_TRUE(reports.empty());  // the first move comes with the first tick
        ASSERT_TRUE(b.host.fake().pumpUntil([&] { return b.bar.position() == c.maximum; }));
        // The timer is gone: pumping well beyond more intervals moves nothing and reports nothing.
        const size_t ticks = b.host.timerTicks.size();
        b.host.fake().pumpUntil([] { return false; }, 450);
        EXPECT_EQ(b.host.timerTicks.size(), ticks);
        EXPECT_EQ(reports, c.up);
        b.up(barW - 4);

        reports.clear();
        b.down(3);
        EXPECT_EQ(b.bar.pressedPart(), ScrollBar::PartFirstArrow);
        ASSERT_TRUE(b.host.fake().pumpUntil([&] { return b.bar.position() == c.minimum; }));
        b.host.fake().pumpUntil([] { return false; }, 450);
        EXPECT_EQ(reports, c.down);
        b.up(3);
    }
}

TEST(ScrollBar, ReleasingTheArrowStopsTheRepeatAtTheFirstTick)
{
    Bar b(0, 100);
    b.down(barW - 4);
    ASSERT_TRUE(b.host.fake().pumpUntil([&] { return b.bar.position() >= 2; }));
    b.up(barW - 4);
    const int stopped = b.bar.position();
    const size_t ticks = b.host.timerTicks.size();
    // One more tick finds no arrow pressed and ends the timer.
    ASSERT_TRUE(b.host.fake().pumpUntil([&] { return b.host.timerTicks.size() > ticks; }));
    b.host.fake().pumpUntil([] { return false; }, 450);
    EXPECT_EQ(b.bar.position(), stopped);
    EXPECT_EQ(b.host.timerTicks.size(), ticks + 1);
}

TEST(ScrollBar, WithoutTrackingTheHandlerIsCalledOnceOnRelease)
{
    for (bool tracking : {false, true}) {
        SCOPED_TRACE(tracking ? "tracking" : "no tracking");
        Bar b(0, 1000, tracking);
        const int grab = b.thumbCentre();
        b.down(grab);
        for (int dx : {10, 30, 60, 90})
            b.move(grab + dx);
        const int moved = b.bar.position();
        EXPECT_EQ(moved, 600);
        EXPECT_EQ(reports.size(), tracking ? 4u : 0u);
        b.up(grab + 90);
        if (tracking) {
            EXPECT_EQ(reports, (std::vector<int>{66, 200, 400, 600}));
        } else {
            EXPECT_EQ(reports, std::vector<int>{moved});
        }
        // A press and release on the track is no drag: nothing more is reported.
        b.down(barW - 15);
        b.up(barW - 15);
        b.host.fake().pumpUntil([] { return false; }, 250);
        EXPECT_EQ(reports.size(), tracking ? 4u : 1u);
    }
}

TEST(ScrollBar, MaximumZeroHasNoThumbMovesNothingAndNeverReports)
{
    Bar b(0, 0);
    EXPECT_EQ(b.bar.thumbLength(), 0);
    for (int along : {3, barW - 4, barW / 2}) {
        b.down(along);
        b.host.fake().pumpUntil([] { return false; }, 350);
        b.move(along + 40);
        b.up(along + 40);
    }
    EXPECT_EQ(b.bar.position(), 0);
    EXPECT_TRUE(reports.empty());
    // Nothing of the track and no highlighted arrow under a thumbless bar.
    b.move(3);
    EXPECT_EQ(b.bar.lastDrawnPart(), ScrollBar::PartNone);
}

TEST(ScrollBar, PositionIsKeptInsideTheRange)
{
    Bar b(10, 60);
    const std::pair<int, int> cases[] = {{30, 30}, {100, 60}, {-7, 10}, {0, 10}, {60, 60}};
    for (auto [given, kept] : cases)
        EXPECT_EQ(b.bar.position(given), kept) << given;
    b.bar.maximum(40);
    EXPECT_EQ(b.bar.position(), 40);
    b.bar.minimum(45);
    EXPECT_EQ(b.bar.position(), 45);
}

TEST(ScrollBar, PlainPaintShowsOnlyAQuietThumbAndTheMouseBringsArrowsAndTrack)
{
    Bar b(0, 1000);
    GpBitmap* bmp = b.bar.bitmap();
    const int y = 5;
    // Plain paint with the hover effect: thumb at alpha 40 inside, nothing else.
    EXPECT_NEAR(static_cast<int>(pixelAt(bmp, 25, y) >> 24), 40, 2);
    EXPECT_EQ(pixelAt(bmp, 120, y) >> 24, 0u);  // track
    EXPECT_EQ(pixelAt(bmp, 4, y) >> 24, 0u);    // first arrow's triangle

    b.move(120);  // over the track
    EXPECT_EQ(b.bar.lastDrawnPart(), ScrollBar::PartTrack);
    EXPECT_NEAR(static_cast<int>(pixelAt(bmp, 120, y) >> 24), 40, 2);
    EXPECT_GT(pixelAt(bmp, 25, y) >> 24, 110u);  // the thumb over the track
    const ARGB quietArrow = pixelAt(bmp, 4, y);
    EXPECT_NEAR(static_cast<int>(quietArrow >> 24), 100, 8);
    EXPECT_EQ(pixelAt(bmp, 0, y) >> 24, 0u);  // no frame around a quiet arrow

    b.move(3);  // over the first arrow: drawn dark, with its frame
    EXPECT_EQ(b.bar.lastDrawnPart(), ScrollBar::PartFirstArrow);
    EXPECT_GT(pixelAt(bmp, 4, y) >> 24, quietArrow >> 24);
    EXPECT_GT(pixelAt(bmp, 0, y) >> 24, 0u);

    b.bar.repaint();  // a plain paint again
    EXPECT_EQ(pixelAt(bmp, 120, y) >> 24, 0u);
    EXPECT_EQ(pixelAt(bmp, 4, y) >> 24, 0u);
}

TEST(ScrollBar, ResizingLaysTheBarOutAgain)
{
    Bar b(0, 100);
    b.bar.width(300);
    EXPECT_FLOAT_EQ(b.bar.secondArrowRect().x, 291);
    EXPECT_FLOAT_EQ(b.bar.trackRect().width, 280);
    EXPECT_EQ(b.bar.thumbLength(), 280 * 280 / 380);
    EXPECT_GT(pixelAt(b.bar.bitmap(), 20, 5) >> 24, 0u);  // painted at the new size
}
