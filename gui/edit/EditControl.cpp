// Sections: lifetime · events · creation and destruction · text · layout · hit-testing · caret rectangle ·
// scrolling · painting · keyboard · characters and input method · editing · mouse · context menu · caret ·
// focus · clipboard · properties
#include "EditControl.h"

#include <windowsx.h>
#include <imm.h>

#include <algorithm>
#include <cmath>

#include "Canvas.h"
#include "EditLayout.h"
#include "Engine.h"
#include "Fonts.h"
#include "HostWindow.h"
#include "PopupMenu.h"
#include "ScrollBar.h"
#include "StringFormatHelper.h"
#include "SystemDll.h"
#include "Text.h"

namespace {

constexpr ARGB defaultTextColour = 0xE6000000;
constexpr ARGB defaultBorderColour = 0x50000000;
constexpr float defaultFontSize = 12.0f;
constexpr int formatFlags = 0x400 | 0x800 | 0x4000;  // NoFontFallback | MeasureTrailingSpaces | NoClip
constexpr int lineLimitFlag = 0x2000;
constexpr float tabFirstOffset = 1.0f;
constexpr float tabStop = 8.0f;
constexpr float cornerSize = 4.0f;
constexpr float tolerance = 1e-7f;
constexpr int wheelRows = 3;

bool isKeyHeld(int key)
{
    return (GetKeyState(key) & 0x8000) != 0;
}

int countCrLf(std::string_view text)
{
    int count = 0;
    for (size_t at = text.find("\r\n"); at != std::string_view::npos; at = text.find("\r\n", at + 2))
        ++count;
    return count;
}

}  // namespace

// ---- lifetime ----

EditControl::EditControl() = default;

EditControl::~EditControl()
{
    // Here, not in the base: the base's destructor no longer reaches this class's handleEvent.
    if (handle())
        destroy();
    releaseCaretCanvas();
    measuring_.reset();
    releaseFont();
    if (stringFormat_)
        GDIP(GdipDeleteStringFormat)(stringFormat_);
    if (textBrush_)
        GDIP(GdipDeleteBrush)(textBrush_);
}

std::unique_ptr<Control> EditControl::clone() const
{
    auto copy = std::make_unique<EditControl>();
    copyBaseInto(*copy);
    copy->textBuffer_ = textBuffer_;
    if (stringFormat_ && GDIP(GdipCloneStringFormat)(stringFormat_, &copy->stringFormat_) != Gdiplus::Ok)
        copy->stringFormat_ = nullptr;
    copy->textArea_ = textArea_;
    copy->layoutRect_ = layoutRect_;
    if (font_ && font_ != engine().defaultFont()) {
        if (GDIP(GdipCloneFont)(font_, &copy->font_) != Gdiplus::Ok)
            copy->font_ = nullptr;
    } else {
        copy->font_ = font_;
    }
    copy->textColour_ = textColour_;
    copy->textBrush_ = solidBrush(textColour_);
    copy->backColour_ = backColour_;
    copy->borderColour_ = borderColour_;
    copy->normalBorderColour_ = normalBorderColour_;
    copy->inputMode_ = inputMode_;
    copy->maskText_ = maskText_;
    copy->multiLine_ = multiLine_;
    copy->scrollMode_ = scrollMode_;
    copy->roundCorners_ = roundCorners_;
    copy->anchorLine_ = anchorLine_;
    copy->caretLine_ = caretLine_;
    copy->anchorColumn_ = anchorColumn_;
    copy->caretColumn_ = caretColumn_;
    copy->changeChildHandler_ = changeChildHandler_;
    copy->changeHandler_ = changeHandler_;
    return copy;
}

// ---- events ----

int EditControl::handleEvent(int code, WPARAM wParam, LPARAM lParam)
{
    const int early = preHandleEvent(code, wParam, lParam);
    if (early != -1)
        return early;
    switch (code) {
    case EV_CREATE:
        onCreate();
        break;
    case EV_DESTROY:
        onDestroy();
        break;
    case EV_PAINT:
        // The common repaint (colour changes) arrives here; the first one follows creation.
        paint(false);
        break;
    case eventSetText:
        onSetText(wParam ? *reinterpret_cast<const std::string*>(wParam) : std::string(), lParam != 0);
        break;
    case eventGetText:
        // The answer goes to the caller's string: an int answer cannot carry an address.
        if (wParam)
            *reinterpret_cast<std::string*>(wParam) = textBuffer_.bytes();
        return 1;
    case WM_KEYDOWN:
        return keyDown(static_cast<int>(wParam), lParam, false);
    case WM_CHAR:
        onChar(static_cast<unsigned>(wParam));
        break;
    case WM_IME_COMPOSITION:
        onImeComposition(lParam);
        break;
    case WM_COMMAND:
        return keyDown(static_cast<int>(wParam), lParam, true);
    case WM_TIMER:
        showCaret((blinkCounter_ & 1) != 0, false);
        break;
    case WM_MOUSEMOVE:
        if (wParam == handle())
            onDrag(lParam);
        break;
    case WM_LBUTTONDOWN:
        onLeftDown(wParam, lParam);
        break;
    case WM_LBUTTONUP:
        showCaret(true, true);
        break;
    case WM_RBUTTONUP:
        onRightUp();
        break;
    case WM_MOUSEWHEEL:
        onWheel(wParam);
        break;
    case EV_FOCUS:
        onFocus();
        break;
    case EV_BLUR:
        onBlur();
        break;
    case EV_RESIZE:
        paint(true);
        break;
    case EV_SHOW:
        if (firstPaintDeferred_) {
            firstPaintDeferred_ = false;
            paint(true);
            int column = caretColumn_ - 1;
            caretBox_ = caretRect(caretLine_, column, false);
            previousCaretBox_ = caretBox_;
        }
        break;
    case EV_ALPHA:
        if (verticalBar_ && (scrollMode_ & ScrollVertical))
            verticalBar_->alpha(static_cast<int>(lParam), false, false);
        if (horizontalBar_ && (scrollMode_ & ScrollHorizontal))
            horizontalBar_->alpha(static_cast<int>(lParam), false, false);
        break;
    default:
        break;
    }
    return -1;
}

// ---- creation and destruction ----

