#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <set>

#include "FolderSecurity.h"
#include "InstallFolder.h"
#include "InstallerTestSupport.h"
#include "SafeFile.h"
#include "Text.h"

using namespace testing_support;

namespace {

std::wstring sddlOf(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION parts)
{
    LPWSTR text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, parts, &text, nullptr))
        return L"?";
    std::wstring sddl(text);
    LocalFree(text);
    return sddl;
}

struct ParsedDescriptor {
    explicit ParsedDescriptor(const std::wstring& sddl)
    {
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr);
    }
    ~ParsedDescriptor() { LocalFree(descriptor); }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
};

// What the creation and re-permission calls were given.
std::vector<std::wstring> created, createdDescriptors, setDescriptors;

BOOL WINAPI recordCreate(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes)
{
    created.push_back(path);
    createdDescriptors.push_back(attributes ? sddlOf(attributes->lpSecurityDescriptor, DACL_SECURITY_INFORMATION)
                                            : L"none");
    return CreateDirectoryW(path, attributes);
}

DWORD WINAPI recordSet(HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION information, PSID owner, PSID, PACL dacl, PACL)
{
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorOwner(&descriptor, owner, FALSE);
    SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE);
    if (information & PROTECTED_DACL_SECURITY_INFORMATION)
        SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    setDescriptors.push_back(sddlOf(&descriptor, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION));
    return ERROR_SUCCESS;
}

struct Recording {
    Recording()
    {
        created.clear();
        createdDescriptors.clear();
        setDescriptors.clear();
        FolderSecurity::createDirectory = &recordCreate;
        FolderSecurity::setSecurity = &recordSet;
    }
    ~Recording()
    {
        FolderSecurity::createDirectory = &CreateDirectoryW;
        FolderSecurity::setSecurity = &SetSecurityInfo;
    }
};

// Wine makes no reparse points: files and folders named here are reported as reparse points (links or
// junctions) by the one query the checks make on their handles.
std::set<std::pair<DWORD, ULONGLONG>> plantedLinks;

BOOL WINAPI informationWithPlantedLinks(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info)
{
    if (!GetFileInformationByHandle(file, info))
        return FALSE;
    const ULONGLONG index = (ULONGLONG{info->nFileIndexHigh} << 32) | info->nFileIndexLow;
    if (plantedLinks.count({info->dwVolumeSerialNumber, index}))
        info->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return TRUE;
}

}  // namespace

