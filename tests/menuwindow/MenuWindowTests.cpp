#include <gtest/gtest.h>

#include "MenuDriver.h"
#include "MenuItemControl.h"
#include "MenuWindow.h"
#include "Text.h"

namespace {

const char* const cut = "\xBC\xF4\xC7\xD0(&T)";  // 剪切(&T)

int tenPerChar(const std::wstring& text)
{
    return 10 * static_cast<int>(text.size());
}

std::vector<MenuItem> editItems()
{
    PopupMenu menu;
    fillEditMenu(menu);
    return menu.items();
}

int width(const RECT& r) { return r.right - r.left; }
int height(const RECT& r) { return r.bottom - r.top; }


// A one-row submenu, and a driver that opens it with the root's access key S once the root shows.
struct SubmenuOpener {
    explicit SubmenuOpener(const char* row)
    {
        sub.addItem(row);
        sub.setOnOpen(MenuDriver::recordOpen);
        driver.onShown(0, [this](HWND menu) {
            root = menu;
            postKey(menu, 'S');  // the submenu row's access key
        });
    }
    PopupMenu sub;
    MenuDriver driver;
    HWND root = nullptr;
};

// On show: the rows' bounds (and the host's logical size) recorded, then the menu closed by Escape.
std::function<void(HWND)> recordRowsAndClose(std::vector<RectF>& bounds, SIZE* logical = nullptr)
{
    return [&bounds, logical](HWND menu) {
        HostWindow* host = HostWindow::fromWindow(menu);
        if (logical)
            *logical = host->size;
        for (ControlHandle c = host->firstControl; c; c = Control::fromHandle(c)->nextSibling())
            bounds.push_back(Control::fromHandle(c)->currentBounds());
        postKey(menu, VK_ESCAPE);
    };
}

}  // namespace

TEST(MenuGeometry, WidthIsRaisedToFiftyOrMeasuredFromTheTexts)
{
    MenuItem leftOut = commandItem("a much longer text than any", 1);
    leftOut.option1 = MenuWindow::leftOut;
    PopupMenu sub;
    const struct {
        std::vector<MenuItem> items;
        int given;
        int expected;
    } cases[] = {
        {{commandItem("abc", 1)}, 20, 50},
        {{commandItem("abc", 1)}, 50, 50},
        {{commandItem("abc", 1)}, 120, 120},
        {{commandItem("abc", 1), commandItem("abcdef", 2)}, 0, 60 + 50},
        {{commandItem("abc", 1), separatorItem()}, 0, 30 + 50},
        {{commandItem("abc", 1), submenuItem("ab", sub)}, 0, 30 + 50 + 15},
        {{commandItem("abc", 1), leftOut}, 0, 30 + 50},
        {{}, 0, 50},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MenuWindow::menuWidth(c.items, c.given, tenPerChar), c.expected) << "given " << c.given;
}

TEST(MenuGeometry, HeightCountsMarginsRowsAndSeparators)
{
    MenuItem leftOut = commandItem("x", 1);
    leftOut.option1 = MenuWindow::leftOut;
    EXPECT_EQ(MenuWindow::menuHeight(editItems()), 16 + 4 * 22 + 3);
    EXPECT_EQ(MenuWindow::menuHeight({}), 16);
    EXPECT_EQ(MenuWindow::menuHeight({commandItem("x", 1), leftOut}), 16 + 22);
}

TEST(MenuGeometry, RootAtCursorFlipsUpAndLeftOnlyNearTheWorkAreaEdges)
{
    const RECT work = {0, 0, 1000, 700};
    const struct {
        POINT cursor;
        POINT expected;
    } cases[] = {
        {{100, 100}, {100, 100}},
        {{990, 100}, {990 - 80, 100}},
        {{100, 690}, {100, 690 - 60 + 5}},
        {{990, 690}, {990 - 80, 690 - 60 + 5}},
        {{925, 640}, {925, 640}},  // x + w - 5 and y + h exactly at the edges still fit
    };
    for (const auto& c : cases) {
        const POINT at = MenuWindow::placeAtCursor(c.cursor, 80, 60, work);
        EXPECT_EQ(at.x, c.expected.x) << c.cursor.x << "," << c.cursor.y;
        EXPECT_EQ(at.y, c.expected.y) << c.cursor.x << "," << c.cursor.y;
    }
}

