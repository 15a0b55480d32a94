// Sections: lifetime · creation and accessors · events · click · submenus · painting
#include "MenuItemControl.h"

#include <cmath>

#include "Canvas.h"
#include "Engine.h"
#include "EngineData.h"
#include "HostWindow.h"
#include "Images.h"
#include "LabelControl.h"
#include "MenuWindow.h"
#include "StringFormatHelper.h"

namespace {

constexpr int captionFormatFlags = 0x1000;  // StringFormatFlagsNoWrap
constexpr float outlineAlphaShare = 0.82f;
constexpr float arrowOutlineAlphaShare = 0.8f;

ARGB scaledAlpha(ARGB color, float share)
{
    const auto alpha = static_cast<ARGB>(static_cast<float>(color >> 24) * share);
    return (alpha << 24) | (color & 0x00FFFFFF);
}

HWND propertyWindow(HWND window, const wchar_t* name)
{
    return static_cast<HWND>(GetPropW(window, name));
}

}  // namespace

// ---- lifetime ----

MenuItemControl::~MenuItemControl()
{
    destroy();
    releaseStringFormat();
}

std::unique_ptr<Control> MenuItemControl::clone() const
{
    auto copy = std::make_unique<MenuItemControl>();
    copyBaseInto(*copy);
    copy->item_ = item_;
    copy->paintedState_ = paintedState_;
    if (stringFormat_) {
        GpStringFormat* cloned = nullptr;
        if (GDIP(GdipCloneStringFormat)(stringFormat_, &cloned) == Gdiplus::Ok)
            copy->stringFormat_ = cloned;
    }
    return copy;
}

// ---- creation and accessors ----

ControlHandle MenuItemControl::createMenuItem(ParentHandle parent, float x, float y, float width, float height,
                                              const MenuItem& item, std::optional<bool> visible)
{
    if (handle())
        return handle();
    item_ = item;
    paintedState_ = PaintNormal;
    makeStringFormat();
    const ControlHandle created = create(parent, RectF{x, y, width, height}, KIND_MENU_ITEM, visible.value_or(true),
                                         true, CursorSpec::none(), 0, 0, 0);
    if (!created)
        releaseStringFormat();
    return created;
}

void MenuItemControl::makeStringFormat()
{
    releaseStringFormat();
    StringFormatHelper helper;
    if (!helper.createFormat(captionFormatFlags, 0, false))
        return;
    helper.alignment(Gdiplus::StringAlignmentNear);
    helper.trimming(Gdiplus::StringTrimmingCharacter);
    // The "&" of an access key underlines the next character instead of showing itself.
    helper.hotkeyPrefix(Gdiplus::HotkeyPrefixShow);
    stringFormat_ = helper.nativeHandle();
}

void MenuItemControl::releaseStringFormat()
{
    if (stringFormat_)
        GDIP(GdipDeleteStringFormat)(stringFormat_);
    stringFormat_ = nullptr;
}

MenuItem MenuItemControl::item(std::optional<MenuItem> value)
{
    if (value) {
        item_ = std::move(*value);
        registerAccessKey();
        paint(paintedState_);
    }
    return item_;
}

int MenuItemControl::accessKeyOf(const std::wstring& caption)
{
    const size_t amp = caption.find(L'&');
    if (amp == std::wstring::npos || amp + 1 >= caption.size())
        return 0;
    return caption[amp + 1];
}

void MenuItemControl::registerAccessKey()
{
    if (!handle())
        return;
    const int key = accessKeyOf(item_.text);
    if (registeredKey_ != 0 && registeredKey_ != key)
        unregisterAccessKey();
    if (key != 0)
        SendMessageW(hostWindow(), WM_EX_SET_ACCELERATOR, static_cast<WPARAM>(key), handle());
    registeredKey_ = key;
}

void MenuItemControl::unregisterAccessKey()
{
    // Only our own entry: another item may have taken the same key since.
    if (HostWindow* host = hostObject(); registeredKey_ != 0 && host)
        host->removeAccelerators(handle(), registeredKey_);
    registeredKey_ = 0;
}

// ---- events ----

