// The installed product's uninstaller ("uninst.exe" in the install folder).
#include <windows.h>

#include "SystemDll.h"
#include "Uninstaller.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The working copy runs from the temporary folder, where anyone may have left a DLL.
    restrictDllSearchPath();
    return Uninstaller::run(Uninstaller::parseCommandLine(GetCommandLineA()));
}
