#include <gtest/gtest.h>

#include <shlobj.h>

#include "InstallerTestSupport.h"
#include "ProductRegistration.h"
#include "ProductTexts.h"
#include "Text.h"

using namespace testing_support;

#define PRODUCT "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7"  // 飞鲸网游加速器

namespace {

std::optional<std::string> registryText(const char* name)
{
    char data[1024];
    DWORD size = sizeof data, type = 0;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, product::uninstallKey, name, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    return std::string(data);
}

std::string linkTarget(const std::string& link)
{
    IShellLinkA* shellLink = nullptr;
    IPersistFile* file = nullptr;
    char target[MAX_PATH] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shellLink)))) {
        if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            if (SUCCEEDED(file->Load(toWide(link).c_str(), STGM_READ)))
                shellLink->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
            file->Release();
        }
        shellLink->Release();
    }
    return target;
}

}  // namespace

TEST(ProductRegistration, UninstallEntryHoldsSixStringValues)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::uninstallKey);
    ProductRegistration::writeUninstallEntry("D:\\" PRODUCT "\\");
    const struct {
        const char* name;
        const char* data;
    } expected[] = {
        {"DisplayIcon", "D:\\" PRODUCT "\\fj.exe"},
        {"DisplayName", PRODUCT},
        {"DisplayVersion", "201909999"},
        {"UninstallString", "D:\\" PRODUCT "\\uninst.exe"},
        {"Publisher", "\xB1\xB1\xC1\xEB\xCA\xFD\xC2\xEB\xBF\xC6\xBC\xBC\xD3\xD0\xCF\xDE\xB9\xAB\xCB\xBE"},
        {"URLInfoAbout", "http://www.feijingjsq.com/"},
    };
    for (const auto& value : expected)
        EXPECT_EQ(registryText(value.name), value.data) << value.name;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::uninstallKey);
}

// What Windows' list of programs reads besides: read back with their types, beside the six.
TEST(ProductRegistration, CompletionValuesFollowTheSixAndReadBack)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::uninstallKey);
    const std::string folder = "D:\\" PRODUCT " x\\";
    ProductRegistration::writeUninstallEntry(folder);
    SYSTEMTIME date = {};
    date.wYear = 2024;
    date.wMonth = 3;
    date.wDay = 9;
    ProductRegistration::writeValues(ProductRegistration::completionValues(folder, 16081441, date));

    const struct {
        const char* name;
        DWORD type;
        std::string data;
    } expected[] = {
        {"DisplayIcon", REG_SZ, folder + "fj.exe"},
        {"DisplayName", REG_SZ, PRODUCT},
        {"DisplayVersion", REG_SZ, "201909999"},
        {"UninstallString", REG_SZ, folder + "uninst.exe"},
        {"Publisher", REG_SZ, "\xB1\xB1\xC1\xEB\xCA\xFD\xC2\xEB\xBF\xC6\xBC\xBC\xD3\xD0\xCF\xDE\xB9\xAB\xCB\xBE"},
        {"URLInfoAbout", REG_SZ, "http://www.feijingjsq.com/"},
        {"InstallLocation", REG_SZ, folder},
        {"EstimatedSize", REG_DWORD, "15705"},  // kilobytes, rounded up
        {"NoModify", REG_DWORD, "1"},
        {"NoRepair", REG_DWORD, "1"},
        {"QuietUninstallString", REG_SZ, "\"" + folder + "uninst.exe\" /S"},
        {"InstallDate", REG_SZ, "20240309"},
    };
    // Wine lists values sorted by name, so their order cannot be read back here.
    for (const auto& value : expected) {
        char data[1024] = {};
        DWORD size = sizeof data, type = 0;
        ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, product::uninstallKey, value.name, RRF_RT_ANY, &type, data, &size),
                  ERROR_SUCCESS)
            << value.name;
        EXPECT_EQ(type, value.type) << value.name;
        const std::string read = type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data)) : std::string(data);
        EXPECT_EQ(read, value.data) << value.name;
    }
    HKEY key;
    DWORD count = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(count, std::size(expected));
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::uninstallKey);
}

TEST(ProductRegistration, FourShortcutsAreReadBackWithTheirTargets)
{
    TempFolder root("\xD7\xC0\xC3\xE6");  // 桌面
    const std::string programs = root / "Programs\\", desktop = root / "Desktop\\", folder = "C:\\" PRODUCT "\\";
    CreateDirectoryA(desktop.c_str(), nullptr);
    ASSERT_TRUE(ProductRegistration::makeFolderPath(programs + PRODUCT));  // parents made too

    const auto links = ProductRegistration::shortcuts(programs, desktop, folder, PRODUCT);
    const struct {
        std::string link, target;
    } expected[] = {
        {programs + PRODUCT "\\" PRODUCT ".lnk", folder + "fj.exe"},
        {programs + PRODUCT "\\\xD0\xB6\xD4\xD8" PRODUCT ".lnk", folder + "uninst.exe"},  // \卸载
        {programs + PRODUCT ".lnk", folder + "fj.exe"},
        {desktop + PRODUCT ".lnk", folder + "fj.exe"},
    };
    ASSERT_EQ(links.size(), std::size(expected));
    ProductRegistration::createShortcuts(links);
    CoInitialize(nullptr);
    for (size_t i = 0; i < links.size(); ++i) {
        EXPECT_EQ(links[i].link, expected[i].link);
        EXPECT_EQ(links[i].target, expected[i].target);
        EXPECT_TRUE(pathExists(expected[i].link)) << i;
        EXPECT_EQ(lstrcmpiA(linkTarget(expected[i].link).c_str(), expected[i].target.c_str()), 0) << i;
    }
    CoUninitialize();
    EXPECT_EQ(ProductRegistration::shortcuts("", desktop, folder, PRODUCT).size(), 1u) << "unknown Programs folder";

    // Made again over read-only links of an earlier installation: saved, and writable afterwards.
    for (const auto& link : links)
        SetFileAttributesA(link.link.c_str(), FILE_ATTRIBUTE_READONLY);
    ProductRegistration::createShortcuts(links);
    for (const auto& link : links)
        EXPECT_FALSE(GetFileAttributesA(link.link.c_str()) & FILE_ATTRIBUTE_READONLY) << link.link;
}

