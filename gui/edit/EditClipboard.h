#pragma once
// The edit control's clipboard: plain ANSI text (CF_TEXT). Every call gives up silently when the
// clipboard cannot be opened.
#include <windows.h>

#include <string>

class EditClipboard {
public:
    static void copy(HWND owner, const std::string& text);
    // The clipboard's CF_TEXT up to its first NUL, never read past the end of its block.
    static std::string text(HWND owner);
};
