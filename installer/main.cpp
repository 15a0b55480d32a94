// The installer's entry point.
#include <windows.h>

#include "InstallerProcess.h"
#include "InstallerWindow.h"

namespace {
InstallerWindow installer;  // constructed before the engine starts, created on screen after
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return InstallerProcess::run(installer, instance);
}
