// Sections: start-up · controls · handlers · elements
#include "InstallerWindow.h"

#include "AgreementBox.h"
#include "Engine.h"
#include "Images.h"
#include "Resources.h"
#include "SystemDll.h"
#include "Text.h"

namespace {

InstallerWindow* current = nullptr;  // the handlers' window: one per process

const std::string yaHei = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";  // 微软雅黑
const std::string songTi = "\xCB\xCE\xCC\xE5";                 // 宋体

const ARGB white = makeColor(RGB(255, 255, 255));
const ARGB dimWhite = makeColor(RGB(255, 255, 255), 210);
const ARGB panelColor = makeColor(RGB(28, 35, 45));

DWORD WINAPI loadShell(void*)
{
    systemModule(SystemDll::Shell32);
    return 0;
}

}  // namespace

InstallerWindow::InstallerWindow() = default;

InstallerWindow::~InstallerWindow()
{
    procedure_.reset();
    if (current == this) {
        current = nullptr;
        HostWindow::presentBlt = previousPresent_;
    }
}

// ---- start-up ----

bool InstallerWindow::startInstaller(HINSTANCE instance, bool show)
{
    if (hwnd_)
        return false;
    // Clip children: the labels stay on top of every present of the host.
    hwnd_ = CreateWindowExW(0, toWide(engineWindowClass).c_str(), toWide(title).c_str(),
                            WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, screenX, screenY, width,
                            height, nullptr, nullptr, instance, nullptr);
    if (!hwnd_)
        return false;
    loadLabels();
    buildWindow();
    procedure_->setDefaultFolder();
    if (show) {
        hostWindow.show();
        UpdateWindow(hwnd_);  // the first frame now, not after what follows
    }
    // After the first frame: the window manager's copy of the icon is made while the user looks.
    if (HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(129))) {
        SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    // The shell's DLL is first needed by the installation (special folders, shortcuts) or the folder
    // browser: loaded now, off this thread, so that neither the first frame nor the install waits for it.
    if (HANDLE thread = CreateThread(nullptr, 0, &loadShell, nullptr, 0, nullptr))
        CloseHandle(thread);
    return true;
}

void InstallerWindow::loadLabels()
{
    TextLabelWindow::Look look;
    look.fontName = songTi;
    look.fontSize = 12;
    look.color = RGB(210, 210, 210);
    folderCaption.create(hwnd_, 28, 280, 62, 24, "\xB0\xB2\xD7\xB0\xCE\xBB\xD6\xC3\xA3\xBA", look, true);  // 安装位置：
    look.alignment = DT_CENTER;
    statusText.create(hwnd_, 0, 373, 588, 24, "\xD5\xFD\xD4\xDA\xB0\xB2\xD7\xB0\xD6\xD0......", look,  // 正在安装中......
                      false);
}

// ---- controls ----

