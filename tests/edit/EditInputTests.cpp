// Keyboard editing, typed characters, mouse selection, the context menu and change notification.
#include <gtest/gtest.h>

#include <windows.h>
#include <imm.h>

#include "EditTestWindow.h"
#include "PopupMenu.h"

namespace {

using Pos = TextBuffer::Position;

int changes = 0;
void countChange(ControlHandle) { ++changes; }

int clientX(EditControl& edit, int line, int column)
{
    int before = column - 1;
    return static_cast<int>(edit.currentBounds().x + edit.caretRect(line, before, false).x);
}

int clientY(EditControl& edit, int line)
{
    const RectF box = edit.buffer().lineBox(line);
    return static_cast<int>(edit.currentBounds().y + edit.layoutRect().y + box.y + box.height / 2) + edit.scrollY();
}

}  // namespace

TEST(EditKeyboard, BackspaceJoinsLinesAndStopsAtTheStart)
{
    EditTestWindow window;
    EditControl& edit = window.add(10, 10, 300, 200, "ab\r\ncd", true);
    edit.setSelection({2, 0}, {2, 0});
    window.key(VK_BACK);
    EXPECT_EQ(edit.buffer().text(), "abcd");
    EXPECT_EQ(edit.caret(), (Pos{1, 2}));
    edit.setSelection({1, 0}, {1, 0});
    window.key(VK_BACK);
    EXPECT_EQ(edit.buffer().text(), "abcd");
    EXPECT_EQ(edit.caret(), (Pos{1, 0}));
    // A double-byte character goes as a whole.
    window.send(WM_CHAR, 'x');
    edit.text(std::string("a\xB7\xC9"), true);
    window.key(VK_BACK);
    EXPECT_EQ(edit.buffer().text(), "a");
}

TEST(EditKeyboard, DeleteRemovesTheCharacterAfterTheCaret)
{
    EditTestWindow window;
    EditControl& edit = window.add(10, 10, 300, 200, "ab\r\n\xB7\xC9" "c", true);
    struct Case {
        Pos caret;
        const char* expected;
        Pos after;
    };
    const Case cases[] = {
        {{1, 0}, "b\r\n\xB7\xC9" "c", {1, 0}},
        {{1, 2}, "ab\xB7\xC9" "c", {1, 2}},       // at a line end: the line break
        {{2, 0}, "ab\r\nc", {2, 0}},               // a double-byte character as a whole
        {{2, 2}, "ab\r\n\xB7\xC9" "c", {2, 2}},   // at the very end: nothing
    };
    for (const Case& c : cases) {
        edit.text(std::string("ab\r\n\xB7\xC9" "c"));
        edit.setSelection(c.caret, c.caret);
        window.key(VK_DELETE);
        EXPECT_EQ(edit.buffer().text(), c.expected) << c.caret.line << ":" << c.caret.column;
        EXPECT_EQ(edit.caret(), c.after);
    }
    // With a selection, Delete removes just the selection.
    edit.text(std::string("abcdef"));
    edit.setSelection({1, 1}, {1, 4});
    window.key(VK_DELETE);
    EXPECT_EQ(edit.buffer().text(), "aef");
    // Read-only: nothing.
    edit.inputMode(EditControl::ModeReadOnly);
    window.key(VK_DELETE);
    EXPECT_EQ(edit.buffer().text(), "aef");
}

TEST(EditKeyboard, ArrowsHomeAndEndMoveTheCaret)
{
    EditTestWindow window;
    EditControl& edit = window.add(10, 10, 300, 200, "abc\r\nde\r\nfghij", true);
    struct Case {
        Pos from;
        int key;
        Pos to;
    };
    const Case cases[] = {
        {{1, 2}, VK_UP, {1, 2}},      // Up on line 1 stays on line 1
        {{2, 2}, VK_RIGHT, {3, 0}},   // Right at the end of the next-to-last line
        {{3, 5}, VK_RIGHT, {3, 5}},   // at the very end it stays
        {{2, 0}, VK_LEFT, {1, 3}},
        {{1, 0}, VK_LEFT, {1, 0}},
        {{1, 3}, VK_DOWN, {2, 2}},    // the column is clamped to the shorter line
        {{3, 4}, VK_DOWN, {3, 4}},
        {{3, 4}, VK_HOME, {3, 0}},
        {{1, 1}, VK_END, {1, 3}},
    };
    for (const Case& c : cases) {
        edit.setSelection(c.from, c.from);
        window.key(c.key);
        EXPECT_EQ(edit.caret(), c.to) << c.key << " from " << c.from.line << ":" << c.from.column;
        EXPECT_EQ(edit.anchor(), c.to);
    }
}

