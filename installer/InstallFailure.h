#pragma once
// Why an installation failed, and how the status line says it. The reasons are few and fixed so that
// callers can map them to outcomes of their own.
#include <windows.h>

enum class InstallFailure {
    None,
    DamagedPayload,     // the stored archive does not match its recorded digest, or does not unpack
    DiskFull,
    FileInUse,          // a file to replace is held open by another program
    CannotWriteFolder,  // access denied, a missing parent folder, a planted link, anything else
};

// "安装失败：…" in GBK; null for None.
const char* failureText(InstallFailure failure);

// The reason a Win32 error of a write gives.
InstallFailure failureFromError(DWORD error);

// Exit codes of a silent run; an interactive run always ends with Success.
enum class SilentExit : UINT {
    Success = 0,
    BadArgument = 1,    // an unknown option, an unusable folder or log file
    DamagedInstaller = 2,
    NoDiskSpace = 3,
    FilesInUse = 4,     // the product's programs could not be closed, or a file stayed in use
    WriteFailure = 5,   // any other failure, another installer or uninstaller still running too
    Interrupted = 6,    // the session ending, a close message
};

SilentExit silentExitOf(InstallFailure failure);
