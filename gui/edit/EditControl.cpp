// Sections: lifetime · events · creation and destruction · text · layout and geometry · scrolling ·
// painting · keyboard · characters · editing · mouse · context menu · caret · focus · properties
#include "EditControl.h"

#include <windowsx.h>

#include <algorithm>

#include "Canvas.h"
#include "EditClipboard.h"
#include "EditLayout.h"
#include "EditPainter.h"
#include "Engine.h"
#include "Fonts.h"
#include "HostWindow.h"
#include "PopupMenu.h"
#include "ScrollBar.h"

namespace {

constexpr ARGB defaultTextColour = 0xE6000000;
constexpr ARGB defaultBorderColour = 0x50000000;
constexpr float defaultFontSize = 12.0f;

bool isKeyHeld(int key)
{
    return (GetKeyState(key) & 0x8000) != 0;
}

// Modes that take no Chinese: the input method is off while they have the focus.
bool switchesInputMethodOff(int mode)
{
    return mode >= EditModel::ModeReadOnly && mode <= EditModel::ModeDecimal;
}

}  // namespace

// ---- lifetime ----

EditControl::EditControl() = default;

EditControl::~EditControl()
{
    // Here, not in the base: the base's destructor no longer reaches this class's handleEvent.
    if (handle())
        destroy();
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
    copy->model_ = model_;
    copy->view_.copyGeometry(view_);
    if (stringFormat_ && GDIP(GdipCloneStringFormat)(stringFormat_, &copy->stringFormat_) != Gdiplus::Ok)
        copy->stringFormat_ = nullptr;
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
    copy->roundCorners_ = roundCorners_;
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
            *reinterpret_cast<std::string*>(wParam) = model_.buffer().bytes();
        return 1;
    case WM_KEYDOWN:
        return keyDown(static_cast<int>(wParam), lParam, false);
    case WM_CHAR:
        onChar(static_cast<unsigned>(wParam));
        break;
    case WM_COMMAND:
        return keyDown(static_cast<int>(wParam), lParam, true);
    case WM_TIMER:
        showCaret(caretOverlay_.isDueVisible(), false);
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
        return onWheel(wParam) ? 0 : -1;
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
            placeCaret(false);
        }
        break;
    case EV_ALPHA:
        if (verticalBar_ && (view_.scrollMode() & ScrollVertical))
            verticalBar_->alpha(static_cast<int>(lParam), false, false);
        if (horizontalBar_ && (view_.scrollMode() & ScrollHorizontal))
            horizontalBar_->alpha(static_cast<int>(lParam), false, false);
        break;
    default:
        // WM_IME_COMPOSITION is left to the default processing, which sends its result as WM_CHAR.
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
    const bool isMultiLine = multiLine.value_or(false);
    const int scroll = scrollMode.value_or(isMultiLine ? (ScrollHorizontal | ScrollVertical) : ScrollNone);
    model_.configure(isMultiLine, inputMode.value_or(ModeNormal), maskText.value_or("*"));
    view_.configure(isMultiLine, scroll);

    if (textBrush_)
        GDIP(GdipDeleteBrush)(textBrush_);
    textBrush_ = solidBrush(textColour_);
    normalBorderColour_ = borderColour_;
    model_.setText(text.value_or(""), false);

    if (stringFormat_)
        GDIP(GdipDeleteStringFormat)(stringFormat_);
    stringFormat_ = EditLayout::createFormat(scroll == ScrollVertical);

    return Control::create(parent,
                           RectF{static_cast<float>(left), static_cast<float>(top), static_cast<float>(width),
                                 static_cast<float>(height)},
                           KIND_EDIT, visible.value_or(true), true,
                           CursorSpec::system(reinterpret_cast<LPCWSTR>(IDC_IBEAM)));
}

