// The installed product's uninstaller ("uninst.exe" in the install folder).
#include <windows.h>

#include "Engine.h"
#include "InstanceLock.h"
#include "ProductTexts.h"
#include "SystemDll.h"
#include "Uninstaller.h"

namespace {

// The working copy waits for the first uninstaller, which holds the lock until it has ended.
constexpr DWORD copyLockWait = 30000;
constexpr DWORD findRunningWait = 5000;

InstanceLock instanceLock;  // held until the process ends

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The working copy runs from the temporary folder, where anyone may have left a DLL.
    restrictDllSearchPath();
    const Uninstaller::Options options = Uninstaller::parseCommandLine(GetCommandLineA());
    // Never beside the installer or another uninstaller. A copy reporting to a silent first uninstaller
    // runs under the lock that one holds, and takes it over later.
    if (!options.reportTo && !instanceLock.acquire(options.folder.empty() ? 0 : copyLockWait)) {
        if (!options.silent)
            InstanceLock::bringToFront({{engineWindowClass, product::installerTitle}, {"#32770", product::uninstallerCaption}},
                                       findRunningWait);
        return Uninstaller::Busy;
    }
    return Uninstaller::run(options, instanceLock);
}
