#pragma once
// A control that shows one picture: decoded once from its file bytes (or made from an icon), drawn in
// one of four modes, animated GIFs played on the host window's timer with the file's frame delays.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "Control.h"
#include "Images.h"
#include "ScaledImage.h"

class PictureControl : public Control {
public:
    enum DrawMode : int { DrawNatural = 0, DrawStretched = 1, DrawCentred = 2, DrawNineGrid = 3 };
    // A frame delay, in hundredths of a second, used where the file gives none.
    static constexpr int defaultDelay = 10;

    PictureControl() = default;
    ~PictureControl() override;
    std::unique_ptr<Control> clone() const override;

    int handleEvent(int code, WPARAM wParam, LPARAM lParam) override;

    virtual ControlHandle createPicture(ParentHandle parent, int x, int y, int width, int height, Bytes imageBytes,
                                        bool animate, ARGB backgroundColor, bool fixZeroDelays,
                                        std::optional<int> drawMode, const RECT& sourceRect, unsigned borderStyle,
                                        std::optional<bool> visible = std::nullopt);
    virtual ControlHandle createPictureFromIcon(ParentHandle parent, int x, int y, int width, int height, HICON icon,
                                                ARGB backgroundColor, std::optional<int> drawMode,
                                                unsigned borderStyle, std::optional<bool> visible = std::nullopt);
    virtual bool animate(std::optional<bool> value = std::nullopt);
    // Sets a new picture when `bytes` is given; fadeParam asks for a fade-in of the change, over `frames`
    // (5 when not given) every `interval` ms (60 when not given). Returns a copy of the current bytes.
    virtual std::vector<std::uint8_t> image(std::optional<Bytes> bytes = std::nullopt,
                                            std::optional<int> fadeParam = std::nullopt,
                                            std::optional<int> frames = std::nullopt,
                                            std::optional<int> interval = std::nullopt,
                                            std::optional<bool> repaint = std::nullopt);
    virtual ARGB backgroundColor(std::optional<ARGB> value = std::nullopt);
    virtual void paint();

    // Read-only views for the host and tests.
    GpImage* decodedImage() const { return image_.image(); }
    int currentFrame() const { return currentFrame_; }
    int frameCount() const { return frameCount_; }
    const std::vector<std::int32_t>& frameDelays() const { return frameDelays_; }
    int drawMode() const { return drawMode_; }
    int imageWidth() const { return imageWidth_; }
    int imageHeight() const { return imageHeight_; }
    int fadeParam() const { return fadeParam_; }

private:
    void decode(Bytes bytes);
    void fixDelays();
    int delayOfFrame(int frame) const;

    std::vector<std::uint8_t> imageBytes_;
    MemoryImage image_;
    ScaledImage stretched_;  // drawMode 1's copy of the image at the control's size
    bool animate_ = false;
    unsigned borderStyle_ = 0;
    int currentFrame_ = 0;
    int frameCount_ = 0;
    bool timerRunning_ = false;
    ARGB backgroundColor_ = 0;
    std::vector<std::int32_t> frameDelays_;
    int drawMode_ = DrawStretched;
    bool fixZeroDelays_ = false;
    RECT sourceRect_ = {};
    int imageWidth_ = 0;
    int imageHeight_ = 0;
    int fadeParam_ = -1;
    bool fadeStarted_ = false;  // set by EV_TRANSITION_START while paint() ends its paint
};
