#pragma once
// A real top-level window with a host attached and edit controls on it, driven with real messages.
#include <windows.h>

#include <memory>
#include <string>

#include "EditControl.h"
#include "HostWindow.h"

class EditTestWindow {
public:
    EditTestWindow(int width = 600, int height = 400);
    ~EditTestWindow();

    // A created edit control, focused (the blink timer runs) unless told otherwise.
    EditControl& add(int x, int y, int w, int h, const std::string& text, bool multiLine, int mode = 0,
                     bool focus = true);
    LRESULT send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return SendMessageW(hwnd, msg, wParam, lParam); }
    void key(int vk) { send(WM_KEYDOWN, vk, 0); }
    void type(const std::string& text);
    void click(int x, int y);
    void doubleClick(int x, int y);
    void pump();

    HWND hwnd = nullptr;
    HostWindow host;
    std::unique_ptr<EditControl> edit;
};

// Holds a virtual key down for GetKeyState while alive.
class HeldKey {
public:
    explicit HeldKey(int vk);
    ~HeldKey();

private:
    int vk_;
    BYTE saved_[256] = {};
};

void setClipboard(HWND owner, const std::string& text);
std::string clipboard(HWND owner);
