#pragma once
// One installer or uninstaller at a time, system session wide: both take the same named mutex and
// hold it until they end. A second start brings the running one's window to the front instead.
#include <windows.h>

#include <string>
#include <vector>

class InstanceLock {
public:
    static constexpr const char* mutexName = "Beiling.Feijing.Setup.Running";

    InstanceLock() = default;
    // Releases the lock (the process's end does the same).
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock, waiting up to `wait` ms for its holder to end; false when another installer or
    // uninstaller still holds it. A mutex that cannot be made at all defers to no one.
    bool acquire(DWORD wait = 0);
    // Gives the lock up before the process ends (a waiting copy of the uninstaller takes it over).
    void release();
    bool isHeld() const { return held_; }

    // A top-level window to look for: class (null: any) and exact title, GBK.
    struct Window {
        const char* className;
        const char* title;
    };
    // Restores and brings to the front the first visible window found of `candidates`, looking for up to
    // `wait` ms (the running one may still be starting). False when none was found.
    static bool bringToFront(const std::vector<Window>& candidates, DWORD wait);

private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};
