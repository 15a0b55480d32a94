#include <gtest/gtest.h>

#include "InstallProcedure.h"
#include "InstallFolder.h"
#include "InstallWorker.h"
#include "InstallerTestSupport.h"
#include "PayloadContents.h"
#include "ProgramLauncher.h"
#include "ProductRegistration.h"
#include "ProductTexts.h"
#include "Resources.h"
#include "Text.h"

using namespace testing_support;
using E = InstallerElement;

#define PRODUCT "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7"  // 飞鲸网游加速器

TEST(InstallProcedure, TickingEnablesRunHidesPanelAndLinkTogglesOnlyWhileUnticked)
{
    Installation setup;
    auto& panel = setup.elements.elements[E::AgreementPanel];
    setup.procedure.onAgreementLinkClicked();
    EXPECT_TRUE(panel.visible);
    setup.tick();
    EXPECT_TRUE(setup.procedure.isAgreementTicked());
    EXPECT_FALSE(panel.visible);
    EXPECT_FALSE(setup.elements.elements[E::RunButton].disabled);
    EXPECT_EQ(setup.elements.elements[E::AgreementCheck].pictures[2], pictureBytes("unticked-hover"));
    setup.procedure.onAgreementLinkClicked();
    EXPECT_FALSE(panel.visible) << "the link does nothing while ticked";
    setup.tick();
    EXPECT_FALSE(setup.procedure.isAgreementTicked());
    EXPECT_TRUE(setup.elements.elements[E::RunButton].disabled);
    setup.procedure.onAgreementLinkClicked();
    EXPECT_TRUE(panel.visible);
}

TEST(InstallProcedure, HoverSwapsLinkTextsAndGivesTheCheckBoxItsHoverSet)
{
    Installation setup;
    auto& elements = setup.elements.elements;
    setup.procedure.onHoverEnter(setup.elements.handle(E::AgreementLink));
    EXPECT_FALSE(elements[E::AgreementLink].visible);
    EXPECT_TRUE(elements[E::AgreementLinkHighlighted].visible);
    setup.procedure.onHoverLeave(setup.elements.handle(E::AgreementLink));  // not the shown one: nothing
    EXPECT_TRUE(elements[E::AgreementLinkHighlighted].visible);
    setup.procedure.onHoverLeave(setup.elements.handle(E::AgreementLinkHighlighted));
    EXPECT_TRUE(elements[E::AgreementLink].visible);
    EXPECT_FALSE(elements[E::AgreementLinkHighlighted].visible);

    setup.tick();  // ticked set for clicks: 4th picture kept from creation
    setup.procedure.onHoverEnter(setup.elements.handle(E::AgreementCheck));
    const auto& pictures = elements[E::AgreementCheck].pictures;
    EXPECT_EQ(pictures, (std::vector{pictureBytes("ticked"), pictureBytes("ticked-hover"), pictureBytes("unticked"),
                                     pictureBytes("unticked-hover")}));
}

TEST(InstallProcedure, UntickedBoxGivesOnlyTheAgreementMessage)
{
    Installation setup;
    const auto before = setup.elements.elements;
    DialogWatcher box(InstallProcedure::agreementCaption, IDOK);
    setup.procedure.onInstallClicked();
    ASSERT_TRUE(box.answered());
    EXPECT_EQ(box.texts, std::vector<std::string>{InstallProcedure::agreementMessage});
    EXPECT_TRUE(setup.elements.elements == before);
    EXPECT_FALSE(setup.procedure.hasStartedWorker());
}

TEST(InstallProcedure, EmptyFolderGivesPathMessageHidesAgreementRowAndAllowsALaterInstall)
{
    Installation setup;
    setup.tick();
    {
        DialogWatcher box(InstallProcedure::folderCaption, IDOK);
        setup.procedure.onInstallClicked();
        ASSERT_TRUE(box.answered());
        EXPECT_EQ(box.texts, std::vector<std::string>{InstallProcedure::folderMessage});
    }
    auto& elements = setup.elements.elements;
    for (E hidden : {E::AgreementCheck, E::AgreementLink, E::AgreementLinkHighlighted})
        EXPECT_FALSE(elements[hidden].visible);
    EXPECT_TRUE(elements[E::InstallButton].visible);
    EXPECT_FALSE(setup.procedure.hasStartedWorker());

    TempFolder parent;
    elements[E::FolderEdit].text = parent / "typed";  // no trailing "\"
    setup.procedure.onInstallClicked();
    ASSERT_TRUE(pumpUntil([&] { return setup.procedure.isWorkerFinished() && !setup.procedure.iconTimerInterval(); }));
    EXPECT_EQ(elements[E::FolderEdit].text, parent / "typed\\");
    EXPECT_TRUE(pathExists(parent / "typed\\fj.exe"));
    EXPECT_FALSE(pathExists(parent / "typedfj.exe"));
    EXPECT_TRUE(pathExists(parent / "typed\\Uninstall.dat"));
    setup.removeTraces();
}

