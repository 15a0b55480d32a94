#include "InstallFolder.h"

#include <shlobj.h>

#include "SystemDll.h"

namespace {

// "飞鲸网游加速器\" after a drive root, "\飞鲸网游加速器\" after any other folder.
constexpr const char* rootSuffix = "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7\\";
constexpr const char* folderSuffix = "\\\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7\\";

int CALLBACK browseCallback(HWND dialog, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED)
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

}  // namespace

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

void InstallFolder::createIfMissing(const std::string& folder)
{
    if (!exists(folder))
        CreateDirectoryA(folder.c_str(), nullptr);
}

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
