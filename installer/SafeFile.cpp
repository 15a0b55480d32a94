#include "SafeFile.h"

#include <algorithm>

SafeFile::FileInformationFn SafeFile::fileInformation = &GetFileInformationByHandle;

namespace {

HANDLE openItself(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags = 0)
{
    return CreateFileW(path.c_str(), access, share, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | flags, nullptr);
}

HANDLE refuse(HANDLE file)
{
    CloseHandle(file);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

// A read-only file of an earlier installation refuses to be opened for writing, on Windows: clear the
// attribute through a handle of the file itself.
bool makeWritable(const std::wstring& path)
{
    HANDLE file = openItself(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool done = SafeFile::isPlainFile(file) && SafeFile::clearReadOnly(file);
    CloseHandle(file);
    return done;
}

}  // namespace

bool SafeFile::clearReadOnly(HANDLE file)
{
    FILE_BASIC_INFO basic = {};
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
        return false;
    if (!(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return true;
    basic.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
    if (!basic.FileAttributes)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = 0;  // 0: unchanged
    basic.LastWriteTime.QuadPart = basic.ChangeTime.QuadPart = 0;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

bool SafeFile::isPlainFile(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info;
    return fileInformation(file, &info) &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
           info.nNumberOfLinks == 1;
}

HANDLE SafeFile::openForReplacing(const std::wstring& path)
{
    HANDLE file = openItself(path, GENERIC_WRITE, 0, OPEN_ALWAYS);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        // A read-only file, or a folder or junction in the file's place (decided on its own handle).
        if (!makeWritable(path)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        file = openItself(path, GENERIC_WRITE, 0, OPEN_ALWAYS);
    }
    if (file == INVALID_HANDLE_VALUE)
        return file;
    // What is written anew is left writable, as a file of this installation.
    if (!isPlainFile(file) || !SetEndOfFile(file) || !clearReadOnly(file))
        return refuse(file);
    return file;
}

bool SafeFile::writeAll(HANDLE file, Bytes bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr))
            return false;
        if (written != chunk) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += chunk;
    }
    return true;
}

bool SafeFile::write(const std::wstring& path, Bytes bytes)
{
    HANDLE file = openForReplacing(path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool written = writeAll(file, bytes);
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(written ? ERROR_SUCCESS : error);
    return written;
}
