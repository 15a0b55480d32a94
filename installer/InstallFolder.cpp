// Sections: path helpers · preset and browser · checks · making it ready · names inside it
#include "InstallFolder.h"

#include <shlobj.h>

#include "FolderSecurity.h"
#include "PayloadUnpacker.h"
#include "SafeFile.h"
#include "SystemDll.h"
#include "Text.h"

namespace {

// "飞鲸网游加速器\" after a drive root, "\飞鲸网游加速器\" after any other folder.
constexpr const char* rootSuffix = "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7\\";
constexpr const char* folderSuffix = "\\\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7\\";

// "Uninstall.dat", the longest name the installer writes into the folder, with room to spare.
constexpr size_t maxFileNameLength = 16;

std::wstring withoutFinalSeparators(std::wstring_view path)
{
    while (path.size() > 3 && path.back() == L'\\')
        path.remove_suffix(1);
    return std::wstring(path);
}

bool samePath(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                        static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool isSameOrInside(std::wstring_view path, std::wstring_view base)
{
    return path.size() >= base.size() && samePath(path.substr(0, base.size()), base) &&
           (path.size() == base.size() || path[base.size()] == L'\\');
}

std::wstring parentOf(std::wstring_view path)
{
    const size_t separator = path.rfind(L'\\');
    return separator == std::wstring_view::npos ? std::wstring() : withoutFinalSeparators(path.substr(0, separator + 1));
}

bool isDirectlyAtRoot(std::wstring_view path)
{
    return path.size() > 3 && path.find(L'\\', 3) == std::wstring_view::npos;
}

// The path with its existing part in long names ("PROGRA~1" -> "Program Files").
std::wstring longForm(std::wstring path)
{
    std::wstring rest;
    while (path.size() > 3) {
        const DWORD length = GetLongPathNameW(path.c_str(), nullptr, 0);
        if (length) {
            std::wstring full(length, L'\0');
            full.resize(GetLongPathNameW(path.c_str(), full.data(), length));
            if (!full.empty())
                return full + rest;
        }
        const size_t separator = path.rfind(L'\\');
        rest = path.substr(separator) + rest;
        path.resize(separator);
    }
    return path + rest;
}

std::wstring knownFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    const auto folderPath = BOUND_PROC(SystemDll::Shell32, decltype(&SHGetFolderPathW), "SHGetFolderPathW");
    return folderPath && SUCCEEDED(folderPath(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}

std::wstring environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

// The folder that holds the user profiles ("C:\Users").
std::wstring profilesFolder()
{
    wchar_t value[MAX_PATH] = {}, expanded[MAX_PATH] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
                     L"ProfilesDirectory", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value,
                     &size) == ERROR_SUCCESS &&
        ExpandEnvironmentStringsW(value, expanded, MAX_PATH) && expanded[0])
        return longForm(withoutFinalSeparators(expanded));
    const std::wstring profile = knownFolder(CSIDL_PROFILE);
    return profile.empty() ? profile : parentOf(longForm(withoutFinalSeparators(profile)));
}

int CALLBACK browseCallback(HWND dialog, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED)
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

}  // namespace

// ---- preset and browser ----

std::string InstallFolder::defaultFolder()
{
    return exists("C:\\Windows") ? presetFolder : std::string();
}

std::string InstallFolder::fromBrowseResult(std::string_view chosenPath)
{
    if (chosenPath.empty())
        return {};
    // The part after the last ":" is "\" exactly for a drive root such as "D:\".
    const size_t colon = chosenPath.rfind(':');
    const std::string_view afterColon = colon == std::string_view::npos ? std::string_view() : chosenPath.substr(colon + 1);
    std::string folder(chosenPath);
    folder += afterColon == "\\" ? rootSuffix : folderSuffix;
    return folder;
}

