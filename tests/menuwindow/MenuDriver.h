#pragma once
// Drives menus whose nested loop blocks the test: steps run from a thread timer inside that loop once the
// menu they wait for is shown, and a watchdog closes every menu left open so a failing test cannot hang.
#include <windows.h>

#include <functional>
#include <vector>

#include "PopupMenu.h"

struct OpenedMenu {
    HWND window;
    bool isRoot;
    RECT rect;           // when it was opened, before it was shown
    int closeAnimation;  // of its host
};

class MenuDriver {
public:
    MenuDriver();
    ~MenuDriver();

    // Runs `step` on the n-th opened menu (0 = the first) as soon as that menu is visible.
    void onShown(size_t menuIndex, std::function<void(HWND)> step);
    // Runs `step` once `condition` holds, polled from the loop.
    void when(std::function<bool()> condition, std::function<void()> step);

    std::vector<OpenedMenu> opened;
    bool watchdogFired = false;

    static MenuDriver* current;
    static void recordOpen(HWND menuWindow, bool isRoot);

private:
    struct Pending {
        std::function<bool()> ready;
        std::function<void()> step;
    };
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
    static void CALLBACK watchdog(HWND, UINT, UINT_PTR, DWORD);

    std::vector<Pending> pending_;
    UINT_PTR tickTimer_ = 0;
    UINT_PTR watchdogTimer_ = 0;
};

// A plain, shown top-level window that records the WM_COMMANDs it receives. Every instance is the same
// window, kept to the end of the program; constructing one forgets the commands recorded so far.
class CommandOwner {
public:
    CommandOwner();
    HWND hwnd = nullptr;
    static std::vector<std::pair<WPARAM, LPARAM>> commands;
};

// A root menu of `items` at (x, y) (both 0: at the cursor), reporting to the current driver.
int openRoot(HWND owner, int x, int y, int width, const std::vector<MenuItem>& items);
MenuItem commandItem(const char* text, std::intptr_t keyCode);
MenuItem separatorItem();
MenuItem submenuItem(const char* text, PopupMenu& submenu);
void postKey(HWND window, WPARAM key);
RECT workArea();
