// Sections: registry · special folders · uninstall list · shortcuts
#include "ProductRegistration.h"

#include <windows.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>

#include "InstallFolder.h"
#include "ProductTexts.h"
#include "SafeFile.h"
#include "SystemDll.h"
#include "Text.h"

namespace {

// Not declared by MinGW's dbghelp.h.
using MakeSureDirectoryPathExistsFn = BOOL(WINAPI*)(PCSTR path);

std::string specialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    const auto folderPath =
        BOUND_PROC(SystemDll::Shell32, decltype(&SHGetSpecialFolderPathA), "SHGetSpecialFolderPathA");
    if (!folderPath || !folderPath(nullptr, path, csidl, FALSE) || !path[0])
        return {};
    return InstallFolder::withSeparator(path);
}

}  // namespace

std::vector<ProductRegistration::RegistryValue> ProductRegistration::uninstallValues(const std::string& installFolder)
{
    return {
        {"DisplayIcon", installFolder + product::programFile},
        {"DisplayName", product::name},
        {"DisplayVersion", product::version},
        {"UninstallString", installFolder + product::uninstallerFile},
        {"Publisher", product::publisher},
        {"URLInfoAbout", product::webAddress},
    };
}

std::vector<ProductRegistration::RegistryValue> ProductRegistration::completionValues(const std::string& installFolder,
                                                                                     std::uint64_t installedBytes,
                                                                                     const SYSTEMTIME& date)
{
    auto dword = [](std::uint64_t value) {
        const DWORD word = static_cast<DWORD>(std::min<std::uint64_t>(value, MAXDWORD));
        return std::string(reinterpret_cast<const char*>(&word), sizeof word);
    };
    char day[16];
    wsprintfA(day, "%04u%02u%02u", date.wYear, date.wMonth, date.wDay);
    return {
        {"InstallLocation", installFolder},
        {"EstimatedSize", dword((installedBytes + 1023) / 1024), REG_DWORD},
        {"NoModify", dword(1), REG_DWORD},
        {"NoRepair", dword(1), REG_DWORD},
        {"QuietUninstallString", "\"" + installFolder + product::uninstallerFile + "\" /S"},
        {"InstallDate", day},
    };
}

void ProductRegistration::writeUninstallEntry(const std::string& installFolder)
{
    writeValues(uninstallValues(installFolder));
}

void ProductRegistration::writeValues(const std::vector<RegistryValue>& values)
{
    for (const RegistryValue& value : values) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            continue;
        // Texts with their terminating NUL.
        const DWORD size = static_cast<DWORD>(value.data.size() + (value.type == REG_SZ ? 1 : 0));
        RegSetValueExA(key, value.name, 0, value.type, reinterpret_cast<const BYTE*>(value.data.c_str()), size);
        RegCloseKey(key);
    }
}

ProductRegistration::SavedEntry ProductRegistration::saveUninstallEntry()
{
    SavedEntry saved;
    HKEY key;
    saved.keyExisted = RegOpenKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    std::vector<RegistryValue> written = uninstallValues(std::string());
    for (RegistryValue& value : completionValues(std::string(), 0, SYSTEMTIME{}))
        written.push_back(std::move(value));
    for (const RegistryValue& value : written) {
        SavedEntry::Value earlier;
        earlier.name = value.name;
        DWORD size = 0;
        if (saved.keyExisted && RegQueryValueExA(key, value.name, nullptr, &earlier.type, nullptr, &size) == ERROR_SUCCESS) {
            earlier.data.resize(size);
            earlier.existed = RegQueryValueExA(key, value.name, nullptr, &earlier.type,
                                               reinterpret_cast<BYTE*>(earlier.data.data()), &size) == ERROR_SUCCESS;
            earlier.data.resize(size);
        }
        saved.values.push_back(std::move(earlier));
    }
    if (saved.keyExisted)
        RegCloseKey(key);
    return saved;
}

void ProductRegistration::restoreUninstallEntry(const SavedEntry& saved)
{
    if (!saved.keyExisted) {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::uninstallKey);
        return;
    }
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    for (const SavedEntry::Value& value : saved.values) {
        if (value.existed)
            RegSetValueExA(key, value.name, 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                           static_cast<DWORD>(value.data.size()));
        else
            RegDeleteValueA(key, value.name);
    }
    RegCloseKey(key);
}

bool (*ProductRegistration::runsAsSystem)() = &ProductRegistration::isRunningAsSystem;

std::string ProductRegistration::programsFolder()
{
    return specialFolder(runsAsSystem() ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS);
}

