#include "Canvas.h"

#include <algorithm>
#include <cmath>

#include "Engine.h"
#include "Images.h"

RectF makeRectF(int x, int y, int w, int h)
{
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(w), static_cast<float>(h)};
}

void inflateRect(RectF& rect, int dx, int dy, int dw, int dh)
{
    rect.x += static_cast<float>(dx);
    rect.y += static_cast<float>(dy);
    rect.width += static_cast<float>(dw);
    rect.height += static_cast<float>(dh);
}

RectF rectFromRECT(const RECT& rc)
{
    return makeRectF(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

RECT coveringRect(const RectF& rect)
{
    constexpr float tolerance = 1e-7f;
    RECT rc;
    rc.left = static_cast<LONG>(std::floor(rect.x + tolerance));
    rc.top = static_cast<LONG>(std::floor(rect.y + tolerance));
    rc.right = static_cast<LONG>(std::ceil(rect.x + rect.width - tolerance));
    rc.bottom = static_cast<LONG>(std::ceil(rect.y + rect.height - tolerance));
    return rc;
}

RECT intersectRects(const RECT& a, const RECT& b)
{
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

GpPath* roundedRectPath(const RectF& rect, float corner, Gdiplus::FillMode fillMode)
{
    GpPath* path = nullptr;
    if (GDIP(GdipCreatePath)(fillMode, &path) != Gdiplus::Ok)
        return nullptr;
    const float right = rect.x + rect.width - corner - 1;
    const float bottom = rect.y + rect.height - corner - 1;
    GDIP(GdipAddPathArc)(path, rect.x, rect.y, corner, corner, 180, 90);
    GDIP(GdipAddPathArc)(path, right, rect.y, corner, corner, 270, 90);
    GDIP(GdipAddPathArc)(path, right, bottom, corner, corner, 0, 90);
    GDIP(GdipAddPathArc)(path, rect.x, bottom, corner, corner, 90, 90);
    GDIP(GdipClosePathFigure)(path);
    return path;
}

GpSolidFill* solidBrush(ARGB color)
{
    GpSolidFill* brush = nullptr;
    GDIP(GdipCreateSolidFill)(color, &brush);
    return brush;
}

GpPen* makePen(ARGB color, float width)
{
    GpPen* pen = nullptr;
    GDIP(GdipCreatePen1)(color, width, Gdiplus::UnitWorld, &pen);
    return pen;
}

void deletePath(GpPath* path)
{
    if (path)
        GDIP(GdipDeletePath)(path);
}

void fillPath(GpGraphics* g, GpPath* path, ARGB color)
{
    GpSolidFill* brush = solidBrush(color);
    if (g && path && brush)
        GDIP(GdipFillPath)(g, brush, path);
    if (brush)
        GDIP(GdipDeleteBrush)(brush);
}

void strokePath(GpGraphics* g, GpPath* path, ARGB color, float width)
{
    GpPen* pen = makePen(color, width);
    if (g && path && pen)
        GDIP(GdipDrawPath)(g, pen, path);
    if (pen)
        GDIP(GdipDeletePen)(pen);
}

void fillRoundedRect(GpGraphics* g, const RectF& rect, float corner, ARGB color)
{
    GpPath* path = roundedRectPath(rect, corner);
    fillPath(g, path, color);
    deletePath(path);
}

void strokeRoundedRect(GpGraphics* g, const RectF& rect, float corner, ARGB color, int dashStyle, float width)
{
    GpPath* path = roundedRectPath(rect, corner);
    GpPen* pen = makePen(color, width);
    if (pen) {
        GDIP(GdipSetPenDashStyle)(pen, static_cast<Gdiplus::DashStyle>(dashStyle));
        if (g && path)
            GDIP(GdipDrawPath)(g, pen, path);
        GDIP(GdipDeletePen)(pen);
    }
    deletePath(path);
}

namespace {

void drawLine(GpGraphics* g, GpPen* pen, float x1, float y1, float x2, float y2)
{
    if (pen)
        GDIP(GdipDrawLine)(g, pen, x1, y1, x2, y2);
}

void drawRectangleFrame(GpGraphics* g, const RectF& r, ARGB color, float width, bool dashed)
{
    GpPen* pen = makePen(color, width);
    if (!pen)
        return;
    if (dashed)
        GDIP(GdipSetPenDashStyle)(pen, Gdiplus::DashStyleDash);
    GDIP(GdipDrawRectangle)(g, pen, r.x, r.y, r.width - 1, r.height - 1);
    GDIP(GdipDeletePen)(pen);
}

const ARGB black = 0x000000;
const ARGB white = 0xFFFFFF;

}  // namespace

void drawFrame(GpGraphics* g, const RectF& r, unsigned style, std::optional<ARGB> color, std::optional<float> width)
{
    if (!g)
        return;
    const float w = width.value_or(1.0f);
    const float half = w / 2;
    const float right = r.x + r.width - 1, bottom = r.y + r.height - 1;
    switch (style) {
    case FrameNone:
        return;
    case FrameSunken: {
        GpPen* dark = makePen(makeColor(black, 160), w);
        drawLine(g, dark, r.x, r.y, right, r.y);
        drawLine(g, dark, r.x, r.y, r.x, bottom);
        GpPen* light = makePen(makeColor(white, 245), half);
        drawLine(g, light, r.x, bottom, right, bottom);
        drawLine(g, light, right, r.y, right, bottom);
        if (dark)
            GDIP(GdipDeletePen)(dark);
        if (light)
            GDIP(GdipDeletePen)(light);
        return;
    }
    case FrameRaised: {
        GpPen* light = makePen(makeColor(white, 245), half);
        drawLine(g, light, r.x, r.y, r.x + r.width - 2, r.y);
        drawLine(g, light, r.x, r.y, r.x, r.y + r.height - 2);
        GpPen* dark = makePen(makeColor(black, 168), w);
        drawLine(g, dark, r.x, bottom, right, bottom);
        drawLine(g, dark, right, r.y, right, r.y + r.height - 2);
        if (light)
            GDIP(GdipDeletePen)(light);
        if (dark)
            GDIP(GdipDeletePen)(dark);
        return;
    }
    case FrameSolid:
        drawRectangleFrame(g, r, color.value_or(makeColor(RGB(100, 100, 100), 254)), w, false);
        return;
    case FrameFocus:
        drawRectangleFrame(g, r, color.value_or(makeColor(black, 120)), w, true);
        return;
    default:
        drawRectangleFrame(g, r, style, w, false);
        return;
    }
}

void fillGradient(GpGraphics* g, const RectF& rect, ARGB color1, ARGB color2, std::optional<int> mode)
{
    if (color1 == color2) {
        // The same pixels as a gradient between equal colours, without computing one per pixel.
        GpSolidFill* solid = nullptr;
        if (GDIP(GdipCreateSolidFill)(color1, &solid) != Gdiplus::Ok || !solid)
            return;
        if (g)
            GDIP(GdipFillRectangle)(g, solid, rect.x, rect.y, rect.width - 1, rect.height - 1);
        GDIP(GdipDeleteBrush)(solid);
        return;
    }
    GpLineGradient* brush = nullptr;
    if (GDIP(GdipCreateLineBrushFromRect)(gpRect(&rect), color1, color2,
                                          static_cast<Gdiplus::LinearGradientMode>(mode.value_or(1)),
                                          Gdiplus::WrapModeTileFlipXY, &brush) != Gdiplus::Ok || !brush)
        return;
    if (g)
        GDIP(GdipFillRectangle)(g, brush, rect.x, rect.y, rect.width - 1, rect.height - 1);
    GDIP(GdipDeleteBrush)(brush);
}

GpImageAttributes* alphaAttributes(int alpha)
{
    Gdiplus::ColorMatrix matrix = {};
    for (int i = 0; i < 5; ++i)
        matrix.m[i][i] = 1.0f;
    matrix.m[3][3] = static_cast<float>(alpha) / 255.0f;
    GpImageAttributes* attributes = nullptr;
    if (GDIP(GdipCreateImageAttributes)(&attributes) != Gdiplus::Ok)
        return nullptr;
    GDIP(GdipSetImageAttributesColorMatrix)(attributes, Gdiplus::ColorAdjustTypeDefault, TRUE, &matrix, nullptr,
                                            Gdiplus::ColorMatrixFlagsDefault);
    return attributes;
}

void drawImageNineGrid(GpGraphics* g, GpImage* image, const RectF& dest, const RectF& centre, std::optional<int> alpha)
{
    if (!g || !image)
        return;
    const float W = static_cast<float>(imageWidth(image)), H = static_cast<float>(imageHeight(image));
    const float cx = centre.x, cy = centre.y;
    const float r = W - cx - centre.width, b = H - cy - centre.height;
    const float dx = dest.x, dy = dest.y, dw = dest.width, dh = dest.height;
    const RectF parts[9][2] = {
        {{dx, dy, cx, cy}, {0, 0, cx, cy}},
        {{dx + dw - r, dy, r, cy}, {W - r, 0, r, cy}},
        {{dx + cx, dy, dw - cx - r, cy}, {cx, 0, W - cx - r, cy}},
        {{dx, dy + dh - b, cx, b}, {0, H - b, cx, b}},
        {{dx + dw - r, dy + dh - b, r, b}, {W - r, H - b, r, b}},
        {{dx + cx, dy + dh - b, dw - cx - r, b}, {cx, H - b, W - cx - r, b}},
        {{dx, dy + cy, cx, dh - cy - b}, {0, cy, cx, H - cy - b}},
        {{dx + dw - r, dy + cy, r, dh - cy - b}, {W - r, cy, r, H - cy - b}},
        {{dx + cx, dy + cy, dw - cx - r, dh - cy - b}, {cx, cy, W - cx - r, H - cy - b}},
    };
    GpImageAttributes* attributes = alpha ? alphaAttributes(*alpha) : nullptr;
    auto whole = [](float v) { return std::trunc(v); };
    for (const auto& part : parts) {
        const RectF& d = part[0];
        const RectF& s = part[1];
        GDIP(GdipDrawImageRectRect)(g, image, whole(d.x), whole(d.y), whole(d.width), whole(d.height), whole(s.x),
                                    whole(s.y), whole(s.width), whole(s.height), Gdiplus::UnitPixel, attributes,
                                    nullptr, nullptr);
    }
    if (attributes)
        GDIP(GdipDisposeImageAttributes)(attributes);
}

void paintMenuBackground(GpGraphics* g, int width, int height)
{
    if (!g)
        return;
    GDIP(GdipGraphicsClear)(g, 0x00FFFFFF);
    RectF rect = makeRectF(6, 6, width - 12, height - 12);
    fillRoundedRect(g, rect, 4, makeColor(white, 234));
    struct Ring {
        float corner;
        int alpha;
    };
    const Ring rings[] = {{4, 125}, {7, 35}, {10, 15}, {13, 5}};
    bool first = true;
    for (const Ring& ring : rings) {
        if (!first)
            inflateRect(rect, -1, -1, 2, 2);
        first = false;
        strokeRoundedRect(g, rect, ring.corner, makeColor(black, ring.alpha));
    }
    GpPath* column = roundedRectPath(makeRectF(8, 8, 24, height - 16), 3);
    const ARGB tint = makeColor(RGB(209, 228, 236), 254);
    fillPath(g, column, tint);
    strokePath(g, column, tint);
    deletePath(column);
}
