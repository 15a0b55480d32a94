#pragma once
// What hit-testing needs of each line of an edit control: the row rectangles of the whole line and the
// bounds of every character, in the line's own coordinates (the line box's top-left at 0, 0). A line
// keeps them across edits that do not touch it; an edited line that does not wrap is brought up to
// date from its old cells, measuring only the characters that went in.
#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Forward.h"
#include "TextBuffer.h"

class EditLayout;

class LineCellCache {
public:
    struct LineCells {
        std::wstring text;  // the display text the cells belong to
        float wrapWidth = 0;
        bool isMeasured = false;
        std::vector<RectF> scans;
        std::vector<std::optional<RectF>> cells;  // one per character; nullopt where GDI+ gave none
    };

    // The kept cells of `line` when they were measured in this wrap width; nothing else is checked:
    // the owner tells every change of the text (applyChange) and of its display form (clear).
    const LineCells* find(int line, float wrapWidth) const;
    // Measures `line` showing `text` and keeps the cells. An empty line is measured as one tab: it
    // has a row but no characters.
    const LineCells& measure(const EditLayout& layout, int line, const std::wstring& text, float wrapWidth);
    // After an edit: lines behind the change are renumbered, the changed ones are brought up to date
    // with `displayOf` (their new display text) where that is cheaper than measuring them again.
    template <typename DisplayOf>
    void applyChange(const EditLayout& layout, const TextBuffer::Change& change, DisplayOf displayOf);
    void clear() { lines_.clear(); }
    int size() const { return static_cast<int>(lines_.size()); }

private:
    // Moves the entries behind the change to their new line numbers and hands out those of the
    // replaced lines, keyed by their offset in the change.
    std::map<int, LineCells> renumber(const TextBuffer::Change& change);
    // Moves `entry` to `text` when the edit between them can be measured alone; false otherwise.
    static bool update(const EditLayout& layout, LineCells& entry, const std::wstring& text);
    static void measureInto(const EditLayout& layout, LineCells& entry, const std::wstring& text, float wrapWidth);

    std::map<int, LineCells> lines_;
};

template <typename DisplayOf>
void LineCellCache::applyChange(const EditLayout& layout, const TextBuffer::Change& change, DisplayOf displayOf)
{
    // A replaced line takes over the old line at its place (a typed character, a line split or
    // joined): its cells are updated or dropped.
    for (auto& [offset, entry] : renumber(change)) {
        if (offset >= change.linesInserted)
            break;
        const int line = change.firstChangedLine + offset;
        if (update(layout, entry, displayOf(line)))
            lines_[line] = std::move(entry);
    }
}
