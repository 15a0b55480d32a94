// Sections: settings · layout rectangle · measuring · scroll state · line at y · hit-testing ·
// caret rectangle
#include "EditView.h"

#include <algorithm>
#include <cmath>

#include "EditLayout.h"

namespace {
constexpr float tolerance = 1e-7f;
}  // namespace

// ---- settings ----

EditView::EditView(TextBuffer& buffer) : buffer_(buffer) {}

EditView::~EditView() = default;

void EditView::configure(bool multiLine, int scrollMode)
{
    multiLine_ = multiLine;
    scrollMode_ = scrollMode;
    scrollX_ = scrollY_ = 0;
    firstVisibleLine_ = lastVisibleLine_ = 1;
}

void EditView::copyGeometry(const EditView& other)
{
    multiLine_ = other.multiLine_;
    scrollMode_ = other.scrollMode_;
    textArea_ = other.textArea_;
    layoutRect_ = other.layoutRect_;
}

// ---- layout rectangle ----

void EditView::placeText(const RectF& area, float fontHeight)
{
    textArea_ = RectF{area.x + 2, area.y + 2, area.width - 4, area.height - 4};
    if (!multiLine_) {
        const float row = fontHeight + 3;
        textArea_.y += std::trunc((textArea_.height - row) / 2);
        textArea_.height = row;
    }
    textArea_.y += 1;
    if (multiLine_)
        textArea_.height -= 1;
    layoutRect_ = textArea_;
}

float EditView::wrapWidth() const
{
    return scrollMode_ == ScrollVertical ? layoutRect_.width : 0.0f;
}

// ---- measuring ----

void EditView::measureWith(GpGraphics* graphics, GpFont* font, GpStringFormat* format)
{
    if (measuring_ && measuring_->measuresWith(graphics, font))
        return;
    measuring_.reset();
    laidOutWidth_ = -1;
    laidOutMask_.clear();
    cells_.clear();
    if (graphics && font)
        measuring_ = std::make_unique<EditLayout>(graphics, font, format);
}

void EditView::layout(const TextBuffer::Change* change)
{
    if (!measuring_)
        return;
    const float width = wrapWidth();
    // Line boxes depend on the wrap width only when lines wrap; the buffer keeps the unchanged ones.
    const bool isWidthNew = width != laidOutWidth_;
    laidOutWidth_ = width;
    // Password mode on or off, or a new mask, changes how every line is shown.
    const std::string display = buffer_.displayMode() == TextBuffer::passwordMode ? buffer_.maskText() : std::string();
    const bool isDisplayNew = display != laidOutMask_;
    laidOutMask_ = display;
    EditLayout::LineMeasurer measurer(*measuring_, width);
    using Remeasure = TextBuffer::Remeasure;
    buffer_.layout(measurer, scrollMode_, isWidthNew ? Remeasure::AllLines : Remeasure::ChangedLines);
    if (isWidthNew || isDisplayNew)
        cells_.clear();
    else if (change)
        cells_.applyChange(*measuring_, *change, [this](int line) { return displayWide(line); });
}

std::wstring EditView::displayWide(int line) const
{
    return EditLayout::toDisplayWide(buffer_.lineText(line, std::nullopt, true));
}

int EditView::maskWidth() const
{
    if (buffer_.displayMode() != TextBuffer::passwordMode)
        return 1;
    return std::max(TextBuffer::countCharacters(buffer_.maskText()), 1);
}

int EditView::heightOf(std::string_view text) const
{
    if (!measuring_)
        return 0;
    const std::optional<RectF> measured =
        measuring_->measure(EditLayout::toDisplayWide(text), RectF{0, 0, wrapWidth(), 0});
    return measured ? static_cast<int>(measured->height) : buffer_.refHeight();
}

// ---- scroll state ----

void EditView::scrollTo(int x, int y)
{
    scrollX_ = x;
    scrollY_ = y;
}

void EditView::clampScroll()
{
    const int bottom = buffer_.totalHeight() - static_cast<int>(layoutRect_.height);
    if (-scrollY_ > bottom)
        scrollY_ = -bottom;
    const int right = buffer_.maxWidth() - static_cast<int>(layoutRect_.width);
    if (-scrollX_ > right)
        scrollX_ = -right;
    scrollY_ = std::min(scrollY_, 0);
    scrollX_ = std::min(scrollX_, 0);
}

void EditView::scrollToEnd()
{
    scrollY_ = static_cast<int>(layoutRect_.y) - (buffer_.totalHeight() - static_cast<int>(layoutRect_.height));
}

bool EditView::wheel(int delta)
{
    // A text that fits has nowhere to go (the vertical bar's maximum would be below 1).
    if (buffer_.totalHeight() - static_cast<int>(layoutRect_.height) < 1)
        return false;
    const int step = wheelRows * buffer_.refHeight();
    scrollY_ += delta < 1 ? -step : step;
    const int scrollX = scrollX_;
    clampScroll();
    scrollX_ = scrollX;
    return true;
}

void EditView::visibleLines(int first, int last)
{
    firstVisibleLine_ = first;
    lastVisibleLine_ = last;
}

// ---- line at y ----

int EditView::lineAtY(int y, int hint) const
{
    const int count = buffer_.lineCount();
    int line = buffer_.isValidLine(hint) ? hint : 1;
    const auto contains = [&](int n) {
        const RectF box = buffer_.lineBox(n);
        const float fy = static_cast<float>(y);
        return box.y - tolerance <= fy && fy <= box.y + box.height + tolerance;
    };
    if (contains(line))
        return line;
    if (static_cast<float>(y) >= buffer_.lineBox(line).y) {
        for (++line; line <= count; ++line) {
            if (contains(line))
                return line;
        }
        return y > 0 ? count : 0;
    }
    for (--line; line >= 1; --line) {
        if (contains(line))
            return line;
    }
    return 0;
}

