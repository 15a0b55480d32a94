#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PopupMenu.h"

namespace {

std::vector<std::string> textsOf(PopupMenu& menu)
{
    std::vector<std::string> texts;
    for (int i = 1; i <= menu.itemCount(); ++i)
        texts.push_back(menu.itemText(i));
    return texts;
}

PopupMenu menuOf(std::initializer_list<const char*> texts)
{
    PopupMenu menu;
    for (const char* text : texts)
        menu.addItem(text);
    return menu;
}

struct MenuWindowCall {
    int calls = 0;
    HWND owner = nullptr;
    int x = -1;
    int y = -1;
    int width = -1;
    size_t itemCount = 0;
    bool isRoot = false;
    MenuOpenHandler onOpen = nullptr;
    HostPaintBackgroundHandler painter = nullptr;
};
MenuWindowCall lastCall;

std::intptr_t recordingMenuWindow(HWND owner, int x, int y, int width, const std::vector<MenuItem>& items, bool isRoot,
                        MenuOpenHandler onOpen, HostPaintBackgroundHandler painter)
{
    lastCall = {lastCall.calls + 1, owner, x, y, width, items.size(), isRoot, onOpen, painter};
    return 67;
}

void openHandler(HWND, bool) {}
int painterHandler(HWND, GpGraphics*, int, int) { return 0; }

}  // namespace

