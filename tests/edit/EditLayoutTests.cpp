// Hit-testing, caret placement and painting on real GDI+ layout.
#include <gtest/gtest.h>

#include "EditTestWindow.h"
#include "Pixels.h"
#include "ScrollBar.h"

namespace {

constexpr int left = 20, top = 20;

// The client x of the caret after `column` characters of `line`.
int boundaryX(EditControl& edit, int line, int column)
{
    int before = column - 1;
    return static_cast<int>(edit.currentBounds().x + edit.caretRect(line, before, false).x);
}

int lineMiddleY(EditControl& edit, int line)
{
    const RectF box = edit.buffer().lineBox(line);
    return static_cast<int>(edit.currentBounds().y + edit.layoutRect().y + box.y + box.height / 2) + edit.scrollY();
}

}  // namespace

TEST(EditHitTest, PointsMapToTheNearestCharacterBoundary)
{
    EditTestWindow window;
    EditControl& edit = window.add(left, top, 300, 200, "abcdef\r\n\r\nxy", true);
    ASSERT_GT(edit.buffer().refHeight(), 0);
    // Boundaries increase with the column.
    for (int column = 1; column <= 6; ++column)
        EXPECT_GT(boundaryX(edit, 1, column), boundaryX(edit, 1, column - 1)) << column;

    struct Case {
        const char* what;
        int line;
        int x;
        int y;
        TextBuffer::Position expected;
    };
    const int y1 = lineMiddleY(edit, 1), y2 = lineMiddleY(edit, 2), y3 = lineMiddleY(edit, 3);
    const auto at = [&](int column, float fraction) {
        const int a = boundaryX(edit, 1, column), b = boundaryX(edit, 1, column + 1);
        return a + static_cast<int>((b - a) * fraction);
    };
    const Case cases[] = {
        {"left half of c", 1, at(2, 0.25f), y1, {1, 2}},
        {"right half of c", 1, at(2, 0.8f), y1, {1, 3}},
        {"right half of a", 1, at(0, 0.8f), y1, {1, 1}},
        {"left of the text", 1, left + 1, y1, {1, 0}},
        {"beyond the line end", 1, left + 250, y1, {1, 6}},
        {"empty line", 2, left + 100, y2, {2, 0}},
        {"empty line at its start", 2, left + 3, y2, {2, 0}},
        {"last line end", 3, left + 200, y3, {3, 2}},
        {"below the last line", 3, left + 200, top + 190, {3, 2}},
        {"below the last line, at its start", 3, left + 3, top + 190, {3, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(edit.hitTest(c.x, c.y), c.expected) << c.what;
}

TEST(EditHitTest, ClickAboveTheFirstLineHitsLineOne)
{
    EditTestWindow window;
    EditControl& edit = window.add(left, top, 300, 200, "abc\r\ndef", true);
    EXPECT_EQ(edit.hitTest(left + 200, top + 1).line, 1);
    EXPECT_EQ(edit.hitTest(left + 200, top - 10).line, 1);
}

TEST(EditLayout, SpacesAdvanceInEightPixelTabSteps)
{
    EditTestWindow window;
    EditControl& edit = window.add(left, top, 300, 30, "    ", false);
    const int origin = static_cast<int>(edit.currentBounds().x + edit.layoutRect().x);
    EXPECT_EQ(boundaryX(edit, 1, 0) - origin, 0);
    for (int column = 1; column <= 4; ++column)
        EXPECT_EQ(boundaryX(edit, 1, column) - origin, 1 + 8 * column) << column;
    // And clicks land on those stops.
    const int y = lineMiddleY(edit, 1);
    EXPECT_EQ(edit.hitTest(origin + 9 + 6, y).column, 2);
    EXPECT_EQ(edit.hitTest(origin + 9 + 2, y).column, 1);
}

TEST(EditLayout, PasswordModeMeasuresTheMaskNotTheText)
{
    EditTestWindow window;
    EditControl& masked = window.add(left, top, 300, 30, "WWWW", false, EditControl::ModePassword);
    const int maskedEnd = boundaryX(masked, 1, 4);
    EditControl& plain = window.add(left, top, 300, 30, "****", false);
    EXPECT_EQ(boundaryX(plain, 1, 4), maskedEnd);
}

TEST(EditLayout, LongSingleLineScrollsTheCaretIntoView)
{
    EditTestWindow window;
    EditControl& edit = window.add(left, top, 100, 30, "", false);
    window.type(std::string(60, 'm'));
    EXPECT_LT(edit.scrollX(), 0);
    const RectF caret = edit.caretBox();
    EXPECT_LE(caret.x, edit.layoutRect().x + edit.layoutRect().width);
    EXPECT_GE(caret.x, edit.layoutRect().x);
    window.key(VK_HOME);
    EXPECT_EQ(edit.scrollX(), 0);
}

TEST(EditLayout, MultiLineTextScrollsVerticallyAndTheBarFollows)
{
    EditTestWindow window;
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "line\r\n";
    EditControl& edit = window.add(left, top, 200, 100, text, true);
    ASSERT_NE(edit.verticalBar(), nullptr);
    EXPECT_GT(edit.verticalBar()->maximum(), 0);
    EXPECT_EQ(edit.scrollY(), 0);
    window.send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), MAKELPARAM(left + 5, top + 5));
    EXPECT_EQ(edit.scrollY(), -3 * edit.buffer().refHeight());
    EXPECT_GT(edit.firstVisibleLine(), 1);
    window.send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    window.send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(edit.scrollY(), 0);
    for (int i = 0; i < 30; ++i)
        window.key(VK_DOWN);
    EXPECT_LT(edit.scrollY(), 0);
    EXPECT_EQ(edit.verticalBar()->position(), -edit.scrollY());
    const RectF caret = edit.caretBox();
    EXPECT_LE(caret.y + caret.height, edit.layoutRect().y + edit.layoutRect().height + 1);
}

TEST(EditPaint, SelectionShowsWhiteTextOnBlue)
{
    EditTestWindow window;
    EditControl& edit = window.add(left, top, 300, 30, "MMMM MMMM", false);
    TestCanvas before(300, 30);
    edit.setSelection({1, 0}, {1, 4});
    const int x = boundaryX(edit, 1, 1) - left;
    const int y = static_cast<int>(edit.caretBox().y + edit.caretBox().height / 2);
    // Somewhere in the first selected character's cell the highlight shows.
    bool blue = false;
    for (int dx = -3; dx <= 0 && !blue; ++dx)
        blue = (pixelAt(edit.bitmap(), x + dx, y) & 0xFFFFFF) == 0x3399FF;
    EXPECT_TRUE(blue);
    // Past the selection the background is the control's own light fill.
    const int after = boundaryX(edit, 1, 8) - left - 1;
    EXPECT_NE(pixelAt(edit.bitmap(), after, y) & 0xFFFFFF, 0x3399FFu);
}

namespace {

HIMC inputContextOf(HWND window)
{
    static const auto getContext =
        reinterpret_cast<HIMC(WINAPI*)(HWND)>(GetProcAddress(LoadLibraryW(L"imm32.dll"), "ImmGetContext"));
    static const auto releaseContext =
        reinterpret_cast<BOOL(WINAPI*)(HWND, HIMC)>(GetProcAddress(LoadLibraryW(L"imm32.dll"), "ImmReleaseContext"));
    HIMC context = getContext(window);
    if (context)
        releaseContext(window, context);
    return context;
}

int differingPixels(const EditControl& a, const EditControl& b)
{
    const RectF bounds = a.currentBounds();
    int differing = 0;
    for (int y = 0; y < static_cast<int>(bounds.height); ++y)
        for (int x = 0; x < static_cast<int>(bounds.width); ++x)
            differing += pixelAt(a.bitmap(), x, y) != pixelAt(b.bitmap(), x, y);
    return differing;
}

EditControl& addMultiLine(EditTestWindow& window, const std::string& text, int scrollMode)
{
    window.edit = std::make_unique<EditControl>();
    window.edit->create(parentWindow(window.hwnd), left, top, 200, 100, text, std::nullopt, std::nullopt,
                        std::nullopt, std::nullopt, std::nullopt, true, std::nullopt, std::nullopt, scrollMode);
    window.host.setFocus(window.edit->handle(), false);
    window.pump();
    return *window.edit;
}

bool isInsideLayout(EditControl& edit)
{
    const RectF caret = edit.caretBox(), layout = edit.layoutRect();
    return caret.y >= layout.y - 2 && caret.y + caret.height <= layout.y + layout.height;
}

}  // namespace

TEST(EditLayout, PasswordModeSetAfterCreationMasksTheTextAndSwitchesTheInputMethod)
{
    EditTestWindow window;
    EditControl maskedFromStart, plain;
    maskedFromStart.create(parentWindow(window.hwnd), left, top + 100, 300, 30, "WWWW", std::nullopt, std::nullopt,
                           std::nullopt, std::nullopt, std::nullopt, false, EditControl::ModePassword);
    plain.create(parentWindow(window.hwnd), left, top + 150, 300, 30, "WWWW");
    EditControl& edit = window.add(left, top, 300, 30, "WWWW", false);
    edit.setSelection({1, 1}, {1, 3});
    ASSERT_NE(inputContextOf(window.hwnd), nullptr);

    edit.inputMode(EditControl::ModePassword);
    window.pump();
    EXPECT_EQ(differingPixels(edit, maskedFromStart), 0) << "drawn as if masked from the start";
    EXPECT_EQ(boundaryX(edit, 1, 4), boundaryX(maskedFromStart, 1, 4));
    EXPECT_EQ(edit.anchor(), edit.caret());
    EXPECT_EQ(inputContextOf(window.hwnd), nullptr) << "no input method in a password field";

    edit.inputMode(EditControl::ModeNormal);
    window.pump();
    EXPECT_EQ(differingPixels(edit, plain), 0);
    EXPECT_NE(inputContextOf(window.hwnd), nullptr);
    maskedFromStart.destroy();
    plain.destroy();
}

TEST(EditLayout, WheelScrollsAndIsTakenOnlyWhenTheTextIsTallerThanTheField)
{
    EditTestWindow window;
    for (const int scrollMode : {int{EditControl::ScrollHorizontal}, int{EditControl::ScrollVertical},
                                 EditControl::ScrollHorizontal | EditControl::ScrollVertical}) {
        EditControl& edit = addMultiLine(window, "a\r\nb", scrollMode);
        const RectF caret = edit.caretBox();
        for (const int delta : {-120, 120, -120}) {
            window.send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), 0);
            EXPECT_EQ(edit.scrollY(), 0) << scrollMode;
        }
        EXPECT_EQ(edit.caretBox().y, caret.y) << scrollMode;
        // Not taken: the wheel may go on to another control.
        EXPECT_EQ(HostWindow::dispatch(edit.handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0), -1) << scrollMode;
    }
    // A text taller than the field takes it, also at the top where nothing moves.
    std::string tall = "1";
    for (int i = 2; i <= 30; ++i)
        tall += "\r\n" + std::to_string(i);
    EditControl& edit = addMultiLine(window, tall, EditControl::ScrollVertical);
    EXPECT_EQ(HostWindow::dispatch(edit.handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0), 0);
    EXPECT_EQ(edit.scrollY(), 0);
    EXPECT_EQ(HostWindow::dispatch(edit.handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0), 0);
    EXPECT_LT(edit.scrollY(), 0);
}

TEST(EditLayout, ArrowKeysBringACaretFarOutsideTheViewBackIntoIt)
{
    EditTestWindow window;
    std::string text = "line 1";
    for (int i = 2; i <= 40; ++i)
        text += "\r\nline " + std::to_string(i);
    EditControl& edit = addMultiLine(window, text, EditControl::ScrollHorizontal | EditControl::ScrollVertical);
    struct Case {
        const char* what;
        TextBuffer::Position caret;
        int wheel;
        int key;
    };
    const Case cases[] = {
        {"the wheel went up, the caret is far below", {40, 2}, 120, VK_UP},
        {"the wheel went down, the caret is far above", {1, 2}, -120, VK_DOWN},
        {"far below, a move along the line", {40, 2}, 120, VK_LEFT},
    };
    for (const Case& c : cases) {
        edit.setSelection(c.caret, c.caret);
        for (int i = 0; i < 20; ++i)
            window.send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(c.wheel)), 0);
        ASSERT_FALSE(isInsideLayout(edit)) << c.what;
        window.key(c.key);
        EXPECT_TRUE(isInsideLayout(edit)) << c.what;
        EXPECT_EQ(edit.verticalBar()->position(), -edit.scrollY()) << c.what;
    }
}
