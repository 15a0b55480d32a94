#pragma once
// A real top-level window that stands in for an attached host: it dispatches WM_EX_EVENT records and
// frame-timer ticks to the controls in its tree, answers WM_EX_MOVED, and records what controls ask of it.
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "Control.h"
#include "HostWindow.h"

class TestHost {
public:
    explicit TestHost(int width = 320, int height = 240);
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;
    ~TestHost();

    HWND hwnd() const { return hwnd_; }
    ParentHandle parent() const { return parentWindow(hwnd_); }
    HostWindow& host() { return *host_; }

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

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    bool inTree(ControlHandle first, ControlHandle control) const;

    HWND hwnd_ = nullptr;
    std::unique_ptr<HostWindow> host_;
};
