// Sections: input context · characters
#include "EditInputMethod.h"

#include "SystemDll.h"

namespace {

constexpr unsigned firstTyped = 28, lastTyped = 126;  // below: control characters; 127: DEL

bool isGbkLead(unsigned byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

bool isGbkTrail(unsigned byte)
{
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

std::string typedAscii(unsigned code)
{
    return code >= firstTyped && code <= lastTyped ? std::string(1, static_cast<char>(code)) : std::string();
}

}  // namespace

// ---- input context ----

void EditInputMethod::switchOff(HWND window)
{
    const auto getContext = BOUND_PROC(SystemDll::Imm, HIMC(WINAPI*)(HWND), "ImmGetContext");
    const auto associate = BOUND_PROC(SystemDll::Imm, HIMC(WINAPI*)(HWND, HIMC), "ImmAssociateContext");
    if (!getContext || !associate || savedContext_)
        return;
    if (HIMC context = getContext(window)) {
        associate(window, nullptr);
        savedContext_ = context;
    }
}

void EditInputMethod::switchOn(HWND window)
{
    const auto associate = BOUND_PROC(SystemDll::Imm, HIMC(WINAPI*)(HWND, HIMC), "ImmAssociateContext");
    if (associate && savedContext_)
        associate(window, savedContext_);
    savedContext_ = nullptr;
}

// ---- characters ----

std::string EditInputMethod::takeCharacter(unsigned code, bool isUnicodeWindow)
{
    if (isUnicodeWindow) {
        pendingLead_ = 0;
        if (code < 0x80)
            return typedAscii(code);
        // Surrogates name characters beyond any that GBK holds.
        if (code > 0xFFFF || (code >= 0xD800 && code <= 0xDFFF))
            return {};
        const wchar_t unit = static_cast<wchar_t>(code);
        char bytes[4] = {};
        BOOL isDefaultUsed = FALSE;
        const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &unit, 1, bytes, sizeof bytes, nullptr,
                                             &isDefaultUsed);
        if (size <= 0 || isDefaultUsed)
            return {};
        return std::string(bytes, static_cast<size_t>(size));
    }
    if (pendingLead_) {
        const unsigned lead = pendingLead_;
        pendingLead_ = 0;
        if (isGbkTrail(code))
            return std::string{static_cast<char>(lead), static_cast<char>(code)};
        // A lead byte without its trail is no character: it goes, and this byte counts on its own.
    }
    if (isGbkLead(code)) {
        pendingLead_ = code;
        return {};
    }
    return typedAscii(code);
}
