// Thousands of random keys, characters, input-method results, clicks, drags and clipboard operations
// in every input mode; after each step the caret and anchor must be valid positions on character
// boundaries and the line table must match the bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "EditTestWindow.h"

namespace {

// The line table rebuilt from the bytes, as setText defines it.
std::vector<int> expectedStarts(const std::string& bytes, bool multiLine)
{
    std::vector<int> starts{1};
    if (!multiLine)
        return starts;
    for (size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (bytes[i] == '\r' && bytes[i + 1] == '\n')
            starts.push_back(static_cast<int>(i) + 3);
    }
    return starts;
}

::testing::AssertionResult isConsistent(EditControl& edit)
{
    const TextBuffer& buffer = edit.buffer();
    const std::string bytes = buffer.bytes();
    const std::vector<int> starts = expectedStarts(bytes, edit.isMultiLine());
    if (buffer.lineCount() != static_cast<int>(starts.size()))
        return ::testing::AssertionFailure() << "line count " << buffer.lineCount() << " for " << starts.size();
    for (int line = 1; line <= buffer.lineCount(); ++line) {
        if (buffer.lineStart(line) != starts[static_cast<size_t>(line - 1)])
            return ::testing::AssertionFailure() << "line " << line << " starts at " << buffer.lineStart(line);
    }
    if (!edit.isMultiLine() && bytes.find("\r\n") != std::string::npos)
        return ::testing::AssertionFailure() << "a single line holds a line break";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            return ::testing::AssertionFailure() << "lone LF at " << i;
    }
    for (const TextBuffer::Position p : {edit.caret(), edit.anchor()}) {
        if (!buffer.isValidLine(p.line) || p.column < 0 || p.column > buffer.characterCount(p.line))
            return ::testing::AssertionFailure() << "invalid position " << p.line << ":" << p.column;
        // The byte position must start a character: count the line's characters up to it.
        const int at = edit.bytePosition(p.line, p.column);
        const int start = buffer.lineStart(p.line);
        const std::string_view line = std::string_view(bytes).substr(static_cast<size_t>(start - 1),
                                                                     static_cast<size_t>(at - start));
        if (TextBuffer::countCharacters(line) != p.column)
            return ::testing::AssertionFailure() << "position splits a character at " << p.line << ":" << p.column;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(EditFuzz, RandomInputKeepsCaretSelectionAndLineTableValid)
{
    static const char* const gbkPieces[] = {"\xB7\xC9", "\xBE\xA8\xCD\xF8", "\xD3\xCE\xCF\xB7", "a\xB7\xC9" "b"};
    static const char* const pastes[] = {"x\r\ny", "\r\n", "\n", "ab\rcd", "\xB7\xC9\r\n\xBE\xA8", "", "1.5"};
    static const int keys[] = {VK_BACK, VK_RETURN, VK_DELETE, VK_END, VK_HOME, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN};
    constexpr int stepsPerSetup = 400;
    std::mt19937 random(20261208);
    EditTestWindow window;
    int steps = 0;
    for (int mode = 0; mode <= 4; ++mode) {
        for (const bool multiLine : {true, false}) {
            EditControl& edit = window.add(10, 10, 240, multiLine ? 120 : 30, "start\r\n\xB7\xC9 text", multiLine, mode);
            const RectF bounds = edit.currentBounds();
            for (int i = 0; i < stepsPerSetup; ++i, ++steps) {
                const int x = static_cast<int>(bounds.x) + static_cast<int>(random() % 260) - 10;
                const int y = static_cast<int>(bounds.y) + static_cast<int>(random() % 140) - 10;
                const unsigned op = random() % 10;
                switch (op) {
                case 0:
                case 1: {
                    const bool shift = random() % 3 == 0;
                    std::optional<HeldKey> held;
                    if (shift)
                        held.emplace(VK_SHIFT);
                    window.key(keys[random() % std::size(keys)]);
                    break;
                }
                case 2:
                case 3:
                    window.send(WM_CHAR, 32 + random() % 95);
                    break;
                case 4:
                    // What an input method's result reaches insertText with.
                    if (mode == EditControl::ModeNormal)
                        edit.insertText(gbkPieces[random() % std::size(gbkPieces)]);
                    break;
                case 5:
                    window.click(x, y);
                    break;
                case 6:
                    window.send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
                    window.send(WM_MOUSEMOVE, edit.handle(),
                                MAKELPARAM(static_cast<int>(bounds.x) + random() % 240, y + random() % 40));
                    window.send(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
                    break;
                case 7:
                    window.doubleClick(x, y);
                    break;
                case 8: {
                    setClipboard(window.hwnd, pastes[random() % std::size(pastes)]);
                    HeldKey ctrl(VK_CONTROL);
                    window.key("AVXC"[random() % 4]);
                    break;
                }
                default:
                    window.send(WM_MOUSEWHEEL, MAKEWPARAM(0, random() % 2 ? 120 : static_cast<WORD>(-120)), 0);
                    break;
                }
                ASSERT_TRUE(isConsistent(edit)) << "mode " << mode << " multiLine " << multiLine << " step " << i;
                if (edit.buffer().length() > 600)
                    edit.text(std::string("reset\r\ntext"));
            }
        }
    }
    EXPECT_EQ(steps, 10 * stepsPerSetup);
}