TEST(InstallProcedure, InstallationRunsStagesOnTheWindowThreadAndLeavesEveryTrace)
{
    TempFolder folder(PRODUCT);
    Installation setup;
    setup.removeTraces();
    auto& elements = setup.elements.elements;
    elements[E::FolderEdit].text = folder.path();
    setup.tick();
    setup.procedure.onInstallClicked();
    for (E shown : {E::ProgressBar, E::StatusText})
        EXPECT_TRUE(elements[shown].visible);
    for (E hidden : {E::FolderEdit, E::FolderCaption, E::InstallButton, E::BrowseButton, E::AgreementCheck})
        EXPECT_FALSE(elements[hidden].visible);
    ASSERT_TRUE(pumpUntil([&] { return setup.procedure.isWorkerFinished() && !setup.procedure.iconTimerInterval(); }));

    EXPECT_EQ(setup.elements.otherThreadCalls, 0);
    EXPECT_EQ(setup.elements.positions, (std::vector<int>{0, 12, 25, 37, 50, 62, 75, 87, 100}));
    EXPECT_EQ(setup.elements.statusTexts,
              (std::vector<std::string>{"\xD5\xFD\xD4\xDA\xB2\xBF\xCA\xF0...", "\xD5\xFD\xD4\xDA\xB0\xB2\xD7\xB0..",
                                        "\xB3\xE5\xD1\xBC\xA3\xA1.....",
                                        "\xD5\xFD\xD4\xDA\xB4\xB4\xBD\xA8\xD7\xC0\xC3\xE6\xCD\xBC\xB1\xEA...",
                                        "\xCD\xEA\xB3\xC9\xB0\xB2\xD7\xB0"}));
    EXPECT_EQ(elements[E::StatusText].top, 300);
    EXPECT_EQ(elements[E::RunButton].top, 336);
    EXPECT_TRUE(elements[E::RunButton].visible);
    EXPECT_FALSE(elements[E::ProgressBar].visible);
    EXPECT_FALSE(pathExists(folder / "sj.zip"));

    const std::string programs = ProductRegistration::programsFolder(), desktop = ProductRegistration::desktopFolder();
    ASSERT_FALSE(programs.empty());
    const std::string list = folder.path() + "\r\n" + programs + PRODUCT "\r\n" + desktop + PRODUCT ".lnk\r\nfj.exe";
    EXPECT_EQ(readFile(folder / "Uninstall.dat"), list);
    EXPECT_EQ(setup.procedure.uninstallList(), list);
    for (const auto& link : ProductRegistration::shortcuts(programs, desktop, folder.path(), PRODUCT))
        EXPECT_TRUE(pathExists(link.link)) << link.link;
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);

    // Written once: a repeated report of the stage does not bring the deleted entry back.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::uninstallKey);
    elements[E::StatusText].text = "\xB3\xE5\xD1\xBC\xA3\xA1.....";
    setup.procedure.onExtractProgress(50);
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    setup.removeTraces();
}

TEST(InstallProcedure, SingleEntryReportsWriteNoUninstallEntry)
{
    Installation setup;
    TempFolder folder;
    setup.removeTraces();
    setup.elements.elements[E::FolderEdit].text = folder.path();
    for (int percent : {0, 100})
        setup.procedure.onExtractProgress(percent);
    HKEY key;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(setup.procedure.iconTimerInterval(), InstallProcedure::iconTimerDelay);
    setup.removeTraces();
}