TEST(MenuGeometry, SubmenuOpensLeftWithRevealFromRightWhenNoRoomOnTheRight)
{
    const RECT work = {0, 0, 1000, 700};
    const RectF row = {8, 30, 84, 22};
    const struct {
        RECT parent;
        POINT origin;
        bool left;
        int show;
        int close;
    } cases[] = {
        {{100, 100, 200, 200}, {190, 123}, false, 3, 4},
        {{850, 100, 950, 200}, {850 - 80 + 10, 123}, true, 4, 3},
        {{100, 640, 200, 700}, {190, 640 + 30 + 22 - 60 + 7}, false, 3, 4},
    };
    for (const auto& c : cases) {
        const auto placed = MenuWindow::placeSubmenu(c.parent, row, 80, 60, work);
        EXPECT_EQ(placed.origin.x, c.origin.x);
        EXPECT_EQ(placed.origin.y, c.origin.y);
        EXPECT_EQ(placed.opensLeft, c.left);
        EXPECT_EQ(placed.showAnimation, c.show);
        EXPECT_EQ(placed.closeAnimation, c.close);
    }
}

TEST(MenuWindowTest, GivenWidthTwentyMakesFiftyPixelWindowWithItemsLaidOut)
{
    MenuDriver driver;
    std::vector<RectF> bounds;
    driver.onShown(0, recordRowsAndClose(bounds));
    EXPECT_EQ(openRoot(nullptr, 100, 100, 20, editItems()), 0);
    ASSERT_FALSE(driver.watchdogFired);
    ASSERT_EQ(driver.opened.size(), 1u);
    const RECT r = driver.opened[0].rect;
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 100);
    EXPECT_EQ(width(r), 50);
    EXPECT_EQ(height(r), 107);
    ASSERT_EQ(bounds.size(), 5u);
    const float expected[5][4] = {{8, 8, 34, 22}, {8, 30, 34, 22}, {8, 52, 34, 22}, {33, 74, 10, 3}, {8, 77, 34, 22}};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(bounds[i].x, expected[i][0]) << i;
        EXPECT_EQ(bounds[i].y, expected[i][1]) << i;
        EXPECT_EQ(bounds[i].width, expected[i][2]) << i;
        EXPECT_EQ(bounds[i].height, expected[i][3]) << i;
    }
}

TEST(MenuWindowTest, MenuOfAScaledOwnerHasItsDeviceSizeAndLogicalItems)
{
    // The owner is a host at 150 %; the menu is placed where asked, in device pixels.
    EngineWindowOptions ownerOptions;
    ownerOptions.x = 0;
    ownerOptions.y = 0;
    ownerOptions.width = 200;
    ownerOptions.height = 100;
    ownerOptions.style = WS_POPUP;
    HWND owner = createEngineWindow(ownerOptions);
    ASSERT_TRUE(owner);
    HostWindow ownerHost;
    HostAttachOptions attach;
    attach.frameFlags = 0;
    ASSERT_TRUE(ownerHost.attach(owner, attach));
    RECT suggested = {0, 0, 300, 150};
    SendMessageW(owner, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    ASSERT_EQ(ownerHost.displayScale.dpi(), 144);

    MenuDriver driver;
    std::vector<RectF> bounds;
    SIZE logical = {};
    driver.onShown(0, recordRowsAndClose(bounds, &logical));
    EXPECT_EQ(openRoot(owner, 100, 100, 20, editItems()), 0);
    ASSERT_FALSE(driver.watchdogFired);
    ASSERT_EQ(driver.opened.size(), 1u);
    const RECT r = driver.opened[0].rect;
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 100);
    EXPECT_EQ(width(r), 75);    // 50 x 1.5
    EXPECT_EQ(height(r), 161);  // 107 x 1.5 = 160.5, rounded half up
    EXPECT_EQ(logical.cx, 50);
    EXPECT_EQ(logical.cy, 107);
    ASSERT_EQ(bounds.size(), 5u);
    EXPECT_EQ(bounds[1].y, 30) << "the rows keep their logical places";
    EXPECT_EQ(bounds[1].height, 22);
    DestroyWindow(owner);
}

TEST(MenuWindowTest, AutomaticWidthIsWidestScreenTextPlusFifty)
{
    MenuDriver driver;
    driver.onShown(0, [](HWND menu) { postKey(menu, VK_ESCAPE); });
    const std::vector<MenuItem> items = editItems();
    openRoot(nullptr, 100, 100, 0, items);
    ASSERT_EQ(driver.opened.size(), 1u);
    int widest = 0;
    for (const MenuItem& item : items)
        widest = std::max(widest, MenuWindow::measureOnScreen(item.text));
    EXPECT_GT(widest, 0);
    EXPECT_EQ(width(driver.opened[0].rect), widest + 50);
}

