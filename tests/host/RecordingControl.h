#pragma once
// A plain control that records every event it is given and answers chosen codes.
#include <functional>
#include <map>
#include <vector>

#include "Control.h"

struct RecordedEvent {
    int code;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const RecordedEvent&) const = default;
};

class RecordingControl : public Control {
public:
    ~RecordingControl() override { destroy(); }
    int handleEvent(int code, WPARAM wParam, LPARAM lParam) override
    {
        if (code != EV_PAINT && code != EV_CREATE && code != EV_QUERY_DIM && code != EV_SNAPSHOT)
            events.push_back({code, wParam, lParam});
        if (auto action = actions.find(code); action != actions.end())
            action->second();
        auto answer = answers.find(code);
        return answer == answers.end() ? -1 : answer->second;
    }
    // The recorded events with this code, in order.
    std::vector<RecordedEvent> of(int code) const
    {
        std::vector<RecordedEvent> found;
        for (const RecordedEvent& e : events)
            if (e.code == code)
                found.push_back(e);
        return found;
    }
    std::vector<int> codes() const
    {
        std::vector<int> found;
        for (const RecordedEvent& e : events)
            found.push_back(e.code);
        return found;
    }

    std::vector<RecordedEvent> events;
    std::map<int, int> answers;
    std::map<int, std::function<void()>> actions;  // run when the code arrives
};
