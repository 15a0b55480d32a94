#pragma once
// A real top-level window that answers the engine messages the way a host does, with a HostWindow
// object behind its "Ex_Wnd_Control" property, and a log of everything the controls asked of it.
#include <windows.h>

#include <deque>
#include <functional>
#include <vector>

#include "Control.h"
#include "HostWindow.h"

struct HostEvent {
    ControlHandle control;
    int code;
    WPARAM wParam;
    LPARAM lParam;
};

struct InvalidateRequest {
    WPARAM mode;
    RectF rect;
};

class FakeHost {
public:
    FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;
    ~FakeHost();

    HWND hwnd() const { return hwnd_; }
    ParentHandle parent() const { return parentWindow(hwnd_); }
    HostWindow& host() { return host_; }

    // Runs the messages waiting in the queue (posted events, invalidations, timers).
    void pump();
    // Pumps until `done` holds; false when it did not within `limitMs` (a guard, not a measurement).
    bool pumpUntil(const std::function<bool()>& done, DWORD limitMs = 5000);
    void clearLog();
    std::vector<int> codesFor(ControlHandle control) const;
    // Destroys the window but keeps the HostWindow object alive.
    void destroyWindow();

    std::vector<HostEvent> events;
    std::vector<InvalidateRequest> invalidations;
    std::vector<LPARAM> moves;            // the redraw flag of each WM_EX_MOVED
    std::deque<LRESULT> movedAnswers;     // answers to the next WM_EX_MOVED; 1 when empty

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HostWindow host_;
    HWND hwnd_ = nullptr;
};
