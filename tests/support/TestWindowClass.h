#pragma once
// A window class for test windows, registered once for the process by its first user.
#include <windows.h>

class TestWindowClass {
public:
    TestWindowClass(const wchar_t* name, WNDPROC procedure, UINT style = 0, HCURSOR cursor = nullptr);
    const wchar_t* name() const { return name_; }
    // A top-level window of this class; shown without activation when `style` has WS_VISIBLE, since
    // Wine waits for the window manager when an active window goes away.
    HWND create(const wchar_t* title, DWORD style, int x, int y, int width, int height) const;

private:
    const wchar_t* name_;
};
