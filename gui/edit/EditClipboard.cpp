#include "EditClipboard.h"

#include <algorithm>

void EditClipboard::copy(HWND owner, const std::string& text)
{
    if (!OpenClipboard(owner))
        return;
    EmptyClipboard();
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        if (void* bytes = GlobalLock(memory)) {
            std::copy(text.begin(), text.end(), static_cast<char*>(bytes));
            static_cast<char*>(bytes)[text.size()] = '\0';
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_TEXT, memory))
                GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

std::string EditClipboard::text(HWND owner)
{
    std::string text;
    if (!OpenClipboard(owner))
        return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
            // Bounded by the block: clipboard data need not be NUL-terminated.
            const size_t limit = GlobalSize(data);
            size_t length = 0;
            while (length < limit && bytes[length])
                ++length;
            text.assign(bytes, length);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}
