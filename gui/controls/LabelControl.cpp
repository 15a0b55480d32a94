// Sections: lifetime · events · creation · text · properties · fonts and format · measuring · painting ·
// contrast · text effects
#include "LabelControl.h"

#include <cmath>

#include "Canvas.h"
#include "Engine.h"
#include "Fonts.h"
#include "HostWindow.h"
#include "StringFormatHelper.h"
#include "Text.h"

namespace {

constexpr int defaultFadeInterval = 60;
constexpr int defaultFadeFrames = 5;
constexpr float defaultFontSize = 12.0f;
constexpr ARGB white = 0x00FFFFFF;
constexpr ARGB black = 0x00000000;

float whole(float value)
{
    return std::round(value);
}

// A bitmap with its own graphics set up as the controls' (anti-aliased shapes and text).
struct ScratchImage {
    GpBitmap* bitmap = nullptr;
    GpGraphics* graphics = nullptr;

    ScratchImage(int width, int height)
    {
        if (GDIP(GdipCreateBitmapFromScan0)(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap) !=
            Gdiplus::Ok) {
            bitmap = nullptr;
            return;
        }
        if (GDIP(GdipGetImageGraphicsContext)(bitmap, &graphics) != Gdiplus::Ok) {
            graphics = nullptr;
            return;
        }
        GDIP(GdipSetSmoothingMode)(graphics, Gdiplus::SmoothingModeAntiAlias);
        GDIP(GdipSetTextRenderingHint)(graphics, Gdiplus::TextRenderingHintAntiAliasGridFit);
    }
    ScratchImage(const ScratchImage&) = delete;
    ScratchImage& operator=(const ScratchImage&) = delete;
    ~ScratchImage()
    {
        if (graphics)
            GDIP(GdipDeleteGraphics)(graphics);
        if (bitmap)
            GDIP(GdipDisposeImage)(bitmap);
    }
};

}  // namespace

// ---- lifetime ----

LabelControl::~LabelControl()
{
    // Here, not in the base: the base's destructor no longer reaches this class's handleEvent.
    if (handle())
        destroy();
    releaseFont();
    if (stringFormat_)
        GDIP(GdipDeleteStringFormat)(stringFormat_);
}

std::unique_ptr<Control> LabelControl::clone() const
{
    auto copy = std::make_unique<LabelControl>();
    copyBaseInto(*copy);
    if (font_ && font_ != engine().defaultFont()) {
        if (GDIP(GdipCloneFont)(font_, &copy->font_) != Gdiplus::Ok)
            copy->font_ = nullptr;
    } else {
        copy->font_ = font_;  // the shared default font is never owned
    }
    copy->text_ = text_;
    copy->textColor_ = textColor_;
    copy->gradientMode_ = gradientMode_;
    copy->gradientColor1_ = gradientColor1_;
    copy->gradientColor2_ = gradientColor2_;
    copy->wordWrap_ = wordWrap_;
    copy->verticalAlign_ = verticalAlign_;
    copy->haloColor_ = haloColor_;
    copy->borderStyle_ = borderStyle_;
    copy->autoContrast_ = autoContrast_;
    copy->textEffect_ = textEffect_;
    if (!stringFormat_ || GDIP(GdipCloneStringFormat)(stringFormat_, &copy->stringFormat_) != Gdiplus::Ok)
        copy->stringFormat_ = nullptr;
    copy->measuredWidth_ = measuredWidth_;
    copy->measuredHeight_ = measuredHeight_;
    copy->fadePending_ = fadePending_;
    copy->fadeInterval_ = fadeInterval_;
    copy->fadeFrames_ = fadeFrames_;
    return copy;
}

// ---- events ----

int LabelControl::handleEvent(int code, WPARAM wParam, LPARAM lParam)
{
    const int early = onPreEvent(code, wParam, lParam);
    if (early != -1)
        return early;
    switch (code) {
    case EV_CREATE:
        measureText();
        onCreated(wParam);
        break;
    case EV_DESTROY:
        text_.clear();
        textEffect_ = EffectNone;
        releaseFont();
        if (stringFormat_)
            GDIP(GdipDeleteStringFormat)(stringFormat_);
        stringFormat_ = nullptr;
        break;
    case EV_PAINT:
        paint();
        break;
    case EV_FOCUS:
    case EV_BLUR:
        if (isFocusable())
            paint();
        break;
    case EV_RESIZE:
        measureText();
        break;
    case EV_SNAPSHOT:
        if (autoContrast_)
            paint();  // the background may have changed
        break;
    case EV_TRANSITION_END:
        fadePending_ = false;
        fadeInterval_ = 0;
        fadeFrames_ = 0;
        transitionFrames(0, 0);
        break;
    default:
        break;
    }
    return -1;
}

