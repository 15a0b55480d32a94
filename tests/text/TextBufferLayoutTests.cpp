#include <gtest/gtest.h>

#include <string>

#include "FakeMeasurer.h"
#include "TextBuffer.h"

namespace {

constexpr int horizontalAndVertical = 3;
constexpr int verticalOnly = 2;
constexpr int singleLine = 0;

void expectBox(const RectF& box, float x, float y, float width, float height)
{
    EXPECT_EQ(box.x, x);
    EXPECT_EQ(box.y, y);
    EXPECT_EQ(box.width, width);
    EXPECT_EQ(box.height, height);
}

}  // namespace

TEST(TextBufferLayout, LinesStackWithReferenceHeightAndTheWidestLineCounts)
{
    TextBuffer buffer;
    buffer.setText("ab\r\nabcd\r\n", true);
    FakeMeasurer measurer;
    buffer.layout(measurer, horizontalAndVertical);
    EXPECT_EQ(buffer.refHeight(), 16);
    EXPECT_EQ(buffer.refWidth(), 12);
    ASSERT_EQ(buffer.lineCount(), 3);
    expectBox(buffer.lineBox(1), 3, 0, 14, 16);
    expectBox(buffer.lineBox(2), 3, 16, 28, 16);
    expectBox(buffer.lineBox(3), 3, 32, 0, 16);
    EXPECT_EQ(buffer.maxWidth(), 28);
    EXPECT_EQ(buffer.totalHeight(), 48);
    EXPECT_EQ(measurer.measured, (std::vector<std::string>{"ab", "abcd", ""}));
}

TEST(TextBufferLayout, OnlyWrappingModeTakesTheMeasuredHeight)
{
    struct Case {
        int scrollMode;
        float secondHeight;
        int totalHeight;
    };
    // "abcdefg" is 49 pixels: three rows in a 20-pixel box.
    const Case cases[] = {{verticalOnly, 48, 64}, {horizontalAndVertical, 16, 32}, {1, 16, 32}, {singleLine, 16, 32}};
    for (const Case& c : cases) {
        TextBuffer buffer;
        buffer.setText("ab\r\nabcdefg", true);
        FakeMeasurer measurer(20);
        buffer.layout(measurer, c.scrollMode);
        EXPECT_EQ(buffer.lineBox(2).height, c.secondHeight) << c.scrollMode;
        EXPECT_EQ(buffer.lineBox(2).y, 16) << c.scrollMode;
        EXPECT_EQ(buffer.totalHeight(), c.totalHeight) << c.scrollMode;
    }
}

TEST(TextBufferLayout, FailedMeasurementGivesANarrowBoxOneRowHigh)
{
    for (int scrollMode : {verticalOnly, horizontalAndVertical}) {
        TextBuffer buffer;
        buffer.setText("ok\r\nbad\r\nok", true);
        FakeMeasurer measurer(100);
        measurer.failing.insert("bad");
        buffer.layout(measurer, scrollMode);
        expectBox(buffer.lineBox(2), 0, 16, 2, 16);
        EXPECT_EQ(buffer.lineBox(3).y, 32) << scrollMode;
        EXPECT_EQ(buffer.totalHeight(), 48) << scrollMode;
    }
}

TEST(TextBufferLayout, MeasuresTheDisplayFormNeverThePassword)
{
    TextBuffer buffer;
    buffer.setText("se cret", false, TextBuffer::passwordMode);
    FakeMeasurer measurer;
    buffer.layout(measurer, singleLine);
    EXPECT_EQ(measurer.measured, (std::vector<std::string>{"*******"}));
    buffer.setText("a b", false);
    buffer.layout(measurer, singleLine);
    EXPECT_EQ(measurer.measured.back(), "a\tb");
}

