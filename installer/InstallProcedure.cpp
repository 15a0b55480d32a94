// Sections: set-up · folder · agreement · install · checks before writing · progress · completion ·
// failure · shortcuts · run · end
#include "InstallProcedure.h"

#include "InstallFolder.h"
#include "InstallLog.h"
#include "InstallWorker.h"
#include "PayloadContents.h"
#include "ProductTexts.h"
#include "ProgramLauncher.h"
#include "ProgressStages.h"
#include "Resources.h"
#include "RunningPrograms.h"
#include "Text.h"

using Element = InstallerElement;

void(WINAPI* InstallProcedure::exitProcess)(UINT code) = &ExitProcess;

namespace {

InstallLog noLog;  // never opened: writes nothing

constexpr std::uint64_t megabyte = 1 << 20;

}  // namespace

InstallProcedure::InstallProcedure(InstallerElements& elements, RunMode mode, InstallLog* log)
    : elements_(elements),
      mode_(mode),
      log_(log ? *log : noLog),
      relay_([this](int percent) { onExtractProgress(percent); },
             [this](int failure) { onExtractFinished(static_cast<InstallFailure>(failure)); }),
      archive_(payloadArchive()),
      digest_(payloadDigest())
{
}

void InstallProcedure::setPayload(Bytes archive, Bytes digest)
{
    archive_ = archive;
    digest_ = digest;
}

InstallProcedure::~InstallProcedure()
{
    setIconTimerInterval(0);
    // A worker waiting on a report gets an unhandled answer and runs to its end.
    relay_.close();
    worker_.reset();
}

std::string InstallProcedure::folderText()
{
    return elements_.text(Element::FolderEdit);
}

void InstallProcedure::setDefaultFolder()
{
    const std::string folder = InstallFolder::defaultFolder();
    if (!folder.empty())
        elements_.text(Element::FolderEdit, folder);
}

void InstallProcedure::presetFolder(const std::string& folder)
{
    elements_.text(Element::FolderEdit, folder);
}

void InstallProcedure::onCloseClicked()
{
    endInstaller();
}

void InstallProcedure::onBrowseClicked()
{
    browseStartFolder_ = folderText();
    const std::string folder = InstallFolder::fromBrowseResult(InstallFolder::browse(elements_.window(), browseStartFolder_));
    if (!folder.empty())
        elements_.text(Element::FolderEdit, folder);
}

bool InstallProcedure::isAgreementTicked()
{
    const std::vector<std::uint8_t> first = elements_.firstPicture(Element::AgreementCheck);
    return !AgreementBox::isUnticked(first);
}

void InstallProcedure::onAgreementCheckClicked()
{
    if (!isAgreementTicked()) {
        elements_.setPictures(Element::AgreementCheck, AgreementBox::pictures(AgreementBox::Moment::ClickedToTicked));
        elements_.disabled(Element::RunButton, false);
        elements_.visible(Element::AgreementPanel, false);
    } else {
        elements_.setPictures(Element::AgreementCheck, AgreementBox::pictures(AgreementBox::Moment::ClickedToUnticked));
        elements_.disabled(Element::RunButton, true);
    }
}

void InstallProcedure::onAgreementLinkClicked()
{
    if (isAgreementTicked())
        return;
    elements_.visible(Element::AgreementPanel, !elements_.visible(Element::AgreementPanel));
}

void InstallProcedure::onHoverEnter(ControlHandle handle)
{
    if (handle && handle == elements_.handle(Element::AgreementLink)) {
        elements_.visible(Element::AgreementLink, false);
        elements_.visible(Element::AgreementLinkHighlighted, true);
    }
    applyHoverPictures(handle);
}

void InstallProcedure::onHoverLeave(ControlHandle handle)
{
    if (handle && handle == elements_.handle(Element::AgreementLinkHighlighted)) {
        elements_.visible(Element::AgreementLinkHighlighted, false);
        elements_.visible(Element::AgreementLink, true);
    }
    applyHoverPictures(handle);
}

