// Sections: lifetime · creation · caption and access key · properties · fonts and format · pictures ·
// events · painting
#include "ButtonControl.h"

#include <algorithm>
#include <cmath>

#include "Canvas.h"
#include "Engine.h"
#include "Fonts.h"
#include "HostWindow.h"
#include "Images.h"
#include "LabelControl.h"
#include "StringFormatHelper.h"
#include "Text.h"

namespace {

constexpr float defaultFontSize = 12.0f;

// The host keeps no setting for rounded controls: unless asked, buttons are square.
constexpr bool hostDefaultRounded = false;

struct ContentRects {
    RectF caption;
    RectF icon;
};

// Places icon (iw x ih) and caption (tw x th) in `area` by `layout`; the arithmetic is in whole pixels.
ContentRects layoutContent(int layout, const RectF& area, SIZE icon, SIZE caption, int dx, int dy, int gap)
{
    const int left = static_cast<int>(area.x), top = static_cast<int>(area.y);
    const int W = static_cast<int>(area.width), H = static_cast<int>(area.height);
    const int iw = icon.cx, ih = icon.cy, tw = caption.cx, th = caption.cy;
    const int row = iw + gap + tw;
    auto centreX = [&](int width) { return dx + left + (W - width) / 2; };
    auto centreY = [&](int height) { return dy + top + (H - height) / 2; };

    int ix = 0, iy = centreY(ih), cx = 0, cy = centreY(th);
    switch (layout) {
    case ButtonControl::IconAfterCaption:
        cx = dx + left + (W - row) / 2;
        ix = cx + tw + gap;
        break;
    case ButtonControl::IconAboveCaption:
        iy = dy + top + (H - ih - gap - th) / 2;
        cy = iy + ih + gap;
        ix = centreX(iw);
        cx = centreX(tw);
        break;
    case ButtonControl::IconUnderCaption:
        ix = centreX(iw);
        cx = centreX(tw);
        break;
    case ButtonControl::IconLeftEdge:
        ix = dx + left;
        cx = ix + iw + gap;
        break;
    case ButtonControl::CaptionLeftEdge:
        cx = dx + left;
        ix = cx + tw + gap;
        break;
    case ButtonControl::IconAtTop:
        iy = dy + top;
        cy = iy + ih + gap;
        ix = centreX(iw);
        cx = centreX(tw);
        break;
    default:  // IconBeforeCaption, and values without a layout of their own
        ix = dx + left + (W - row) / 2;
        cx = ix + iw + gap;
        break;
    }
    return {makeRectF(cx, cy, tw, th), makeRectF(ix, iy, iw, ih)};
}

GpFont* fontOrDefault(GpFont* font)
{
    return font ? font : engine().defaultFont();
}

}  // namespace

// ---- lifetime ----

ButtonControl::~ButtonControl()
{
    // Here, not in the base: the base's destructor no longer reaches this class's handleEvent.
    if (handle())
        destroy();
    releaseFont();
    deleteStringFormat();
}

std::unique_ptr<Control> ButtonControl::clone() const
{
    auto copy = std::make_unique<ButtonControl>();
    copyBaseInto(*copy);
    copy->state_ = state_;
    copy->text_ = text_;
    copy->font_ = font_;
    if (font_ && font_ != engine().defaultFont()) {
        GpFont* cloned = nullptr;
        copy->font_ = GDIP(GdipCloneFont)(font_, &cloned) == Gdiplus::Ok ? cloned : engine().defaultFont();
    }
    if (stringFormat_)
        GDIP(GdipCloneStringFormat)(stringFormat_, &copy->stringFormat_);
    copy->haloColor_ = haloColor_;
    copy->textColor_ = textColor_;
    copy->rounded_ = rounded_;
    copy->textEffect_ = textEffect_;
    copy->autoContrast_ = autoContrast_;
    copy->icon_.assign(icon_.bytes);
    copy->iconLayout_ = iconLayout_;
    copy->offsetX_ = offsetX_;
    copy->offsetY_ = offsetY_;
    copy->gap_ = gap_;
    for (int i = 0; i < 4; ++i)
        copy->faces_[i].assign(faces_[i].bytes);
    copy->imageMode_ = imageMode_;
    copy->sourceRect_ = sourceRect_;
    return copy;
}

// ---- creation ----

