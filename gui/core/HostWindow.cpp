// Sections: lifetime · attach · frame elements · detach · tooltips · caption layout · settings
#include "HostWindow.h"

#include <cstddef>

#include "CaptionButton.h"
#include "Engine.h"
#include "LabelControl.h"
#include "PictureControl.h"
#include "RedrawQueue.h"

namespace {
constexpr wchar_t hostProperty[] = L"Ex_Wnd_Control";
constexpr ARGB captionTextColor = 0xFAFFFFFF;
// The tool record as comctl32 5.x knows it, without lpReserved: 44 bytes on i686, 64 on x86_64.
constexpr UINT toolInfoSize = offsetof(TTTOOLINFOA, lpReserved);
static_assert(sizeof(void*) != 4 || toolInfoSize == 44);

constexpr int captionButtonFlags[] = {FRAME_CLOSE,     FRAME_MAXIMIZE,  FRAME_MINIMIZE,  FRAME_BUTTON_32,
                                      FRAME_BUTTON_64, FRAME_BUTTON_128, FRAME_BUTTON_256};

int captionButtonWidth(int flag)
{
    return flag == FRAME_CLOSE ? CaptionButton::closeFaceWidth : CaptionButton::faceWidth;
}

LONG windowStyle(HWND hwnd)
{
    return GetWindowLongW(hwnd, GWL_STYLE);
}

void setWindowStyle(HWND hwnd, LONG style)
{
    SetWindowLongW(hwnd, GWL_STYLE, style);
}
}  // namespace

// ---- lifetime ----

HostWindow::HostWindow()
    : iconControl(std::make_unique<PictureControl>()),
      captionLabel(std::make_unique<LabelControl>()),
      redrawQueue(std::make_unique<RedrawQueue>())
{
}

HostWindow::~HostWindow()
{
    if (previousWndProc && IsWindow(hwnd))
        detach(hwnd);
    if (backgroundImage && !skinSourceWindow)
        GDIP(GdipDisposeImage)(backgroundImage);
}

HostWindow* HostWindow::fromWindow(HWND hwnd)
{
    return reinterpret_cast<HostWindow*>(GetPropW(hwnd, hostProperty));
}

std::unique_ptr<HostWindow> HostWindow::clone() const
{
    auto copy = std::make_unique<HostWindow>();
    copy->skinSourceWindow = skinSourceWindow;
    if (backgroundImage) {
        if (skinSourceWindow)
            copy->backgroundImage = backgroundImage;
        else
            GDIP(GdipCloneImage)(backgroundImage, &copy->backgroundImage);
    }
    copy->backgroundColor = backgroundColor;
    copy->frameStyle_ = frameStyle_;
    copy->windowAlpha = windowAlpha;
    copy->imageLayout = imageLayout;
    copy->shadowWidth = shadowWidth;
    copy->resizable = resizable;
    copy->draggable_ = draggable_;
    copy->outlineExtra = outlineExtra;
    copy->closeAnimation = closeAnimation;
    copy->blurBehind = blurBehind;
    copy->presentOnAttach = presentOnAttach;
    copy->defaultCursor = defaultCursor;
    copy->imageMargins = imageMargins;
    copy->accelerators = accelerators;
    copy->onPaintBackground = onPaintBackground;
    copy->onMessage = onMessage;
    copy->onMouseDown = onMouseDown;
    copy->onMouseUp = onMouseUp;
    copy->onClick = onClick;
    copy->onDoubleClick = onDoubleClick;
    copy->onRightDown = onRightDown;
    copy->onRightUp = onRightUp;
    copy->onMouseEnter = onMouseEnter;
    copy->onMouseLeave = onMouseLeave;
    copy->onFocus = onFocus;
    copy->onBlur = onBlur;
    copy->onResize = onResize;
    return copy;
}

// ---- attach ----