TEST(InstallProcedure, BrowserStartsAtTheFolderTextAndCancelKeepsIt)
{
    Installation setup;
    auto& folder = setup.elements.elements[E::FolderEdit].text;
    folder = "C:\\windows";
    {
        DialogWatcher browser("", IDCANCEL);
        setup.procedure.onBrowseClicked();
        ASSERT_TRUE(browser.answered());
    }
    EXPECT_EQ(folder, "C:\\windows");
    EXPECT_EQ(setup.procedure.browseStartFolder(), "C:\\windows");
    DialogWatcher browser("", IDOK);
    setup.procedure.onBrowseClicked();
    ASSERT_TRUE(browser.answered());
    EXPECT_EQ(lstrcmpiA(folder.c_str(), "C:\\windows\\" PRODUCT "\\"), 0) << folder;
}

// Texts that name no folder the product can live in are answered like the empty one, and nothing is
// written: measured before, "abc\" installed relative to the current folder and "C:\\\" into C:\.
TEST(InstallProcedure, FolderTextsThatNameNoInstallFolderGiveThePathMessageAndWriteNothing)
{
    TempFolder current;
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(current.path().c_str());
    char windows[MAX_PATH], profile[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH);
    const std::string texts[] = {
        "abc\\", "D:abc", "C:", "C:\\", "C:\\\\\\", "\\\\server\\share\\fj\\", "C:\\a|b\\", "C:\\CON\\",
        std::string(windows) + "\\fj\\", std::string(profile) + "\\",
    };
    for (const std::string& text : texts) {
        Installation setup;
        setup.elements.elements[E::FolderEdit].text = text;
        setup.tick();
        DialogWatcher box(InstallProcedure::folderCaption, IDOK);
        setup.procedure.onInstallClicked();
        ASSERT_TRUE(box.answered()) << text;
        EXPECT_EQ(box.texts, std::vector<std::string>{InstallProcedure::folderMessage}) << text;
        EXPECT_FALSE(setup.procedure.hasStartedWorker()) << text;
        EXPECT_TRUE(setup.elements.elements[E::InstallButton].visible) << text;
    }
    SetCurrentDirectoryA(previous);
    EXPECT_FALSE(pathExists(current / "abc")) << "nothing relative to the current folder";
    EXPECT_FALSE(pathExists("C:\\fj.exe")) << "nothing in the drive's root";
    EXPECT_FALSE(pathExists("C:\\sj.zip"));
}

// A copy of the installer with one payload byte changed: nothing is made, and the status line says so.
TEST(InstallProcedure, DamagedPayloadSaysSoAndMakesNothing)
{
    const Bytes stored = payloadArchive();
    std::vector<std::uint8_t> damaged(stored.begin(), stored.end());
    damaged[damaged.size() / 3] ^= 0x20;
    TempFolder parent;
    Installation setup;
    setup.removeTraces();
    setup.procedure.setPayload(Bytes(damaged), payloadDigest());
    setup.install(parent / "fj\\");

    EXPECT_EQ(setup.procedure.failure(), InstallFailure::DamagedPayload);
    EXPECT_EQ(setup.status(), failureText(InstallFailure::DamagedPayload));
    EXPECT_TRUE(setup.elements.positions.empty()) << "the bar never moved";
    EXPECT_TRUE(setup.elements.elements[E::ProgressBar].visible);
    EXPECT_FALSE(setup.elements.elements[E::RunButton].visible);
    EXPECT_FALSE(pathExists(parent / "fj")) << "not even the folder";
    EXPECT_FALSE(hasEntry());
    setup.procedure.onCloseClicked();
    EXPECT_EQ(Installation::exitCodes, std::vector<UINT>{0});
}

