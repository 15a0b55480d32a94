#pragma once
// The clickable control: one of four face pictures (normal, hover, pressed, disabled) drawn at natural
// size, stretched or in nine parts, with an optional icon and a caption laid out over it. Hover changes
// fade over 4 frames; an "&" in the caption registers the next character as the button's access key.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Control.h"
#include "Images.h"
#include "ScaledImage.h"

// Everything createButton can set besides geometry and caption; unset = the default named beside it.
struct ButtonOptions {
    std::optional<std::string> fontName;  // unset with size and style unset: the engine's default font
    std::optional<float> fontSize;        // pixels; 12 when only the name or the style is given
    std::optional<int> fontStyle;         // Gdiplus::FontStyle bits; regular
    std::optional<ARGB> haloColor;        // 0: chosen from the text colour
    std::optional<ARGB> textColor;        // 0xD2000000
    std::optional<bool> rounded;          // the host's default
    std::optional<int> textEffect;        // 0 none, 3 soft halo, 4 sharp outline
    std::optional<bool> autoContrast;     // false
    Bytes icon;                           // empty: no icon
    std::optional<int> iconLayout;        // 0
    std::optional<int> offsetX;           // 0
    std::optional<int> offsetY;           // 0
    std::optional<int> gap;               // 0
    Bytes normalImage;                    // the face pictures; empty = none
    Bytes hoverImage;
    Bytes pressedImage;
    Bytes disabledImage;
    std::optional<int> imageMode;         // 0
    std::optional<RectF> sourceRect;      // empty
    std::optional<bool> visible;          // true
};

class ButtonControl : public Control {
public:
    enum State : int { StateNormal = 0, StateHover = 1, StatePressed = 2, StateFocused = 3 };
    enum ImageMode : int { ImageNatural = 0, ImageStretched = 1, ImageNineGrid = 3 };
    // Icon and caption: 0 icon|caption row, 1 caption|icon row, 2 icon over caption, 3 both centred,
    // 4 icon|caption at the left edge, 5 caption|icon at the left edge, 6 icon at the top, caption below.
    enum IconLayout : int {
        IconBeforeCaption = 0,
        IconAfterCaption = 1,
        IconAboveCaption = 2,
        IconUnderCaption = 3,
        IconLeftEdge = 4,
        CaptionLeftEdge = 5,
        IconAtTop = 6,
    };
    // The faces in the order of their pictures.
    enum Face : int { FaceNormal = 0, FaceHover = 1, FacePressed = 2, FaceDisabled = 3, FaceNone = -1 };
    static constexpr ARGB defaultTextColor = 0xD2000000;
    static constexpr int hoverFadeFrames = 4;
    static constexpr int fadeInterval = 60;  // ms
    static constexpr int captionFormatFlags = 0x1000;  // StringFormatFlagsNoWrap

    ButtonControl() = default;
    ~ButtonControl() override;
    // The copy owns its own pictures, font and string format; it is not created.
    std::unique_ptr<Control> clone() const override;

    int handleEvent(int code, WPARAM wParam, LPARAM lParam) override;