bool HostWindow::attach(HWND window, const HostAttachOptions& options)
{
    // One host per window and one window per host: a second thunk over the first would outlive it.
    if (!window || !IsWindow(window) || previousWndProc || GetPropW(window, hostProperty))
        return false;
    hwnd = window;

    windowAlpha = options.windowAlpha.value_or(-1);
    imageLayout = options.imageLayout.value_or(0);
    outlineExtra = options.outlineExtra.value_or(true);
    frameStyle_ = options.frameStyle.value_or(7);
    resizable = options.resizable.value_or((windowStyle(hwnd) & WS_THICKFRAME) != 0);
    draggable_ = options.draggable.value_or(true);
    presentOnAttach = options.presentOnAttach.value_or(true);
    imageMargins = options.imageMargins;
    if (options.skinSourceWindow)
        skinSourceWindow = *options.skinSourceWindow;
    if (options.blur)
        blurBehind = windowAlpha != -1 && *options.blur;
    else
        blurBehind = engine().windowsMajorVersion == 6;

    applyFrameFlags(options);

    SetPropW(hwnd, hostProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handle())));
    defaultCursor = engine().arrowCursor;

    LONG style = windowStyle(hwnd) & ~(WS_THICKFRAME | WS_DLGFRAME | WS_BORDER);
    if (!(frameFlags & FRAME_MINIMIZE))
        style &= ~WS_MINIMIZEBOX;
    if (!(frameFlags & FRAME_MAXIMIZE))
        style &= ~WS_MAXIMIZEBOX;
    setWindowStyle(hwnd, style);

    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    const int dpi = options.dpi.value_or(0);
    displayScale = DisplayScale(DisplayScale::isUsableDpi(dpi) ? dpi : DisplayScale::dpiOfWindow(hwnd));
    if (options.windowRectIsLogical.value_or(true)) {
        size = {rc.right - rc.left, rc.bottom - rc.top};
        deviceSize = displayScale.sizeToDevice(size);
        if (!displayScale.isIdentity()) {
            // A top-level window's place is logical too; a child's is in its parent's client pixels.
            POINT at = {rc.left, rc.top};
            if (HWND parent = GetAncestor(hwnd, GA_PARENT); parent && (windowStyle(hwnd) & WS_CHILD))
                ScreenToClient(parent, &at);
            SetWindowPos(hwnd, nullptr, displayScale.toDevice(static_cast<float>(at.x)),
                         displayScale.toDevice(static_cast<float>(at.y)), deviceSize.cx, deviceSize.cy,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        }
    } else {
        deviceSize = {rc.right - rc.left, rc.bottom - rc.top};
        size = displayScale.sizeToLogical(deviceSize);
    }
    windowDC = GetDC(hwnd);
    createCanvases();

    if (windowAlpha != -1)
        SetWindowLongW(hwnd, GWL_EXSTYLE, GetWindowLongW(hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);

    redrawQueue->init(hwnd, handle(), backGraphics);
    if (!thunk.build(thunkWindowProc, handle())) {
        releaseCanvases();
        ReleaseDC(hwnd, windowDC);
        windowDC = nullptr;
        RemovePropW(hwnd, hostProperty);
        hwnd = nullptr;
        return false;
    }
    previousWndProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(thunk.entry())));

    lockRedraw();
    if (frameFlags)
        createFrameElements();
    unlockRedraw();
    setBackground(options.background.empty() ? std::nullopt : std::optional<Bytes>(options.background),
                  options.backgroundColor, -1, false);
    if (windowAlpha != -1)
        present();

    if (resizable)
        setWindowStyle(hwnd, windowStyle(hwnd) | WS_THICKFRAME);
    // Style changes take effect on the frame only with SWP_FRAMECHANGED: the window procedure then
    // answers WM_NCCALCSIZE so that the whole window is client area.
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    return true;
}

void HostWindow::applyFrameFlags(const HostAttachOptions& options)
{
    int flags = options.frameFlags.value_or(0);
    LONG style = windowStyle(hwnd);
    if (!options.frameFlags || flags != 0) {
        style |= WS_SYSMENU;
        if (!options.frameFlags || (flags & FRAME_STANDARD)) {
            flags |= FRAME_ICON | FRAME_CAPTION | FRAME_CLOSE;
            if (style & WS_MAXIMIZEBOX)
                flags |= FRAME_MAXIMIZE;
            if (style & WS_MINIMIZEBOX)
                flags |= FRAME_MINIMIZE;
        }
    }
    frameFlags = (flags & ~FRAME_STANDARD) | FRAME_ALWAYS;
    setWindowStyle(hwnd, style | WS_POPUP);
}

