#include "TestPictures.h"

#include <cstdlib>

#include "Pixels.h"
#include "TestImages.h"

std::vector<std::uint8_t> threeFrameGifWithDelays(std::uint8_t first, std::uint8_t second, std::uint8_t third)
{
    // The test GIF has graphic control extensions (delay byte at +4) at 44 and 74; its third image, at
    // 116, gets one of its own.
    std::vector<std::uint8_t> gif(std::begin(threeFrameGif), std::end(threeFrameGif));
    gif[48] = first;
    gif[78] = second;
    const std::uint8_t control[] = {0x21, 0xF9, 0x04, 0x00, third, 0x00, 0x00, 0x00};
    gif.insert(gif.begin() + 116, std::begin(control), std::end(control));
    return gif;
}

HICON makeIcon(ARGB left, ARGB right, bool useMask)
{
    BITMAPV5HEADER header = {};
    header.bV5Size = sizeof header;
    header.bV5Width = 16;
    header.bV5Height = -16;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_RGB;
    void* bits = nullptr;
    HDC dc = GetDC(nullptr);
    HBITMAP color = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, dc);
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (int i = 0; i < 256; ++i)
        pixels[i] = (i % 16 < 8 ? left : right) & (useMask ? 0x00FFFFFFu : 0xFFFFFFFFu);
    // Mask rows of 16 bits, WORD-aligned: 1 = transparent.
    std::uint8_t maskBits[32] = {};
    for (int row = 0; row < 16 && useMask; ++row)
        maskBits[row * 2 + 1] = 0xFF;
    HBITMAP mask = CreateBitmap(16, 16, 1, 1, maskBits);
    ICONINFO info = {TRUE, 0, 0, mask, color};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(color);
    DeleteObject(mask);
    return icon;
}

bool colorsDiffer(ARGB a, ARGB b, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance)
            return true;
    return false;
}
