// Sections: chunks · inflating · unfiltering
#include "PngDecoder.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::uint8_t signature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint32_t maxSide = 16384;
// 64 MB of pixels, as much again while inflating: a 32-bit process has room for that, not for more.
constexpr std::uint64_t maxPixels = 1u << 24;

std::uint32_t bigEndian(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

bool isType(const std::uint8_t* p, const char* name)
{
    return std::memcmp(p, name, 4) == 0;
}

struct Header {
    std::uint32_t width = 0, height = 0;
    int channels = 0;  // 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
};

std::optional<Header> readHeader(const std::uint8_t* data, std::uint32_t length)
{
    if (length != 13)
        return std::nullopt;
    Header h;
    h.width = bigEndian(data);
    h.height = bigEndian(data + 4);
    const int depth = data[8], colourType = data[9];
    const bool standard = data[10] == 0 && data[11] == 0 && data[12] == 0;  // deflate, filter set 0, no interlace
    switch (colourType) {
    case 0: h.channels = 1; break;
    case 2: h.channels = 3; break;
    case 4: h.channels = 2; break;
    case 6: h.channels = 4; break;
    default: return std::nullopt;  // palette images go to GDI+
    }
    if (depth != 8 || !standard || h.width == 0 || h.height == 0)
        return std::nullopt;
    return h;
}

bool isPastBound(std::uint32_t width, std::uint32_t height)
{
    return width > maxSide || height > maxSide || std::uint64_t{width} * height > maxPixels;
}

// ---- inflating ----

// The IDAT stream inflated into exactly `out.size()` bytes.
bool inflateAll(const std::vector<Bytes>& parts, HeapArray<std::uint8_t>& out)
{
    z_stream z = {};
    if (inflateInit(&z) != Z_OK)
        return false;
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int status = Z_OK;
    for (size_t i = 0; i < parts.size() && status == Z_OK; ++i) {
        z.next_in = const_cast<Bytef*>(parts[i].data());
        z.avail_in = static_cast<uInt>(parts[i].size());
        while (z.avail_in > 0 && status == Z_OK)
            status = inflate(&z, Z_NO_FLUSH);
    }
    const bool complete = status == Z_STREAM_END && z.avail_out == 0;
    inflateEnd(&z);
    return complete;
}

// ---- unfiltering ----

std::uint8_t paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return static_cast<std::uint8_t>(a);
    return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// Undoes each row's filter in place; `bpp` bytes per pixel, rows of 1 + stride bytes.
bool unfilter(HeapArray<std::uint8_t>& data, size_t stride, size_t rows, size_t bpp)
{
    const std::uint8_t* previous = nullptr;
    for (size_t y = 0; y < rows; ++y) {
        std::uint8_t* row = data.data() + y * (stride + 1);
        const int filter = row[0];
        std::uint8_t* x = row + 1;
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= bpp ? x[i - bpp] : 0;
            const int b = previous ? previous[i] : 0;
            const int c = previous && i >= bpp ? previous[i - bpp] : 0;
            switch (filter) {
            case 0: break;
            case 1: x[i] = static_cast<std::uint8_t>(x[i] + a); break;
            case 2: x[i] = static_cast<std::uint8_t>(x[i] + b); break;
            case 3: x[i] = static_cast<std::uint8_t>(x[i] + ((a + b) >> 1)); break;
            case 4: x[i] = static_cast<std::uint8_t>(x[i] + paeth(a, b, c)); break;
            default: return false;
            }
        }
        previous = x;
    }
    return true;
}

}  // namespace

std::optional<PngDecoder::Pixels> PngDecoder::decode(Bytes bytes, bool hasSignature, bool* noPicture)
{
    if (noPicture)
        *noPicture = false;
    // A picture there is no memory for is no picture at all.
    const auto noMemory = [noPicture] {
        if (noPicture)
            *noPicture = true;
        return std::nullopt;
    };
    size_t at = 0;
    if (hasSignature) {
        if (bytes.size() < sizeof signature || std::memcmp(bytes.data(), signature, sizeof signature) != 0)
            return std::nullopt;
        at = sizeof signature;
    }
    std::optional<Header> header;
    std::vector<Bytes> idat;
    bool ended = false;
    while (!ended) {
        if (bytes.size() - at < 12)
            return std::nullopt;
        const std::uint8_t* chunk = bytes.data() + at;
        const std::uint32_t length = bigEndian(chunk);
        if (length > bytes.size() - at - 12)
            return std::nullopt;
        const std::uint8_t* type = chunk + 4;
        const std::uint8_t* data = chunk + 8;
        if (isType(type, "IHDR")) {
            if (at != (hasSignature ? sizeof signature : 0) || length != 13)
                return std::nullopt;
            if (isPastBound(bigEndian(data), bigEndian(data + 4))) {
                // Whatever its kind: GDI+ is not asked to try either.
                if (noPicture)
                    *noPicture = true;
                return std::nullopt;
            }
            if (!(header = readHeader(data, length)))
                return std::nullopt;
        } else if (!header) {
            return std::nullopt;
        } else if (isType(type, "IDAT")) {
            idat.emplace_back(data, length);
        } else if (isType(type, "IEND")) {
            ended = true;
        } else if (isType(type, "tRNS") || isType(type, "gAMA") || isType(type, "iCCP") || isType(type, "cHRM") ||
                   isType(type, "PLTE") || !(type[0] & 0x20)) {
            // Transparency keys and colour management change the pixels; an unknown critical chunk
            // means a file this decoder does not understand.
            return std::nullopt;
        }
        at += 12 + length;
    }
    if (!header || idat.empty())
        return std::nullopt;

    const size_t channels = static_cast<size_t>(header->channels);
    const size_t stride = header->width * channels;
    HeapArray<std::uint8_t> raw;
    if (!raw.allocate(stride + 1, header->height))
        return noMemory();
    if (!inflateAll(idat, raw) || !unfilter(raw, stride, header->height, channels))
        return std::nullopt;

    Pixels out;
    out.width = static_cast<int>(header->width);
    out.height = static_cast<int>(header->height);
    if (!out.argb.allocate(header->width, header->height))
        return noMemory();
    std::uint32_t* pixel = out.argb.data();
    for (size_t y = 0; y < header->height; ++y) {
        const std::uint8_t* s = raw.data() + y * (stride + 1) + 1;
        for (size_t x = 0; x < header->width; ++x, s += channels) {
            std::uint32_t r, g, b, a = 255;
            if (channels <= 2) {
                r = g = b = s[0];
                if (channels == 2)
                    a = s[1];
            } else {
                r = s[0], g = s[1], b = s[2];
                if (channels == 4)
                    a = s[3];
            }
            *pixel++ = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    return out;
}
