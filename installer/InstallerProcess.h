#pragma once
// The installer process from start to end: one installer or uninstaller at a time, the engine, the
// window and its message loop.
#include <windows.h>

class InstallerWindow;

class InstallerProcess {
public:
    // The process's exit code. A second start brings the running installer (or uninstaller) to the
    // front and ends with 0.
    static int run(InstallerWindow& installer, HINSTANCE instance);
};