ControlHandle EditControl::create(ParentHandle parent, int left, int top, int width, int height,
                                  std::optional<std::string> text, std::optional<ARGB> textColour,
                                  std::optional<ARGB> backColour, std::optional<std::string> fontName,
                                  std::optional<float> fontSize, std::optional<int> fontStyle,
                                  std::optional<bool> multiLine, std::optional<int> inputMode,
                                  std::optional<std::string> maskText, std::optional<int> scrollMode,
                                  std::optional<ARGB> borderColour, std::optional<bool> visible)
{
    if (handle())
        return handle();

    releaseFont();
    if (fontName || fontSize || fontStyle) {
        const std::string face = fontName.value_or(fontFamilyName(engine().defaultFont()));
        font_ = createFont(face, fontSize.value_or(defaultFontSize), fontStyle.value_or(Gdiplus::FontStyleRegular));
    } else {
        font_ = engine().defaultFont();
    }

    textColour_ = textColour.value_or(defaultTextColour);
    backColour_ = backColour.value_or(makeColor(RGB(255, 255, 255), 160));
    borderColour_ = borderColour.value_or(defaultBorderColour);
    maskText_ = maskText.value_or("*");
    multiLine_ = multiLine.value_or(false);
    inputMode_ = inputMode.value_or(ModeNormal);
    scrollMode_ = scrollMode.value_or(multiLine_ ? (ScrollHorizontal | ScrollVertical) : ScrollNone);

    if (textBrush_)
        GDIP(GdipDeleteBrush)(textBrush_);
    textBrush_ = solidBrush(textColour_);
    normalBorderColour_ = borderColour_;
    textBuffer_.setText(text.value_or(""), multiLine_, inputMode_, maskText_);

    if (stringFormat_)
        GDIP(GdipDeleteStringFormat)(stringFormat_);
    stringFormat_ = nullptr;
    {
        StringFormatHelper helper;
        const int flags = formatFlags | (scrollMode_ == ScrollVertical ? lineLimitFlag : 0);
        if (helper.createFormat(flags, 0, false)) {
            helper.trimming(Gdiplus::StringTrimmingNone);
            const float stops[] = {tabStop};
            GDIP(GdipSetStringFormatTabStops)(helper.nativeHandle(), tabFirstOffset, 1, stops);
            stringFormat_ = helper.nativeHandle();
        }
    }

    const ControlHandle created =
        Control::create(parent, RectF{static_cast<float>(left), static_cast<float>(top), static_cast<float>(width),
                                      static_cast<float>(height)},
                        KIND_EDIT, visible.value_or(true), true, CursorSpec::system(reinterpret_cast<LPCWSTR>(IDC_IBEAM)));
    return created;
}

void EditControl::onCreate()
{
    firstVisibleLine_ = lastVisibleLine_ = 1;
    anchorLine_ = caretLine_ = 1;
    anchorColumn_ = caretColumn_ = 0;
    scrollX_ = scrollY_ = 0;
    if (multiLine_) {
        const RectF& b = currentBounds();
        verticalBar_ = std::make_unique<ScrollBar>();
        verticalBar_->create(handle(), static_cast<int>(b.x + b.width - scrollBarSize), static_cast<int>(b.y),
                             scrollBarSize, static_cast<int>(b.height), std::nullopt, std::nullopt, std::nullopt,
                             std::nullopt, std::nullopt, std::nullopt, ScrollBar::Vertical, std::nullopt,
                             (scrollMode_ & ScrollVertical) != 0);
        verticalBar_->onChange(&EditControl::verticalBarMoved);
        verticalBar_->transitionInterval(0);
        horizontalBar_ = std::make_unique<ScrollBar>();
        horizontalBar_->create(handle(), static_cast<int>(b.x), static_cast<int>(b.y + b.height - scrollBarSize),
                               static_cast<int>(b.width), scrollBarSize, std::nullopt, std::nullopt, std::nullopt,
                               std::nullopt, std::nullopt, std::nullopt, ScrollBar::Horizontal, std::nullopt,
                               (scrollMode_ & ScrollHorizontal) != 0);
        horizontalBar_->onChange(&EditControl::horizontalBarMoved);
        horizontalBar_->transitionInterval(0);
    }
    paint(true);
    // The system caret only places the input method's window; the visible caret is drawn here. Its
    // shape is black, so inverting with it changes nothing where Wine shows it of its own accord.
    const int caretHeight = static_cast<int>(fontHeight()) + 3;
    if (!systemCaretShape_)
        systemCaretShape_ = CreateBitmap(1, caretHeight, 1, 1, nullptr);
    if (systemCaretShape_) {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, systemCaretShape_);
        PatBlt(dc, 0, 0, 1, caretHeight, BLACKNESS);
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    CreateCaret(hostWindow(), systemCaretShape_, 1, caretHeight);
    int column = -1;
    caretBox_ = firstPaintDeferred_ ? RectF{} : caretRect(1, column, false);
    previousCaretBox_ = caretBox_;
    makeCaretCanvas();
}

void EditControl::onDestroy()
{
    KillTimer(hostWindow(), handle());
    releaseCaretCanvas();
    textBuffer_.setText("", multiLine_, inputMode_, maskText_);
    measuring_.reset();
    firstPaintDeferred_ = false;
    if (stringFormat_)
        GDIP(GdipDeleteStringFormat)(stringFormat_);
    stringFormat_ = nullptr;
    releaseFont();
    scrollY_ = scrollX_ = 0;
    anchorColumn_ = caretColumn_ = 0;
    anchorLine_ = caretLine_ = 0;
    DestroyCaret();
    if (systemCaretShape_)
        DeleteObject(systemCaretShape_);
    systemCaretShape_ = nullptr;
    // The bars are children: the base destroys them with the tree; the objects go with this one.
}

// ---- text ----

std::string EditControl::text(std::optional<std::string> value, bool caretToEnd)
{
    if (value) {
        sendEvent(eventSetText, reinterpret_cast<WPARAM>(&*value), caretToEnd ? 1 : 0);
        return textBuffer_.bytes();
    }
    std::string answer;
    if (sendEvent(eventGetText, reinterpret_cast<WPARAM>(&answer), 0) != 1)
        return textBuffer_.bytes();
    return answer;
}

void EditControl::onSetText(const std::string& value, bool caretToEnd)
{
    textBuffer_.setText(value, multiLine_, inputMode_, maskText_);
    scrollY_ = scrollX_ = 0;
    anchorColumn_ = caretColumn_ = 0;
    anchorLine_ = caretLine_ = 1;
    firstVisibleLine_ = lastVisibleLine_ = 1;
    layoutText();
    updateScrollBars(false, true);
    paint(false);
    raiseChange();
    if (caretToEnd) {
        caretLine_ = anchorLine_ = textBuffer_.lineCount();
        caretColumn_ = anchorColumn_ = textBuffer_.characterCount(caretLine_);
        scrollY_ = static_cast<int>(layoutRect_.y) - (textBuffer_.totalHeight() - static_cast<int>(layoutRect_.height));
        int column = caretColumn_ - 1;
        caretBox_ = caretRect(caretLine_, column, true);
        paint(false);
    } else {
        int column = -1;
        caretBox_ = caretRect(1, column, false);
    }
    previousCaretBox_ = caretBox_;
    if (!hasFocus())
        KillTimer(hostWindow(), handle());
}