void InstallProcedure::applyHoverPictures(ControlHandle handle)
{
    if (!handle || handle != elements_.handle(Element::AgreementCheck))
        return;
    const std::vector<std::uint8_t> first = elements_.firstPicture(Element::AgreementCheck);
    if (AgreementBox::showsTicked(first))
        elements_.setPictures(Element::AgreementCheck, AgreementBox::pictures(AgreementBox::Moment::HoverWhileTicked));
    else if (AgreementBox::isUnticked(first))
        elements_.setPictures(Element::AgreementCheck, AgreementBox::pictures(AgreementBox::Moment::HoverWhileUnticked));
}

void InstallProcedure::installSilently()
{
    if (!isAgreementTicked())
        onAgreementCheckClicked();
    onInstallClicked();
}

void InstallProcedure::onInstallClicked()
{
    if (!isAgreementTicked()) {
        refuse(agreementMessage, agreementCaption, SilentExit::BadArgument);
        return;
    }
    std::string folder = folderText();
    // A text that names no folder the product can live in is answered like the empty one: relative and
    // drive-relative texts, drive roots, UNC paths, system places, reparse points.
    if (!InstallFolder::isAcceptable(folder)) {
        log_.write("install folder \"" + folder + "\"", "refused: no folder the product can be installed into");
        refuse(folderMessage, folderCaption, SilentExit::BadArgument);
    } else if (!worker_) {
        // Every file name is appended to the folder text; without the "\" the files would land beside
        // the folder ("C:\Gamesfj.exe") while the unpacked ones go inside it.
        if (!InstallFolder::endsWithSeparator(folder)) {
            folder = InstallFolder::withSeparator(folder);
            elements_.text(Element::FolderEdit, folder);
        }
        log_.write("install folder " + folder, "accepted");
        // A refusal keeps the choosing state, agreement row and all.
        if (!isReadyToInstall(folder))
            return;
        showInstallingState();
        // The worker checks the payload before it makes the folder or writes anything.
        worker_ = std::make_unique<InstallWorker>(
            folder, archive_, digest_, [this](int percent) { relay_.deliver(percent); },
            [this](InstallFailure failure) { relay_.deliverFinished(static_cast<int>(failure)); }, &log_);
    }
    elements_.visible(Element::AgreementCheck, false);
    elements_.visible(Element::AgreementLink, false);
    elements_.visible(Element::AgreementLinkHighlighted, false);
}

void InstallProcedure::refuse(const std::string& message, const char* caption, SilentExit code)
{
    if (mode_ == RunMode::Silent)
        endInstaller(code);
    else
        MessageBoxA(nullptr, message.c_str(), caption, MB_OK | MB_TASKMODAL);
}

void InstallProcedure::showInstallingState()
{
    elements_.visible(Element::ProgressBar, true);
    elements_.visible(Element::FolderEdit, false);
    elements_.visible(Element::FolderCaption, false);
    elements_.visible(Element::StatusText, true);
    elements_.visible(Element::InstallButton, false);
    elements_.visible(Element::BrowseButton, false);
}

// ---- checks before writing ----

bool InstallProcedure::isReadyToInstall(const std::string& folder)
{
    // An archive that cannot even be listed is damaged: the worker's check says so.
    const std::optional<PayloadContents> contents = PayloadContents::read(archive_);
    if (!contents)
        return true;
    return hasRoomFor(folder, *contents) && closeRunningProduct(folder, *contents);
}

std::string InstallProcedure::spaceMessage(std::uint64_t neededBytes)
{
    return "\xB4\xC5\xC5\xCC\xBF\xD5\xBC\xE4\xB2\xBB\xD7\xE3\xA3\xAC\xD0\xE8\xD2\xAA " +  // 磁盘空间不足，需要
           std::to_string((neededBytes + megabyte - 1) / megabyte) + " MB";
}

