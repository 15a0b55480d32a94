#include "HostTestWindow.h"

#include <windowsx.h>

#include <map>

#include "Engine.h"
#include "TestWindowClass.h"

std::vector<MSG> HostTestWindow::swallowed;
std::vector<HostCall> HostTestWindow::calls;
bool HostTestWindow::passWindowCommands = false;

namespace {
std::map<UINT, int> passedOnCount;
std::map<UINT, int> hostSawCount;

LRESULT CALLBACK countingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ++passedOnCount[msg];
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT swallowModalLoops(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ++hostSawCount[msg];
    if (msg == WM_NCLBUTTONDOWN || msg == WM_SYSCOMMAND) {
        HostTestWindow::swallowed.push_back({hwnd, msg, wParam, lParam});
        const WPARAM command = wParam & 0xFFF0;
        const bool windowCommand = msg == WM_SYSCOMMAND && (command == SC_MAXIMIZE || command == SC_RESTORE);
        return windowCommand && HostTestWindow::passWindowCommands ? -1 : 0;
    }
    return -1;
}

template <HostCallback which>
int record(HWND, ControlHandle control, WPARAM wParam, LPARAM lParam, int kind)
{
    HostTestWindow::calls.push_back({which, control, wParam, lParam, kind});
    return 0;
}
}  // namespace

HostTestWindow::HostTestWindow(DWORD style, int width, int height)
{
    resetCounters();
    // The mouse starts outside the window: the host decides hover from where the real cursor rests.
    SetCursorPos(0, 0);
    static const TestWindowClass windowClass(L"HostTestWindow", countingProc, CS_DBLCLKS);
    hwnd = CreateWindowExW(0, windowClass.name(), L"Host", style, 100, 100, width, height, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

HostTestWindow::~HostTestWindow()
{
    if (IsWindow(hwnd))
        DestroyWindow(hwnd);
    pump();
}

WNDPROC HostTestWindow::originalProc()
{
    return countingProc;
}

int HostTestWindow::passedOn(UINT msg)
{
    return passedOnCount[msg];
}

int HostTestWindow::hostSaw(UINT msg)
{
    return hostSawCount[msg];
}

void HostTestWindow::resetCounters()
{
    passedOnCount.clear();
    hostSawCount.clear();
    swallowed.clear();
    calls.clear();
    passWindowCommands = false;
}

bool HostTestWindow::attach(HostAttachOptions options)
{
    const bool attached = host.attach(hwnd, options);
    host.setOnMessage(swallowModalLoops);
    pump();
    return attached;
}

RecordingControl& HostTestWindow::add(float x, float y, float w, float h, bool focusable, int kind,
                                      ControlHandle parent)
{
    auto control = std::make_unique<RecordingControl>();
    control->create(parent ? parent : parentWindow(hwnd), {x, y, w, h}, kind, true, focusable);
    controls.push_back(std::move(control));
    pump();
    return *controls.back();
}

LRESULT HostTestWindow::mouse(UINT msg, int x, int y, WPARAM wParam)
{
    POINT screen = {x, y};
    ClientToScreen(hwnd, &screen);
    SetCursorPos(screen.x, screen.y);
    return send(msg, wParam, MAKELPARAM(x, y));
}

void HostTestWindow::pump()
{
    processEvents();
}

void HostTestWindow::recordCallbacks()
{
    host.setOnMouseDown(record<OnMouseDown>);
    host.setOnMouseUp(record<OnMouseUp>);
    host.setOnClick(record<OnClick>);
    host.setOnDoubleClick(record<OnDoubleClick>);
    host.setOnRightDown(record<OnRightDown>);
    host.setOnRightUp(record<OnRightUp>);
    host.setOnMouseEnter(record<OnMouseEnter>);
    host.setOnMouseLeave(record<OnMouseLeave>);
    host.setOnFocus(record<OnFocus>);
    host.setOnBlur(record<OnBlur>);
}

std::vector<HostCall> HostTestWindow::callsOf(HostCallback callback)
{
    std::vector<HostCall> found;
    for (const HostCall& call : calls)
        if (call.callback == callback)
            found.push_back(call);
    return found;
}
