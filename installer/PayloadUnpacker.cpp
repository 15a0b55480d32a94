// Sections: names · folders · one entry · reading the archive · the archive
#include "PayloadUnpacker.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include <unzip.h>

#include "ProgressStages.h"
#include "SafeFile.h"
#include "Text.h"

namespace {

constexpr unsigned long utf8NameFlag = 1u << 11;
constexpr unsigned long encryptedFlag = 1u << 0;
// Inflated bytes per WriteFile.
constexpr size_t writeChunk = 1 << 18;

bool isSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() &&
           CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension, open devices instead of files.
bool isDeviceName(std::wstring_view component)
{
    std::wstring_view base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.remove_suffix(1);
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL"})
        if (equalsIgnoringCase(base, device))
            return true;
    if (base.size() == 4 && base[3] >= L'1' && base[3] <= L'9')
        return equalsIgnoringCase(base.substr(0, 3), L"COM") || equalsIgnoringCase(base.substr(0, 3), L"LPT");
    return false;
}

// "..", and "...", ". ." and the like, which Win32 path parsing may trim down to "..". A lone "." is harmless.
bool isParentReference(std::wstring_view component)
{
    return component != L"." && component.find_first_not_of(L". ") == std::wstring_view::npos;
}

std::wstring fullPath(const std::wstring& path)
{
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return {};
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    full.resize(written < length ? written : 0);
    return full;
}

bool isInside(const std::wstring& root, const std::wstring& path)
{
    const std::wstring full = fullPath(path);
    return full.size() > root.size() && equalsIgnoringCase(std::wstring_view(full).substr(0, root.size()), root);
}

// A folder itself, not a junction to another.
bool isFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Makes every folder of `path` below `root` up to its last "\"; `path` starts with `root`.
bool makeFolders(const std::wstring& root, const std::wstring& path)
{
    for (size_t at = path.find(L'\\', root.size()); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
        const std::wstring folder = path.substr(0, at);
        if (!CreateDirectoryW(folder.c_str(), nullptr) && !isFolder(folder))
            return false;
    }
    return true;
}

void setWriteTime(HANDLE file, unsigned long dosDate)
{
    FILETIME local, utc;
    if (DosDateTimeToFileTime(HIWORD(dosDate), LOWORD(dosDate), &local) && LocalFileTimeToFileTime(&local, &utc))
        SetFileTime(file, nullptr, nullptr, &utc);
}

// The Win32 error of the step that stopped the unpacking on this thread; ERROR_CRC for a damaged archive.
// A Windows thread-local slot: the compiler's thread_local would link a thread library into the installer.
const DWORD failureSlot = TlsAlloc();

void setFailure(DWORD error)
{
    TlsSetValue(failureSlot, reinterpret_cast<void*>(static_cast<std::uintptr_t>(error)));
}

bool fail(DWORD error)
{
    setFailure(error);
    return false;
}

// Inflates the current entry into `file` through `buffer`; true when all of it arrived and its CRC matched.
bool inflateInto(unzFile zip, const unz_file_info64& info, HANDLE file, std::vector<char>& buffer)
{
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        return fail(ERROR_CRC);
    ZPOS64_T total = 0;
    bool written = true;
    int read;
    while ((read = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
        if (!SafeFile::writeAll(file, Bytes(reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<size_t>(read)))) {
            written = fail(GetLastError());
            break;
        }
        total += static_cast<ZPOS64_T>(read);
    }
    // minizip checks the CRC only when the declared length was read, hence the length test.
    const bool complete = written && read == 0 && total == info.uncompressed_size;
    const bool closed = unzCloseCurrentFile(zip) == UNZ_OK;
    if (written && !(closed && complete))
        return fail(ERROR_CRC);
    return written;
}

bool setDeletePending(HANDLE file, bool pending)
{
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = pending;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// Inflates into the open, new file `path` and closes it; a damaged entry leaves nothing there. The
// file is delete-pending until it has checked out, so a process ended meanwhile (the close button
// may end it at any time) leaves no truncated file either.
bool fillNewFile(unzFile zip, const unz_file_info64& info, HANDLE file, const wchar_t* path, std::vector<char>& buffer)
{
    const bool pending = setDeletePending(file, true);
    bool intact = inflateInto(zip, info, file, buffer);
    if (intact)
        setWriteTime(file, info.dosDate);
    if (intact && pending)
        intact = setDeletePending(file, false) || fail(GetLastError());
    CloseHandle(file);
    if (!intact)
        DeleteFileW(path);
    return intact;
}

// A new file only: CREATE_NEW never opens what exists, and with the reparse flag not even a dangling
// link in the file's place, which would otherwise create the link's target.
HANDLE createNew(const wchar_t* path)
{
    return CreateFileW(path, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool writeEntry(unzFile zip, const unz_file_info64& info, const std::wstring& target, std::vector<char>& buffer)
{
    if (info.flag & encryptedFlag)
        return fail(ERROR_CRC);
    // No file to protect: inflate straight into the target, which saves a temporary file and a rename
    // per entry.
    HANDLE file = createNew(target.c_str());
    if (file != INVALID_HANDLE_VALUE)
        return fillNewFile(zip, info, file, target.c_str(), buffer);
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
        return fail(GetLastError());
    // What lies there must be a plain file of its own, decided on its handle: a link, junction or further
    // hard link planted in its place fails the unpacking.
    const HANDLE existing = CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (existing == INVALID_HANDLE_VALUE)
        return fail(GetLastError());
    const bool plain = SafeFile::isPlainFile(existing);
    CloseHandle(existing);
    if (!plain)
        return fail(ERROR_ACCESS_DENIED);
    // It is replaced only by a complete, checked copy, renamed over it.
    const std::wstring folder = target.substr(0, target.rfind(L'\\'));
    wchar_t partial[MAX_PATH];
    if (!GetTempFileNameW(folder.c_str(), L"fj", 0, partial))
        return fail(GetLastError());
    file = SafeFile::openForReplacing(partial);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        DeleteFileW(partial);
        return fail(error);
    }
    if (!fillNewFile(zip, info, file, partial, buffer))
        return false;
    // A read-only file would refuse to be replaced.
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (MoveFileExW(partial, target.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    DWORD error = GetLastError();
    DeleteFileW(partial);
    // Windows refuses to replace a file that is open (a running program too) as access denied: a file
    // that cannot even be opened for writing beside the others' handles is in use.
    if (error == ERROR_ACCESS_DENIED) {
        HANDLE probe = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION)
            error = ERROR_SHARING_VIOLATION;
        else if (probe != INVALID_HANDLE_VALUE)
            CloseHandle(probe);
    }
    return fail(error);
}

// One entry into `root` (a full path ending in "\"); false stops the unpacking.
bool unpackCurrent(unzFile zip, const std::wstring& root, std::vector<char>& buffer,
                   const PayloadUnpacker::FileWritten& written)
{
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return fail(ERROR_CRC);
    std::string storedName(info.size_filename + 1, '\0');
    if (unzGetCurrentFileInfo64(zip, &info, storedName.data(), static_cast<uLong>(storedName.size()), nullptr, 0,
                                nullptr, 0) != UNZ_OK)
        return fail(ERROR_CRC);
    storedName.resize(info.size_filename);
    // Without the UTF-8 flag a name is in the packer's code page: the ANSI one of the target systems.
    std::wstring name = toWide(storedName, (info.flag & utf8NameFlag) ? CP_UTF8 : CP_ACP);
    if (!PayloadUnpacker::isSafeEntryName(name))
        return true;
    std::replace(name.begin(), name.end(), L'/', L'\\');
    const std::wstring target = root + name;
    if (!isInside(root, target))
        return true;
    if (!makeFolders(root, target))
        return fail(ERROR_ACCESS_DENIED);
    if (target.back() == L'\\')
        return true;
    if (!writeEntry(zip, info, target, buffer))
        return false;
    if (written)
        written(name, info.uncompressed_size);
    return true;
}

// ---- reading the archive ----

// minizip's file functions over an open Win32 handle, which stays its owner's: the archive is read
// through the handle that wrote it, never reopened by name. Reads only.
struct ArchiveStream {
    HANDLE file;
    bool failed = false;
};

voidpf ZCALLBACK openArchive(voidpf, const void* handle, int mode)
{
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
        return nullptr;
    return new ArchiveStream{*static_cast<const HANDLE*>(handle)};
}

uLong ZCALLBACK readArchive(voidpf, voidpf stream, void* buffer, uLong size)
{
    auto* archive = static_cast<ArchiveStream*>(stream);
    DWORD read = 0;
    if (!ReadFile(archive->file, buffer, size, &read, nullptr))
        archive->failed = true;
    return read;
}

uLong ZCALLBACK refuseWrite(voidpf, voidpf, const void*, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK tellArchive(voidpf, voidpf stream)
{
    LARGE_INTEGER zero = {}, at = {};
    if (!SetFilePointerEx(static_cast<ArchiveStream*>(stream)->file, zero, &at, FILE_CURRENT))
        return static_cast<ZPOS64_T>(-1);
    return static_cast<ZPOS64_T>(at.QuadPart);
}

long ZCALLBACK seekArchive(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    const DWORD method = origin == ZLIB_FILEFUNC_SEEK_CUR   ? FILE_CURRENT
                         : origin == ZLIB_FILEFUNC_SEEK_END ? FILE_END
                                                            : FILE_BEGIN;
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(static_cast<ArchiveStream*>(stream)->file, distance, nullptr, method) ? 0 : -1;
}

int ZCALLBACK closeArchive(voidpf, voidpf stream)
{
    delete static_cast<ArchiveStream*>(stream);
    return 0;
}

int ZCALLBACK archiveError(voidpf, voidpf stream)
{
    return static_cast<ArchiveStream*>(stream)->failed ? -1 : 0;
}

}  // namespace

bool PayloadUnpacker::isSafeEntryName(std::wstring_view name)
{
    if (name.empty() || isSeparator(name.front()))
        return false;
    // ":" covers drive prefixes and alternate data streams; the rest cannot be in a Windows name.
    for (wchar_t c : name)
        if (c < 0x20 || std::wstring_view(L"<>:\"|?*").find(c) != std::wstring_view::npos)
            return false;
    for (size_t start = 0;;) {
        size_t end = start;
        while (end < name.size() && !isSeparator(name[end]))
            ++end;
        const std::wstring_view component = name.substr(start, end - start);
        // Empty only after a final separator (a folder entry) or between two separators.
        if (component.empty())
            return end == name.size();
        if (isParentReference(component) || isDeviceName(component))
            return false;
        if (end == name.size())
            return true;
        start = end + 1;
    }
}

PayloadUnpacker::Result PayloadUnpacker::unpack(const std::string& archivePath, const std::string& folder,
                                                const Progress& progress, const FileWritten& written)
{
    // Every sharing mode: the archive may be held open by its writer, to be deleted when closed.
    const HANDLE archive = CreateFileW(toWide(archivePath).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (archive == INVALID_HANDLE_VALUE) {
        setFailure(GetLastError());
        return Result::NoArchive;
    }
    const Result result = unpack(archive, folder, progress, written);
    CloseHandle(archive);
    return result;
}

DWORD PayloadUnpacker::lastError()
{
    // A thread that never set it reads zero, ERROR_SUCCESS.
    return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(TlsGetValue(failureSlot)));
}

PayloadUnpacker::Result PayloadUnpacker::unpack(HANDLE archive, const std::string& folder, const Progress& progress,
                                                const FileWritten& written)
{
    zlib_filefunc64_def io = {openArchive, readArchive, refuseWrite, tellArchive, seekArchive,
                              closeArchive, archiveError, nullptr};
    setFailure(ERROR_SUCCESS);
    unzFile zip = unzOpen2_64(&archive, &io);
    if (!zip) {
        setFailure(ERROR_CRC);
        return Result::NoArchive;
    }
    unz_global_info64 global{};
    std::wstring root = fullPath(toWide(folder));
    if (unzGetGlobalInfo64(zip, &global) != UNZ_OK || root.empty() || global.number_entry > 0x7FFFFFFF) {
        setFailure(root.empty() ? ERROR_PATH_NOT_FOUND : ERROR_CRC);
        unzClose(zip);
        return Result::Failed;
    }
    if (root.back() != L'\\')
        root += L'\\';
    const int count = static_cast<int>(global.number_entry);
    std::vector<char> buffer(writeChunk);
    int status = count == 0 ? UNZ_END_OF_LIST_OF_FILE : unzGoToFirstFile(zip);
    for (int index = 0; status == UNZ_OK; ++index, status = unzGoToNextFile(zip)) {
        if (!unpackCurrent(zip, root, buffer, written)) {
            unzClose(zip);
            return Result::Failed;
        }
        if (progress)
            progress(ProgressStages::percentAfterEntry(index, count));
    }
    unzClose(zip);
    if (status != UNZ_END_OF_LIST_OF_FILE) {
        setFailure(ERROR_CRC);
        return Result::Failed;
    }
    if (progress)
        progress(100);
    return Result::Complete;
}