bool InstallProcedure::hasRoomFor(const std::string& folder, const PayloadContents& contents)
{
    // "sj.zip" and the files unpacked from it are on the volume together.
    const std::uint64_t needed = archive_.size() + contents.unpackedSize();
    const std::optional<std::uint64_t> free = InstallFolder::freeSpace(folder);
    const std::string figures = std::to_string(needed) + " bytes needed, " +
                                (free ? std::to_string(*free) + " free" : std::string("free space unknown"));
    if (!free || *free >= needed) {
        log_.write("disk space", figures);
        return true;
    }
    log_.write("disk space", "not enough: " + figures);
    refuse(spaceMessage(needed), folderCaption, SilentExit::NoDiskSpace);
    return false;
}

bool InstallProcedure::closeRunningProduct(const std::string& folder, const PayloadContents& contents)
{
    std::vector<std::wstring> images;
    for (const PayloadContents::File& file : contents.files)
        images.push_back(toWide(folder) + file.name);
    RunningPrograms running(images);
    if (running.isEmpty()) {
        log_.write("running programs", "none");
        return true;
    }
    log_.write("running programs", running.describe());
    if (mode_ == RunMode::Interactive &&
        MessageBoxA(nullptr, runningMessage, folderCaption, MB_YESNO | MB_TASKMODAL) != IDYES) {
        log_.write("close running programs", "declined");
        return false;
    }
    if (running.close()) {
        log_.write("close running programs", "closed");
        return true;
    }
    log_.write("close running programs", "some could not be closed");
    // Interactive, the installation goes on and says so when a file is still in use.
    if (mode_ == RunMode::Silent) {
        endInstaller(SilentExit::FilesInUse);
        return false;
    }
    return true;
}

bool InstallProcedure::isWorkerFinished() const
{
    return worker_ && worker_->isFinished();
}

void InstallProcedure::onExtractProgress(int percent)
{
    // Ended or failed, reports still on their way change nothing.
    if (failure_ != InstallFailure::None || hasEnded_)
        return;
    elements_.progressPosition(percent);
    const ProgressStages::Stage stage = ProgressStages::stageOf(percent);
    if (const char* text = ProgressStages::statusText(stage)) {
        if (elements_.text(Element::StatusText) == text)
            return;
        elements_.text(Element::StatusText, text);
        if (stage == ProgressStages::Stage::Registering) {
            savedEntry_ = ProductRegistration::saveUninstallEntry();
            ProductRegistration::writeUninstallEntry(folderText());
            log_.write("uninstall entry", "written");
        }
    } else if (elements_.progressPosition() == 100 && !isComplete_) {
        completeInstallation();
    }
}

void InstallProcedure::onExtractFinished(InstallFailure failure)
{
    if (failure != InstallFailure::None)
        failInstallation(failure);
}

void InstallProcedure::completeInstallation()
{
    programsFolder_ = ProductRegistration::programsFolder();
    productName_ = product::name;
    if (!programsFolder_.empty())
        ProductRegistration::makeFolderPath(programsFolder_ + productName_);
    const std::string folder = folderText();
    const UninstallList list =
        ProductRegistration::uninstallList(folder, programsFolder_, ProductRegistration::desktopFolder());
    uninstallList_ = list.bytes();
    if (!ProductRegistration::writeUninstallList(folder, list)) {
        const DWORD error = GetLastError();
        log_.write("write " + folder + product::uninstallListFile, "failed", error);
        failInstallation(failureFromError(error));
        return;
    }
    log_.write("write " + folder + product::uninstallListFile, "done");
    completeRegistration(folder);
    isComplete_ = true;
    setIconTimerInterval(iconTimerDelay);
    elements_.visible(Element::ProgressBar, false);
    elements_.text(Element::StatusText, ProgressStages::finishedText);
    elements_.top(Element::StatusText, 300);
    elements_.top(Element::RunButton, 336);
    elements_.visible(Element::RunButton, true);
}

void InstallProcedure::completeRegistration(const std::string& folder)
{
    // Only an entry this run wrote is completed (an archive of one entry writes none).
    if (!savedEntry_)
        return;
    const std::uint64_t installed = (worker_ ? worker_->bytesWritten() : 0) + uninstallList_.size();
    SYSTEMTIME today;
    GetLocalTime(&today);
    ProductRegistration::writeValues(ProductRegistration::completionValues(folder, installed, today));
    log_.write("uninstall entry", "completed, " + std::to_string(installed) + " bytes installed");
}