ControlHandle ButtonControl::createButton(ParentHandle parent, int x, int y, int width, int height,
                                          const std::string& text, const ButtonOptions& options)
{
    if (handle())
        return handle();
    state_ = StateNormal;
    text_ = toWide(text);
    haloColor_ = options.haloColor.value_or(0);
    textColor_ = options.textColor.value_or(defaultTextColor);
    rounded_ = options.rounded.value_or(hostDefaultRounded);
    textEffect_ = options.textEffect.value_or(0);
    autoContrast_ = options.autoContrast.value_or(false);
    icon_.assign(options.icon);
    iconLayout_ = options.iconLayout.value_or(IconBeforeCaption);
    offsetX_ = options.offsetX.value_or(0);
    offsetY_ = options.offsetY.value_or(0);
    gap_ = options.gap.value_or(0);
    faces_[FaceNormal].assign(options.normalImage);
    faces_[FaceHover].assign(options.hoverImage);
    faces_[FacePressed].assign(options.pressedImage);
    faces_[FaceDisabled].assign(options.disabledImage);
    imageMode_ = options.imageMode.value_or(ImageNatural);
    sourceRect_ = options.sourceRect.value_or(RectF{});
    paintedFace_ = FaceNone;
    registeredKey_ = 0;
    painted_ = paintDeferred_ = false;

    releaseFont();
    if (options.fontName || options.fontSize || options.fontStyle) {
        const std::string face = options.fontName.value_or(fontFamilyName(engine().defaultFont()));
        font_ = fontOrDefault(createFont(face, options.fontSize.value_or(defaultFontSize),
                                         options.fontStyle.value_or(Gdiplus::FontStyleRegular)));
    } else {
        font_ = engine().defaultFont();
    }

    deleteStringFormat();
    {
        StringFormatHelper helper;
        if (helper.createFormat(captionFormatFlags, 0, false)) {
            helper.alignment(Gdiplus::StringAlignmentNear);
            GDIP(GdipSetStringFormatLineAlign)(helper.nativeHandle(), Gdiplus::StringAlignmentNear);
            helper.trimming(Gdiplus::StringTrimmingCharacter);
            stringFormat_ = helper.nativeHandle();
        }
    }

    const ControlHandle created =
        create(parent, makeRectF(x, y, width, height), KIND_IMAGE_BUTTON_CREATING, options.visible.value_or(true),
               true, CursorSpec::none(), fadeInterval, 0, 0);
    if (!created) {
        releaseFont();
        deleteStringFormat();
    }
    return created;
}

// ---- caption and access key ----

int ButtonControl::accessKeyOf(const std::wstring& caption)
{
    const size_t amp = caption.find(L'&');
    if (amp == std::wstring::npos || amp + 1 >= caption.size())
        return 0;
    return caption[amp + 1];
}

std::string ButtonControl::text(std::optional<std::string> value)
{
    if (value)
        setCaption(toWide(*value));
    return toAnsi(text_);
}

std::wstring ButtonControl::textW(std::optional<std::wstring> value)
{
    if (value)
        setCaption(*value);
    return text_;
}

void ButtonControl::setCaption(std::wstring value)
{
    if (value == text_)
        return;
    text_ = std::move(value);
    registerAccessKey();
    repaint();
}

void ButtonControl::registerAccessKey()
{
    if (!handle())
        return;
    // The host takes the key in wParam and the control in lParam; control 0 removes the key's entry.
    const int key = accessKeyOf(text_);
    if (registeredKey_ != 0 && registeredKey_ != key)
        unregisterAccessKey();
    if (key != 0)
        SendMessageW(hostWindow(), WM_EX_SET_ACCELERATOR, static_cast<WPARAM>(key), handle());
    registeredKey_ = key;
}

void ButtonControl::unregisterAccessKey()
{
    // Only our own entry: another control may have taken the same key since.
    if (HostWindow* host = hostObject(); registeredKey_ != 0 && host)
        host->removeAccelerators(handle(), registeredKey_);
    registeredKey_ = 0;
}

// ---- properties ----

ARGB ButtonControl::textColor(std::optional<ARGB> value)
{
    if (value) {
        textColor_ = *value;
        repaint();
    }
    return textColor_;
}

ARGB ButtonControl::haloColor(std::optional<ARGB> value)
{
    if (value) {
        haloColor_ = *value;
        repaint();
    }
    return haloColor_;
}

int ButtonControl::textEffect(std::optional<int> value)
{
    if (value) {
        textEffect_ = *value;
        repaint();
    }
    return textEffect_;
}

bool ButtonControl::rounded(std::optional<bool> value)
{
    if (value) {
        rounded_ = *value;
        repaint();
    }
    return rounded_;
}

bool ButtonControl::autoContrast(std::optional<bool> value)
{
    if (value) {
        autoContrast_ = *value;
        repaint();
    }
    return autoContrast_;
}