TEST(TextBufferLayout, EditRemeasuresOnlyTheChangedLines)
{
    TextBuffer buffer;
    buffer.setText("one\r\ntwo\r\nthree\r\nfour", true);
    FakeMeasurer measurer(0);
    buffer.layout(measurer, horizontalAndVertical);
    EXPECT_EQ(measurer.lineMeasurements, 4);

    measurer.reset();
    buffer.layout(measurer, horizontalAndVertical);
    EXPECT_EQ(measurer.lineMeasurements, 0) << "nothing changed";

    buffer.insertAt(buffer.bytePosition({2, 3}), "\r\nxxxxxxxxxx", true);
    measurer.reset();
    buffer.layout(measurer, horizontalAndVertical);
    EXPECT_EQ(measurer.measured, (std::vector<std::string>{"two", "xxxxxxxxxx"}));
    EXPECT_EQ(buffer.maxWidth(), 70);
    EXPECT_EQ(buffer.lineBox(5).y, 64);
    EXPECT_EQ(buffer.lineBox(5).width, 28);

    // The widest line goes away: the width shrinks without measuring the others again.
    buffer.deleteRange(buffer.bytePosition({2, 3}), buffer.bytePosition({3, 10}), true);
    measurer.reset();
    buffer.layout(measurer, horizontalAndVertical);
    EXPECT_EQ(measurer.measured, (std::vector<std::string>{"two"}));
    EXPECT_EQ(buffer.maxWidth(), 35);
    EXPECT_EQ(buffer.totalHeight(), 64);

    // A new font shows in the reference glyph; a new width only the caller knows.
    measurer.reset();
    measurer.refWidth = 13;
    buffer.layout(measurer, horizontalAndVertical);
    EXPECT_EQ(measurer.lineMeasurements, 4);
    measurer.reset();
    buffer.layout(measurer, horizontalAndVertical, TextBuffer::Remeasure::AllLines);
    EXPECT_EQ(measurer.lineMeasurements, 4);
    measurer.reset();
    buffer.layout(measurer, verticalOnly);
    EXPECT_EQ(measurer.lineMeasurements, 4) << "a new scroll mode changes the measuring box";
}

TEST(TextBufferLayout, EditInTenThousandLinesTouchesOnlyTheLinesAroundIt)
{
    std::string text;
    for (int i = 1; i <= 10000; ++i) {
        text += "line " + std::to_string(i);
        if (i < 10000)
            text += "\r\n";
    }
    TextBuffer buffer;
    buffer.setText(text, true);
    FakeMeasurer measurer;
    buffer.layout(measurer, horizontalAndVertical);
    ASSERT_EQ(measurer.lineMeasurements, 10000);
    const int lastStart = buffer.lineStart(10000);

    struct Step {
        const char* what;
        bool isInsert;
        TextBuffer::Position from;
        TextBuffer::Position to;
        std::string text;
        TextBuffer::Change change;
        int lines;
        int shift;  // of the last line's start
    };
    const Step steps[] = {
        {"character", true, {5000, 2}, {}, "x", {5000, 1, 1, 0}, 10000, 1},
        {"line break", true, {5000, 4}, {}, "\r\n", {5000, 1, 2, 0}, 10001, 3},
        {"join", false, {5000, 4}, {5001, 0}, "", {5000, 2, 1, 0}, 10000, 1},
        {"two lines away", false, {4999, 0}, {5001, 0}, "", {4999, 3, 1, 0}, 9998, -22},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        int from = buffer.bytePosition(step.from);
        TextBuffer::Change change = step.isInsert ? buffer.insertAt(from, step.text, true)
                                                  : buffer.deleteRange(from, buffer.bytePosition(step.to), true);
        EXPECT_EQ(change.firstChangedLine, step.change.firstChangedLine);
        EXPECT_EQ(change.linesRemoved, step.change.linesRemoved);
        EXPECT_EQ(change.linesInserted, step.change.linesInserted);
        ASSERT_EQ(buffer.lineCount(), step.lines);
        EXPECT_EQ(buffer.lineStart(step.lines), lastStart + step.shift);
        EXPECT_EQ(buffer.lineText(step.lines), "line 10000");

        measurer.reset();
        buffer.layout(measurer, horizontalAndVertical);
        EXPECT_EQ(measurer.lineMeasurements, change.linesInserted);
        EXPECT_EQ(buffer.lineBox(step.lines).y, 16.0f * static_cast<float>(step.lines - 1));
        EXPECT_EQ(buffer.lineBox(step.lines).width, 70);
        EXPECT_EQ(buffer.totalHeight(), 16 * step.lines);
    }
}
