#include <gtest/gtest.h>

#include <shlobj.h>

#include "InstallFolder.h"
#include "InstallWorker.h"
#include "InstallerTestSupport.h"
#include "PayloadContents.h"
#include "ProductRegistration.h"
#include "ProductTexts.h"
#include "ProgramLauncher.h"
#include "Resources.h"
#include "RunningPrograms.h"
#include "Text.h"
#include "Uninstaller.h"

using namespace testing_support;

#define PRODUCT "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7"  // 飞鲸网游加速器

namespace {

int programsStarted = 0;

std::optional<DWORD> entryWord(const char* name)
{
    DWORD data = 0, size = sizeof data;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, product::uninstallKey, name, RRF_RT_REG_DWORD, nullptr, &data, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return data;
}

std::string specialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
    return InstallFolder::withSeparator(path);
}

}  // namespace

// Everything an interactive installation leaves, without a message or a started program (the log's
// lines are checked end to end).
TEST(SilentInstall, InstallsEverythingAndStartsNothing)
{
    TempFolder parent;
    const std::string folder = parent / "\xB7\xC9\xBE\xA8 fj\\";  // 飞鲸 fj: given without its "\"
    Installation setup(RunMode::Silent);
    setup.removeTraces();
    programsStarted = 0;
    ProgramLauncher::throughShell = ProgramLauncher::directly = [](const std::wstring&, const std::wstring&) {
        ++programsStarted;
        return true;
    };
    EXPECT_EQ(setup.installSilently(folder.substr(0, folder.size() - 1)), 0u);

    EXPECT_EQ(Installation::exitCodes.size(), 1u);
    EXPECT_EQ(programsStarted, 0);
    const std::string programs = ProductRegistration::programsFolder(), desktop = ProductRegistration::desktopFolder();
    const std::string list = folder + "\r\n" + programs + PRODUCT "\r\n" + desktop + PRODUCT ".lnk\r\nfj.exe";
    EXPECT_EQ(readFile(folder + "Uninstall.dat"), list);
    for (const auto& link : ProductRegistration::shortcuts(programs, desktop, folder, PRODUCT))
        EXPECT_TRUE(pathExists(link.link)) << link.link;
    EXPECT_FALSE(pathExists(folder + "sj.zip"));
    // Kilobytes of what was written: the payload's files and the list, rounded up.
    const std::uint64_t installed = PayloadContents::read(payloadArchive())->unpackedSize() + list.size();
    EXPECT_EQ(entryWord("EstimatedSize"), (installed + 1023) / 1024);
    EXPECT_EQ(entryValue("QuietUninstallString"), "\"" + folder + "uninst.exe\" /S");
    EXPECT_EQ(entryValue("UninstallString"), folder + "uninst.exe");
    setup.removeTraces();
}

// Every way a silent run stops has its exit code, and none leaves an uninstall entry.
TEST(SilentInstall, EachWayOfStoppingEndsWithItsCode)
{
    const Bytes stored = payloadArchive();
    static std::vector<std::uint8_t> damaged(stored.begin(), stored.end());
    damaged[damaged.size() / 2] ^= 0x08;
    // The message reaches the hidden window once the entry is written; the worker waits for the end.
    const auto interruptedMidway = [](UINT message, WPARAM wParam) {
        return [message, wParam](Installation& setup) {
            InstallWorker::hooks.afterReport = [window = setup.elements.window(), message, wParam](int percent) {
                if (percent != 25)
                    return;
                PostMessageA(window, message, wParam, 0);
                for (int waited = 0; waited < 10000 && !Installation::exits; waited += 10)
                    Sleep(10);
            };
        };
    };
    TempFolder parent;
    const struct {
        const char* what;
        std::string folder;
        UINT code;
        std::function<void(Installation&)> arrange;
        bool writesFolder;
    } cases[] = {
        {"a folder text that names no folder", "abc\\", 1, nullptr, false},
        {"a damaged payload", parent / "damaged\\", 2,
         [](Installation& setup) { setup.procedure.setPayload(Bytes(damaged), payloadDigest()); }, false},
        {"too little disk space", parent / "small\\", 3,
         [](Installation&) {
             InstallFolder::diskFreeSpace = [](LPCWSTR, PULARGE_INTEGER available, PULARGE_INTEGER, PULARGE_INTEGER)
                 WINAPI {
                 available->QuadPart = 1 << 20;
                 return TRUE;
             };
         },
         false},
        {"a folder whose parent is missing", parent / "no\\child\\", 5, nullptr, false},
        {"a close message midway", parent / "closed\\", 6, interruptedMidway(WM_CLOSE, 0), true},
        {"the session ending midway", parent / "session\\", 6, interruptedMidway(WM_ENDSESSION, TRUE), true},
    };
    for (const auto& c : cases) {
        Installation setup(RunMode::Silent);
        setup.removeTraces();
        if (c.arrange)
            c.arrange(setup);
        EXPECT_EQ(setup.installSilently(c.folder), c.code) << c.what;
        InstallWorker::hooks.afterReport = nullptr;
        EXPECT_EQ(Installation::exitCodes.size(), 1u) << c.what;
        EXPECT_FALSE(hasEntry()) << c.what;
        EXPECT_EQ(pathExists(c.folder), c.writesFolder) << c.what;
        EXPECT_FALSE(pathExists(c.folder + "Uninstall.dat")) << c.what;
        setup.removeTraces();
    }
}

