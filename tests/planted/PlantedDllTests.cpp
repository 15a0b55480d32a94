#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "SystemDll.h"
#include "Text.h"

namespace {

std::wstring moduleFolder(HMODULE module)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\'));
    return folder;
}

std::wstring systemFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    return path;
}

bool sameFolder(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

TEST(DllSearch, PlantedDllsBesideTheProgramAreIgnored)
{
    const std::wstring programFolder = moduleFolder(nullptr);
    // The planted files are real DLLs: loaded by full path they answer with their marker.
    for (const wchar_t* name : {L"\\gdiplus.dll", L"\\dwmapi.dll", L"\\dbghelp.dll"}) {
        const std::wstring planted = programFolder + name;
        ASSERT_NE(GetFileAttributesW(planted.c_str()), INVALID_FILE_ATTRIBUTES) << "missing planted file";
    }
    // imm32 is not planted: user32 loads it before main, and Windows protects it as a KnownDLL.
    for (SystemDll dll : {SystemDll::GdiPlus, SystemDll::Dwm, SystemDll::DbgHelp}) {
        HMODULE module = systemModule(dll);
        ASSERT_NE(module, nullptr) << static_cast<int>(dll);
        EXPECT_EQ(GetProcAddress(module, "FakeDllMarker"), nullptr) << static_cast<int>(dll);
        EXPECT_TRUE(sameFolder(moduleFolder(module), systemFolder()))
            << static_cast<int>(dll) << " " << toAnsi(moduleFolder(module));
    }
    EXPECT_NE(systemProc(SystemDll::GdiPlus, "GdipCreateSolidFill"), nullptr);
    EXPECT_NE(systemProc(SystemDll::DbgHelp, "MakeSureDirectoryPathExists"), nullptr);
    EXPECT_EQ(systemProc(SystemDll::Dwm, "NoSuchExport"), nullptr);
}

// In processes of their own, where nothing has loaded the DLL yet: "fjplanted.dll" lies only beside the
// program. Asked for by bare name it loads without the restriction (the control) and not with it.
TEST(DllSearch, DefaultSearchPathSkipsTheProgramFolder)
{
    const std::wstring planted = moduleFolder(nullptr) + L"\\fjplanted.dll";
    ASSERT_NE(GetFileAttributesW(planted.c_str()), INVALID_FILE_ATTRIBUTES) << "missing planted file";
    for (const wchar_t* mode : {L"plain", L"restricted"}) {
        wchar_t exe[MAX_PATH];
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring command = L"\"" + std::wstring(exe) + L"\" --load-planted=" + mode;
        STARTUPINFOW startup = {sizeof startup};
        PROCESS_INFORMATION child = {};
        ASSERT_TRUE(CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
        WaitForSingleObject(child.hProcess, 30000);
        DWORD loaded = 2;
        GetExitCodeProcess(child.hProcess, &loaded);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
        EXPECT_EQ(loaded, std::wstring(mode) == L"plain" ? 1u : 0u) << toAnsi(mode);
    }
}

TEST(DllSearch, FullPathLoadsThePlantedFileAsAControl)
{
    const std::wstring planted = moduleFolder(nullptr) + L"\\dwmapi.dll";
    HMODULE module = LoadLibraryExW(planted.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module)
        GTEST_SKIP() << "this loader refuses a second module of a system DLL's name";
    const bool planted_loaded = GetProcAddress(module, "FakeDllMarker") != nullptr;
    FreeLibrary(module);
    if (!planted_loaded)
        GTEST_SKIP() << "this loader maps the name to its built-in DLL whatever the path";
    SUCCEED();
}

int main(int argc, char** argv)
{
    // A child of DefaultSearchPathSkipsTheProgramFolder: 1 when the planted DLL was loaded by bare name.
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode.rfind("--load-planted=", 0) == 0) {
        if (mode == "--load-planted=restricted")
            restrictDllSearchPath();
        HMODULE module = LoadLibraryW(L"fjplanted.dll");
        return module && GetProcAddress(module, "FakeDllMarker") ? 1 : 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