std::string EditControl::selectedText()
{
    return textBuffer_.range(bytePosition(anchorLine_, anchorColumn_), bytePosition(caretLine_, caretColumn_));
}

int EditControl::bytePosition(int line, int column)
{
    if (!textBuffer_.isValidLine(line))
        return 0;
    const std::string_view bytes = textBuffer_.view();
    const int start = textBuffer_.lineStart(line);
    const std::string_view rest =
        bytes.substr(static_cast<size_t>(start - 1), static_cast<size_t>(textBuffer_.lineLength(line)));
    return start + TextBuffer::characterBytes(rest, std::max(column, 0));
}

void EditControl::setSelection(TextBuffer::Position anchor, TextBuffer::Position caret)
{
    anchor = textBuffer_.clamp(anchor);
    caret = textBuffer_.clamp(caret);
    anchorLine_ = anchor.line;
    anchorColumn_ = anchor.column;
    caretLine_ = caret.line;
    caretColumn_ = caret.column;
    int column = caretColumn_ - 1;
    caretBox_ = caretRect(caretLine_, column, true);
    previousCaretBox_ = caretBox_;
    updateScrollBars(false, true);
    paint(false);
}

// ---- layout ----

float EditControl::fontHeight() const
{
    float height = 0;
    if (!font_ || GDIP(GdipGetFontHeight)(font_, graphics(), &height) != Gdiplus::Ok)
        return 0;
    return height;
}

float EditControl::wrapWidth() const
{
    // Only the vertical-only mode wraps: a horizontal bar or a single line means one row per line.
    return scrollMode_ == ScrollVertical ? layoutRect_.width : 0.0f;
}

void EditControl::layoutText()
{
    if (!graphics() || !font_)
        return;
    // A resize gives the control a new bitmap and graphics; the measurer must not keep the old one.
    if (measuring_ && !measuring_->measuresWith(graphics(), font_)) {
        measuring_.reset();
        laidOutWidth_ = -1;
    }
    if (!measuring_)
        measuring_ = std::make_unique<EditLayout>(graphics(), font_, stringFormat_);
    measuring_->forgetLines();
    const float width = wrapWidth();
    // Line boxes depend on the wrap width only when lines wrap; the buffer keeps the unchanged ones.
    const auto scope = width != laidOutWidth_ ? TextBuffer::Remeasure::AllLines : TextBuffer::Remeasure::ChangedLines;
    laidOutWidth_ = width;
    EditLayout::LineMeasurer measurer(*measuring_, width);
    textBuffer_.layout(measurer, scrollMode_, scope);
}

std::wstring EditControl::displayWide(int line) const
{
    return EditLayout::toDisplayWide(textBuffer_.lineText(line, std::nullopt, true));
}

int EditControl::lineAtY(int y, int hint)
{
    const int count = textBuffer_.lineCount();
    int line = textBuffer_.isValidLine(hint) ? hint : 1;
    const auto contains = [&](int n) {
        const RectF box = textBuffer_.lineBox(n);
        const float fy = static_cast<float>(y);
        return box.y - tolerance <= fy && fy <= box.y + box.height + tolerance;
    };
    if (contains(line))
        return line;
    if (static_cast<float>(y) >= textBuffer_.lineBox(line).y) {
        for (++line; line <= count; ++line) {
            if (contains(line))
                return line;
        }
        return y > 0 ? count : 0;
    }
    for (--line; line >= 1; --line) {
        if (contains(line))
            return line;
    }
    return 0;
}

// ---- hit-testing ----