std::string ProductRegistration::desktopFolder()
{
    return specialFolder(runsAsSystem() ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY);
}

bool ProductRegistration::isRunningAsSystem()
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } owner;
    DWORD size = 0;
    const bool system = GetTokenInformation(token, TokenUser, &owner, sizeof owner, &size) &&
                        IsWellKnownSid(owner.user.User.Sid, WinLocalSystemSid);
    CloseHandle(token);
    return system;
}

bool ProductRegistration::makeFolderPath(const std::string& folder)
{
    if (folder.empty())
        return false;
    // It makes the folders up to the last "\" only.
    const std::string path = InstallFolder::withSeparator(folder);
    if (auto makeSure = BOUND_PROC(SystemDll::DbgHelp, MakeSureDirectoryPathExistsFn, "MakeSureDirectoryPathExists"))
        return makeSure(path.c_str()) != FALSE;
    return false;
}

UninstallList ProductRegistration::uninstallList(const std::string& installFolder, const std::string& programsFolder,
                                                 const std::string& desktopFolder)
{
    UninstallList list;
    list.installFolder = installFolder;
    if (!programsFolder.empty())
        list.programGroup = programsFolder + product::name;
    if (!desktopFolder.empty())
        list.desktopShortcut = desktopFolder + product::desktopShortcut;
    list.program = product::programFile;
    return list;
}

bool ProductRegistration::writeUninstallList(const std::string& installFolder, const UninstallList& list)
{
    const std::string path = InstallFolder::withSeparator(installFolder) + product::uninstallListFile;
    const std::string bytes = list.bytes();
    return SafeFile::write(toWide(path), Bytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::vector<ProductRegistration::Shortcut> ProductRegistration::shortcuts(const std::string& programsFolder,
                                                                          const std::string& desktopFolder,
                                                                          const std::string& installFolder,
                                                                          const std::string& productName)
{
    const std::string program = installFolder + product::programFile;
    std::vector<Shortcut> links;
    if (!programsFolder.empty()) {
        const std::string group = programsFolder + productName;
        links.push_back({group + "\\" + productName + product::shortcutSuffix, program});
        links.push_back({group + product::uninstallShortcutPart + productName + product::shortcutSuffix,
                         installFolder + product::uninstallerFile});
        links.push_back({group + product::shortcutSuffix, program});
    }
    if (!desktopFolder.empty())
        links.push_back({desktopFolder + product::desktopShortcut, program});
    return links;
}

namespace {

// The link's bytes as the shell saves a link file.
std::string shellLinkBytes(const std::string& target)
{
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return {};
    std::string bytes;
    IPersistStream* persist = nullptr;
    IStream* stream = nullptr;
    if (SUCCEEDED(link->SetPath(target.c_str())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) && SUCCEEDED(persist->Save(stream, TRUE))) {
        HGLOBAL memory = nullptr;
        LARGE_INTEGER zero = {};
        ULARGE_INTEGER size = {};
        if (SUCCEEDED(stream->Seek(zero, STREAM_SEEK_CUR, &size)) && SUCCEEDED(GetHGlobalFromStream(stream, &memory)))
            if (const auto* data = static_cast<const char*>(GlobalLock(memory))) {
                bytes.assign(data, static_cast<size_t>(size.QuadPart));
                GlobalUnlock(memory);
            }
    }
    if (stream)
        stream->Release();
    if (persist)
        persist->Release();
    link->Release();
    return bytes;
}

}  // namespace

ProductRegistration::LinkResult ProductRegistration::createShortcut(const Shortcut& shortcut)
{
    // Saved through a file of this program's own opening, so that a link planted in the shortcut's
    // place is refused rather than written through.
    const std::string bytes = shellLinkBytes(shortcut.target);
    if (bytes.empty())
        return LinkResult::NotMade;
    if (SafeFile::write(toWide(shortcut.link), Bytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())))
        return LinkResult::Saved;
    const DWORD error = GetLastError();
    return error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND ? LinkResult::NotMade : LinkResult::Refused;
}

bool ProductRegistration::createShortcuts(const std::vector<Shortcut>& shortcuts, const LinkReport& each)
{
    // S_FALSE: already initialised on this thread, still to be balanced.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DWORD refusal = ERROR_SUCCESS;
    for (const Shortcut& shortcut : shortcuts) {
        const LinkResult result = createShortcut(shortcut);
        const DWORD error = GetLastError();
        if (result == LinkResult::Refused && refusal == ERROR_SUCCESS)
            refusal = error;
        if (each)
            each(shortcut, result);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    SetLastError(refusal);
    return refusal == ERROR_SUCCESS;
}