// ---- creation ----

ControlHandle LabelControl::createLabel(ParentHandle parent, float x, float y, float width, float height,
                                        const std::string& text, const LabelOptions& options)
{
    if (handle())
        return handle();  // created already: nothing changes, nothing is made twice

    text_ = toWide(text);
    textColor_ = options.textColor.value_or(defaultTextColor);
    gradientMode_ = options.gradientMode.value_or(-1);
    gradientColor1_ = options.gradientColor1.value_or(0);
    gradientColor2_ = options.gradientColor2.value_or(0);
    wordWrap_ = options.wordWrap.value_or(false);
    verticalAlign_ = options.verticalAlign.value_or(AlignCentre);
    haloColor_ = options.haloColor.value_or(0);
    borderStyle_ = options.borderStyle.value_or(0);
    autoContrast_ = options.autoContrast.value_or(false);
    textEffect_ = options.textEffect.value_or(EffectNone);
    measuredWidth_ = measuredHeight_ = 0;
    fadePending_ = false;
    fadeInterval_ = options.fadeInterval.value_or(defaultFadeInterval);
    fadeFrames_ = options.fadeFrames.value_or(defaultFadeFrames);

    releaseFont();
    if (options.fontName || options.fontSize || options.fontStyle) {
        const std::string face = options.fontName.value_or(fontFamilyName(engine().defaultFont()));
        font_ = createFont(face, options.fontSize.value_or(defaultFontSize),
                           options.fontStyle.value_or(Gdiplus::FontStyleRegular));
    } else {
        font_ = engine().defaultFont();
    }

    if (stringFormat_)
        GDIP(GdipDeleteStringFormat)(stringFormat_);
    stringFormat_ = nullptr;
    {
        StringFormatHelper helper;
        if (helper.createFormat(wordWrap_ ? wordWrapFlags : noWrapFlags, 0, false)) {
            helper.alignment(options.alignment.value_or(Gdiplus::StringAlignmentNear));
            GDIP(GdipSetStringFormatLineAlign)(
                helper.nativeHandle(),
                static_cast<Gdiplus::StringAlignment>(options.lineAlignment.value_or(Gdiplus::StringAlignmentNear)));
            helper.trimming(Gdiplus::StringTrimmingNone);
            stringFormat_ = helper.nativeHandle();
        }
    }

    const ControlHandle created = create(parent, RectF{x, y, width, height}, KIND_LABEL,
                                         options.visible.value_or(true), false, options.cursor);
    if (!created) {
        releaseFont();
        if (stringFormat_)
            GDIP(GdipDeleteStringFormat)(stringFormat_);
        stringFormat_ = nullptr;
    }
    return created;
}

// ---- text ----

std::string LabelControl::text(std::optional<std::string> value, std::optional<int> fadeParam,
                               std::optional<int> frames, std::optional<int> interval)
{
    if (value)
        setText(toWide(*value), fadeParam, frames, interval);
    return toAnsi(text_);
}

std::wstring LabelControl::textW(std::optional<std::wstring> value, std::optional<int> fadeParam,
                                 std::optional<int> frames, std::optional<int> interval)
{
    if (value)
        setText(std::move(*value), fadeParam, frames, interval);
    return text_;
}

void LabelControl::setText(std::wstring value, std::optional<int> fadeParam, std::optional<int> frames,
                           std::optional<int> interval)
{
    if (fadeParam) {
        fadePending_ = true;
        transitionParam(*fadeParam);
        fadeFrames_ = frames.value_or(0) ? *frames : defaultFadeFrames;
        fadeInterval_ = interval.value_or(0) ? *interval : defaultFadeInterval;
    } else {
        fadePending_ = false;
        if (value == text_)
            return;
    }
    text_ = std::move(value);
    measureText();
    repaint();
}

// ---- properties ----

ARGB LabelControl::textColor(std::optional<ARGB> value)
{
    if (value) {
        textColor_ = *value;
        repaint();
    }
    return textColor_;
}

int LabelControl::textEffect(std::optional<int> value)
{
    if (value) {
        textEffect_ = *value;
        repaint();
    }
    return textEffect_;
}

