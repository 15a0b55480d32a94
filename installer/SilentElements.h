#pragma once
// The installer window's elements without a window on screen, for a silent run: each keeps its
// properties in fields, starting as the window starts, so the install procedure runs unchanged. A hidden
// top-level window owns the procedure's timer and hears the close message and the session's end.
#include <windows.h>

#include <functional>
#include <map>

#include "InstallerElements.h"

class SilentElements : public InstallerElements {
public:
    SilentElements();
    ~SilentElements() override;
    SilentElements(const SilentElements&) = delete;
    SilentElements& operator=(const SilentElements&) = delete;

    HWND window() override { return window_; }
    ControlHandle handle(InstallerElement element) override;
    bool visible(InstallerElement element, std::optional<bool> value = std::nullopt) override;
    bool disabled(InstallerElement element, std::optional<bool> value = std::nullopt) override;
    float top(InstallerElement element, std::optional<float> value = std::nullopt) override;
    std::string text(InstallerElement element, std::optional<std::string> value = std::nullopt) override;
    int progressPosition(std::optional<int> value = std::nullopt) override;
    void setPictures(InstallerElement element, const PictureSet& pictures) override;
    std::vector<std::uint8_t> firstPicture(InstallerElement element) override;

    struct Properties {
        bool visible = true;
        bool disabled = false;
        float top = 0;
        std::string text;
        std::vector<std::vector<std::uint8_t>> pictures = std::vector<std::vector<std::uint8_t>>(4);
        bool operator==(const Properties&) const = default;
    };
    std::map<InstallerElement, Properties> elements;
    int position = 0;

    // Runs when the hidden window gets WM_CLOSE, or the session ends.
    std::function<void()> onInterrupted;

    static constexpr const char* windowClass = "FeijingSilentSetup";

protected:
    // Every property goes through here.
    virtual Properties& at(InstallerElement element) { return elements[element]; }

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
};
