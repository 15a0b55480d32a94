#pragma once
// A light track with a shaded two-colour bar over it whose length follows the value, growing from the
// left or from the bottom, square or with rounded corners. It takes no input.
#include <windows.h>

#include <memory>
#include <optional>

#include "Control.h"

class ProgressBar : public Control {
public:
    static constexpr ARGB defaultBarColor1 = 0xE60088FF;
    static constexpr ARGB defaultBarColor2 = 0xE600E080;
    static constexpr ARGB defaultBorderColor = 0x50000000;
    static constexpr ARGB defaultTrackColor = 0xD2FFFFFF;

    ProgressBar() = default;
    ~ProgressBar() override;
    std::unique_ptr<Control> clone() const override;

    // Runs onPreEvent first; paints on EV_PAINT. Answers -1 unless the hook answered.
    int handleEvent(int code, WPARAM wParam, LPARAM lParam) override;

    // --- the bar's own operations, in their fixed order ---
    // Unset colours take the defaults above; a track colour of 0 means no track fill. Unset `rounded`
    // is the host's default; unset `maximum` is 100.
    virtual ControlHandle createProgress(ParentHandle parent, int x, int y, int width, int height, int value,
                                         int minimum, std::optional<int> maximum, bool vertical,
                                         std::optional<ARGB> barColor1 = std::nullopt,
                                         std::optional<ARGB> barColor2 = std::nullopt,
                                         std::optional<ARGB> borderColor = std::nullopt,
                                         std::optional<ARGB> trackColor = std::nullopt,
                                         std::optional<bool> rounded = std::nullopt,
                                         std::optional<bool> visible = std::nullopt);
    virtual void barColors(std::optional<ARGB> color1, std::optional<ARGB> color2);
    virtual ARGB trackColor(std::optional<ARGB> value = std::nullopt);
    virtual int value(std::optional<int> value = std::nullopt);
    virtual void paint();
    // -1 lets the event go on; any other answer is handleEvent's answer.
    virtual int onPreEvent(int code, WPARAM wParam, LPARAM lParam) { return -1; }
    // Non-zero: the track and the border were drawn by the hook.
    virtual int onDrawTrack(PaintContext& context) { return 0; }
    // Non-zero: the bar was drawn by the hook.
    virtual int onDrawBar(PaintContext& context, const RectF& bar) { return 0; }
    // May change the outer rectangle before anything is drawn; `vertical` tells the bar's direction.
    virtual void onLayout(PaintContext& context, RectF& outer, bool vertical) {}

    // Read-only views.
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    bool isVertical() const { return vertical_; }
    bool isRounded() const { return rounded_; }
    ARGB barColor1() const { return barColor1_; }
    ARGB barColor2() const { return barColor2_; }
    ARGB borderColor() const { return borderColor_; }
    // Length of the bar in pixels at the last paint.
    int fillLength() const { return fillLength_; }
    // The bar's length for `innerLength` pixels of track: 0 for an empty range, never beyond the track.
    static int barLength(int innerLength, int value, int minimum, int maximum);

private:
    void clipTo(GpGraphics* g, const RectF& rect) const;

    int value_ = 0;
    int minimum_ = 0;
    int maximum_ = 100;
    bool vertical_ = false;
    ARGB barColor1_ = defaultBarColor1;
    ARGB barColor2_ = defaultBarColor2;
    ARGB borderColor_ = defaultBorderColor;
    bool rounded_ = false;
    ARGB trackColor_ = defaultTrackColor;
    int fillLength_ = 0;
};
