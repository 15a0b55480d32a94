#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include "FolderSecurity.h"
#include "InstallWorker.h"
#include "InstanceLock.h"
#include "InstallerTestSupport.h"
#include "ProductRegistration.h"
#include "ProductTexts.h"
#include "Resources.h"
#include "Text.h"
#include "Uninstaller.h"

using namespace testing_support;

#define PRODUCT "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7"  // 飞鲸网游加速器
#define CAPTION PRODUCT " \xD0\xB6\xD4\xD8"                                   // 飞鲸网游加速器 卸载

namespace {

// The real payload unpacked into <temp>\飞鲸网游加速器\, with its program group, shortcuts, entry and list.
struct FakeInstallation {
    TempFolder root{"fjun"};
    std::string folder = root / PRODUCT "\\", programs = root / "Programs\\", desktop = root / "Desktop\\";

    FakeInstallation()
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::uninstallKey);
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA(desktop.c_str(), nullptr);
        InstallWorker::extractPayload(folder, payloadArchive(), payloadDigest(), nullptr);
        ProductRegistration::makeFolderPath(programs + PRODUCT);
        ProductRegistration::createShortcuts(ProductRegistration::shortcuts(programs, desktop, folder, PRODUCT));
        ProductRegistration::writeUninstallEntry(folder);
        ProductRegistration::writeUninstallList(folder, ProductRegistration::uninstallList(folder, programs, desktop));
    }
    ~FakeInstallation()
    {
        // The uninstaller's working copy may still be ending: it holds the lock until it has.
        InstanceLock lock;
        lock.acquire(30000);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::uninstallKey);
    }

    DWORD runUninstaller(const char* switches)
    {
        const std::string exe = folder + "uninst.exe";
        std::string commandLine = "\"" + exe + "\" " + switches;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, root.path().c_str(),
                            &startup, &process))
            return 0xDEAD;
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return code;
    }
    std::vector<std::string> traces() const
    {
        return {folder + "fj.exe", folder + "Uninstall.dat", programs + PRODUCT "\\" PRODUCT ".lnk",
                programs + PRODUCT ".lnk", desktop + PRODUCT ".lnk"};
    }
    static bool hasEntry()
    {
        HKEY key;
        const bool open = RegOpenKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (open)
            RegCloseKey(key);
        return open;
    }
};

}  // namespace

TEST(Uninstaller, CommandLineSwitches)
{
    const struct {
        const char* line;
        bool silent;
        const char* folder;
        UINT_PTR waitFor, reportTo;
    } cases[] = {
        {"C:\\x\\uninst.exe", false, "", 0, 0},
        {"\"C:\\a b\\uninst.exe\" /S", true, "", 0, 0},
        {"\"C:\\t\\uninst.exe\" /S /P=84 /R=4294967300 /D=C:\\Program Files\\" PRODUCT "\\", true,
         "C:\\Program Files\\" PRODUCT "\\", 84, sizeof(UINT_PTR) == 8 ? 4294967300u : 4},
        {"uninst.exe /D=C:\\x\\ /S", false, "C:\\x\\ /S", 0, 0},  // the folder takes the rest of the line
    };
    for (const auto& c : cases) {
        const Uninstaller::Options options = Uninstaller::parseCommandLine(c.line);
        EXPECT_EQ(options.silent, c.silent) << c.line;
        EXPECT_EQ(options.folder, c.folder) << c.line;
        EXPECT_EQ(reinterpret_cast<UINT_PTR>(options.waitFor), c.waitFor) << c.line;
        EXPECT_EQ(reinterpret_cast<UINT_PTR>(options.reportTo), c.reportTo) << c.line;
    }
}

