#pragma once
// A control that paints itself one colour and answers chosen event codes.
#include <functional>
#include <map>

#include "Control.h"

class SolidControl : public Control {
public:
    explicit SolidControl(ARGB color = 0xFFFF0000) : color(color) {}
    ~SolidControl() override { destroy(); }

    int handleEvent(int code, WPARAM wParam, LPARAM lParam) override
    {
        ++received[code];
        if (code == EV_PAINT)
            paint(false);
        if (onEvent)
            onEvent(code, lParam);
        auto answer = answers.find(code);
        return answer == answers.end() ? -1 : answer->second;
    }
    // A new colour through the paint protocol; withFadeIn starts the control's transition.
    void paint(bool withFadeIn)
    {
        PaintContext context;
        if (!beginPaint(context, nullptr, withFadeIn))
            return;
        GDIP(GdipGraphicsClear)(graphics(), color);
        endPaint(context);
    }

    ARGB color;
    std::map<int, int> answers;
    std::map<int, int> received;
    std::function<void(int code, LPARAM lParam)> onEvent;
};