// ---- frame elements ----

void HostWindow::createFrameElements()
{
    const ParentHandle parent = parentWindow(hwnd);
    if (frameFlags & FRAME_ICON) {
        auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0));
        if (!icon)
            icon = reinterpret_cast<HICON>(GetClassLongPtrA(hwnd, GCLP_HICONSM));
        iconControl->createPictureFromIcon(parent, 11, 11, 16, 16, icon, 0, std::nullopt, 0);
        iconControl->focusable(false);
    }
    if (frameFlags & FRAME_CAPTION) {
        std::string title(static_cast<size_t>(GetWindowTextLengthA(hwnd)), '\0');
        if (!title.empty())
            title.resize(static_cast<size_t>(GetWindowTextA(hwnd, title.data(), static_cast<int>(title.size()) + 1)));
        LabelOptions look;
        look.textColor = captionTextColor;
        const float left = (frameFlags & FRAME_ICON) ? 28.0f : 11.0f;
        captionLabel->createLabel(parent, left, 10, static_cast<float>(size.cx) - left, 18, title, look);
    }
    int x = size.cx - 12;
    for (int flag : captionButtonFlags) {
        if (!(frameFlags & flag))
            continue;
        const int width = captionButtonWidth(flag);
        x -= width;
        auto button = std::make_unique<CaptionButton>();
        button->createCaptionButton(parent, x, 7, width, 19, flag);
        captionButtons.push_back(std::move(button));
    }
}

// ---- detach ----

void HostWindow::detach(HWND window)
{
    if (!previousWndProc)
        return;
    lockRedraw();
    // The tool subclasses the window (TTF_SUBCLASS) and chains to the thunk: it is removed while the
    // thunk is still the procedure comctl32 knows, before the old procedure comes back.
    if (tooltipWindow) {
        SendMessageW(tooltipWindow, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&toolInfo));
    }
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousWndProc));
    redrawQueue->clear();

    // Each destroy unlinks the control, so the list shrinks from its head.
    while (ControlHandle first = firstControl) {
        Control::fromHandle(first)->destroy();
        if (firstControl == first)
            Control::fromHandle(first)->unlink();
        if (firstControl == first)
            break;
    }

    if (clipRegion) {
        GDIP(GdipDeleteRegion)(clipRegion);
        clipRegion = nullptr;
    }
    if (backgroundImage && !skinSourceWindow)
        GDIP(GdipDisposeImage)(backgroundImage);
    backgroundImage = nullptr;

    if (tooltipWindow) {
        DestroyWindow(tooltipWindow);
        tooltipWindow = nullptr;
    }
    if (pressed || trackingLeave) {
        pressed = false;
        trackingLeave = 0;
        ReleaseCapture();
    }
    pressedControl = focusedControl = hoverControl = keyboardFocus = 0;
    lastControl = firstControl = 0;
    frameFlags = 0;

    releaseCanvases();
    if (windowDC) {
        ReleaseDC(window, windowDC);
        windowDC = nullptr;
    }
    accelerators.clear();
    captionButtons.clear();
    // Their messages die with the window, or reach the old procedure, which does not know them.
    eventRecords.clear();
    hoverStale_ = hoverCheckPosted_ = hoverCheckDue_ = false;

    RemovePropW(window, hostProperty);
    thunk.free();
    previousWndProc = nullptr;
    hwnd = nullptr;
    // Every lock goes with the window: an animation that held one finds the window gone and stops.
    redrawLock = 0;
}

// ---- tooltips ----

void HostWindow::createTooltipWindow()
{
    // "tooltips_class32" is registered only once comctl32 is loaded, which nothing else may have done.
    static const bool commonControlsReady = [] {
        INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
        const auto init = BOUND_PROC(SystemDll::ComCtl32, decltype(&InitCommonControlsEx), "InitCommonControlsEx");
        return init && init(&classes) != FALSE;
    }();
    (void)commonControlsReady;
    tooltipWindow = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0,
                                    0, nullptr, nullptr, nullptr, nullptr);
    SetWindowPos(tooltipWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    toolInfo = {};
    toolInfo.cbSize = toolInfoSize;
    toolInfo.uFlags = TTF_SUBCLASS;
    toolInfo.hwnd = hwnd;
    SendMessageW(tooltipWindow, TTM_SETMAXTIPWIDTH, 0, 1024);
}