TEST(ProductRegistration, UninstallListFileIsExactlyTheListBytes)
{
    TempFolder folder;
    const UninstallList list = ProductRegistration::uninstallList(folder.path(), "C:\\P\\", "C:\\D\\");
    EXPECT_EQ(list.programGroup, "C:\\P\\" PRODUCT);
    EXPECT_EQ(list.desktopShortcut, "C:\\D\\" PRODUCT ".lnk");
    ASSERT_TRUE(ProductRegistration::writeUninstallList(folder.path(), list));
    EXPECT_EQ(readFile(folder / "Uninstall.dat"), folder.path() + "\r\nC:\\P\\" PRODUCT "\r\nC:\\D\\" PRODUCT ".lnk\r\nfj.exe");
    EXPECT_EQ(ProductRegistration::uninstallList(folder.path(), "", "").bytes(), folder.path() + "\r\n\r\n\r\nfj.exe");

    // An earlier installation's read-only list is replaced and left writable.
    SetFileAttributesA((folder / "Uninstall.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    const UninstallList later = ProductRegistration::uninstallList(folder.path(), "C:\\Q\\", "C:\\E\\");
    ASSERT_TRUE(ProductRegistration::writeUninstallList(folder.path(), later));
    EXPECT_EQ(readFile(folder / "Uninstall.dat"), later.bytes());
    EXPECT_FALSE(GetFileAttributesA((folder / "Uninstall.dat").c_str()) & FILE_ATTRIBUTE_READONLY);
}

// A shortcut's file that is a further name of another file (a hard link planted there) is refused, not
// written through; the other shortcuts are still made.
TEST(ProductRegistration, ShortcutPlantedAsALinkIsRefusedAndTheOthersAreMade)
{
    TempFolder root, outside;
    const std::string programs = root / "Programs\\", desktop = root / "Desktop\\", folder = "C:\\" PRODUCT "\\";
    CreateDirectoryA(desktop.c_str(), nullptr);
    ASSERT_TRUE(ProductRegistration::makeFolderPath(programs + PRODUCT));
    ASSERT_TRUE(writeFile(outside / "boot.ini", "precious"));
    const auto links = ProductRegistration::shortcuts(programs, desktop, folder, PRODUCT);
    ASSERT_TRUE(CreateHardLinkA(links[3].link.c_str(), (outside / "boot.ini").c_str(), nullptr));

    EXPECT_FALSE(ProductRegistration::createShortcuts(links));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(readFile(outside / "boot.ini"), "precious");
    for (size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(pathExists(links[i].link)) << i;
    // A missing folder is no refusal: that shortcut is left out, as the shell's own failures are.
    EXPECT_TRUE(ProductRegistration::createShortcuts({{root / "missing\\x.lnk", folder + "fj.exe"}}));
}

TEST(ProductRegistration, UninstallEntryIsPutBackAsItWas)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::uninstallKey);
    // None before: removed again.
    ProductRegistration::SavedEntry saved = ProductRegistration::saveUninstallEntry();
    ProductRegistration::writeUninstallEntry("C:\\New\\");
    ProductRegistration::restoreUninstallEntry(saved);
    HKEY key;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, KEY_READ, &key), ERROR_SUCCESS);

    // An earlier installation's entry: its values come back, one it did not have goes, others stay.
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const std::string earlier = "C:\\Old\\uninst.exe";
    RegSetValueExA(key, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(earlier.c_str()),
                   static_cast<DWORD>(earlier.size() + 1));
    RegSetValueExA(key, "DisplayIcon", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("%X%\\fj.exe"), 11);
    const DWORD size = 4711;
    RegSetValueExA(key, "EstimatedSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&size), sizeof size);
    RegCloseKey(key);
    saved = ProductRegistration::saveUninstallEntry();
    ProductRegistration::writeUninstallEntry("C:\\New\\");
    EXPECT_EQ(registryText("UninstallString"), "C:\\New\\uninst.exe");
    ProductRegistration::restoreUninstallEntry(saved);

    EXPECT_EQ(registryText("UninstallString"), earlier);
    char data[64] = {};
    DWORD type = 0, length = sizeof data;
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, product::uninstallKey, "DisplayIcon", RRF_RT_ANY | RRF_NOEXPAND, &type,
                           data, &length),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_STREQ(data, "%X%\\fj.exe");
    DWORD kept = 0;
    length = sizeof kept;
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, product::uninstallKey, "EstimatedSize", RRF_RT_REG_DWORD, nullptr, &kept,
                           &length),
              ERROR_SUCCESS);
    EXPECT_EQ(kept, 4711u);
    for (const char* gone : {"DisplayName", "DisplayVersion", "Publisher", "URLInfoAbout"})
        EXPECT_FALSE(registryText(gone).has_value()) << gone;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::uninstallKey);
}
