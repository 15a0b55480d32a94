#include <gtest/gtest.h>

#include <vector>

#include "TextBuffer.h"

namespace {

using Position = TextBuffer::Position;

std::vector<int> lineStarts(const TextBuffer& buffer)
{
    std::vector<int> starts;
    for (int line = 1; line <= buffer.lineCount(); ++line)
        starts.push_back(buffer.lineStart(line));
    return starts;
}

std::string printable(std::string_view text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c == '\r')
            out += "<CR>";
        else if (c == '\n')
            out += "<LF>";
        else if (c >= 0x80 || c < 0x20) {
            const char* hex = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else
            out += static_cast<char>(c);
    }
    return out;
}

}  // namespace

TEST(TextBufferText, LinesBreakOnlyAtCrLfAndLoneLineFeedsVanish)
{
    struct Case {
        std::string input;
        bool multiLine;
        std::string bytes;
        std::vector<int> starts;
    };
    const Case cases[] = {
        {"a\r\nb", true, "a\r\nb", {1, 4}},
        {"a\r\nb", false, "a", {1}},
        {"a\nb", true, "ab", {1}},
        {"a\nb", false, "ab", {1}},
        {"a\rb", true, "a\rb", {1}},
        {"a\rb", false, "a\rb", {1}},
        {"\nx\n", true, "x", {1}},
        {"\r\n\r\n", true, "\r\n\r\n", {1, 3, 5}},
        {"\r\n\r\n", false, "", {1}},
        {"", true, "", {1}},
        {"", false, "", {1}},
        {"a\r\r\nb", true, "a\r\r\nb", {1, 5}},
        {"a\n\r\nb", true, "a\r\nb", {1, 4}},
        {"a\r\n\nb", true, "a\r\nb", {1, 4}},
        {"a\n\n\r\n", true, "a\r\n", {1, 4}},
        {"x\ny\r\nz", false, "xy", {1}},
        {"\xD6\xD0\r\n\xCE\xC4", true, "\xD6\xD0\r\n\xCE\xC4", {1, 5}},
        {"\xD6\xD0\r\n\xCE\xC4", false, "\xD6\xD0", {1}},
    };
    for (const Case& c : cases) {
        TextBuffer buffer;
        TextBuffer::Change change = buffer.setText(c.input, c.multiLine);
        SCOPED_TRACE(printable(c.input) + (c.multiLine ? " multi-line" : " single-line"));
        EXPECT_EQ(buffer.text(), c.bytes);
        EXPECT_EQ(buffer.bytes(), c.bytes);
        EXPECT_EQ(buffer.length(), static_cast<int>(c.bytes.size()));
        EXPECT_EQ(lineStarts(buffer), c.starts);
        EXPECT_EQ(change.firstChangedLine, 1);
        EXPECT_EQ(change.linesRemoved, 1);
        EXPECT_EQ(change.linesInserted, static_cast<int>(c.starts.size()));
    }
}

TEST(TextBufferText, InvalidLinesGiveEmptyAnswers)
{
    TextBuffer buffer;
    buffer.setText("ab\r\ncd", true);
    for (int line : {-1, 0, 3}) {
        EXPECT_FALSE(buffer.isValidLine(line));
        EXPECT_EQ(buffer.lineText(line), "");
        EXPECT_EQ(buffer.lineStart(line), 0);
        EXPECT_EQ(buffer.lineLength(line), 0);
        EXPECT_EQ(buffer.characterCount(line), 0);
        RectF box = buffer.lineBox(line);
        EXPECT_EQ(box.x + box.y + box.width + box.height, 0.0f);
    }
    EXPECT_TRUE(buffer.isValidLine(1));
    EXPECT_TRUE(buffer.isValidLine(2));
    EXPECT_EQ(buffer.lineText(2), "cd");
}