std::vector<std::uint8_t> ButtonControl::icon(std::optional<Bytes> value)
{
    if (value) {
        icon_.assign(*value);
        repaint();
    }
    return icon_.bytes;
}

int ButtonControl::iconLayout(std::optional<int> value)
{
    if (value) {
        iconLayout_ = *value;
        repaint();
    }
    return iconLayout_;
}

int ButtonControl::offsetX(std::optional<int> value)
{
    if (value) {
        offsetX_ = *value;
        repaint();
    }
    return offsetX_;
}

int ButtonControl::offsetY(std::optional<int> value)
{
    if (value) {
        offsetY_ = *value;
        repaint();
    }
    return offsetY_;
}

int ButtonControl::gap(std::optional<int> value)
{
    if (value) {
        gap_ = *value;
        repaint();
    }
    return gap_;
}

// ---- fonts and format ----

void ButtonControl::releaseFont()
{
    if (font_ && font_ != engine().defaultFont())
        GDIP(GdipDeleteFont)(font_);
    font_ = nullptr;
}

void ButtonControl::replaceFont(GpFont* replacement)
{
    if (!replacement || replacement == font_)
        return;
    releaseFont();
    font_ = replacement;
    repaint();
}

std::string ButtonControl::fontName(std::optional<std::string> value)
{
    GpFont* current = fontOrDefault(font_);
    if (value) {
        float size = defaultFontSize;
        INT style = Gdiplus::FontStyleRegular;
        GDIP(GdipGetFontSize)(current, &size);
        GDIP(GdipGetFontStyle)(current, &style);
        replaceFont(createFont(*value, size, style));
    }
    return fontFamilyName(fontOrDefault(font_));
}

int ButtonControl::fontStyle(std::optional<int> value)
{
    GpFont* current = fontOrDefault(font_);
    if (value) {
        float size = defaultFontSize;
        GDIP(GdipGetFontSize)(current, &size);
        replaceFont(createFont(fontFamilyName(current), size, *value));
    }
    INT style = Gdiplus::FontStyleRegular;
    GDIP(GdipGetFontStyle)(fontOrDefault(font_), &style);
    return style;
}

float ButtonControl::fontSize(std::optional<float> value)
{
    GpFont* current = fontOrDefault(font_);
    if (value) {
        INT style = Gdiplus::FontStyleRegular;
        GDIP(GdipGetFontStyle)(current, &style);
        replaceFont(createFont(fontFamilyName(current), *value, style));
    }
    float size = 0;
    GDIP(GdipGetFontSize)(fontOrDefault(font_), &size);
    return size;
}

GpFont* ButtonControl::font(std::optional<GpFont*> value)
{
    if (value && *value)
        replaceFont(*value);
    return font_;
}

GpStringFormat* ButtonControl::stringFormat(std::optional<GpStringFormat*> value)
{
    if (value && *value != stringFormat_) {
        deleteStringFormat();
        stringFormat_ = *value;
        repaint();
    }
    return stringFormat_;
}

void ButtonControl::deleteStringFormat()
{
    if (stringFormat_)
        GDIP(GdipDeleteStringFormat)(stringFormat_);
    stringFormat_ = nullptr;
}

// ---- pictures ----

void ButtonControl::Picture::assign(Bytes value)
{
    // `value` may view this very vector (a copy re-assigning its own bytes): copy before replacing.
    std::vector<std::uint8_t> copy(value.begin(), value.end());
    bytes = std::move(copy);
    stretched_.reset();
    decoded_.reset();
    decodeTried_ = false;
}

GpImage* ButtonControl::Picture::image() const
{
    if (!decodeTried_ && !bytes.empty()) {
        decodeTried_ = true;
        decoded_ = imageFromMemory(bytes, false, false);
    }
    return decoded_.image();
}

void ButtonControl::Picture::drawStretched(GpGraphics* graphics, const RectF& rect, GpImage* source) const
{
    stretched_.draw(graphics, source ? source : image(), rect);
}

std::vector<std::uint8_t> ButtonControl::picture(Face face, std::optional<Bytes> value)
{
    if (value) {
        faces_[face].assign(*value);
        repaint();
    }
    return faces_[face].bytes;
}

