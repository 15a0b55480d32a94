#include "InstallFailure.h"

const char* failureText(InstallFailure failure)
{
    switch (failure) {
    case InstallFailure::None:
        return nullptr;
    case InstallFailure::DamagedPayload:  // 安装失败：安装包已损坏，请重新下载
        return "\xB0\xB2\xD7\xB0\xCA\xA7\xB0\xDC\xA3\xBA\xB0\xB2\xD7\xB0\xB0\xFC\xD2\xD1\xCB\xF0\xBB\xB5\xA3\xAC"
               "\xC7\xEB\xD6\xD8\xD0\xC2\xCF\xC2\xD4\xD8";
    case InstallFailure::DiskFull:  // 安装失败：磁盘空间不足
        return "\xB0\xB2\xD7\xB0\xCA\xA7\xB0\xDC\xA3\xBA\xB4\xC5\xC5\xCC\xBF\xD5\xBC\xE4\xB2\xBB\xD7\xE3";
    case InstallFailure::FileInUse:  // 安装失败：文件被占用
        return "\xB0\xB2\xD7\xB0\xCA\xA7\xB0\xDC\xA3\xBA\xCE\xC4\xBC\xFE\xB1\xBB\xD5\xBC\xD3\xC3";
    case InstallFailure::CannotWriteFolder:  // 安装失败：无法写入安装目录
        return "\xB0\xB2\xD7\xB0\xCA\xA7\xB0\xDC\xA3\xBA\xCE\xDE\xB7\xA8\xD0\xB4\xC8\xEB\xB0\xB2\xD7\xB0\xC4\xBF"
               "\xC2\xBC";
    }
    return nullptr;
}

InstallFailure failureFromError(DWORD error)
{
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return InstallFailure::DiskFull;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return InstallFailure::FileInUse;
    case ERROR_CRC:
    case ERROR_INVALID_DATA:
        return InstallFailure::DamagedPayload;
    default:
        return InstallFailure::CannotWriteFolder;
    }
}

SilentExit silentExitOf(InstallFailure failure)
{
    switch (failure) {
    case InstallFailure::None:
        return SilentExit::Success;
    case InstallFailure::DamagedPayload:
        return SilentExit::DamagedInstaller;
    case InstallFailure::DiskFull:
        return SilentExit::NoDiskSpace;
    case InstallFailure::FileInUse:
        return SilentExit::FilesInUse;
    case InstallFailure::CannotWriteFolder:
        return SilentExit::WriteFailure;
    }
    return SilentExit::WriteFailure;
}