ARGB LabelControl::gradientColor1(std::optional<ARGB> value)
{
    if (value) {
        gradientColor1_ = *value;
        repaint();
    }
    return gradientColor1_;
}

ARGB LabelControl::gradientColor2(std::optional<ARGB> value)
{
    if (value) {
        gradientColor2_ = *value;
        repaint();
    }
    return gradientColor2_;
}

int LabelControl::gradientMode(std::optional<int> value)
{
    if (value) {
        gradientMode_ = *value;
        repaint();
    }
    return gradientMode_;
}

int LabelControl::alignment(std::optional<int> value)
{
    Gdiplus::StringAlignment current = Gdiplus::StringAlignmentNear;
    if (value) {
        GDIP(GdipSetStringFormatAlign)(stringFormat_, static_cast<Gdiplus::StringAlignment>(*value));
        repaint();
    }
    if (GDIP(GdipGetStringFormatAlign)(stringFormat_, &current) != Gdiplus::Ok)
        return 0;
    return current;
}

bool LabelControl::wordWrap(std::optional<bool> value)
{
    if (value) {
        wordWrap_ = *value;
        // Off means exactly the no-wrap flags again, not whatever the caller had set before.
        GDIP(GdipSetStringFormatFlags)(stringFormat_, wordWrap_ ? wordWrapFlags : noWrapFlags);
        repaint();
    }
    return wordWrap_;
}

int LabelControl::verticalAlign(std::optional<int> value)
{
    if (value) {
        verticalAlign_ = *value;
        repaint();
    }
    return verticalAlign_;
}

ARGB LabelControl::haloColor(std::optional<ARGB> value)
{
    if (value) {
        haloColor_ = *value;
        repaint();
    }
    return haloColor_;
}

unsigned LabelControl::borderStyle(std::optional<unsigned> value)
{
    if (value) {
        borderStyle_ = *value;
        repaint();
    }
    return borderStyle_;
}

bool LabelControl::autoContrast(std::optional<bool> value)
{
    if (value) {
        autoContrast_ = *value;
        repaint();
    }
    return autoContrast_;
}

// ---- fonts and format ----

void LabelControl::releaseFont()
{
    if (font_ && font_ != engine().defaultFont())
        GDIP(GdipDeleteFont)(font_);
    font_ = nullptr;
}

void LabelControl::replaceFont(GpFont* replacement)
{
    if (replacement != font_) {
        releaseFont();
        font_ = replacement;
    }
    measureText();
    repaint();
}

std::string LabelControl::fontName(std::optional<std::string> value)
{
    if (value) {
        const float size = fontSize();
        const int style = fontStyle();
        if (GpFont* made = createFont(*value, size, style))
            replaceFont(made);
    }
    return fontFamilyName(font_);
}

int LabelControl::fontStyle(std::optional<int> value)
{
    if (value) {
        if (GpFont* made = createFont(fontFamilyName(font_), fontSize(), *value))
            replaceFont(made);
    }
    INT style = Gdiplus::FontStyleRegular;
    if (!font_ || GDIP(GdipGetFontStyle)(font_, &style) != Gdiplus::Ok)
        return Gdiplus::FontStyleRegular;
    return style;
}

float LabelControl::fontSize(std::optional<float> value)
{
    if (value) {
        if (GpFont* made = createFont(fontFamilyName(font_), *value, fontStyle()))
            replaceFont(made);
    }
    float size = defaultFontSize;
    if (!font_ || GDIP(GdipGetFontSize)(font_, &size) != Gdiplus::Ok)
        return defaultFontSize;
    return size;
}

GpFont* LabelControl::font(std::optional<GpFont*> value)
{
    if (value)
        replaceFont(*value);
    return font_;
}

int LabelControl::trimming(std::optional<int> value)
{
    if (value) {
        GDIP(GdipSetStringFormatTrimming)(stringFormat_, static_cast<Gdiplus::StringTrimming>(*value));
        repaint();
    }
    Gdiplus::StringTrimming current = Gdiplus::StringTrimmingNone;
    if (GDIP(GdipGetStringFormatTrimming)(stringFormat_, &current) != Gdiplus::Ok)
        return 0;
    return current;
}