void ButtonControl::setImages(std::optional<Bytes> normal, std::optional<Bytes> hover, std::optional<Bytes> pressed,
                              std::optional<Bytes> disabled, std::optional<int> imageMode,
                              std::optional<RectF> sourceRect)
{
    if (normal)
        faces_[FaceNormal].assign(*normal);
    if (hover)
        faces_[FaceHover].assign(*hover);
    if (pressed)
        faces_[FacePressed].assign(*pressed);
    if (disabled)
        faces_[FaceDisabled].assign(*disabled);
    if (imageMode)
        imageMode_ = *imageMode;
    if (sourceRect)
        sourceRect_ = *sourceRect;
    repaint();
}

std::vector<std::uint8_t> ButtonControl::normalImage(std::optional<Bytes> value)
{
    return picture(FaceNormal, value);
}

std::vector<std::uint8_t> ButtonControl::hoverImage(std::optional<Bytes> value)
{
    return picture(FaceHover, value);
}

std::vector<std::uint8_t> ButtonControl::pressedImage(std::optional<Bytes> value)
{
    return picture(FacePressed, value);
}

std::vector<std::uint8_t> ButtonControl::disabledImage(std::optional<Bytes> value)
{
    return picture(FaceDisabled, value);
}

int ButtonControl::imageMode(std::optional<int> value)
{
    if (value) {
        imageMode_ = *value;
        repaint();
    }
    return imageMode_;
}

RectF ButtonControl::sourceRect(std::optional<RectF> value)
{
    if (value) {
        sourceRect_ = *value;
        if (imageMode_ == ImageNineGrid)
            repaint();
    }
    return sourceRect_;
}

int ButtonControl::faceFor(int state) const
{
    if (isDisabled())
        return faces_[FaceDisabled].bytes.empty() ? FaceNormal : FaceDisabled;
    switch (state) {
    case StateNormal:
        return FaceNormal;
    case StateHover:
    case StateFocused:
        return FaceHover;
    case StatePressed:
        return FacePressed;
    default:
        return FaceNone;
    }
}

// ---- events ----

int ButtonControl::handleImageEvent(int code, WPARAM wParam, LPARAM lParam)
{
    const int answer = onPreEvent(code, wParam, lParam);
    if (answer != -1)
        return answer;
    switch (code) {
    case EV_CREATE:
        setKind(KIND_IMAGE_BUTTON);
        return -1;
    case EV_DESTROY:
        for (Picture& face : faces_)
            face.assign({});
        return -1;
    case EV_FOCUS:
    case EV_BLUR:
        return 0;  // focus changes do not repaint the button
    case EV_QUERY_DIM:
        if (faces_[FaceDisabled].bytes.empty())
            return -1;
        // The host is composing this button right now: bring its image up to date without asking
        // for another redraw, and only when it does not show the disabled face already.
        if (paintedFace_ != FaceDisabled)
            paint(std::nullopt, false);
        return 0;
    default:
        return -1;
    }
}

int ButtonControl::handleEvent(int code, WPARAM wParam, LPARAM lParam)
{
    const int answer = handleImageEvent(code, wParam, lParam);
    if (answer != -1)
        return answer;
    switch (code) {
    case EV_CREATE:
        registerAccessKey();
        break;
    case EV_DESTROY:
        // The host's table would otherwise keep clicking a control that no longer exists.
        unregisterAccessKey();
        deleteStringFormat();
        releaseFont();
        icon_.assign({});
        break;
    case EV_PAINT:
        paint();
        break;
    case EV_SHOW:
        if (paintDeferred_) {
            paintDeferred_ = false;
            paint(std::nullopt, false);
        }
        break;
    case WM_LBUTTONDOWN:
        if (isFocusable())
            paint(StatePressed);
        break;
    case WM_LBUTTONUP:
        if (isFocusable())
            paint(StateHover);
        break;
    case EV_MOUSE_ENTER:
        transitionFrames(hoverFadeFrames);
        paint(StateHover);
        break;
    case EV_MOUSE_LEAVE:
        transitionFrames(hoverFadeFrames);
        paint(StateNormal);
        break;
    case EV_TRANSITION_END:
        transitionFrames(0);
        break;
    default:
        break;
    }
    return -1;
}

// ---- painting ----

