// Thousands of random edits, each checked against a plain model of the text: whole-text
// normalisation, line splitting and character tokenising written out the obvious way.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "FakeMeasurer.h"
#include "TextBuffer.h"

namespace {

// No 'u' among the ASCII pieces: a lone 'u' could only be the torn second byte of "泆".
const std::vector<std::string> alphabet = {
    "a", "Z", "5", " ", "-", "\r\n", "\r\n", "\r", "\n",
    "\xD6\xD0", "\x9B" "u", "\xB7\xC9", "\xCE\xC4", "\xBE\xA8",
};

std::string normalised(std::string_view text, bool multiLine)
{
    std::string_view kept = multiLine ? text : text.substr(0, text.find("\r\n"));
    std::string out;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (kept[i] == '\n' && (i == 0 || kept[i - 1] != '\r'))
            continue;
        out += kept[i];
    }
    return out;
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            lines.emplace_back();
            ++i;
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

std::vector<std::string> charactersOf(const std::string& line)
{
    std::vector<std::string> characters;
    for (size_t i = 0; i < line.size();) {
        size_t size = static_cast<unsigned char>(line[i]) >= 0x80 && i + 1 < line.size() ? 2 : 1;
        characters.push_back(line.substr(i, size));
        i += size;
    }
    return characters;
}

// The byte positions an edit may start or end at, in order: every character start and line end.
std::vector<int> boundariesOf(const std::string& text)
{
    std::vector<int> boundaries;
    int start = 1;
    for (const std::string& line : linesOf(text)) {
        int offset = 0;
        for (const std::string& character : charactersOf(line)) {
            boundaries.push_back(start + offset);
            offset += static_cast<int>(character.size());
        }
        boundaries.push_back(start + offset);
        start += offset + 2;
    }
    return boundaries;
}

int snapped(const std::vector<int>& boundaries, int position)
{
    int last = boundaries.back();
    position = std::clamp(position, 1, last);
    return *(std::upper_bound(boundaries.begin(), boundaries.end(), position) - 1);
}

class Fuzzer {
public:
    Fuzzer(unsigned seed, bool multiLine) : random(seed), multiLine(multiLine) {}

    int below(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }

    std::string randomText()
    {
        std::string text;
        for (int n = below(9); n > 0; --n)
            text += alphabet[static_cast<size_t>(below(static_cast<int>(alphabet.size())))];
        return text;
    }

    // A byte position, mostly from a valid (line, column), sometimes any byte in and around the text.
    int randomPosition()
    {
        if (below(4) == 0)
            return below(buffer.length() + 4) - 1;
        int line = 1 + below(buffer.lineCount());
        return buffer.bytePosition({line, below(buffer.characterCount(line) + 1)});
    }

    void step()
    {
        const std::string before = buffer.text();
        const std::vector<std::string> oldLines = linesOf(before);
        const std::vector<int> boundaries = boundariesOf(before);
        bool isDelete = below(before.size() > 2500 ? 3 : 10) < 4;
        int a = randomPosition();
        // Deletions are mostly short, like typing, so the text grows to many lines.
        int b = !isDelete ? a : below(20) == 0 ? randomPosition() : a + below(13) - 6;
        std::string inserted = isDelete ? "" : randomText();
        int from = snapped(boundaries, std::min(a, b));
        int to = snapped(boundaries, std::max(a, b));

        std::string head = before.substr(0, static_cast<size_t>(from - 1));
        std::string tail = before.substr(static_cast<size_t>(to - 1));
        std::string expected;
        int expectedEnd;
        if (multiLine) {
            expected = normalised(head + inserted + tail, true);
            expectedEnd = static_cast<int>(normalised(head + inserted, true).size()) + 1;
        } else {
            std::string piece = normalised(inserted, false);
            expected = head + piece + tail;
            expectedEnd = from + static_cast<int>(piece.size());
        }

        TextBuffer::Change change = isDelete ? buffer.deleteRange(a, b, multiLine)
                                             : buffer.insertAt(a, inserted, multiLine);
        ASSERT_EQ(buffer.text(), expected);
        EXPECT_EQ(change.end, expectedEnd);
        checkLineTable(expected);
        checkChange(change, oldLines, linesOf(expected));
        checkPositions(expected);
        checkLayout(expected);
        maxLines = std::max(maxLines, buffer.lineCount());
    }

