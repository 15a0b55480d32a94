#pragma once
// A real top-level window that stands in for an attached host: a HostWindow object behind its
// "Ex_Wnd_Control" property, never attached, and a window procedure that answers the engine messages
// the controls send. Derived harnesses record what they need and pass the rest to handle().
#include <windows.h>

#include "Control.h"
#include "HostWindow.h"

class FakeHostWindow {
public:
    FakeHostWindow(DWORD style, int width, int height);
    FakeHostWindow(const FakeHostWindow&) = delete;
    FakeHostWindow& operator=(const FakeHostWindow&) = delete;
    virtual ~FakeHostWindow();

    HWND hwnd() const { return hwnd_; }
    ParentHandle parent() const { return parentWindow(hwnd_); }
    HostWindow& host() { return host_; }
    // Whether the control is in the host's tree (a handle of a destroyed control is not).
    bool inTree(ControlHandle control) const { return inTree(host_.firstControl, control); }
    // Destroys the window but keeps the HostWindow object alive.
    void destroyWindow();

protected:
    // WM_EX_EVENT is dispatched, WM_EX_MOVED tells a control of the tree and answers 1, WM_EX_INVALIDATE
    // answers 0; the rest goes to DefWindowProc.
    virtual LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool inTree(ControlHandle first, ControlHandle control) const;

    HostWindow host_;
    HWND hwnd_ = nullptr;
};
