#pragma once
// The event records a host has handed out for WM_EX_EVENT and not yet taken back. A record is only
// ever read or freed by the host that issued it, so a value posted from anywhere else is ignored.
#include <windows.h>

#include <memory>
#include <unordered_map>

#include "SlimLock.h"

// What sendEvent/postEvent pass through WM_EX_EVENT: 12 bytes in the 32-bit product.
struct EventRecord {
    int code;
    WPARAM wParam;
    LPARAM lParam;
};
static_assert(sizeof(EventRecord) == 3 * sizeof(LPARAM));

class EventRecords {
public:
    EventRecords() = default;
    EventRecords(const EventRecords&) = delete;
    EventRecords& operator=(const EventRecords&) = delete;

    // A new record, kept until it is taken or the set is cleared.
    LPARAM issue(int code, WPARAM wParam, LPARAM lParam);
    // The record issued under `value`, now the caller's; null for a value this set did not issue.
    std::unique_ptr<EventRecord> take(LPARAM value);
    // Frees the record when it is still here (its message was never delivered).
    void discard(LPARAM value) { take(value); }
    // Frees every record: their messages can no longer arrive.
    void clear();
    size_t size() const;

private:
    // Records may be posted from other threads than the host's.
    mutable SlimLock guard_;
    std::unordered_map<LPARAM, std::unique_ptr<EventRecord>> records_;
};