// Marks what lies at `path` as a link for as long as it lives.
class PlantedLink {
public:
    explicit PlantedLink(const std::string& path)
    {
        HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        BY_HANDLE_FILE_INFORMATION info = {};
        GetFileInformationByHandle(file, &info);
        CloseHandle(file);
        key_ = {info.dwVolumeSerialNumber, (ULONGLONG{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
        plantedLinks.insert(key_);
        SafeFile::fileInformation = &informationWithPlantedLinks;
    }
    ~PlantedLink()
    {
        plantedLinks.erase(key_);
        SafeFile::fileInformation = &GetFileInformationByHandle;
    }

private:
    std::pair<DWORD, ULONGLONG> key_;
};

TEST(FolderSecurity, OnlySystemAndAdministratorsMayChangeAProtectedFolder)
{
    const struct {
        const wchar_t* sddl;
        bool writable;
    } cases[] = {
        {L"O:BA", false},  // completed below with the protected DACL
        // A new folder at the root of C: on a standard Windows: Authenticated Users may modify.
        {L"O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;0x1301bf;;;AU)(A;;0x1301bf;;;AU)", true},
        {L"O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;0x1301bf;;;AU)", false},  // inherit-only: not the folder
        {L"O:BAD:(A;;0x4;;;BU)", true},                                              // Users may add sub-folders
        {L"O:BAD:(A;;0x1200a9;;;WD)(D;;FA;;;BU)", false},                             // read for everyone
        {L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;BA)", true},                               // a user owns it
        {L"O:BAD:(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)", false},
        {L"O:BAD:(A;;0x40000000;;;IU)", true},                                        // GENERIC_WRITE
    };
    for (const auto& c : cases) {
        const std::wstring sddl = std::wstring(c.sddl) + (std::wstring(c.sddl) == L"O:BA" ? FolderSecurity::protectedDacl : L"");
        const ParsedDescriptor parsed(sddl);
        ASSERT_TRUE(parsed.descriptor) << toAnsi(sddl);
        EXPECT_EQ(FolderSecurity::grantsOthersWrite(parsed.descriptor), c.writable) << toAnsi(sddl);
    }
    // No DACL at all lets everyone do everything.
    const ParsedDescriptor owner(L"O:BA");
    SECURITY_DESCRIPTOR nullDacl;
    InitializeSecurityDescriptor(&nullDacl, SECURITY_DESCRIPTOR_REVISION);
    PSID administrators = nullptr;
    BOOL defaultedOwner = FALSE;
    GetSecurityDescriptorOwner(owner.descriptor, &administrators, &defaultedOwner);
    SetSecurityDescriptorOwner(&nullDacl, administrators, FALSE);
    SetSecurityDescriptorDacl(&nullDacl, TRUE, nullptr, FALSE);
    EXPECT_TRUE(FolderSecurity::grantsOthersWrite(&nullDacl));

    // Protected: nothing comes from the parent, and what it grants reaches every file and sub-folder.
    const ParsedDescriptor parsed(FolderSecurity::protectedDescriptor());
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(parsed.descriptor, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(parsed.descriptor, &present, &dacl, &defaulted) && dacl);
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ace->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    }
}

// A missing folder is made with the protected descriptor. Where the system keeps descriptors the folder
// reads back as protected; Wine reports a made-up one, so there the descriptor passed is what shows it.
TEST(FolderSecurity, InstallFolderIsCreatedProtectedAndPreMadeOnesAtADriveRootAreReprotected)
{
    TempFolder parent;
    {
        Recording recording;
        EXPECT_EQ(InstallFolder::prepare(parent / "fresh\\"), InstallFailure::None);
        EXPECT_EQ(InstallFolder::prepare(parent / "fresh\\"), InstallFailure::None) << "existing below the root: kept";
        EXPECT_EQ(InstallFolder::prepare(parent / "no\\parent\\"), InstallFailure::CannotWriteFolder);
        EXPECT_EQ(created.size(), 3u);
        for (const std::wstring& descriptor : createdDescriptors)
            EXPECT_EQ(descriptor, FolderSecurity::protectedDacl);
        EXPECT_TRUE(setDescriptors.empty()) << "a folder below a drive's root is left as the user made it";
    }
    EXPECT_TRUE(pathExists(parent / "fresh"));
    EXPECT_FALSE(pathExists(parent / "no"));
    PSECURITY_DESCRIPTOR readBack = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(toWide(parent / "fresh").c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, nullptr, nullptr, &readBack),
              ERROR_SUCCESS);
    const std::wstring kept = sddlOf(readBack, DACL_SECURITY_INFORMATION);
    LocalFree(readBack);
    if (kept.find(L";BU)") != std::wstring::npos)
        EXPECT_EQ(kept, FolderSecurity::protectedDacl);
    else
        RecordProperty("descriptor", "not kept by this system: " + toAnsi(kept));

    // Made beforehand at a drive's root, where others may write (here: owned by a plain user): it gets
    // the protected descriptor and Administrators as owner.
    const std::string root = "C:\\fjsecurity-test\\";
    RemoveDirectoryA(root.c_str());
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    {
        Recording recording;
        EXPECT_EQ(InstallFolder::prepare(root), InstallFailure::None);
        EXPECT_TRUE(created.size() == 1 && setDescriptors.size() == 1);
        if (!setDescriptors.empty())
            EXPECT_EQ(setDescriptors[0], FolderSecurity::protectedDescriptor());
    }
    RemoveDirectoryA(root.c_str());
}

// Links and junctions: a folder or file that is one is refused on its own handle. Wine makes hard
// links but no reparse points, which the planted marks stand for.
TEST(SafeFile, WritesPlainFilesAndRefusesLinksFoldersAndFurtherHardLinks)
{
    TempFolder folder, outside;
    const std::string target = outside / "system.ini";
    ASSERT_TRUE(writeFile(target, "precious"));
    const auto content = [](const std::string& text) {
        return Bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    };

    ASSERT_TRUE(writeFile(folder / "old.dat", "a longer read-only leftover"));
    SetFileAttributesA((folder / "old.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(SafeFile::write(toWide(folder / "old.dat"), content("new")));
    EXPECT_EQ(readFile(folder / "old.dat"), "new");
    EXPECT_TRUE(SafeFile::write(toWide(folder / "fresh.dat"), content("fresh")));
    EXPECT_EQ(readFile(folder / "fresh.dat"), "fresh");

    ASSERT_TRUE(CreateHardLinkA((folder / "hard.dat").c_str(), target.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((folder / "junction.dat").c_str(), nullptr));
    ASSERT_TRUE(writeFile(folder / "symlink.dat", "stands for a link"));
    PlantedLink link(folder / "symlink.dat");
    for (const char* name : {"hard.dat", "junction.dat", "symlink.dat"}) {
        SetLastError(0);
        EXPECT_FALSE(SafeFile::write(toWide(folder / name), content("planted"))) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << name;
    }
    EXPECT_EQ(readFile(target), "precious");
    EXPECT_EQ(readFile(folder / "symlink.dat"), "stands for a link");
}

TEST(InstallFolder, OnlyAbsoluteLocalFolderTextsAreAccepted)
{
    const struct {
        const wchar_t* text;
        bool wellFormed;
    } cases[] = {
        {L"C:\\飞鲸网游加速器\\", true},
        {L"D:\\Games\\FJ", true},
        {L"d:\\a b\\c.d\\", true},
        {L"abc\\", false},             // relative
        {L"D:abc", false},             // relative to D:'s current folder
        {L"C:", false},
        {L"C:\\", false},              // a drive root
        {L"C:\\\\\\", false},          // comes to one
        {L"C:\\\\Games\\", false},     // an empty name
        {L"\\\\server\\share\\fj\\", false},
        {L"\\\\?\\C:\\fj\\", false},
        {L"C:/Games/fj/", false},
        {L"C:\\Games\\..\\fj\\", false},
        {L"C:\\Games\\.\\fj\\", false},
        {L"C:\\a|b\\", false},
        {L"C:\\a<b\\", false},
        {L"C:\\a?\\", false},
        {L"C:\\a*\\", false},
        {L"C:\\a\"b\\", false},
        {L"C:\\a:b\\", false},         // an alternate data stream
        {L"C:\\a\tb\\", false},
        {L"C:\\CON\\", false},
        {L"C:\\Games\\lpt1.txt\\", false},
        {L"C:\\nul\\", false},
        {L"C:\\Games.\\", false},      // Windows would drop the dot
        {L"C:\\Games \\", false},
        {L"1:\\Games\\", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InstallFolder::isWellFormed(c.text), c.wellFormed) << toAnsi(c.text);
    EXPECT_FALSE(InstallFolder::isWellFormed(L"C:\\" + std::wstring(MAX_PATH - 10, L'a') + L"\\")) << "too long";

    // GBK trail bytes include "\" and "|": the decision is made on the characters. 0x95 0x7C is one
    // character (a "|" byte inside it), 0x95 0x5C too.
    EXPECT_TRUE(InstallFolder::isAcceptable("C:\\\x95\x7C\\"));
    EXPECT_TRUE(InstallFolder::isAcceptable("C:\\\x95\\"));
    EXPECT_FALSE(InstallFolder::isAcceptable("C:\\\x81"));  // a lone lead byte names no character
    EXPECT_FALSE(InstallFolder::isAcceptable(""));
    EXPECT_FALSE(InstallFolder::isAcceptable("Q:\\fj\\")) << "no such drive";
}

TEST(InstallFolder, SystemPlacesAreRefusedButFoldersInsideProgramFilesAreFine)
{
    wchar_t windows[MAX_PATH], profile[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    ASSERT_GT(GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH), 0u);
    const std::wstring w = windows, p = profile;
    const std::wstring profiles = p.substr(0, p.rfind(L'\\'));
    wchar_t programFiles[MAX_PATH];
    ASSERT_GT(GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH), 0u);
    const std::wstring pf = programFiles;
    const struct {
        std::wstring folder;
        bool system;
    } cases[] = {
        {w, true},
        {w + L"\\", true},
        {w + L"\\System32\\fj\\", true},
        {pf + L"\\", true},
        {pf + L"\\飞鲸网游加速器\\", false},
        {p + L"\\", true},
        {profiles + L"\\Someone Else\\", true},
        {profiles + L"\\", true},
        {p + L"\\Games\\fj\\", false},
        {L"C:\\ProgramData\\", true},
        {L"C:\\ProgramData\\fj\\", false},
        {L"C:\\飞鲸网游加速器\\", false},
        {L"D:\\Windows\\", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InstallFolder::isSystemPlace(c.folder), c.system) << toAnsi(c.folder);
    // Short names come to the same places.
    wchar_t shortName[MAX_PATH];
    if (GetShortPathNameW(pf.c_str(), shortName, MAX_PATH) && pf != shortName)
        EXPECT_TRUE(InstallFolder::isSystemPlace(shortName)) << toAnsi(shortName);
}

TEST(InstallFolder, ExistingFilesReparsePointsAndSystemFoldersAtTheRootAreNoInstallFolder)
{
    TempFolder parent;
    ASSERT_TRUE(writeFile(parent / "file", "a file, not a folder"));
    ASSERT_TRUE(CreateDirectoryA((parent / "junction").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((parent / "plain").c_str(), nullptr));
    EXPECT_FALSE(InstallFolder::isAcceptable(parent / "file\\"));
    EXPECT_TRUE(InstallFolder::isAcceptable(parent / "plain\\"));
    EXPECT_TRUE(InstallFolder::isAcceptable(parent / "missing\\"));
    {
        PlantedLink link(parent / "junction");
        EXPECT_FALSE(InstallFolder::isAcceptable(parent / "junction\\"));
        EXPECT_FALSE(InstallFolder::isAcceptable(parent / "junction"));
        EXPECT_EQ(InstallFolder::prepare(parent / "junction\\"), InstallFailure::CannotWriteFolder);
    }
    EXPECT_TRUE(InstallFolder::isAcceptable(parent / "junction\\"));

    const std::string root = "C:\\fjsystem-test";
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(InstallFolder::isAcceptable(root + "\\"));
    SetFileAttributesA(root.c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(InstallFolder::isAcceptable(root + "\\")) << "the recycle bin and its kind at a drive's root";
    SetFileAttributesA(root.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(root.c_str());
}
