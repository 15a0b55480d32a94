#pragma once
// Starts the installed program as the user who started the installer, not with the installer's
// administrator token: the desktop shell (Explorer) runs as that user and is asked to start it. Only
// when the shell cannot be asked is the program started plainly, from this process.
#include <string>

class ProgramLauncher {
public:
    // `program` (a full path) with `folder` as its working folder; true when one way started it.
    static bool start(const std::wstring& program, const std::wstring& folder);

    // Through the desktop shell's own ShellExecute (IShellDispatch2 of the desktop's folder view).
    static bool startThroughDesktopShell(const std::wstring& program, const std::wstring& folder);
    // ShellExecute from this process.
    static bool startDirectly(const std::wstring& program, const std::wstring& folder);

    // The two ways as `start` takes them; tests put their own in place.
    using StartFn = bool (*)(const std::wstring& program, const std::wstring& folder);
    static StartFn throughShell;
    static StartFn directly;
};
