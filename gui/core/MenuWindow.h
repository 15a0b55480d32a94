#pragma once
// The pop-up menu window: a topmost tool window of class "Vu_RadudiRE_Menu" with a host of its own whose
// controls are menu items. showMenu builds it, places it inside the work area, shows it and runs a nested
// message loop until the window is gone; a submenu nests a further loop inside its parent's.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HostWindow.h"
#include "PopupMenu.h"

class MenuItemControl;

constexpr const char* menuWindowClass = "Vu_RadudiRE_Menu";
// Window property naming the kind of an engine pop-up (values of PopupKind).
inline constexpr wchar_t popupKindProperty[] = L"Ex_Wnd_Flags";
inline constexpr wchar_t messageBoxProperty[] = L"Vu_RadudiRE_MsgBox";

enum PopupKind : int {
    POPUP_MENU = 1,                  // closes its whole chain when something outside the chain is activated
    POPUP_CLOSE_ON_DEACTIVATE = 2,   // closes itself on deactivation
    POPUP_MESSAGE_BOX = 3,
};

// Creates a window of an engine class; unset values take the defaults beside them.
struct EngineWindowOptions {
    HWND owner = nullptr;
    std::optional<std::string> className;  // engineWindowClass
    std::optional<int> x, y;                // centred in the work area
    std::optional<int> width;               // 380
    std::optional<int> height;              // 250
    std::optional<std::string> title;       // empty
    std::optional<DWORD> style;             // WS_POPUP | WS_SYSMENU | WS_MAXIMIZEBOX | WS_MINIMIZEBOX | WS_CLIPCHILDREN
    std::optional<DWORD> exStyle;           // 0
    bool show = false;                      // ShowWindow(SW_SHOWNORMAL) and UpdateWindow
};
HWND createEngineWindow(const EngineWindowOptions& options);

class MenuWindow {
public:
    static constexpr int margin = 8;            // above the first and below the last item
    static constexpr int itemHeight = 22;
    static constexpr int separatorHeight = 3;
    static constexpr int itemLeft = 8;
    static constexpr int separatorLeft = 33;
    static constexpr int textAllowance = 50;    // added to the widest text
    static constexpr int submenuAllowance = 15; // added when an item opens a submenu
    static constexpr int leftOut = 5;           // option1 of an item that takes no room
    static constexpr int showDuration = 100;    // ms of a submenu's show animation
    enum Animation : int { RevealFromLeft = 3, RevealFromRight = 4 };

    MenuWindow() = default;
    MenuWindow(const MenuWindow&) = delete;
    MenuWindow& operator=(const MenuWindow&) = delete;
    virtual ~MenuWindow();
    virtual std::unique_ptr<MenuWindow> clone() const;

    // Returns when the menu window no longer exists, with the key code of the command chosen in this
    // chain (0 when the menu closed without a choice). Matches MenuWindowFunction.
    static std::intptr_t showMenu(HWND owner, int x, int y, int width, const std::vector<MenuItem>& items, bool isRoot,
                        MenuOpenHandler onOpen, HostPaintBackgroundHandler painter);
    // Hands showMenu to PopupMenu; idempotent.
    static void install();
    // A command row of the chain rooted at `root` was chosen.
    static void noteChoice(HWND root, std::intptr_t keyCode);

    // Geometry, in screen pixels.
    static int menuHeight(const std::vector<MenuItem>& items);
    // width 0: the widest text + 50 (+ 15 with a submenu item), each measured by `measure`.
    static int menuWidth(const std::vector<MenuItem>& items, int width, int (*measure)(const std::wstring&));
    static int measureOnScreen(const std::wstring& text);
    // A root menu at the cursor point `at`, flipped to stay inside `work`.
    static POINT placeAtCursor(POINT at, int width, int height, const RECT& work);
    struct SubmenuPlacement {
        POINT origin;
        bool opensLeft;
        int showAnimation;
        int closeAnimation;
    };
    // Beside the row `item` (host pixels) of the parent menu window `parent`.
    static SubmenuPlacement placeSubmenu(const RECT& parent, const RectF& item, int width, int height,
                                         const RECT& work);

    // The host's onMessage of every menu window; always -1.
    static LRESULT menuMessageHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND window() const { return window_; }
    HostWindow* host() const { return host_.get(); }
    std::intptr_t choice() const { return choice_; }

private:
    std::intptr_t run(HWND owner, int x, int y, int width, const std::vector<MenuItem>& items, bool isRoot,
            MenuOpenHandler onOpen, HostPaintBackgroundHandler painter);
    void createItems(const std::vector<MenuItem>& items, int width);
    void runLoop();
    void release();

    HWND window_ = nullptr;
    std::unique_ptr<HostWindow> host_;
    std::vector<std::unique_ptr<MenuItemControl>> itemControls_;
    std::intptr_t choice_ = 0;
    MenuWindow* outer_ = nullptr;  // the menu whose loop this one runs inside
};