int ButtonControl::drawStateImage(PaintContext& context, int state)
{
    const int face = faceFor(state);
    paintedFace_ = FaceNone;
    if (face == FaceNone)
        return 1;
    GpImage* image = faces_[face].image();
    if (!image)
        return 1;
    GpGraphics* g = context.graphics;
    const RectF& r = context.rect;
    switch (imageMode_) {
    case ImageNatural: {
        const auto w = static_cast<float>(imageWidth(image)), h = static_cast<float>(imageHeight(image));
        GpImage* twice = Images::doubleSizeOf(faces_[face].bytes);
        if (Images::drawDoubleSize(g, displayScale(), twice, {r.x, r.y, w, h}, {0, 0, w, h}))
            break;
        // In pixels: GdipDrawImage would scale by the file's resolution.
        GDIP(GdipDrawImageRect)(g, image, r.x, r.y, w, h);
        break;
    }
    case ImageStretched:
        // From 150 % a partner of twice the size is the better source to resample.
        faces_[face].drawStretched(
            g, r, displayScale() >= Images::doubleSizeFrom ? Images::doubleSizeOf(faces_[face].bytes) : nullptr);
        break;
    case ImageNineGrid:
        drawImageNineGrid(g, image, r, sourceRect_);
        break;
    default:
        return 1;  // no face picture in other modes
    }
    paintedFace_ = face;
    return 1;
}

RectF ButtonControl::measureCaption(const RectF& area) const
{
    if (text_.empty() || !stringFormat_ || !graphics())
        return {};
    const INT length = static_cast<INT>(text_.size());
    Gdiplus::CharacterRange range(0, length);
    GDIP(GdipSetStringFormatMeasurableCharacterRanges)(stringFormat_, 1, &range);
    GpRegion* region = nullptr;
    if (GDIP(GdipCreateRegion)(&region) != Gdiplus::Ok || !region)
        return {};
    Gdiplus::GpRectF bounds{};
    if (GDIP(GdipMeasureCharacterRanges)(graphics(), text_.c_str(), length, fontOrDefault(font_), *gpRect(&area),
                                         stringFormat_, 1, &region) == Gdiplus::Ok)
        GDIP(GdipGetRegionBounds)(region, graphics(), &bounds);
    GDIP(GdipDeleteRegion)(region);
    return {bounds.X - area.x, bounds.Y - area.y, std::trunc(bounds.Width), std::trunc(bounds.Height)};
}

void ButtonControl::paint(std::optional<int> state, std::optional<bool> fade)
{
    if (state)
        state_ = *state;
    const bool withFadeIn = fade.value_or(true);
    // Hidden since creation (the run button, the highlighted link): drawn when first shown.
    if (!painted_ && !visible()) {
        paintDeferred_ = true;
        return;
    }
    PaintContext context;
    if (!beginPaint(context, nullptr, withFadeIn))
        return;
    painted_ = true;
    GpGraphics* g = context.graphics;
    const RectF r = context.rect;
    // Begin paint clears only for a fade-in; a face with transparent parts must not show the old one.
    if (!withFadeIn)
        clearToTransparent(r);

    drawStateImage(context, state_);

    const RectF content{r.x + 1, r.y + 1, r.width - 2, r.height - 2};
    GDIP(GdipSetClipRect)(g, content.x, content.y, content.width, content.height, Gdiplus::CombineModeReplace);
    GpImage* iconImage = icon_.image();
    const SIZE iconSize = iconImage ? SIZE{static_cast<LONG>(imageWidth(iconImage)),
                                           static_cast<LONG>(imageHeight(iconImage))}
                                    : SIZE{0, 0};
    const RectF glyphs = measureCaption(content);
    const SIZE captionSize{static_cast<LONG>(glyphs.width), static_cast<LONG>(glyphs.height)};
    ContentRects rects = layoutContent(iconLayout_, r, iconSize, captionSize, offsetX_, offsetY_, gap_);
    if (state_ == StatePressed) {
        inflateRect(rects.caption, 1, 1, 0, 0);
        inflateRect(rects.icon, 1, 1, 0, 0);
    }

    onDrawContent(context, state_, rects.caption, rects.icon);
    if (iconImage)
        GDIP(GdipDrawImageRect)(g, iconImage, rects.icon.x, rects.icon.y, static_cast<float>(iconSize.cx),
                                static_cast<float>(iconSize.cy));
    if (!text_.empty()) {
        // GDI+ sets the glyphs in from the layout rectangle's edges; a rectangle of exactly the glyphs'
        // size would trim the last characters away. Grown by that inset, the glyphs land on the caption
        // rectangle and keep all their room.
        const float padX = std::max(0.0f, glyphs.x), padY = std::max(0.0f, glyphs.y);
        const RectF layout{rects.caption.x - padX, rects.caption.y - padY, rects.caption.width + 2 * padX + 2,
                           rects.caption.height + 2 * padY + 2};
        drawLabelText(*this, g, text_, fontOrDefault(font_), stringFormat_, layout, textColor_, haloColor_,
                      textEffect_, autoContrast_);
    }
    GDIP(GdipResetClip)(g);
    endPaint(context);
}
