#pragma once
// The edit control's keyboard text: the input method of the host window, switched off while a field
// that takes no Chinese has the focus, and the characters that WM_CHAR carries.
//
// Every character reaches the control once, as WM_CHAR: a result of the input method is passed on to
// the default processing, which sends it as WM_IME_CHAR and that as WM_CHAR, as are characters from
// SendInput (VK_PACKET), on-screen keyboards and Wine's X input. Taking the result string as well
// would insert it twice.
#include <windows.h>

#include <string>

class EditInputMethod {
public:
    // Takes the window's input context away and keeps it; switching on gives it back. Nothing
    // happens when the window has no context, or when it is already switched off.
    void switchOff(HWND window);
    void switchOn(HWND window);
    bool isSwitchedOff() const { return savedContext_ != nullptr; }

    // The GBK text one WM_CHAR code carries, or "" for none (yet). A Unicode window gets a UTF-16
    // unit; an ANSI window gets a double-byte character as its lead byte and then its trail byte.
    // Control characters and DEL give nothing, nor does a character that GBK cannot hold.
    std::string takeCharacter(unsigned code, bool isUnicodeWindow);
    // A lead byte still waiting for its trail is dropped.
    void forgetPendingLead() { pendingLead_ = 0; }

private:
    HIMC savedContext_ = nullptr;
    unsigned pendingLead_ = 0;
};
