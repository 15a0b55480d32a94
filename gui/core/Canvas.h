#pragma once
// GDI+ drawing helpers shared by the engine. Each call makes and deletes its own brushes, pens and paths.
#include <windows.h>

#include <optional>

#include "Forward.h"
#include "Gdip.h"

RectF makeRectF(int x, int y, int w, int h);
void inflateRect(RectF& rect, int dx, int dy, int dw, int dh);
RectF rectFromRECT(const RECT& rc);
// Whole pixels covering the rectangle.
RECT coveringRect(const RectF& rect);
// Left/top the larger, right/bottom the smaller: inverted (empty) when they do not meet.
RECT intersectRects(const RECT& a, const RECT& b);
inline bool isEmptyRect(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }

inline Gdiplus::GpRectF* gpRect(RectF* rect) { return reinterpret_cast<Gdiplus::GpRectF*>(rect); }
inline const Gdiplus::GpRectF* gpRect(const RectF* rect) { return reinterpret_cast<const Gdiplus::GpRectF*>(rect); }

// Four corner x corner arcs (corner is a diameter) joined into one closed figure.
GpPath* roundedRectPath(const RectF& rect, float corner, Gdiplus::FillMode fillMode = Gdiplus::FillModeAlternate);
GpSolidFill* solidBrush(ARGB color);
GpPen* makePen(ARGB color, float width = 1.0f);
void deletePath(GpPath* path);

void fillRoundedRect(GpGraphics* g, const RectF& rect, float corner, ARGB color);
void strokeRoundedRect(GpGraphics* g, const RectF& rect, float corner, ARGB color, int dashStyle = 0,
                       float width = 1.0f);
void fillPath(GpGraphics* g, GpPath* path, ARGB color);
void strokePath(GpGraphics* g, GpPath* path, ARGB color, float width = 1.0f);

enum FrameStyle : unsigned { FrameNone = 0, FrameSunken = 1, FrameRaised = 2, FrameSolid = 3, FrameFocus = 4 };
// Any style above 4 is itself the ARGB colour of a plain rectangle frame.
void drawFrame(GpGraphics* g, const RectF& rect, unsigned style, std::optional<ARGB> color = std::nullopt,
               std::optional<float> width = std::nullopt);

// Linear gradient, vertical unless a LinearGradientMode is given.
void fillGradient(GpGraphics* g, const RectF& rect, ARGB color1, ARGB color2, std::optional<int> mode = std::nullopt);

// Image attributes whose colour matrix multiplies alpha by alpha / 255; null when GDI+ makes none. The
// caller disposes of them.
GpImageAttributes* alphaAttributes(int alpha);

// Corners keep their size, edges stretch along one axis, the centre along both.
void drawImageNineGrid(GpGraphics* g, GpImage* image, const RectF& dest, const RectF& centre,
                       std::optional<int> alpha = std::nullopt);

// White rounded panel inset 6 px, four shadow rings, tinted icon column.
void paintMenuBackground(GpGraphics* g, int width, int height);