// ---- failure ----

void InstallProcedure::failInstallation(InstallFailure failure)
{
    if (failure == InstallFailure::None || failure_ != InstallFailure::None)
        return;
    failure_ = failure;
    log_.write("installation", failureText(failure));
    setIconTimerInterval(0);
    restoreUninstallEntry();
    elements_.visible(Element::RunButton, false);
    elements_.text(Element::StatusText, failureText(failure));
    elements_.visible(Element::StatusText, true);
    if (mode_ == RunMode::Silent)
        endInstaller(silentExitOf(failure));
}

void InstallProcedure::restoreUninstallEntry()
{
    if (savedEntry_)
        ProductRegistration::restoreUninstallEntry(*savedEntry_);
    savedEntry_.reset();
}

// ---- shortcuts ----

void InstallProcedure::setIconTimerInterval(UINT milliseconds)
{
    // The procedure's address is the timer id: unique beside the controls' timers on the same window.
    const auto id = reinterpret_cast<UINT_PTR>(this);
    if (iconTimerInterval_ && !milliseconds)
        KillTimer(timerWindow_, id);
    if (milliseconds) {
        timerWindow_ = elements_.window();
        SetTimer(timerWindow_, id, milliseconds, &InstallProcedure::iconTimerTick);
    }
    iconTimerInterval_ = milliseconds;
}

void CALLBACK InstallProcedure::iconTimerTick(HWND, UINT, UINT_PTR id, DWORD)
{
    reinterpret_cast<InstallProcedure*>(id)->onIconTimer();
}

void InstallProcedure::onIconTimer()
{
    setIconTimerInterval(0);
    // A shortcut file refused (a link planted in its place) fails the installation; one the shell could
    // not make is left out, as before.
    const auto logged = [this](const ProductRegistration::Shortcut& shortcut, ProductRegistration::LinkResult result) {
        using Result = ProductRegistration::LinkResult;
        log_.write("shortcut " + shortcut.link,
                   result == Result::Saved ? "made" : result == Result::NotMade ? "not made" : "refused");
    };
    if (!ProductRegistration::createShortcuts(ProductRegistration::shortcuts(ProductRegistration::programsFolder(),
                                                                             ProductRegistration::desktopFolder(),
                                                                             folderText(), productName_),
                                              logged))
        failInstallation(failureFromError(GetLastError()));
    else if (mode_ == RunMode::Silent)
        endInstaller(SilentExit::Success);
}

void InstallProcedure::makeDueShortcuts()
{
    if (iconTimerInterval_)
        onIconTimer();
}

// ---- run ----

bool InstallProcedure::startInstalledProgram()
{
    const std::string folder = folderText();
    const std::string program = folder + product::programFile;
    if (!InstallFolder::exists(program))
        return false;
    ProgramLauncher::start(toWide(program), toWide(folder));
    return true;
}

void InstallProcedure::onRunClicked()
{
    // The second press of a double click on "极速安装" may land here before the shortcut timer.
    makeDueShortcuts();
    if (failure_ == InstallFailure::None && startInstalledProgram())
        exitProcess(0);
}

// ---- end ----

void InstallProcedure::interrupt()
{
    log_.write("installation", "interrupted");
    endInstaller(isComplete_ ? SilentExit::Success : SilentExit::Interrupted);
}

void InstallProcedure::endInstaller(SilentExit code)
{
    // Once: the exit does not come back, but a test's stand-in does.
    if (hasEnded_)
        return;
    hasEnded_ = true;
    if (isComplete_)
        makeDueShortcuts();
    else
        restoreUninstallEntry();
    // A shortcut refused just now fails the installation after all.
    if (failure_ != InstallFailure::None && code == SilentExit::Success)
        code = silentExitOf(failure_);
    const UINT exitCode = mode_ == RunMode::Silent ? static_cast<UINT>(code) : 0;
    log_.write("end", "exit code " + std::to_string(exitCode));
    exitProcess(exitCode);
}
