#include "EditLayout.h"

#include <algorithm>

#include "Canvas.h"
#include "StringFormatHelper.h"
#include "Text.h"

EditLayout::EditLayout(GpGraphics* graphics, GpFont* font, GpStringFormat* format)
    : graphics_(graphics), font_(font), format_(format)
{
    if (GDIP(GdipCreateRegion)(&region_) != Gdiplus::Ok)
        region_ = nullptr;
    if (GDIP(GdipCreateMatrix)(&identity_) != Gdiplus::Ok)
        identity_ = nullptr;
}

EditLayout::~EditLayout()
{
    if (region_)
        GDIP(GdipDeleteRegion)(region_);
    if (identity_)
        GDIP(GdipDeleteMatrix)(identity_);
    for (GpRegion* region : batchRegions_)
        GDIP(GdipDeleteRegion)(region);
}

namespace {

bool isIdeographic(wchar_t c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
           (c >= 0x3000 && c <= 0x303F) || c == 0x201C || c == 0x201D || c == 0x2018 || c == 0x2019;
}

// Chinese text breaks between any two characters, except before closing punctuation and after
// opening punctuation, as GDI+ does.
bool breaksBefore(wchar_t previous, wchar_t c)
{
    static constexpr std::wstring_view noBreakBefore = L"\x3001\x3002\xFF0C\xFF0E\xFF1A\xFF1B\xFF1F\xFF01\xFF09"
                                                       L"\x300B\x300D\x300F\x3011\x201D\x2019\xFF5E.,;:!?)";
    static constexpr std::wstring_view noBreakAfter = L"\xFF08\x300A\x300C\x300E\x3010\x201C\x2018(";
    if (!isIdeographic(previous) && !isIdeographic(c))
        return false;
    return noBreakBefore.find(c) == std::wstring_view::npos && noBreakAfter.find(previous) == std::wstring_view::npos;
}
constexpr float tabFirstStop = 1.0f + 8.0f;
constexpr float tabStep = 8.0f;
constexpr int rangesPerBatch = 32;  // GDI+ refuses more measurable ranges in one format
constexpr int formatFlags = 0x400 | 0x800 | 0x4000;  // NoFontFallback | MeasureTrailingSpaces | NoClip
constexpr int lineLimitFlag = 0x2000;
constexpr float tabFirstOffset = 1.0f;
}  // namespace

GpStringFormat* EditLayout::createFormat(bool limitLines)
{
    StringFormatHelper helper;
    if (!helper.createFormat(formatFlags | (limitLines ? lineLimitFlag : 0), 0, false))
        return nullptr;
    helper.trimming(Gdiplus::StringTrimmingNone);
    const float stops[] = {tabStep};
    GDIP(GdipSetStringFormatTabStops)(helper.nativeHandle(), tabFirstOffset, 1, stops);
    // Made with owns = false: the helper leaves the format alive.
    return helper.nativeHandle();
}

bool EditLayout::emulatesTabs(std::wstring_view text, const RectF&) const
{
    if (text.find(L'\t') == std::wstring_view::npos)
        return false;
    if (tabsBroken_ == -1) {
        tabsBroken_ = 0;
        const RectF origin{0, 0, 0, 0};
        if (measureRegion(L"a", 0, 1, origin)) {
            RectF bounds;
            GDIP(GdipGetRegionBounds)(region_, graphics_, gpRect(&bounds));
            padding_ = bounds.x;
            rowHeight_ = bounds.height;
            tabsBroken_ = measureRegion(L"a\tb", 2, 1, origin) ? 0 : 1;
        }
    }
    return tabsBroken_ == 1;
}

std::vector<RectF> EditLayout::cells(std::wstring_view text, const RectF& box) const
{
    // The caret, the selection and hit-testing ask for the same line many times in a row.
    if (text == lastCellsText_ && box.x == lastCellsBox_.x && box.y == lastCellsBox_.y &&
        box.width == lastCellsBox_.width)
        return lastCells_;
    lastCells_ = placeCells(text, box);
    lastCellsText_.assign(text);
    lastCellsBox_ = box;
    return lastCells_;
}

