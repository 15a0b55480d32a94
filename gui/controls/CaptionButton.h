#pragma once
// One of the window buttons of a borderless host (close, maximise/restore, minimise and four further
// faces), drawn from the engine's built-in sprite strip; a click posts the matching window message.
#include <windows.h>

#include <memory>
#include <optional>

#include "Control.h"

class CaptionButton : public Control {
public:
    enum ButtonType : int {
        TypeClose = 4,
        TypeMaximize = 8,
        TypeMinimize = 16,
        Type32 = 32,
        Type64 = 64,
        Type128 = 128,
        Type256 = 256,
    };
    enum State : int { StateNormal = 0, StateHover = 1, StatePressed = 2 };
    static constexpr int faceTop = 2;
    static constexpr int faceHeight = 19;
    static constexpr int closeFaceWidth = 39;
    static constexpr int faceWidth = 28;

    CaptionButton() = default;
    ~CaptionButton() override;
    std::unique_ptr<Control> clone() const override;

    int handleEvent(int code, WPARAM wParam, LPARAM lParam) override;

    // Draws the face of `state` unless it is already shown and `forced` is clear; fadeFrames 0 = no fade.
    virtual void paint(int state, bool forced = false, int fadeFrames = 0);
    virtual ControlHandle createCaptionButton(ParentHandle parent, int x, int y, int width, int height,
                                              int buttonType, std::optional<bool> visible = std::nullopt);
    virtual int buttonType() const { return buttonType_; }

    int paintedState() const { return paintedState_; }

    // The face's rectangle in the strip; nothing for an unknown type.
    static std::optional<RectF> faceRect(int buttonType, int state, bool zoomed);

private:
    int buttonType_ = 0;
    int paintedState_ = StateNormal;
};
