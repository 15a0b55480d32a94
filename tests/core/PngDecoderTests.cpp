#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "EngineData.h"
#include "Images.h"
#include "PngDecoder.h"
#include "TestPngs.h"

namespace {

std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// GDI+'s own decoding of `bytes`, pixel by pixel as ARGB; empty when GDI+ refuses the file.
std::vector<ARGB> decodedByGdiPlus(Bytes bytes, int& width, int& height)
{
    std::vector<ARGB> pixels;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(memory, TRUE, &stream);
    GpImage* image = nullptr;
    if (GDIP(GdipLoadImageFromStream)(stream, &image) == Gdiplus::Ok && image) {
        width = static_cast<int>(imageWidth(image));
        height = static_cast<int>(imageHeight(image));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                ARGB pixel = 0;
                GDIP(GdipBitmapGetPixel)(static_cast<GpBitmap*>(image), x, y, &pixel);
                pixels.push_back(pixel);
            }
        GDIP(GdipDisposeImage)(image);
    }
    stream->Release();
    return pixels;
}

void expectSameAsGdiPlus(Bytes bytes, const std::string& name)
{
    SCOPED_TRACE(name);
    const std::optional<PngDecoder::Pixels> ours = PngDecoder::decode(bytes);
    ASSERT_TRUE(ours.has_value());
    int width = 0, height = 0;
    const std::vector<ARGB> reference = decodedByGdiPlus(bytes, width, height);
    ASSERT_EQ(ours->width, width);
    ASSERT_EQ(ours->height, height);
    ASSERT_EQ(ours->argb.size(), reference.size());
    int differing = 0;
    for (size_t i = 0; i < reference.size(); ++i)
        differing += ours->argb[i] != reference[i];
    EXPECT_EQ(differing, 0) << "of " << reference.size() << " pixels";
}

}  // namespace

// Every filter type, every colour type taken, several IDAT chunks, and the product's own pictures:
// exactly the pixels GDI+ decodes.
TEST(PngDecoder, DecodesWhatItTakesExactlyAsGdiPlus)
{
    expectSameAsGdiPlus(rgbaAllFiltersPng, "RGBA");
    expectSameAsGdiPlus(rgbAllFiltersPng, "RGB");
    expectSameAsGdiPlus(greyAlphaAllFiltersPng, "grey + alpha");
    expectSameAsGdiPlus(greyAllFiltersPng, "grey");
    for (const char* name : {"banner", "button", "button-hover", "button-disabled", "browse", "browse-hover", "close",
                             "close-hover", "ticked", "ticked-hover", "unticked", "unticked-hover", "checkmark"})
        expectSameAsGdiPlus(readFile(std::string(FEIJING_RESOURCE_DIR "/") + name + ".png"), name);
}

TEST(PngDecoder, StripWithoutSignatureDecodesOnlyWhenToldSo)
{
    const Bytes strip = builtinStripData();
    EXPECT_FALSE(PngDecoder::decode(strip).has_value());
    const std::optional<PngDecoder::Pixels> pixels = PngDecoder::decode(strip, false);
    ASSERT_TRUE(pixels.has_value());
    std::vector<std::uint8_t> signed_(std::begin(pngSignature), std::end(pngSignature));
    signed_.insert(signed_.end(), strip.begin(), strip.end());
    int width = 0, height = 0;
    const std::vector<ARGB> reference = decodedByGdiPlus(signed_, width, height);
    EXPECT_TRUE(std::equal(pixels->argb.begin(), pixels->argb.end(), reference.begin(), reference.end()));
}