int LabelControl::formatFlags(std::optional<int> value)
{
    if (value) {
        GDIP(GdipSetStringFormatFlags)(stringFormat_, *value);
        repaint();
    }
    INT flags = 0;
    if (GDIP(GdipGetStringFormatFlags)(stringFormat_, &flags) != Gdiplus::Ok)
        return 0;
    return flags;
}

GpStringFormat* LabelControl::stringFormat(std::optional<GpStringFormat*> value)
{
    if (value) {
        if (*value != stringFormat_) {
            if (stringFormat_)
                GDIP(GdipDeleteStringFormat)(stringFormat_);
            stringFormat_ = *value;
        }
        measureText();
        repaint();
    }
    return stringFormat_;
}

// ---- measuring ----

float LabelControl::fontHeight() const
{
    float height = 0;
    if (!font_ || GDIP(GdipGetFontHeight)(font_, graphics(), &height) != Gdiplus::Ok)
        return 0;
    return height;
}

void LabelControl::measureText()
{
    if (!graphics() || !font_)
        return;
    const RectF& b = currentBounds();
    // Wrapped text is measured unbounded; a single line within the label's width and one font height.
    const RectF layout = wordWrap_ ? RectF{} : RectF{b.x, b.y, b.width, fontHeight()};
    Gdiplus::RectF box{};
    if (GDIP(GdipMeasureString)(graphics(), text_.c_str(), -1, font_, gpRect(&layout), stringFormat_, &box,
                                nullptr, nullptr) != Gdiplus::Ok)
        return;
    measuredWidth_ = static_cast<int>(box.Width);
    measuredHeight_ = static_cast<int>(box.Height);
}

// ---- painting ----

void LabelControl::paint()
{
    if (fadePending_)
        transitionFrames(fadeFrames_, fadeInterval_);
    PaintContext context;
    if (!beginPaint(context, nullptr, true))
        return;
    GpGraphics* g = context.graphics;
    const RectF& area = context.rect;

    // The background goes first: the frame drawn after it stays visible on all four sides.
    if (gradientMode_ != -1)
        fillGradient(g, area, gradientColor1_, gradientColor2_, gradientMode_);
    if (borderStyle_ != 0)
        drawFrame(g, area, borderStyle_);

    if (!text_.empty()) {
        const RectF textRect{area.x + 2, area.y + 2, area.width - 4, area.height - 4};
        GDIP(GdipSetClipRect)(g, textRect.x, textRect.y, textRect.width, textRect.height,
                              Gdiplus::CombineModeReplace);

        RectF layout = textRect;
        if (wordWrap_) {
            layout.height = area.height + fontHeight() + 3;
        } else {
            const auto measured = static_cast<float>(measuredHeight_);
            layout.height = measured;
            switch (verticalAlign_) {
            case AlignTop: layout.y = textRect.y + 2; break;
            case AlignBottom: layout.y = textRect.y + textRect.height - measured - 2; break;
            default: layout.y = textRect.y + (textRect.height - measured) / 2; break;
            }
        }
        onLayoutText(layout, wordWrap_);
        drawLabelText(*this, g, text_, font_, stringFormat_, layout, textColor_, haloColor_, textEffect_,
                      autoContrast_);
        GDIP(GdipResetClip)(g);

        HostWindow* host = context.host;
        if (host && host->keyboardFocus == handle())
            drawFrame(g, area, FrameFocus);
    }
    const ControlHandle self = handle();
    endPaint(context);
    // A fade that did not start (hidden, redraw suspended) is dropped: left armed, it would run on some
    // later, unrelated repaint.
    if (fadePending_ && handle() == self && transitionFrame() == transitionFrames()) {
        fadePending_ = false;
        transitionFrames(0, 0);
    }
}

// ---- contrast ----

bool LabelControl::isDark(ARGB color)
{
    // In thousandths, so that a grey of exactly 192 is not dark by a rounding error.
    const unsigned r = (color >> 16) & 0xFF, g = (color >> 8) & 0xFF, b = color & 0xFF;
    return 299 * r + 587 * g + 114 * b < 192 * 1000;
}