int MenuItemControl::handleEvent(int code, WPARAM wParam, LPARAM lParam)
{
    switch (code) {
    case EV_CREATE:
        registerAccessKey();
        paint(PaintNormal);
        break;
    case EV_PAINT:
        paint(paintedState_);
        break;
    case EV_DESTROY:
        unregisterAccessKey();
        item_ = MenuItem{};
        releaseStringFormat();
        break;
    case WM_TIMER:
        if (static_cast<ControlHandle>(wParam) == handle()) {
            KillTimer(hostWindow(), handle());
            toggleSubmenu(false);
        }
        break;
    case EV_MOUSE_ENTER: {
        HostWindow* host = hostObject();
        if (host && host->focusedControl) {
            const ControlHandle focused = host->focusedControl;
            host->focusedControl = 0;
            HostWindow::dispatch(focused, EV_MOUSE_LEAVE, 0, 0);
        }
        paint(PaintHighlighted);
        if (handle())
            SetTimer(hostWindow(), handle(), submenuDelay, nullptr);
        break;
    }
    case EV_MOUSE_LEAVE:
        paint(PaintNormal);
        break;
    case EV_CLICK:
        click();
        break;
    default:
        break;
    }
    return -1;
}

// ---- click ----

void MenuItemControl::click()
{
    if (item_.separator == TypeSubmenu) {
        if (HostWindow* host = hostObject())
            host->focusedControl = handle();
        toggleSubmenu(true);
        return;
    }
    if (item_.separator == TypeCommand)
        deliverCommand();
}

void MenuItemControl::deliverCommand()
{
    // Copied first: closing the chain destroys this control before the command is delivered.
    const std::intptr_t keyCode = item_.keyCode;
    const int delivery = item_.option2;
    const HWND window = hostWindow();

    ShowWindow(window, SW_HIDE);
    const HWND root = propertyWindow(window, menuRootProperty);
    const HWND owner = root ? GetParent(root) : nullptr;
    const LPARAM eventControl = root ? reinterpret_cast<LPARAM>(GetPropW(root, menuEventProperty)) : 0;
    MenuWindow::noteChoice(root ? root : window, keyCode);
    if (owner)
        SetForegroundWindow(owner);
    PostMessageW(root ? root : window, WM_CLOSE, 0, 0);

    if (delivery == MenuItem::DeliverByCommand) {
        if (owner)
            SendMessageW(owner, WM_COMMAND, static_cast<WPARAM>(keyCode), eventControl);
    } else if (keyCode) {
        reinterpret_cast<void (*)()>(keyCode)();
    }
}

// ---- submenus ----

ControlHandle MenuItemControl::controlUnderPointer() const
{
    HostWindow* host = hostObject();
    POINT pt;
    if (!host || !GetCursorPos(&pt))
        return 0;
    ScreenToClient(hostWindow(), &pt);
    return HostWindow::controlAt(host->lastControl, static_cast<float>(pt.x), static_cast<float>(pt.y));
}

void MenuItemControl::toggleSubmenu(bool openNow)
{
    HostWindow* host = hostObject();
    const HWND window = hostWindow();
    if (!host || !handle())
        return;

    const HWND sub = propertyWindow(window, menuSubProperty);
    if (sub && IsWindow(sub)) {
        const auto act = reinterpret_cast<ControlHandle>(GetPropW(window, menuActiveProperty));
        POINT pt;
        GetCursorPos(&pt);
        if (WindowFromPoint(pt) == sub) {
            if (act) {
                host->focusedControl = act;
                HostWindow::dispatch(act, EV_MOUSE_LEAVE, 0, 0);
            }
            return;
        }
        if (controlUnderPointer() == act)
            return;
        SetForegroundWindow(GetParent(sub));
        SetPropW(window, menuSubProperty, nullptr);
        PostMessageW(sub, WM_CLOSE, 0, 0);
        if (openNow)
            toggleSubmenu(true);
        else
            SetTimer(window, handle(), retryDelay, nullptr);
        return;
    }

    // A click (openNow) chose this row itself, also through its access key while the pointer is elsewhere.
    if (item_.separator != TypeSubmenu || (!openNow && host->hoverControl != handle()))
        return;
    host->focusedControl = handle();
    paint(PaintNormal);
    SetPropW(window, menuActiveProperty, reinterpret_cast<HANDLE>(handle()));
    if (auto* menu = reinterpret_cast<PopupMenu*>(item_.keyCode))
        menu->show(window);
}

// ---- painting ----

