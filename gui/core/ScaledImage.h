#pragma once
// A picture resampled once to the size it is stretched to. GDI+ resamples a scaled DrawImage on every
// draw (under Wine at about 0.7 us per destination pixel, 30 ms for the banner); drawing a copy of the
// destination's size is a plain pixel copy.
#include <cstdint>
#include "Forward.h"
#include "Gdip.h"
#include "HeapArray.h"

class ScaledImage {
public:
    ScaledImage() = default;
    ScaledImage(const ScaledImage&) = delete;
    ScaledImage& operator=(const ScaledImage&) = delete;
    ~ScaledImage();

    // Draws `source` stretched over `rect`. A single-frame bitmap drawn at whole-pixel bounds goes
    // through the copy, made on first use and again when the source or the size changes; anything else
    // is drawn by GDI+ as it stands.
    void draw(GpGraphics* graphics, GpImage* source, const RectF& rect);
    // Forgets the copy: owners call it whenever the image behind a source pointer may have changed.
    void reset();

    // Non-premultiplied ARGB rows resampled to `width` x `height`, weighted in premultiplied form:
    // each destination pixel averages the source area it covers when shrinking, and interpolates
    // linearly between pixel centres when enlarging (per axis). Empty when there is nothing to resample or
    // no memory for it.
    static HeapArray<std::uint32_t> resample(const std::uint32_t* argb, int sourceWidth, int sourceHeight,
                                             int width, int height);

private:
    GpImage* source_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    GpBitmap* copy_ = nullptr;
};