TextBuffer::Position EditControl::hitTest(int x, int y)
{
    const RectF& b = currentBounds();
    int lx = static_cast<int>(static_cast<float>(x) - b.x - layoutRect_.x);
    int ly = static_cast<int>(static_cast<float>(y) - b.y - layoutRect_.y);
    const int ty = ly - scrollY_;
    const int line = std::max(lineAtY(ty, firstVisibleLine_), 1);
    lx = std::max(lx, 0);
    if (ty <= 0)
        ly = scrollY_;
    else if (ty > textBuffer_.totalHeight())
        ly = textBuffer_.totalHeight() + scrollY_;
    if (!measuring_)
        layoutText();
    if (!measuring_)
        return {line, 0};

    // The line's cells are measured once per layout, in text coordinates; the point is moved there.
    const EditLayout::LineCells* cached = measuring_->cachedLine(line);
    if (!cached) {
        std::wstring display = displayWide(line);
        const int count = static_cast<int>(display.size());
        if (display.empty())
            display = L"\t";
        const RectF box = textBuffer_.lineBox(line);
        cached = &measuring_->cacheLine(line, display, count, RectF{box.x, box.y, wrapWidth(), 0});
    }
    const int characters = static_cast<int>(cached->cells.size());
    // The row under the point: x is clamped into it so that a click beside a row hits its ends.
    float px = static_cast<float>(lx - scrollX_);
    const float py = static_cast<float>(ly - scrollY_);
    for (const RectF& scan : cached->scans) {
        const float top = scan.y - 2, height = scan.height + 4;
        if (top - tolerance <= py && py <= top + height + tolerance) {
            if (px < scan.x)
                px = scan.x;
            else if (px > scan.x + scan.width)
                px = scan.x + scan.width;
            break;
        }
    }
    if (characters == 0)
        return {line, 0};

    // Binary search over the characters; one past the end has no cell and ends the search there.
    int lo = 0, hi = characters, mid = 0;
    while (lo <= hi) {
        mid = (lo + hi) / 2;
        if (mid >= characters || !cached->cells[static_cast<size_t>(mid)])
            break;
        RectF cell = *cached->cells[static_cast<size_t>(mid)];
        cell.y -= 6;
        cell.height += 11;
        const bool rowsHold = cell.y <= py && py <= cell.y + cell.height;
        if (rowsHold && cell.x <= px && px <= cell.x + cell.width) {
            if (px > cell.x + cell.width / 2)
                ++mid;
            break;
        }
        if (cell.y > py || (rowsHold && cell.x > px))
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    int column = std::clamp(mid, 0, characters);
    if (textBuffer_.displayMode() == TextBuffer::passwordMode) {
        // The display shows maskText per character.
        const int maskWidth = std::max(TextBuffer::countCharacters(textBuffer_.maskText()), 1);
        column = std::min((column + maskWidth / 2) / maskWidth, textBuffer_.characterCount(line));
    }
    return {line, column};
}

// ---- caret rectangle ----

RectF EditControl::caretRect(int line, int& column, bool scrollIntoView, int extraHeight)
{
    if (!measuring_)
        layoutText();
    const RectF box = textBuffer_.lineBox(line);
    const std::wstring display = displayWide(line);
    int maskWidth = 1;
    if (textBuffer_.displayMode() == TextBuffer::passwordMode)
        maskWidth = std::max(TextBuffer::countCharacters(textBuffer_.maskText()), 1);
    const int characters = static_cast<int>(display.size()) / maskWidth;
    if (column >= characters)
        column = characters - 1;

    RectF caret{box.x, box.y, 1, box.height};
    if (column >= 0 && measuring_) {
        const RectF measuringBox{box.x, box.y, wrapWidth(), 0};
        const int first = column * maskWidth + maskWidth - 1;
        std::optional<RectF> cell = measuring_->rangeBounds(display, first, 1, measuringBox);
        if (cell && (cell->width != 0 || cell->height != 0)) {
            caret.x = cell->x + cell->width;
            caret.y = cell->y;
        } else {
            // A character GDI+ does not measure (a trailing tab under Wine): measure up to it with a space
            // behind and step back by half a reference glyph.
            const std::wstring upTo = display.substr(0, static_cast<size_t>(first + 1)) + L" ";
            const std::optional<RectF> whole = measuring_->measure(upTo, measuringBox);
            const std::optional<RectF> last = measuring_->rangeBounds(upTo, first + 1, 1, measuringBox);
            if (last) {
                caret.x = last->x;
                caret.y = last->y;
            } else if (whole) {
                caret.x = whole->x + whole->width - static_cast<float>(textBuffer_.refWidth()) / 2;
                caret.y = box.y;
            }
        }
    }
    caret.x = std::trunc(caret.x) + layoutRect_.x + static_cast<float>(scrollX_);
    caret.y = std::trunc(caret.y) + layoutRect_.y - 2 + static_cast<float>(scrollY_);
    caret.width = 1;
    caret.height = static_cast<float>(textBuffer_.refHeight() + (multiLine_ ? 1 : 0));

    if (!scrollIntoView)
        return caret;
    if (caret.y < layoutRect_.y - 2)
        scrollY_ = scrollY_ - static_cast<int>(caret.y) + static_cast<int>(caret.height);
    if (caret.y + caret.height > layoutRect_.y + layoutRect_.height - 2)
        scrollY_ = scrollY_ - static_cast<int>(caret.height) - extraHeight;
    if (caret.x > layoutRect_.x + layoutRect_.width)
        scrollX_ = scrollX_ - static_cast<int>(caret.x - layoutRect_.width);
    if (caret.x < layoutRect_.x)
        scrollX_ = scrollX_ + static_cast<int>(layoutRect_.x - caret.x + layoutRect_.width / 5);
    clampScroll();
    if (horizontalBar_ && (scrollMode_ & ScrollHorizontal))
        horizontalBar_->position(-scrollX_);
    if (verticalBar_ && (scrollMode_ & ScrollVertical))
        verticalBar_->position(-scrollY_);
    return caretRect(line, column, false, 0);
}

// ---- scrolling ----

void EditControl::clampScroll()
{
    const int bottom = textBuffer_.totalHeight() - static_cast<int>(layoutRect_.height);
    if (-scrollY_ > bottom)
        scrollY_ = -bottom;
    const int right = textBuffer_.maxWidth() - static_cast<int>(layoutRect_.width);
    if (-scrollX_ > right)
        scrollX_ = -right;
    scrollY_ = std::min(scrollY_, 0);
    scrollX_ = std::min(scrollX_, 0);
}

void EditControl::scrollTo(int y)
{
    const int delta = -y - scrollY_;
    scrollY_ = -y;
    caretBox_.y += static_cast<float>(delta);
    paint(false);
}

void EditControl::scrollToX(int x)
{
    const int delta = -x - scrollX_;
    scrollX_ = -x;
    caretBox_.x += static_cast<float>(delta);
    paint(false);
}

void EditControl::verticalBarMoved(ControlHandle parent, int position)
{
    if (auto* edit = dynamic_cast<EditControl*>(fromHandle(parent)))
        edit->scrollTo(position);
}

void EditControl::horizontalBarMoved(ControlHandle parent, int position)
{
    if (auto* edit = dynamic_cast<EditControl*>(fromHandle(parent)))
        edit->scrollToX(position);
}

void EditControl::updateScrollBars(bool place, bool updateRanges)
{
    if (!multiLine_)
        return;
    const RectF& b = currentBounds();
    const bool hasVertical = verticalBar_ && (scrollMode_ & ScrollVertical);
    const bool hasHorizontal = horizontalBar_ && (scrollMode_ & ScrollHorizontal);
    if (place) {
        if (hasVertical) {
            layoutRect_.width -= scrollBarSize;
            const RectF at{b.x + layoutRect_.x + layoutRect_.width, b.y + layoutRect_.y, scrollBarSize,
                           layoutRect_.height - (hasHorizontal ? scrollBarSize : 0)};
            const RectF now = verticalBar_->currentBounds();
            if (now.x != at.x || now.y != at.y || now.width != at.width || now.height != at.height)
                verticalBar_->move(at.x, at.y, at.width, at.height);
        }
        if (hasHorizontal) {
            layoutRect_.height -= scrollBarSize;
            const RectF at{b.x + layoutRect_.x, b.y + layoutRect_.y + layoutRect_.height, layoutRect_.width,
                           scrollBarSize};
            const RectF now = horizontalBar_->currentBounds();
            if (now.x != at.x || now.y != at.y || now.width != at.width || now.height != at.height)
                horizontalBar_->move(at.x, at.y, at.width, at.height);
        }
    }
    if (updateRanges) {
        if (hasVertical) {
            verticalBar_->maximum(textBuffer_.totalHeight() - static_cast<int>(layoutRect_.height));
            verticalBar_->step(std::max(textBuffer_.refHeight(), 1));
        }
        if (hasHorizontal)
            horizontalBar_->maximum(textBuffer_.maxWidth() - static_cast<int>(layoutRect_.width));
    }
}

// ---- painting ----

void EditControl::paint(bool relayout)
{
    // Created hidden and never laid out: a long text (an agreement) is measured when first shown, not at
    // start-up. Anything that needs the layout before then lays it out itself.
    if (!measuring_ && !visible()) {
        firstPaintDeferred_ = true;
        return;
    }
    PaintContext context;
    if (!beginPaint(context, nullptr, true))
        return;
    GpGraphics* g = context.graphics;
    const RectF area = context.rect;

    const RectF outline{area.x, area.y, area.width - 1, area.height - 1};
    if (roundCorners_) {
        fillRoundedRect(g, outline, cornerSize, backColour_);
        strokeRoundedRect(g, outline, cornerSize, borderColour_);
    } else {
        if (GpSolidFill* fill = solidBrush(backColour_)) {
            GDIP(GdipFillRectangle)(g, fill, area.x, area.y, area.width, area.height);
            GDIP(GdipDeleteBrush)(fill);
        }
        if (GpPen* pen = makePen(borderColour_)) {
            GDIP(GdipDrawRectangle)(g, pen, outline.x, outline.y, outline.width, outline.height);
            GDIP(GdipDeletePen)(pen);
        }
    }

    textArea_ = RectF{area.x + 2, area.y + 2, area.width - 4, area.height - 4};
    if (!multiLine_) {
        const float row = fontHeight() + 3;
        textArea_.y += std::trunc((textArea_.height - row) / 2);
        textArea_.height = row;
    }
    textArea_.y += 1;
    if (multiLine_)
        textArea_.height -= 1;
    layoutRect_ = textArea_;

    updateScrollBars(true, false);
    if (relayout || !measuring_) {
        layoutText();
        updateScrollBars(false, true);
    }
    onDrawText(context);
    drawLines(context);
    endPaint(context);
}

void EditControl::drawLines(PaintContext& context)
{
    GpGraphics* g = context.graphics;
    GDIP(GdipSetClipRect)(g, layoutRect_.x, layoutRect_.y, layoutRect_.width, layoutRect_.height,
                          Gdiplus::CombineModeReplace);
    firstVisibleLine_ = std::max(lineAtY(-scrollY_, firstVisibleLine_), 1);
    const float bottom = layoutRect_.height - static_cast<float>(scrollY_);
    for (int line = firstVisibleLine_; line <= textBuffer_.lineCount(); ++line) {
        const RectF box = textBuffer_.lineBox(line);
        lastVisibleLine_ = line;
        drawLine(line, box, context);
        if (box.y + box.height > bottom)
            break;
    }
    GDIP(GdipResetClip)(g);
}

void EditControl::drawLine(int line, const RectF& box, PaintContext& context)
{
    const RectF at{box.x + static_cast<float>(scrollX_) + layoutRect_.x, box.y + static_cast<float>(scrollY_) + layoutRect_.y,
                   wrapWidth(), 0};
    std::wstring display = displayWide(line);
    const std::wstring shown = display.empty() ? std::wstring(L" ") : display;
    if (measuring_)
        measuring_->draw(shown, at, textBrush_);
    if (!selectionIsEmpty() && !display.empty())
        drawSelection(line, at, display, context);
}

void EditControl::drawSelection(int line, const RectF& at, const std::wstring& display, PaintContext& context)
{
    TextBuffer::Position from{anchorLine_, anchorColumn_}, to{caretLine_, caretColumn_};
    if (to.line < from.line || (to.line == from.line && to.column < from.column))
        std::swap(from, to);
    if (line < from.line || line > to.line || !measuring_)
        return;
    int maskWidth = 1;
    if (textBuffer_.displayMode() == TextBuffer::passwordMode)
        maskWidth = std::max(TextBuffer::countCharacters(textBuffer_.maskText()), 1);
    const int characters = static_cast<int>(display.size());
    const int first = line == from.line ? from.column * maskWidth : 0;
    const int last = line == to.line ? std::min(to.column * maskWidth, characters) : characters;
    if (last <= first)
        return;

    GpGraphics* g = context.graphics;
    const bool wraps = textBuffer_.lineBox(line).height > static_cast<float>(textBuffer_.refHeight() + 3);
    GpRegion* clip = nullptr;
    GDIP(GdipCreateRegion)(&clip);
    if (clip)
        GDIP(GdipSetEmpty)(clip);
    GpSolidFill* fill = solidBrush(highlightColour);
    GpPen* pen = makePen(highlightColour);
    for (RectF scan : measuring_->rangeScans(display, first, last - first, at)) {
        scan.y -= multiLine_ ? 2 : 3;
        scan.height += wraps ? 3 : 4;
        if (fill)
            GDIP(GdipFillRectangle)(g, fill, scan.x, scan.y, scan.width, scan.height);
        if (pen)
            GDIP(GdipDrawRectangle)(g, pen, scan.x, scan.y, scan.width, scan.height);
        if (clip)
            GDIP(GdipCombineRegionRect)(clip, gpRect(&scan), Gdiplus::CombineModeUnion);
    }
    if (fill)
        GDIP(GdipDeleteBrush)(fill);
    if (pen)
        GDIP(GdipDeletePen)(pen);
    if (!clip)
        return;
    GDIP(GdipSetClipRegion)(g, clip, Gdiplus::CombineModeIntersect);
    if (GpSolidFill* white = solidBrush(selectedTextColour)) {
        measuring_->draw(display, at, white);
        GDIP(GdipDeleteBrush)(white);
    }
    GDIP(GdipSetClipRect)(g, layoutRect_.x, layoutRect_.y, layoutRect_.width, layoutRect_.height,
                          Gdiplus::CombineModeReplace);
    GDIP(GdipDeleteRegion)(clip);
}

// ---- keyboard ----

int EditControl::keyDown(int key, LPARAM lParam, bool fromMenu)
{
    const bool ctrl = isKeyHeld(VK_CONTROL) || fromMenu;
    const bool shift = isKeyHeld(VK_SHIFT) && inputMode_ != ModePassword;
    const int count = textBuffer_.lineCount();

    if (ctrl) {
        if (inputMode_ == ModePassword)
            return 0;
        switch (key) {
        case EDIT_MENU_SELECT_ALL: {
            anchorLine_ = 1;
            anchorColumn_ = 0;
            caretLine_ = count;
            caretColumn_ = textBuffer_.characterCount(count);
            scrollY_ = static_cast<int>(layoutRect_.y) - (textBuffer_.totalHeight() - static_cast<int>(layoutRect_.height));
            int column = caretColumn_ - 1;
            caretBox_ = caretRect(caretLine_, column, true);
            paint(false);
            return 0;
        }
        case EDIT_MENU_COPY: {
            const std::string selected = selectedText();
            if (!selected.empty())
                copyToClipboard(selected);
            return 0;
        }
        case EDIT_MENU_PASTE: {
            const std::string pasted = clipboardText();
            if (!pasted.empty())
                insertText(pasted);
            return 0;
        }
        case EDIT_MENU_CUT: {
            if (inputMode_ == ModeReadOnly)
                return -1;
            const std::string selected = selectedText();
            if (!selected.empty()) {
                copyToClipboard(selected);
                deleteSelection(false);
            }
            return 0;
        }
        default:
            return -1;
        }
    }

    switch (key) {
    case VK_BACK:
        if (!deleteSelection(false)) {
            anchorLine_ = caretLine_;
            anchorColumn_ = caretColumn_;
            if (caretColumn_ > 0) {
                --caretColumn_;
            } else if (caretLine_ > 1) {
                --caretLine_;
                caretColumn_ = textBuffer_.characterCount(caretLine_);
            }
            deleteSelection(false);
        }
        return 0;
    case VK_RETURN:
        if (multiLine_)
            insertText("\r\n");
        return 0;
    case VK_DELETE:
        if (!deleteSelection(false))
            deleteForward();
        return 0;
    case VK_END:
        caretColumn_ = textBuffer_.characterCount(caretLine_);
        break;
    case VK_HOME:
        caretColumn_ = 0;
        break;
    case VK_LEFT:
        if (caretColumn_ > 0) {
            --caretColumn_;
        } else if (multiLine_ && caretLine_ > 1) {
            --caretLine_;
            caretColumn_ = textBuffer_.characterCount(caretLine_);
        }
        break;
    case VK_RIGHT:
        if (caretColumn_ < textBuffer_.characterCount(caretLine_)) {
            ++caretColumn_;
        } else if (multiLine_ && caretLine_ < count) {
            ++caretLine_;
            caretColumn_ = 0;
        }
        break;
    case VK_UP:
        if (!multiLine_)
            return 0;
        caretLine_ = std::max(caretLine_ - 1, 1);
        caretColumn_ = std::min(caretColumn_, textBuffer_.characterCount(caretLine_));
        break;
    case VK_DOWN:
        if (!multiLine_)
            return 0;
        caretLine_ = std::min(caretLine_ + 1, count);
        caretColumn_ = std::min(caretColumn_, textBuffer_.characterCount(caretLine_));
        break;
    case VK_SPACE:
        return 0;  // the character comes as WM_CHAR
    default:
        return -1;
    }
    afterMove(shift);
    return 0;
}

void EditControl::afterMove(bool shift)
{
    if (!shift) {
        anchorLine_ = caretLine_;
        anchorColumn_ = caretColumn_;
    }
    int column = caretColumn_ - 1;
    caretBox_ = caretRect(caretLine_, column, true);
    updateScrollBars(false, true);
    paint(false);
    showCaret(hasFocus(), true);
}

// ---- characters and input method ----

bool EditControl::acceptsCharacter(int mode, unsigned code, std::string_view currentText)
{
    if (code < 28 || code > 126)
        return false;
    if (mode == ModeInteger)
        return (code >= '0' && code <= '9') || code == '-';
    if (mode == ModeDecimal) {
        if (code < 45 || code > 57)
            return false;
        return code != '.' || currentText.find('.') == std::string_view::npos;
    }
    return true;
}

void EditControl::onChar(unsigned code)
{
    if (!acceptsCharacter(inputMode_, code, textBuffer_.view()))
        return;
    insertText(std::string(1, static_cast<char>(code)));
}

std::string EditControl::imeResultToInsert(std::string result)
{
    for (const char c : result) {
        if (static_cast<unsigned char>(c) > 128)
            return result;
    }
    return {};
}

void EditControl::onImeComposition(LPARAM lParam)
{
    if (!(lParam & GCS_RESULTSTR))
        return;
    const auto getContext = BOUND_PROC(SystemDll::Imm, HIMC(WINAPI*)(HWND), "ImmGetContext");
    const auto getString = BOUND_PROC(SystemDll::Imm, LONG(WINAPI*)(HIMC, DWORD, LPVOID, DWORD),
                                      "ImmGetCompositionStringA");
    const auto releaseContext = BOUND_PROC(SystemDll::Imm, BOOL(WINAPI*)(HWND, HIMC), "ImmReleaseContext");
    if (!getContext || !getString)
        return;
    std::string result;
    if (HIMC context = getContext(hostWindow())) {
        const LONG size = getString(context, GCS_RESULTSTR, nullptr, 0);
        if (size > 0) {
            result.resize(static_cast<size_t>(size));
            const LONG got = getString(context, GCS_RESULTSTR, result.data(), static_cast<DWORD>(size));
            result.resize(got > 0 ? static_cast<size_t>(std::min(got, size)) : 0);
        }
        if (releaseContext)
            releaseContext(hostWindow(), context);
    }
    result = imeResultToInsert(std::move(result));
    if (!result.empty())
        insertText(result);
}

void EditControl::switchImeOff()
{
    const auto getContext = BOUND_PROC(SystemDll::Imm, HIMC(WINAPI*)(HWND), "ImmGetContext");
    const auto associate = BOUND_PROC(SystemDll::Imm, HIMC(WINAPI*)(HWND, HIMC), "ImmAssociateContext");
    if (!getContext || !associate)
        return;
    if (HIMC context = getContext(hostWindow())) {
        associate(hostWindow(), nullptr);
        savedImeContext_ = context;
    }
}

void EditControl::switchImeOn()
{
    const auto associate = BOUND_PROC(SystemDll::Imm, HIMC(WINAPI*)(HWND, HIMC), "ImmAssociateContext");
    if (associate && savedImeContext_)
        associate(hostWindow(), savedImeContext_);
}

// ---- editing ----

int EditControl::extraHeightOf(std::string_view text)
{
    if (!multiLine_ || !measuring_)
        return 0;
    const RectF box{0, 0, wrapWidth(), 0};
    const std::optional<RectF> measured = measuring_->measure(EditLayout::toDisplayWide(text), box);
    return measured ? static_cast<int>(measured->height) : textBuffer_.refHeight();
}

void EditControl::insertText(std::string_view text)
{
    if (inputMode_ == ModeReadOnly || text.empty())
        return;
    deleteSelection(true);
    const int position = bytePosition(caretLine_, caretColumn_);
    textBuffer_.insertAt(position, text, multiLine_);

    if (multiLine_) {
        const int pairs = countCrLf(text);
        if (pairs == 0) {
            caretColumn_ = std::min(caretColumn_ + TextBuffer::countCharacters(text), textBuffer_.characterCount(caretLine_));
        } else {
            caretLine_ += pairs;
            caretColumn_ = TextBuffer::countCharacters(text.substr(text.rfind("\r\n") + 2));
        }
    } else {
        caretLine_ = 1;
        const size_t cut = text.find("\r\n");
        const std::string_view kept = cut == std::string_view::npos ? text : text.substr(0, cut);
        caretColumn_ = std::min(caretColumn_ + TextBuffer::countCharacters(kept), textBuffer_.characterCount(1));
    }
    // A lone LF dropped by the buffer, or a double-byte character joined across the edit, can leave
    // the count above: keep the caret on a character boundary of the text that is there.
    const TextBuffer::Position caret = textBuffer_.clamp({caretLine_, caretColumn_});
    caretLine_ = caret.line;
    caretColumn_ = caret.column;
    anchorLine_ = caretLine_;
    anchorColumn_ = caretColumn_;

    layoutText();
    if (caretLine_ == textBuffer_.lineCount())
        scrollY_ = static_cast<int>(layoutRect_.y) - (textBuffer_.totalHeight() - static_cast<int>(layoutRect_.height));
    int column = caretColumn_ - 1;
    caretBox_ = caretRect(caretLine_, column, true, extraHeightOf(text));
    previousCaretBox_ = caretBox_;
    updateScrollBars(false, true);
    paint(false);
    showCaret(hasFocus(), true);
    raiseChange();
}

bool EditControl::deleteSelection(bool quiet)
{
    if (inputMode_ == ModeReadOnly)
        return true;
    if (selectionIsEmpty())
        return false;
    const int a = bytePosition(anchorLine_, anchorColumn_);
    const int b = bytePosition(caretLine_, caretColumn_);
    if (a < b) {
        caretLine_ = anchorLine_;
        caretColumn_ = anchorColumn_;
    } else {
        anchorLine_ = caretLine_;
        anchorColumn_ = caretColumn_;
    }
    textBuffer_.deleteRange(a, b, multiLine_);
    const TextBuffer::Position caret = textBuffer_.clamp({caretLine_, caretColumn_});
    caretLine_ = anchorLine_ = caret.line;
    caretColumn_ = anchorColumn_ = caret.column;
    layoutText();
    int column = caretColumn_ - 1;
    caretBox_ = caretRect(caretLine_, column, true);
    previousCaretBox_ = caretBox_;
    if (!textBuffer_.isValidLine(firstVisibleLine_))
        firstVisibleLine_ = 0;
    if (!textBuffer_.isValidLine(lastVisibleLine_))
        lastVisibleLine_ = 0;
    updateScrollBars(false, true);
    paint(false);
    showCaret(hasFocus(), true);
    if (!quiet)
        raiseChange();
    return true;
}

bool EditControl::deleteForward()
{
    // The character after the caret; at a line end the line break; at the very end nothing.
    if (inputMode_ == ModeReadOnly)
        return false;
    anchorLine_ = caretLine_;
    anchorColumn_ = caretColumn_;
    if (caretColumn_ < textBuffer_.characterCount(caretLine_)) {
        ++anchorColumn_;
    } else if (caretLine_ < textBuffer_.lineCount()) {
        ++anchorLine_;
        anchorColumn_ = 0;
    } else {
        return false;
    }
    return deleteSelection(false);
}

// ---- mouse ----

void EditControl::onLeftDown(WPARAM wParam, LPARAM lParam)
{
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    if (wParam == doubleClickMark) {
        if (inputMode_ == ModePassword)
            return;
        multiClickPending_ = true;
        multiClickTime_ = GetTickCount();
        const int start = textBuffer_.wordStart({caretLine_, anchorLine_ == caretLine_ ? anchorColumn_ : caretColumn_});
        const int end = textBuffer_.wordEnd({caretLine_, caretColumn_});
        anchorLine_ = caretLine_;
        anchorColumn_ = start;
        caretColumn_ = end;
        if (start == end)
            caretColumn_ = std::min(end + 1, textBuffer_.characterCount(caretLine_));
    } else {
        if (multiClickPending_ && GetTickCount() - multiClickTime_ <= multiClickInterval &&
            inputMode_ != ModePassword) {
            anchorLine_ = caretLine_;
            anchorColumn_ = 0;
            caretColumn_ = textBuffer_.characterCount(caretLine_);
        } else {
            const RectF& b = currentBounds();
            const float rx = static_cast<float>(x) - b.x, ry = static_cast<float>(y) - b.y;
            if (rx >= layoutRect_.x && rx <= layoutRect_.x + layoutRect_.width && ry >= layoutRect_.y &&
                ry <= layoutRect_.y + layoutRect_.height) {
                const TextBuffer::Position hit = hitTest(x, y);
                anchorLine_ = caretLine_ = hit.line;
                anchorColumn_ = caretColumn_ = hit.column;
            }
        }
        multiClickPending_ = false;
    }
    int column = caretColumn_ - 1;
    caretBox_ = caretRect(caretLine_, column, true);
    previousCaretBox_ = caretBox_;
    paint(false);
    showCaret(true, true);
}

void EditControl::onDrag(LPARAM lParam)
{
    if (inputMode_ == ModePassword)
        return;
    const RectF& b = currentBounds();
    const int x = GET_X_LPARAM(lParam);
    int y = GET_Y_LPARAM(lParam);
    if (!multiLine_)
        y = static_cast<int>(b.y + layoutRect_.y + 2);
    if (static_cast<float>(x) < b.x && scrollX_ < 0)
        scrollX_ = std::min(scrollX_ + static_cast<int>(b.x - static_cast<float>(x)), 0);
    const TextBuffer::Position hit = hitTest(x, y);
    caretLine_ = hit.line;
    caretColumn_ = hit.column;
    int column = caretColumn_ - 1;
    caretBox_ = caretRect(caretLine_, column, true);
    if (!selectionIsEmpty())
        paint(false);
}

void EditControl::onWheel(WPARAM wParam)
{
    if (!multiLine_ || !verticalBar_ || verticalBar_->maximum() < 1)
        return;
    const int step = wheelRows * textBuffer_.refHeight();
    const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    scrollY_ += delta < 1 ? -step : step;
    scrollY_ = std::clamp(scrollY_, -(textBuffer_.totalHeight() - static_cast<int>(layoutRect_.height)), 0);
    scrollY_ = std::min(scrollY_, 0);
    if (verticalBar_ && (scrollMode_ & ScrollVertical))
        verticalBar_->position(-scrollY_);
    int column = caretColumn_ - 1;
    caretBox_ = caretRect(caretLine_, column, false);
    paint(false);
}

// ---- context menu ----

void EditControl::prepareMenu(PopupMenu& menu)
{
    const bool hasSelection = !selectionIsEmpty();
    const bool writable = inputMode_ != ModeReadOnly;
    const int normal = 0, greyed = -1;
    menu.itemState(1, hasSelection && writable ? normal : greyed);
    menu.itemState(2, hasSelection ? normal : greyed);
    menu.itemState(3, writable && !clipboardText().empty() ? normal : greyed);
    menu.itemState(5, textBuffer_.length() > 0 ? 1 : greyed);
}

void EditControl::onRightUp()
{
    if (inputMode_ == ModePassword)
        return;
    prepareMenu(editMenu);
    editMenu.popupAt(hostWindow(), 0, 0);
}

// ---- caret ----

void EditControl::makeCaretCanvas()
{
    releaseCaretCanvas();
    HostWindow* host = hostObject();
    const int height = std::max(static_cast<int>(caretBox_.height), 1);
    HDC reference = host && host->windowDC ? host->windowDC : nullptr;
    caretSaveDc_ = CreateCompatibleDC(reference);
    if (!caretSaveDc_)
        return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 1;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    caretSaveBitmap_ = CreateDIBSection(caretSaveDc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (caretSaveBitmap_)
        caretSaveOld_ = SelectObject(caretSaveDc_, caretSaveBitmap_);
}

void EditControl::releaseCaretCanvas()
{
    if (caretSaveDc_ && caretSaveOld_)
        SelectObject(caretSaveDc_, caretSaveOld_);
    if (caretSaveBitmap_)
        DeleteObject(caretSaveBitmap_);
    if (caretSaveDc_)
        DeleteDC(caretSaveDc_);
    caretSaveDc_ = nullptr;
    caretSaveBitmap_ = nullptr;
    caretSaveOld_ = nullptr;
}

void EditControl::showCaret(bool visible, bool saveUnder)
{
    HostWindow* host = hostObject();
    if (!host || host->redrawLock || !handle())
        return;
    if (caretBox_.y + caretBox_.height > layoutRect_.y + layoutRect_.height + 1 || caretBox_.y < layoutRect_.y - 3 ||
        caretBox_.x < layoutRect_.x - 1 || caretBox_.x > layoutRect_.x + layoutRect_.width + 1)
        return;
    const RectF& b = currentBounds();
    const int x = static_cast<int>(b.x + caretBox_.x), y = static_cast<int>(b.y + caretBox_.y);
    const int height = static_cast<int>(caretBox_.height);
    if (visible && saveUnder) {
        SetCaretPos(x, y);
        if (caretSaveDc_ && host->backDC)
            BitBlt(caretSaveDc_, 0, 0, 1, height, host->backDC, x, y, SRCCOPY);
        blinkCounter_ = 1;
    }
    blinkCounter_ += visible ? 1 : -1;
    if (visible) {
        if (!host->backGraphics)
            return;
        if (GpPen* pen = makePen(caretColour)) {
            GDIP(GdipDrawLine)(host->backGraphics, pen, static_cast<float>(x), static_cast<float>(y + 1),
                               static_cast<float>(x), static_cast<float>(y + height - 1));
            GDIP(GdipDeletePen)(pen);
        }
        GDIP(GdipFlush)(host->backGraphics, Gdiplus::FlushIntentionSync);
        if (!host->isLayered()) {
            if (host->windowDC && host->backDC)
                HostWindow::presentBlt(host->windowDC, x, y, 1, height, host->backDC, x, y, SRCCOPY);
        } else {
            SendMessageW(hostWindow(), WM_EX_PRESENT_LAYERED, 0, 0);
        }
    } else {
        host->redrawRect(RectF{static_cast<float>(x), static_cast<float>(y), 1, static_cast<float>(height)}, true);
    }
}

// ---- focus ----

void EditControl::onFocus()
{
    KillTimer(hostWindow(), handle());
    SetTimer(hostWindow(), handle(), blinkInterval, nullptr);
    paint(false);
    if (inputMode_ >= ModeReadOnly && inputMode_ <= ModeDecimal)
        switchImeOff();
}

void EditControl::onBlur()
{
    if (inputMode_ >= ModeReadOnly && inputMode_ <= ModeDecimal)
        switchImeOn();
    KillTimer(hostWindow(), handle());
    anchorLine_ = caretLine_;
    anchorColumn_ = caretColumn_;
    showCaret(false, false);
    paint(false);
}

// ---- clipboard ----

void EditControl::copyToClipboard(const std::string& text)
{
    if (!OpenClipboard(hostWindow()))
        return;
    EmptyClipboard();
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        if (void* bytes = GlobalLock(memory)) {
            std::copy(text.begin(), text.end(), static_cast<char*>(bytes));
            static_cast<char*>(bytes)[text.size()] = '\0';
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_TEXT, memory))
                GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

std::string EditControl::clipboardText()
{
    std::string text;
    if (!OpenClipboard(hostWindow()))
        return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
            // Bounded by the block: clipboard data need not be NUL-terminated.
            const size_t limit = GlobalSize(data);
            size_t length = 0;
            while (length < limit && bytes[length])
                ++length;
            text.assign(bytes, length);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// ---- properties ----

void EditControl::onChange(EditChangeChildHandler handler)
{
    changeChildHandler_ = handler;
    changeHandler_ = nullptr;
}

void EditControl::onChange(EditChangeHandler handler)
{
    changeHandler_ = handler;
    changeChildHandler_ = nullptr;
}

void EditControl::raiseChange()
{
    if (changeChildHandler_)
        changeChildHandler_(parent(), handle());
    else if (changeHandler_)
        changeHandler_(handle());
}

void EditControl::releaseFont()
{
    if (font_ && font_ != engine().defaultFont())
        GDIP(GdipDeleteFont)(font_);
    font_ = nullptr;
    measuring_.reset();
}

void EditControl::textColour(ARGB colour)
{
    textColour_ = colour;
    if (textBrush_)
        GDIP(GdipDeleteBrush)(textBrush_);
    textBrush_ = solidBrush(colour);
    repaint();
}

ARGB EditControl::backColour(std::optional<ARGB> value)
{
    if (value) {
        backColour_ = *value;
        repaint();
    }
    return backColour_;
}

int EditControl::inputMode(std::optional<int> value)
{
    if (value)
        inputMode_ = *value;
    return inputMode_;
}

bool EditControl::roundCorners(std::optional<bool> value)
{
    if (value) {
        roundCorners_ = *value;
        repaint();
    }
    return roundCorners_;
}