TEST(MenuWindowTest, RootAtCursorNearBottomRightCornerOpensUpAndLeft)
{
    const RECT work = workArea();
    const POINT cursor = {work.right - 3, work.bottom - 3};
    SetCursorPos(cursor.x, cursor.y);
    MenuDriver driver;
    driver.onShown(0, [](HWND menu) { postKey(menu, VK_ESCAPE); });
    openRoot(nullptr, 0, 0, 100, editItems());
    ASSERT_EQ(driver.opened.size(), 1u);
    const RECT r = driver.opened[0].rect;
    EXPECT_EQ(r.left, cursor.x - 100);
    EXPECT_EQ(r.top, cursor.y - 107 + 5);
    EXPECT_LE(r.right, work.right);
    EXPECT_LE(r.bottom, work.bottom + 5);
}

TEST(MenuWindowTest, SubmenuWithoutRoomOnTheRightOpensLeftOfItsParent)
{
    const RECT work = workArea();
    SubmenuOpener opener("inner one");
    PopupMenu& sub = opener.sub;
    MenuDriver& driver = opener.driver;
    HWND& root = opener.root;
    driver.onShown(1, [&](HWND) { PostMessageW(root, WM_CLOSE, 0, 0); });
    const int rootWidth = 120;
    openRoot(nullptr, work.right - rootWidth - 5, 100, rootWidth, {commandItem("one", 1), submenuItem("&Sub", sub)});
    ASSERT_FALSE(driver.watchdogFired);
    ASSERT_EQ(driver.opened.size(), 2u);
    const RECT parent = driver.opened[0].rect;
    const RECT child = driver.opened[1].rect;
    EXPECT_FALSE(driver.opened[1].isRoot);
    EXPECT_EQ(child.left, parent.left - width(child) + 10);
    EXPECT_EQ(child.top, parent.top + 30 - 7);  // the row's y is 30
    EXPECT_EQ(driver.opened[1].closeAnimation, MenuWindow::RevealFromLeft);
    EXPECT_FALSE(IsWindow(driver.opened[1].window));
}

TEST(MenuWindowTest, SubmenuWithRoomOpensRightAndClosesWithItsRoot)
{
    SubmenuOpener opener("inner one");
    PopupMenu& sub = opener.sub;
    MenuDriver& driver = opener.driver;
    HWND& root = opener.root;
    bool chainProperties = false;
    driver.onShown(1, [&](HWND menu) {
        chainProperties = GetPropW(menu, menuRootProperty) == root && GetPropW(root, menuSubProperty) == menu &&
                          GetPropW(menu, popupKindProperty) == reinterpret_cast<HANDLE>(POPUP_MENU);
        PostMessageW(root, WM_CLOSE, 0, 0);
    });
    openRoot(nullptr, 100, 100, 120, {submenuItem("&Sub", sub)});
    ASSERT_EQ(driver.opened.size(), 2u);
    EXPECT_TRUE(chainProperties);
    EXPECT_EQ(driver.opened[1].rect.left, driver.opened[0].rect.right - 10);
    EXPECT_EQ(driver.opened[1].closeAnimation, MenuWindow::RevealFromRight);
    EXPECT_FALSE(IsWindow(driver.opened[1].window));
    EXPECT_FALSE(IsWindow(driver.opened[0].window));
}

TEST(MenuLoop, EscapeClosesTheRootAndReturnsNoChoice)
{
    MenuDriver driver;
    driver.onShown(0, [](HWND menu) { postKey(menu, VK_ESCAPE); });
    EXPECT_EQ(openRoot(nullptr, 100, 100, 0, editItems()), 0);
    ASSERT_EQ(driver.opened.size(), 1u);
    EXPECT_FALSE(IsWindow(driver.opened[0].window));
    EXPECT_FALSE(driver.watchdogFired);
}

TEST(MenuLoop, EscapeInSubmenuClosesOnlyTheSubmenu)
{
    SubmenuOpener opener("inner");
    PopupMenu& sub = opener.sub;
    MenuDriver& driver = opener.driver;
    HWND& root = opener.root;
    HWND child = nullptr;
    bool rootAliveAfterSub = false;
    driver.onShown(1, [&](HWND menu) {
        child = menu;
        postKey(menu, VK_ESCAPE);
    });
    driver.when([&] { return child && !IsWindow(child); },
                [&] {
                    rootAliveAfterSub = IsWindow(root) && IsWindowVisible(root);
                    PostMessageW(root, WM_CLOSE, 0, 0);
                });
    openRoot(nullptr, 100, 100, 120, {submenuItem("&Sub", sub)});
    EXPECT_FALSE(driver.watchdogFired);
    EXPECT_TRUE(rootAliveAfterSub);
}

