#include "EventRecords.h"

#include <mutex>

LPARAM EventRecords::issue(int code, WPARAM wParam, LPARAM lParam)
{
    auto record = std::make_unique<EventRecord>(EventRecord{code, wParam, lParam});
    const auto value = reinterpret_cast<LPARAM>(record.get());
    const std::lock_guard lock(guard_);
    records_.emplace(value, std::move(record));
    return value;
}

std::unique_ptr<EventRecord> EventRecords::take(LPARAM value)
{
    const std::lock_guard lock(guard_);
    const auto found = records_.find(value);
    if (found == records_.end())
        return nullptr;
    std::unique_ptr<EventRecord> record = std::move(found->second);
    records_.erase(found);
    return record;
}

void EventRecords::clear()
{
    const std::lock_guard lock(guard_);
    records_.clear();
}

size_t EventRecords::size() const
{
    const std::lock_guard lock(guard_);
    return records_.size();
}