void EditControl::onCreate()
{
    view_.visibleLines(1, 1);
    view_.scrollTo(0, 0);
    model_.setSelection({1, 0}, {1, 0});
    if (model_.isMultiLine()) {
        const RectF& b = currentBounds();
        const int mode = view_.scrollMode();
        verticalBar_ = std::make_unique<ScrollBar>();
        verticalBar_->create(handle(), static_cast<int>(b.x + b.width - scrollBarSize), static_cast<int>(b.y),
                             scrollBarSize, static_cast<int>(b.height), std::nullopt, std::nullopt, std::nullopt,
                             std::nullopt, std::nullopt, std::nullopt, ScrollBar::Vertical, std::nullopt,
                             (mode & ScrollVertical) != 0);
        verticalBar_->onChange(&EditControl::verticalBarMoved);
        verticalBar_->transitionInterval(0);
        horizontalBar_ = std::make_unique<ScrollBar>();
        horizontalBar_->create(handle(), static_cast<int>(b.x), static_cast<int>(b.y + b.height - scrollBarSize),
                               static_cast<int>(b.width), scrollBarSize, std::nullopt, std::nullopt, std::nullopt,
                               std::nullopt, std::nullopt, std::nullopt, ScrollBar::Horizontal, std::nullopt,
                               (mode & ScrollHorizontal) != 0);
        horizontalBar_->onChange(&EditControl::horizontalBarMoved);
        horizontalBar_->transitionInterval(0);
    }
    paint(true);
    const int caretHeight = static_cast<int>(fontHeight()) + 3;
    if (firstPaintDeferred_) {
        caretBox_ = previousCaretBox_ = RectF{};
    } else {
        placeCaret(false);
    }
    HostWindow* host = hostObject();
    // The system caret (which the input method's window follows) and the saved column are device pixels.
    const auto device = [host](int logical) {
        return host ? host->displayScale.toDevice(static_cast<float>(logical)) : logical;
    };
    caretOverlay_.create(hostWindow(), host ? host->windowDC : nullptr, device(caretHeight),
                         device(std::max(static_cast<int>(caretBox_.height), caretHeight)));
}

void EditControl::onDestroy()
{
    KillTimer(hostWindow(), handle());
    caretOverlay_.destroy();
    model_.setText("", false);
    view_.measureWith(nullptr, nullptr, nullptr);
    view_.scrollTo(0, 0);
    firstPaintDeferred_ = false;
    if (stringFormat_)
        GDIP(GdipDeleteStringFormat)(stringFormat_);
    stringFormat_ = nullptr;
    releaseFont();
    // The bars are children: the base destroys them with the tree; the objects go with this one.
}

// ---- text ----

std::string EditControl::text(std::optional<std::string> value, bool caretToEnd)
{
    if (value) {
        sendEvent(eventSetText, reinterpret_cast<WPARAM>(&*value), caretToEnd ? 1 : 0);
        return model_.buffer().bytes();
    }
    std::string answer;
    if (sendEvent(eventGetText, reinterpret_cast<WPARAM>(&answer), 0) != 1)
        return model_.buffer().bytes();
    return answer;
}

void EditControl::onSetText(const std::string& value, bool caretToEnd)
{
    const EditModel::Outcome outcome = model_.setText(value, caretToEnd);
    view_.scrollTo(0, 0);
    view_.visibleLines(1, 1);
    layoutText(&outcome.lines);
    updateScrollBars(false, true);
    paint(false);
    raiseChange();
    if (caretToEnd) {
        view_.scrollToEnd();
        placeCaret(true);
        paint(false);
    } else {
        placeCaret(false);
    }
    if (!hasFocus())
        KillTimer(hostWindow(), handle());
}

std::string EditControl::selectedText()
{
    return model_.selectedText();
}

int EditControl::bytePosition(int line, int column)
{
    if (!model_.buffer().isValidLine(line))
        return 0;
    return model_.bytePosition({line, std::max(column, 0)});
}

void EditControl::setSelection(TextBuffer::Position anchor, TextBuffer::Position caret)
{
    model_.setSelection(anchor, caret);
    placeCaret(true);
    updateScrollBars(false, true);
    paint(false);
}

// ---- layout and geometry ----

float EditControl::fontHeight() const
{
    float height = 0;
    if (!font_ || GDIP(GdipGetFontHeight)(font_, graphics(), &height) != Gdiplus::Ok)
        return 0;
    return height;
}

void EditControl::layoutText(const TextBuffer::Change* change)
{
    // A resize gives the control a new bitmap and graphics: the view must not measure with the old one.
    view_.measureWith(graphics(), font_, stringFormat_);
    view_.layout(change);
}

int EditControl::lineAtY(int y, int hint)
{
    return view_.lineAtY(y, hint);
}

TextBuffer::Position EditControl::hitTest(int x, int y)
{
    if (!view_.canMeasure())
        layoutText();
    const RectF& b = currentBounds();
    return view_.hitTest(static_cast<float>(x) - b.x, static_cast<float>(y) - b.y);
}

