// Sections: frame · lines · selection
#include "EditPainter.h"

#include <algorithm>

#include "Canvas.h"
#include "EditLayout.h"
#include "EditModel.h"
#include "EditView.h"

EditPainter::EditPainter(GpGraphics* graphics, EditView& view, const EditModel& model)
    : graphics_(graphics), view_(view), model_(model)
{
}

// ---- frame ----

void EditPainter::drawFrame(const RectF& area, ARGB backColour, ARGB borderColour, bool roundCorners)
{
    const RectF outline{area.x, area.y, area.width - 1, area.height - 1};
    if (roundCorners) {
        fillRoundedRect(graphics_, outline, cornerSize, backColour);
        strokeRoundedRect(graphics_, outline, cornerSize, borderColour);
        return;
    }
    if (GpSolidFill* fill = solidBrush(backColour)) {
        GDIP(GdipFillRectangle)(graphics_, fill, area.x, area.y, area.width, area.height);
        GDIP(GdipDeleteBrush)(fill);
    }
    if (GpPen* pen = makePen(borderColour)) {
        GDIP(GdipDrawRectangle)(graphics_, pen, outline.x, outline.y, outline.width, outline.height);
        GDIP(GdipDeletePen)(pen);
    }
}

// ---- lines ----

void EditPainter::drawLines(GpBrush* textBrush)
{
    const RectF& layoutRect = view_.layoutRect();
    const TextBuffer& buffer = model_.buffer();
    GDIP(GdipSetClipRect)(graphics_, layoutRect.x, layoutRect.y, layoutRect.width, layoutRect.height,
                          Gdiplus::CombineModeReplace);
    const int first = std::max(view_.lineAtY(-view_.scrollY(), view_.firstVisibleLine()), 1);
    int last = first;
    const float bottom = layoutRect.height - static_cast<float>(view_.scrollY());
    for (int line = first; line <= buffer.lineCount(); ++line) {
        const RectF box = buffer.lineBox(line);
        last = line;
        drawLine(line, box, textBrush);
        if (box.y + box.height > bottom)
            break;
    }
    view_.visibleLines(first, last);
    GDIP(GdipResetClip)(graphics_);
}

void EditPainter::drawLine(int line, const RectF& box, GpBrush* textBrush)
{
    const EditLayout* measuring = view_.measuring();
    const RectF& layoutRect = view_.layoutRect();
    const RectF at{box.x + static_cast<float>(view_.scrollX()) + layoutRect.x,
                   box.y + static_cast<float>(view_.scrollY()) + layoutRect.y, view_.wrapWidth(), 0};
    const std::wstring display = view_.displayWide(line);
    if (measuring)
        measuring->draw(display.empty() ? std::wstring(L" ") : display, at, textBrush);
    if (model_.hasSelection() && !display.empty())
        drawSelection(line, at, display);
}

// ---- selection ----

void EditPainter::drawSelection(int line, const RectF& at, const std::wstring& display)
{
    const TextBuffer::Position from = model_.selectionStart(), to = model_.selectionEnd();
    const EditLayout* measuring = view_.measuring();
    if (line < from.line || line > to.line || !measuring)
        return;
    const int mask = view_.maskWidth();
    const int characters = static_cast<int>(display.size());
    const int first = line == from.line ? from.column * mask : 0;
    const int last = line == to.line ? std::min(to.column * mask, characters) : characters;
    if (last <= first)
        return;

    const TextBuffer& buffer = model_.buffer();
    const bool wraps = buffer.lineBox(line).height > static_cast<float>(buffer.refHeight() + 3);
    GpRegion* clip = nullptr;
    GDIP(GdipCreateRegion)(&clip);
    if (clip)
        GDIP(GdipSetEmpty)(clip);
    GpSolidFill* fill = solidBrush(highlightColour);
    GpPen* pen = makePen(highlightColour);
    for (RectF scan : measuring->rangeScans(display, first, last - first, at)) {
        scan.y -= model_.isMultiLine() ? 2 : 3;
        scan.height += wraps ? 3 : 4;
        if (fill)
            GDIP(GdipFillRectangle)(graphics_, fill, scan.x, scan.y, scan.width, scan.height);
        if (pen)
            GDIP(GdipDrawRectangle)(graphics_, pen, scan.x, scan.y, scan.width, scan.height);
        if (clip)
            GDIP(GdipCombineRegionRect)(clip, gpRect(&scan), Gdiplus::CombineModeUnion);
    }
    if (fill)
        GDIP(GdipDeleteBrush)(fill);
    if (pen)
        GDIP(GdipDeletePen)(pen);
    if (!clip)
        return;
    GDIP(GdipSetClipRegion)(graphics_, clip, Gdiplus::CombineModeIntersect);
    if (GpSolidFill* white = solidBrush(selectedTextColour)) {
        measuring->draw(display, at, white);
        GDIP(GdipDeleteBrush)(white);
    }
    const RectF& layoutRect = view_.layoutRect();
    GDIP(GdipSetClipRect)(graphics_, layoutRect.x, layoutRect.y, layoutRect.width, layoutRect.height,
                          Gdiplus::CombineModeReplace);
    GDIP(GdipDeleteRegion)(clip);
}
