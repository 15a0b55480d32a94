#pragma once
// A memory DC with a 32-bit DIB section selected into it: the canvases a host keeps (back buffer,
// background cache, fade snapshot), the process's scratch canvas and the animations' temporary canvas.
#include <windows.h>

#include <cstdint>

#include "Gdip.h"

// The header of a 32-bit BI_RGB DIB, bottom-up unless topDown; its one colour entry stays zero.
BITMAPINFO dibHeader(int width, int height, bool topDown = false);

struct DibCanvas {
    // compatibleWith 0 gives a DC compatible with the screen.
    static DibCanvas make(HDC compatibleWith, int width, int height, bool topDown = false);
    // The same for a canvas kept as three named handles (the host's fields).
    static void make(HDC compatibleWith, int width, int height, HDC& dc, HBITMAP& dib, HGDIOBJ& old);
    static void release(HDC& dc, HBITMAP& dib, HGDIOBJ& old);
    void release();
    // Every pixel `color`, written into the section's memory.
    void fill(std::uint32_t color);

    HDC dc = nullptr;
    HBITMAP dib = nullptr;
    HGDIOBJ old = nullptr;
    std::uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;
};

// A graphics on the DC with the engine's smoothing and text hints; null without DC.
GpGraphics* makeGraphics(HDC dc);
void deleteGraphics(GpGraphics*& graphics);

// The DIB section's pixels as a GDI+ bitmap sharing its memory (premultiplied, top row first).
GpBitmap* wrapDib(HBITMAP dib);

// GdiAlphaBlend of `from` onto `to` at constant alpha; nothing for empty rectangles or alpha 0.
void blend(HDC target, const RECT& to, HDC source, const RECT& from, int alpha);

// A one-to-one draw of a bitmap part at full alpha onto an unclipped 32-bit DC: the part read as
// premultiplied ARGB and blended source-over with its per-pixel alpha. That is what GDI+ does for such
// a DC, but it makes a DC, a DIB and a clip region for every call. False when it cannot.
bool blendBitmapPart(HDC target, GpGraphics* graphics, GpImage* image, int srcX, int srcY, int dstX, int dstY,
                     int width, int height);
