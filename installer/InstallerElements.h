#pragma once
// What the install procedure needs of the installer window: the few properties it reads and sets on
// its elements. The window implements this over its engine controls and platform labels.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "AgreementBox.h"
#include "Forward.h"

enum class InstallerElement {
    FolderEdit,
    ProgressBar,
    InstallButton,
    BrowseButton,
    RunButton,
    AgreementLink,             // the first, normal link text
    AgreementLinkHighlighted,  // the second one, shown while the mouse is over the link
    AgreementCheck,
    AgreementPanel,
    StatusText,     // platform label
    FolderCaption,  // platform label
};

// Accessors set when given a value and always answer the current one.
class InstallerElements {
public:
    virtual ~InstallerElements() = default;

    // The top-level window: owner of the folder browser and of the icon timer.
    virtual HWND window() = 0;
    virtual ControlHandle handle(InstallerElement element) = 0;
    virtual bool visible(InstallerElement element, std::optional<bool> value = std::nullopt) = 0;
    virtual bool disabled(InstallerElement element, std::optional<bool> value = std::nullopt) = 0;
    virtual float top(InstallerElement element, std::optional<float> value = std::nullopt) = 0;
    // The text of FolderEdit, the caption of StatusText (GBK).
    virtual std::string text(InstallerElement element, std::optional<std::string> value = std::nullopt) = 0;
    // ProgressBar's position, 0-100.
    virtual int progressPosition(std::optional<int> value = std::nullopt) = 0;
    // A button's picture set and a copy of its first picture's bytes.
    virtual void setPictures(InstallerElement element, const PictureSet& pictures) = 0;
    virtual std::vector<std::uint8_t> firstPicture(InstallerElement element) = 0;
};
