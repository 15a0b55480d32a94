#include "CaptionButton.h"

#include "Canvas.h"
#include "Engine.h"
#include "EngineData.h"
#include "Images.h"

namespace {
constexpr int transitionIntervalMs = 60;
constexpr int hoverFadeFrames = 3;
constexpr int leaveFadeFrames = 4;

// Left edges of the normal, hover and pressed faces in the strip.
struct FaceColumns {
    int buttonType;
    int x[3];
};
constexpr FaceColumns restoreColumns = {CaptionButton::TypeMaximize, {207, 236, 265}};
constexpr FaceColumns faceColumns[] = {
    {CaptionButton::TypeClose, {0, 40, 80}},
    {CaptionButton::TypeMaximize, {120, 149, 178}},
    {CaptionButton::TypeMinimize, {294, 323, 352}},
    {CaptionButton::Type32, {381, 410, 439}},
    {CaptionButton::Type64, {468, 497, 526}},
    {CaptionButton::Type128, {555, 584, 613}},
    {CaptionButton::Type256, {642, 671, 700}},
};
}  // namespace

CaptionButton::~CaptionButton()
{
    destroy();
}

std::unique_ptr<Control> CaptionButton::clone() const
{
    auto copy = std::make_unique<CaptionButton>();
    copyBaseInto(*copy);
    copy->buttonType_ = buttonType_;
    return copy;
}

std::optional<RectF> CaptionButton::faceRect(int buttonType, int state, bool zoomed)
{
    const int column = state == StateHover || state == StatePressed ? state : StateNormal;
    const FaceColumns* faces = nullptr;
    if (buttonType == TypeMaximize && zoomed) {
        faces = &restoreColumns;
    } else {
        for (const auto& candidate : faceColumns)
            if (candidate.buttonType == buttonType)
                faces = &candidate;
    }
    if (!faces)
        return std::nullopt;
    const int width = buttonType == TypeClose ? closeFaceWidth : faceWidth;
    return makeRectF(faces->x[column], faceTop, width, faceHeight);
}

ControlHandle CaptionButton::createCaptionButton(ParentHandle parent, int x, int y, int width, int height,
                                                 int buttonType, std::optional<bool> visible)
{
    if (handle())
        return handle();
    buttonType_ = buttonType;
    paintedState_ = StateNormal;
    return create(parent, makeRectF(x, y, width, height), KIND_CAPTION_BUTTON, visible.value_or(true), false,
                  CursorSpec::none(), transitionIntervalMs, 0, 0);
}

void CaptionButton::paint(int state, bool forced, int fadeFrames)
{
    if (state == paintedState_ && !forced)
        return;
    transitionFrames(fadeFrames);
    PaintContext context;
    if (!beginPaint(context, nullptr, true))
        return;
    GpBitmap* strip = engine().builtinStrip;
    const std::optional<RectF> face = faceRect(buttonType_, state, IsZoomed(hostWindow()) != FALSE);
    if (strip && face) {
        const RectF& r = context.rect;
        GpImage* twice = Images::doubleSizeOf(builtinStripData());
        if (!Images::drawDoubleSize(context.graphics, displayScale(), twice, r, *face))
            GDIP(GdipDrawImageRectRect)(context.graphics, strip, r.x, r.y, r.width, r.height, face->x, face->y,
                                        face->width, face->height, Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
    }
    endPaint(context);
    paintedState_ = state;
}

int CaptionButton::handleEvent(int code, WPARAM wParam, LPARAM lParam)
{
    switch (code) {
    case EV_DESTROY:
        buttonType_ = 0;
        paintedState_ = StateNormal;
        break;
    case EV_PAINT:
        paint(StateNormal, true);
        break;
    case WM_LBUTTONDOWN:
        paint(StatePressed);
        break;
    case WM_LBUTTONUP:
        paint(StateHover);
        break;
    case EV_MOUSE_ENTER:
        paint(StateHover, false, hoverFadeFrames);
        break;
    case EV_MOUSE_LEAVE:
        paint(StateNormal, false, leaveFadeFrames);
        break;
    case EV_CLICK:
        if (isDisabled())
            break;
        if (buttonType_ == TypeClose)
            PostMessageW(hostWindow(), WM_CLOSE, 0, 0);
        else if (buttonType_ == TypeMaximize)
            PostMessageW(hostWindow(), WM_SYSCOMMAND, IsZoomed(hostWindow()) ? SC_RESTORE : SC_MAXIMIZE, 0);
        else if (buttonType_ == TypeMinimize && !IsIconic(hostWindow()))
            PostMessageW(hostWindow(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
        break;
    case EV_QUERY_PRESS:
        return 0;  // takes the press although it is not focusable
    case EV_MOVED:
        if (buttonType_ == TypeMaximize)
            paint(StateNormal, true);  // the face follows the window's zoom state
        break;
    default:
        break;
    }
    return -1;
}
