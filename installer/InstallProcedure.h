#pragma once
// The installer's behaviour once its window stands: default folder, folder browser, agreement box and
// link, the install checks, the worker thread and its progress stages, completion, failures, shortcuts,
// "立即运行" and the end of the process. The window binds its elements' events to these handlers. A silent
// run drives the same handlers on elements without a window, and ends with an exit code where the window
// would show a message or its finished state.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Forward.h"
#include "InstallFailure.h"
#include "InstallerElements.h"
#include "ProductRegistration.h"
#include "ProgressRelay.h"

class InstallLog;
class InstallWorker;
class PayloadContents;

enum class RunMode { Interactive, Silent };

class InstallProcedure {
public:
    // On the window's thread, once the window's elements exist: progress reports are handled on the
    // thread that constructs the procedure. Each step goes into `log` when given.
    explicit InstallProcedure(InstallerElements& elements, RunMode mode = RunMode::Interactive, InstallLog* log = nullptr);
    ~InstallProcedure();
    InstallProcedure(const InstallProcedure&) = delete;
    InstallProcedure& operator=(const InstallProcedure&) = delete;

    void setDefaultFolder();
    // The folder given on the command line, in place of the default.
    void presetFolder(const std::string& folder);
    // The silent run: the agreement counts as accepted (the administrator ran it so), then "极速安装".
    // Every way it ends, ends the process with its exit code; nothing is started.
    void installSilently();
    // The close message or the session's end during a silent run: ended as the close button ends an
    // interactive one, with the interrupted code unless the installation is already complete.
    void interrupt();
    // Ends the process with exit code 0 at once, also while the worker runs (endInstaller).
    void onCloseClicked();
    void onInstallClicked();
    void onBrowseClicked();
    // Makes the shortcuts still due, starts the installed program and ends the process with exit code 0;
    // nothing when the program is missing or the installation failed.
    void onRunClicked();
    void onAgreementCheckClicked();
    void onAgreementLinkClicked();
    void onHoverEnter(ControlHandle handle);
    void onHoverLeave(ControlHandle handle);
    // On the window's thread, while the worker waits.
    void onExtractProgress(int percent);
    // On the window's thread, once the worker is through: None when it unpacked everything.
    void onExtractFinished(InstallFailure failure);
    void onIconTimer();

    // Ends the process at once, as the close button and the window's destruction do: with exit code 0
    // when interactive, with `code` (or the failure met meanwhile) when silent. Before completion an
    // uninstall entry this run wrote is put back as it was (its uninstaller may not be unpacked yet);
    // after it, the shortcuts still due are made first.
    void endInstaller(SilentExit code = SilentExit::Success);

    // The status line says why, the progress bar stops where it is, no run button, and the uninstall
    // entry is put back as it was before this run. The window stays in its state otherwise; a silent
    // run ends with the failure's code.
    void failInstallation(InstallFailure failure);

    // onRunClicked without ending the process: true when the program was found and started, as the
    // user who started the installer where the desktop shell allows it.
    bool startInstalledProgram();

    bool isAgreementTicked();
    bool hasStartedWorker() const { return worker_ != nullptr; }
    bool isWorkerFinished() const;
    bool isComplete() const { return isComplete_; }
    InstallFailure failure() const { return failure_; }
    UINT iconTimerInterval() const { return iconTimerInterval_; }

    // Seams for tests: the archive and digest the next worker takes (the stored ones by default), and
    // what ends the process.
    void setPayload(Bytes archive, Bytes digest);
    static void(WINAPI* exitProcess)(UINT code);

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
    static constexpr const char* runningMessage =  // 飞鲸网游加速器正在运行，是否关闭后继续安装？
        "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7\xD5\xFD\xD4\xDA\xD4\xCB\xD0\xD0\xA3\xAC\xCA\xC7\xB7\xF1"
        "\xB9\xD8\xB1\xD5\xBA\xF3\xBC\xCC\xD0\xF8\xB0\xB2\xD7\xB0\xA3\xBF";
    // 磁盘空间不足，需要 … MB, with the megabytes the archive and its files need together, rounded up.
    static std::string spaceMessage(std::uint64_t neededBytes);

private:
    static void CALLBACK iconTimerTick(HWND hwnd, UINT message, UINT_PTR id, DWORD time);
    // A message box when interactive; a silent run ends with `code` instead.
    void refuse(const std::string& message, const char* caption, SilentExit code);
    bool isReadyToInstall(const std::string& folder);
    bool hasRoomFor(const std::string& folder, const PayloadContents& contents);
    bool closeRunningProduct(const std::string& folder, const PayloadContents& contents);
    void completeRegistration(const std::string& folder);
    void setIconTimerInterval(UINT milliseconds);
    void showInstallingState();
    void completeInstallation();
    void makeDueShortcuts();
    void restoreUninstallEntry();
    void applyHoverPictures(ControlHandle handle);
    std::string folderText();

    InstallerElements& elements_;
    RunMode mode_;
    InstallLog& log_;
    ProgressRelay relay_;
    std::unique_ptr<InstallWorker> worker_;  // after relay_: destroyed first
    Bytes archive_;
    Bytes digest_;
    // The uninstall entry as it was before this run wrote it; set while this run's entry stands.
    std::optional<ProductRegistration::SavedEntry> savedEntry_;
    bool isComplete_ = false;
    bool hasEnded_ = false;
    InstallFailure failure_ = InstallFailure::None;
    UINT iconTimerInterval_ = 0;
    HWND timerWindow_ = nullptr;
    std::string productName_;
    std::string programsFolder_;
    std::string uninstallList_;
    std::string browseStartFolder_;
};
