#include "MenuDriver.h"

#include "HostWindow.h"
#include "MenuWindow.h"
#include "Text.h"

MenuDriver* MenuDriver::current = nullptr;
std::vector<std::pair<WPARAM, LPARAM>> CommandOwner::commands;

namespace {
constexpr UINT tickInterval = 20;
constexpr UINT watchdogInterval = 8000;  // a safety net only; no test measures time
}  // namespace

MenuDriver::MenuDriver()
{
    current = this;
    tickTimer_ = SetTimer(nullptr, 0, tickInterval, tick);
    watchdogTimer_ = SetTimer(nullptr, 0, watchdogInterval, watchdog);
}

MenuDriver::~MenuDriver()
{
    KillTimer(nullptr, tickTimer_);
    KillTimer(nullptr, watchdogTimer_);
    current = nullptr;
}

void MenuDriver::onShown(size_t menuIndex, std::function<void(HWND)> step)
{
    when([this, menuIndex] { return opened.size() > menuIndex && IsWindowVisible(opened[menuIndex].window); },
         [this, menuIndex, step] { step(opened[menuIndex].window); });
}

void MenuDriver::when(std::function<bool()> condition, std::function<void()> step)
{
    pending_.push_back({std::move(condition), std::move(step)});
}

void MenuDriver::recordOpen(HWND menuWindow, bool isRoot)
{
    if (!current)
        return;
    RECT rect = {};
    GetWindowRect(menuWindow, &rect);
    HostWindow* host = HostWindow::fromWindow(menuWindow);
    current->opened.push_back({menuWindow, isRoot, rect, host ? host->closeAnimation : -1});
}

void CALLBACK MenuDriver::tick(HWND, UINT, UINT_PTR, DWORD)
{
    MenuDriver* driver = current;
    if (!driver)
        return;
    // One step per tick, in order: a step may open a menu whose loop runs until a later step.
    if (driver->pending_.empty() || !driver->pending_.front().ready())
        return;
    const Pending next = driver->pending_.front();
    driver->pending_.erase(driver->pending_.begin());
    next.step();
}

void CALLBACK MenuDriver::watchdog(HWND, UINT, UINT_PTR, DWORD)
{
    if (!current)
        return;
    current->watchdogFired = true;
    for (const OpenedMenu& menu : current->opened) {
        if (IsWindow(menu.window))
            DestroyWindow(menu.window);
    }
}

namespace {
LRESULT CALLBACK ownerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COMMAND)
        CommandOwner::commands.emplace_back(wParam, lParam);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
}  // namespace

CommandOwner::CommandOwner()
{
    // One window for the whole program: hiding or destroying a shown window costs about 2 s under Wine.
    static const HWND shared = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ownerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"MenuCommandOwner";
        RegisterClassW(&wc);
        return CreateWindowExW(0, L"MenuCommandOwner", L"Owner", WS_POPUP | WS_VISIBLE, 20, 20, 200, 120, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    }();
    hwnd = shared;
    commands.clear();
}

int openRoot(HWND owner, int x, int y, int width, const std::vector<MenuItem>& items)
{
    return MenuWindow::showMenu(owner, x, y, width, items, true, MenuDriver::recordOpen, nullptr);
}

MenuItem commandItem(const char* text, std::intptr_t keyCode)
{
    MenuItem item;
    item.text = toWide(text);
    item.option2 = 1;
    item.keyCode = keyCode;
    item.color1 = PopupMenu::defaultColor1();
    item.color2 = PopupMenu::defaultColor2();
    return item;
}

MenuItem separatorItem()
{
    MenuItem item;
    item.separator = 1;
    item.color1 = PopupMenu::defaultColor1();
    item.color2 = PopupMenu::defaultColor2();
    return item;
}

MenuItem submenuItem(const char* text, PopupMenu& submenu)
{
    MenuItem item = commandItem(text, reinterpret_cast<std::intptr_t>(&submenu));
    item.separator = 2;
    return item;
}

void postKey(HWND window, WPARAM key)
{
    PostMessageW(window, WM_KEYDOWN, key, 1);
}

RECT workArea()
{
    RECT work = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}
