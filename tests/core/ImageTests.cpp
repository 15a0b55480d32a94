#include <gtest/gtest.h>

#include <vector>

#include "EngineData.h"
#include "Engine.h"
#include "Images.h"
#include "Pixels.h"
#include "TestImages.h"

namespace {
unsigned frameCount(GpImage* image)
{
    UINT count = 0;
    GDIP(GdipImageGetFrameCount)(image, &frameDimensionTime, &count);
    return count;
}

Gdiplus::PixelFormat pixelFormat(GpImage* image)
{
    Gdiplus::PixelFormat format = 0;
    GDIP(GdipGetImagePixelFormat)(image, &format);
    return format;
}
}  // namespace

TEST(Images, BuiltinStripNeedsItsSignaturePutBack)
{
    const Bytes strip = builtinStripData();
    ASSERT_GT(strip.size(), 8u);
    EXPECT_NE(strip[0], 0x89) << "stored without the PNG signature";
    EXPECT_FALSE(imageFromMemory(strip, false, false));

    MemoryImage decoded = imageFromMemory(strip, true, false);
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded.hasOriginal());
    EXPECT_EQ(imageWidth(decoded.image()), 729u);
    EXPECT_EQ(imageHeight(decoded.image()), 20u);
    EXPECT_EQ(pixelFormat(decoded.image()), PixelFormat32bppARGB);

    ASSERT_NE(engine().builtinStrip, nullptr);
    EXPECT_EQ(imageWidth(engine().builtinStrip), 729u);
    EXPECT_EQ(imageHeight(engine().builtinStrip), 20u);
}

TEST(Images, EmptyOrGarbageBytesGiveNoImage)
{
    EXPECT_FALSE(imageFromMemory({}, true, false));
    const std::uint8_t garbage[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_FALSE(imageFromMemory(garbage, false, true));
    EXPECT_EQ(bitmapFromMemory(garbage), nullptr);
}

TEST(Images, KeepOriginalKeepsEveryFrameAndCopyIsIndependent)
{
    MemoryImage kept = imageFromMemory(threeFrameGif, false, true);
    ASSERT_TRUE(kept);
    EXPECT_TRUE(kept.hasOriginal());
    EXPECT_EQ(frameCount(kept.image()), 3u);

    std::vector<std::uint8_t> bytes(std::begin(threeFrameGif), std::end(threeFrameGif));
    GpBitmap* copy = bitmapFromMemory(bytes);
    ASSERT_NE(copy, nullptr);
    std::fill(bytes.begin(), bytes.end(), 0);  // the copy must not read its input any more
    EXPECT_EQ(imageWidth(copy), 4u);
    EXPECT_EQ(pixelFormat(copy), PixelFormat32bppARGB);
    EXPECT_EQ(pixelAt(copy, 1, 1), 0xFFFF0000u) << "the first frame";
    GDIP(GdipDisposeImage)(copy);
}

TEST(Images, CheckMarkIsTwentyPixelsSquare)
{
    GpBitmap* mark = bitmapFromMemory(checkMarkPicture());
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(imageWidth(mark), 20u);
    EXPECT_EQ(imageHeight(mark), 20u);
    GDIP(GdipDisposeImage)(mark);
}
