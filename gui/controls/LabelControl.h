#pragma once
// A control that shows one text with GDI+: an optional gradient or framed background, a string format of
// its own, an optional soft halo or sharp outline behind the glyphs, black or white text chosen from the
// host's background, and a one-shot fade-in of a new text.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "Control.h"

// Everything createLabel can set; unset = the default named beside it.
struct LabelOptions {
    std::optional<std::string> fontName;  // unset with size and style unset: the engine's default font
    std::optional<float> fontSize;        // pixels; 12 when only the name or the style is given
    std::optional<int> fontStyle;         // Gdiplus::FontStyle bits; regular
    std::optional<ARGB> textColor;        // 0xD2000000
    std::optional<int> gradientMode;      // -1: no gradient; else a LinearGradientMode
    std::optional<ARGB> gradientColor1;   // 0: transparent
    std::optional<ARGB> gradientColor2;
    std::optional<bool> wordWrap;         // false
    std::optional<int> alignment;         // StringAlignment of the lines: 0 near
    std::optional<int> lineAlignment;     // StringAlignment across the lines: 0 near
    std::optional<int> verticalAlign;     // 0 top, 1 centre (default), 2 bottom; single-line only
    std::optional<ARGB> haloColor;        // 0: chosen from the text colour
    std::optional<unsigned> borderStyle;  // a FrameStyle, or above 4 the ARGB of a 1-pixel outline; 0
    std::optional<bool> autoContrast;     // false
    std::optional<int> textEffect;        // LabelControl::TextEffect; none
    std::optional<int> fadeInterval;      // ms of a text fade; 60
    std::optional<int> fadeFrames;        // frames of a text fade; 5
    std::optional<bool> visible;          // true
    CursorSpec cursor;                    // none: the host's default cursor
};

// The label's text routine, shared with the controls that draw captions the way a label does. The colour
// is textColor, or with autoContrast black or white (keeping textColor's alpha) from the host's background
// under `control`; textEffect 3 or 4 draws a soft halo or a sharp outline in haloColor (0 = chosen from the
// colour) behind the glyphs; then the text is drawn in `layout`, rounded to whole pixels.
void drawLabelText(const Control& control, GpGraphics* graphics, const std::wstring& text, GpFont* font,
                   GpStringFormat* format, const RectF& layout, ARGB textColor, ARGB haloColor, int textEffect,
                   bool autoContrast);

class LabelControl : public Control {
public:
    enum TextEffect : int { EffectNone = 0, EffectHalo = 3, EffectOutline = 4 };
    enum VerticalAlign : int { AlignTop = 0, AlignCentre = 1, AlignBottom = 2 };
    static constexpr ARGB defaultTextColor = 0xD2000000;
    static constexpr ARGB lightHalo = 0x55FFFFFF;  // behind dark text
    static constexpr ARGB darkHalo = 0x4B000000;   // behind light text
    static constexpr int noWrapFlags = 0x1000;      // StringFormatFlagsNoWrap
    static constexpr int wordWrapFlags = 0x6C00;    // NoFontFallback | MeasureTrailingSpaces | LineLimit | NoClip

    LabelControl() = default;
    ~LabelControl() override;
    // The copy owns its own font and string format.
    std::unique_ptr<Control> clone() const override;

    int handleEvent(int code, WPARAM wParam, LPARAM lParam) override;

    // --- the label's own operations ---
    virtual void measureText();
    virtual ControlHandle createLabel(ParentHandle parent, float x, float y, float width, float height,
                                      const std::string& text, const LabelOptions& options = {});
    // Sets the text when given; fadeParam arms a fade-in of the next paint (the transition style), over
    // `frames` (5 when not given) every `interval` ms (60 when not given).
    virtual std::string text(std::optional<std::string> value = std::nullopt,
                             std::optional<int> fadeParam = std::nullopt, std::optional<int> frames = std::nullopt,
                             std::optional<int> interval = std::nullopt);
    virtual std::wstring textW(std::optional<std::wstring> value = std::nullopt,
                               std::optional<int> fadeParam = std::nullopt,
                               std::optional<int> frames = std::nullopt,
                               std::optional<int> interval = std::nullopt);
    virtual ARGB textColor(std::optional<ARGB> value = std::nullopt);
    virtual int textEffect(std::optional<int> value = std::nullopt);
    virtual ARGB gradientColor1(std::optional<ARGB> value = std::nullopt);
    virtual ARGB gradientColor2(std::optional<ARGB> value = std::nullopt);
    virtual int gradientMode(std::optional<int> value = std::nullopt);
    virtual std::string fontName(std::optional<std::string> value = std::nullopt);
    virtual int fontStyle(std::optional<int> value = std::nullopt);
    virtual float fontSize(std::optional<float> value = std::nullopt);
    virtual int trimming(std::optional<int> value = std::nullopt);
    virtual int formatFlags(std::optional<int> value = std::nullopt);
    // Adopts the given font: the label deletes it later (unless it is the engine's default font).
    virtual GpFont* font(std::optional<GpFont*> value = std::nullopt);
    // Adopts the given format: the label deletes it later.
    virtual GpStringFormat* stringFormat(std::optional<GpStringFormat*> value = std::nullopt);
    virtual int alignment(std::optional<int> value = std::nullopt);
    virtual bool wordWrap(std::optional<bool> value = std::nullopt);
    virtual int verticalAlign(std::optional<int> value = std::nullopt);
    virtual ARGB haloColor(std::optional<ARGB> value = std::nullopt);
    virtual unsigned borderStyle(std::optional<unsigned> value = std::nullopt);
    virtual bool autoContrast(std::optional<bool> value = std::nullopt);
    virtual void releaseFont();
    virtual void paint();
    // May change the rectangle the text is laid out in (label coordinates).
    virtual void onLayoutText(RectF& layout, bool wordWrap) {}
    // Runs before handleEvent's own work: -1 lets it go on, any other answer is returned at once.
    virtual int onPreEvent(int code, WPARAM wParam, LPARAM lParam) { return -1; }
    virtual void onCreated(WPARAM bitmap) {}

    int measuredWidth() const { return measuredWidth_; }
    int measuredHeight() const { return measuredHeight_; }
    bool fadePending() const { return fadePending_; }

    // 0.299 R + 0.587 G + 0.114 B below 192; alpha is not looked at.
    static bool isDark(ARGB color);
    // More than 4 of the 9 points at 20/50/80 % of `area` (host pixels) are dark in `image`; points
    // the image does not cover, and every point when there is no image, take `fallback`.
    static bool isBackgroundDark(GpImage* image, ARGB fallback, const RectF& area);

private:
    void setText(std::wstring value, std::optional<int> fadeParam, std::optional<int> frames,
                 std::optional<int> interval);
    void replaceFont(GpFont* replacement);
    float fontHeight() const;

    GpFont* font_ = nullptr;
    std::wstring text_;
    ARGB textColor_ = defaultTextColor;
    int gradientMode_ = -1;
    ARGB gradientColor1_ = 0;
    ARGB gradientColor2_ = 0;
    bool wordWrap_ = false;
    int verticalAlign_ = AlignCentre;
    ARGB haloColor_ = 0;
    unsigned borderStyle_ = 0;
    bool autoContrast_ = false;
    int textEffect_ = EffectNone;
    GpStringFormat* stringFormat_ = nullptr;
    int measuredWidth_ = 0;
    int measuredHeight_ = 0;
    bool fadePending_ = false;
    int fadeInterval_ = 60;
    int fadeFrames_ = 5;
};
