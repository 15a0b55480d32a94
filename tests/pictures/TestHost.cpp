#include "TestHost.h"

#include "MessagePump.h"

TestHost::~TestHost()
{
    pumpPending();
    destroyWindow();
}

bool TestHost::pumpUntil(const std::function<bool()>& done, DWORD deadlineMs)
{
    return ::pumpUntil(done, deadlineMs);
}

void TestHost::pumpPending()
{
    pumpMessages();
}

LRESULT TestHost::handle(UINT msg, WPARAM wParam, LPARAM lParam)
{
    const auto control = static_cast<ControlHandle>(wParam);
    switch (msg) {
    case WM_EX_INVALIDATE:
        ++invalidations;
        break;
    case WM_TIMER:
        if (inTree(control)) {
            Control::fromHandle(control)->dispatchEvent(WM_TIMER, wParam, lParam);
            if (afterTick)
                afterTick(control);
        } else {
            strayTimers.push_back(wParam);
        }
        return 0;
    case WM_CLOSE:
        commands.push_back({msg, 0});
        return 0;
    case WM_SYSCOMMAND:
        commands.push_back({msg, wParam & 0xFFF0});
        return passSysCommands ? DefWindowProcW(hwnd(), msg, wParam, lParam) : 0;
    default:
        break;
    }
    return FakeHostWindow::handle(msg, wParam, lParam);
}
