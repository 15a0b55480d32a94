#include "RedrawQueue.h"

#include "HostWindow.h"

RedrawQueue::~RedrawQueue() = default;

std::unique_ptr<RedrawQueue> RedrawQueue::clone() const
{
    auto copy = std::make_unique<RedrawQueue>();
    copy->window_ = window_;
    copy->host_ = host_;
    copy->graphics_ = graphics_;
    copy->entries_ = entries_;
    return copy;
}

void RedrawQueue::init(HWND window, HostHandle host, GpGraphics* graphics)
{
    window_ = window;
    host_ = host;
    graphics_ = graphics;
}

void RedrawQueue::clear()
{
    entries_.clear();
    busy_ = false;
}

HostWindow* RedrawQueue::hostObject() const
{
    return reinterpret_cast<HostWindow*>(static_cast<UINT_PTR>(host_));
}

void RedrawQueue::add(const RectF& rect, int mode)
{
    HostWindow* host = hostObject();
    if (!host)
        return;
    if (mode == RedrawFirst) {
        entries_.insert(entries_.begin(), Entry{rect, mode});
    } else if (mode == RedrawNow && !busy_) {
        // Busy while it draws: what a handler asks for meanwhile waits in the queue for the end.
        busy_ = true;
        host->redrawRect(rect, true);
        busy_ = false;
    } else {
        // A request for an immediate redraw made while a redraw is under way waits for it: drawing
        // inside it would reset the clip of the back buffer in the middle of that redraw.
        entries_.push_back({rect, mode});
    }
    if (!busy_)
        process();
}

void RedrawQueue::process()
{
    HostWindow* host = hostObject();
    if (!host || busy_)
        return;
    busy_ = true;
    const bool presentEach = !host->isLayered();
    bool drewAny = false;
    while (!entries_.empty()) {
        // Taken off before drawing: a rectangle queued first meanwhile must not be the one removed.
        const RectF rect = entries_.front().rect;
        entries_.erase(entries_.begin());
        host->redrawRect(rect, presentEach);
        drewAny = true;
    }
    if (drewAny && host->isLayered() && !host->redrawLock)
        host->presentRect(host->windowRect());
    busy_ = false;
}
