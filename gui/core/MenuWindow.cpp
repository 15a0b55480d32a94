// Sections: engine windows · geometry · showing · message hook · loop and release
#include "MenuWindow.h"

#include <algorithm>

#include "Canvas.h"
#include "Engine.h"
#include "MenuItemControl.h"
#include "Text.h"

namespace {

constexpr int defaultWidth = 380;
constexpr int defaultHeight = 250;
constexpr DWORD defaultStyle = WS_POPUP | WS_SYSMENU | WS_MAXIMIZEBOX | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr COLORREF menuBackground = 0xFFFFFF;
constexpr int menuAlpha = 240;
constexpr int menuFrameStyle = 1;

// The menu whose nested loop runs innermost; each one links to the menu it runs inside.
MenuWindow* innermost = nullptr;

RECT workArea()
{
    RECT work = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

int paintDefaultBackground(HWND, GpGraphics* graphics, int width, int height)
{
    paintMenuBackground(graphics, width, height);
    return 0;
}

HANDLE asProperty(UINT_PTR value)
{
    return reinterpret_cast<HANDLE>(value);
}

bool takesRoom(const MenuItem& item)
{
    return item.option1 != MenuWindow::leftOut;
}

}  // namespace

// ---- engine windows ----

HWND createEngineWindow(const EngineWindowOptions& options)
{
    const int width = options.width.value_or(defaultWidth);
    const int height = options.height.value_or(defaultHeight);
    int x = 0, y = 0;
    if (!options.x || !options.y) {
        const RECT work = workArea();
        x = work.left + (work.right - work.left - width) / 2;
        y = work.top + (work.bottom - work.top - height) / 2;
    }
    x = options.x.value_or(x);
    y = options.y.value_or(y);
    const std::wstring className = toWide(options.className.value_or(engineWindowClass));
    const std::wstring title = toWide(options.title.value_or(std::string()));
    HWND hwnd = CreateWindowExW(options.exStyle.value_or(0), className.c_str(), title.c_str(),
                                options.style.value_or(defaultStyle), x, y, width, height, options.owner, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!hwnd)
        return nullptr;
    const auto smallIcon = static_cast<LPARAM>(GetClassLongPtrW(hwnd, GCLP_HICONSM));
    const auto bigIcon = static_cast<LPARAM>(GetClassLongPtrW(hwnd, GCLP_HICON));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, smallIcon ? smallIcon : bigIcon);
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, bigIcon);
    if (options.show) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
        UpdateWindow(hwnd);
    }
    return hwnd;
}

// ---- geometry ----

int MenuWindow::menuHeight(const std::vector<MenuItem>& items)
{
    int height = 2 * margin;
    for (const MenuItem& item : items) {
        if (takesRoom(item))
            height += item.separator == MenuItemControl::TypeSeparator ? separatorHeight : itemHeight;
    }
    return height;
}

int MenuWindow::menuWidth(const std::vector<MenuItem>& items, int width, int (*measure)(const std::wstring&))
{
    if (width != 0)
        return std::max(width, PopupMenu::minimumWidth);
    int widest = 0;
    bool hasSubmenu = false;
    for (const MenuItem& item : items) {
        if (item.separator == MenuItemControl::TypeSeparator || !takesRoom(item))
            continue;
        widest = std::max(widest, measure(item.text));
        hasSubmenu = hasSubmenu || item.separator == MenuItemControl::TypeSubmenu;
    }
    return widest + textAllowance + (hasSubmenu ? submenuAllowance : 0);
}

int MenuWindow::measureOnScreen(const std::wstring& text)
{
    HDC screen = GetDC(nullptr);
    SIZE extent = {};
    GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &extent);
    ReleaseDC(nullptr, screen);
    return extent.cx;
}

POINT MenuWindow::placeAtCursor(POINT at, int width, int height, const RECT& work)
{
    POINT origin = at;
    if (origin.x + width - 5 > work.right)
        origin.x -= width;
    if (origin.y + height > work.bottom)
        origin.y = origin.y - height + 5;
    return origin;
}