std::vector<RectF> EditLayout::placeCells(std::wstring_view text, const RectF& box) const
{
    // Each run of other characters is measured on its own; its characters keep their offsets and
    // widths, and advance the pen by the distance to the next one (the last by the run's right edge).
    std::vector<float> width(text.size(), 0), advance(text.size(), 0);
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == L'\t') {
            ++at;
            continue;
        }
        size_t end = text.find(L'\t', at);
        if (end == std::wstring_view::npos)
            end = text.size();
        const std::wstring_view segment = text.substr(at, end - at);
        const RectF origin{0, box.y, 0, 0};
        std::vector<float> left(segment.size(), 0);
        float right = 0;
        // The segment holds no tab, so its characters are measured in batches.
        const std::vector<std::optional<RectF>> measured =
            characterBounds(segment, static_cast<int>(segment.size()), origin);
        for (size_t i = 0; i < segment.size(); ++i) {
            const RectF cell = measured[i].value_or(RectF{0, box.y, 0, rowHeight_});
            left[i] = cell.x;
            width[at + i] = cell.width;
            right = std::max(right, cell.x + cell.width);
        }
        for (size_t i = 0; i < segment.size(); ++i)
            advance[at + i] = (i + 1 < segment.size() ? left[i + 1] : right) - left[i];
        at = end;
    }

    // Placement: tabs jump to the next stop of their row; in a box with a width a character that
    // would cross its right edge starts a new row, taking the row's last word with it as GDI+ does.
    std::vector<RectF> result(text.size());
    const float rowLeft = box.x;
    const bool wraps = box.width > 0;
    float pen = rowLeft + padding_, top = box.y;
    size_t rowStart = 0, wordStart = 0;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == L'\t') {
            float stop = rowLeft + tabFirstStop;
            while (stop <= pen + 0.01f)
                stop += tabStep;
            result[i] = RectF{pen, top, stop - pen, rowHeight_};
            pen = stop;
            wordStart = ++i;
            continue;
        }
        if (i > rowStart && breaksBefore(text[i - 1], text[i]))
            wordStart = i;
        if (wraps && i > rowStart && pen + width[i] > box.x + box.width + 0.01f) {
            const size_t next = wordStart > rowStart ? wordStart : i;
            rowStart = wordStart = i = next;
            pen = rowLeft + padding_;
            top += rowHeight_;
            continue;
        }
        result[i] = RectF{pen, top, width[i], rowHeight_};
        pen += advance[i];
        ++i;
    }
    return result;
}

void EditLayout::draw(std::wstring_view text, const RectF& box, GpBrush* brush) const
{
    if (!graphics_ || !font_ || !brush)
        return;
    if (!emulatesTabs(text, box)) {
        const std::wstring copy(text);
        GDIP(GdipDrawString)(graphics_, copy.c_str(), static_cast<INT>(copy.size()), font_, gpRect(&box), format_,
                             brush);
        return;
    }
    const std::vector<RectF> placed = cells(text, box);
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == L'\t') {
            ++at;
            continue;
        }
        size_t end = at + 1;
        while (end < text.size() && text[end] != L'\t' && placed[end].y == placed[at].y)
            ++end;
        const std::wstring segment(text.substr(at, end - at));
        const RectF where{placed[at].x - padding_, placed[at].y, 0, 0};
        GDIP(GdipDrawString)(graphics_, segment.c_str(), static_cast<INT>(segment.size()), font_, gpRect(&where),
                             format_, brush);
        at = end;
    }
}

