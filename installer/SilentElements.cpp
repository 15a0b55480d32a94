#include "SilentElements.h"

#include "ProgressStages.h"

namespace {

template <class T>
T access(T& field, std::optional<T> value)
{
    if (value)
        field = *value;
    return field;
}

}  // namespace

SilentElements::SilentElements()
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &SilentElements::windowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = windowClass;
    RegisterClassExA(&wc);  // already registered is fine
    // Top-level, never shown: a message-only window would hear neither the session's end nor a close
    // message sent to the process's windows.
    window_ = CreateWindowExA(0, windowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    if (window_)
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    using E = InstallerElement;
    for (E hidden : {E::ProgressBar, E::RunButton, E::AgreementLinkHighlighted, E::AgreementPanel, E::StatusText})
        elements[hidden].visible = false;
    for (E shown : {E::FolderEdit, E::InstallButton, E::BrowseButton, E::AgreementLink, E::AgreementCheck, E::FolderCaption})
        elements[shown].visible = true;
    elements[E::StatusText].text = ProgressStages::installingText;
    elements[E::StatusText].top = 373;
    elements[E::RunButton].top = 356;
    setPictures(E::AgreementCheck, AgreementBox::pictures(AgreementBox::Moment::Creation));
}

SilentElements::~SilentElements()
{
    if (window_) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

LRESULT CALLBACK SilentElements::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<SilentElements*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    const bool interrupted = message == WM_CLOSE || (message == WM_ENDSESSION && wParam);
    if (interrupted && self && self->onInterrupted) {
        self->onInterrupted();
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

ControlHandle SilentElements::handle(InstallerElement element)
{
    return 0x1000 + 4 * static_cast<ControlHandle>(element);
}

bool SilentElements::visible(InstallerElement element, std::optional<bool> value)
{
    return access(at(element).visible, value);
}

bool SilentElements::disabled(InstallerElement element, std::optional<bool> value)
{
    return access(at(element).disabled, value);
}

float SilentElements::top(InstallerElement element, std::optional<float> value)
{
    return access(at(element).top, value);
}

std::string SilentElements::text(InstallerElement element, std::optional<std::string> value)
{
    return access(at(element).text, std::move(value));
}

int SilentElements::progressPosition(std::optional<int> value)
{
    at(InstallerElement::ProgressBar);
    return access(position, value);
}

void SilentElements::setPictures(InstallerElement element, const PictureSet& pictures)
{
    Properties& properties = at(element);
    for (size_t i = 0; i < pictures.size(); ++i)
        if (pictures[i])
            properties.pictures[i].assign(pictures[i]->begin(), pictures[i]->end());
}

std::vector<std::uint8_t> SilentElements::firstPicture(InstallerElement element)
{
    return at(element).pictures[0];
}