std::string InstallFolder::browse(HWND owner, const std::string& startFolder)
{
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.lpszTitle = browseTitle;
    info.ulFlags = BIF_NEWDIALOGSTYLE;
    info.lpfn = browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(startFolder.c_str());
    // The new dialog style hosts shell views and needs an apartment on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    std::string chosen;
    const auto browse = BOUND_PROC(SystemDll::Shell32, decltype(&SHBrowseForFolderA), "SHBrowseForFolderA");
    const auto pathOf = BOUND_PROC(SystemDll::Shell32, decltype(&SHGetPathFromIDListA), "SHGetPathFromIDListA");
    if (PIDLIST_ABSOLUTE list = browse && pathOf ? browse(&info) : nullptr) {
        char path[512] = {};
        if (pathOf(list, path))
            chosen = path;
        CoTaskMemFree(list);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return chosen;
}

// ---- checks ----

bool InstallFolder::isWellFormed(std::wstring_view folder)
{
    const bool drive = folder.size() > 3 && ((folder[0] >= L'A' && folder[0] <= L'Z') ||
                                             (folder[0] >= L'a' && folder[0] <= L'z')) &&
                       folder[1] == L':' && folder[2] == L'\\';
    // Room for the longest name written inside it; the installer's paths are MAX_PATH buffers.
    if (!drive || folder.size() + maxFileNameLength >= MAX_PATH || folder.find(L'/') != std::wstring_view::npos)
        return false;
    const std::wstring_view names = folder.substr(3);
    // Each name as an archive entry name would be: no separator first, no empty name, no forbidden
    // character, no "..", no device.
    if (!PayloadUnpacker::isSafeEntryName(names))
        return false;
    // Windows drops a final dot or space, so the text would not name the folder it makes.
    for (size_t end = names.find(L'\\'), start = 0;; start = end + 1, end = names.find(L'\\', start)) {
        const std::wstring_view name = names.substr(start, end == std::wstring_view::npos ? end : end - start);
        if (!name.empty() && (name.back() == L'.' || name.back() == L' '))
            return false;
        if (end == std::wstring_view::npos || end + 1 == names.size())
            return true;
    }
}

bool InstallFolder::isSystemPlace(std::wstring_view folder)
{
    const std::wstring path = longForm(withoutFinalSeparators(folder));
    for (UINT (WINAPI *windowsFolder)(LPWSTR, UINT) : {&GetWindowsDirectoryW, &GetSystemWindowsDirectoryW}) {
        wchar_t windows[MAX_PATH];
        const UINT length = windowsFolder(windows, MAX_PATH);
        if (length && length < MAX_PATH && isSameOrInside(path, longForm(windows)))
            return true;
    }
    const std::wstring profiles = profilesFolder();
    if (!profiles.empty() && samePath(parentOf(path), profiles))
        return true;  // a user profile's root
    for (const std::wstring& place : {knownFolder(CSIDL_PROGRAM_FILES), knownFolder(CSIDL_PROGRAM_FILESX86),
                                      environment(L"ProgramW6432"), environment(L"ProgramFiles(x86)"),
                                      knownFolder(CSIDL_COMMON_APPDATA), knownFolder(CSIDL_PROFILE), profiles})
        if (!place.empty() && samePath(path, longForm(withoutFinalSeparators(place))))
            return true;
    return false;
}

bool InstallFolder::isAcceptable(const std::string& text)
{
    const std::wstring folder = toWide(text);
    // Bytes that are no GBK text would name another folder than the one shown.
    if (text.empty() || toAnsi(folder) != text || !isWellFormed(folder) || isSystemPlace(folder))
        return false;
    const UINT drive = GetDriveTypeW(folder.substr(0, 3).c_str());
    if (drive != DRIVE_FIXED && drive != DRIVE_REMOVABLE && drive != DRIVE_RAMDISK)
        return false;
    const std::wstring path = withoutFinalSeparators(folder);
    const HANDLE existing = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    // Missing (or out of reach): making it ready decides.
    if (existing == INVALID_HANDLE_VALUE)
        return true;
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool known = SafeFile::fileInformation(existing, &info);
    CloseHandle(existing);
    const DWORD attributes = info.dwFileAttributes;
    // A file of that name, a link or junction to elsewhere, or a system folder at a drive's root (the
    // recycle bin, restore points), which must not be given the install folder's permissions.
    return known && (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           !(isDirectlyAtRoot(path) && (attributes & FILE_ATTRIBUTE_SYSTEM));
}

// ---- making it ready ----

InstallFailure InstallFolder::prepare(const std::string& folder)
{
    const std::wstring path = withoutFinalSeparators(toWide(folder));
    if (FolderSecurity::createProtectedFolder(path))
        return InstallFailure::None;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS)
        return failureFromError(error);
    const bool atRoot = isDirectlyAtRoot(path);
    const HANDLE handle = FolderSecurity::openFolder(path, READ_CONTROL | (atRoot ? WRITE_DAC | WRITE_OWNER : 0));
    if (handle == INVALID_HANDLE_VALUE)
        return InstallFailure::CannotWriteFolder;
    // A folder made beforehand at a drive's root is where a planted file would wait for this installer.
    const bool secured = !atRoot || !FolderSecurity::isWritableByOthers(handle) || FolderSecurity::protect(handle);
    CloseHandle(handle);
    return secured ? InstallFailure::None : InstallFailure::CannotWriteFolder;
}

InstallFolder::FreeSpaceFn InstallFolder::diskFreeSpace = &GetDiskFreeSpaceExW;

std::optional<std::uint64_t> InstallFolder::freeSpace(const std::string& folder)
{
    // Asked of the folder itself where it exists: one mounted inside the path may be another volume.
    for (std::wstring path = withoutFinalSeparators(toWide(folder)); !path.empty();) {
        ULARGE_INTEGER available;
        if (diskFreeSpace((path.back() == L'\\' ? path : path + L'\\').c_str(), &available, nullptr, nullptr))
            return available.QuadPart;
        const std::wstring parent = parentOf(path);
        if (parent == path)
            break;
        path = parent;
    }
    return std::nullopt;
}

// ---- names inside it ----

std::string InstallFolder::withSeparator(std::string_view folder)
{
    std::string text(folder);
    if (!text.empty() && !endsWithSeparator(text))
        text += '\\';
    return text;
}

bool InstallFolder::endsWithSeparator(std::string_view text)
{
    // 0x5C is also a valid GBK trail byte, so walk the characters from the start.
    bool lastIsSeparator = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        lastIsSeparator = byte == '\\';
        if (IsDBCSLeadByte(byte) && i + 1 < text.size())
            ++i;
    }
    return lastIsSeparator;
}

bool InstallFolder::exists(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}
