// Sections: registry · special folders · uninstall list · shortcuts
#include "ProductRegistration.h"

#include <windows.h>

#include <shlobj.h>
#include <shobjidl.h>

#include "InstallFolder.h"
#include "ProductTexts.h"
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
    // A read-only list of an earlier installation would refuse to be replaced.
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const std::string bytes = list.bytes();
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
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

bool ProductRegistration::createShortcut(const Shortcut& shortcut)
{
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return false;
    bool saved = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->SetPath(shortcut.target.c_str())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        // A read-only shortcut of an earlier installation would refuse to be saved over.
        const std::wstring path = toWide(shortcut.link);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        saved = SUCCEEDED(file->Save(path.c_str(), TRUE));
        file->Release();
    }
    link->Release();
    return saved;
}

void ProductRegistration::createShortcuts(const std::vector<Shortcut>& shortcuts)
{
    // S_FALSE: already initialised on this thread, still to be balanced.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (const Shortcut& shortcut : shortcuts)
        createShortcut(shortcut);
    if (SUCCEEDED(com))
        CoUninitialize();
}