// Each reason made real where the test bed can: the status line names it, the bar stops where it was, no
// run button, and the uninstall entry is as before this run (an earlier installation's comes back).
TEST(InstallProcedure, FailuresAreSaidWithTheBarStoppedAndTheEntryPutBack)
{
    TempFolder parent, outside;
    ASSERT_TRUE(writeFile(outside / "win.ini", "precious"));
    const struct {
        const char* what;
        std::function<void(const std::string& folder)> arrange;
        InstallFailure failure;
        std::vector<int> positions;
        bool earlierEntry;
    } cases[] = {
        {"a folder whose parent is missing", nullptr, InstallFailure::CannotWriteFolder, {}, false},
        {"a file held open by another program",
         [](const std::string& folder) {
             CreateDirectoryA(folder.c_str(), nullptr);
             writeFile(folder + "uninst.exe", "running");
         },
         InstallFailure::FileInUse, {0, 12, 25, 37, 50, 62}, true},
        {"Uninstall.dat planted as a link to a system file",
         [&](const std::string& folder) {
             CreateDirectoryA(folder.c_str(), nullptr);
             CreateHardLinkA((folder + "Uninstall.dat").c_str(), (outside / "win.ini").c_str(), nullptr);
         },
         InstallFailure::CannotWriteFolder, {0, 12, 25, 37, 50, 62, 75, 87, 100}, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string folder = c.arrange ? parent / ("case" + std::to_string(++n) + "\\") : parent / "no\\child\\";
        Installation setup;
        setup.removeTraces();
        if (c.earlierEntry)
            ProductRegistration::writeUninstallEntry("D:\\Earlier\\");
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.arrange) {
            c.arrange(folder);
            held = CreateFileA((folder + "uninst.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        }
        setup.install(folder);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);

        EXPECT_EQ(setup.procedure.failure(), c.failure) << c.what;
        EXPECT_EQ(setup.status(), failureText(c.failure)) << c.what;
        EXPECT_EQ(setup.elements.positions, c.positions) << c.what;
        EXPECT_FALSE(setup.elements.elements[E::RunButton].visible) << c.what;
        EXPECT_EQ(setup.procedure.iconTimerInterval(), 0u) << c.what << ": no shortcuts follow";
        if (c.earlierEntry)
            EXPECT_EQ(entryValue("UninstallString"), "D:\\Earlier\\uninst.exe") << c.what;
        else
            EXPECT_FALSE(hasEntry()) << c.what;
        setup.removeTraces();
    }
    EXPECT_EQ(readFile(outside / "win.ini"), "precious");
}

// A full disk cannot be had on the test bed: the worker's outcome is handed in as it would arrive.
TEST(InstallProcedure, FullDiskIsSaidAndTheEntryThisRunWroteIsRemoved)
{
    TempFolder folder;
    Installation setup;
    setup.removeTraces();
    setup.elements.elements[E::FolderEdit].text = folder.path();
    for (int percent : {0, 12, 25, 37})
        setup.procedure.onExtractProgress(percent);
    ASSERT_TRUE(hasEntry());
    setup.procedure.onExtractFinished(InstallFailure::DiskFull);
    EXPECT_EQ(setup.status(), failureText(InstallFailure::DiskFull));
    EXPECT_FALSE(hasEntry());
    setup.procedure.onExtractProgress(50);
    EXPECT_EQ(setup.elements.positions.back(), 37) << "the bar stays stopped";
}

// The run button lies over the install button and the installation takes a fraction of a second: the
// second press of a double click may reach "立即运行" before the shortcut timer.
TEST(InstallProcedure, RunRightAfterCompletionMakesTheShortcutsFirst)
{
    TempFolder folder(PRODUCT);
    Installation setup;
    setup.removeTraces();
    setup.install(folder.path());
    ASSERT_TRUE(setup.procedure.isComplete());
    ASSERT_NE(setup.procedure.iconTimerInterval(), 0u) << "the timer ran before the press";
    static std::vector<std::string> links;
    static std::vector<bool> presentAtStart;
    links.clear();
    presentAtStart.clear();
    for (const auto& link : ProductRegistration::shortcuts(ProductRegistration::programsFolder(),
                                                           ProductRegistration::desktopFolder(), folder.path(), PRODUCT))
        links.push_back(link.link);
    ProgramLauncher::throughShell = [](const std::wstring&, const std::wstring&) {
        for (const std::string& link : links)
            presentAtStart.push_back(pathExists(link));
        return true;
    };
    setup.procedure.onRunClicked();
    EXPECT_EQ(presentAtStart, std::vector<bool>(4, true));
    EXPECT_EQ(Installation::exitCodes, std::vector<UINT>{0});
    EXPECT_EQ(setup.procedure.iconTimerInterval(), 0u);
    setup.removeTraces();
}

// Ending before completion (close button, Alt+F4) takes back the entry this run wrote; after completion
// the shortcuts still due are made first.
TEST(InstallProcedure, EndingTakesBackAnUnfinishedEntryAndMakesDueShortcuts)
{
    TempFolder folder(PRODUCT);
    {
        Installation setup;
        setup.removeTraces();
        setup.elements.elements[E::FolderEdit].text = folder.path();
        for (int percent : {0, 12, 25})
            setup.procedure.onExtractProgress(percent);
        ASSERT_TRUE(hasEntry());
        setup.procedure.endInstaller();
        EXPECT_EQ(Installation::exitCodes, std::vector<UINT>{0});
        EXPECT_FALSE(hasEntry());
    }
    Installation setup;
    setup.install(folder.path());
    ASSERT_TRUE(setup.procedure.isComplete());
    setup.procedure.endInstaller();
    EXPECT_EQ(Installation::exitCodes, std::vector<UINT>{0});
    EXPECT_TRUE(hasEntry()) << "a complete installation keeps its entry";
    for (const auto& link : ProductRegistration::shortcuts(ProductRegistration::programsFolder(),
                                                           ProductRegistration::desktopFolder(), folder.path(), PRODUCT))
        EXPECT_TRUE(pathExists(link.link)) << link.link;
    setup.removeTraces();
}

namespace {

std::vector<std::wstring> shellAsked, plainAsked;

}  // namespace

// "立即运行" asks the desktop shell first (it runs as the user who started the installer) and starts the
// program plainly only when that fails; either way from its folder, never one in the current folder.
TEST(InstallProcedure, RunNowGoesThroughTheDesktopShellAndFallsBackToAPlainStart)
{
    TempFolder folder(PRODUCT), current;
    for (const std::string& copy : {folder / "fj.exe", current / "fj.exe"})
        ASSERT_TRUE(CopyFileA(thisProgram().c_str(), copy.c_str(), FALSE));
    Installation setup;
    setup.elements.elements[E::FolderEdit].text = folder.path();
    const std::wstring program = toWide(folder / "fj.exe"), programFolder = toWide(folder.path());

    shellAsked.clear();
    plainAsked.clear();
    ProgramLauncher::throughShell = [](const std::wstring& p, const std::wstring& f) {
        shellAsked = {p, f};
        return true;
    };
    ProgramLauncher::directly = [](const std::wstring& p, const std::wstring& f) {
        plainAsked = {p, f};
        return true;
    };
    EXPECT_TRUE(setup.procedure.startInstalledProgram());
    EXPECT_EQ(shellAsked, (std::vector<std::wstring>{program, programFolder}));
    EXPECT_TRUE(plainAsked.empty());

    // The shell cannot be asked: the plain start, for real, from the program's folder; then whichever way
    // this system offers. The copy finds its request beside it: the shell does not pass on this
    // process's environment.
    ProgramLauncher::throughShell = [](const std::wstring&, const std::wstring&) { return false; };
    ProgramLauncher::directly = &ProgramLauncher::startDirectly;
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    for (int way = 0; way < 2; ++way) {
        if (way == 1)
            ProgramLauncher::throughShell = [](const std::wstring& p, const std::wstring& f) {
                shellAsked = {ProgramLauncher::startThroughDesktopShell(p, f) ? L"started" : L"not offered"};
                return shellAsked[0] == L"started";
            };
        const std::string record = current / ("started" + std::to_string(way) + ".txt");
        ASSERT_TRUE(writeFile(folder / "fj.exe.probe", "record:" + record));
        SetCurrentDirectoryA(current.path().c_str());
        EXPECT_TRUE(setup.procedure.startInstalledProgram()) << way;
        SetCurrentDirectoryA(previous);
        ASSERT_TRUE(pumpUntil([&] { return readFile(record).value_or("").find('\n') != std::string::npos; })) << way;
        const std::string started = *readFile(record);
        const std::string path = started.substr(0, started.find('\n')), workingFolder = started.substr(started.find('\n') + 1);
        EXPECT_EQ(lstrcmpiA(path.c_str(), (folder / "fj.exe").c_str()), 0) << way << " " << path;
        EXPECT_EQ(lstrcmpiA(InstallFolder::withSeparator(workingFolder).c_str(), folder.path().c_str()), 0)
            << way << " " << workingFolder;
    }
    RecordProperty("desktop shell", toAnsi(shellAsked.empty() ? L"?" : shellAsked[0]));
    // The probes' files can go once they have exited.
    pumpUntil([&] { return DeleteFileA((folder / "fj.exe").c_str()) != FALSE; }, 10000);
}

namespace {

// An earlier installation in `folder` whose fj.exe (a lingering probe) runs, and a program of the same name
// elsewhere that runs too.
struct RunningEarlierInstallation {
    TempFolder folder{PRODUCT}, elsewhere;
    PROCESS_INFORMATION program{}, namesake{};

    RunningEarlierInstallation()
    {
        InstallWorker::extractPayload(folder.path(), payloadArchive(), payloadDigest(), nullptr);
        for (const std::string& copy : {folder / "fj.exe", elsewhere / "fj.exe"})
            CopyFileA(thisProgram().c_str(), copy.c_str(), FALSE);
        program = startProbe(folder / "fj.exe", "linger");
        namesake = startProbe(elsewhere / "fj.exe", "linger");
        pumpUntil([] { return false; }, 1000);  // their windows are up
    }
    ~RunningEarlierInstallation()
    {
        for (const PROCESS_INFORMATION& process : {program, namesake}) {
            TerminateProcess(process.hProcess, 0);
            WaitForSingleObject(process.hProcess, 5000);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    static bool runs(const PROCESS_INFORMATION& process) { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }
};

}  // namespace

// Installing over a running product: asked; on yes its program is closed (not the namesake elsewhere)
// and replaced by the payload's.
TEST(InstallProcedure, RunningProgramIsClosedOnYesAndReplaced)
{
    RunningEarlierInstallation earlier;
    ASSERT_TRUE(RunningEarlierInstallation::runs(earlier.program));
    Installation setup;
    setup.removeTraces();
    DialogWatcher box(InstallProcedure::folderCaption, IDYES);
    setup.install(earlier.folder.path());
    ASSERT_TRUE(box.answered());
    EXPECT_EQ(box.texts, std::vector<std::string>{InstallProcedure::runningMessage});
    EXPECT_TRUE(setup.procedure.isComplete());
    EXPECT_FALSE(RunningEarlierInstallation::runs(earlier.program));
    EXPECT_TRUE(RunningEarlierInstallation::runs(earlier.namesake));
    EXPECT_NE(readFile(earlier.folder / "fj.exe"), readFile(thisProgram())) << "replaced by the payload's";
    setup.removeTraces();
}

// On no nothing changes: the window stays choosing with its agreement row, the program runs on, nothing
// is written.
TEST(InstallProcedure, RefusingToCloseTheRunningProgramLeavesEverythingAsItWas)
{
    RunningEarlierInstallation earlier;
    Installation setup;
    setup.removeTraces();
    setup.elements.elements[E::FolderEdit].text = earlier.folder.path();
    setup.tick();
    const auto before = setup.elements.elements;
    DialogWatcher box(InstallProcedure::folderCaption, IDNO);
    setup.procedure.onInstallClicked();
    ASSERT_TRUE(box.answered());
    EXPECT_TRUE(setup.elements.elements == before);
    EXPECT_FALSE(setup.procedure.hasStartedWorker());
    EXPECT_TRUE(RunningEarlierInstallation::runs(earlier.program));
    EXPECT_EQ(readFile(earlier.folder / "fj.exe"), readFile(thisProgram()));
    EXPECT_FALSE(hasEntry());
    EXPECT_FALSE(pathExists(earlier.folder / "Uninstall.dat"));
}

// The archive and its unpacked files must fit on the volume together; a small volume figure (through the
// seam) gives the message with the megabytes needed, and the window stays choosing.
TEST(InstallProcedure, TooLittleDiskSpaceSaysHowMuchIsNeededAndStaysChoosing)
{
    TempFolder parent;
    Installation setup;
    InstallFolder::diskFreeSpace = [](LPCWSTR, PULARGE_INTEGER available, PULARGE_INTEGER, PULARGE_INTEGER) WINAPI {
        available->QuadPart = 3 << 20;
        return TRUE;
    };
    setup.elements.elements[E::FolderEdit].text = parent / "fj\\";
    setup.tick();
    const auto before = setup.elements.elements;
    DialogWatcher box(InstallProcedure::folderCaption, IDOK);
    setup.procedure.onInstallClicked();
    ASSERT_TRUE(box.answered());
    const std::uint64_t needed = payloadArchive().size() + PayloadContents::read(payloadArchive())->unpackedSize();
    EXPECT_EQ(box.texts, std::vector<std::string>{"\xB4\xC5\xC5\xCC\xBF\xD5\xBC\xE4\xB2\xBB\xD7\xE3\xA3\xAC\xD0\xE8\xD2\xAA " +
                                                  std::to_string((needed + (1 << 20) - 1) >> 20) + " MB"});
    EXPECT_TRUE(setup.elements.elements == before);
    EXPECT_FALSE(setup.procedure.hasStartedWorker());
    EXPECT_FALSE(pathExists(parent / "fj"));
}
