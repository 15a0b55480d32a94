#include "Images.h"

#include <cstring>
#include <vector>
#include <optional>
#include <utility>

#include "PngDecoder.h"

MemoryImage::MemoryImage(MemoryImage&& other) noexcept
    : image_(std::exchange(other.image_, nullptr)),
      memory_(std::exchange(other.memory_, nullptr)),
      stream_(std::exchange(other.stream_, nullptr))
{
}

MemoryImage& MemoryImage::operator=(MemoryImage&& other) noexcept
{
    if (this != &other) {
        reset();
        image_ = std::exchange(other.image_, nullptr);
        memory_ = std::exchange(other.memory_, nullptr);
        stream_ = std::exchange(other.stream_, nullptr);
    }
    return *this;
}

MemoryImage::~MemoryImage()
{
    reset();
}

GpImage* MemoryImage::release()
{
    return std::exchange(image_, nullptr);
}

void MemoryImage::reset()
{
    if (image_)
        GDIP(GdipDisposeImage)(image_);
    if (stream_)
        stream_->Release();
    if (memory_)
        GlobalFree(memory_);
    image_ = nullptr;
    stream_ = nullptr;
    memory_ = nullptr;
}

GpBitmap* bitmapFromArgb(const std::uint32_t* argb, int width, int height)
{
    GpBitmap* bitmap = nullptr;
    if (!argb || width <= 0 || height <= 0 ||
        GDIP(GdipCreateBitmapFromScan0)(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap) != Gdiplus::Ok ||
        !bitmap)
        return nullptr;
    const Gdiplus::GpRect all{0, 0, width, height};
    Gdiplus::BitmapData data = {};
    if (GDIP(GdipBitmapLockBits)(bitmap, &all, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) !=
        Gdiplus::Ok) {
        GDIP(GdipDisposeImage)(bitmap);
        return nullptr;
    }
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y)
        std::memcpy(static_cast<std::uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                    argb + static_cast<size_t>(y) * width, rowBytes);
    GDIP(GdipBitmapUnlockBits)(bitmap, &data);
    return bitmap;
}

MemoryImage imageFromMemory(Bytes bytes, bool addPngSignature, bool keepOriginal)
{
    if (bytes.empty())
        return {};
    // A plain PNG has one frame and nothing for GDI+ to read later: its own bitmap serves both modes.
    bool noPicture = false;
    if (const std::optional<PngDecoder::Pixels> pixels = PngDecoder::decode(bytes, !addPngSignature, &noPicture))
        if (GpBitmap* bitmap = bitmapFromArgb(pixels->argb.data(), pixels->width, pixels->height))
            return MemoryImage(bitmap, nullptr, nullptr);
    if (noPicture)
        return {};
    const size_t prefix = addPngSignature ? sizeof pngSignature : 0;
    HGLOBAL memory = GlobalAlloc(GHND, bytes.size() + prefix);
    if (!memory)
        return {};
    auto* target = static_cast<unsigned char*>(GlobalLock(memory));
    if (!target) {
        GlobalFree(memory);
        return {};
    }
    if (prefix)
        std::memcpy(target, pngSignature, prefix);
    std::memcpy(target + prefix, bytes.data(), bytes.size());
    GlobalUnlock(memory);

    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, FALSE, &stream)) || !stream) {
        GlobalFree(memory);
        return {};
    }
    GpImage* image = nullptr;
    if (GDIP(GdipLoadImageFromStream)(stream, &image) != Gdiplus::Ok || !image) {
        stream->Release();
        GlobalFree(memory);
        return {};
    }
    if (keepOriginal)
        return MemoryImage(image, memory, stream);

    MemoryImage original(image, memory, stream);
    const UINT width = imageWidth(image);
    const UINT height = imageHeight(image);
    GpBitmap* bitmap = nullptr;
    if (GDIP(GdipCreateBitmapFromScan0)(static_cast<INT>(width), static_cast<INT>(height), 0,
                                        PixelFormat32bppARGB, nullptr, &bitmap) != Gdiplus::Ok || !bitmap)
        return {};
    GpGraphics* graphics = nullptr;
    if (GDIP(GdipGetImageGraphicsContext)(bitmap, &graphics) == Gdiplus::Ok && graphics) {
        GDIP(GdipDrawImageRectI)(graphics, image, 0, 0, static_cast<INT>(width), static_cast<INT>(height));
        GDIP(GdipDeleteGraphics)(graphics);
    }
    return MemoryImage(bitmap, nullptr, nullptr);
}

