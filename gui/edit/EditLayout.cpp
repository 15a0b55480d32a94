#include "EditLayout.h"

#include <algorithm>

#include "Canvas.h"
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
}

namespace {
constexpr float tabFirstStop = 1.0f + 8.0f;
constexpr float tabStep = 8.0f;
}  // namespace

bool EditLayout::emulatesTabs(std::wstring_view text, const RectF& box) const
{
    if (box.width != 0 || text.find(L'\t') == std::wstring_view::npos)
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
    std::vector<RectF> result(text.size());
    float pen = box.x + padding_;
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == L'\t') {
            float stop = box.x + tabFirstStop;
            while (stop <= pen + 0.01f)
                stop += tabStep;
            result[at] = RectF{pen, box.y, stop - pen, rowHeight_};
            pen = stop;
            ++at;
            continue;
        }
        size_t end = text.find(L'\t', at);
        if (end == std::wstring_view::npos)
            end = text.size();
        const std::wstring_view segment = text.substr(at, end - at);
        const RectF origin{0, box.y, 0, 0};
        float firstLeft = 0, right = pen;
        for (size_t i = 0; i < segment.size(); ++i) {
            RectF cell{0, box.y, 0, rowHeight_};
            if (measureRegion(segment, static_cast<int>(i), 1, origin))
                GDIP(GdipGetRegionBounds)(region_, graphics_, gpRect(&cell));
            if (i == 0)
                firstLeft = cell.x;
            cell.x = pen + (cell.x - firstLeft);
            result[at + i] = cell;
            right = std::max(right, cell.x + cell.width);
        }
        pen = right;
        at = end;
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
        size_t end = text.find(L'\t', at);
        if (end == std::wstring_view::npos)
            end = text.size();
        const std::wstring segment(text.substr(at, end - at));
        const RectF where{placed[at].x - padding_, box.y, 0, 0};
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
        const float right = placed.empty() ? box.x : placed.back().x + placed.back().width;
        return RectF{box.x, box.y, right + padding_ - box.x, rowHeight_};
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
        return RectF{a.x, a.y, b.x + b.width - a.x, std::max(a.height, b.height)};
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
        if (const std::optional<RectF> bounds = rangeBounds(text, first, length, box))
            scans.push_back(*bounds);
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
