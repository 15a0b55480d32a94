// Sections: lookup · renumbering · measuring · updating an edited line
#include "LineCellCache.h"

#include "EditLayout.h"

namespace {

constexpr float tabFirstStop = 1.0f + 8.0f;
constexpr float tabStep = 8.0f;
// A line measured in one batch of ranges is as cheap to measure again as to update.
constexpr size_t shortLine = 32;

float rightOf(const RectF& r)
{
    return r.x + r.width;
}

}  // namespace

// ---- lookup ----

const LineCellCache::LineCells* LineCellCache::find(int line, float wrapWidth) const
{
    const auto found = lines_.find(line);
    if (found == lines_.end() || !found->second.isMeasured || found->second.wrapWidth != wrapWidth)
        return nullptr;
    return &found->second;
}

const LineCellCache::LineCells& LineCellCache::measure(const EditLayout& layout, int line, const std::wstring& text,
                                                       float wrapWidth)
{
    LineCells& entry = lines_[line];
    measureInto(layout, entry, text, wrapWidth);
    return entry;
}

// ---- renumbering ----

std::map<int, LineCellCache::LineCells> LineCellCache::renumber(const TextBuffer::Change& change)
{
    std::map<int, LineCells> replaced;
    std::map<int, LineCells> kept;
    const int first = change.firstChangedLine;
    const int shift = change.linesInserted - change.linesRemoved;
    for (auto& [line, entry] : lines_) {
        if (line < first)
            kept.emplace(line, std::move(entry));
        else if (line < first + change.linesRemoved)
            replaced.emplace(line - first, std::move(entry));
        else
            kept.emplace(line + shift, std::move(entry));
    }
    lines_ = std::move(kept);
    return replaced;
}

// ---- measuring ----

void LineCellCache::measureInto(const EditLayout& layout, LineCells& entry, const std::wstring& text, float wrapWidth)
{
    const std::wstring shown = text.empty() ? std::wstring(L"\t") : text;
    const RectF box{0, 0, wrapWidth, 0};
    entry.scans = layout.rangeScans(shown, 0, static_cast<int>(shown.size()), box);
    entry.cells = layout.characterBounds(shown, static_cast<int>(text.size()), box);
    entry.text = text;
    entry.wrapWidth = wrapWidth;
    entry.isMeasured = true;
}

// ---- updating an edited line ----

bool LineCellCache::update(const EditLayout& layout, LineCells& entry, const std::wstring& text)
{
    const std::wstring& old = entry.text;
    // Rows of a wrapping line may break anew anywhere behind the edit.
    if (!entry.isMeasured || entry.wrapWidth != 0 || entry.scans.size() != 1 || old.empty() ||
        text.size() <= shortLine)
        return false;
    for (const std::optional<RectF>& cell : entry.cells) {
        if (!cell)
            return false;
    }
    size_t prefix = 0;
    while (prefix < old.size() && prefix < text.size() && old[prefix] == text[prefix])
        ++prefix;
    size_t suffix = 0;
    while (suffix < old.size() - prefix && suffix < text.size() - prefix &&
           old[old.size() - 1 - suffix] == text[text.size() - 1 - suffix])
        ++suffix;
    const size_t removed = old.size() - prefix - suffix;
    const size_t inserted = text.size() - prefix - suffix;
    const std::wstring_view added = std::wstring_view(text).substr(prefix, inserted);
    if (added.find(L'\t') != std::wstring_view::npos)
        return false;

    // Characters before the edit keep their places; the first new one starts where the first old one
    // behind the prefix started (or where the line ended).
    std::vector<std::optional<RectF>> cells(entry.cells.begin(),
                                            entry.cells.begin() + static_cast<std::ptrdiff_t>(prefix));
    cells.reserve(text.size());
    const float start = prefix < old.size() ? entry.cells[prefix]->x : rightOf(*entry.cells[prefix - 1]);

    // The new characters and the one behind them (unless it is a tab, placed below) are measured alone.
    const bool withNext = suffix > 0 && text[prefix + inserted] != L'\t';
    const std::wstring window = std::wstring(added) + (withNext ? text.substr(prefix + inserted, 1) : L"");
    float pen = start;
    if (!window.empty()) {
        const std::vector<std::optional<RectF>> measured =
            layout.characterBounds(window, static_cast<int>(window.size()), RectF{});
        for (const std::optional<RectF>& cell : measured) {
            if (!cell)
                return false;
        }
        const float shift = start - measured.front()->x;
        for (size_t i = 0; i < inserted; ++i) {
            RectF cell = *measured[i];
            cell.x += shift;
            cells.push_back(cell);
        }
        pen = withNext ? measured[inserted]->x + shift : inserted ? rightOf(*cells.back()) : start;
    }

    // Characters behind the edit move with it; a tab among them ends at the next stop, and what
    // follows it moves as that stop did.
    float shift = suffix > 0 ? pen - entry.cells[prefix + removed]->x : 0;
    for (size_t i = 0; i < suffix; ++i) {
        const RectF& before = *entry.cells[prefix + removed + i];
        RectF cell = before;
        if (text[prefix + inserted + i] == L'\t') {
            const float at = cells.empty() ? start : rightOf(*cells.back());
            float stop = tabFirstStop;
            while (stop <= at + 0.01f)
                stop += tabStep;
            cell.x = at;
            cell.width = stop - at;
            shift = stop - rightOf(before);
        } else {
            cell.x += shift;
        }
        cells.push_back(cell);
    }

    RectF& row = entry.scans.front();
    row.x = cells.front()->x;
    row.width = rightOf(*cells.back()) - row.x;
    entry.cells = std::move(cells);
    entry.text = text;
    return true;
}