MenuWindow::SubmenuPlacement MenuWindow::placeSubmenu(const RECT& parent, const RectF& item, int width, int height,
                                                      const RECT& work)
{
    SubmenuPlacement placed{};
    const int itemTop = static_cast<int>(item.y);
    const int itemHeight = static_cast<int>(item.height);
    placed.origin = {parent.right - 10, parent.top + itemTop - 7};
    if (placed.origin.x + width - 5 > work.right) {
        placed.origin.x = parent.left - width + 10;
        placed.opensLeft = true;
    }
    if (placed.origin.y + height > work.bottom)
        placed.origin.y = parent.top + itemTop + itemHeight - height + 7;
    // Revealed from the edge next to the parent, wiped away towards it.
    placed.showAnimation = placed.opensLeft ? RevealFromRight : RevealFromLeft;
    placed.closeAnimation = placed.opensLeft ? RevealFromLeft : RevealFromRight;
    return placed;
}

// ---- showing ----

MenuWindow::~MenuWindow()
{
    release();
}

std::unique_ptr<MenuWindow> MenuWindow::clone() const
{
    // A menu window is one shown window and its loop; a copy has neither.
    return std::make_unique<MenuWindow>();
}

void MenuWindow::install()
{
    static const bool registered = registerWindowClass(menuWindowClass);
    (void)registered;
    PopupMenu::setMenuWindow(showMenu);
}

void MenuWindow::noteChoice(HWND root, std::intptr_t keyCode)
{
    for (MenuWindow* menu = innermost; menu; menu = menu->outer_) {
        if (menu->window_ == root) {
            menu->choice_ = keyCode;
            return;
        }
    }
}

std::intptr_t MenuWindow::showMenu(HWND owner, int x, int y, int width, const std::vector<MenuItem>& items, bool isRoot,
                         MenuOpenHandler onOpen, HostPaintBackgroundHandler painter)
{
    install();
    MenuWindow menu;
    return menu.run(owner, x, y, width, items, isRoot, onOpen, painter);
}

std::intptr_t MenuWindow::run(HWND owner, int x, int y, int width, const std::vector<MenuItem>& items, bool isRoot,
                    MenuOpenHandler onOpen, HostPaintBackgroundHandler painter)
{
    const int h = menuHeight(items);
    const int w = menuWidth(items, width, measureOnScreen);
    const RECT work = workArea();
    // The menu takes its owner's scale; it is placed on the screen in device pixels.
    const HostWindow* scaleSource = owner ? HostWindow::fromWindow(owner) : nullptr;
    const DisplayScale scale(scaleSource ? scaleSource->displayScale.dpi() : DisplayScale::dpiOfWindow(owner));
    const SIZE device = scale.sizeToDevice({w, h});

    HWND parentMenu = nullptr;
    SubmenuPlacement placed{};
    if (isRoot) {
        POINT at = {x, y};
        if (x == 0 && y == 0) {
            GetCursorPos(&at);
            at = placeAtCursor(at, device.cx, device.cy, work);
        }
        placed.origin = at;
    } else {
        HostWindow* parentHost = HostWindow::fromWindow(owner);
        if (!parentHost || !parentHost->focusedControl)
            return 0;
        RECT parentRect;
        GetWindowRect(owner, &parentRect);
        const RectF item = Control::fromHandle(parentHost->focusedControl)->currentBounds();
        placed = placeSubmenu(parentRect, parentHost->deviceRect(item), device.cx, device.cy, work);
        parentMenu = owner;
    }

    EngineWindowOptions options;
    options.owner = owner;
    options.className = menuWindowClass;
    options.x = placed.origin.x;
    options.y = placed.origin.y;
    options.width = device.cx;
    options.height = device.cy;
    options.style = WS_POPUP;
    options.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    window_ = createEngineWindow(options);
    if (!window_)
        return 0;

    SetPropW(window_, popupKindProperty, asProperty(POPUP_MENU));
    if (isRoot) {
        SetPropW(window_, menuRootProperty, window_);
        if (HostWindow* ownerHost = owner ? HostWindow::fromWindow(owner) : nullptr) {
            POINT cursor;
            RECT ownerRect;
            GetCursorPos(&cursor);
            GetWindowRect(owner, &ownerRect);
            const POINT at =
                ownerHost->displayScale.toLogical(POINT{cursor.x - ownerRect.left, cursor.y - ownerRect.top});
            const ControlHandle control =
                HostWindow::controlAt(ownerHost->lastControl, static_cast<float>(at.x), static_cast<float>(at.y));
            SetPropW(window_, menuEventProperty, asProperty(control));
            SendMessageW(owner, WM_EX_FOCUS, 0, static_cast<LPARAM>(control));
        }
    } else {
        SetPropW(window_, menuRootProperty, GetPropW(parentMenu, menuRootProperty));
        SetPropW(parentMenu, menuSubProperty, window_);
    }

    host_ = std::make_unique<HostWindow>();
    host_->setOnPaintBackground(painter ? painter : paintDefaultBackground);
    HostAttachOptions attach;
    attach.backgroundColor = menuBackground;
    attach.frameFlags = 0;
    attach.windowAlpha = menuAlpha;
    attach.frameStyle = menuFrameStyle;
    attach.presentOnAttach = false;
    attach.resizable = false;
    attach.draggable = false;
    attach.windowRectIsLogical = false;
    attach.dpi = scale.dpi();
    host_->attach(window_, attach);
    host_->setOnMessage(menuMessageHook);
    if (!isRoot)
        host_->setCloseAnimation(placed.closeAnimation);

    createItems(items, w);
    if (onOpen)
        onOpen(window_, isRoot);

    outer_ = innermost;
    innermost = this;
    if (IsWindow(window_)) {
        if (isRoot)
            host_->show();
        else
            host_->show(placed.showAnimation, showDuration);
        SetForegroundWindow(window_);
    }
    runLoop();
    innermost = outer_;
    release();
    return choice_;
}

