#include <gtest/gtest.h>

#include "EditTestWindow.h"
#include "Engine.h"
#include "Pixels.h"

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

namespace {
// Pixels of the control's own bitmap that differ from its background in the text area's top rows.
int inkedPixels(const EditControl& edit, int rows)
{
    const ARGB background = pixelAt(edit.bitmap(), 5, 5);
    int inked = 0;
    for (int y = 4; y < rows; ++y)
        for (int x = 4; x < 180; ++x)
            inked += pixelAt(edit.bitmap(), x, y) != background;
    return inked;
}
}  // namespace

// A panel created hidden (the agreement) is laid out and drawn only when it is first shown, and
// whatever happened to it meanwhile is what it shows then.
TEST(EditWrap, HiddenEditIsDrawnWhenFirstShownWithItsCurrentText)
{
    EditTestWindow w;
    const std::string yaHei = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";
    const auto create = [&](EditControl& edit, const std::string& text) {
        return edit.create(parentWindow(w.hwnd), 10, 10, 200, 120, text, makeColor(RGB(0, 0, 0)),
                           makeColor(RGB(255, 255, 255)), yaHei, std::nullopt, std::nullopt, true,
                           EditControl::ModeReadOnly, std::nullopt, EditControl::ScrollVertical, std::nullopt, false);
    };
    EditControl untouched, retexted;
    ASSERT_NE(create(untouched, "\xB1\xEA\xCC\xE2\r\nsecond"), 0u);  // 标题
    ASSERT_NE(create(retexted, ""), 0u);
    w.pump();
    EXPECT_EQ(inkedPixels(untouched, 40), 0) << "nothing drawn while hidden";

    retexted.text(std::string("abc\r\ndef\r\nghi"));
    retexted.visible(true);
    untouched.visible(true);
    w.pump();
    EXPECT_GT(inkedPixels(untouched, 40), 20);
    EXPECT_GT(inkedPixels(retexted, 60), 20);
    EXPECT_EQ(retexted.buffer().lineCount(), 3);
    const float row = static_cast<float>(retexted.buffer().refHeight());
    ASSERT_GT(row, 0.0f);
    EXPECT_EQ(retexted.buffer().lineBox(3).y, retexted.buffer().lineBox(2).y + row);
    int end = 2;
    EXPECT_GT(retexted.caretRect(2, end, false).x, retexted.buffer().lineBox(2).x) << "the line is measured";
}
