#pragma once
// The stand-in host of the picture and caption-button tests: it also dispatches frame-timer ticks to
// the controls of its tree and records the window commands that reach it.
#include <functional>
#include <vector>

#include "FakeHostWindow.h"

class TestHost : public FakeHostWindow {
public:
    explicit TestHost(int width = 320, int height = 240) : FakeHostWindow(WS_OVERLAPPEDWINDOW, width, height) {}
    ~TestHost() override;

    // Runs messages until `done` holds; false when `deadlineMs` passed first.
    bool pumpUntil(const std::function<bool()>& done, DWORD deadlineMs = 5000);
    // Runs what is already queued.
    void pumpPending();

    struct Command {
        UINT message;
        WPARAM wParam;
    };
    std::vector<Command> commands;  // WM_CLOSE and WM_SYSCOMMAND (wParam masked) that reached the window
    std::vector<UINT_PTR> strayTimers;  // ticks whose id names no control of the tree
    int invalidations = 0;
    bool passSysCommands = false;  // let DefWindowProc carry out WM_SYSCOMMAND
    // Called after a control's frame tick was dispatched.
    std::function<void(ControlHandle)> afterTick;

protected:
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) override;
};
