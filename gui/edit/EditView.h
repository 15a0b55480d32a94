#pragma once
// View geometry of an edit control: where the text is laid out inside the control, how far it is
// scrolled, where a character position appears (the caret rectangle) and which position lies under a
// point (hit-testing). Coordinates are the control's own unless said otherwise; the text coordinates
// of line boxes become control coordinates by adding the layout origin and the scroll offsets.
#include <memory>
#include <optional>
#include <string>

#include "Forward.h"
#include "Gdip.h"
#include "LineCellCache.h"
#include "TextBuffer.h"

class EditLayout;

class EditView {
public:
    // Bits of the scroll mode: a horizontal bar (no wrapping), a vertical bar. Only the vertical bar
    // alone wraps lines.
    enum ScrollMode : int { ScrollNone = 0, ScrollHorizontal = 1, ScrollVertical = 2 };
    static constexpr int wheelRows = 3;

    explicit EditView(TextBuffer& buffer);
    EditView(const EditView&) = delete;
    EditView& operator=(const EditView&) = delete;
    ~EditView();

    void configure(bool multiLine, int scrollMode);
    int scrollMode() const { return scrollMode_; }
    // The settings and geometry of another view (a copy of the control), without its measurements.
    void copyGeometry(const EditView& other);

    // --- layout rectangle ---
    // The text area inside the control's area (its own coordinates): inset by 2, a single line
    // centred as one row of the font's height + 3. The layout rectangle starts as a copy.
    void placeText(const RectF& area, float fontHeight);
    const RectF& textArea() const { return textArea_; }
    const RectF& layoutRect() const { return layoutRect_; }
    RectF& layoutRect() { return layoutRect_; }
    // Only the vertical-only mode wraps: a horizontal bar or a single line means one row per line.
    float wrapWidth() const;

    // --- measuring ---
    // Measurement on this graphics, font and format from now on (a new bitmap after a resize, a new
    // font): what was measured with others is forgotten.
    void measureWith(GpGraphics* graphics, GpFont* font, GpStringFormat* format);
    bool canMeasure() const { return measuring_ != nullptr; }
    const EditLayout* measuring() const { return measuring_.get(); }
    // Lays the text out. With the change of an edit only the lines it replaced are measured again
    // and the hit-test cells of the others are kept; without one, every line whose display form is
    // stale.
    void layout(const TextBuffer::Change* change = nullptr);
    std::wstring displayWide(int line) const;
    // Characters of the display form per character of the text: the mask's length in password mode.
    int maskWidth() const;

    // --- scroll state ---
    int scrollX() const { return scrollX_; }
    int scrollY() const { return scrollY_; }
    void scrollTo(int x, int y);
    // scrollY within [-(totalHeight - layoutRect.height), 0], scrollX likewise with maxWidth.
    void clampScroll();
    // The text's end at the bottom of the layout rectangle (unclamped).
    void scrollToEnd();
    // One notch of the wheel: 3 rows down for a delta below 1, else up, never past either end. False
    // when the text fits and nothing can scroll.
    bool wheel(int delta);
    int firstVisibleLine() const { return firstVisibleLine_; }
    int lastVisibleLine() const { return lastVisibleLine_; }
    void visibleLines(int first, int last);

    // --- geometry ---
    // y in text coordinates; 0 above line 1 (or past the end when y <= 0).
    int lineAtY(int y, int hint) const;
    // x, y in the control's coordinates.
    TextBuffer::Position hitTest(float x, float y);
    // `column` is the caret column - 1 (the character before the caret); it may be reduced in place.
    // With scrollIntoView the view scrolls until the rectangle lies inside the layout rectangle.
    RectF caretRect(int line, int& column, bool scrollIntoView, int extraHeight = 0);
    // Height of a text laid out in the layout width (refHeight when the measurement fails).
    int heightOf(std::string_view text) const;

    const LineCellCache& cellCache() const { return cells_; }

private:
    void bringIntoView(const RectF& caret, int extraHeight);

    TextBuffer& buffer_;
    bool multiLine_ = false;
    int scrollMode_ = 0;
    RectF textArea_;
    RectF layoutRect_;
    int scrollX_ = 0, scrollY_ = 0;
    int firstVisibleLine_ = 1, lastVisibleLine_ = 1;
    std::unique_ptr<EditLayout> measuring_;  // for the current graphics, font and format
    float laidOutWidth_ = -1;                // wrap width of the last layout
    std::string laidOutMask_;                // the password mask of the last layout, "" when shown in clear
    LineCellCache cells_;
};