RectF EditControl::caretRect(int line, int& column, bool scrollIntoView, int extraHeight)
{
    if (!view_.canMeasure())
        layoutText();
    const RectF rect = view_.caretRect(line, column, scrollIntoView, extraHeight);
    if (scrollIntoView)
        syncScrollBars();
    return rect;
}

void EditControl::placeCaret(bool scrollIntoView, int extraHeight)
{
    int column = model_.caret().column - 1;
    caretBox_ = caretRect(model_.caret().line, column, scrollIntoView, extraHeight);
    previousCaretBox_ = caretBox_;
}

// ---- scrolling ----

void EditControl::scrollTo(int y)
{
    const int delta = -y - view_.scrollY();
    view_.scrollTo(view_.scrollX(), -y);
    caretBox_.y += static_cast<float>(delta);
    paint(false);
}

void EditControl::scrollToX(int x)
{
    const int delta = -x - view_.scrollX();
    view_.scrollTo(-x, view_.scrollY());
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

void EditControl::syncScrollBars()
{
    if (horizontalBar_ && (view_.scrollMode() & ScrollHorizontal))
        horizontalBar_->position(-view_.scrollX());
    if (verticalBar_ && (view_.scrollMode() & ScrollVertical))
        verticalBar_->position(-view_.scrollY());
}

void EditControl::updateScrollBars(bool place, bool updateRanges)
{
    if (!model_.isMultiLine())
        return;
    const RectF& b = currentBounds();
    RectF& layoutRect = view_.layoutRect();
    const TextBuffer& buffer = model_.buffer();
    const bool hasVertical = verticalBar_ && (view_.scrollMode() & ScrollVertical);
    const bool hasHorizontal = horizontalBar_ && (view_.scrollMode() & ScrollHorizontal);
    const auto moveBar = [](ScrollBar& bar, const RectF& at) {
        const RectF now = bar.currentBounds();
        if (now.x != at.x || now.y != at.y || now.width != at.width || now.height != at.height)
            bar.move(at.x, at.y, at.width, at.height);
    };
    if (place) {
        if (hasVertical) {
            layoutRect.width -= scrollBarSize;
            moveBar(*verticalBar_, RectF{b.x + layoutRect.x + layoutRect.width, b.y + layoutRect.y, scrollBarSize,
                                         layoutRect.height - (hasHorizontal ? scrollBarSize : 0)});
        }
        if (hasHorizontal) {
            layoutRect.height -= scrollBarSize;
            moveBar(*horizontalBar_, RectF{b.x + layoutRect.x, b.y + layoutRect.y + layoutRect.height,
                                           layoutRect.width, scrollBarSize});
        }
    }
    if (updateRanges) {
        if (hasVertical) {
            verticalBar_->maximum(buffer.totalHeight() - static_cast<int>(layoutRect.height));
            verticalBar_->step(std::max(buffer.refHeight(), 1));
        }
        if (hasHorizontal)
            horizontalBar_->maximum(buffer.maxWidth() - static_cast<int>(layoutRect.width));
    }
}

// ---- painting ----

void EditControl::paint(bool relayout)
{
    // Created hidden and never laid out: a long text (an agreement) is measured when first shown, not at
    // start-up. Anything that needs the layout before then lays it out itself.
    if (!view_.canMeasure() && !visible()) {
        firstPaintDeferred_ = true;
        return;
    }
    PaintContext context;
    if (!beginPaint(context, nullptr, true))
        return;
    EditPainter(context.graphics, view_, model_).drawFrame(context.rect, backColour_, borderColour_, roundCorners_);
    view_.placeText(context.rect, fontHeight());
    updateScrollBars(true, false);
    if (relayout || !view_.canMeasure()) {
        layoutText();
        updateScrollBars(false, true);
    }
    onDrawText(context);
    drawLines(context);
    endPaint(context);
}

void EditControl::drawLines(PaintContext& context)
{
    EditPainter(context.graphics, view_, model_).drawLines(textBrush_);
}

void EditControl::drawLine(int line, const RectF& box, PaintContext& context)
{
    EditPainter(context.graphics, view_, model_).drawLine(line, box, textBrush_);
}

// ---- keyboard ----

int EditControl::keyDown(int key, LPARAM lParam, bool fromMenu)
{
    if (isKeyHeld(VK_CONTROL) || fromMenu)
        return model_.mode() == ModePassword ? 0 : onCtrlKey(key);
    const bool shift = isKeyHeld(VK_SHIFT);
    using Move = EditModel::Move;
    std::optional<Move> move;
    switch (key) {
    case VK_BACK:
        afterEdit(model_.deleteBackward(), false, false);
        return 0;
    case VK_RETURN:
        if (model_.isMultiLine())
            insertText("\r\n");
        return 0;
    case VK_DELETE:
        afterEdit(model_.deleteForward(), false, false);
        return 0;
    case VK_END:
        move = Move::End;
        break;
    case VK_HOME:
        move = Move::Home;
        break;
    case VK_LEFT:
        move = Move::Left;
        break;
    case VK_RIGHT:
        move = Move::Right;
        break;
    case VK_UP:
    case VK_DOWN:
        if (!model_.isMultiLine())
            return 0;
        move = key == VK_UP ? Move::Up : Move::Down;
        break;
    case VK_SPACE:
        return 0;  // the character comes as WM_CHAR
    default:
        return -1;
    }
    model_.move(*move, shift);
    afterMove();
    return 0;
}

int EditControl::onCtrlKey(int key)
{
    switch (key) {
    case EDIT_MENU_SELECT_ALL:
        model_.selectAll();
        view_.scrollToEnd();
        placeCaret(true);
        paint(false);
        return 0;
    case EDIT_MENU_COPY:
        if (model_.hasSelection())
            EditClipboard::copy(hostWindow(), model_.selectedText());
        return 0;
    case EDIT_MENU_PASTE:
        if (const std::string pasted = EditClipboard::text(hostWindow()); !pasted.empty())
            insertText(pasted);
        return 0;
    case EDIT_MENU_CUT:
        if (model_.mode() == ModeReadOnly)
            return -1;
        if (model_.hasSelection()) {
            EditClipboard::copy(hostWindow(), model_.selectedText());
            deleteSelection(false);
        }
        return 0;
    default:
        return -1;
    }
}

void EditControl::afterMove()
{
    placeCaret(true);
    updateScrollBars(false, true);
    paint(false);
    showCaret(hasFocus(), true);
}

// ---- characters ----

void EditControl::onChar(unsigned code)
{
    const std::string character = inputMethod_.takeCharacter(code, IsWindowUnicode(hostWindow()) != FALSE);
    if (!character.empty())
        insertText(character);
}

// ---- editing ----

void EditControl::insertText(std::string_view text)
{
    afterEdit(model_.insert(text), false, true);
}

bool EditControl::deleteSelection(bool quiet)
{
    EditModel::Outcome outcome;
    const bool answer = model_.deleteSelection(outcome);
    afterEdit(outcome, quiet, false);
    return answer;
}

void EditControl::afterEdit(const EditModel::Outcome& outcome, bool quiet, bool isInsertion)
{
    // Refused input changes nothing and shows nothing.
    if (!outcome.isTextChanged)
        return;
    layoutText(&outcome.lines);
    int extraHeight = 0;
    if (isInsertion) {
        if (model_.caret().line == model_.buffer().lineCount())
            view_.scrollToEnd();
        if (model_.isMultiLine())
            extraHeight = view_.heightOf(outcome.inserted);
    }
    placeCaret(true, extraHeight);
    const TextBuffer& buffer = model_.buffer();
    view_.visibleLines(buffer.isValidLine(view_.firstVisibleLine()) ? view_.firstVisibleLine() : 0,
                       buffer.isValidLine(view_.lastVisibleLine()) ? view_.lastVisibleLine() : 0);
    updateScrollBars(false, true);
    paint(false);
    showCaret(hasFocus(), true);
    if (!quiet)
        raiseChange();
}

// ---- mouse ----

void EditControl::onLeftDown(WPARAM wParam, LPARAM lParam)
{
    inputMethod_.forgetPendingLead();
    const bool isPassword = model_.mode() == ModePassword;
    if (wParam == doubleClickMark) {
        if (isPassword)
            return;
        multiClickPending_ = true;
        multiClickTime_ = GetTickCount();
        model_.selectWord();
    } else {
        if (multiClickPending_ && GetTickCount() - multiClickTime_ <= multiClickInterval && !isPassword) {
            model_.selectLine();
        } else {
            const RectF& b = currentBounds();
            const RectF& layoutRect = view_.layoutRect();
            const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
            const float rx = static_cast<float>(x) - b.x, ry = static_cast<float>(y) - b.y;
            if (rx >= layoutRect.x && rx <= layoutRect.x + layoutRect.width && ry >= layoutRect.y &&
                ry <= layoutRect.y + layoutRect.height)
                model_.placeCaret(hitTest(x, y), false);
        }
        multiClickPending_ = false;
    }
    placeCaret(true);
    paint(false);
    showCaret(true, true);
}

void EditControl::onDrag(LPARAM lParam)
{
    if (model_.mode() == ModePassword)
        return;
    const RectF& b = currentBounds();
    const int x = GET_X_LPARAM(lParam);
    int y = GET_Y_LPARAM(lParam);
    if (!model_.isMultiLine())
        y = static_cast<int>(b.y + view_.layoutRect().y + 2);
    // Left of the control the view follows the pointer back to the text's start.
    if (static_cast<float>(x) < b.x && view_.scrollX() < 0)
        view_.scrollTo(std::min(view_.scrollX() + static_cast<int>(b.x - static_cast<float>(x)), 0), view_.scrollY());
    model_.placeCaret(hitTest(x, y), true);
    int column = model_.caret().column - 1;
    caretBox_ = caretRect(model_.caret().line, column, true);
    if (model_.hasSelection())
        paint(false);
}

bool EditControl::onWheel(WPARAM wParam)
{
    if (!model_.isMultiLine() || !view_.wheel(GET_WHEEL_DELTA_WPARAM(wParam)))
        return false;
    if (verticalBar_ && (view_.scrollMode() & ScrollVertical))
        verticalBar_->position(-view_.scrollY());
    int column = model_.caret().column - 1;
    caretBox_ = caretRect(model_.caret().line, column, false);
    paint(false);
    return true;
}

// ---- context menu ----

void EditControl::prepareMenu(PopupMenu& menu)
{
    const bool hasSelection = model_.hasSelection();
    const bool writable = model_.mode() != ModeReadOnly;
    const int normal = 0, greyed = -1;
    menu.itemState(1, hasSelection && writable ? normal : greyed);
    menu.itemState(2, hasSelection ? normal : greyed);
    menu.itemState(3, writable && !EditClipboard::text(hostWindow()).empty() ? normal : greyed);
    menu.itemState(5, model_.buffer().length() > 0 ? 1 : greyed);
}

void EditControl::onRightUp()
{
    if (model_.mode() == ModePassword)
        return;
    prepareMenu(editMenu);
    editMenu.popupAt(hostWindow(), 0, 0);
}

// ---- caret ----

void EditControl::showCaret(bool visible, bool saveUnder)
{
    HostWindow* host = hostObject();
    if (!host || host->redrawLock || !handle())
        return;
    // Only a caret inside the layout rectangle is drawn.
    const RectF& layoutRect = view_.layoutRect();
    if (caretBox_.y + caretBox_.height > layoutRect.y + layoutRect.height + 1 || caretBox_.y < layoutRect.y - 3 ||
        caretBox_.x < layoutRect.x - 1 || caretBox_.x > layoutRect.x + layoutRect.width + 1)
        return;
    const RectF& b = currentBounds();
    caretOverlay_.show(*host, RectF{b.x + caretBox_.x, b.y + caretBox_.y, caretBox_.width, caretBox_.height}, visible,
                       saveUnder);
}

// ---- focus ----

void EditControl::onFocus()
{
    KillTimer(hostWindow(), handle());
    SetTimer(hostWindow(), handle(), blinkInterval, nullptr);
    paint(false);
    followModeWithInputMethod();
}

void EditControl::onBlur()
{
    inputMethod_.switchOn(hostWindow());
    inputMethod_.forgetPendingLead();
    KillTimer(hostWindow(), handle());
    model_.collapse();
    showCaret(false, false);
    paint(false);
}

void EditControl::followModeWithInputMethod()
{
    if (switchesInputMethodOff(model_.mode()))
        inputMethod_.switchOff(hostWindow());
    else
        inputMethod_.switchOn(hostWindow());
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
    view_.measureWith(nullptr, nullptr, nullptr);
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
    if (!value || *value == model_.mode())
        return model_.mode();
    const bool wasMasked = model_.mode() == ModePassword;
    model_.mode(*value);
    if (hasFocus())
        followModeWithInputMethod();
    // The display form changes with password mode: lay out and draw what is to be seen now.
    if (wasMasked != (*value == ModePassword) && handle() && view_.canMeasure()) {
        layoutText();
        placeCaret(false);
        updateScrollBars(false, true);
        paint(false);
    }
    return model_.mode();
}

bool EditControl::roundCorners(std::optional<bool> value)
{
    if (value) {
        roundCorners_ = *value;
        repaint();
    }
    return roundCorners_;
}
