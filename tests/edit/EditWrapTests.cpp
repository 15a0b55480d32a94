#include <gtest/gtest.h>

#include "EditTestWindow.h"

// Wrapping text as the agreement panel shows it: Chinese breaks between characters, blank lines stay.
TEST(EditWrap, ChineseBreaksBetweenCharactersAndBlankLinesKeepOneRow)
{
    EditTestWindow w;
    EditControl edit;
    const std::string text = "\xB1\xEA\xCC\xE2\r\n\r\n"  // 标题, then an empty line
                             "1. \xB1\xBE\xB9\xAB\xCB\xBE\xCA\xDA\xD3\xE8\xC4\xFA\xD2\xBB\xB8\xF6\xB8\xF6\xC8\xCB\xB5\xC4"
                             "\xA1\xA2\xB2\xBB\xBF\xC9\xD7\xAA\xC8\xC3\xB5\xC4\xD0\xED\xBF\xC9\xA3\xAC\xD4\xCA\xD0\xED"
                             "\xC4\xFA\xD4\xDA\xD7\xD4\xBC\xBA\xB5\xC4\xBC\xC6\xCB\xE3\xBB\xFA\xC9\xCF\xB0\xB2\xD7\xB0";
    ASSERT_NE(edit.create(parentWindow(w.hwnd), 10, 10, 200, 200, text, std::nullopt, std::nullopt,
                          std::string("\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA"), std::nullopt, std::nullopt, true,
                          EditControl::ModeReadOnly, std::nullopt, EditControl::ScrollVertical),
              0u);
    w.pump();
    const TextBuffer& buffer = edit.buffer();
    ASSERT_EQ(buffer.lineCount(), 3);
    const float row = static_cast<float>(buffer.refHeight());
    ASSERT_GT(row, 0.0f);
    EXPECT_EQ(buffer.lineBox(2).height, row);
    EXPECT_EQ(buffer.lineBox(3).y, buffer.lineBox(2).y + row);
    EXPECT_GT(buffer.lineBox(3).height, 1.5f * row);

    // "1. " keeps the Chinese after it on its row instead of moving the whole run down.
    int first = 0, afterSpace = 3;
    const float firstTop = edit.caretRect(3, first, false).y;
    EXPECT_EQ(edit.caretRect(3, afterSpace, false).y, firstTop);
    // Whichever row the comma lands on holds the character before it too.
    int comma = 3 + 11 + 1 + 7, before = comma - 1;
    EXPECT_EQ(edit.caretRect(3, comma, false).y, edit.caretRect(3, before, false).y);
}