// ---- hit-testing ----

TextBuffer::Position EditView::hitTest(float x, float y)
{
    int lx = static_cast<int>(x - layoutRect_.x);
    int ly = static_cast<int>(y - layoutRect_.y);
    const int ty = ly - scrollY_;
    const int line = std::max(lineAtY(ty, firstVisibleLine_), 1);
    lx = std::max(lx, 0);
    if (ty <= 0)
        ly = scrollY_;
    else if (ty > buffer_.totalHeight())
        ly = buffer_.totalHeight() + scrollY_;
    if (!measuring_)
        return {line, 0};

    // The cells are kept in the line's own coordinates; the point is moved there.
    const RectF box = buffer_.lineBox(line);
    const LineCellCache::LineCells* kept = cells_.find(line, wrapWidth());
    const LineCellCache::LineCells& cached =
        kept ? *kept : cells_.measure(*measuring_, line, displayWide(line), wrapWidth());
    const int characters = static_cast<int>(cached.cells.size());
    // The row under the point: x is clamped into it so that a click beside a row hits its ends.
    float px = static_cast<float>(lx - scrollX_) - box.x;
    const float py = static_cast<float>(ly - scrollY_) - box.y;
    for (const RectF& scan : cached.scans) {
        const float top = scan.y - 2, height = scan.height + 4;
        if (top - tolerance <= py && py <= top + height + tolerance) {
            px = std::clamp(px, scan.x, scan.x + scan.width);
            break;
        }
    }
    if (characters == 0)
        return {line, 0};

    // Binary search over the characters. One past the end has no cell and ends the search there; a
    // point between two cells ends it at the boundary between them.
    int lo = 0, hi = characters, column = -1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        if (mid >= characters || !cached.cells[static_cast<size_t>(mid)]) {
            column = mid;
            break;
        }
        RectF cell = *cached.cells[static_cast<size_t>(mid)];
        cell.y -= 6;
        cell.height += 11;
        const bool rowsHold = cell.y <= py && py <= cell.y + cell.height;
        if (rowsHold && cell.x <= px && px <= cell.x + cell.width) {
            column = px > cell.x + cell.width / 2 ? mid + 1 : mid;
            break;
        }
        if (cell.y > py || (rowsHold && cell.x > px))
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    if (column < 0)
        column = lo;
    column = std::clamp(column, 0, characters);
    if (buffer_.displayMode() == TextBuffer::passwordMode) {
        // The display shows maskText per character.
        const int mask = maskWidth();
        column = std::min((column + mask / 2) / mask, buffer_.characterCount(line));
    }
    return {line, column};
}

// ---- caret rectangle ----

RectF EditView::caretRect(int line, int& column, bool scrollIntoView, int extraHeight)
{
    const RectF box = buffer_.lineBox(line);
    const std::wstring display = displayWide(line);
    const int mask = maskWidth();
    const int characters = static_cast<int>(display.size()) / mask;
    if (column >= characters)
        column = characters - 1;

    RectF caret{box.x, box.y, 1, box.height};
    if (column >= 0 && measuring_) {
        const RectF measuringBox{box.x, box.y, wrapWidth(), 0};
        const int first = column * mask + mask - 1;
        std::optional<RectF> cell = measuring_->rangeBounds(display, first, 1, measuringBox);
        if (cell && (cell->width != 0 || cell->height != 0)) {
            caret.x = cell->x + cell->width;
            caret.y = cell->y;
        } else {
            // A character GDI+ does not measure (a trailing tab under Wine): measure up to it with a space
            // behind and step back by half a reference glyph.
            const std::wstring upTo = display.substr(0, static_cast<size_t>(first + 1)) + L" ";
            const std::optional<RectF> whole = measuring_->measure(upTo, measuringBox);
            const std::optional<RectF> last = measuring_->rangeBounds(upTo, first + 1, 1, measuringBox);
            if (last) {
                caret.x = last->x;
                caret.y = last->y;
            } else if (whole) {
                caret.x = whole->x + whole->width - static_cast<float>(buffer_.refWidth()) / 2;
                caret.y = box.y;
            }
        }
    }
    caret.x = std::trunc(caret.x) + layoutRect_.x + static_cast<float>(scrollX_);
    caret.y = std::trunc(caret.y) + layoutRect_.y - 2 + static_cast<float>(scrollY_);
    caret.width = 1;
    caret.height = static_cast<float>(buffer_.refHeight() + (multiLine_ ? 1 : 0));
    if (!scrollIntoView)
        return caret;
    bringIntoView(caret, extraHeight);
    return caretRect(line, column, false, 0);
}

void EditView::bringIntoView(const RectF& caret, int extraHeight)
{
    const float top = layoutRect_.y - 2, bottom = layoutRect_.y + layoutRect_.height - 2;
    if (caret.y < top)
        scrollY_ = scrollY_ - static_cast<int>(caret.y) + static_cast<int>(caret.height);
    if (caret.y + caret.height > bottom) {
        // One row further plus the height of freshly inserted text, and never less than the whole
        // distance: after the wheel took the view away, the caret may lie many rows below it.
        const int below = static_cast<int>(std::ceil(caret.y + caret.height - bottom));
        scrollY_ -= std::max(static_cast<int>(caret.height) + extraHeight, below);
    }
    if (caret.x > layoutRect_.x + layoutRect_.width)
        scrollX_ = scrollX_ - static_cast<int>(caret.x - layoutRect_.width);
    if (caret.x < layoutRect_.x)
        scrollX_ = scrollX_ + static_cast<int>(layoutRect_.x - caret.x + layoutRect_.width / 5);
    clampScroll();
}
