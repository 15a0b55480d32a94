#include "InstallerProcess.h"

#include "Engine.h"
#include "InstallerWindow.h"
#include "InstanceLock.h"
#include "PopupMenu.h"
#include "ProductTexts.h"
#include "SystemDll.h"

namespace {

// How long a second start looks for the running one's window, which may not be up yet.
constexpr DWORD findRunningWait = 5000;

InstanceLock instanceLock;  // held until the process ends

}  // namespace

int InstallerProcess::run(InstallerWindow& installer, HINSTANCE instance)
{
    restrictDllSearchPath();
    if (!instanceLock.acquire()) {
        InstanceLock::bringToFront({{engineWindowClass, InstallerWindow::title}, {"#32770", product::uninstallerCaption}},
                                   findRunningWait);
        return 0;
    }
    startEngine();
    fillEditMenu(editMenu);
    if (!installer.startInstaller(instance))
        return 1;
    const HWND window = installer.window();
    MSG msg;
    // The engine's window class does not post WM_QUIT when its window is destroyed; its destruction
    // normally ends the process before the loop sees it gone.
    while (IsWindow(window) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (InstallProcedure* procedure = installer.procedure())
        procedure->endInstaller();
    return 0;
}
