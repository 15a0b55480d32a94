#include "InstanceLock.h"

#include "Text.h"

namespace {

constexpr DWORD findStep = 50;

}  // namespace

InstanceLock::~InstanceLock()
{
    release();
    if (mutex_)
        CloseHandle(mutex_);
}

void InstanceLock::release()
{
    if (held_ && mutex_)
        ReleaseMutex(mutex_);
    held_ = false;
}

bool InstanceLock::acquire(DWORD wait)
{
    if (held_)
        return true;
    if (!mutex_)
        mutex_ = CreateMutexA(nullptr, FALSE, mutexName);
    if (!mutex_)
        return held_ = true;
    // Owned, not merely opened: a copy of the uninstaller that waits for the lock opens it too. An
    // abandoned lock was left by a process that ended without releasing it.
    const DWORD state = WaitForSingleObject(mutex_, wait);
    held_ = state == WAIT_OBJECT_0 || state == WAIT_ABANDONED;
    return held_;
}

bool InstanceLock::bringToFront(const std::vector<Window>& candidates, DWORD wait)
{
    for (DWORD waited = 0;; waited += findStep) {
        for (const Window& candidate : candidates) {
            const std::wstring className = candidate.className ? toWide(candidate.className) : std::wstring();
            HWND window = FindWindowW(candidate.className ? className.c_str() : nullptr, toWide(candidate.title).c_str());
            if (!window || !IsWindowVisible(window))
                continue;
            if (IsIconic(window))
                ShowWindow(window, SW_RESTORE);
            SetForegroundWindow(window);
            return true;
        }
        if (waited >= wait)
            return false;
        Sleep(findStep);
    }
}