std::optional<RectF> EditLayout::measure(std::wstring_view text, const RectF& box) const
{
    if (!graphics_ || !font_)
        return std::nullopt;
    if (emulatesTabs(text, box)) {
        const std::vector<RectF> placed = cells(text, box);
        float right = placed.empty() ? box.x : placed.back().x + placed.back().width;
        float bottom = box.y + rowHeight_;
        for (const RectF& cell : placed) {
            if (box.width > 0)
                right = std::max(right, cell.x + cell.width);
            bottom = std::max(bottom, cell.y + cell.height);
        }
        return RectF{box.x, box.y, right + padding_ - box.x, bottom - box.y};
    }
    RectF out;
    const std::wstring copy(text);
    if (GDIP(GdipMeasureString)(graphics_, copy.c_str(), static_cast<INT>(copy.size()), font_, gpRect(&box), format_,
                                gpRect(&out), nullptr, nullptr) != Gdiplus::Ok)
        return std::nullopt;
    return out;
}

bool EditLayout::measureRegion(std::wstring_view text, int first, int length, const RectF& box) const
{
    if (!graphics_ || !font_ || !format_ || !region_ || text.empty() || first < 0 || length <= 0)
        return false;
    const Gdiplus::CharacterRange range(first, length);
    if (GDIP(GdipSetStringFormatMeasurableCharacterRanges)(format_, 1, &range) != Gdiplus::Ok)
        return false;
    const std::wstring copy(text);
    GpRegion* regions[1] = {region_};
    if (GDIP(GdipMeasureCharacterRanges)(graphics_, copy.c_str(), static_cast<INT>(copy.size()), font_, *gpRect(&box),
                                         format_, 1, regions) != Gdiplus::Ok)
        return false;
    BOOL isEmpty = TRUE;
    if (GDIP(GdipIsEmptyRegion)(region_, graphics_, &isEmpty) != Gdiplus::Ok)
        return false;
    return !isEmpty;
}

std::optional<RectF> EditLayout::rangeBounds(std::wstring_view text, int first, int length, const RectF& box) const
{
    if (emulatesTabs(text, box)) {
        if (first < 0 || length <= 0 || first >= static_cast<int>(text.size()))
            return std::nullopt;
        const std::vector<RectF> placed = cells(text, box);
        const int last = std::min(first + length, static_cast<int>(text.size())) - 1;
        const RectF& a = placed[static_cast<size_t>(first)];
        const RectF& b = placed[static_cast<size_t>(last)];
        if (a.y == b.y)
            return RectF{a.x, a.y, b.x + b.width - a.x, std::max(a.height, b.height)};
        float x0 = a.x, x1 = a.x + a.width, y1 = b.y + b.height;
        for (int i = first; i <= last; ++i) {
            x0 = std::min(x0, placed[static_cast<size_t>(i)].x);
            x1 = std::max(x1, placed[static_cast<size_t>(i)].x + placed[static_cast<size_t>(i)].width);
        }
        return RectF{x0, a.y, x1 - x0, y1 - a.y};
    }
    if (!measureRegion(text, first, length, box))
        return std::nullopt;
    RectF bounds;
    if (GDIP(GdipGetRegionBounds)(region_, graphics_, gpRect(&bounds)) != Gdiplus::Ok)
        return std::nullopt;
    return bounds;
}

std::vector<RectF> EditLayout::rangeScans(std::wstring_view text, int first, int length, const RectF& box) const
{
    std::vector<RectF> scans;
    if (emulatesTabs(text, box)) {
        // One scan per row of the range.
        if (first < 0 || length <= 0 || first >= static_cast<int>(text.size()))
            return scans;
        const std::vector<RectF> placed = cells(text, box);
        const int last = std::min(first + length, static_cast<int>(text.size())) - 1;
        int rowFirst = first;
        for (int i = first; i <= last; ++i) {
            if (i == last || placed[static_cast<size_t>(i + 1)].y != placed[static_cast<size_t>(rowFirst)].y) {
                if (const std::optional<RectF> row = rangeBounds(text, rowFirst, i - rowFirst + 1, box))
                    scans.push_back(*row);
                rowFirst = i + 1;
            }
        }
        return scans;
    }
    if (!measureRegion(text, first, length, box))
        return scans;
    INT count = 0;
    if (identity_ && GDIP(GdipGetRegionScansCount)(region_, reinterpret_cast<UINT*>(&count), identity_) == Gdiplus::Ok &&
        count > 0) {
        scans.resize(static_cast<size_t>(count));
        if (GDIP(GdipGetRegionScans)(region_, gpRect(scans.data()), &count, identity_) != Gdiplus::Ok)
            count = 0;
        scans.resize(static_cast<size_t>(count > 0 ? count : 0));
    }
    if (scans.empty()) {
        // Wine once answered a range ending in a tab with bounds but no scans.
        RectF bounds;
        if (GDIP(GdipGetRegionBounds)(region_, graphics_, gpRect(&bounds)) == Gdiplus::Ok &&
            (bounds.width > 0 || bounds.height > 0))
            scans.push_back(bounds);
    }
    return scans;
}

