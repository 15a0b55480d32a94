#pragma once
// A control that paints itself one colour, as a stand-in for the installer's elements.
#include "Control.h"

class FlatControl : public Control {
public:
    explicit FlatControl(ARGB color) : color(color) {}
    ~FlatControl() override { destroy(); }

    int handleEvent(int code, WPARAM wParam, LPARAM lParam) override
    {
        if (code == EV_PAINT)
            paint(false);
        return -1;
    }
    void paint(bool withFadeIn)
    {
        PaintContext context;
        if (!beginPaint(context, nullptr, withFadeIn))
            return;
        GDIP(GdipGraphicsClear)(graphics(), color);
        endPaint(context);
    }

    ARGB color;
};
