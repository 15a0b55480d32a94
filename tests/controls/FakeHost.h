#pragma once
// The stand-in host of the control tests, with a log of everything the controls asked of it.
#include <deque>
#include <functional>
#include <vector>

#include "FakeHostWindow.h"

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

class FakeHost : public FakeHostWindow {
public:
    FakeHost() : FakeHostWindow(WS_POPUP, 400, 300) {}
    ~FakeHost() override { destroyWindow(); }

    // Runs the messages waiting in the queue (posted events, invalidations, timers).
    void pump();
    bool pumpUntil(const std::function<bool()>& done, DWORD limitMs = 5000);
    void clearLog();
    std::vector<int> codesFor(ControlHandle control) const;
    // Drops the events still queued, then destroys the window; the HostWindow object stays.
    void destroyWindow();

    std::vector<HostEvent> events;
    std::vector<InvalidateRequest> invalidations;
    std::vector<LPARAM> moves;            // the redraw flag of each WM_EX_MOVED
    std::deque<LRESULT> movedAnswers;     // answers to the next WM_EX_MOVED; 1 when empty

protected:
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) override;
};
