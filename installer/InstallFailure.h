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
