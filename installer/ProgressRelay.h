#pragma once
// Carries progress reports from the worker thread to the thread that made the relay and waits there
// until the report has been handled, so every effect on controls happens on the window's thread.
#include <windows.h>

#include <functional>

class ProgressRelay {
public:
    using Handler = std::function<void(int percent)>;

    // On the receiving thread: a message-only window receives the reports.
    explicit ProgressRelay(Handler handler);
    ~ProgressRelay();
    ProgressRelay(const ProgressRelay&) = delete;
    ProgressRelay& operator=(const ProgressRelay&) = delete;

    // From any thread: runs the handler on the receiving thread, returns once it has run. False when
    // the relay is closed (the handler did not run).
    bool deliver(int percent);

    // Stops delivering; reports that are waiting return without running the handler.
    void close();

    HWND window() const { return window_; }

    static constexpr UINT reportMessage = WM_APP + 1;  // wParam = percent

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    Handler handler_;
    HWND window_ = nullptr;
    volatile LONG closed_ = 0;
};
