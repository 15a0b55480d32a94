#pragma once
// A lock for data that other threads touch, for std::lock_guard: Windows' slim reader/writer lock, taken
// exclusively. It needs no set-up or clean-up, so a global one is ready before any constructor runs and
// stays usable through static destruction; std::mutex would bring a whole thread library into each program.
#include <windows.h>

class SlimLock {
public:
    constexpr SlimLock() = default;
    SlimLock(const SlimLock&) = delete;
    SlimLock& operator=(const SlimLock&) = delete;

    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&lock_) != 0; }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};
