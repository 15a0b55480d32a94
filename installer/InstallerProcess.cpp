#include "InstallerProcess.h"

#include "Engine.h"
#include "InstallLog.h"
#include "InstallOptions.h"
#include "InstallerWindow.h"
#include "InstanceLock.h"
#include "PopupMenu.h"
#include "ProductTexts.h"
#include "SilentElements.h"
#include "SystemDll.h"
#include "Text.h"

namespace {

// How long a second start looks for the running one's window, which may not be up yet.
constexpr DWORD findRunningWait = 5000;

InstanceLock instanceLock;  // held until the process ends
InstallLog installLog;      // written until the process ends

// Runs until the process is ended from within, or `window` is gone.
void runMessageLoop(HWND window)
{
    MSG msg;
    while (IsWindow(window) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

int InstallerProcess::run(InstallerWindow& installer, HINSTANCE instance)
{
    return run(installer, instance, GetCommandLineW());
}

int InstallerProcess::run(InstallerWindow& installer, HINSTANCE instance, std::wstring_view commandLine)
{
    restrictDllSearchPath();
    const InstallOptions options = InstallOptions::parse(commandLine);
    if (options.showsHelp) {
        MessageBoxA(nullptr, InstallOptions::helpText(), product::installerTitle, MB_OK | MB_TASKMODAL);
        return 0;
    }
    if (!options.logFile.empty() && !installLog.open(options.logFile) && options.isSilent)
        return static_cast<int>(SilentExit::BadArgument);
    installLog.write("command line", toAnsi(commandLine));
    if (options.isSilent)
        return runSilently(options, installLog);
    if (!instanceLock.acquire()) {
        installLog.write("start", "another installer or uninstaller is running");
        InstanceLock::bringToFront({{engineWindowClass, InstallerWindow::title}, {"#32770", product::uninstallerCaption}},
                                   findRunningWait);
        return 0;
    }
    startEngine();
    fillEditMenu(editMenu);
    installer.setLog(&installLog);
    if (!installer.startInstaller(instance))
        return 1;
    if (options.folder && !options.hasUnrepresentableFolder)
        installer.procedure()->presetFolder(*options.folder);
    // The engine's window class does not post WM_QUIT when its window is destroyed; its destruction
    // normally ends the process before the loop sees it gone.
    runMessageLoop(installer.window());
    if (InstallProcedure* procedure = installer.procedure())
        procedure->endInstaller();
    return 0;
}

int InstallerProcess::runSilently(const InstallOptions& options, InstallLog& log)
{
    if (options.hasBadArgument()) {
        log.write("command line", "bad argument");
        return static_cast<int>(SilentExit::BadArgument);
    }
    // An uninstaller that just reported its outcome may still be removing its own file.
    if (!instanceLock.acquire(silentLockWait)) {
        log.write("start", "another installer or uninstaller kept running");
        return static_cast<int>(SilentExit::WriteFailure);
    }
    SilentElements elements;
    // Progress is handed over through windows of this thread (there is no display under Wine without X).
    if (!elements.window()) {
        log.write("start", "no window can be made for the installation's messages", GetLastError());
        return static_cast<int>(SilentExit::WriteFailure);
    }
    InstallProcedure procedure(elements, RunMode::Silent, &log);
    elements.onInterrupted = [&procedure] { procedure.interrupt(); };
    procedure.setDefaultFolder();
    if (options.folder)
        procedure.presetFolder(*options.folder);
    procedure.installSilently();
    runMessageLoop(elements.window());
    return static_cast<int>(SilentExit::Interrupted);
}
