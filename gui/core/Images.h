#pragma once
// Pictures held in memory decoded into GDI+ images.
#include <objidl.h>

#include <cstdint>

#include "Forward.h"
#include "Gdip.h"

// An image with, when the original was kept, the memory block and stream it decodes from.
// GDI+ reads an image's frames from its stream lazily, so both must outlive the image.
class MemoryImage {
public:
    MemoryImage() = default;
    MemoryImage(GpImage* image, HGLOBAL memory, IStream* stream) : image_(image), memory_(memory), stream_(stream) {}
    MemoryImage(MemoryImage&& other) noexcept;
    MemoryImage& operator=(MemoryImage&& other) noexcept;
    MemoryImage(const MemoryImage&) = delete;
    MemoryImage& operator=(const MemoryImage&) = delete;
    ~MemoryImage();

    GpImage* image() const { return image_; }
    bool hasOriginal() const { return stream_ != nullptr; }
    explicit operator bool() const { return image_ != nullptr; }
    // Hands the image to the caller; only meaningful for an image without kept original.
    GpImage* release();
    void reset();

private:
    GpImage* image_ = nullptr;
    HGLOBAL memory_ = nullptr;
    IStream* stream_ = nullptr;
};

// GDI+'s FrameDimensionTime: the frames of an animated GIF.
inline constexpr GUID frameDimensionTime = {0x6AEDBD6D, 0x3FB5, 0x418A, {0x83, 0xA6, 0x7F, 0x45, 0x22, 0x9D, 0xC8, 0x72}};

constexpr unsigned char pngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

// keepOriginal: the image as loaded (all frames) with its memory and stream.
// Otherwise: an independent 32-bit ARGB bitmap copy of the picture's own size.
MemoryImage imageFromMemory(Bytes bytes, bool addPngSignature, bool keepOriginal);

// An ARGB bitmap of top-down, not premultiplied rows; null on failure.
GpBitmap* bitmapFromArgb(const std::uint32_t* argb, int width, int height);

// Convenience for the common case: an independent ARGB bitmap, or null.
GpBitmap* bitmapFromMemory(Bytes bytes, bool addPngSignature = false);

unsigned imageWidth(GpImage* image);
unsigned imageHeight(GpImage* image);

// Pictures drawn at their natural size (check boxes, caption glyphs, the check mark) may have a partner
// of twice the size, drawn in their place from 150 % display scale on. The pictures a control is given
// stay the 1x bytes; the partner is looked up by those bytes when drawing.
class Images {
public:
    static constexpr float doubleSizeFrom = 1.5f;

    // Both are copied. A second partner for the same picture replaces the first.
    static void registerDoubleSize(const Bytes& picture, const Bytes& doubleSize);
    // The partner of `picture` decoded (the registry keeps it), or null.
    static GpImage* doubleSizeOf(Bytes picture);
    static void clearDoubleSizes();
    // From a display scale (DPI / 96) of doubleSizeFrom on: the partner's part for the 1x `source`
    // rectangle drawn over `dest` (logical units), and true. Below it, or without a partner, nothing is
    // drawn: the caller draws the 1x picture.
    static bool drawDoubleSize(GpGraphics* graphics, float displayScale, GpImage* doubleSize, const RectF& dest,
                               const RectF& source);
};