// Files it leaves alone still become pictures through GDI+; damaged ones are refused, never read past.
TEST(PngDecoder, OtherFilesAreLeftToGdiPlusAndDamagedOnesRefused)
{
    const struct {
        const char* name;
        Bytes bytes;
        bool gdiPlusDecodes;
    } cases[] = {
        {"palette", palettePng, true},
        {"16 bits", grey16Png, true},
        {"gamma", withGammaPng, true},
        {"interlaced", interlacedPng, false},
        {"truncated", truncatedPng, false},
        {"bad filter byte", badFilterPng, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(PngDecoder::decode(c.bytes).has_value());
        if (c.gdiPlusDecodes) {
            MemoryImage image = imageFromMemory(c.bytes, false, false);
            ASSERT_TRUE(image);
            EXPECT_GT(imageWidth(image.image()), 0u);
        }
    }
    for (size_t cut : {size_t{0}, size_t{7}, size_t{20}, size_t{33}})
        EXPECT_FALSE(PngDecoder::decode(Bytes(rgbaAllFiltersPng, cut)).has_value()) << cut;
}

// A decoded PNG shown through the engine's image functions: its own size, one frame, ARGB.
TEST(PngDecoder, EngineImagesFromPlainPngsAreSingleFrameArgbBitmaps)
{
    for (bool keepOriginal : {false, true}) {
        MemoryImage image = imageFromMemory(rgbaAllFiltersPng, false, keepOriginal);
        ASSERT_TRUE(image);
        EXPECT_EQ(imageWidth(image.image()), 7u);
        EXPECT_EQ(imageHeight(image.image()), 10u);
        UINT count = 0;
        GDIP(GdipImageGetFrameCount)(image.image(), &frameDimensionTime, &count);
        EXPECT_LE(count, 1u);
        ARGB corner = 0;
        GDIP(GdipBitmapGetPixel)(static_cast<GpBitmap*>(image.image()), 6, 9, &corner);
        EXPECT_EQ(corner, PngDecoder::decode(rgbaAllFiltersPng)->argb.back());
    }
}

namespace {

void appendChunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data)
{
    const auto put32 = [&](std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(static_cast<std::uint8_t>(value >> shift));
    };
    put32(static_cast<std::uint32_t>(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    put32(static_cast<std::uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}

// A well-formed PNG that claims `width` x `height` pixels of `colourType` and carries one row of them.
std::vector<std::uint8_t> claimedPng(std::uint32_t width, std::uint32_t height, std::uint8_t colourType)
{
    std::vector<std::uint8_t> png = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<std::uint8_t> header;
    for (std::uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            header.push_back(static_cast<std::uint8_t>(value >> shift));
    header.insert(header.end(), {8, colourType, 0, 0, 0});
    appendChunk(png, "IHDR", header);
    if (colourType == 3)
        appendChunk(png, "PLTE", {0, 0, 0});
    std::vector<std::uint8_t> row(1 + width * (colourType == 6 ? 4 : 1));
    std::vector<std::uint8_t> packed(compressBound(static_cast<uLong>(row.size())));
    uLongf size = static_cast<uLongf>(packed.size());
    compress(packed.data(), &size, row.data(), static_cast<uLong>(row.size()));
    packed.resize(size);
    appendChunk(png, "IDAT", packed);
    appendChunk(png, "IEND", {});
    return png;
}

size_t peakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters = {sizeof counters};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

}  // namespace

// Past 2^24 pixels a PNG gives no picture, of any kind and from neither decoder, before any memory is
// taken for it: a 32-bit installer ran out of memory and ended on one of 2^26 pixels.
TEST(PngDecoder, PicturesPastThePixelBoundGiveNoPictureAndTakeNoMemory)
{
    const size_t before = peakWorkingSet();
    const struct {
        std::uint32_t width, height;
        std::uint8_t colourType;
        bool noPicture;
    } cases[] = {
        {8192, 8192, 6, true},   // 2^26: 256 MB of pixels
        {16384, 4096, 6, true},
        {16385, 1, 6, true},     // too wide
        {8192, 8192, 3, true},   // a palette picture, which GDI+ would otherwise be asked for
        {4096, 4096, 0, false},  // 2^24 grey pixels: within the bound (damaged here: only one row)
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> png = claimedPng(c.width, c.height, c.colourType);
        bool noPicture = false;
        EXPECT_FALSE(PngDecoder::decode(png, true, &noPicture).has_value()) << c.width << " x " << c.height;
        EXPECT_EQ(noPicture, c.noPicture) << c.width << " x " << c.height;
        if (c.noPicture)
            EXPECT_FALSE(imageFromMemory(png, false, false)) << c.width << " x " << c.height;
    }
    // The 2^24-pixel grey one takes its 16 MB to find out it is damaged; none of the others took any.
    EXPECT_LT(peakWorkingSet() - before, size_t{48} << 20);
}