void MenuItemControl::paint(int state)
{
    PaintContext context;
    if (!beginPaint(context, nullptr, true))
        return;
    GpGraphics* g = context.graphics;
    const RectF row = context.rect;
    if (item_.separator == TypeSeparator) {
        if (GpPen* pen = makePen(separatorColor, 1)) {
            GDIP(GdipDrawLine)(g, pen, 0, 1, row.width - 3, 1);
            GDIP(GdipDeletePen)(pen);
        }
    } else {
        // An open submenu keeps the row that opened it highlighted.
        const bool highlighted =
            state == PaintHighlighted || (item_.separator == TypeSubmenu && hasFocus());
        paintRow(g, row, highlighted);
        if (item_.separator == TypeSubmenu)
            paintArrow(g, row, highlighted);
        paintPicture(g);
    }
    endPaint(context);
    paintedState_ = state;
}

void MenuItemControl::paintRow(GpGraphics* g, const RectF& row, bool highlighted)
{
    const ARGB background = highlighted ? item_.color2 : 0;
    const ARGB textColor = highlighted ? highlightTextColor : item_.color1;
    if (background) {
        if (GpSolidFill* brush = solidBrush(background)) {
            GDIP(GdipFillRectangle)(g, brush, row.x, row.y, row.width - 1, row.height - 1);
            GDIP(GdipDeleteBrush)(brush);
        }
        if (GpPen* pen = makePen(scaledAlpha(background, outlineAlphaShare), 1)) {
            GDIP(GdipDrawRectangle)(g, pen, row.x, row.y, row.width - 1, row.height - 1);
            GDIP(GdipDeletePen)(pen);
        }
    }

    GpFont* font = engine().defaultFont();
    float fontHeight = 0;
    if (font)
        GDIP(GdipGetFontHeight)(font, g, &fontHeight);
    const float top = std::round((row.height - fontHeight) / 2 + 1);
    RectF caption{row.x + captionIndent, row.y + top, row.width - captionIndent, row.height - top};
    if (item_.separator == TypeSubmenu)
        caption.width -= arrowSpace;
    drawLabelText(*this, g, item_.text, font, stringFormat_, caption, textColor, static_cast<ARGB>(item_.option3),
                  item_.option4, false);
}

void MenuItemControl::paintArrow(GpGraphics* g, const RectF& row, bool highlighted)
{
    const ARGB color = highlighted ? highlightArrowColor : arrowColor;
    const float tipX = row.width - 5, tipY = row.height / 2 - 1;
    const Gdiplus::PointF corners[3] = {{tipX, tipY}, {row.width - 8, tipY - 3.5f}, {row.width - 8, tipY + 3.5f}};
    if (GpSolidFill* brush = solidBrush(color)) {
        GDIP(GdipFillPolygon)(g, brush, reinterpret_cast<const Gdiplus::GpPointF*>(corners), 3,
                              Gdiplus::FillModeAlternate);
        GDIP(GdipDeleteBrush)(brush);
    }
    if (GpPen* pen = makePen(scaledAlpha(color, arrowOutlineAlphaShare), 1)) {
        GDIP(GdipDrawPolygon)(g, pen, reinterpret_cast<const Gdiplus::GpPointF*>(corners), 3);
        GDIP(GdipDeletePen)(pen);
    }
}

void MenuItemControl::paintPicture(GpGraphics* g)
{
    // The check mark wins over the item's own picture.
    const Bytes picture = item_.option1 == StateChecked ? checkMarkPicture() : Bytes(item_.picture);
    if (picture.empty())
        return;
    GpBitmap* image = bitmapFromMemory(picture);
    if (!image)
        return;
    const RectF square = pictureSquare;
    GDIP(GdipSetClipRect)(g, square.x, square.y, square.width, square.height, Gdiplus::CombineModeReplace);
    const auto w = static_cast<float>(imageWidth(image)), h = static_cast<float>(imageHeight(image));
    const float x = square.x + (square.width - w) / 2, y = square.y + (square.height - h) / 2;
    const RectF placed = {std::trunc(x), std::trunc(y), std::trunc(w), std::trunc(h)};
    if (!Images::drawDoubleSize(g, displayScale(), Images::doubleSizeOf(picture), placed, {0, 0, w, h}))
        GDIP(GdipDrawImageRectI)(g, image, static_cast<INT>(x), static_cast<INT>(y), static_cast<INT>(w),
                                 static_cast<INT>(h));
    GDIP(GdipDisposeImage)(image);
    GDIP(GdipResetClip)(g);
}