// The product's program runs from the folder and cannot be ended (a seam refuses): nothing is written.
TEST(SilentInstall, ProgramThatCannotBeClosedEndsWithTheFilesInUseCode)
{
    TempFolder folder;
    ASSERT_TRUE(CopyFileA(thisProgram().c_str(), (folder / "fj.exe").c_str(), FALSE));
    const PROCESS_INFORMATION program = startProbe(folder / "fj.exe", "stubborn");
    ASSERT_TRUE(program.hProcess);
    pumpUntil([] { return false; }, 1000);  // its window is up
    Installation setup(RunMode::Silent);
    setup.removeTraces();
    RunningPrograms::terminate = [](HANDLE, UINT) WINAPI {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    };
    EXPECT_EQ(setup.installSilently(folder.path()), 4u);
    EXPECT_EQ(WaitForSingleObject(program.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "still running";
    EXPECT_FALSE(setup.procedure.hasStartedWorker());
    EXPECT_FALSE(hasEntry());
    EXPECT_FALSE(pathExists(folder / "fjcore.dll"));
    TerminateProcess(program.hProcess, 0);
    WaitForSingleObject(program.hProcess, 5000);
    CloseHandle(program.hThread);
    CloseHandle(program.hProcess);
}

// Wine cannot run a process as SYSTEM: the account is put in place through the seam. The shortcuts go to
// the all-users Start menu and desktop, "Uninstall.dat" names them, and the uninstaller removes them.
TEST(SilentInstall, RunAsSystemMakesAllUsersShortcutsThatTheUninstallerRemoves)
{
    TempFolder parent;
    const std::string folder = parent / "fj\\";
    Installation setup(RunMode::Silent);
    setup.removeTraces();
    ProductRegistration::runsAsSystem = [] { return true; };
    setup.removeTraces();
    EXPECT_EQ(setup.installSilently(folder), 0u);

    const std::string programs = specialFolder(CSIDL_COMMON_PROGRAMS), desktop = specialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    ASSERT_NE(programs, specialFolder(CSIDL_PROGRAMS));
    const std::optional<UninstallList> list = UninstallList::parse(readFile(folder + "Uninstall.dat").value_or(""));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->programGroup, programs + PRODUCT);
    EXPECT_EQ(list->desktopShortcut, desktop + PRODUCT ".lnk");
    const auto links = ProductRegistration::shortcuts(programs, desktop, folder, PRODUCT);
    for (const auto& link : links)
        EXPECT_TRUE(pathExists(link.link)) << link.link;
    for (const auto& link : ProductRegistration::shortcuts(specialFolder(CSIDL_PROGRAMS),
                                                           specialFolder(CSIDL_DESKTOPDIRECTORY), folder, PRODUCT))
        EXPECT_FALSE(pathExists(link.link)) << link.link;

    EXPECT_TRUE(Uninstaller::removeProduct(*list));
    for (const auto& link : links)
        EXPECT_FALSE(pathExists(link.link)) << link.link;
    EXPECT_FALSE(pathExists(programs + PRODUCT));
    EXPECT_FALSE(hasEntry());
}
