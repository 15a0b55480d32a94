// Sections: set-up · folder · agreement · install · progress · completion · shortcuts · run
#include "InstallProcedure.h"

#include <shellapi.h>

#include "InstallFolder.h"
#include "InstallWorker.h"
#include "ProductRegistration.h"
#include "ProductTexts.h"
#include "ProgressStages.h"
#include "Resources.h"
#include "SystemDll.h"

using Element = InstallerElement;

InstallProcedure::InstallProcedure(InstallerElements& elements)
    : elements_(elements), relay_([this](int percent) { onExtractProgress(percent); })
{
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
    ExitProcess(0);
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
    if (folder.empty()) {
        MessageBoxA(nullptr, folderMessage, folderCaption, MB_OK | MB_TASKMODAL);
    } else if (!worker_) {
        // Every file name is appended to the folder text; without the "\" the files would land beside
        // the folder ("C:\Gamesfj.exe") while the unpacked ones go inside it.
        if (!InstallFolder::endsWithSeparator(folder)) {
            folder = InstallFolder::withSeparator(folder);
            elements_.text(Element::FolderEdit, folder);
        }
        InstallFolder::createIfMissing(folder);
        showInstallingState();
        worker_ = std::make_unique<InstallWorker>(folder, payloadArchive(),
                                                  [this](int percent) { relay_.deliver(percent); });
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
    elements_.progressPosition(percent);
    const ProgressStages::Stage stage = ProgressStages::stageOf(percent);
    if (const char* text = ProgressStages::statusText(stage)) {
        if (elements_.text(Element::StatusText) == text)
            return;
        elements_.text(Element::StatusText, text);
        if (stage == ProgressStages::Stage::Registering)
            ProductRegistration::writeUninstallEntry(folderText());
    } else if (elements_.progressPosition() == 100) {
        completeInstallation();
    }
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
    ProductRegistration::writeUninstallList(folder, list);
    setIconTimerInterval(iconTimerDelay);
    elements_.visible(Element::ProgressBar, false);
    elements_.text(Element::StatusText, ProgressStages::finishedText);
    elements_.top(Element::StatusText, 300);
    elements_.top(Element::RunButton, 336);
    elements_.visible(Element::RunButton, true);
}

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
    ProductRegistration::createShortcuts(ProductRegistration::shortcuts(
        ProductRegistration::programsFolder(), ProductRegistration::desktopFolder(), folderText(), productName_));
}

bool InstallProcedure::startInstalledProgram()
{
    const std::string folder = folderText();
    const std::string program = folder + product::programFile;
    if (!InstallFolder::exists(program))
        return false;
    // The full path: a bare "fj.exe" would be looked up in the current folder first, typically the
    // Downloads folder this elevated installer was started from.
    if (const auto execute = BOUND_PROC(SystemDll::Shell32, decltype(&ShellExecuteA), "ShellExecuteA"))
        execute(nullptr, "open", program.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
    return true;
}

void InstallProcedure::onRunClicked()
{
    if (startInstalledProgram())
        ExitProcess(0);
}