bool LabelControl::isBackgroundDark(GpImage* image, ARGB fallback, const RectF& area)
{
    static constexpr float stops[] = {0.2f, 0.5f, 0.8f};
    UINT imageW = 0, imageH = 0;
    if (image) {
        GDIP(GdipGetImageWidth)(image, &imageW);
        GDIP(GdipGetImageHeight)(image, &imageH);
    }
    int dark = 0;
    for (float fy : stops) {
        for (float fx : stops) {
            const long x = std::lround(area.x + area.width * fx);
            const long y = std::lround(area.y + area.height * fy);
            ARGB sample = fallback;
            const bool inside = x >= 0 && y >= 0 && x < static_cast<long>(imageW) && y < static_cast<long>(imageH);
            if (image && inside &&
                GDIP(GdipBitmapGetPixel)(static_cast<GpBitmap*>(image), x, y, &sample) != Gdiplus::Ok)
                sample = fallback;
            dark += isDark(sample) ? 1 : 0;
        }
    }
    return dark > 4;
}

// ---- text effects ----

namespace {

ARGB contrastColor(const Control& control, ARGB textColor)
{
    const ARGB alpha = textColor & 0xFF000000;
    const HostWindow* host = control.hostObject();
    if (!host)
        return alpha | black;
    const COLORREF c = host->backgroundColor;
    const ARGB fallback = 0xFF000000 | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    const bool dark = LabelControl::isBackgroundDark(host->backgroundImage, fallback, control.currentBounds());
    return alpha | (dark ? white : black);
}

// Five copies of the text around its place, shrunk by `factor` and drawn back at full size: a blur for 3,
// a plain one-pixel outline for 1.
void drawGlow(GpGraphics* graphics, const std::wstring& text, GpFont* font, GpStringFormat* format,
              const RectF& layout, ARGB color, int factor)
{
    const int w = static_cast<int>(layout.width) + 7, h = static_cast<int>(layout.height) + 7;
    const int smallW = w / factor, smallH = h / factor;
    if (layout.width <= 0 || layout.height <= 0 || smallW <= 0 || smallH <= 0)
        return;

    ScratchImage copies(w, h);
    ScratchImage reduced(smallW, smallH);
    GpSolidFill* brush = nullptr;
    if (!copies.graphics || !reduced.graphics || GDIP(GdipCreateSolidFill)(color, &brush) != Gdiplus::Ok)
        return;
    static constexpr POINT offsets[] = {{5, 4}, {3, 4}, {4, 3}, {4, 5}, {4, 4}};
    for (const POINT& offset : offsets) {
        const RectF at{static_cast<float>(offset.x), static_cast<float>(offset.y), layout.width, layout.height};
        GDIP(GdipDrawString)(copies.graphics, text.c_str(), -1, font, gpRect(&at), format, brush);
    }
    GDIP(GdipDeleteBrush)(brush);

    GDIP(GdipSetCompositingQuality)(reduced.graphics, static_cast<Gdiplus::CompositingQuality>(3));
    GDIP(GdipSetInterpolationMode)(reduced.graphics, Gdiplus::InterpolationModeHighQualityBilinear);
    GDIP(GdipDrawImageRectRect)(reduced.graphics, copies.bitmap, 0, 0, static_cast<float>(smallW),
                                static_cast<float>(smallH), 0, 0, static_cast<float>(w), static_cast<float>(h),
                                Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
    GDIP(GdipDrawImageRectRect)(graphics, reduced.bitmap, layout.x - 4, layout.y - 4, layout.width + 7,
                                layout.height + 7, 0, 0, static_cast<float>(smallW), static_cast<float>(smallH),
                                Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
}

}  // namespace

void drawLabelText(const Control& control, GpGraphics* graphics, const std::wstring& text, GpFont* font,
                   GpStringFormat* format, const RectF& layout, ARGB textColor, ARGB haloColor, int textEffect,
                   bool autoContrast)
{
    if (!graphics || text.empty())
        return;
    const ARGB color = autoContrast ? contrastColor(control, textColor) : textColor;
    const RectF rounded{whole(layout.x), whole(layout.y), whole(layout.width), whole(layout.height)};
    if (textEffect == LabelControl::EffectHalo || textEffect == LabelControl::EffectOutline) {
        const ARGB halo = haloColor ? haloColor
                                    : (LabelControl::isDark(color) ? LabelControl::lightHalo : LabelControl::darkHalo);
        drawGlow(graphics, text, font, format, rounded, halo, textEffect == LabelControl::EffectHalo ? 3 : 1);
    }
    GpSolidFill* brush = nullptr;
    if (GDIP(GdipCreateSolidFill)(color, &brush) != Gdiplus::Ok)
        return;
    GDIP(GdipDrawString)(graphics, text.c_str(), -1, font, gpRect(&rounded), format, brush);
    GDIP(GdipDeleteBrush)(brush);
}
