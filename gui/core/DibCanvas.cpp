// Sections: DIB header · canvases · graphics and wrapping · blending
#include "DibCanvas.h"

#include <algorithm>

BITMAPINFO dibHeader(int width, int height, bool topDown)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = topDown ? -height : height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
    return info;
}

// ---- canvases ----

DibCanvas DibCanvas::make(HDC compatibleWith, int width, int height, bool topDown)
{
    DibCanvas canvas;
    canvas.dc = CreateCompatibleDC(compatibleWith);
    const BITMAPINFO info = dibHeader(width, height, topDown);
    void* pixels = nullptr;
    canvas.dib = canvas.dc ? CreateDIBSection(canvas.dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0) : nullptr;
    if (canvas.dib) {
        canvas.old = SelectObject(canvas.dc, canvas.dib);
        canvas.bits = static_cast<std::uint32_t*>(pixels);
        canvas.width = width;
        canvas.height = height;
    }
    return canvas;
}

void DibCanvas::make(HDC compatibleWith, int width, int height, HDC& dc, HBITMAP& dib, HGDIOBJ& old)
{
    const DibCanvas canvas = make(compatibleWith, width, height);
    dc = canvas.dc;
    dib = canvas.dib;
    old = canvas.old;
}

void DibCanvas::release(HDC& dc, HBITMAP& dib, HGDIOBJ& old)
{
    if (dc && old)
        SelectObject(dc, old);
    if (dib)
        DeleteObject(dib);
    if (dc)
        DeleteDC(dc);
    dc = nullptr;
    dib = nullptr;
    old = nullptr;
}

void DibCanvas::release()
{
    release(dc, dib, old);
    bits = nullptr;
    width = height = 0;
}

void DibCanvas::fill(std::uint32_t color)
{
    if (!bits)
        return;
    GdiFlush();
    std::fill_n(bits, static_cast<size_t>(width) * static_cast<size_t>(height), color);
}

// ---- graphics and wrapping ----

GpGraphics* makeGraphics(HDC dc)
{
    GpGraphics* graphics = nullptr;
    if (!dc || GDIP(GdipCreateFromHDC)(dc, &graphics) != Gdiplus::Ok)
        return nullptr;
    GDIP(GdipSetSmoothingMode)(graphics, Gdiplus::SmoothingModeAntiAlias);
    GDIP(GdipSetTextRenderingHint)(graphics, Gdiplus::TextRenderingHintAntiAliasGridFit);
    return graphics;
}

void deleteGraphics(GpGraphics*& graphics)
{
    if (graphics)
        GDIP(GdipDeleteGraphics)(graphics);
    graphics = nullptr;
}

GpBitmap* wrapDib(HBITMAP dib)
{
    DIBSECTION section = {};
    if (!dib || GetObjectW(dib, sizeof section, &section) != sizeof section || !section.dsBm.bmBits)
        return nullptr;
    const int width = section.dsBm.bmWidth, height = section.dsBm.bmHeight;
    const int stride = width * 4;
    auto* lastRow = static_cast<BYTE*>(section.dsBm.bmBits) + static_cast<size_t>(height - 1) * stride;
    GpBitmap* bitmap = nullptr;
    GdiFlush();
    GDIP(GdipCreateBitmapFromScan0)(width, height, -stride, PixelFormat32bppPARGB, lastRow, &bitmap);
    return bitmap;
}

// ---- blending ----

void blend(HDC target, const RECT& to, HDC source, const RECT& from, int alpha)
{
    const bool empty = to.right <= to.left || to.bottom <= to.top || from.right <= from.left || from.bottom <= from.top;
    if (!target || !source || empty || alpha <= 0)
        return;
    BLENDFUNCTION function = {AC_SRC_OVER, 0, static_cast<BYTE>(std::min(alpha, 255)), 0};
    GdiAlphaBlend(target, to.left, to.top, to.right - to.left, to.bottom - to.top, source, from.left, from.top,
                  from.right - from.left, from.bottom - from.top, function);
}

namespace {
// A top-down canvas kept for the process: the premultiplied source of blendBitmapPart.
DibCanvas blendSource;

bool growBlendSource(int width, int height)
{
    if (blendSource.bits && width <= blendSource.width && height <= blendSource.height)
        return true;
    width = std::max(width, blendSource.width);
    height = std::max(height, blendSource.height);
    blendSource.release();
    blendSource = DibCanvas::make(nullptr, width, height, true);
    if (blendSource.bits)
        return true;
    blendSource.release();
    return false;
}
}  // namespace

bool blendBitmapPart(HDC target, GpGraphics* graphics, GpImage* image, int srcX, int srcY, int dstX, int dstY,
                     int width, int height)
{
    Gdiplus::ImageType type = Gdiplus::ImageTypeUnknown;
    if (!target || GDIP(GdipGetImageType)(image, &type) != Gdiplus::Ok || type != Gdiplus::ImageTypeBitmap ||
        !growBlendSource(width, height))
        return false;
    auto* bitmap = static_cast<GpBitmap*>(image);
    Gdiplus::BitmapData data = {};
    data.Width = static_cast<UINT>(width);
    data.Height = static_cast<UINT>(height);
    data.Stride = blendSource.width * 4;
    data.PixelFormat = PixelFormat32bppPARGB;
    data.Scan0 = blendSource.bits;
    Gdiplus::GpRect area = {srcX, srcY, width, height};
    GdiFlush();
    if (GDIP(GdipBitmapLockBits)(bitmap, &area, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                                 PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return false;
    GDIP(GdipBitmapUnlockBits)(bitmap, &data);
    GDIP(GdipFlush)(graphics, Gdiplus::FlushIntentionSync);
    BLENDFUNCTION function = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(target, dstX, dstY, width, height, blendSource.dc, 0, 0, width, height, function);
    GdiFlush();  // GDI+ may write the back buffer's memory directly next
    return true;
}