TEST(EditKeyboard, SingleLineArrowsStayOnTheLine)
{
    EditTestWindow window;
    EditControl& edit = window.add(10, 10, 300, 30, "abc", false);
    edit.setSelection({1, 3}, {1, 3});
    window.key(VK_RIGHT);
    EXPECT_EQ(edit.caret(), (Pos{1, 3}));
    window.key(VK_DOWN);
    EXPECT_EQ(edit.caret(), (Pos{1, 3}));
    EXPECT_EQ(window.send(WM_KEYDOWN, VK_RETURN), 0);
    EXPECT_EQ(edit.buffer().text(), "abc");
}

TEST(EditKeyboard, ShiftExtendsTheSelectionExceptInPasswordMode)
{
    EditTestWindow window;
    EditControl& edit = window.add(10, 10, 300, 30, "abcdef", false);
    edit.setSelection({1, 1}, {1, 1});
    {
        HeldKey shift(VK_SHIFT);
        window.key(VK_RIGHT);
        window.key(VK_RIGHT);
    }
    EXPECT_EQ(edit.anchor(), (Pos{1, 1}));
    EXPECT_EQ(edit.caret(), (Pos{1, 3}));
    EXPECT_EQ(edit.selectedText(), "bc");

    EditControl& secret = window.add(10, 10, 300, 30, "abcdef", false, EditControl::ModePassword);
    secret.setSelection({1, 1}, {1, 1});
    {
        HeldKey shift(VK_SHIFT);
        window.key(VK_RIGHT);
    }
    EXPECT_EQ(secret.anchor(), secret.caret());
    // Ctrl combinations do nothing in password mode: no copy, no select-all.
    setClipboard(window.hwnd, "before");
    {
        HeldKey ctrl(VK_CONTROL);
        window.key('A');
        window.key('C');
    }
    EXPECT_EQ(secret.anchor(), secret.caret());
    EXPECT_EQ(clipboard(window.hwnd), "before");
}

TEST(EditKeyboard, CtrlCombinationsUseTheClipboard)
{
    EditTestWindow window;
    EditControl& edit = window.add(10, 10, 300, 200, "one\r\ntwo", true);
    {
        HeldKey ctrl(VK_CONTROL);
        window.key('A');
        EXPECT_EQ(edit.selectedText(), "one\r\ntwo");
        window.key('C');
        EXPECT_EQ(clipboard(window.hwnd), "one\r\ntwo");
        window.key('X');
        EXPECT_EQ(edit.buffer().text(), "");
        window.key('V');
        window.key('V');
    }
    EXPECT_EQ(edit.buffer().text(), "one\r\ntwoone\r\ntwo");
    EXPECT_EQ(edit.caret(), (Pos{3, 3}));
}

TEST(EditKeyboard, PastingMultipleLinesIntoASingleLineKeepsTheFirst)
{
    EditTestWindow window;
    EditControl& edit = window.add(10, 10, 300, 30, "ab", false);
    edit.setSelection({1, 1}, {1, 1});
    setClipboard(window.hwnd, "x\r\ny");
    {
        HeldKey ctrl(VK_CONTROL);
        window.key('V');
    }
    EXPECT_EQ(edit.buffer().text(), "axb");
    EXPECT_EQ(edit.caret(), (Pos{1, 2}));
}

TEST(EditKeyboard, PastedLoneLineFeedsNeitherPlaceTheCaretNorReportAChange)
{
    EditTestWindow window;
    for (const bool multiLine : {true, false}) {
        EditControl& edit = window.add(10, 10, 300, multiLine ? 100 : 30, "XY", multiLine);
        edit.onChange(&countChange);
        changes = 0;
        edit.setSelection({1, 0}, {1, 0});
        HeldKey ctrl(VK_CONTROL);
        setClipboard(window.hwnd, "a\nb");
        window.key('V');
        EXPECT_EQ(edit.buffer().text(), "abXY") << multiLine;
        EXPECT_EQ(edit.caret(), (Pos{1, 2})) << multiLine;
        EXPECT_EQ(changes, 1) << multiLine;
        setClipboard(window.hwnd, "\n");
        window.key('V');
        EXPECT_EQ(edit.buffer().text(), "abXY") << multiLine;
        EXPECT_EQ(edit.caret(), (Pos{1, 2})) << multiLine;
        EXPECT_EQ(changes, 1) << multiLine;
    }
}