void InstallerWindow::buildWindow()
{
    HostAttachOptions options;
    options.backgroundColor = backgroundColor;
    options.frameFlags = 0;
    options.windowAlpha = -1;
    options.imageLayout = 0;
    options.frameStyle = 1;
    options.presentOnAttach = true;
    options.resizable = false;
    options.draggable = true;
    options.outlineExtra = true;
    options.blur = true;
    hostWindow.attach(hwnd_, options);
    folderCaption.setBackgroundHost(&hostWindow);
    statusText.setBackgroundHost(&hostWindow);
    const ParentHandle window = parentWindow(hwnd_);
    // The controls keep the 1x pictures (the agreement state compares them); the engine draws these
    // partners in their place from 150 % on.
    for (const char* name : {"close", "close-hover", "ticked", "ticked-hover", "unticked", "unticked-hover"})
        Images::registerDoubleSize(picture(name), picture(std::string(name) + "@2x"));

    // With frame style 1 the host paints no colour of its own: the panels are the background. A label's
    // fill stops a logical pixel short of its right and bottom edges, and rounding to device pixels can
    // lose most of another: the panels reach two pixels past the window's edges and past their seam.
    constexpr int seam = 270, overreach = 2;
    for (int i = 0; i < 2; ++i) {
        LabelOptions fill;
        const ARGB color = makeColor(i == 0 ? RGB(44, 56, 72) : RGB(34, 44, 56));
        fill.gradientMode = 0;
        fill.gradientColor1 = color;
        fill.gradientColor2 = color;
        if (i == 0)
            background[0].createLabel(window, 0, 0, width + overreach, seam + overreach, "", fill);
        else
            background[1].createLabel(window, 0, seam, width + overreach, height - seam + overreach, "", fill);
    }

    ButtonOptions plain;
    plain.textColor = white;
    closeButton.createButton(window, 554, 3, 30, 30, "", plain);
    closeButton.setImages(picture("close"), picture("close-hover"), picture("close"), picture("close"), 1);

    bannerPicture.createPicture(window, 104, 96, 380, 105, picture("banner"), true, 0, true, std::nullopt, RECT{}, 0);

    ButtonOptions big;
    big.fontName = yaHei;
    big.fontSize = 18;
    big.textColor = dimWhite;
    installButton.createButton(window, 190, 360, 200, 50, "\xBC\xAB\xCB\xD9\xB0\xB2\xD7\xB0", big);  // 极速安装
    installButton.setImages(picture("button"), picture("button-hover"), picture("button"), std::nullopt, 1);

    folderEdit.create(window, 28, 304, 474, 30, std::string(), dimWhite, panelColor, yaHei);

    progressBar.createProgress(window, 32, 330, 524, 18, 0, 0, 100, false, makeColor(RGB(0, 136, 255)),
                               makeColor(RGB(255, 255, 255), 60), makeColor(RGB(96, 96, 96), 100), panelColor,
                               std::nullopt, false);

    ButtonOptions small;
    small.fontName = yaHei;
    small.textColor = dimWhite;
    browseButton.createButton(window, 508, 305, 58, 28, "\xE4\xAF\xC0\xC0", small);  // 浏览
    browseButton.setImages(picture("browse"), picture("browse-hover"), picture("browse"), std::nullopt, 1);

    big.visible = false;
    runButton.createButton(window, 190, 356, 200, 50, "\xC1\xA2\xBC\xB4\xD4\xCB\xD0\xD0", big);  // 立即运行
    runButton.setImages(picture("button"), picture("button-hover"), picture("button"), picture("button-disabled"), 1);

    const std::string linkText = "\xCA\xB9\xD3\xC3\xD0\xAD\xD2\xE9";  // 使用协议
    agreementLink[0].createButton(window, 40, 391, 60, 24, linkText, small);
    ButtonOptions highlighted = small;
    highlighted.textColor = white;
    highlighted.visible = false;
    agreementLink[1].createButton(window, 40, 391, 60, 24, linkText, highlighted);

    agreementCheck.createButton(window, 29, 396, 16, 16, "", plain);
    const PictureSet boxPictures = AgreementBox::pictures(AgreementBox::Moment::Creation);
    agreementCheck.setImages(boxPictures[0], boxPictures[1], boxPictures[2], boxPictures[3], 0);

    // Read-only, several lines, wrapped, with a vertical scroll bar.
    agreementPanel.create(window, 76, 20, 440, 340, std::string(agreementText()), makeColor(RGB(255, 255, 255), 240),
                          makeColor(RGB(28, 35, 45), 230), yaHei, std::nullopt, std::nullopt, true,
                          EditControl::ModeReadOnly, std::nullopt, EditControl::ScrollVertical, std::nullopt, false);

    folderCaption.setOccluder(&agreementPanel);
    statusText.setOccluder(&agreementPanel);

    procedure_ = std::make_unique<InstallProcedure>(*this, RunMode::Interactive, log_);
    current = this;
    previousPresent_ = HostWindow::presentBlt;
    HostWindow::presentBlt = &InstallerWindow::presentAndRefreshLabels;
    bindHandlers();
}

BOOL WINAPI InstallerWindow::presentAndRefreshLabels(HDC target, int x, int y, int width, int height, HDC source,
                                                     int sx, int sy, DWORD rop)
{
    InstallerWindow* self = current;
    const BOOL done = (self && self->previousPresent_ ? self->previousPresent_ : &BitBlt)(target, x, y, width, height,
                                                                                         source, sx, sy, rop);
    if (self && source == self->hostWindow.backDC) {
        const RECT area = {x, y, x + width, y + height};
        self->folderCaption.backgroundChanged(area);
        self->statusText.backgroundChanged(area);
    }
    return done;
}

// ---- handlers ----