bool EditLayout::makeBatchRegions() const
{
    while (batchRegions_.size() < rangesPerBatch) {
        GpRegion* region = nullptr;
        if (GDIP(GdipCreateRegion)(&region) != Gdiplus::Ok)
            return false;
        batchRegions_.push_back(region);
    }
    return true;
}

std::vector<std::optional<RectF>> EditLayout::characterBounds(std::wstring_view text, int count,
                                                              const RectF& box) const
{
    count = std::clamp(count, 0, static_cast<int>(text.size()));
    std::vector<std::optional<RectF>> bounds(static_cast<size_t>(count));
    if (count == 0)
        return bounds;
    if (emulatesTabs(text, box)) {
        const std::vector<RectF> placed = cells(text, box);
        std::copy(placed.begin(), placed.begin() + count, bounds.begin());
        return bounds;
    }
    const bool batched = graphics_ && font_ && format_ && makeBatchRegions();
    const std::wstring copy(text);
    for (int first = 0; first < count; first += rangesPerBatch) {
        const int n = std::min(rangesPerBatch, count - first);
        Gdiplus::CharacterRange ranges[rangesPerBatch];
        for (int k = 0; k < n; ++k)
            ranges[k] = Gdiplus::CharacterRange(first + k, 1);
        if (!batched || GDIP(GdipSetStringFormatMeasurableCharacterRanges)(format_, n, ranges) != Gdiplus::Ok ||
            GDIP(GdipMeasureCharacterRanges)(graphics_, copy.c_str(), static_cast<INT>(copy.size()), font_,
                                             *gpRect(&box), format_, n, batchRegions_.data()) != Gdiplus::Ok) {
            for (int k = 0; k < n; ++k)
                bounds[static_cast<size_t>(first + k)] = rangeBounds(text, first + k, 1, box);
            continue;
        }
        // A region is empty exactly when its bounds have no area: one query per character, not two.
        for (int k = 0; k < n; ++k) {
            RectF cell;
            if (GDIP(GdipGetRegionBounds)(batchRegions_[static_cast<size_t>(k)], graphics_, gpRect(&cell)) ==
                    Gdiplus::Ok &&
                cell.width > 0 && cell.height > 0)
                bounds[static_cast<size_t>(first + k)] = cell;
        }
    }
    return bounds;
}

std::wstring EditLayout::toDisplayWide(std::string_view display)
{
    const int characters = TextBuffer::countCharacters(display);
    std::wstring wide = toWide(display);
    if (static_cast<int>(wide.size()) == characters)
        return wide;
    // An ill-formed double-byte pair: convert character by character to keep columns aligned.
    wide.clear();
    wide.reserve(static_cast<size_t>(characters));
    size_t at = 0;
    while (at < display.size()) {
        const size_t size = TextBuffer::characterBytes(display.substr(at), 1);
        const std::wstring one = toWide(display.substr(at, size));
        wide.push_back(one.size() == 1 ? one[0] : L'?');
        at += size ? size : 1;
    }
    return wide;
}

std::optional<RectF> EditLayout::LineMeasurer::measure(std::string_view displayText)
{
    const RectF box{0, 0, wrapWidth_, 0};
    std::optional<RectF> measured = layout_.measure(toDisplayWide(displayText), box);
    if (measured)
        measured->x = 0;
    return measured;
}