    // --- the button's own operations, in their fixed order ---
    virtual ControlHandle createButton(ParentHandle parent, int x, int y, int width, int height,
                                       const std::string& text, const ButtonOptions& options = {});
    virtual std::string text(std::optional<std::string> value = std::nullopt);
    virtual std::wstring textW(std::optional<std::wstring> value = std::nullopt);
    virtual ARGB textColor(std::optional<ARGB> value = std::nullopt);
    virtual ARGB haloColor(std::optional<ARGB> value = std::nullopt);
    virtual std::string fontName(std::optional<std::string> value = std::nullopt);
    virtual int fontStyle(std::optional<int> value = std::nullopt);
    virtual float fontSize(std::optional<float> value = std::nullopt);
    // Adopts the given font: the button deletes it later (unless it is the engine's default font).
    virtual GpFont* font(std::optional<GpFont*> value = std::nullopt);
    // Adopts the given format: the button deletes it later.
    virtual GpStringFormat* stringFormat(std::optional<GpStringFormat*> value = std::nullopt);
    virtual int textEffect(std::optional<int> value = std::nullopt);
    virtual bool rounded(std::optional<bool> value = std::nullopt);
    virtual bool autoContrast(std::optional<bool> value = std::nullopt);
    virtual std::vector<std::uint8_t> icon(std::optional<Bytes> value = std::nullopt);
    virtual int iconLayout(std::optional<int> value = std::nullopt);
    virtual int offsetX(std::optional<int> value = std::nullopt);
    virtual int offsetY(std::optional<int> value = std::nullopt);
    virtual int gap(std::optional<int> value = std::nullopt);
    virtual void releaseFont();
    // Paints `state` (the stored one when not given), fading in unless `fade` is given as false.
    virtual void paint(std::optional<int> state = std::nullopt, std::optional<bool> fade = std::nullopt);
    virtual int drawStateImage(PaintContext& context, int state);
    // Runs before icon and caption are drawn into their rectangles (button coordinates).
    virtual int onDrawContent(PaintContext& context, int state, const RectF& captionRect, const RectF& iconRect)
    {
        return 1;
    }
    // The picture layer's part of handleEvent, run before the button's own.
    virtual int handleImageEvent(int code, WPARAM wParam, LPARAM lParam);
    virtual void setImages(std::optional<Bytes> normal, std::optional<Bytes> hover = std::nullopt,
                           std::optional<Bytes> pressed = std::nullopt, std::optional<Bytes> disabled = std::nullopt,
                           std::optional<int> imageMode = std::nullopt,
                           std::optional<RectF> sourceRect = std::nullopt);
    virtual std::vector<std::uint8_t> normalImage(std::optional<Bytes> value = std::nullopt);
    virtual std::vector<std::uint8_t> hoverImage(std::optional<Bytes> value = std::nullopt);
    virtual std::vector<std::uint8_t> pressedImage(std::optional<Bytes> value = std::nullopt);
    virtual std::vector<std::uint8_t> disabledImage(std::optional<Bytes> value = std::nullopt);
    virtual int imageMode(std::optional<int> value = std::nullopt);
    virtual RectF sourceRect(std::optional<RectF> value = std::nullopt);
    // Runs first of all event work: -1 lets it go on, any other answer is returned at once.
    virtual int onPreEvent(int code, WPARAM wParam, LPARAM lParam) { return -1; }

    // Read-only views.
    int state() const { return state_; }
    // The face picture drawn by the last paint; FaceNone when none was.
    int paintedFace() const { return paintedFace_; }
    // The character code registered with the host as access key; 0 = none.
    int accessKey() const { return registeredKey_; }
    // The character after the first "&", or 0.
    static int accessKeyOf(const std::wstring& caption);

private:
    // Encoded bytes and the image decoded from them on first use: a face that is never shown (hover,
    // pressed, disabled until then) costs no decoding at start-up.
    struct Picture {
        std::vector<std::uint8_t> bytes;
        void assign(Bytes value);
        GpImage* image() const;
        // The image (or `source` in its place) stretched over `rect`, through a copy of that size made on
        // first use.
        void drawStretched(GpGraphics* graphics, const RectF& rect, GpImage* source = nullptr) const;

    private:
        mutable MemoryImage decoded_;
        mutable ScaledImage stretched_;
        mutable bool decodeTried_ = false;
    };

    std::vector<std::uint8_t> picture(Face face, std::optional<Bytes> value);
    int faceFor(int state) const;
    void setCaption(std::wstring value);
    void registerAccessKey();
    void unregisterAccessKey();
    void replaceFont(GpFont* replacement);
    void deleteStringFormat();
    // The caption's glyph bounds when laid out in `area`: x and y are their offsets from the area's origin.
    RectF measureCaption(const RectF& area) const;

    int state_ = StateNormal;
    std::wstring text_;
    GpFont* font_ = nullptr;
    ARGB haloColor_ = 0;
    ARGB textColor_ = defaultTextColor;
    bool rounded_ = false;
    GpStringFormat* stringFormat_ = nullptr;
    int textEffect_ = 0;
    bool autoContrast_ = false;
    Picture icon_;
    int iconLayout_ = IconBeforeCaption;
    int offsetX_ = 0;
    int offsetY_ = 0;
    int gap_ = 0;
    Picture faces_[4];
    int imageMode_ = ImageNatural;
    RectF sourceRect_;
    int paintedFace_ = FaceNone;
    int registeredKey_ = 0;
    bool painted_ = false;         // drawn at least once
    bool paintDeferred_ = false;  // hidden since creation: drawn on EV_SHOW
};
