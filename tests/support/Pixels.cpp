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
