// Sections: set-up · folder · agreement · install · progress · completion · failure · shortcuts · run · end
#include "InstallProcedure.h"

#include "InstallFolder.h"
#include "InstallWorker.h"
#include "ProductTexts.h"
#include "ProgramLauncher.h"
#include "ProgressStages.h"
#include "Resources.h"
#include "Text.h"

using Element = InstallerElement;

void(WINAPI* InstallProcedure::exitProcess)(UINT code) = &ExitProcess;

InstallProcedure::InstallProcedure(InstallerElements& elements)
    : elements_(elements),
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

void InstallProcedure::onInstallClicked()
{
    if (!isAgreementTicked()) {
        MessageBoxA(nullptr, agreementMessage, agreementCaption, MB_OK | MB_TASKMODAL);
        return;
    }
    std::string folder = folderText();
    // A text that names no folder the product can live in is answered like the empty one: relative and
    // drive-relative texts, drive roots, UNC paths, system places, reparse points.
    if (!InstallFolder::isAcceptable(folder)) {
        MessageBoxA(nullptr, folderMessage, folderCaption, MB_OK | MB_TASKMODAL);
    } else if (!worker_) {
        // Every file name is appended to the folder text; without the "\" the files would land beside
        // the folder ("C:\Gamesfj.exe") while the unpacked ones go inside it.
        if (!InstallFolder::endsWithSeparator(folder)) {
            folder = InstallFolder::withSeparator(folder);
            elements_.text(Element::FolderEdit, folder);
        }
        showInstallingState();
        // The worker checks the payload before it makes the folder or writes anything.
        worker_ = std::make_unique<InstallWorker>(
            folder, archive_, digest_, [this](int percent) { relay_.deliver(percent); },
            [this](InstallFailure failure) { relay_.deliverFinished(static_cast<int>(failure)); });
    }
    elements_.visible(Element::AgreementCheck, false);
    elements_.visible(Element::AgreementLink, false);
    elements_.visible(Element::AgreementLinkHighlighted, false);
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

bool InstallProcedure::isWorkerFinished() const
{
    return worker_ && worker_->isFinished();
}

void InstallProcedure::onExtractProgress(int percent)
{
    if (failure_ != InstallFailure::None)
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
        failInstallation(failureFromError(GetLastError()));
        return;
    }
    isComplete_ = true;
    setIconTimerInterval(iconTimerDelay);
    elements_.visible(Element::ProgressBar, false);
    elements_.text(Element::StatusText, ProgressStages::finishedText);
    elements_.top(Element::StatusText, 300);
    elements_.top(Element::RunButton, 336);
    elements_.visible(Element::RunButton, true);
}

// ---- failure ----

void InstallProcedure::failInstallation(InstallFailure failure)
{
    if (failure == InstallFailure::None || failure_ != InstallFailure::None)
        return;
    failure_ = failure;
    setIconTimerInterval(0);
    restoreUninstallEntry();
    elements_.visible(Element::RunButton, false);
    elements_.text(Element::StatusText, failureText(failure));
    elements_.visible(Element::StatusText, true);
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
    if (!ProductRegistration::createShortcuts(ProductRegistration::shortcuts(
            ProductRegistration::programsFolder(), ProductRegistration::desktopFolder(), folderText(), productName_)))
        failInstallation(failureFromError(GetLastError()));
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

void InstallProcedure::endInstaller()
{
    // Once: the exit does not come back, but a test's stand-in does.
    if (hasEnded_)
        return;
    hasEnded_ = true;
    if (isComplete_)
        makeDueShortcuts();
    else
        restoreUninstallEntry();
    exitProcess(0);
}
