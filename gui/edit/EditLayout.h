#pragma once
// GDI+ measurement for the edit control: strings and character ranges of one display line, measured on
// the control's graphics with its font and string format. Each GBK character is exactly one UTF-16
// unit here, so a column and a character range index are the same number.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Forward.h"
#include "Gdip.h"
#include "TextBuffer.h"

class EditLayout {
public:
    EditLayout(GpGraphics* graphics, GpFont* font, GpStringFormat* format);
    EditLayout(const EditLayout&) = delete;
    EditLayout& operator=(const EditLayout&) = delete;
    ~EditLayout();

    // GdipMeasureString in `box`; nullopt when it fails.
    std::optional<RectF> measure(std::wstring_view text, const RectF& box) const;
    // The scan rectangles of the range {first, length}. Empty when the measurement fails or answers an
    // empty region (Wine's answer for a range at or past the end). A region with bounds but no scans
    // gives its bounds.
    std::vector<RectF> rangeScans(std::wstring_view text, int first, int length, const RectF& box) const;
    // The bounds of the range's region; nullopt as for an empty rangeScans.
    std::optional<RectF> rangeBounds(std::wstring_view text, int first, int length, const RectF& box) const;

    // The bounds of every one of the first `count` characters, as rangeBounds gives them one at a time,
    // measured in batches of ranges.
    std::vector<std::optional<RectF>> characterBounds(std::wstring_view text, int count, const RectF& box) const;

    // The edit control's string format: no font fallback, trailing spaces measured, no clipping, tab
    // stops every 8 pixels from 1; lines limited to whole rows when the text wraps. The caller owns it.
    static GpStringFormat* createFormat(bool limitLines);

    bool measuresWith(GpGraphics* graphics, GpFont* font) const { return graphics == graphics_ && font == font_; }

    // GdipDrawString of the text in `box`, tab stops included.
    void draw(std::wstring_view text, const RectF& box, GpBrush* brush) const;

    // The display text as UTF-16 with one unit per GBK character (a character that does not convert
    // to exactly one unit becomes '?').
    static std::wstring toDisplayWide(std::string_view display);

    // Measures lines for TextBuffer::layout: display text in a box of `wrapWidth` (0 = no wrapping),
    // the box's x taken as 0 so that line boxes are relative to the layout rectangle.
    class LineMeasurer : public TextBuffer::Measurer {
    public:
        LineMeasurer(const EditLayout& layout, float wrapWidth) : layout_(layout), wrapWidth_(wrapWidth) {}
        std::optional<RectF> measure(std::string_view displayText) override;

    private:
        const EditLayout& layout_;
        float wrapWidth_;
    };

private:
    // Wine's GDI+ gives a tab no width and fails every range behind one. The tab stops (first at 1 + 8
    // pixels, then every 8) are then laid out here, a segment of other characters at a time, and in a
    // box with a width the rows are broken here too; Windows, which does them itself, never takes this path.
    bool emulatesTabs(std::wstring_view text, const RectF& box) const;
    // One cell per character, in the coordinates of `box`.
    std::vector<RectF> cells(std::wstring_view text, const RectF& box) const;
    std::vector<RectF> placeCells(std::wstring_view text, const RectF& box) const;
    bool measureRegion(std::wstring_view text, int first, int length, const RectF& box) const;

    GpGraphics* graphics_;
    GpFont* font_;
    GpStringFormat* format_;
    bool makeBatchRegions() const;

    GpRegion* region_ = nullptr;
    mutable std::vector<GpRegion*> batchRegions_;
    mutable std::wstring lastCellsText_;
    mutable RectF lastCellsBox_{0, 0, -1, 0};
    mutable std::vector<RectF> lastCells_;
    Gdiplus::GpMatrix* identity_ = nullptr;
    mutable int tabsBroken_ = -1;  // -1: not probed yet
    mutable float padding_ = 0;    // GDI+'s space before the first glyph
    mutable float rowHeight_ = 0;
};