TEST(TextBufferCharacters, LeadBytesTakeTheNextByteButNeverReadPastTheEnd)
{
    struct Case {
        std::string text;
        int characters;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 3},
        {"\xD6\xD0\xCE\xC4", 2},
        {"a\xD6\xD0", 2},
        {"\x9B" "u", 1},  // a GBK pair whose second byte is ASCII
        {"\xD6", 1},      // a lead byte as the last byte
        {"ab\xD6", 3},
        {"\x80\x80\x80", 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextBuffer::countCharacters(c.text), c.characters) << printable(c.text);
        EXPECT_EQ(TextBuffer::characterBytes(c.text, c.characters), static_cast<int>(c.text.size()))
            << printable(c.text);
        EXPECT_EQ(TextBuffer::characterBytes(c.text, c.characters + 5), static_cast<int>(c.text.size()));
    }
    EXPECT_EQ(TextBuffer::characterBytes("\xD6\xD0x\xCE\xC4", 2), 3);
    EXPECT_EQ(TextBuffer::characterBytes("abc", 0), 0);
}

TEST(TextBufferCharacters, TruncatedLeadByteEndsItsLineAsOneCharacter)
{
    // At the end of the text.
    TextBuffer buffer;
    buffer.setText("ab\xD6", false);
    EXPECT_EQ(buffer.characterCount(1), 3);
    EXPECT_EQ(buffer.bytePosition({1, 3}), 4);
    EXPECT_EQ(buffer.bytePosition({1, 9}), 4);
    EXPECT_EQ(buffer.positionOf(4), (Position{1, 3}));
    EXPECT_EQ(buffer.positionOf(3), (Position{1, 2}));
    EXPECT_EQ(buffer.range(1, buffer.bytePosition({1, 3})), "ab\xD6");
    buffer.setText("ab\xD6", false, TextBuffer::passwordMode);
    EXPECT_EQ(buffer.lineText(1, std::nullopt, true), "***");

    // Before a line break: the lead byte does not swallow the CR, so both lines stay whole.
    buffer.setText("\xD6\r\nx\xD6", true);
    ASSERT_EQ(buffer.lineCount(), 2);
    EXPECT_EQ(buffer.characterCount(1), 1);
    EXPECT_EQ(buffer.characterCount(2), 2);
    EXPECT_EQ(buffer.bytePosition({1, 1}), 2);
    EXPECT_EQ(buffer.bytePosition({2, 2}), 6);
    EXPECT_EQ(buffer.positionOf(3), (Position{1, 1}));
    EXPECT_EQ(buffer.wordEnd({1, 0}), 0);
    buffer.insertAt(buffer.bytePosition({1, 1}), "y", true);
    EXPECT_EQ(buffer.text(), "\xD6y\r\nx\xD6");
    EXPECT_EQ(buffer.lineCount(), 2);
}

TEST(TextBufferPositions, LineColumnAndBytePositionsRoundTrip)
{
    TextBuffer buffer;
    // "a中 b" CR LF, an empty line, "泆x": bytes a=1 中=2,3 space=4 b=5 CR=6 LF=7 | CR=8 LF=9 | 泆=10,11 x=12.
    buffer.setText("a\xD6\xD0 b\r\n\r\n\x9Bux", true);
    ASSERT_EQ(lineStarts(buffer), (std::vector<int>{1, 8, 10}));
    struct Case {
        Position position;
        int byte;
    };
    const Case exact[] = {
        {{1, 0}, 1}, {{1, 1}, 2}, {{1, 2}, 4}, {{1, 3}, 5}, {{1, 4}, 6},
        {{2, 0}, 8}, {{3, 0}, 10}, {{3, 1}, 12}, {{3, 2}, 13},
    };
    for (const Case& c : exact) {
        EXPECT_EQ(buffer.bytePosition(c.position), c.byte) << c.position.line << ":" << c.position.column;
        EXPECT_EQ(buffer.positionOf(c.byte), c.position) << c.byte;
    }
    // Byte positions inside a character or a line break, or outside the text, go back to a boundary.
    const Case inexact[] = {
        {{1, 1}, 3}, {{1, 4}, 7}, {{2, 0}, 9}, {{3, 0}, 11}, {{1, 0}, 0}, {{1, 0}, -5}, {{3, 2}, 99},
    };
    for (const Case& c : inexact)
        EXPECT_EQ(buffer.positionOf(c.byte), c.position) << c.byte;
    // Lines and columns outside the text are clamped into it.
    const Case clamped[] = {
        {{1, 4}, buffer.bytePosition({0, 5})}, {{3, 1}, buffer.bytePosition({9, 1})},
        {{2, 0}, buffer.bytePosition({2, 3})}, {{1, 0}, buffer.bytePosition({1, -1})},
    };
    for (const Case& c : clamped)
        EXPECT_EQ(buffer.bytePosition(c.position), c.byte);
    EXPECT_EQ(buffer.clamp({0, 5}), (Position{1, 4}));
    EXPECT_EQ(buffer.clamp({2, 3}), (Position{2, 0}));
    // The line that holds a byte owns its CR LF.
    const std::pair<int, int> owners[] = {{1, 1}, {6, 1}, {7, 1}, {8, 2}, {9, 2}, {10, 3}, {13, 3}, {50, 3}};
    for (auto [byte, line] : owners)
        EXPECT_EQ(buffer.lineOf(byte), line) << byte;
}

