#pragma once
// Dirty rectangles of one host waiting to be redrawn into its back buffer and put on screen.
#include <windows.h>

#include <memory>
#include <vector>

#include "Forward.h"
#include "Gdip.h"

// How `add` treats a rectangle (the wParam of WM_EX_INVALIDATE).
enum RedrawMode : int {
    RedrawAppend = 0,  // queued last
    RedrawNow = 1,     // redrawn and presented at once, never queued
    RedrawFirst = 2,   // queued first
};

class RedrawQueue {
public:
    struct Entry {
        RectF rect;
        int mode = RedrawAppend;
    };

    RedrawQueue() = default;
    RedrawQueue(const RedrawQueue&) = delete;
    RedrawQueue& operator=(const RedrawQueue&) = delete;
    virtual ~RedrawQueue();
    // A deep copy: the same host and waiting entries, idle.
    virtual std::unique_ptr<RedrawQueue> clone() const;

    virtual void init(HWND window, HostHandle host, GpGraphics* graphics);
    virtual void clear();
    virtual void add(const RectF& rect, int mode);
    virtual bool isIdle() const { return !busy_; }
    // Redraws every entry, including those added meanwhile; a layered window is presented once at the end.
    virtual void process();

    size_t pending() const { return entries_.size(); }
    const Entry& entry(size_t index) const { return entries_[index]; }
    HWND window() const { return window_; }
    HostHandle host() const { return host_; }
    GpGraphics* graphics() const { return graphics_; }

private:
    HostWindow* hostObject() const;

    HWND window_ = nullptr;
    HostHandle host_ = 0;
    GpGraphics* graphics_ = nullptr;
    std::vector<Entry> entries_;  // a handful at a time
    bool busy_ = false;
};
