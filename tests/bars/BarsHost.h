#pragma once
// The controls' fake host, grown by what buttons and bars need from a host: window timers routed to the
// control whose handle is the id, mouse messages routed as the host does (hover, press, click), and a
// log of the access keys the controls register.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "../controls/FakeHost.h"
#include "Pixels.h"

struct AcceleratorRequest {
    WPARAM key;
    LPARAM control;
};

class BarsHost {
public:
    BarsHost();
    BarsHost(const BarsHost&) = delete;
    BarsHost& operator=(const BarsHost&) = delete;
    ~BarsHost();

    FakeHost& fake() { return fake_; }
    HWND hwnd() const { return fake_.hwnd(); }
    ParentHandle parent() const { return fake_.parent(); }
    HostWindow& host() { return fake_.host(); }

    // Real mouse messages through the window, at host client pixels.
    void mouseMove(int x, int y);
    void mouseDown(int x, int y);
    void mouseUp(int x, int y);

    std::vector<AcceleratorRequest> accelerators;
    std::vector<ControlHandle> clicks;     // EV_CLICK as the routing gave it
    std::vector<WPARAM> timerTicks;        // ids of the WM_TIMERs routed to controls

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void routeMouse(UINT msg, WPARAM wParam, LPARAM lParam);

    FakeHost fake_;
    WNDPROC previous_ = nullptr;
};

// The cursor far away from the test window, so that paints which look at it see no part under it.
void parkCursor();