TEST(TextBufferReading, LineTextGivesBytesPrefixesAndDisplayForms)
{
    TextBuffer buffer;
    buffer.setText("a b\xD6\xD0\r\n  x\r\n\xB0 ", true);
    struct Case {
        int line;
        std::optional<int> count;
        bool forDisplay;
        std::string expected;
    };
    const Case plain[] = {
        {1, std::nullopt, false, "a b\xD6\xD0"},
        {1, 2, false, "a "},
        {1, 99, false, "a b\xD6\xD0"},
        {1, -3, false, ""},
        {1, 0, false, ""},
        {1, std::nullopt, true, "a\tb\xD6\xD0"},
        {2, std::nullopt, true, "\t\tx"},
        {2, 1, true, "\t"},
        // A space taken by a lead byte is part of that character and stays.
        {3, std::nullopt, true, "\xB0 "},
        {4, std::nullopt, true, ""},
    };
    for (const Case& c : plain)
        EXPECT_EQ(buffer.lineText(c.line, c.count, c.forDisplay), c.expected) << c.line;

    buffer.setText(buffer.text(), true, TextBuffer::passwordMode, "\xA1\xF1");
    const Case masked[] = {
        {1, std::nullopt, true, "\xA1\xF1\xA1\xF1\xA1\xF1\xA1\xF1"},
        {1, 4, true, "\xA1\xF1\xA1\xF1\xA1\xF1\xA1\xF1"},  // "a b" and a lone lead byte
        {1, std::nullopt, false, "a b\xD6\xD0"},
        {2, std::nullopt, true, "\xA1\xF1\xA1\xF1\xA1\xF1"},
    };
    for (const Case& c : masked)
        EXPECT_EQ(buffer.lineText(c.line, c.count, c.forDisplay), c.expected) << c.line;
    EXPECT_EQ(buffer.displayMode(), TextBuffer::passwordMode);
    EXPECT_EQ(buffer.maskText(), "\xA1\xF1");
}

TEST(TextBufferReading, RangeTakesTheBytesBetweenPositionsInEitherOrder)
{
    TextBuffer buffer;
    buffer.setText("abc\r\ndef", true);
    const std::tuple<int, int, std::string> cases[] = {
        {2, 4, "bc"}, {4, 2, "bc"}, {1, 1, ""}, {0, 3, "ab"}, {5, 99, "\ndef"}, {-4, -1, ""}, {1, 9, "abc\r\ndef"},
    };
    for (const auto& [a, b, expected] : cases)
        EXPECT_EQ(buffer.range(a, b), expected) << a << ", " << b;
}

