#include "Pixels.h"

TestCanvas::TestCanvas(int w, int h, ARGB fill) : width(w), height(h)
{
    GDIP(GdipCreateBitmapFromScan0)(w, h, 0, PixelFormat32bppARGB, nullptr, &bitmap_);
    GDIP(GdipGetImageGraphicsContext)(bitmap_, &graphics_);
    clear(fill);
}

TestCanvas::~TestCanvas()
{
    if (graphics_)
        GDIP(GdipDeleteGraphics)(graphics_);
    if (bitmap_)
        GDIP(GdipDisposeImage)(bitmap_);
}

void TestCanvas::clear(ARGB color)
{
    GDIP(GdipGraphicsClear)(graphics_, color);
}

ARGB TestCanvas::pixel(int x, int y)
{
    GDIP(GdipFlush)(graphics_, Gdiplus::FlushIntentionSync);
    return pixelAt(bitmap_, x, y);
}

ARGB pixelAt(GpBitmap* bitmap, int x, int y)
{
    ARGB color = 0;
    GDIP(GdipBitmapGetPixel)(bitmap, x, y, &color);
    return color;
}

std::vector<std::uint8_t> encodePng(GpBitmap* bitmap)
{
    static const CLSID pngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    GDIP(GdipSaveImageToStream)(bitmap, stream, &pngEncoder, nullptr);
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<std::uint8_t> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    const LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    stream->Release();
    return bytes;
}

std::vector<std::uint8_t> solidPng(int width, int height, ARGB color)
{
    return splitPng(width, height, color, color);
}

std::vector<std::uint8_t> splitPng(int width, int height, ARGB left, ARGB right)
{
    GpBitmap* bitmap = nullptr;
    GDIP(GdipCreateBitmapFromScan0)(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            GDIP(GdipBitmapSetPixel)(bitmap, x, y, x < width / 2 ? left : right);
    std::vector<std::uint8_t> bytes = encodePng(bitmap);
    GDIP(GdipDisposeImage)(bitmap);
    return bytes;
}

std::vector<std::uint8_t> nineBlockPng()
{
    GpBitmap* bitmap = nullptr;
    GDIP(GdipCreateBitmapFromScan0)(9, 9, 0, PixelFormat32bppARGB, nullptr, &bitmap);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            const int edges = (x / 3 != 1) + (y / 3 != 1);
            GDIP(GdipBitmapSetPixel)(bitmap, x, y, edges == 2 ? 0xFF00FF00 : edges == 1 ? 0xFFFF0000 : 0xFF0000FF);
        }
    std::vector<std::uint8_t> bytes = encodePng(bitmap);
    GDIP(GdipDisposeImage)(bitmap);
    return bytes;
}
