#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "InstallerTestSupport.h"
#include "Text.h"

using namespace testing_support;

namespace {

std::string resourceText(HMODULE module, LPCSTR name, LPCSTR type)
{
    HRSRC resource = FindResourceA(module, name, type);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    return loaded ? std::string(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, resource)) : "";
}

std::string versionString(HMODULE module, const wchar_t* name)
{
    using VerQueryValueFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
    auto query = reinterpret_cast<VerQueryValueFn>(GetProcAddress(LoadLibraryA("version.dll"), "VerQueryValueW"));
    // VerQueryValue wants a writable copy of the block.
    std::string block = resourceText(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
    if (!query || block.empty() || !query(block.data(), path.c_str(), &value, &length) || !length)
        return {};
    return toAnsi(static_cast<const wchar_t*>(value));
}

}  // namespace

TEST(Executables, InstallerAndUninstallerAreManifestedVersionedAndCarryIcon129)
{
    const std::string tests = thisProgram().substr(0, thisProgram().rfind('\\') + 1);
    for (const char* name : {"FeijingSetup.exe", "uninst.exe"}) {
        const std::string exe = tests + "..\\installer\\" + name;
        HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module) << exe << " is built with the tests";
        const std::string manifest = resourceText(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
        for (const char* part : {"level=\"requireAdministrator\"", "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                                 ">true/pm</dpiAware>", ">PerMonitorV2, PerMonitor</dpiAwareness>",
                                 "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"})
            EXPECT_NE(manifest.find(part), std::string::npos) << name << ": " << part;
        EXPECT_TRUE(FindResourceA(module, MAKEINTRESOURCEA(129), MAKEINTRESOURCEA(14))) << name;  // RT_GROUP_ICON
        EXPECT_EQ(versionString(module, L"ProductName"), "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7") << name;
        EXPECT_EQ(versionString(module, L"CompanyName"),
                  "\xB1\xB1\xC1\xEB\xCA\xFD\xC2\xEB\xBF\xC6\xBC\xBC\xD3\xD0\xCF\xDE\xB9\xAB\xCB\xBE") << name;
        FreeLibrary(module);
    }
}

TEST(Executables, EveryManifestNamesTheBuildsProcessor)
{
    const std::string tests = thisProgram().substr(0, thisProgram().rfind('\\') + 1);
    const std::string expected = sizeof(void*) == 8 ? "amd64" : "x86";
    for (const char* name : {"FeijingSetup.exe", "uninst.exe", "fj.exe"}) {
        const std::string exe = tests + "..\\installer\\" + name;
        HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module) << exe;
        const std::string manifest = resourceText(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
        FreeLibrary(module);
        // The program's own identity and the common controls it asks for.
        std::vector<std::string> named;
        const std::string key = "processorArchitecture=\"";
        for (size_t at = manifest.find(key); at != std::string::npos; at = manifest.find(key, at + 1))
            named.push_back(manifest.substr(at + key.size(), manifest.find('"', at + key.size()) - at - key.size()));
        EXPECT_EQ(named, std::vector<std::string>(2, expected)) << name;
    }
}

// Windows itself loads these by name for any program; pinned to the system folder, a copy planted
// beside the elevated installer or uninstaller (a Downloads or temporary folder) is never taken. Only a
// real Windows shows the effect; here the programs still start with them (the process and uninstaller
// tests).
TEST(Executables, ElevatedProgramsPinTheDllsWindowsLoadsByNameToTheSystemFolder)
{
    const std::string tests = thisProgram().substr(0, thisProgram().rfind('\\') + 1);
    for (const char* name : {"FeijingSetup.exe", "uninst.exe"}) {
        HMODULE module = LoadLibraryExA((tests + "..\\installer\\" + name).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module) << name;
        const std::string manifest = resourceText(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
        FreeLibrary(module);
        for (const char* dll : {"version", "winhttp", "mpr", "netapi32", "netutils", "textshaping", "uxtheme", "dwmapi"}) {
            const std::string entry = std::string("<file name=\"") + dll + ".dll\" loadFrom=\"%SystemRoot%\\system32\\\"/>";
            EXPECT_NE(manifest.find(entry), std::string::npos) << name << ": " << entry;
        }
    }
}
