#pragma once
// The text-entry control: one line or several with scroll bars, optionally masked (password) or limited
// to numbers. It dispatches events to the parts it joins: the editing model (text, caret, selection,
// commands), the view geometry (layout rectangle, scrolling, caret rectangle, hit-testing), the painter,
// and the platform adapters (clipboard, input method, caret overlay). The caret blinks on a 500 ms
// host-window timer whose id is the control's handle.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "CaretOverlay.h"
#include "Control.h"
#include "EditInputMethod.h"
#include "EditModel.h"
#include "EditView.h"

class PopupMenu;
class ScrollBar;

// Change handlers: with a parent control the first form, without one the second.
using EditChangeChildHandler = void (*)(ControlHandle parent, ControlHandle control);
using EditChangeHandler = void (*)(ControlHandle control);

class EditControl : public Control {
public:
    using enum EditModel::Mode;
    using enum EditView::ScrollMode;
    static constexpr int eventSetText = 12;   // wParam = const std::string*, lParam = caretToEnd
    static constexpr int eventGetText = 13;   // answers a const std::string* valid until the next call
    static constexpr UINT blinkInterval = 500;    // ms
    static constexpr DWORD multiClickInterval = 500;  // ms between a double click and a line-selecting click
    static constexpr int scrollBarSize = 10;

    EditControl();
    ~EditControl() override;
    // The copy keeps text, settings and colours; it is not created.
    std::unique_ptr<Control> clone() const override;

    using Control::create;

    // --- the edit's own operations, in their fixed order ---
    int handleEvent(int code, WPARAM wParam, LPARAM lParam) override;
    virtual void scrollTo(int y);
    virtual void scrollToX(int x);
    virtual void paint(bool relayout);
    virtual void drawLines(PaintContext& context);
    virtual void drawLine(int line, const RectF& box, PaintContext& context);
    // y in text coordinates; 0 above line 1 (or past the end when y <= 0).
    virtual int lineAtY(int y, int hint);
    // x, y in host client pixels.
    virtual TextBuffer::Position hitTest(int x, int y);
    // `column` is the caret column - 1 (the character before the caret); it may be reduced in place.
    // The answer is relative to the control.
    virtual RectF caretRect(int line, int& column, bool scrollIntoView, int extraHeight = 0);
    virtual void updateScrollBars(bool place, bool updateRanges);
    // 0: the key was used; -1: the host goes on with it.
    virtual int keyDown(int key, LPARAM lParam, bool fromMenu);
    virtual void insertText(std::string_view text);
    virtual bool deleteSelection(bool quiet);
    virtual void showCaret(bool visible, bool saveUnder);
    virtual std::string selectedText();
    virtual int bytePosition(int line, int column);
    virtual ControlHandle create(ParentHandle parent, int left, int top, int width, int height,
                                 std::optional<std::string> text = std::nullopt,
                                 std::optional<ARGB> textColour = std::nullopt,
                                 std::optional<ARGB> backColour = std::nullopt,
                                 std::optional<std::string> fontName = std::nullopt,
                                 std::optional<float> fontSize = std::nullopt,
                                 std::optional<int> fontStyle = std::nullopt, std::optional<bool> multiLine = std::nullopt,
                                 std::optional<int> inputMode = std::nullopt,
                                 std::optional<std::string> maskText = std::nullopt,
                                 std::optional<int> scrollMode = std::nullopt,
                                 std::optional<ARGB> borderColour = std::nullopt,
                                 std::optional<bool> visible = std::nullopt);
    virtual std::string text(std::optional<std::string> value = std::nullopt, bool caretToEnd = false);
    virtual bool isNonEmpty(const std::string& text) const { return !text.empty(); }
    virtual void hook59() {}
    virtual void hook60() {}
    virtual void textColour(ARGB colour);
    virtual ARGB backColour(std::optional<ARGB> value = std::nullopt);
    // Setting it also sets how the text is shown (password or not) and, while focused, whether the
    // input method is on.
    virtual int inputMode(std::optional<int> value = std::nullopt);
    virtual void hook64() {}
    virtual void hook65() {}
    virtual void hook66() {}
    virtual int onDrawText(PaintContext& context) { return 0; }
    virtual int preHandleEvent(int code, WPARAM wParam, LPARAM lParam) { return -1; }
    virtual void onChange(EditChangeChildHandler handler);
    virtual void onChange(EditChangeHandler handler);
    virtual void releaseFont();
    virtual void raiseChange();

