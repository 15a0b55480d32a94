#pragma once
// The installer's behaviour once its window stands: default folder, folder browser, agreement box and
// link, the install checks, the worker thread and its progress stages, completion, shortcuts and
// "立即运行". The window binds its elements' events to these handlers.
#include <windows.h>

#include <memory>
#include <string>

#include "Forward.h"
#include "InstallerElements.h"
#include "ProgressRelay.h"

class InstallWorker;

class InstallProcedure {
public:
    // On the window's thread, once the window's elements exist: progress reports are handled on the
    // thread that constructs the procedure.
    explicit InstallProcedure(InstallerElements& elements);
    ~InstallProcedure();
    InstallProcedure(const InstallProcedure&) = delete;
    InstallProcedure& operator=(const InstallProcedure&) = delete;

    void setDefaultFolder();
    // Ends the process with exit code 0 at once, also while the worker runs.
    [[noreturn]] static void onCloseClicked();
    void onInstallClicked();
    void onBrowseClicked();
    // Starts the installed program and ends the process with exit code 0; nothing when it is missing.
    void onRunClicked();
    void onAgreementCheckClicked();
    void onAgreementLinkClicked();
    void onHoverEnter(ControlHandle handle);
    void onHoverLeave(ControlHandle handle);
    // On the window's thread, while the worker waits.
    void onExtractProgress(int percent);
    void onIconTimer();

    // onRunClicked without ending the process: true when the program was found and started.
    bool startInstalledProgram();

    bool isAgreementTicked();
    bool hasStartedWorker() const { return worker_ != nullptr; }
    bool isWorkerFinished() const;
    UINT iconTimerInterval() const { return iconTimerInterval_; }

    const std::string& productName() const { return productName_; }
    const std::string& programsFolder() const { return programsFolder_; }
    const std::string& uninstallList() const { return uninstallList_; }
    const std::string& browseStartFolder() const { return browseStartFolder_; }

    static constexpr UINT iconTimerDelay = 100;  // ms

    static constexpr const char* agreementMessage =  // 请勾选使用协议后再安装
        "\xC7\xEB\xB9\xB4\xD1\xA1\xCA\xB9\xD3\xC3\xD0\xAD\xD2\xE9\xBA\xF3\xD4\xD9\xB0\xB2\xD7\xB0";
    static constexpr const char* agreementCaption = "\xD0\xAD\xD2\xE9\xB9\xB4\xD1\xA1\xCC\xE1\xCA\xBE";  // 协议勾选提示
    static constexpr const char* folderMessage = "\xC7\xEB\xCF\xC8\xD1\xA1\xD4\xF1\xC2\xB7\xBE\xB6\xA3\xA1";  // 请先选择路径！
    static constexpr const char* folderCaption = "\xCC\xE1\xD0\xD1";  // 提醒

private:
    static void CALLBACK iconTimerTick(HWND hwnd, UINT message, UINT_PTR id, DWORD time);
    void setIconTimerInterval(UINT milliseconds);
    void showInstallingState();
    void completeInstallation();
    void applyHoverPictures(ControlHandle handle);
    std::string folderText();

    InstallerElements& elements_;
    ProgressRelay relay_;
    std::unique_ptr<InstallWorker> worker_;  // after relay_: destroyed first
    UINT iconTimerInterval_ = 0;
    HWND timerWindow_ = nullptr;
    std::string productName_;
    std::string programsFolder_;
    std::string uninstallList_;
    std::string browseStartFolder_;
};
