// The installer with its worker slowed after each progress report, for the end-to-end cases that must
// see the installing state or end the installer in the middle of it. Not shipped.
#include <windows.h>

#include "InstallWorker.h"
#include "InstallerProcess.h"
#include "InstallerWindow.h"

namespace {
InstallerWindow installer;
constexpr DWORD pausePerEntry = 800;  // ms: over six seconds for the payload's eight entries
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    InstallWorker::hooks.afterReport = [](int percent) {
        if (percent < 100)
            Sleep(pausePerEntry);
    };
    return InstallerProcess::run(installer, instance);
}
