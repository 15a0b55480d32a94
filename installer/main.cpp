// The installer's entry point.
#include <windows.h>

#include "Engine.h"
#include "InstallerWindow.h"
#include "PopupMenu.h"
#include "SystemDll.h"

namespace {
InstallerWindow installer;  // constructed before the engine starts, created on screen after
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    restrictDllSearchPath();
    startEngine();
    fillEditMenu(editMenu);
    if (!installer.startInstaller(instance))
        return 1;
    const HWND window = installer.window();
    MSG msg;
    // The engine's window class does not post WM_QUIT when its window is destroyed.
    while (IsWindow(window) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
