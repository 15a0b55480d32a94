#include <gtest/gtest.h>

#include "InstallProcedure.h"
#include "InstallerTestSupport.h"
#include "ProductRegistration.h"
#include "ProductTexts.h"

using namespace testing_support;
using E = InstallerElement;

#define PRODUCT "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7"  // 飞鲸网游加速器

namespace {

struct Installation {
    FakeElements elements;
    InstallProcedure procedure{elements};

    void tick() { procedure.onAgreementCheckClicked(); }
    void removeTraces()
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::uninstallKey);
        for (const auto& link : ProductRegistration::shortcuts(ProductRegistration::programsFolder(),
                                                               ProductRegistration::desktopFolder(), "", PRODUCT))
            DeleteFileA(link.link.c_str());
        RemoveDirectoryA((ProductRegistration::programsFolder() + PRODUCT).c_str());
    }
};

}  // namespace

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

TEST(InstallProcedure, RunNowStartsTheProgramOfTheFolderNotOneInTheCurrentFolder)
{
    TempFolder folder(PRODUCT), current;
    Installation setup;
    setup.elements.elements[E::FolderEdit].text = folder.path();
    EXPECT_FALSE(setup.procedure.startInstalledProgram()) << "no program yet";

    for (const std::string& copy : {folder / "fj.exe", current / "fj.exe"})
        ASSERT_TRUE(CopyFileA(thisProgram().c_str(), copy.c_str(), FALSE));
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(current.path().c_str());
    SetEnvironmentVariableA(probeVariable, ("record:" + (current / "started.txt")).c_str());
    EXPECT_TRUE(setup.procedure.startInstalledProgram());
    SetEnvironmentVariableA(probeVariable, nullptr);
    SetCurrentDirectoryA(previous);
    ASSERT_TRUE(pumpUntil([&] { return readFile(current / "started.txt").value_or("").ends_with(".exe"); }));
    EXPECT_EQ(lstrcmpiA(readFile(current / "started.txt")->c_str(), (folder / "fj.exe").c_str()), 0);
    // The probe's file can go once the probe has exited.
    pumpUntil([&] { return DeleteFileA((folder / "fj.exe").c_str()) != FALSE; }, 10000);
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