TEST(PopupMenuItems, AddItemConvertsTextCopiesPictureAndDefaultsColours)
{
    PopupMenu menu;
    std::vector<std::uint8_t> picture = {0x89, 'P', 'N', 'G'};
    menu.addItem("\xB8\xB4\xD6\xC6(&C)", Bytes(picture), -1, 0, 1, 67);
    menu.addItem(std::nullopt, std::nullopt, std::nullopt, 1);
    menu.addItem("x", std::nullopt, 4, 2, 3, 65, 0x11223344u, 7, 8, 0x55667788u);
    picture[0] = 0;
    ASSERT_EQ(menu.itemCount(), 3);

    const MenuItem& copy = menu.items()[0];
    EXPECT_EQ(copy.text, L"\u590D\u5236(&C)");
    EXPECT_EQ(copy.picture, (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G'})) << "the picture is copied";
    EXPECT_EQ(copy.option1, -1);
    EXPECT_EQ(copy.option2, 1);
    EXPECT_EQ(copy.keyCode, 67);
    EXPECT_EQ(copy.color1, 0xD2000000u);
    EXPECT_EQ(copy.color2, 0xE63085C6u);

    const MenuItem& separator = menu.items()[1];
    EXPECT_TRUE(separator.text.empty());
    EXPECT_TRUE(separator.picture.empty());
    EXPECT_EQ(separator.separator, 1);
    EXPECT_EQ(separator.option1 + separator.keyCode + separator.option3 + separator.option4, 0);
    EXPECT_EQ(separator.option2, MenuItem::DeliverByCommand) << "not given: the key code is reported";
    EXPECT_EQ(separator.color1, PopupMenu::defaultColor1());

    const MenuItem& given = menu.items()[2];
    EXPECT_EQ(given.option1, 4);
    EXPECT_EQ(given.separator, 2);
    EXPECT_EQ(given.option2, 3);
    EXPECT_EQ(given.keyCode, 65);
    EXPECT_EQ(given.color1, 0x11223344u);
    EXPECT_EQ(given.option3, 7);
    EXPECT_EQ(given.option4, 8);
    EXPECT_EQ(given.color2, 0x55667788u);
}

TEST(PopupMenuItems, RemoveRefusesIndicesOutsideTheListAndClosesTheGap)
{
    PopupMenu menu = menuOf({"a", "b", "c"});
    for (int index : {0, 4, -1, 100}) {
        EXPECT_FALSE(menu.removeItem(index)) << index;
        EXPECT_EQ(textsOf(menu), (std::vector<std::string>{"a", "b", "c"}));
    }
    EXPECT_TRUE(menu.removeItem(2));
    EXPECT_EQ(textsOf(menu), (std::vector<std::string>{"a", "c"}));
    EXPECT_TRUE(menu.removeItem(2));
    EXPECT_TRUE(menu.removeItem(1));
    EXPECT_EQ(menu.itemCount(), 0);
    EXPECT_FALSE(menu.removeItem(1));
}

TEST(PopupMenuItems, ClearLeavesNoValidIndex)
{
    PopupMenu menu = menuOf({"a", "b"});
    const std::pair<int, bool> before[] = {{0, false}, {1, true}, {2, true}, {3, false}, {-1, false}};
    for (auto [index, valid] : before)
        EXPECT_EQ(menu.isValidIndex(index), valid) << index;
    menu.clear();
    EXPECT_EQ(menu.itemCount(), 0);
    EXPECT_FALSE(menu.isValidIndex(1));
    menu.addItem("again");
    EXPECT_EQ(textsOf(menu), (std::vector<std::string>{"again"}));
}

TEST(PopupMenuItems, AccessorsStoreWhenGivenAndIgnoreInvalidIndices)
{
    PopupMenu menu = menuOf({"\xBC\xF4\xC7\xD0(&T)", "b"});
    EXPECT_EQ(menu.itemState(1), 0);
    EXPECT_EQ(menu.itemState(1, -1), -1);
    EXPECT_EQ(menu.itemState(1), -1);
    EXPECT_EQ(menu.itemState(2, 4), 4);
    EXPECT_EQ(menu.itemText(1), "\xBC\xF4\xC7\xD0(&T)") << "GBK round trip through UTF-16";
    EXPECT_EQ(menu.itemText(2, "\xD5\xB3\xCC\xF9(&P)"), "\xD5\xB3\xCC\xF9(&P)");
    EXPECT_EQ(menu.items()[1].text, L"\u7C98\u8D34(&P)");
    std::vector<std::uint8_t> picture = {1, 2, 3};
    EXPECT_EQ(menu.itemPicture(2, Bytes(picture)), picture);
    EXPECT_EQ(menu.itemPicture(2), picture);
    EXPECT_TRUE(menu.itemPicture(1).empty());

    for (int index : {0, 3}) {
        EXPECT_EQ(menu.itemState(index, 9), 0);
        EXPECT_EQ(menu.itemText(index, "z"), "");
        EXPECT_TRUE(menu.itemTextBytes(index, Bytes(picture)).empty());
        EXPECT_TRUE(menu.itemPicture(index, Bytes(picture)).empty());
    }
    EXPECT_EQ(menu.itemCount(), 2);
    EXPECT_EQ(menu.itemState(1), -1);
    EXPECT_EQ(menu.itemState(2), 4);
}

TEST(PopupMenuItems, TextBytesAreTheRawUtf16Text)
{
    PopupMenu menu = menuOf({"\xB8\xB4\xD6\xC6"});
    EXPECT_EQ(menu.itemTextBytes(1), (std::vector<std::uint8_t>{0x0D, 0x59, 0x36, 0x52}));
    struct Case {
        std::vector<std::uint8_t> given;
        std::string text;
        std::vector<std::uint8_t> answer;
    };
    const Case cases[] = {
        {{'A', 0, 'B', 0}, "AB", {'A', 0, 'B', 0}},
        {{'A', 0, 'B'}, "AB", {'A', 0, 'B', 0}},  // an odd last byte is kept, not dropped
        {{}, "", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(menu.itemTextBytes(1, Bytes(c.given)), c.answer);
        EXPECT_EQ(menu.itemText(1), c.text);
    }
}

TEST(PopupMenuCopy, CloneCopiesItemsWidthAndCallbacksDeeply)
{
    PopupMenu menu = menuOf({"a", "b"});
    std::vector<std::uint8_t> picture = {9, 8};
    menu.itemPicture(1, Bytes(picture));
    menu.setWidth(120);
    menu.setOnOpen(openHandler);
    menu.setPainter(painterHandler);
    std::unique_ptr<PopupMenu> copy = menu.clone();
    menu.itemText(1, "changed");
    menu.itemPicture(1, Bytes(std::vector<std::uint8_t>{}));
    menu.removeItem(2);
    EXPECT_EQ(textsOf(*copy), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(copy->itemPicture(1), picture);
    EXPECT_EQ(copy->width(), 120);
    EXPECT_EQ(copy->onOpen(), &openHandler);
    EXPECT_EQ(copy->painter(), &painterHandler);
    EXPECT_EQ(&menu.self(), &menu);
}

TEST(PopupMenuEditMenu, HoldsCutCopyPasteSeparatorAndSelectAll)
{
    PopupMenu menu;
    fillEditMenu(menu);
    struct Expected {
        const char* text;
        int keyCode;
        int separator;
        int option2;
    };
    const Expected expected[] = {
        {"\xBC\xF4\xC7\xD0(&T)", 88, 0, 1},
        {"\xB8\xB4\xD6\xC6(&C)", 67, 0, 1},
        {"\xD5\xB3\xCC\xF9(&P)", 86, 0, 1},
        {"", 0, 1, 0},
        {"\xC8\xAB\xB2\xBF\xD1\xA1\xD4\xF1(&A)", 65, 0, 1},
    };
    ASSERT_EQ(menu.itemCount(), 5);
    for (int i = 1; i <= 5; ++i) {
        const Expected& e = expected[i - 1];
        const MenuItem& item = menu.items()[static_cast<size_t>(i - 1)];
        EXPECT_EQ(menu.itemText(i), e.text) << i;
        EXPECT_EQ(item.keyCode, e.keyCode) << i;
        EXPECT_EQ(item.separator, e.separator) << i;
        EXPECT_EQ(item.option2, e.option2) << i;
        EXPECT_EQ(item.option1, 0) << i;
        EXPECT_EQ(item.option3 + item.option4, 0) << i;
        EXPECT_TRUE(item.picture.empty()) << i;
        EXPECT_EQ(item.color1, 0xD2000000u) << i;
        EXPECT_EQ(item.color2, 0xE63085C6u) << i;
    }
    EXPECT_EQ(menu.width(), 0);
}

TEST(PopupMenuShowing, ShowAndPopupAtHandTheMenuWindowTheirPlaceWidthAndCallbacks)
{
    PopupMenu menu = menuOf({"a", "b", "c"});
    menu.setOnOpen(openHandler);
    menu.setPainter(painterHandler);
    HWND owner = reinterpret_cast<HWND>(0x1234);
    // Whatever the engine registered is put back at the end: later tests show real menus.
    const MenuWindowFunction registered = PopupMenu::setMenuWindow(nullptr);
    EXPECT_EQ(menu.popupAt(owner, 5, 6), 0) << "no menu window: nothing is shown";
    EXPECT_EQ(menu.show(owner), 0);

    PopupMenu::setMenuWindow(recordingMenuWindow);
    lastCall = {};
    const std::pair<int, int> widths[] = {{0, 0}, {30, 50}, {49, 50}, {50, 50}, {120, 120}, {-5, 50}};
    for (auto [width, shown] : widths) {
        menu.setWidth(width);
        EXPECT_EQ(menu.popupAt(owner, 5, 6), 67);
        EXPECT_EQ(lastCall.width, shown) << width;
        EXPECT_EQ(PopupMenu::shownWidth(width), shown);
        EXPECT_EQ(menu.width(), width) << "showing does not change the menu";
    }
    EXPECT_EQ(lastCall.owner, owner);
    EXPECT_EQ(lastCall.x, 5);
    EXPECT_EQ(lastCall.y, 6);
    EXPECT_TRUE(lastCall.isRoot);
    EXPECT_EQ(lastCall.itemCount, 3u);
    EXPECT_EQ(lastCall.onOpen, &openHandler);
    EXPECT_EQ(lastCall.painter, &painterHandler);

    EXPECT_EQ(menu.show(owner), 67);
    EXPECT_EQ(lastCall.calls, 7);
    EXPECT_EQ(lastCall.x, 0);
    EXPECT_EQ(lastCall.y, 0);
    EXPECT_EQ(lastCall.width, 0);
    EXPECT_FALSE(lastCall.isRoot);
    EXPECT_EQ(PopupMenu::setMenuWindow(registered), &recordingMenuWindow);
}