void MenuWindow::createItems(const std::vector<MenuItem>& items, int width)
{
    const ParentHandle parent = parentWindow(window_);
    int y = margin;
    for (const MenuItem& item : items) {
        // Items that take no room in the size are not laid out either: they would overlap the next row.
        if (!takesRoom(item))
            continue;
        auto control = std::make_unique<MenuItemControl>();
        if (item.separator == MenuItemControl::TypeSeparator) {
            control->createMenuItem(parent, separatorLeft, static_cast<float>(y), static_cast<float>(width - 40),
                                    separatorHeight, item);
            y += separatorHeight;
        } else {
            control->createMenuItem(parent, itemLeft, static_cast<float>(y), static_cast<float>(width - 2 * itemLeft),
                                    itemHeight, item);
            y += itemHeight;
        }
        if (item.option1 == MenuItemControl::StateDisabled)
            control->disabled(true);
        itemControls_.push_back(std::move(control));
    }
}

// ---- message hook ----

LRESULT MenuWindow::menuMessageHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const auto kind = static_cast<int>(reinterpret_cast<UINT_PTR>(GetPropW(hwnd, popupKindProperty)));
    switch (msg) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            break;
        if (kind == POPUP_MENU) {
            const auto activated = reinterpret_cast<HWND>(lParam);
            if (!IsWindowVisible(hwnd)) {
                // A menu closing on its own (Escape, a chosen item) decides nothing for the chain. Wine may pass
                // the activation of a vanishing submenu to no window instead of its parent: give it back.
                const HWND parent = GetParent(hwnd);
                if (!activated && parent && GetPropW(parent, menuRootProperty) && IsWindowVisible(parent))
                    SetForegroundWindow(parent);
                break;
            }
            // Moving into another menu of a chain keeps the chain; owned submenus close with their root.
            if (!activated || !GetPropW(activated, menuRootProperty))
                PostMessageW(static_cast<HWND>(GetPropW(hwnd, menuRootProperty)), WM_CLOSE, 0, 0);
        } else if (kind == POPUP_CLOSE_ON_DEACTIVATE) {
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        }
        break;
    case WM_DESTROY:
        if (kind == POPUP_MENU) {
            RemovePropW(hwnd, menuRootProperty);
            RemovePropW(hwnd, menuSubProperty);
            RemovePropW(hwnd, menuActiveProperty);
            RemovePropW(hwnd, menuEventProperty);
        } else if (kind == POPUP_MESSAGE_BOX) {
            RemovePropW(hwnd, messageBoxProperty);
        }
        RemovePropW(hwnd, popupKindProperty);
        break;
    case WM_KEYDOWN:
        if (kind == POPUP_MENU) {
            if (wParam == VK_ESCAPE)
                PostMessageW(hwnd, WM_CLOSE, 0, 0);
            else
                SendMessageW(hwnd, WM_SYSCHAR, wParam, lParam);  // plain letters reach the access keys
        }
        break;
    default:
        break;
    }
    return -1;
}

// ---- loop and release ----

void MenuWindow::runLoop()
{
    MSG msg;
    while (IsWindow(window_)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The quit belongs to the application's own loop: hand it back and take the menu down.
            DestroyWindow(window_);
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void MenuWindow::release()
{
    if (window_ && IsWindow(window_))
        DestroyWindow(window_);
    window_ = nullptr;
    // Destroying the window detached the host, which destroyed every item; the objects go last.
    itemControls_.clear();
    host_.reset();
}
