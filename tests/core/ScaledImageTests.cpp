#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Images.h"
#include "Pixels.h"
#include "ScaledImage.h"

namespace {

constexpr std::uint32_t black = 0xFF000000, white = 0xFFFFFFFF, red = 0xFFFF0000, blue = 0xFF0000FF;

GpBitmap* bitmapOf(const std::vector<std::uint32_t>& pixels, int width, int height)
{
    return bitmapFromArgb(pixels.data(), width, height);
}

std::vector<std::uint32_t> resampled(const std::uint32_t* argb, int sourceWidth, int sourceHeight, int width, int height)
{
    const HeapArray<std::uint32_t> pixels = ScaledImage::resample(argb, sourceWidth, sourceHeight, width, height);
    return {pixels.begin(), pixels.end()};
}

}  // namespace

TEST(ScaledImage, EachPixelAveragesWhatItCoversOrInterpolatesBetweenCentres)
{
    const struct {
        const char* what;
        std::vector<std::uint32_t> source;
        int sourceWidth, width;
        std::vector<std::uint32_t> expected;
    } cases[] = {
        {"halved", {black, white, red, blue}, 4, 2, {0xFF808080, 0xFF800080}},
        {"three into two: weights of two thirds and one third", {black, white, white}, 3, 2, {0xFF555555, white}},
        {"a transparent neighbour lends no colour", {red, 0x0000FF00}, 2, 1, {0x80FF0000}},
        {"same size keeps translucent pixels exactly", {0x40123456, 0x01FF8000, 0}, 3, 3, {0x40123456, 0x01FF8000, 0}},
        {"doubled: between the centres, edges held", {black, white}, 2, 4, {black, 0xFF404040, 0xFFBFBFBF, white}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(resampled(c.source.data(), c.sourceWidth, 1, c.width, 1), c.expected) << c.what;
        // The same along the other axis.
        EXPECT_EQ(resampled(c.source.data(), 1, c.sourceWidth, 1, c.width), c.expected) << c.what;
    }
    EXPECT_TRUE(ScaledImage::resample(nullptr, 2, 2, 1, 1).empty());
    const std::vector<std::uint32_t> one = {red};
    EXPECT_TRUE(ScaledImage::resample(one.data(), 1, 1, 0, 5).empty());
}

// Picture-sized buffers report a size that no memory or no size_t holds instead of ending the program; a
// destination whose pixel count overflows a 32-bit size_t was once a short buffer written past its end.
TEST(ScaledImage, SizesBeyondMemoryGiveNothing)
{
    HeapArray<std::uint64_t> buffer;
    EXPECT_FALSE(buffer.allocate(SIZE_MAX / 4));      // the byte count overflows
    EXPECT_FALSE(buffer.allocate(SIZE_MAX / 32, 2));  // half the address space
    EXPECT_FALSE(buffer.allocate(SIZE_MAX / 2, 4));   // the element count overflows
    EXPECT_TRUE(buffer.empty());
    ASSERT_TRUE(buffer.allocate(3, 2));
    EXPECT_EQ(buffer.size(), 6u);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0u), 6);
    EXPECT_TRUE(buffer.allocate(0, 7));
    EXPECT_TRUE(buffer.empty());

    // 2^32 destination pixels: past a 32-bit size_t (with a 64-bit one, 16 GB: too much to ask of a test).
    const std::vector<std::uint32_t> one = {red};
    if (sizeof(size_t) == 4) {
        EXPECT_TRUE(ScaledImage::resample(one.data(), 1, 1, 1 << 16, 1 << 16).empty());
    }
}

// The banner's own ratio: rounding the fixed-point weights must not dim or tint a flat area anywhere.
TEST(ScaledImage, FlatAreaStaysExactAtAnOddRatio)
{
    constexpr std::uint32_t panel = 0xFE2C3848;
    const std::vector<std::uint32_t> flat(829 * 230, panel);
    const std::vector<std::uint32_t> scaled = resampled(flat.data(), 829, 230, 380, 105);
    ASSERT_EQ(scaled.size(), 380u * 105u);
    for (size_t i = 0; i < scaled.size(); ++i)
        ASSERT_EQ(scaled[i], panel) << "at " << i % 380 << "," << i / 380;
}

