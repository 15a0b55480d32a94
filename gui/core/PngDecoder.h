#pragma once
// A decoder for the PNG files the engine's pictures are made of: 8-bit grey, grey + alpha, RGB and
// RGBA, not interlaced, without colour-management chunks. Decoding them here spares every start
// GDI+'s codec machinery (under Wine: loading windowscodecs); anything else is left to GDI+.
#include <cstdint>
#include <optional>
#include "Forward.h"
#include "HeapArray.h"

class PngDecoder {
public:
    struct Pixels {
        int width = 0;
        int height = 0;
        HeapArray<std::uint32_t> argb;  // rows top-down, not premultiplied, as PixelFormat32bppARGB
    };

    // nullopt when `bytes` is not a PNG this decoder takes or is damaged. `noPicture` is set when the
    // result must be no picture at all, not one decoded elsewhere: a PNG of more pixels than the bound
    // (of any kind), or one there is no memory for.
    static std::optional<Pixels> decode(Bytes bytes, bool hasSignature = true, bool* noPicture = nullptr);
};
