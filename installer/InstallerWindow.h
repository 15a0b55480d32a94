#pragma once
// The installer's only window: a borderless 588 x 438 platform window with two plain text labels, and
// the engine host drawing every other element. It answers the install procedure's reads and writes.
#include <windows.h>

#include <array>
#include <memory>

#include "ButtonControl.h"
#include "EditControl.h"
#include "HostWindow.h"
#include "InstallProcedure.h"
#include "InstallerElements.h"
#include "LabelControl.h"
#include "PictureControl.h"
#include "ProductTexts.h"
#include "ProgressBar.h"
#include "TextLabelWindow.h"

class InstallerWindow : public InstallerElements {
public:
    static constexpr int screenX = 50, screenY = 50, width = 588, height = 438;
    static constexpr COLORREF backgroundColor = RGB(44, 56, 72);
    static constexpr const char* title = product::installerTitle;

    InstallerWindow();
    ~InstallerWindow() override;
    InstallerWindow(const InstallerWindow&) = delete;
    InstallerWindow& operator=(const InstallerWindow&) = delete;

    // Loads the platform window with its labels, builds the controls, fills in the default folder and
    // shows the window. False when the platform window cannot be created.
    bool startInstaller(HINSTANCE instance, bool show = true);
    // Every control of the window, in its fixed creation order; the host is attached first.
    void buildWindow();
    InstallProcedure* procedure() { return procedure_.get(); }
    // Where the procedure writes its steps; before startInstaller.
    void setLog(InstallLog* log) { log_ = log; }

    // InstallerElements
    HWND window() override { return hwnd_; }
    ControlHandle handle(InstallerElement element) override;
    bool visible(InstallerElement element, std::optional<bool> value = std::nullopt) override;
    bool disabled(InstallerElement element, std::optional<bool> value = std::nullopt) override;
    float top(InstallerElement element, std::optional<float> value = std::nullopt) override;
    std::string text(InstallerElement element, std::optional<std::string> value = std::nullopt) override;
    int progressPosition(std::optional<int> value = std::nullopt) override;
    void setPictures(InstallerElement element, const PictureSet& pictures) override;
    std::vector<std::uint8_t> firstPicture(InstallerElement element) override;

    // The elements, named as the procedure knows them.
    HostWindow hostWindow;
    std::array<LabelControl, 2> background;  // top and bottom panel
    ButtonControl closeButton;
    PictureControl bannerPicture;
    ButtonControl installButton;
    EditControl folderEdit;
    ProgressBar progressBar;
    ButtonControl browseButton;
    ButtonControl runButton;
    std::array<ButtonControl, 2> agreementLink;  // normal and highlighted
    ButtonControl agreementCheck;
    EditControl agreementPanel;
    TextLabelWindow folderCaption;
    TextLabelWindow statusText;

private:
    Control* control(InstallerElement element);
    TextLabelWindow* label(InstallerElement element);
    ButtonControl* button(InstallerElement element);
    void loadLabels();
    void bindHandlers();
    // Chained into the host's presents: the labels redraw over what was just put on screen.
    static BOOL WINAPI presentAndRefreshLabels(HDC target, int x, int y, int width, int height, HDC source, int sx,
                                               int sy, DWORD rop);

    HWND hwnd_ = nullptr;
    InstallLog* log_ = nullptr;
    std::unique_ptr<InstallProcedure> procedure_;
    HostWindow::PresentBltProc previousPresent_ = nullptr;
};
