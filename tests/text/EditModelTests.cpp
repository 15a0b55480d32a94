// The editing model's commands where the buffer changes or refuses what it is given: the caret goes
// behind what was kept, filters apply to every insertion, password mode keeps no selection.
#include <gtest/gtest.h>

#include <cstdio>

#include "EditModel.h"

namespace {

using Position = TextBuffer::Position;

std::string printable(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte < 127) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
    }
    return out;
}

EditModel modelWith(bool multiLine, int mode, const std::string& text, Position anchor, Position caret)
{
    EditModel model;
    model.configure(multiLine, mode, "*");
    model.setText(text, false);
    model.setSelection(anchor, caret);
    return model;
}

}  // namespace

TEST(EditModelInsert, CaretGoesBehindWhatTheBufferKept)
{
    struct Case {
        const char* what;
        bool multiLine;
        std::string text;
        Position caret;
        std::string inserted;
        std::string expected;
        Position after;
        bool isChanged;
    };
    const Case cases[] = {
        {"lone LF vanishes, multi-line", true, "XY", {1, 0}, "a\nb", "abXY", {1, 2}, true},
        {"lone LF vanishes, single line", false, "XY", {1, 0}, "a\nb", "abXY", {1, 2}, true},
        {"bare LF changes nothing", true, "XY", {1, 1}, "\n", "XY", {1, 1}, false},
        {"bare LF, single line", false, "XY", {1, 1}, "\n", "XY", {1, 1}, false},
        {"a lone CR takes the LF", true, "ab\r", {1, 3}, "\n", "ab\r\n", {2, 0}, true},
        {"CR LF starts a line", true, "XY", {1, 0}, "x\r\ny", "x\r\nyXY", {2, 1}, true},
        {"single line keeps the first line", false, "ab", {1, 1}, "x\r\ny", "axb", {1, 2}, true},
        {"GBK character", true, "ab", {1, 1}, "\xB7\xC9", "a\xB7\xC9" "b", {1, 2}, true},
        {"dangling lead byte", true, "ab", {1, 1}, "x\xB7", "axb", {1, 2}, true},
        {"only a lead byte", false, "ab", {1, 1}, "\xB7", "ab", {1, 1}, false},
        {"behind a lone lead at a line end", true, "a\xB7\r\nc", {1, 2}, "x", "a\xB7x\r\nc", {1, 2}, true},
    };
    for (const Case& c : cases) {
        EditModel model = modelWith(c.multiLine, EditModel::ModeNormal, c.text, c.caret, c.caret);
        const EditModel::Outcome outcome = model.insert(c.inserted);
        EXPECT_EQ(printable(model.buffer().text()), printable(c.expected)) << c.what;
        EXPECT_EQ(model.caret(), c.after) << c.what;
        EXPECT_EQ(model.anchor(), c.after) << c.what;
        EXPECT_EQ(outcome.isTextChanged, c.isChanged) << c.what;
    }
}

TEST(EditModelInsert, IntegerAndDecimalModesFilterEveryInsertion)
{
    struct Case {
        const char* what;
        int mode;
        std::string text;
        Position anchor, caret;
        std::string inserted;
        std::string expected;
    };
    const Case cases[] = {
        {"integer paste, up to the line break", EditModel::ModeInteger, "", {1, 0}, {1, 0}, "12a-3.4\r\n5", "12-34"},
        {"integer drops double-byte pairs", EditModel::ModeInteger, "", {1, 0}, {1, 0}, "\xB7" "1\xB3\xA4" "2", "2"},
        {"decimal keeps one point", EditModel::ModeDecimal, "", {1, 0}, {1, 0}, "1.2.3/x", "1.23/"},
        {"decimal point already there", EditModel::ModeDecimal, "1.5", {1, 3}, {1, 3}, ".7", "1.57"},
        {"the selected point goes", EditModel::ModeDecimal, "1.5", {1, 1}, {1, 3}, ".", "1."},
        {"a point over the whole text", EditModel::ModeDecimal, "1.5", {1, 0}, {1, 3}, "2.5", "2.5"},
        {"refused paste keeps the selection", EditModel::ModeInteger, "12", {1, 0}, {1, 2}, "ab", "12"},
    };
    for (const Case& c : cases) {
        EditModel model = modelWith(false, c.mode, c.text, c.anchor, c.caret);
        const EditModel::Outcome outcome = model.insert(c.inserted);
        EXPECT_EQ(printable(model.buffer().text()), printable(c.expected)) << c.what;
        if (!outcome.isTextChanged) {
            EXPECT_EQ(model.anchor(), c.anchor) << c.what;
            EXPECT_EQ(model.caret(), c.caret) << c.what;
        }
    }
}

TEST(EditModelMode, PasswordModeMasksTheTextAndKeepsNoSelection)
{
    EditModel model = modelWith(true, EditModel::ModeNormal, "abc\r\nd", {1, 1}, {2, 1});
    ASSERT_TRUE(model.hasSelection());
    model.mode(EditModel::ModePassword);
    EXPECT_EQ(model.buffer().lineText(1, std::nullopt, true), "***");
    EXPECT_EQ(model.caret(), (Position{2, 1}));
    EXPECT_EQ(model.anchor(), model.caret());
    // No way to select in password mode.
    model.move(EditModel::Move::Left, true);
    model.selectAll();
    model.selectWord();
    model.placeCaret({1, 0}, true);
    EXPECT_FALSE(model.hasSelection());
    model.mode(EditModel::ModeNormal);
    EXPECT_EQ(model.buffer().lineText(1, std::nullopt, true), "abc");
}
