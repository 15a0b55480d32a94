#include "TextLabelWindow.h"

#include "Control.h"
#include "HostWindow.h"
#include "Text.h"

namespace {

constexpr wchar_t className[] = L"FeijingTextLabel";

bool registerClass()
{
    static const bool registered = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.lpszClassName = className;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

}  // namespace

TextLabelWindow::~TextLabelWindow()
{
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (font_)
        DeleteObject(font_);
}

bool TextLabelWindow::create(HWND parent, int x, int y, int width, int height, const std::string& caption,
                             const Look& look, bool visible)
{
    if (hwnd_ || !registerClass())
        return false;
    caption_ = caption;
    look_ = look;
    logical_ = {x, y, x + width, y + height};
    makeFont();
    const RECT device = scale_.toDevice(logical_);
    hwnd_ = CreateWindowExW(0, className, L"", WS_CHILD | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0), device.left,
                            device.top, device.right - device.left, device.bottom - device.top, parent, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_)
        return false;
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TextLabelWindow::windowProc));
    SetWindowTextW(hwnd_, toWide(caption).c_str());
    return true;
}

bool TextLabelWindow::visible(std::optional<bool> value)
{
    if (!hwnd_)
        return false;
    if (value)
        ShowWindow(hwnd_, *value ? SW_SHOWNA : SW_HIDE);
    return IsWindowVisible(hwnd_) != FALSE || (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
}

int TextLabelWindow::top(std::optional<int> value)
{
    if (value && hwnd_ && *value != logical_.top) {
        OffsetRect(&logical_, 0, *value - logical_.top);
        place();
    }
    return hwnd_ ? logical_.top : 0;
}

void TextLabelWindow::setBackgroundHost(HostWindow* host)
{
    host_ = host;
    if (host)
        applyScale(host->displayScale);
}

void TextLabelWindow::applyScale(const DisplayScale& scale)
{
    if (scale.dpi() == scale_.dpi())
        return;
    scale_ = scale;
    makeFont();
    place();
}

void TextLabelWindow::makeFont()
{
    if (font_)
        DeleteObject(font_);
    // A negative height asks for the character height in pixels, the em size GDI+ fonts are made at.
    const int height = scale_.toDevice(static_cast<float>(look_.fontSize));
    font_ = CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                        toWide(look_.fontName).c_str());
}

void TextLabelWindow::place()
{
    if (!hwnd_)
        return;
    const RECT device = scale_.toDevice(logical_);
    SetWindowPos(hwnd_, nullptr, device.left, device.top, device.right - device.left, device.bottom - device.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

std::string TextLabelWindow::text(std::optional<std::string> value)
{
    if (value && *value != caption_) {
        caption_ = *value;
        if (hwnd_) {
            SetWindowTextW(hwnd_, toWide(caption_).c_str());
            InvalidateRect(hwnd_, nullptr, FALSE);
        }
    }
    return caption_;
}

RECT TextLabelWindow::bounds() const
{
    RECT area = {};
    if (!hwnd_)
        return area;
    GetWindowRect(hwnd_, &area);
    MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&area), 2);
    return area;
}

void TextLabelWindow::backgroundChanged(const RECT& area)
{
    if (!hwnd_ || !IsWindowVisible(hwnd_))
        return;
    const RECT own = bounds();
    RECT overlap;
    if (!IntersectRect(&overlap, &own, &area))
        return;
    OffsetRect(&overlap, -own.left, -own.top);
    InvalidateRect(hwnd_, &overlap, FALSE);
}

void TextLabelWindow::paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    const int width = client.right, height = client.bottom;
    // Composed off screen: background and text reach the screen in one blit, without flicker.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    const RECT area = bounds();
    if (host_ && host_->backDC) {
        BitBlt(memory, 0, 0, width, height, host_->backDC, area.left, area.top, SRCCOPY);
    } else {
        HWND parent = GetParent(hwnd_);
        auto brush = reinterpret_cast<HBRUSH>(GetClassLongPtrW(parent, GCLP_HBRBACKGROUND));
        FillRect(memory, &client, brush ? brush : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    HGDIOBJ oldFont = SelectObject(memory, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(memory, TRANSPARENT);
    SetTextColor(memory, look_.color);
    if (occluder_ && occluder_->handle() && occluder_->isVisible()) {
        const RectF c = occluder_->deviceBounds();
        ExcludeClipRect(memory, static_cast<int>(c.x) - area.left, static_cast<int>(c.y) - area.top,
                        static_cast<int>(c.x + c.width) - area.left, static_cast<int>(c.y + c.height) - area.top);
    }
    const std::wstring caption = toWide(caption_);
    DrawTextW(memory, caption.c_str(), static_cast<int>(caption.size()), &client,
              look_.alignment | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(memory, oldFont);
    BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(hwnd_, &ps);
}

LRESULT CALLBACK TextLabelWindow::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<TextLabelWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_NCHITTEST:
        return HTTRANSPARENT;  // the host below takes the mouse: dragging, hover
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        if (self) {
            self->paint();
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