TEST(EditCharacters, ModesFilterTypedAndPastedCharacters)
{
    struct Case {
        int mode;
        const char* typed;
        const char* afterTyping;
        const char* pasted;
        const char* afterPasting;
    };
    const Case cases[] = {
        {EditControl::ModeNormal, "a b\x7F\x1B", "a b", "\t1.x", "a b\t1.x"},
        {EditControl::ModeReadOnly, "abc", "", "abc", ""},
        {EditControl::ModeInteger, "-12.a3/", "-123", "4.5a-", "-12345-"},
        {EditControl::ModeDecimal, "1.2.3-/x", "1.23-/", "9.8", "1.23-/98"},
        {EditControl::ModePassword, "pw", "pw", "x", "pw"},  // no Ctrl combination works there
    };
    EditTestWindow window;
    for (const Case& c : cases) {
        EditControl& edit = window.add(10, 10, 300, 30, "", false, c.mode);
        window.type(c.typed);
        EXPECT_EQ(edit.buffer().text(), c.afterTyping) << c.mode;
        setClipboard(window.hwnd, c.pasted);
        HeldKey ctrl(VK_CONTROL);
        window.key('V');
        EXPECT_EQ(edit.buffer().text(), c.afterPasting) << c.mode;
    }
}

TEST(EditCharacters, ChineseArrivesFromEveryInputPathExactlyOnce)
{
    EditTestWindow window;
    EditControl& edit = window.add(10, 10, 300, 30, "", false);
    const auto fresh = [&] {
        edit.text(std::string());
        window.pump();
    };

    // An input-method result mixing ASCII and Chinese, completed through imm32: the default
    // processing hands it on as WM_IME_CHAR and then WM_CHAR.
    HMODULE imm = LoadLibraryW(L"imm32.dll");
    ASSERT_NE(imm, nullptr);
    const auto getContext = reinterpret_cast<HIMC(WINAPI*)(HWND)>(GetProcAddress(imm, "ImmGetContext"));
    const auto setString = reinterpret_cast<BOOL(WINAPI*)(HIMC, DWORD, LPVOID, DWORD, LPVOID, DWORD)>(
        GetProcAddress(imm, "ImmSetCompositionStringW"));
    const auto notify = reinterpret_cast<BOOL(WINAPI*)(HIMC, DWORD, DWORD, DWORD)>(GetProcAddress(imm, "ImmNotifyIME"));
    const auto releaseContext = reinterpret_cast<BOOL(WINAPI*)(HWND, HIMC)>(GetProcAddress(imm, "ImmReleaseContext"));
    HIMC context = getContext(window.hwnd);
    ASSERT_NE(context, nullptr);
    wchar_t composed[] = L"a\x98DE";  // a飞
    ASSERT_TRUE(setString(context, SCS_SETSTR, composed, sizeof composed - sizeof(wchar_t), nullptr, 0));
    ASSERT_TRUE(notify(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0));
    releaseContext(window.hwnd, context);
    window.pump();
    EXPECT_EQ(edit.buffer().text(), "a\xB7\xC9") << "input-method result";

    // WM_IME_CHAR, as an input method without composition sends it.
    fresh();
    window.send(WM_IME_CHAR, 'a', 1);
    window.send(WM_IME_CHAR, 0x98DE, 1);
    window.pump();
    EXPECT_EQ(edit.buffer().text(), "a\xB7\xC9") << "WM_IME_CHAR";

    // WM_CHAR with UTF-16 units, as an on-screen keyboard or remote input sends them: "C:\游戏\".
    fresh();
    for (const wchar_t unit : std::wstring(L"C:\\\x6E38\x620F\\"))
        window.send(WM_CHAR, unit, 1);
    EXPECT_EQ(edit.buffer().text(), "C:\\\xD3\xCE\xCF\xB7\\") << "WM_CHAR";

    // Lead and trail byte posted by an ANSI sender arrive as one character.
    fresh();
    PostMessageA(window.hwnd, WM_CHAR, 0xBC, 1);
    PostMessageA(window.hwnd, WM_CHAR, 0xD3, 1);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    EXPECT_EQ(edit.buffer().text(), "\xBC\xD3") << "ANSI WM_CHAR";  // 加

    // SendInput with KEYEVENTF_UNICODE: VK_PACKET, translated into WM_CHAR.
    fresh();
    SetForegroundWindow(window.hwnd);
    SetFocus(window.hwnd);
    window.pump();
    INPUT inputs[4] = {};
    const wchar_t keys[] = {L'b', 0x901F};  // b速
    for (int i = 0; i < 2; ++i) {
        inputs[2 * i].type = INPUT_KEYBOARD;
        inputs[2 * i].ki.wScan = keys[i];
        inputs[2 * i].ki.dwFlags = KEYEVENTF_UNICODE;
        inputs[2 * i + 1] = inputs[2 * i];
        inputs[2 * i + 1].ki.dwFlags |= KEYEVENTF_KEYUP;
    }
    ASSERT_EQ(SendInput(4, inputs, sizeof(INPUT)), 4u);
    for (int i = 0; i < 20 && edit.buffer().length() < 3; ++i) {
        Sleep(10);
        window.pump();
    }
    EXPECT_EQ(edit.buffer().text(), "b\xCB\xD9") << "SendInput";
}

