#include "LiveControls.h"

#include <mutex>
#include <unordered_set>

#include "SlimLock.h"

namespace {
// Controls live on the threads of their host windows; the set is shared by all of them. Both are kept
// past static destruction: global controls leave the set from their destructors at exit.
constinit SlimLock guard;

std::unordered_set<ControlHandle>& handles()
{
    static auto* set = new std::unordered_set<ControlHandle>;
    return *set;
}
}  // namespace

void LiveControls::add(ControlHandle control)
{
    const std::lock_guard lock(guard);
    handles().insert(control);
}

void LiveControls::remove(ControlHandle control)
{
    const std::lock_guard lock(guard);
    handles().erase(control);
}

bool LiveControls::contains(ControlHandle control)
{
    if (!control)
        return false;
    const std::lock_guard lock(guard);
    return handles().count(control) != 0;
}
