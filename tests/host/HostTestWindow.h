#pragma once
// A real top-level window with a host attached, driven with real messages. The window's own procedure
// counts what is passed on to it; the host's onMessage swallows the messages that would start a modal
// move or size loop and records them instead.
#include <memory>
#include <vector>

#include "HostWindow.h"
#include "RecordingControl.h"

enum HostCallback : int { OnMouseDown, OnMouseUp, OnClick, OnDoubleClick, OnRightDown, OnRightUp,
                          OnMouseEnter, OnMouseLeave, OnFocus, OnBlur };

struct HostCall {
    HostCallback callback;
    ControlHandle control;
    WPARAM wParam;
    LPARAM lParam;
    int kind;
    bool operator==(const HostCall&) const = default;
};

class HostTestWindow {
public:
    explicit HostTestWindow(DWORD style = WS_POPUP | WS_VISIBLE, int width = 300, int height = 200);
    ~HostTestWindow();

    bool attach(HostAttachOptions options = {});
    // A control on the host (or under `parent`), recorded from its creation on.
    RecordingControl& add(float x, float y, float w, float h, bool focusable = true, int kind = 6,
                          ControlHandle parent = 0);
    // Puts the real cursor over the client point first so that Wine's leave tracking agrees.
    LRESULT mouse(UINT msg, int x, int y, WPARAM wParam = 0);
    LRESULT send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) { return SendMessageW(hwnd, msg, wParam, lParam); }
    void pump();
    // Every host-level callback records into `calls`.
    void recordCallbacks();
    static std::vector<HostCall> callsOf(HostCallback callback);

    HWND hwnd = nullptr;
    HostWindow host;
    std::vector<std::unique_ptr<RecordingControl>> controls;

    static WNDPROC originalProc();
    static int passedOn(UINT msg);           // messages that reached the window's own procedure
    static int hostSaw(UINT msg);            // messages that entered the host's window procedure
    static std::vector<MSG> swallowed;       // WM_NCLBUTTONDOWN / WM_SYSCOMMAND kept from Windows
    static bool passWindowCommands;          // SC_MAXIMIZE and SC_RESTORE recorded but carried out
    static std::vector<HostCall> calls;
    static void resetCounters();
};