    void checkLineTable(const std::string& text)
    {
        std::vector<std::string> lines = linesOf(text);
        ASSERT_EQ(buffer.lineCount(), static_cast<int>(lines.size()));
        int start = 1;
        for (int line = 1; line <= buffer.lineCount(); ++line) {
            const std::string& expected = lines[static_cast<size_t>(line - 1)];
            ASSERT_EQ(buffer.lineStart(line), start) << line;
            ASSERT_EQ(buffer.lineText(line), expected) << line;
            std::vector<std::string> characters = charactersOf(expected);
            ASSERT_EQ(buffer.characterCount(line), static_cast<int>(characters.size())) << line;
            for (const std::string& character : characters)
                ASSERT_TRUE(character == "\r" || std::find(alphabet.begin(), alphabet.end(), character) != alphabet.end())
                    << "a torn character on line " << line;
            start += static_cast<int>(expected.size()) + 2;
        }
    }

    void checkChange(const TextBuffer::Change& change, const std::vector<std::string>& oldLines,
                     const std::vector<std::string>& newLines)
    {
        int first = change.firstChangedLine;
        ASSERT_GE(first, 1);
        ASSERT_EQ(static_cast<int>(newLines.size()),
                  static_cast<int>(oldLines.size()) - change.linesRemoved + change.linesInserted);
        ASSERT_LE(first - 1 + change.linesRemoved, static_cast<int>(oldLines.size()));
        for (int i = 0; i < first - 1; ++i)
            ASSERT_EQ(oldLines[static_cast<size_t>(i)], newLines[static_cast<size_t>(i)]) << "line " << i + 1;
        int unchangedAfter = static_cast<int>(oldLines.size()) - (first - 1 + change.linesRemoved);
        for (int i = 1; i <= unchangedAfter; ++i)
            ASSERT_EQ(oldLines[oldLines.size() - static_cast<size_t>(i)], newLines[newLines.size() - static_cast<size_t>(i)]);
        // A single-line edit must not report more than the one line.
        if (!multiLine) {
            ASSERT_EQ(change.linesInserted, 1);
        }
    }

    void checkPositions(const std::string& text)
    {
        std::vector<int> boundaries = boundariesOf(text);
        for (int n = 0; n < 4; ++n) {
            int line = 1 + below(buffer.lineCount());
            TextBuffer::Position position{line, below(buffer.characterCount(line) + 1)};
            int byte = buffer.bytePosition(position);
            ASSERT_TRUE(std::binary_search(boundaries.begin(), boundaries.end(), byte));
            ASSERT_EQ(buffer.positionOf(byte), position);
            int raw = below(buffer.length() + 3);
            ASSERT_EQ(buffer.bytePosition(buffer.positionOf(raw)), snapped(boundaries, raw)) << raw;
        }
    }

    // The layout kept across edits must equal a fresh layout of the same text.
    void checkLayout(const std::string& text)
    {
        FakeMeasurer measurer(30);
        buffer.layout(measurer, scrollMode);
        TextBuffer fresh;
        fresh.setText(text, multiLine);
        FakeMeasurer freshMeasurer(30);
        fresh.layout(freshMeasurer, scrollMode);
        ASSERT_EQ(buffer.totalHeight(), fresh.totalHeight());
        ASSERT_EQ(buffer.maxWidth(), fresh.maxWidth());
        for (int line = 1; line <= fresh.lineCount(); ++line) {
            RectF kept = buffer.lineBox(line);
            RectF expected = fresh.lineBox(line);
            ASSERT_EQ(kept.y, expected.y) << line;
            ASSERT_EQ(kept.width, expected.width) << line;
            ASSERT_EQ(kept.height, expected.height) << line;
        }
        totalMeasured += measurer.lineMeasurements;
    }

    std::mt19937 random;
    bool multiLine;
    int scrollMode = 2;
    TextBuffer buffer;
    long totalMeasured = 0;
    int maxLines = 0;
};

}  // namespace

TEST(TextBufferFuzz, RandomMultiLineEditsMatchTheModel)
{
    for (unsigned seed : {1u, 0xFE1u}) {
        Fuzzer fuzzer(seed, true);
        fuzzer.buffer.setText("aZ\r\n\xD6\xD0\xCE\xC4\r\n5-", true);
        for (int i = 0; i < 3000; ++i) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(i));
            fuzzer.step();
            if (::testing::Test::HasFatalFailure())
                return;
        }
        EXPECT_GT(fuzzer.maxLines, 30) << "the edits should build a text of many lines";
    }
}

TEST(TextBufferFuzz, RandomSingleLineEditsKeepOneLine)
{
    Fuzzer fuzzer(7, false);
    fuzzer.scrollMode = 0;
    for (int i = 0; i < 2000; ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        fuzzer.step();
        if (::testing::Test::HasFatalFailure())
            return;
    }
    EXPECT_GT(fuzzer.buffer.length(), 20);
}
