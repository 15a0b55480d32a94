#include "FakeHost.h"

#include "MessagePump.h"

void FakeHost::destroyWindow()
{
    // Dropped, not dispatched: an invalidation may point into a control that no longer exists. The
    // records of dropped events stay with the host, which frees them.
    MSG msg;
    while (hwnd() && PeekMessageW(&msg, hwnd(), 0, 0, PM_REMOVE)) {
    }
    FakeHostWindow::destroyWindow();
}

void FakeHost::pump()
{
    pumpMessages();
}

bool FakeHost::pumpUntil(const std::function<bool()>& done, DWORD limitMs)
{
    return ::pumpUntil(done, limitMs);
}

void FakeHost::clearLog()
{
    events.clear();
    invalidations.clear();
    moves.clear();
}

std::vector<int> FakeHost::codesFor(ControlHandle control) const
{
    std::vector<int> codes;
    for (const HostEvent& e : events) {
        if (e.control == control)
            codes.push_back(e.code);
    }
    return codes;
}

LRESULT FakeHost::handle(UINT msg, WPARAM wParam, LPARAM lParam)
{
    const auto control = static_cast<ControlHandle>(wParam);
    switch (msg) {
    case WM_EX_EVENT: {
        const auto* record = reinterpret_cast<const EventRecord*>(lParam);
        events.push_back({control, record->code, record->wParam, record->lParam});
        break;
    }
    case WM_EX_MOVED: {
        moves.push_back(lParam);
        FakeHostWindow::handle(msg, wParam, lParam);
        LRESULT answer = 1;
        if (!movedAnswers.empty()) {
            answer = movedAnswers.front();
            movedAnswers.pop_front();
        }
        return answer;
    }
    case WM_EX_INVALIDATE:
        invalidations.push_back({wParam, *reinterpret_cast<const RectF*>(lParam)});
        break;
    default:
        break;
    }
    return FakeHostWindow::handle(msg, wParam, lParam);
}
