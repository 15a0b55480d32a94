#pragma once
// One row of a pop-up menu window: a separator line, or a caption with a check mark or picture on its left
// and a submenu arrow on its right. Resting on a submenu row opens its submenu; a click on a command row
// closes the whole menu chain and then delivers the command to the owner of the root menu.
#include <windows.h>

#include <memory>
#include <optional>

#include "Control.h"
#include "PopupMenu.h"

// Window properties of a menu chain.
inline constexpr wchar_t menuRootProperty[] = L"Vu_RadudiRE_Host";     // every menu: the root menu window
inline constexpr wchar_t menuEventProperty[] = L"Vu_RadudiRE_Event";   // root: lParam of WM_COMMAND
inline constexpr wchar_t menuSubProperty[] = L"Vu_RadudiRE_Sub";       // a menu: its open submenu window
inline constexpr wchar_t menuActiveProperty[] = L"Vu_RadudiRE_Act";    // a menu: the item whose submenu is open

class MenuItemControl : public Control {
public:
    enum ItemType : int { TypeCommand = 0, TypeSeparator = 1, TypeSubmenu = 2 };
    enum ItemState : int { StateDisabled = -1, StateChecked = 4 };
    enum PaintState : int { PaintNormal = 0, PaintHighlighted = 1 };

    static constexpr ARGB separatorColor = 0xFEB7C3CC;   // COLORREF 0xCCC3B7 at alpha 254
    static constexpr ARGB highlightTextColor = 0xF0FFFFFF;
    static constexpr ARGB arrowColor = 0x78000000;
    static constexpr ARGB highlightArrowColor = 0xE6FFFFFF;
    static constexpr UINT submenuDelay = 500;  // ms of rest before a submenu opens
    static constexpr UINT retryDelay = 300;    // ms between tries to close a submenu the pointer left
    static constexpr float captionIndent = 30;
    static constexpr float arrowSpace = 12;
    static constexpr RectF pictureSquare{2, 1, 20, 20};

    MenuItemControl() = default;
    ~MenuItemControl() override;
    std::unique_ptr<Control> clone() const override;

    int handleEvent(int code, WPARAM wParam, LPARAM lParam) override;

    // --- the item's own operations, in their fixed order ---
    virtual ControlHandle createMenuItem(ParentHandle parent, float x, float y, float width, float height,
                                         const MenuItem& item, std::optional<bool> visible = std::nullopt);
    // Replaces the record (and repaints) when given one; answers a copy of the current record.
    virtual MenuItem item(std::optional<MenuItem> value = std::nullopt);
    // Opens, closes or keeps the submenu as the pointer asks; openNow retries at once instead of later.
    virtual void toggleSubmenu(bool openNow);
    virtual void paint(int state);

    int paintedState() const { return paintedState_; }
    GpStringFormat* stringFormat() const { return stringFormat_; }
    // The character after the first "&", or 0.
    static int accessKeyOf(const std::wstring& caption);

private:
    void click();
    void deliverCommand();
    void registerAccessKey();
    void unregisterAccessKey();
    void releaseStringFormat();
    void makeStringFormat();
    void paintRow(GpGraphics* g, const RectF& row, bool highlighted);
    void paintArrow(GpGraphics* g, const RectF& row, bool highlighted);
    void paintPicture(GpGraphics* g);
    ControlHandle controlUnderPointer() const;

    MenuItem item_;
    int paintedState_ = PaintNormal;
    GpStringFormat* stringFormat_ = nullptr;
    int registeredKey_ = 0;
};
