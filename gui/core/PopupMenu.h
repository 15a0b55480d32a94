#pragma once
// The description of a pop-up menu: its items, a width and two callbacks. It owns no window; showing
// hands the items to the pop-up menu window, which lays them out, tracks the mouse and reports the
// chosen item to the owner.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Forward.h"
#include "Gdip.h"
#include "HostWindow.h"

struct MenuItem {
    std::wstring text;                  // empty for a separator
    std::vector<std::uint8_t> picture;  // encoded picture; empty = none
    int option1 = 0;                    // state: -1 greyed, 4 checked, 5 left out of the menu's size
    int separator = 0;                  // 1 separator line, 2 opens a submenu
    // How a chosen command is delivered: DeliverByCommand reports keyCode to the owner (WM_COMMAND),
    // DeliverByCall calls keyCode as the address of a function. Reporting is the default: a key code
    // called as a function would crash.
    enum Delivery : int { DeliverByCall = 0, DeliverByCommand = 1 };
    int option2 = DeliverByCommand;
    // Reported to the owner when the item is chosen; by option2 and the kind of item it may also hold the
    // address of a function or of a submenu's PopupMenu, so it is pointer-sized.
    std::intptr_t keyCode = 0;
    ARGB color1 = 0;
    int option3 = 0;
    int option4 = 0;
    ARGB color2 = 0;
};

// Called by the menu window after its items exist and before it appears.
using MenuOpenHandler = void (*)(HWND menuWindow, bool isRoot);

// The pop-up menu window's entry: returns when the menu window is gone. width 0 = from the texts.
using MenuWindowFunction = std::intptr_t (*)(HWND owner, int x, int y, int width, const std::vector<MenuItem>& items,
                                   bool isRoot, MenuOpenHandler onOpen, HostPaintBackgroundHandler painter);

class PopupMenu {
public:
    static constexpr int minimumWidth = 50;

    PopupMenu() = default;
    PopupMenu(const PopupMenu&) = default;
    PopupMenu& operator=(const PopupMenu&) = default;
    virtual ~PopupMenu();
    virtual std::unique_ptr<PopupMenu> clone() const;

    // --- the table of operations, in its fixed order ---
    // As a menu beside the owner's focused control (a submenu), at no position, with the automatic width.
    virtual std::intptr_t show(HWND owner);
    // As a root menu at (x, y) in screen pixels, both 0 = at the cursor, with the menu's width.
    virtual std::intptr_t popupAt(HWND owner, int x, int y);
    // A colour not given takes its default, option2 reports the key code, the other numbers default to 0
    // and the text to "".
    virtual void addItem(std::optional<std::string> text = std::nullopt, std::optional<Bytes> picture = std::nullopt,
                         std::optional<int> option1 = std::nullopt, std::optional<int> separator = std::nullopt,
                         std::optional<int> option2 = std::nullopt, std::optional<std::intptr_t> keyCode = std::nullopt,
                         std::optional<ARGB> color1 = std::nullopt, std::optional<int> option3 = std::nullopt,
                         std::optional<int> option4 = std::nullopt, std::optional<ARGB> color2 = std::nullopt);
    virtual bool removeItem(int index);
    virtual void clear();
    // Items are numbered from 1. Each accessor stores the value when given one and answers the current
    // value; an invalid index stores nothing and answers 0 or empty.
    virtual int itemState(int index, std::optional<int> value = std::nullopt);
    virtual std::string itemText(int index, std::optional<std::string> text = std::nullopt);
    // The UTF-16 text as raw bytes; an odd last byte becomes a code unit of its own (high byte 0).
    virtual std::vector<std::uint8_t> itemTextBytes(int index, std::optional<Bytes> bytes = std::nullopt);
    virtual std::vector<std::uint8_t> itemPicture(int index, std::optional<Bytes> picture = std::nullopt);
    virtual bool isValidIndex(int index) const;
    virtual void setWidth(int width);
    virtual PopupMenu& self();
    virtual void setOnOpen(MenuOpenHandler callback);
    virtual void setPainter(HostPaintBackgroundHandler callback);

    const std::vector<MenuItem>& items() const { return items_; }
    int itemCount() const { return static_cast<int>(items_.size()); }
    int width() const { return width_; }
    MenuOpenHandler onOpen() const { return onOpen_; }
    HostPaintBackgroundHandler painter() const { return painter_; }

    // The width the menu window is given: 0 stays automatic, anything else is at least minimumWidth.
    static int shownWidth(int width);
    static ARGB defaultColor1();  // black at alpha 210
    static ARGB defaultColor2();  // RGB(48, 133, 198) at alpha 230

    // The pop-up menu window registers itself here; until it has, show and popupAt answer 0. Answers the
    // function registered before.
    static MenuWindowFunction setMenuWindow(MenuWindowFunction function);

private:
    MenuItem* item(int index);

    std::vector<MenuItem> items_;
    int width_ = 0;
    MenuOpenHandler onOpen_ = nullptr;
    HostPaintBackgroundHandler painter_ = nullptr;
};

// Key codes of the edit menu's commands; the edit control handles them as Ctrl + that key.
enum EditMenuKey : int {
    EDIT_MENU_CUT = 88,
    EDIT_MENU_COPY = 67,
    EDIT_MENU_PASTE = 86,
    EDIT_MENU_SELECT_ALL = 65,
};

// The menu every edit control opens on a right click; filled once after engine start-up.
extern PopupMenu editMenu;

// Cut, copy, paste, a separator and select all, appended in that order.
void fillEditMenu(PopupMenu& menu);
