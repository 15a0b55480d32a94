#pragma once
// A measurer with fixed metrics: every character 7 pixels wide, rows 16 high, the reference glyph
// 12 x 16; with a wrap width, a text takes as many rows as it needs.
#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "TextBuffer.h"

class FakeMeasurer : public TextBuffer::Measurer {
public:
    explicit FakeMeasurer(int wrapWidth = 0) : wrapWidth(wrapWidth) {}

    std::optional<RectF> measure(std::string_view text) override
    {
        if (text == TextBuffer::referenceGlyph)
            return RectF{0, 0, static_cast<float>(refWidth), static_cast<float>(rowHeight)};
        ++lineMeasurements;
        measured.emplace_back(text);
        if (failing.count(std::string(text)))
            return std::nullopt;
        float width = 7.0f * static_cast<float>(TextBuffer::countCharacters(text));
        int rows = 1;
        if (wrapWidth > 0 && width > static_cast<float>(wrapWidth))
            rows = (static_cast<int>(width) + wrapWidth - 1) / wrapWidth;
        return RectF{3, 5, wrapWidth > 0 ? std::min(width, static_cast<float>(wrapWidth)) : width,
                     static_cast<float>(rows * rowHeight)};
    }

    void reset()
    {
        lineMeasurements = 0;
        measured.clear();
    }

    int wrapWidth = 0;
    int rowHeight = 16;
    int refWidth = 12;
    int lineMeasurements = 0;
    std::vector<std::string> measured;
    std::set<std::string> failing;
};