void HostWindow::setControlTooltip(ControlHandle control, std::optional<std::string> text)
{
    const Control* target = control ? Control::fromHandle(control) : nullptr;
    if (!target || !hwnd)
        return;
    const std::string tip = text ? std::move(*text) : target->tooltipText();
    // The tooltip window, and comctl32 with it, comes with the first tip, not with every host.
    if (!tooltipWindow && !tip.empty())
        createTooltipWindow();
    if (!tooltipWindow)
        return;
    SendMessageW(tooltipWindow, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&toolInfo));
    if (tip.empty())
        return;
    placeTool(*target);
    // comctl32 copies the text; the pointer is not kept past the calls.
    toolInfo.lpszText = const_cast<char*>(tip.c_str());
    SendMessageW(tooltipWindow, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&toolInfo));
    SendMessageW(tooltipWindow, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&toolInfo));
    SendMessageW(tooltipWindow, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&toolInfo));
    toolInfo.lpszText = nullptr;
}

void HostWindow::placeTool(const Control& target)
{
    const RectF& b = target.currentBounds();
    const RECT logical = {static_cast<LONG>(b.x), static_cast<LONG>(b.y), static_cast<LONG>(b.x + b.width),
                          static_cast<LONG>(b.y + b.height)};
    toolInfo.rect = displayScale.toDevice(logical);
}

// ---- caption layout ----

void HostWindow::layoutCaption()
{
    if (!frameFlags)
        return;
    float x = static_cast<float>(size.cx - 5 - ((frameFlags & FRAME_CLOSE) ? 12 : 0));
    for (const auto& button : captionButtons) {
        x -= CaptionButton::faceWidth;
        button->move(x, 7.0f, std::nullopt, std::nullopt);
    }
    if ((frameFlags & FRAME_CAPTION) && captionLabel->handle()) {
        const float left = (frameFlags & FRAME_ICON) ? 28.0f : 11.0f;
        captionLabel->move(left, 10.0f, x - left, 20.0f);
    }
}

// ---- settings ----

int HostWindow::draggable(std::optional<int> value)
{
    if (value)
        draggable_ = *value != 0;
    return draggable_ ? 1 : 0;
}

int HostWindow::frameStyle(std::optional<int> value)
{
    if (value)
        frameStyle_ = *value;
    return frameStyle_;
}

void HostWindow::setShadowWidth(int value)
{
    shadowWidth = value;
}

void HostWindow::setCloseAnimation(int value)
{
    closeAnimation = value;
}

void HostWindow::setDefaultCursor(CursorSpec cursor)
{
    defaultCursor = cursor.isResourceId
                        ? LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(cursor.value))
                        : reinterpret_cast<HCURSOR>(cursor.value);
}

void HostWindow::setOnPaintBackground(HostPaintBackgroundHandler callback) { onPaintBackground = callback; }
void HostWindow::setOnMessage(HostMessageHandler callback) { onMessage = callback; }
void HostWindow::setOnResize(HostResizeHandler callback) { onResize = callback; }
void HostWindow::setOnMouseDown(HostControlHandler callback) { onMouseDown = callback; }
void HostWindow::setOnMouseUp(HostControlHandler callback) { onMouseUp = callback; }
void HostWindow::setOnClick(HostControlHandler callback) { onClick = callback; }
void HostWindow::setOnDoubleClick(HostControlHandler callback) { onDoubleClick = callback; }
void HostWindow::setOnRightDown(HostControlHandler callback) { onRightDown = callback; }
void HostWindow::setOnRightUp(HostControlHandler callback) { onRightUp = callback; }
void HostWindow::setOnMouseLeave(HostControlHandler callback) { onMouseLeave = callback; }
void HostWindow::setOnMouseEnter(HostControlHandler callback) { onMouseEnter = callback; }
void HostWindow::setOnFocus(HostControlHandler callback) { onFocus = callback; }
void HostWindow::setOnBlur(HostControlHandler callback) { onBlur = callback; }
