#pragma once
// An ARGB bitmap with a graphics to draw into, and pixel read-back for drawing tests.
#include <cstdint>
#include <vector>

#include "Gdip.h"

class TestCanvas {
public:
    TestCanvas(int width, int height, ARGB fill = 0);
    TestCanvas(const TestCanvas&) = delete;
    TestCanvas& operator=(const TestCanvas&) = delete;
    ~TestCanvas();

    GpGraphics* graphics() const { return graphics_; }
    GpBitmap* bitmap() const { return bitmap_; }
    // Ends drawing (flushes) and reads one pixel as ARGB.
    ARGB pixel(int x, int y);
    std::uint8_t alpha(int x, int y) { return static_cast<std::uint8_t>(pixel(x, y) >> 24); }
    void clear(ARGB color);

    int width;
    int height;

private:
    GpBitmap* bitmap_ = nullptr;
    GpGraphics* graphics_ = nullptr;
};

ARGB pixelAt(GpBitmap* bitmap, int x, int y);

// The bitmap as PNG file bytes (GDI+'s encoder).
std::vector<std::uint8_t> encodePng(GpBitmap* bitmap);

// PNG pictures for drawing tests: one colour; left half and right half; 9 x 9 with 3 x 3 green
// corners, red edges and a blue centre (all opaque).
std::vector<std::uint8_t> solidPng(int width, int height, ARGB color);
std::vector<std::uint8_t> splitPng(int width, int height, ARGB left, ARGB right);
std::vector<std::uint8_t> nineBlockPng();