TEST(TextBufferEditing, EditsReplaceOnlyTheLinesAroundThem)
{
    const std::string base = "one\r\ntwo\r\nthree";
    struct Case {
        const char* what;
        Position from;
        Position to;  // equal to `from` for an insertion
        std::string inserted;
        std::string expected;
        TextBuffer::Change change;
    };
    const Case cases[] = {
        {"character", {2, 1}, {2, 1}, "X", "one\r\ntXwo\r\nthree", {2, 1, 1, 8}},
        {"line break", {2, 0}, {2, 0}, "\r\n", "one\r\n\r\ntwo\r\nthree", {2, 1, 2, 8}},
        {"three lines", {3, 5}, {3, 5}, "a\r\nb\r\nc", "one\r\ntwo\r\nthreea\r\nb\r\nc", {3, 1, 3, 23}},
        {"lone LF", {1, 3}, {1, 3}, "\n", base, {1, 1, 1, 4}},
        {"LF after inserted CR", {1, 3}, {1, 3}, "\r\n\n", "one\r\n\r\ntwo\r\nthree", {1, 1, 2, 6}},
        {"GBK", {1, 0}, {1, 0}, "\xD6\xD0", "\xD6\xD0one\r\ntwo\r\nthree", {1, 1, 1, 3}},
        {"join lines", {1, 3}, {2, 0}, "", "onetwo\r\nthree", {1, 2, 1, 4}},
        {"across three lines", {1, 1}, {3, 2}, "", "oree", {1, 3, 1, 2}},
        {"backwards", {3, 2}, {1, 1}, "", "oree", {1, 3, 1, 2}},
        {"nothing", {2, 1}, {2, 1}, "", base, {2, 1, 1, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TextBuffer buffer;
        buffer.setText(base, true);
        int a = buffer.bytePosition(c.from);
        int b = buffer.bytePosition(c.to);
        TextBuffer::Change change = a == b ? buffer.insertAt(a, c.inserted, true) : buffer.deleteRange(a, b, true);
        EXPECT_EQ(printable(buffer.text()), printable(c.expected));
        EXPECT_EQ(change.firstChangedLine, c.change.firstChangedLine);
        EXPECT_EQ(change.linesRemoved, c.change.linesRemoved);
        EXPECT_EQ(change.linesInserted, c.change.linesInserted);
        EXPECT_EQ(change.end, c.change.end);
        TextBuffer fresh;
        fresh.setText(c.expected, true);
        EXPECT_EQ(lineStarts(buffer), lineStarts(fresh));
    }
}

TEST(TextBufferEditing, LoneCrFollowedByInsertedLfBecomesALineBreak)
{
    TextBuffer buffer;
    buffer.setText("ab", true);
    buffer.insertAt(2, "\r", true);
    EXPECT_EQ(buffer.lineCount(), 1);
    EXPECT_EQ(buffer.characterCount(1), 3);
    TextBuffer::Change change = buffer.insertAt(buffer.bytePosition({1, 2}), "\n", true);
    EXPECT_EQ(buffer.text(), "a\r\nb");
    EXPECT_EQ(buffer.lineCount(), 2);
    EXPECT_EQ(change.linesInserted, 2);
    EXPECT_EQ(change.end, 4);
}

TEST(TextBufferEditing, RawPositionsSnapBackToCharacterBoundaries)
{
    struct Case {
        const char* what;
        std::string text;
        int a;
        int b;  // a == b: insert "x"
        std::string expected;
    };
    const Case cases[] = {
        {"delete up to the middle of a pair", "\xD6\xD0\xCE\xC4", 1, 2, "\xD6\xD0\xCE\xC4"},
        {"delete from the middle of a pair", "\xD6\xD0\xCE\xC4", 2, 4, "\xCE\xC4"},
        {"insert into a pair", "\xD6\xD0\xCE\xC4", 4, 4, "\xD6\xD0x\xCE\xC4"},
        {"insert between CR and LF", "ab\r\ncd", 4, 4, "abx\r\ncd"},
        {"delete CR only", "ab\r\ncd", 3, 4, "ab\r\ncd"},
        {"delete from LF on", "ab\r\ncd", 4, 6, "abd"},
        {"delete before the text", "abc", -3, 2, "bc"},
        {"insert past the end", "abc", 40, 40, "abcx"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TextBuffer buffer;
        buffer.setText(c.text, true);
        if (c.a == c.b)
            buffer.insertAt(c.a, "x", true);
        else
            buffer.deleteRange(c.a, c.b, true);
        EXPECT_EQ(printable(buffer.text()), printable(c.expected));
    }
}

TEST(TextBufferEditing, SingleLineInsertKeepsTextBehindTheCaretAndDropsLineBreaks)
{
    struct Case {
        std::string inserted;
        std::string expected;
        int end;
    };
    const Case cases[] = {
        {"x\r\ny", "abxcdef", 4},
        {"x\ny", "abxycdef", 5},
        {"\r\nx", "abcdef", 3},
        {"\r", "ab\rcdef", 4},
        {"\xD6\xD0", "ab\xD6\xD0" "cdef", 5},
    };
    for (const Case& c : cases) {
        TextBuffer buffer;
        buffer.setText("abcdef", false);
        TextBuffer::Change change = buffer.insertAt(3, c.inserted, false);
        EXPECT_EQ(printable(buffer.text()), printable(c.expected)) << printable(c.inserted);
        EXPECT_EQ(change.end, c.end);
        EXPECT_EQ(change.firstChangedLine, 1);
        EXPECT_EQ(change.linesRemoved, 1);
        EXPECT_EQ(change.linesInserted, 1);
        EXPECT_EQ(buffer.lineCount(), 1);
    }

    // A CR left in the field never pairs with a later LF.
    TextBuffer buffer;
    buffer.setText("ab", false);
    buffer.insertAt(2, "\r", false);
    buffer.insertAt(3, "\n", false);
    EXPECT_EQ(buffer.text(), "a\rb");
    buffer.deleteRange(2, 3, false);
    EXPECT_EQ(buffer.text(), "ab");

    // A multi-line text edited as a single line keeps only its first line.
    buffer.setText("a\r\nb", true);
    buffer.insertAt(2, "x", false);
    EXPECT_EQ(buffer.text(), "ax");
    EXPECT_EQ(buffer.lineCount(), 1);
}

TEST(TextBufferEditing, InsertThenDeleteRestoresTheText)
{
    const std::string base = "first\r\n\xD6\xD0\xCE\xC4 second\r\n\r\nlast\r";
    const std::string inserts[] = {"x", "\r\n", "\xB7\xC9\r\n\xBE\xA8", "a\r\n\r\nb", " \r "};
    TextBuffer buffer;
    buffer.setText(base, true);
    for (int line = 1; line <= 4; ++line) {
        for (int column = 0; column <= buffer.characterCount(line); ++column) {
            for (const std::string& text : inserts) {
                int at = buffer.bytePosition({line, column});
                TextBuffer::Change change = buffer.insertAt(at, text, true);
                EXPECT_EQ(buffer.range(at, change.end), text);
                TextBuffer::Change undo = buffer.deleteRange(at, change.end, true);
                ASSERT_EQ(printable(buffer.text()), printable(base)) << line << ":" << column << " " << printable(text);
                EXPECT_EQ(undo.linesRemoved, change.linesInserted);
                EXPECT_EQ(undo.linesInserted, change.linesRemoved);
                EXPECT_EQ(undo.end, at);
            }
        }
    }
}

TEST(TextBufferWords, WordBoundsCoverAsciiLettersAndDigitsOnly)
{
    TextBuffer buffer;
    // a0 b1 c2 -3 d4 e5 f6 space7 g8 中9 h10, 11 characters.
    buffer.setText("abc-def g\xD6\xD0h\r\nX9_", true);
    struct Case {
        Position at;
        int start;
        int end;
    };
    const Case cases[] = {
        {{1, 0}, 0, 3}, {{1, 1}, 0, 3}, {{1, 3}, 0, 3}, {{1, 4}, 4, 7}, {{1, 7}, 4, 7},
        {{1, 9}, 8, 9}, {{1, 10}, 10, 11}, {{1, 11}, 10, 11}, {{2, 1}, 0, 2}, {{2, 3}, 3, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(buffer.wordStart(c.at), c.start) << c.at.line << ":" << c.at.column;
        EXPECT_EQ(buffer.wordEnd(c.at), c.end) << c.at.line << ":" << c.at.column;
    }
    EXPECT_TRUE(TextBuffer::isWordCharacter("Q"));
    EXPECT_FALSE(TextBuffer::isWordCharacter("_"));
    EXPECT_FALSE(TextBuffer::isWordCharacter("\xD6\xD0"));
    EXPECT_FALSE(TextBuffer::isWordCharacter("\xE1"));
}

TEST(TextBufferCopy, CloneIsIndependentOfTheOriginal)
{
    TextBuffer buffer;
    buffer.setText("ab\r\ncd", true, TextBuffer::passwordMode, "#");
    std::unique_ptr<TextBuffer> copy = buffer.clone();
    buffer.insertAt(1, "zz\r\n", true);
    buffer.setText("other", false);
    EXPECT_EQ(copy->text(), "ab\r\ncd");
    EXPECT_EQ(lineStarts(*copy), (std::vector<int>{1, 5}));
    EXPECT_EQ(copy->lineText(2, std::nullopt, true), "##");
    copy->insertAt(7, "e", true);
    EXPECT_EQ(buffer.text(), "other");
}