// Shrinking by a few hundred gives each source pixel a weight of a few dozen units: the rounding
// error of all of them must not land on one pixel (wrapping it below zero at 300 into 1).
TEST(ScaledImage, LargeShrinkAveragesOneBrightPixelEvenly)
{
    const struct {
        int sourceWidth, width, bright;
        std::uint32_t dark;
    } cases[] = {
        {300, 1, 0, black},   {300, 1, 0, 0},        {300, 1, 299, black}, {3000, 10, 0, black},
        {3000, 10, 2999, 0},  {1000, 1, 0, black},   {1000, 1, 500, 0},    {600, 2, 0, black},
    };
    for (const auto& c : cases) {
        std::vector<std::uint32_t> source(static_cast<size_t>(c.sourceWidth), c.dark);
        source[static_cast<size_t>(c.bright)] = white;
        const int span = c.sourceWidth / c.width, hit = c.bright / span;
        const auto share = static_cast<std::uint32_t>(std::lround(255.0 / span));
        for (const bool rows : {true, false}) {
            const std::vector<std::uint32_t> scaled =
                rows ? resampled(source.data(), c.sourceWidth, 1, c.width, 1)
                     : resampled(source.data(), 1, c.sourceWidth, 1, c.width);
            ASSERT_EQ(scaled.size(), static_cast<size_t>(c.width));
            for (int x = 0; x < c.width; ++x) {
                const std::uint32_t got = scaled[static_cast<size_t>(x)], alpha = got >> 24, grey = got & 0xFF;
                const std::uint32_t wantAlpha = c.dark == black ? 255 : x == hit ? share : 0;
                const std::uint32_t wantGrey = c.dark == black ? (x == hit ? share : 0) : wantAlpha ? 255 : 0;
                EXPECT_LE(alpha > wantAlpha ? alpha - wantAlpha : wantAlpha - alpha, 1u)
                    << c.sourceWidth << " into " << c.width << " at " << x << (rows ? " across" : " down");
                EXPECT_LE(grey > wantGrey ? grey - wantGrey : wantGrey - grey, 1u)
                    << c.sourceWidth << " into " << c.width << " at " << x << (rows ? " across" : " down");
            }
        }
    }
}

// Drawn at whole-pixel bounds the copy is what lands in the target; a new source or size is resampled
// again rather than the old copy shown; fractional bounds are left to GDI+ and still covered.
TEST(ScaledImage, DrawShowsTheCurrentSourceAtTheCurrentSize)
{
    const std::vector<std::uint32_t> stripes = {black, white, black, white, red, red, blue, blue};
    GpBitmap* first = bitmapOf(stripes, 4, 2);
    GpBitmap* second = bitmapOf(std::vector<std::uint32_t>(8, blue), 4, 2);
    ScaledImage scaled;

    TestCanvas canvas(8, 4);
    scaled.draw(canvas.graphics(), first, {0, 0, 2, 1});
    EXPECT_EQ(canvas.pixel(0, 0), 0xFFBF4040u);  // black, white and two reds
    EXPECT_EQ(canvas.pixel(1, 0), 0xFF4040BFu);
    EXPECT_EQ(canvas.pixel(2, 0), 0u);

    canvas.clear(0);
    scaled.draw(canvas.graphics(), first, {0, 0, 4, 1});
    const std::uint32_t rowsAveraged[] = {0xFF800000, 0xFFFF8080, 0xFF000080, 0xFF8080FF};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(canvas.pixel(x, 0), rowsAveraged[x]) << x;
    EXPECT_EQ(canvas.pixel(4, 0), 0u);

    canvas.clear(0);
    scaled.draw(canvas.graphics(), second, {0, 0, 4, 1});
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(canvas.pixel(x, 0), blue) << x;

    canvas.clear(0);
    scaled.draw(canvas.graphics(), second, {0.5f, 0.5f, 6, 3});
    EXPECT_EQ(canvas.pixel(3, 2) & 0xFFFFFF, blue & 0xFFFFFF);
    EXPECT_GT(canvas.pixel(3, 2) >> 24, 0xF0u);

    // Too large for a copy (over a million source pixels): GDI+ draws it itself.
    GpBitmap* large = bitmapOf(std::vector<std::uint32_t>(1100 * 1000, red), 1100, 1000);
    canvas.clear(0);
    scaled.draw(canvas.graphics(), large, {0, 0, 8, 4});
    EXPECT_EQ(canvas.pixel(4, 2), red);

    GDIP(GdipDisposeImage)(first);
    GDIP(GdipDisposeImage)(second);
    GDIP(GdipDisposeImage)(large);
}
