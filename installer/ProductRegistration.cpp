// Sections: registry · special folders · uninstall list · shortcuts
#include "ProductRegistration.h"

#include <windows.h>

#include <shlobj.h>
#include <shobjidl.h>

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

void ProductRegistration::writeUninstallEntry(const std::string& installFolder)
{
    for (const RegistryValue& value : uninstallValues(installFolder)) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            continue;
        RegSetValueExA(key, value.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data.c_str()),
                       static_cast<DWORD>(value.data.size() + 1));
        RegCloseKey(key);
    }
}

ProductRegistration::SavedEntry ProductRegistration::saveUninstallEntry()
{
    SavedEntry saved;
    HKEY key;
    saved.keyExisted = RegOpenKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    for (const RegistryValue& value : uninstallValues(std::string())) {
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

std::string ProductRegistration::programsFolder()
{
    return specialFolder(CSIDL_PROGRAMS);
}

std::string ProductRegistration::desktopFolder()
{
    return specialFolder(CSIDL_DESKTOPDIRECTORY);
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

bool ProductRegistration::createShortcuts(const std::vector<Shortcut>& shortcuts)
{
    // S_FALSE: already initialised on this thread, still to be balanced.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DWORD refusal = ERROR_SUCCESS;
    for (const Shortcut& shortcut : shortcuts)
        if (createShortcut(shortcut) == LinkResult::Refused && refusal == ERROR_SUCCESS)
            refusal = GetLastError();
    if (SUCCEEDED(com))
        CoUninitialize();
    SetLastError(refusal);
    return refusal == ERROR_SUCCESS;
}
