#pragma once
// A thin horizontal or vertical bar with an arrow at each end and a thumb, holding an integer position
// between a minimum and a maximum. Arrows repeat on a 100 ms host-window timer whose id is the bar's
// handle; the thumb drags with live reports (tracking) or reports once on release.
#include <windows.h>

#include <memory>
#include <optional>

#include "Control.h"

// Change handlers. A bar with a parent control calls the first form, one without the second; either is
// called in the form it was given, the parent argument being 0 without a parent.
using ScrollChildHandler = void (*)(ControlHandle parent, int position);
using ScrollHandler = void (*)(int position);

class ScrollBar : public Control {
public:
    enum Orientation : int { Horizontal = 1, Vertical = 2 };
    enum Part : int { PartNone = 0, PartFirstArrow = 1, PartSecondArrow = 2, PartThumb = 3, PartTrack = 4 };
    enum PaintKind : int { PaintPlain = 0, PaintMouseMove = 1, PaintPress = 2 };
    static constexpr UINT repeatInterval = 100;  // ms
    static constexpr int minimumThumbLength = 30;

    ScrollBar() = default;
    ~ScrollBar() override;
    // The copy keeps range, settings and handler; it is not created.
    std::unique_ptr<Control> clone() const override;

    using Control::create;

    int handleEvent(int code, WPARAM wParam, LPARAM lParam) override;

    // --- the bar's own operations, in their fixed order ---
    // `mousePoint` is the lParam of a mouse message (host client pixels); without one the cursor's
    // current position is used. wParam is the mouse message's, which carries the bar while it holds the press.
    virtual void paintBar(int kind, WPARAM wParam = 0, std::optional<LPARAM> mousePoint = std::nullopt);
    // The position whose thumb starts at `coordinate` (along the bar, bar coordinates).
    virtual int positionAt(int coordinate) const;
    virtual int thumbStart() const;
    virtual int updateThumb();
    virtual void raiseChange();
    virtual void layoutBar(int width, int height);
    virtual ControlHandle create(ParentHandle parent, int left, int top, int width, int height,
                                 std::optional<int> position = std::nullopt, std::optional<int> minimum = std::nullopt,
                                 std::optional<int> maximum = std::nullopt, std::optional<int> pageSize = std::nullopt,
                                 std::optional<int> step = std::nullopt, std::optional<bool> tracking = std::nullopt,
                                 std::optional<int> orientation = std::nullopt,
                                 std::optional<bool> hoverEffect = std::nullopt,
                                 std::optional<bool> visible = std::nullopt);
    virtual int position(std::optional<int> value = std::nullopt);
    virtual int minimum(std::optional<int> value = std::nullopt);
    virtual int maximum(std::optional<int> value = std::nullopt);
    virtual int pressedPart(std::optional<int> value = std::nullopt);
    virtual int step(std::optional<int> value = std::nullopt);
    virtual bool tracking(std::optional<bool> value = std::nullopt);
    virtual bool hoverEffect(std::optional<bool> value = std::nullopt);
    virtual void onChange(ScrollChildHandler handler);
    virtual void onChange(ScrollHandler handler);

    // Read-only views for the owner and tests.
    int orientation() const { return orientation_; }
    int pageSize() const { return pageSize_; }
    int thumbLength() const { return thumbLength_; }
    int lastDrawnPart() const { return lastDrawnPart_; }
    const RectF& trackRect() const { return trackRect_; }
    const RectF& thumbRect() const { return thumbRect_; }
    const RectF& firstArrowRect() const { return firstArrowRect_; }
    const RectF& secondArrowRect() const { return secondArrowRect_; }

private:
    bool isHorizontal() const { return orientation_ != Vertical; }
    int trackOrigin() const;
    int trackLength() const;
    void placeThumb();
    int partAt(POINT pointer) const;
    void onRepeatTick();
    void drawArrow(GpGraphics* g, const RectF& box, bool first, bool hot) const;
    POINT pointerInBar(std::optional<LPARAM> mousePoint) const;

    int minimum_ = 0;
    int maximum_ = 100;
    int pageSize_ = 10;
    int step_ = 1;
    bool tracking_ = true;
    int orientation_ = Horizontal;
    int pressedPart_ = PartNone;
    bool hoverEffect_ = true;
    int position_ = 0;
    int thumbLength_ = 0;
    int dragOffset_ = 0;
    int minusMinimum_ = 0;
    RectF trackRect_;
    RectF thumbRect_;
    RectF firstArrowRect_;
    RectF secondArrowRect_;
    ScrollChildHandler childHandler_ = nullptr;
    ScrollHandler handler_ = nullptr;
    int lastDrawnPart_ = PartNone;
    // Where the last drawing put the thumb: a move over the same part needs a new drawing only when
    // the thumb has moved since.
    RectF lastDrawnThumb_;
};