TEST(MenuLoop, DeactivationToAnOutsideWindowClosesTheWholeChainButNotToAMenu)
{
    CommandOwner outsider;
    SubmenuOpener opener("inner");
    PopupMenu& sub = opener.sub;
    MenuDriver& driver = opener.driver;
    HWND& root = opener.root;
    HWND child = nullptr;
    bool chainKeptForMenu = false;
    driver.onShown(1, [&](HWND menu) {
        child = menu;
        // Activation moving into another window of the chain keeps it.
        SendMessageW(root, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(child));
        SendMessageW(child, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(root));
    });
    driver.when([&] { return child != nullptr; },
                [&] {
                    chainKeptForMenu = IsWindow(root) && IsWindow(child);
                    SendMessageW(child, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(outsider.hwnd));
                });
    openRoot(nullptr, 100, 100, 120, {submenuItem("&Sub", sub)});
    EXPECT_FALSE(driver.watchdogFired);
    EXPECT_TRUE(chainKeptForMenu);
    EXPECT_FALSE(IsWindow(root));
    EXPECT_FALSE(IsWindow(child));
}

TEST(MenuLoop, PlainLetterChoosesItemByAccessKeyAndSendsCommandToOwner)
{
    const struct {
        WPARAM key;
        int expected;
    } cases[] = {{'C', 67}, {'P', 86}, {'A', 65}, {'T', 88}};
    for (const auto& c : cases) {
        CommandOwner owner;
        MenuDriver driver;
        driver.onShown(0, [&](HWND menu) { postKey(menu, c.key); });
        EXPECT_EQ(openRoot(owner.hwnd, 100, 100, 0, editItems()), c.expected);
        EXPECT_FALSE(driver.watchdogFired);
        ASSERT_EQ(CommandOwner::commands.size(), 1u) << static_cast<char>(c.key);
        EXPECT_EQ(CommandOwner::commands[0].first, static_cast<WPARAM>(c.expected));
        ASSERT_EQ(driver.opened.size(), 1u);
        EXPECT_FALSE(IsWindow(driver.opened[0].window));
    }
}

TEST(MenuLoop, DisabledItemIgnoresItsAccessKey)
{
    std::vector<MenuItem> items = editItems();
    items[0].option1 = MenuItemControl::StateDisabled;  // 剪切(&T)
    CommandOwner owner;
    MenuDriver driver;
    bool openAfterKey = false;
    driver.onShown(0, [&](HWND menu) {
        SendMessageW(menu, WM_KEYDOWN, 'T', 1);
        openAfterKey = IsWindowVisible(menu) != FALSE;
        postKey(menu, VK_ESCAPE);
    });
    EXPECT_EQ(openRoot(owner.hwnd, 100, 100, 0, items), 0);
    EXPECT_TRUE(openAfterKey);
    EXPECT_TRUE(CommandOwner::commands.empty());
}

namespace {
int calls = 0;
void countCall() { ++calls; }
}  // namespace

TEST(MenuLoop, ItemWithoutCommandDeliveryCallsItsFunction)
{
    MenuItem item = commandItem("&Go", reinterpret_cast<std::intptr_t>(&countCall));
    item.option2 = MenuItem::DeliverByCall;
    calls = 0;
    CommandOwner owner;
    MenuDriver driver;
    driver.onShown(0, [](HWND menu) { postKey(menu, 'G'); });
    openRoot(owner.hwnd, 100, 100, 0, {item});
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(CommandOwner::commands.empty());
}

TEST(MenuLoop, ItemAddedWithATextAndAKeyCodeReportsTheKeyCode)
{
    PopupMenu menu;
    menu.addItem("&Go", std::nullopt, std::nullopt, std::nullopt, std::nullopt, 42);
    CommandOwner owner;
    MenuDriver driver;
    driver.onShown(0, [](HWND menu) { postKey(menu, 'G'); });
    EXPECT_EQ(openRoot(owner.hwnd, 100, 100, 0, menu.items()), 42);
    ASSERT_EQ(CommandOwner::commands.size(), 1u);
    EXPECT_EQ(CommandOwner::commands[0].first, 42u);
}