TEST(EditCharacters, CharacterCodesDecodeToGbkForUnicodeAndAnsiWindows)
{
    struct Case {
        const char* what;
        bool isUnicodeWindow;
        std::vector<unsigned> codes;
        std::string expected;  // the texts taken, one after the other
    };
    const Case cases[] = {
        {"ASCII", true, {'a', ' ', '~'}, "a ~"},
        {"control characters and DEL", true, {8, 13, 27, 127}, ""},
        {"UTF-16 units", true, {0x98DE, 0x9CB8}, "\xB7\xC9\xBE\xA8"},
        {"no GBK form", true, {0x0E01, 0xD83D, 0xDE00}, ""},
        {"lead then trail", false, {0xB7, 0xC9, 'x'}, "\xB7\xC9x"},
        {"a lead without its trail goes", false, {0xB7, '1', 0xBE, 0xA8}, "1\xBE\xA8"},
        {"a lead before a control character", false, {0xB7, 13, 'b'}, "b"},
        {"bytes that start no character", false, {0x80, 0xFF, 'c'}, "c"},
    };
    for (const Case& c : cases) {
        EditInputMethod input;
        std::string taken;
        for (const unsigned code : c.codes)
            taken += input.takeCharacter(code, c.isUnicodeWindow);
        EXPECT_EQ(taken, c.expected) << c.what;
    }
}

TEST(EditChange, EveryEditRaisesTheChangeHandler)
{
    EditTestWindow window;
    EditControl& edit = window.add(10, 10, 300, 30, "", false);
    edit.onChange(&countChange);
    changes = 0;
    window.type("ab");
    EXPECT_EQ(changes, 2);
    window.key(VK_BACK);
    EXPECT_EQ(changes, 3);
    edit.text(std::string("new"));
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(edit.text(), "new");
    window.key(VK_LEFT);
    EXPECT_EQ(changes, 4);
}

TEST(EditMouse, ClickPlacesTheCaretAndDragSelects)
{
    EditTestWindow window;
    EditControl& edit = window.add(10, 10, 300, 200, "hello world\r\nsecond", true);
    const int y = clientY(edit, 1);
    window.click(clientX(edit, 1, 2) + 1, y);
    EXPECT_EQ(edit.caret(), (Pos{1, 2}));
    EXPECT_EQ(edit.anchor(), (Pos{1, 2}));
    // A drag with the press held by the control.
    window.send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(clientX(edit, 1, 1) + 1, y));
    window.send(WM_MOUSEMOVE, edit.handle(), MAKELPARAM(clientX(edit, 2, 3) + 1, clientY(edit, 2)));
    EXPECT_EQ(edit.anchor(), (Pos{1, 1}));
    EXPECT_EQ(edit.caret(), (Pos{2, 3}));
    EXPECT_EQ(edit.selectedText(), "ello world\r\nsec");
    window.send(WM_LBUTTONUP, 0, MAKELPARAM(clientX(edit, 2, 3) + 1, clientY(edit, 2)));
}