GpBitmap* bitmapFromMemory(Bytes bytes, bool addPngSignature)
{
    return static_cast<GpBitmap*>(imageFromMemory(bytes, addPngSignature, false).release());
}

unsigned imageWidth(GpImage* image)
{
    UINT width = 0;
    if (image)
        GDIP(GdipGetImageWidth)(image, &width);
    return width;
}

unsigned imageHeight(GpImage* image)
{
    UINT height = 0;
    if (image)
        GDIP(GdipGetImageHeight)(image, &height);
    return height;
}

// ---- partners of twice the size ----

namespace {
struct DoubleSizeEntry {
    std::vector<std::uint8_t> picture;
    std::vector<std::uint8_t> doubleSize;
    GpImage* decoded = nullptr;
    bool decodeTried = false;
};

std::vector<DoubleSizeEntry>& doubleSizeEntries()
{
    static std::vector<DoubleSizeEntry> entries;
    return entries;
}

bool sameBytes(const std::vector<std::uint8_t>& a, Bytes b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

void forget(DoubleSizeEntry& entry)
{
    if (entry.decoded)
        GDIP(GdipDisposeImage)(entry.decoded);
    entry.decoded = nullptr;
    entry.decodeTried = false;
}
}  // namespace

void Images::registerDoubleSize(const Bytes& picture, const Bytes& doubleSize)
{
    if (picture.empty() || doubleSize.empty())
        return;
    auto& entries = doubleSizeEntries();
    for (DoubleSizeEntry& entry : entries) {
        if (sameBytes(entry.picture, picture)) {
            forget(entry);
            entry.doubleSize.assign(doubleSize.begin(), doubleSize.end());
            return;
        }
    }
    DoubleSizeEntry entry;
    entry.picture.assign(picture.begin(), picture.end());
    entry.doubleSize.assign(doubleSize.begin(), doubleSize.end());
    entries.push_back(std::move(entry));
}

GpImage* Images::doubleSizeOf(Bytes picture)
{
    if (picture.empty())
        return nullptr;
    for (DoubleSizeEntry& entry : doubleSizeEntries()) {
        if (!sameBytes(entry.picture, picture))
            continue;
        if (!entry.decodeTried) {
            entry.decodeTried = true;
            // The engine's own pictures are stored without the PNG signature.
            entry.decoded = bitmapFromMemory(entry.doubleSize);
            if (!entry.decoded)
                entry.decoded = bitmapFromMemory(entry.doubleSize, true);
        }
        return entry.decoded;
    }
    return nullptr;
}

void Images::clearDoubleSizes()
{
    for (DoubleSizeEntry& entry : doubleSizeEntries())
        forget(entry);
    doubleSizeEntries().clear();
}

bool Images::drawDoubleSize(GpGraphics* graphics, float displayScale, GpImage* doubleSize, const RectF& dest,
                            const RectF& source)
{
    if (!doubleSize || displayScale < doubleSizeFrom)
        return false;
    GDIP(GdipDrawImageRectRect)(graphics, doubleSize, dest.x, dest.y, dest.width, dest.height, source.x * 2,
                                source.y * 2, source.width * 2, source.height * 2, Gdiplus::UnitPixel, nullptr,
                                nullptr, nullptr);
    return true;
}