void InstallerWindow::bindHandlers()
{
    closeButton.bindEvent(WM_LBUTTONDOWN, [](ControlHandle, int, WPARAM, LPARAM) {
        current->procedure_->onCloseClicked();
        return 0;
    });
    // Alt+F4 and the taskbar's "close window" close and destroy the window: the process ends then as with
    // the close button, never waiting invisibly for the worker. Already at WM_CLOSE, before the window is
    // hidden, as the close button does not hide it either.
    hostWindow.setOnMessage([](HWND, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if ((msg == WM_CLOSE || msg == WM_DESTROY) && current && current->procedure_)
            current->procedure_->endInstaller();
        if (msg == WM_DPICHANGED && current) {
            // The plain labels follow the host's new scale, which the host takes first.
            current->hostWindow.onDpiChanged(wParam, reinterpret_cast<const RECT*>(lParam));
            current->folderCaption.applyScale(current->hostWindow.displayScale);
            current->statusText.applyScale(current->hostWindow.displayScale);
            return 0;
        }
        return -1;
    });
    // Handlers that may open a dialog give up the press's capture first, or the dialog gets no mouse.
    installButton.bindEvent(WM_LBUTTONDOWN, [](ControlHandle, int, WPARAM, LPARAM) {
        ReleaseCapture();
        current->procedure_->onInstallClicked();
        return 0;
    });
    browseButton.bindEvent(WM_LBUTTONDOWN, [](ControlHandle, int, WPARAM, LPARAM) {
        ReleaseCapture();
        current->procedure_->onBrowseClicked();
        return 0;
    });
    runButton.bindEvent(WM_LBUTTONDOWN, [](ControlHandle, int, WPARAM, LPARAM) {
        current->procedure_->onRunClicked();
        return 0;
    });
    for (ButtonControl& link : agreementLink)
        link.bindEvent(WM_LBUTTONDOWN, [](ControlHandle, int, WPARAM, LPARAM) {
            current->procedure_->onAgreementLinkClicked();
            return 0;
        });
    agreementCheck.bindEvent(WM_LBUTTONDOWN, [](ControlHandle, int, WPARAM, LPARAM) {
        current->procedure_->onAgreementCheckClicked();
        return 0;
    });
    hostWindow.setOnMouseEnter([](HWND, ControlHandle control, WPARAM, LPARAM, int) {
        if (current && current->procedure_)
            current->procedure_->onHoverEnter(control);
        return 0;
    });
    hostWindow.setOnMouseLeave([](HWND, ControlHandle control, WPARAM, LPARAM, int) {
        if (current && current->procedure_)
            current->procedure_->onHoverLeave(control);
        return 0;
    });
}

// ---- elements ----

Control* InstallerWindow::control(InstallerElement element)
{
    switch (element) {
    case InstallerElement::FolderEdit: return &folderEdit;
    case InstallerElement::ProgressBar: return &progressBar;
    case InstallerElement::InstallButton: return &installButton;
    case InstallerElement::BrowseButton: return &browseButton;
    case InstallerElement::RunButton: return &runButton;
    case InstallerElement::AgreementLink: return &agreementLink[0];
    case InstallerElement::AgreementLinkHighlighted: return &agreementLink[1];
    case InstallerElement::AgreementCheck: return &agreementCheck;
    case InstallerElement::AgreementPanel: return &agreementPanel;
    default: return nullptr;
    }
}

TextLabelWindow* InstallerWindow::label(InstallerElement element)
{
    if (element == InstallerElement::StatusText)
        return &statusText;
    if (element == InstallerElement::FolderCaption)
        return &folderCaption;
    return nullptr;
}

ButtonControl* InstallerWindow::button(InstallerElement element)
{
    return dynamic_cast<ButtonControl*>(control(element));
}

ControlHandle InstallerWindow::handle(InstallerElement element)
{
    Control* c = control(element);
    return c ? c->handle() : 0;
}

bool InstallerWindow::visible(InstallerElement element, std::optional<bool> value)
{
    if (TextLabelWindow* l = label(element))
        return l->visible(value);
    Control* c = control(element);
    return c && c->visible(value);
}

bool InstallerWindow::disabled(InstallerElement element, std::optional<bool> value)
{
    Control* c = control(element);
    return c && c->disabled(value);
}

float InstallerWindow::top(InstallerElement element, std::optional<float> value)
{
    if (TextLabelWindow* l = label(element))
        return static_cast<float>(l->top(value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt));
    Control* c = control(element);
    return c ? c->top(value) : 0.0f;
}

std::string InstallerWindow::text(InstallerElement element, std::optional<std::string> value)
{
    if (TextLabelWindow* l = label(element))
        return l->text(std::move(value));
    if (element == InstallerElement::FolderEdit)
        return folderEdit.text(std::move(value));
    if (element == InstallerElement::AgreementPanel)
        return agreementPanel.text(std::move(value));
    if (ButtonControl* b = button(element))
        return b->text(std::move(value));
    return std::string();
}

int InstallerWindow::progressPosition(std::optional<int> value)
{
    return progressBar.value(value);
}

void InstallerWindow::setPictures(InstallerElement element, const PictureSet& pictures)
{
    if (ButtonControl* b = button(element))
        b->setImages(pictures[0], pictures[1], pictures[2], pictures[3]);
}

std::vector<std::uint8_t> InstallerWindow::firstPicture(InstallerElement element)
{
    ButtonControl* b = button(element);
    return b ? b->normalImage() : std::vector<std::uint8_t>();
}
