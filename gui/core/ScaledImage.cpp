#include "ScaledImage.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "Images.h"

namespace {

// Weights are fixed-point with this many fraction bits; a destination pixel's weights sum to exactly one.
constexpr int weightBits = 14;
constexpr std::uint32_t weightOne = 1u << weightBits;

// One destination pixel's sources along an axis: `count` weights from source index `first`.
struct Span {
    int first = 0;
    int count = 0;
    int weights = 0;  // offset into the weight table
};

struct AxisFilter {
    std::vector<Span> spans;
    std::vector<std::uint32_t> weights;
};

AxisFilter axisFilter(int sourceSize, int size)
{
    AxisFilter filter;
    filter.spans.resize(static_cast<size_t>(size));
    const double scale = static_cast<double>(sourceSize) / size;
    std::vector<double> exact;
    for (int i = 0; i < size; ++i) {
        Span& span = filter.spans[static_cast<size_t>(i)];
        exact.clear();
        if (sourceSize > size) {
            // The source interval [i * scale, (i + 1) * scale), each pixel weighted by its overlap.
            const double begin = i * scale, end = (i + 1) * scale;
            span.first = static_cast<int>(begin);
            const int last = std::min(sourceSize - 1, static_cast<int>(std::ceil(end)) - 1);
            for (int s = span.first; s <= last; ++s)
                exact.push_back((std::min<double>(end, s + 1) - std::max<double>(begin, s)) / scale);
        } else {
            // Between the two nearest pixel centres, clamped at the edges.
            const double centre = std::clamp((i + 0.5) * scale - 0.5, 0.0, sourceSize - 1.0);
            span.first = static_cast<int>(centre);
            const double fraction = centre - span.first;
            exact.push_back(1 - fraction);
            if (span.first + 1 < sourceSize && fraction > 0)
                exact.push_back(fraction);
        }
        span.count = static_cast<int>(exact.size());
        span.weights = static_cast<int>(filter.weights.size());
        // Each weight is the step between rounded running totals: none is off by more than one unit and
        // together they make exactly one, so rounding neither dims flat areas nor piles onto one pixel
        // (at a few hundred sources per pixel that pile would exceed a weight and wrap below zero).
        double total = 0;
        for (const double w : exact)
            total += w;
        double running = 0;
        std::uint32_t given = 0;
        for (size_t k = 0; k < exact.size(); ++k) {
            running += exact[k];
            const std::uint32_t upTo = k + 1 == exact.size() || total <= 0
                                           ? weightOne
                                           : std::min(weightOne, static_cast<std::uint32_t>(
                                                                     std::lround(running / total * weightOne)));
            filter.weights.push_back(upTo - given);
            given = upTo;
        }
    }
    return filter;
}

// Channels on one scale: alpha as a * 255, colours premultiplied as c * a (both at most 65025).
struct Sample {
    std::uint32_t a, r, g, b;
};

Sample premultiplied(std::uint32_t argb)
{
    const std::uint32_t a = argb >> 24;
    return {a * 255, ((argb >> 16) & 0xFF) * a, ((argb >> 8) & 0xFF) * a, (argb & 0xFF) * a};
}

std::uint32_t straight(const Sample& s)
{
    const std::uint32_t alpha = (s.a + 127) / 255;
    if (alpha == 0)
        return 0;
    auto channel = [&](std::uint32_t c) { return std::min<std::uint32_t>(255, (c * 255 + s.a / 2) / s.a); };
    return std::min<std::uint32_t>(alpha, 255) << 24 | channel(s.r) << 16 | channel(s.g) << 8 | channel(s.b);
}

// Sum of `count` samples `stride` apart under fixed-point weights, rounded back to the samples' scale.
Sample weighted(const Sample* first, ptrdiff_t stride, const std::uint32_t* weights, int count)
{
    std::uint32_t a = 0, r = 0, g = 0, b = 0;
    for (int k = 0; k < count; ++k, first += stride) {
        const std::uint32_t w = weights[k];
        a += first->a * w, r += first->r * w, g += first->g * w, b += first->b * w;
    }
    constexpr std::uint32_t half = weightOne / 2;
    return {(a + half) >> weightBits, (r + half) >> weightBits, (g + half) >> weightBits, (b + half) >> weightBits};
}

}  // namespace

HeapArray<std::uint32_t> ScaledImage::resample(const std::uint32_t* argb, int sourceWidth, int sourceHeight,
                                               int width, int height)
{
    if (!argb || sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0)
        return {};
    const AxisFilter across = axisFilter(sourceWidth, width);
    const AxisFilter down = axisFilter(sourceHeight, height);

    // Rows first: every source row resampled to the destination's width.
    HeapArray<Sample> rows, line;
    HeapArray<std::uint32_t> result;
    if (!rows.allocate(static_cast<size_t>(width), static_cast<size_t>(sourceHeight)) ||
        !line.allocate(static_cast<size_t>(sourceWidth)) ||
        !result.allocate(static_cast<size_t>(width), static_cast<size_t>(height)))
        return {};
    for (int y = 0; y < sourceHeight; ++y) {
        const std::uint32_t* source = argb + static_cast<size_t>(y) * sourceWidth;
        for (int x = 0; x < sourceWidth; ++x)
            line[static_cast<size_t>(x)] = premultiplied(source[x]);
        Sample* out = rows.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const Span& span = across.spans[static_cast<size_t>(x)];
            out[x] = weighted(line.data() + span.first, 1, across.weights.data() + span.weights, span.count);
        }
    }

    for (int y = 0; y < height; ++y) {
        const Span& span = down.spans[static_cast<size_t>(y)];
        const Sample* column = rows.data() + static_cast<size_t>(span.first) * width;
        for (int x = 0; x < width; ++x)
            result[static_cast<size_t>(y) * width + x] =
                straight(weighted(column + x, width, down.weights.data() + span.weights, span.count));
    }
    return result;
}

