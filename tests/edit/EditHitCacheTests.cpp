// Hit-testing answers from the per-line cells of the last layout: they must agree with caret placement,
// which measures afresh, and must follow every edit, resize and font change.
#include <gtest/gtest.h>

#include "EditLayout.h"
#include "EditTestWindow.h"

namespace {

constexpr int left = 10, top = 10;

std::string repeat(std::string_view piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

// 飞鲸网游加速器
const std::string product = "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7";

EditControl& addEdit(EditTestWindow& window, int width, int height, const std::string& text, int scrollMode)
{
    window.edit = std::make_unique<EditControl>();
    window.edit->create(parentWindow(window.hwnd), left, top, width, height, text, std::nullopt, std::nullopt,
                        std::nullopt, std::nullopt, std::nullopt, true, std::nullopt, std::nullopt, scrollMode);
    window.pump();
    return *window.edit;
}

struct Probe {
    int x, y;
};

// The client point of the caret placed after `column` characters of `line`, halfway down its row.
Probe caretPoint(EditControl& edit, int line, int column)
{
    int before = column - 1;
    const RectF caret = edit.caretRect(line, before, false);
    const RectF& b = edit.currentBounds();
    return {static_cast<int>(b.x + caret.x), static_cast<int>(b.y + caret.y + caret.height / 2)};
}

// Columns of `line` where a click on the caret's own position does not give the caret's column back.
// Carets scrolled out to the left are skipped: a point left of the text is taken as its left edge.
std::vector<int> disagreements(EditControl& edit, int line, int step)
{
    std::vector<int> wrong;
    const int characters = edit.buffer().characterCount(line);
    std::vector<int> columns;
    for (int column = 0; column < characters; column += step)
        columns.push_back(column);
    columns.push_back(characters);
    const float textLeft = edit.currentBounds().x + edit.layoutRect().x;
    for (const int column : columns) {
        const Probe p = caretPoint(edit, line, column);
        if (static_cast<float>(p.x) < textLeft)
            continue;
        if (edit.hitTest(p.x, p.y) != TextBuffer::Position{line, column})
            wrong.push_back(column);
    }
    return wrong;
}

}  // namespace

TEST(EditHitCache, ClickOnTheCaretPositionGivesItsColumnBackOnLongLines)
{
    EditTestWindow window(700, 400);
    const struct {
        const char* what;
        std::string text;
        int scrollMode;
        int step;
    } cases[] = {
        {"ASCII, no wrapping", repeat("mWi", 200), EditControl::ScrollHorizontal | EditControl::ScrollVertical, 7},
        {"GBK and ASCII, no wrapping", repeat(product + "ab", 40), EditControl::ScrollHorizontal, 5},
        {"spaces as tab stops, no wrapping", repeat("m  x ", 60), EditControl::ScrollHorizontal, 3},
        {"GBK, wrapped into rows", repeat(product + "xy", 30), EditControl::ScrollVertical, 5},
        {"ASCII, wrapped into rows", repeat("abcdefgh", 60), EditControl::ScrollVertical, 7},
        {"words and spaces, wrapped into rows", repeat("ab  " + product + " cd ", 30), EditControl::ScrollVertical, 3},
    };
    for (const auto& c : cases) {
        EditControl& edit = addEdit(window, 400, 300, "short\r\n" + c.text + "\r\nend", c.scrollMode);
        ASSERT_EQ(edit.buffer().lineCount(), 3) << c.what;
        if (c.scrollMode == EditControl::ScrollVertical) {
            // Every row of the long line stays inside the field.
            EXPECT_GT(edit.buffer().lineBox(2).height, 3.0f * static_cast<float>(edit.buffer().refHeight())) << c.what;
            EXPECT_LE(edit.buffer().lineBox(2).width, edit.layoutRect().width + 1) << c.what;
        }
        EXPECT_EQ(disagreements(edit, 2, c.step), std::vector<int>{}) << c.what;
        // Asked twice, the cached line answers the same.
        EXPECT_EQ(disagreements(edit, 2, c.step), std::vector<int>{}) << c.what;
        EXPECT_EQ(disagreements(edit, 1, 1), std::vector<int>{}) << c.what;
        edit.destroy();
    }
}

TEST(EditHitCache, EditsResizeAndScrollingNeverAnswerFromStaleCells)
{
    EditTestWindow window(700, 400);
    EditControl& edit = addEdit(window, 300, 200, repeat("abcd", 30) + "\r\n" + repeat("wxyz", 30),
                                EditControl::ScrollHorizontal | EditControl::ScrollVertical);
    window.host.setFocus(edit.handle(), false);
    const Probe p = caretPoint(edit, 1, 10);
    ASSERT_EQ(edit.hitTest(p.x, p.y).column, 10);

    // Wide characters typed at the line start push column 10 to the right.
    edit.setSelection({1, 0}, {1, 0});
    window.type("WWWW");
    EXPECT_EQ(disagreements(edit, 1, 3), std::vector<int>{}) << "after typing";
    EXPECT_LT(edit.hitTest(p.x, p.y).column, 10);

    // Deleting them brings the old answer back.
    for (int i = 0; i < 4; ++i)
        window.key(VK_BACK);
    EXPECT_EQ(edit.hitTest(p.x, p.y).column, 10);

    // A line break above moves the text one row down.
    edit.setSelection({1, 0}, {1, 0});
    window.key(VK_RETURN);
    EXPECT_EQ(edit.buffer().lineCount(), 3);
    EXPECT_EQ(disagreements(edit, 2, 3), std::vector<int>{}) << "after a new line";
    EXPECT_EQ(disagreements(edit, 3, 3), std::vector<int>{}) << "after a new line";

    // A new size gives the control new graphics; a scrolled view shifts every point.
    edit.move(left, top, 260, 150);
    window.pump();
    EXPECT_EQ(disagreements(edit, 2, 3), std::vector<int>{}) << "after a resize";
    edit.scrollToX(40);
    EXPECT_EQ(disagreements(edit, 2, 3), std::vector<int>{}) << "scrolled";
}

TEST(EditHitCache, SpacesStopAtNineThenEveryEightPixelsWithAndWithoutWrapping)
{
    EditTestWindow window(700, 400);
    const struct {
        const char* what;
        bool multiLine;
        int scrollMode;
    } cases[] = {
        {"single line", false, EditControl::ScrollNone},
        {"no wrapping", true, EditControl::ScrollHorizontal | EditControl::ScrollVertical},
        {"wrapping", true, EditControl::ScrollVertical},
    };
    for (const auto& c : cases) {
        window.edit = std::make_unique<EditControl>();
        EditControl& edit = *window.edit;
        edit.create(parentWindow(window.hwnd), left, top, 300, c.multiLine ? 100 : 30, "    x  ", std::nullopt,
                    std::nullopt, std::nullopt, std::nullopt, std::nullopt, c.multiLine, std::nullopt, std::nullopt,
                    c.scrollMode);
        window.pump();
        const int origin = static_cast<int>(edit.currentBounds().x + edit.layoutRect().x);
        for (int column = 1; column <= 4; ++column)
            EXPECT_EQ(caretPoint(edit, 1, column).x - origin, 1 + 8 * column) << c.what << ", column " << column;
        // Two spaces behind the x still stop on the grid.
        const int afterX = caretPoint(edit, 1, 5).x - origin;
        EXPECT_EQ(caretPoint(edit, 1, 6).x - origin, ((afterX - 1) / 8 + 1) * 8 + 1) << c.what;
        EXPECT_EQ(caretPoint(edit, 1, 7).x - origin, ((afterX - 1) / 8 + 2) * 8 + 1) << c.what;
        EXPECT_EQ(edit.hitTest(origin + 9 + 6, caretPoint(edit, 1, 1).y).column, 2) << c.what;
        EXPECT_EQ(edit.hitTest(origin + 9 + 2, caretPoint(edit, 1, 1).y).column, 1) << c.what;
        edit.destroy();
    }
}

namespace {

// The cells a fresh measurement of the line's display text gives, in the line's own coordinates.
std::vector<std::optional<RectF>> freshCells(EditControl& edit, int line)
{
    const std::wstring display = edit.view().displayWide(line);
    return edit.view().measuring()->characterBounds(display, static_cast<int>(display.size()),
                                                    RectF{0, 0, edit.view().wrapWidth(), 0});
}

::testing::AssertionResult keepsFreshCells(EditControl& edit, int line)
{
    const LineCellCache::LineCells* kept = edit.view().cellCache().find(line, edit.view().wrapWidth());
    if (!kept)
        return ::testing::AssertionFailure() << "line " << line << " lost its cells";
    if (kept->text != edit.view().displayWide(line))
        return ::testing::AssertionFailure() << "line " << line << " kept the cells of another text";
    const std::vector<std::optional<RectF>> fresh = freshCells(edit, line);
    if (fresh.size() != kept->cells.size())
        return ::testing::AssertionFailure() << kept->cells.size() << " cells for " << fresh.size();
    for (size_t i = 0; i < fresh.size(); ++i) {
        if (!fresh[i] || !kept->cells[i])
            continue;
        const RectF& a = *kept->cells[i];
        const RectF& b = *fresh[i];
        if (std::abs(a.x - b.x) > 0.01f || std::abs(a.width - b.width) > 0.01f || a.y != b.y || a.height != b.height)
            return ::testing::AssertionFailure() << "character " << i << " of line " << line << " at " << a.x << "+"
                                                 << a.width << ", measured at " << b.x << "+" << b.width;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(EditHitCache, EditsKeepTheCellsOfLinesTheyDidNotTouch)
{
    EditTestWindow window(700, 400);
    EditControl& edit = addEdit(window, 400, 300, "first line\r\n" + repeat("abcd", 30) + "\r\nthird\r\nfourth",
                                EditControl::ScrollHorizontal | EditControl::ScrollVertical);
    window.host.setFocus(edit.handle(), false);
    for (int line = 1; line <= 4; ++line)
        disagreements(edit, line, 5);  // every line hit-tested once

    // A character typed on line 2.
    edit.setSelection({2, 5}, {2, 5});
    window.type("x");
    for (const int line : {1, 3, 4})
        EXPECT_TRUE(keepsFreshCells(edit, line)) << "after typing";

    // A line break on line 1 moves the others down, a backspace brings them back.
    edit.setSelection({1, 2}, {1, 2});
    window.key(VK_RETURN);
    for (const int line : {3, 4, 5})
        EXPECT_TRUE(keepsFreshCells(edit, line)) << "after a line break";
    window.key(VK_BACK);
    for (const int line : {2, 3, 4})
        EXPECT_TRUE(keepsFreshCells(edit, line)) << "after joining the lines again";
    EXPECT_EQ(disagreements(edit, 2, 3), std::vector<int>{});
}

TEST(EditHitCache, AnEditedLongLineIsUpdatedToWhatAFreshMeasurementGives)
{
    // Spaces show as tabs: edits in front of them move them to other stops.
    const std::string base = std::string(20, 'm') + " x  " + std::string(15, 'W') + product + " tail " + "iiiiiiiiii";
    const int end = TextBuffer::countCharacters(base);
    struct Case {
        const char* what;
        int column;
        std::string typed;  // else a key
        int key;
        bool isKept;
    };
    const Case cases[] = {
        {"a letter at the start", 0, "i", 0, true},
        {"a wide letter in the middle", 10, "W", 0, true},
        {"letters at the end", end, "ab", 0, true},
        {"a Chinese character", 5, "\xD3\xCE", 0, true},
        {"backspace in front of tabs", 22, "", VK_BACK, true},
        {"a tab deleted", 20, "", VK_DELETE, true},
        {"a character before a tab", 20, "", VK_BACK, true},
        {"a space typed: measured afresh", 3, " ", 0, false},
    };
    EditTestWindow window(700, 400);
    for (const Case& c : cases) {
        window.edit = std::make_unique<EditControl>();
        EditControl& edit = *window.edit;
        edit.create(parentWindow(window.hwnd), left, top, 650, 30, base);
        window.host.setFocus(edit.handle(), false);
        window.pump();
        disagreements(edit, 1, 9);
        edit.setSelection({1, c.column}, {1, c.column});
        if (c.key)
            window.key(c.key);
        else
            edit.insertText(c.typed);
        if (c.isKept)
            EXPECT_TRUE(keepsFreshCells(edit, 1)) << c.what;
        else
            EXPECT_EQ(edit.view().cellCache().find(1, 0), nullptr) << c.what;
        EXPECT_EQ(disagreements(edit, 1, 1), std::vector<int>{}) << c.what;
        edit.destroy();
    }
}
