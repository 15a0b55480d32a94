#include "SystemDll.h"

#include <atomic>
#include <string>

namespace {

const wchar_t* const dllFileNames[] = {L"gdiplus.dll", L"dwmapi.dll", L"imm32.dll", L"dbghelp.dll", L"shell32.dll",
                                            L"comctl32.dll"};
static_assert(std::size(dllFileNames) == static_cast<size_t>(SystemDll::Count));

std::atomic<HMODULE> modules[static_cast<size_t>(SystemDll::Count)];
std::atomic<bool> attempted[static_cast<size_t>(SystemDll::Count)];

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
#ifndef LOAD_LIBRARY_SEARCH_USER_DIRS
#define LOAD_LIBRARY_SEARCH_USER_DIRS 0x00000400
#endif

bool loaderKnowsSearchFlags()
{
    // The flags came with KB2533623 on Windows 7 / Vista, together with AddDllDirectory.
    static const bool known = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr;
    return known;
}

}  // namespace

void restrictDllSearchPath()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    // USER_DIRS adds nothing (no directory is ever added) but keeps COM's shell-link creation
    // working on Windows 7, where SYSTEM32 alone makes CoCreateInstance of CLSID_ShellLink fail.
    if (setDefault)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS);
    // Older systems: at least take the current directory out of the search.
    SetDllDirectoryW(L"");
}

HMODULE loadSystemLibrary(const wchar_t* fileName)
{
    if (loaderKnowsSearchFlags()) {
        if (HMODULE module = LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
            return module;
    }
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    std::wstring path(folder, length);
    path += L'\\';
    path += fileName;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE systemModule(SystemDll dll)
{
    const auto index = static_cast<size_t>(dll);
    if (!attempted[index].load(std::memory_order_acquire)) {
        // A race loads the module twice at worst; LoadLibrary counts references.
        modules[index].store(loadSystemLibrary(dllFileNames[index]), std::memory_order_release);
        attempted[index].store(true, std::memory_order_release);
    }
    return modules[index].load(std::memory_order_acquire);
}

FARPROC systemProc(SystemDll dll, const char* name)
{
    HMODULE module = systemModule(dll);
    return module ? GetProcAddress(module, name) : nullptr;
}
