#pragma once
// The installer process from start to end: its command line, one installer or uninstaller at a time,
// then the engine, the window and its message loop, or a silent run without a window.
#include <windows.h>

#include <string_view>

class InstallerWindow;
class InstallLog;
class InstallOptions;

class InstallerProcess {
public:
    // The process's exit code. A second start brings the running installer (or uninstaller) to the
    // front and ends with 0; a silent one waits for it a while instead.
    static int run(InstallerWindow& installer, HINSTANCE instance);
    // `commandLine` as GetCommandLineW gives it.
    static int run(InstallerWindow& installer, HINSTANCE instance, std::wstring_view commandLine);

    // How long a silent run waits for a running installer or uninstaller to end.
    static constexpr DWORD silentLockWait = 60000;

private:
    static int runSilently(const InstallOptions& options, InstallLog& log);
};