TEST(EditMouse, DoubleClickSelectsAWordAndTripleClickTheLine)
{
    EditTestWindow window;
    EditControl& edit = window.add(10, 10, 300, 200, "abc-def x  y", true);
    const int y = clientY(edit, 1);
    window.doubleClick(clientX(edit, 1, 1) + 2, y);
    EXPECT_EQ(edit.selectedText(), "abc");
    window.click(clientX(edit, 1, 1) + 2, y);
    EXPECT_EQ(edit.selectedText(), "abc-def x  y");
    // A double click on a space selects that one space.
    window.doubleClick(clientX(edit, 1, 10) + 1, y);
    EXPECT_EQ(edit.anchor(), (Pos{1, 10}));
    EXPECT_EQ(edit.selectedText(), " ");
    // Password mode: no word selection.
    EditControl& secret = window.add(10, 10, 300, 30, "abc", false, EditControl::ModePassword);
    window.doubleClick(clientX(secret, 1, 1) + 1, clientY(secret, 1));
    EXPECT_EQ(secret.anchor(), secret.caret());
}

TEST(EditMenu, ItemStatesFollowSelectionModeAndClipboard)
{
    EditTestWindow window;
    PopupMenu menu;
    fillEditMenu(menu);
    ASSERT_EQ(menu.itemCount(), 5);
    struct Case {
        const char* what;
        int mode;
        const char* text;
        bool select;
        const char* clip;
        int cut, copy, paste, all;
    };
    const Case cases[] = {
        {"read-only with a selection", EditControl::ModeReadOnly, "abc", true, "x", -1, 0, -1, 1},
        {"normal with a selection", EditControl::ModeNormal, "abc", true, "x", 0, 0, 0, 1},
        {"normal, nothing selected", EditControl::ModeNormal, "abc", false, "x", -1, -1, 0, 1},
        {"empty text, empty clipboard", EditControl::ModeNormal, "", false, "", -1, -1, -1, -1},
    };
    for (const Case& c : cases) {
        EditControl& edit = window.add(10, 10, 300, 30, c.text, false, c.mode);
        if (c.select)
            edit.setSelection({1, 0}, {1, 2});
        setClipboard(window.hwnd, c.clip);
        edit.prepareMenu(menu);
        EXPECT_EQ(menu.itemState(1), c.cut) << c.what;
        EXPECT_EQ(menu.itemState(2), c.copy) << c.what;
        EXPECT_EQ(menu.itemState(3), c.paste) << c.what;
        EXPECT_EQ(menu.itemState(5), c.all) << c.what;
    }
}

TEST(EditMenu, ChosenItemsActAsCtrlKeys)
{
    EditTestWindow window;
    EditControl& edit = window.add(10, 10, 300, 30, "abc", false, EditControl::ModeReadOnly);
    window.send(WM_COMMAND, EDIT_MENU_SELECT_ALL, 0);
    EXPECT_EQ(edit.selectedText(), "abc");
    window.send(WM_COMMAND, EDIT_MENU_CUT, 0);  // refused in read-only mode
    EXPECT_EQ(edit.buffer().text(), "abc");
    window.send(WM_COMMAND, EDIT_MENU_COPY, 0);
    EXPECT_EQ(clipboard(window.hwnd), "abc");
}

TEST(EditCaret, BlinkAlternatesAndBlurHidesAndCollapses)
{
    EditTestWindow window;
    EditControl& edit = window.add(10, 10, 300, 30, "abc", false);
    window.click(clientX(edit, 1, 3) + 1, clientY(edit, 1));
    const int after = edit.blinkCounter();
    window.send(WM_TIMER, edit.handle(), 0);
    const int next = edit.blinkCounter();
    window.send(WM_TIMER, edit.handle(), 0);
    EXPECT_NE(after & 1, next & 1);
    EXPECT_EQ(edit.blinkCounter(), after);
    edit.setSelection({1, 0}, {1, 2});
    EditControl other;
    other.create(parentWindow(window.hwnd), 10, 100, 100, 30);
    window.host.setFocus(other.handle(), false);
    EXPECT_EQ(edit.anchor(), edit.caret());
    other.destroy();
}
