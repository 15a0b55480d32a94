#pragma once
// Carries progress reports, and the outcome at the end, from the worker thread to the thread that made
// the relay and waits there until each has been handled, so every effect on controls happens on the
// window's thread.
#include <windows.h>

#include <functional>

class ProgressRelay {
public:
    using Handler = std::function<void(int percent)>;

    // On the receiving thread: a message-only window receives the reports. `finished` gets the worker's
    // outcome code.
    explicit ProgressRelay(Handler handler, Handler finished = nullptr);
    ~ProgressRelay();
    ProgressRelay(const ProgressRelay&) = delete;
    ProgressRelay& operator=(const ProgressRelay&) = delete;

    // From any thread: runs the handler on the receiving thread, returns once it has run. False when
    // the relay is closed (the handler did not run).
    bool deliver(int percent);
    // From any thread: runs `finished` on the receiving thread, returns once it has run.
    bool deliverFinished(int outcome);

    // Stops delivering; reports that are waiting return without running the handler.
    void close();

    HWND window() const { return window_; }

    static constexpr UINT reportMessage = WM_APP + 1;    // wParam = percent
    static constexpr UINT finishedMessage = WM_APP + 2;  // wParam = outcome

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    Handler handler_;
    Handler finished_;
    HWND window_ = nullptr;
    volatile LONG closed_ = 0;
};