namespace {

// Pictures whose source, intermediate rows or copy exceed this many pixels are left to GDI+: the
// copy's working memory (16 bytes per intermediate sample) would outweigh the time it saves.
constexpr unsigned long long copyLimit = 1ull << 20;

bool isWhole(float v)
{
    return v == std::floor(v);
}

// The resampled copy of a single-frame bitmap, or null when GDI+ should draw the source itself.
GpBitmap* makeCopy(GpImage* source, int width, int height)
{
    Gdiplus::ImageType type = Gdiplus::ImageTypeUnknown;
    if (GDIP(GdipGetImageType)(source, &type) != Gdiplus::Ok || type != Gdiplus::ImageTypeBitmap)
        return nullptr;
    UINT dimensions = 0;
    if (GDIP(GdipImageGetFrameDimensionsCount)(source, &dimensions) == Gdiplus::Ok && dimensions > 0) {
        GUID dimension = {};
        UINT frames = 1;
        if (GDIP(GdipImageGetFrameDimensionsList)(source, &dimension, 1) == Gdiplus::Ok &&
            GDIP(GdipImageGetFrameCount)(source, &dimension, &frames) == Gdiplus::Ok && frames > 1)
            return nullptr;  // the frame on show changes under us
    }
    const INT sourceWidth = static_cast<INT>(imageWidth(source)), sourceHeight = static_cast<INT>(imageHeight(source));
    if (sourceWidth <= 0 || sourceHeight <= 0)
        return nullptr;
    const auto area = [](INT w, INT h) { return static_cast<unsigned long long>(w) * static_cast<unsigned long long>(h); };
    if (area(sourceWidth, sourceHeight) > copyLimit || area(width, sourceHeight) > copyLimit ||
        area(width, height) > copyLimit)
        return nullptr;
    HeapArray<std::uint32_t> pixels;
    if (!pixels.allocate(static_cast<size_t>(sourceWidth), static_cast<size_t>(sourceHeight)))
        return nullptr;
    auto* bitmap = reinterpret_cast<GpBitmap*>(source);
    const Gdiplus::GpRect all{0, 0, sourceWidth, sourceHeight};
    Gdiplus::BitmapData data = {};
    if (GDIP(GdipBitmapLockBits)(bitmap, &all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return nullptr;
    for (INT y = 0; y < sourceHeight; ++y)
        std::copy_n(reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(data.Scan0) +
                                                            static_cast<ptrdiff_t>(y) * data.Stride),
                    sourceWidth, pixels.begin() + static_cast<ptrdiff_t>(y) * sourceWidth);
    GDIP(GdipBitmapUnlockBits)(bitmap, &data);
    const HeapArray<std::uint32_t> scaled =
        ScaledImage::resample(pixels.data(), sourceWidth, sourceHeight, width, height);
    return bitmapFromArgb(scaled.data(), width, height);
}

}  // namespace

ScaledImage::~ScaledImage()
{
    reset();
}

void ScaledImage::reset()
{
    if (copy_)
        GDIP(GdipDisposeImage)(copy_);
    copy_ = nullptr;
    source_ = nullptr;
    width_ = height_ = 0;
}

void ScaledImage::draw(GpGraphics* graphics, GpImage* source, const RectF& logical)
{
    if (!source)
        return;
    // Under a scaling transform the copy is made at the device size and drawn without the transform:
    // resampled once from the stored pixels, never twice.
    Gdiplus::GpMatrix* saved = nullptr;
    RectF rect = logical;
    float m[6] = {1, 0, 0, 1, 0, 0};
    if (GDIP(GdipCreateMatrix)(&saved) == Gdiplus::Ok && saved &&
        GDIP(GdipGetWorldTransform)(graphics, saved) == Gdiplus::Ok &&
        GDIP(GdipGetMatrixElements)(saved, m) == Gdiplus::Ok && m[1] == 0 && m[2] == 0 && (m[0] != 1 || m[3] != 1)) {
        const auto edge = [](float v) { return std::floor(v + 0.5f); };
        const float left = edge(logical.x * m[0] + m[4]), top = edge(logical.y * m[3] + m[5]);
        rect = {left, top, edge((logical.x + logical.width) * m[0] + m[4]) - left,
                edge((logical.y + logical.height) * m[3] + m[5]) - top};
        GDIP(GdipResetWorldTransform)(graphics);
    } else if (saved) {
        GDIP(GdipDeleteMatrix)(saved);
        saved = nullptr;
    }
    const bool whole = isWhole(rect.x) && isWhole(rect.y) && isWhole(rect.width) && isWhole(rect.height) &&
                       rect.width >= 1 && rect.height >= 1;
    const int width = static_cast<int>(rect.width), height = static_cast<int>(rect.height);
    if (whole && (source != source_ || width != width_ || height != height_)) {
        reset();
        source_ = source;
        width_ = width;
        height_ = height;
        copy_ = makeCopy(source, width, height);
    }
    if (whole && copy_)
        GDIP(GdipDrawImageRect)(graphics, copy_, rect.x, rect.y, rect.width, rect.height);
    else
        GDIP(GdipDrawImageRect)(graphics, source, rect.x, rect.y, rect.width, rect.height);
    if (saved) {
        GDIP(GdipSetWorldTransform)(graphics, saved);
        GDIP(GdipDeleteMatrix)(saved);
    }
}