TEST(MenuLoop, MouseClickOnCommandRowReturnsItsKeyCode)
{
    CommandOwner owner;
    MenuDriver driver;
    driver.onShown(0, [](HWND menu) {
        const LPARAM third = MAKELPARAM(20, 8 + 2 * 22 + 10);  // 粘贴(&P)
        POINT screen = {20, 8 + 2 * 22 + 10};
        ClientToScreen(menu, &screen);
        SetCursorPos(screen.x, screen.y);
        SendMessageW(menu, WM_MOUSEMOVE, 0, third);
        SendMessageW(menu, WM_LBUTTONDOWN, MK_LBUTTON, third);
        SendMessageW(menu, WM_LBUTTONUP, 0, third);
    });
    EXPECT_EQ(openRoot(owner.hwnd, 100, 100, 0, editItems()), EDIT_MENU_PASTE);
    ASSERT_EQ(CommandOwner::commands.size(), 1u);
    EXPECT_EQ(CommandOwner::commands[0].first, static_cast<WPARAM>(EDIT_MENU_PASTE));
}

TEST(MenuLoop, ClickOnSeparatorDoesNothing)
{
    CommandOwner owner;
    MenuDriver driver;
    bool openAfterClick = false;
    driver.onShown(0, [&](HWND menu) {
        const LPARAM separator = MAKELPARAM(40, 8 + 3 * 22 + 1);
        SendMessageW(menu, WM_MOUSEMOVE, 0, separator);
        SendMessageW(menu, WM_LBUTTONDOWN, MK_LBUTTON, separator);
        SendMessageW(menu, WM_LBUTTONUP, 0, separator);
        openAfterClick = IsWindowVisible(menu) != FALSE;
        postKey(menu, VK_ESCAPE);
    });
    EXPECT_EQ(openRoot(owner.hwnd, 100, 100, 0, editItems()), 0);
    EXPECT_TRUE(openAfterClick);
    EXPECT_TRUE(CommandOwner::commands.empty());
}

TEST(MenuLoop, RestingOnSubmenuRowOpensItsSubmenu)
{
    PopupMenu sub;
    sub.addItem("inner");
    sub.setOnOpen(MenuDriver::recordOpen);
    MenuDriver driver;
    HWND root = nullptr;
    driver.onShown(0, [&](HWND menu) {
        root = menu;
        POINT screen = {30, 8 + 22 + 10};
        ClientToScreen(menu, &screen);
        SetCursorPos(screen.x, screen.y);
        SendMessageW(menu, WM_MOUSEMOVE, 0, MAKELPARAM(30, 8 + 22 + 10));
    });
    driver.onShown(1, [&](HWND) { PostMessageW(root, WM_CLOSE, 0, 0); });
    openRoot(nullptr, 100, 100, 140, {commandItem("one", 1), submenuItem("Sub", sub)});
    EXPECT_FALSE(driver.watchdogFired);
    ASSERT_EQ(driver.opened.size(), 2u);
    EXPECT_FALSE(driver.opened[1].isRoot);
}

TEST(MenuLoop, QuitMessageEndsTheLoopTakesTheMenuDownAndIsKeptForTheApplication)
{
    MenuDriver driver;
    driver.onShown(0, [](HWND) { PostQuitMessage(7); });
    openRoot(nullptr, 100, 100, 0, editItems());
    ASSERT_EQ(driver.opened.size(), 1u);
    EXPECT_FALSE(IsWindow(driver.opened[0].window));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

namespace {
HANDLE eventProperty = nullptr;
ControlHandle ownerFocus = 0;
}  // namespace

TEST(MenuWindowTest, RootWithHostOwnerRecordsAndFocusesTheControlUnderTheMouse)
{
    // The owner is another menu window: a host-attached window whose first row lies under the mouse.
    MenuDriver driver;
    ControlHandle underMouse = 0, focused = 0;
    eventProperty = nullptr;
    driver.onShown(0, [&](HWND outer) {
        HostWindow* host = HostWindow::fromWindow(outer);
        underMouse = host->firstControl;
        POINT screen = {20, 15};
        ClientToScreen(outer, &screen);
        SetCursorPos(screen.x, screen.y);
        PopupMenu inner;
        inner.addItem("x");
        inner.setOnOpen([](HWND menu, bool) {
            eventProperty = GetPropW(menu, menuEventProperty);
            ownerFocus = HostWindow::fromWindow(GetParent(menu))->focusedControl;
            PostMessageW(menu, WM_CLOSE, 0, 0);
        });
        inner.popupAt(outer, 300, 300);
        focused = ownerFocus;
        PostMessageW(outer, WM_CLOSE, 0, 0);
    });
    openRoot(nullptr, 100, 100, 0, editItems());
    EXPECT_FALSE(driver.watchdogFired);
    ASSERT_NE(underMouse, 0u);
    EXPECT_EQ(eventProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(underMouse)));
    EXPECT_EQ(focused, underMouse);
}
