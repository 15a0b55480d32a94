// The installed product's program ("fj.exe"): one window per session. A second start raises the first
// window and exits.
#include <windows.h>

#include "Engine.h"
#include "ProductWindow.h"
#include "SystemDll.h"

namespace {

ProductWindow productWindow;

constexpr const char* instanceMutexName = "Beiling.Feijing.Accelerator.Instance";
// How long a second start looks for the first one's window, which may not be up yet.
constexpr DWORD findWindowWait = 5000;
constexpr DWORD findWindowStep = 50;

// True when this process is the one instance; otherwise the running one has been brought to the front.
// The mutex is held, never closed, for the life of the process.
bool becomeOnlyInstance()
{
    HANDLE mutex = CreateMutexA(nullptr, TRUE, instanceMutexName);
    if (!mutex || GetLastError() != ERROR_ALREADY_EXISTS)
        return true;  // without a mutex there is no one to defer to
    for (DWORD waited = 0; waited < findWindowWait; waited += findWindowStep) {
        if (HWND running = ProductWindow::findRunning()) {
            ProductWindow::bringToFront(running);
            return false;
        }
        // The first one may be on its way out: then this one takes over.
        const DWORD state = WaitForSingleObject(mutex, findWindowStep);
        if (state == WAIT_OBJECT_0 || state == WAIT_ABANDONED)
            return true;
    }
    return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    restrictDllSearchPath();
    if (!becomeOnlyInstance())
        return 0;
    startEngine();
    if (!productWindow.create(instance))
        return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