    // --- beyond the table ---
    // Sets the right-click menu's item states for the current selection, mode, text and clipboard.
    void prepareMenu(PopupMenu& menu);

    const EditModel& model() const { return model_; }
    const EditView& view() const { return view_; }
    const TextBuffer& buffer() const { return model_.buffer(); }
    TextBuffer::Position caret() const { return model_.caret(); }
    TextBuffer::Position anchor() const { return model_.anchor(); }
    void setSelection(TextBuffer::Position anchor, TextBuffer::Position caret);
    bool isMultiLine() const { return model_.isMultiLine(); }
    int scrollModeValue() const { return view_.scrollMode(); }
    int scrollY() const { return view_.scrollY(); }
    int scrollX() const { return view_.scrollX(); }
    const RectF& layoutRect() const { return view_.layoutRect(); }
    const RectF& caretBox() const { return caretBox_; }
    int firstVisibleLine() const { return view_.firstVisibleLine(); }
    int lastVisibleLine() const { return view_.lastVisibleLine(); }
    int blinkCounter() const { return caretOverlay_.blinkCounter(); }
    ScrollBar* horizontalBar() const { return horizontalBar_.get(); }
    ScrollBar* verticalBar() const { return verticalBar_.get(); }
    bool roundCorners(std::optional<bool> value = std::nullopt);
    GpFont* font() const { return font_; }

private:
    void onCreate();
    void onDestroy();
    void onSetText(const std::string& value, bool caretToEnd);
    void onChar(unsigned code);
    void onLeftDown(WPARAM wParam, LPARAM lParam);
    void onDrag(LPARAM lParam);
    // Whether the edit takes the wheel: a multi-line text taller than its view, even at either end.
    bool onWheel(WPARAM wParam);
    void onRightUp();
    void onFocus();
    void onBlur();
    int onCtrlKey(int key);
    void afterMove();
    // Lays out, scrolls, paints and notifies after an edit of the model. After an insertion on the
    // last line the text's end goes to the bottom, and the caret scrolls by the inserted height.
    void afterEdit(const EditModel::Outcome& outcome, bool quiet, bool isInsertion);
    void placeCaret(bool scrollIntoView, int extraHeight = 0);
    void layoutText(const TextBuffer::Change* change = nullptr);
    void syncScrollBars();
    void followModeWithInputMethod();
    float fontHeight() const;
    static void verticalBarMoved(ControlHandle parent, int position);
    static void horizontalBarMoved(ControlHandle parent, int position);

    EditModel model_;
    EditView view_{model_.buffer()};
    EditInputMethod inputMethod_;
    CaretOverlay caretOverlay_;
    GpStringFormat* stringFormat_ = nullptr;
    GpFont* font_ = nullptr;
    GpSolidFill* textBrush_ = nullptr;
    ARGB textColour_ = 0;
    ARGB backColour_ = 0;
    ARGB borderColour_ = 0;
    ARGB normalBorderColour_ = 0;
    bool firstPaintDeferred_ = false;  // hidden since creation, drawn on EV_SHOW
    bool roundCorners_ = false;
    std::unique_ptr<ScrollBar> horizontalBar_;
    std::unique_ptr<ScrollBar> verticalBar_;
    RectF previousCaretBox_;
    RectF caretBox_;
    bool multiClickPending_ = false;
    DWORD multiClickTime_ = 0;
    EditChangeChildHandler changeChildHandler_ = nullptr;
    EditChangeHandler changeHandler_ = nullptr;
};