TEST(Uninstaller, ListMustNameOnlyWhatTheInstallerMade)
{
    const std::string folder = "C:\\" PRODUCT "\\";
    const UninstallList good{folder, "C:\\P\\" PRODUCT, "C:\\D\\" PRODUCT ".lnk", "fj.exe"};
    auto with = [&](int line, const char* text) {
        UninstallList list = good;
        (line == 1 ? list.installFolder : line == 2 ? list.programGroup : line == 3 ? list.desktopShortcut : list.program) = text;
        return list;
    };
    const struct {
        UninstallList list;
        bool valid;
    } cases[] = {
        {good, true},
        {with(1, "c:\\" PRODUCT), true},
        {with(2, ""), true},
        {with(3, ""), true},
        {with(1, "C:\\Windows\\"), false},
        {with(1, PRODUCT "\\"), false},
        {with(2, "C:\\Windows"), false},
        {with(2, "C:\\P\\..\\" PRODUCT), false},
        {with(3, "C:\\D\\important.doc"), false},
        {with(4, "..\\cmd.exe"), false},
        {with(4, "C:\\fj.exe"), false},
        {with(4, "fj.dll"), false},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(Uninstaller::isValidFor(cases[i].list, folder), cases[i].valid) << i;
}

TEST(Uninstaller, SilentRunEndsTheProgramRemovesEverythingAndItsFolder)
{
    FakeInstallation installation;
    ASSERT_TRUE(CopyFileA(thisProgram().c_str(), (installation.folder + "fj.exe").c_str(), FALSE));
    const PROCESS_INFORMATION program = startProbe(installation.folder + "fj.exe", "stubborn");
    ASSERT_TRUE(program.hProcess);

    EXPECT_EQ(installation.runUninstaller("/S"), 0u);
    ASSERT_TRUE(pumpUntil([&] { return !pathExists(installation.folder); })) << "the copy removes the folder";
    EXPECT_EQ(WaitForSingleObject(program.hProcess, 0), WAIT_OBJECT_0);
    for (const std::string& trace : installation.traces())
        EXPECT_FALSE(pathExists(trace)) << trace;
    EXPECT_FALSE(pathExists(installation.programs + PRODUCT));
    EXPECT_FALSE(FakeInstallation::hasEntry());
    CloseHandle(program.hThread);
    CloseHandle(program.hProcess);
}

// Run silently (as a deployment tool runs QuietUninstallString) it waits for its working copy and ends
// with the copy's exit code: a file held open is reported, not passed over as success.
TEST(Uninstaller, SilentRunEndsWithItsWorkingCopysExitCode)
{
    FakeInstallation installation;
    ASSERT_TRUE(CopyFileA(thisProgram().c_str(), (installation.root / "holder.exe").c_str(), FALSE));
    const PROCESS_INFORMATION holder = startProbe(installation.root / "holder.exe", "hold:" + installation.folder + "fjcore.dll");
    ASSERT_TRUE(holder.hProcess);
    pumpUntil([] { return false; }, 1000);  // it holds the file
    EXPECT_EQ(installation.runUninstaller("/S"), static_cast<DWORD>(Uninstaller::Incomplete));
    EXPECT_TRUE(pathExists(installation.folder + "fjcore.dll"));
    EXPECT_TRUE(pathExists(installation.folder + "uninst.exe")) << "kept, to be run again";
    EXPECT_TRUE(FakeInstallation::hasEntry());
    TerminateProcess(holder.hProcess, 0);
    WaitForSingleObject(holder.hProcess, 5000);
    CloseHandle(holder.hThread);
    CloseHandle(holder.hProcess);

    EXPECT_EQ(installation.runUninstaller("/S"), 0u);
    EXPECT_FALSE(FakeInstallation::hasEntry()) << "gone when the exit code comes";
    EXPECT_FALSE(pathExists(installation.folder + "Uninstall.dat"));
    // The lock passes to the copy until it has removed the first uninstaller's file and the folder.
    InstanceLock next;
    ASSERT_TRUE(next.acquire(30000));
    EXPECT_FALSE(pathExists(installation.folder));
}

TEST(Uninstaller, UserFilesAndTheirFolderStay)
{
    FakeInstallation installation;
    ASSERT_TRUE(writeFile(installation.folder + "notes.txt", "mine"));
    EXPECT_EQ(installation.runUninstaller("/S"), 0u);
    ASSERT_TRUE(pumpUntil([&] { return !FakeInstallation::hasEntry(); }));
    ASSERT_TRUE(pumpUntil([&] { return !pathExists(installation.folder + "uninst.exe"); }));
    EXPECT_EQ(readFile(installation.folder + "notes.txt"), "mine");
    EXPECT_FALSE(pathExists(installation.folder + "fjcore.dll"));
}

TEST(Uninstaller, MissingListIsExplainedAndNothingIsTouched)
{
    FakeInstallation installation;
    DeleteFileA((installation.folder + "Uninstall.dat").c_str());
    DialogWatcher box(CAPTION, IDOK);
    EXPECT_EQ(installation.runUninstaller(""), static_cast<DWORD>(Uninstaller::BadList));
    ASSERT_TRUE(box.answered());
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_NE(box.texts[0].find("Uninstall.dat"), std::string::npos);
    const auto traces = installation.traces();
    for (size_t i = 0; i < traces.size(); ++i)
        EXPECT_EQ(pathExists(traces[i]), i != 1) << traces[i];
    EXPECT_TRUE(FakeInstallation::hasEntry());
}

TEST(Uninstaller, AnsweringNoKeepsTheInstallation)
{
    FakeInstallation installation;
    DialogWatcher box(CAPTION, IDNO);
    EXPECT_EQ(installation.runUninstaller(""), static_cast<DWORD>(Uninstaller::Cancelled));
    ASSERT_TRUE(box.answered());
    for (const std::string& trace : installation.traces())
        EXPECT_TRUE(pathExists(trace)) << trace;
    EXPECT_TRUE(FakeInstallation::hasEntry());
}

TEST(Uninstaller, NeverRunsBesideAnInstallerOrAnotherUninstaller)
{
    FakeInstallation installation;
    {
        InstanceLock installerRunning;
        ASSERT_TRUE(installerRunning.acquire());
        EXPECT_EQ(installation.runUninstaller("/S"), static_cast<DWORD>(Uninstaller::Busy));
        for (const std::string& trace : installation.traces())
            EXPECT_TRUE(pathExists(trace)) << trace;
        EXPECT_TRUE(FakeInstallation::hasEntry());
    }
    EXPECT_EQ(installation.runUninstaller("/S"), 0u);
    ASSERT_TRUE(pumpUntil([&] { return !pathExists(installation.folder); }));
}

namespace {

std::vector<std::wstring> createdFolders;
std::vector<std::wstring> passedDescriptors;
int refusalsLeft = 0;

BOOL WINAPI recordingCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes)
{
    LPWSTR sddl = nullptr;
    if (attributes && ConvertSecurityDescriptorToStringSecurityDescriptorW(attributes->lpSecurityDescriptor, SDDL_REVISION_1,
                                                                           DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
        passedDescriptors.push_back(sddl);
        LocalFree(sddl);
    } else {
        passedDescriptors.push_back(L"none");
    }
    createdFolders.push_back(path);
    if (refusalsLeft > 0) {
        --refusalsLeft;
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    return CreateDirectoryW(path, attributes);
}

}  // namespace

// The elevated working copy lives in a folder nobody else made or can change: a new random name, taken
// only if it does not exist yet, made with the protected descriptor and kept from being renamed until
// the copy runs.
TEST(Uninstaller, WorkingCopyGetsANewRandomProtectedFolder)
{
    createdFolders.clear();
    passedDescriptors.clear();
    refusalsLeft = 1;
    FolderSecurity::createDirectory = &recordingCreateDirectory;
    HANDLE held = INVALID_HANDLE_VALUE;
    const std::string first = Uninstaller::makeWorkingFolder(&held);
    const std::string second = Uninstaller::makeWorkingFolder();
    FolderSecurity::createDirectory = &CreateDirectoryW;

    ASSERT_EQ(createdFolders.size(), 3u) << "a name that exists is never used";
    EXPECT_EQ(first, toAnsi(createdFolders[1]) + "\\");
    EXPECT_NE(first, second);
    EXPECT_NE(createdFolders[0], createdFolders[1]);
    for (const std::string& folder : {first, second}) {
        const std::string name = folder.substr(folder.rfind('\\', folder.size() - 2) + 1);
        EXPECT_EQ(name.size(), 4 + 16 + 1) << name;
        EXPECT_EQ(name.rfind("fju-", 0), 0u) << name;
        EXPECT_TRUE(pathExists(folder)) << folder;
    }
    for (const std::wstring& descriptor : passedDescriptors)
        EXPECT_EQ(descriptor, FolderSecurity::protectedDacl);

    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::string renamed = first.substr(0, first.size() - 1) + "-moved";
    EXPECT_FALSE(MoveFileA(first.c_str(), renamed.c_str())) << "renamed while held";
    CloseHandle(held);
    EXPECT_TRUE(MoveFileA(first.c_str(), renamed.c_str()));
    RemoveDirectoryA(renamed.c_str());
    RemoveDirectoryA(second.c_str());
}

// A packager's payload with sub-folders: its files and the folders they leave empty go, deepest first; a
// sub-folder the user keeps a file in stays with it, and so does everything the payload did not install.
TEST(Uninstaller, RemovesInstalledSubFoldersButKeepsWhatTheUserPutThere)
{
    TempFolder root;
    const std::string folder = root / PRODUCT "\\";
    const char* const files[] = {"fj.exe", "lib\\net.dll", "lib\\deep\\\xCA\xFD\xBE\xDD.dat", "data\\a.bin",
                                 "uninst.exe"};  // 数据.dat
    const char* const folders[] = {"lib\\deep", "data\\sub", "lib", "data", "logs"};
    for (const char* made : {"", "lib", "lib\\deep", "data", "data\\sub", "logs", "other"})
        ASSERT_TRUE(CreateDirectoryA((folder + made).c_str(), nullptr)) << made;
    for (const char* file : files)
        ASSERT_TRUE(writeFile(folder + file, "installed"));
    ASSERT_TRUE(writeFile(folder + "data\\mine.txt", "mine"));
    ASSERT_TRUE(writeFile(folder + "other\\kept.txt", "mine"));
    ASSERT_TRUE(writeFile(folder + "Uninstall.dat", ""));

    const UninstallList list{folder, "", "", "fj.exe"};
    EXPECT_TRUE(Uninstaller::removeProduct(list, {files, folders}));

    for (const char* gone : {"fj.exe", "lib", "data\\a.bin", "data\\sub", "logs", "uninst.exe", "Uninstall.dat"})
        EXPECT_FALSE(pathExists(folder + gone)) << gone;
    EXPECT_EQ(readFile(folder + "data\\mine.txt"), "mine");
    EXPECT_EQ(readFile(folder + "other\\kept.txt"), "mine");
}
