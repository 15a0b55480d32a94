#pragma once
// The text-entry control: one line or several with scroll bars, optionally masked (password) or limited
// to numbers. The text lives in a TextBuffer; layout, hit-testing and caret placement measure the
// display form of each line with GDI+. The caret is a 1-pixel line the control draws itself into the
// host's back buffer, blinking on a 500 ms host-window timer whose id is the control's handle.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Control.h"
#include "TextBuffer.h"

class EditLayout;
class PopupMenu;
class ScrollBar;

// Change handlers: with a parent control the first form, without one the second.
using EditChangeChildHandler = void (*)(ControlHandle parent, ControlHandle control);
using EditChangeHandler = void (*)(ControlHandle control);

class EditControl : public Control {
public:
    enum InputMode : int { ModeNormal = 0, ModeReadOnly = 1, ModePassword = 2, ModeInteger = 3, ModeDecimal = 4 };
    enum ScrollMode : int { ScrollNone = 0, ScrollHorizontal = 1, ScrollVertical = 2 };
    static constexpr int eventSetText = 12;   // wParam = const std::string*, lParam = caretToEnd
    static constexpr int eventGetText = 13;   // answers a const std::string* valid until the next call
    static constexpr UINT blinkInterval = 500;    // ms
    static constexpr DWORD multiClickInterval = 500;  // ms between a double click and a line-selecting click
    static constexpr ARGB caretColour = 0xE6000000;
    static constexpr ARGB highlightColour = 0xFE3399FF;
    static constexpr ARGB selectedTextColour = 0xFEFFFFFF;
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
    // What a WM_IME_COMPOSITION result inserts: the result when one byte is above 128, else "" (plain
    // ASCII also arrives as WM_CHAR).
    static std::string imeResultToInsert(std::string result);
    // Whether the character passes the mode's filter given the current text.
    static bool acceptsCharacter(int mode, unsigned code, std::string_view currentText);

    const TextBuffer& buffer() const { return textBuffer_; }
    TextBuffer::Position caret() const { return {caretLine_, caretColumn_}; }
    TextBuffer::Position anchor() const { return {anchorLine_, anchorColumn_}; }
    void setSelection(TextBuffer::Position anchor, TextBuffer::Position caret);
    bool isMultiLine() const { return multiLine_; }
    int scrollModeValue() const { return scrollMode_; }
    int scrollY() const { return scrollY_; }
    int scrollX() const { return scrollX_; }
    const RectF& layoutRect() const { return layoutRect_; }
    const RectF& caretBox() const { return caretBox_; }
    int firstVisibleLine() const { return firstVisibleLine_; }
    int lastVisibleLine() const { return lastVisibleLine_; }
    int blinkCounter() const { return blinkCounter_; }
    ScrollBar* horizontalBar() const { return horizontalBar_.get(); }
    ScrollBar* verticalBar() const { return verticalBar_.get(); }
    bool roundCorners(std::optional<bool> value = std::nullopt);
    GpFont* font() const { return font_; }

private:
    void onCreate();
    void onDestroy();
    void onSetText(const std::string& value, bool caretToEnd);
    void onChar(unsigned code);
    void onImeComposition(LPARAM lParam);
    void onLeftDown(WPARAM wParam, LPARAM lParam);
    void onDrag(LPARAM lParam);
    void onWheel(WPARAM wParam);
    void onRightUp();
    void onFocus();
    void onBlur();
    void afterMove(bool shift);
    bool deleteForward();
    void layoutText();
    void clampScroll();
    float wrapWidth() const;
    float fontHeight() const;
    int extraHeightOf(std::string_view text);
    void switchImeOff();
    void switchImeOn();
    void copyToClipboard(const std::string& text);
    std::string clipboardText();
    void makeCaretCanvas();
    void releaseCaretCanvas();
    void drawSelection(int line, const RectF& box, const std::wstring& display, PaintContext& context);
    std::wstring displayWide(int line) const;
    bool selectionIsEmpty() const { return anchorLine_ == caretLine_ && anchorColumn_ == caretColumn_; }
    static void verticalBarMoved(ControlHandle parent, int position);
    static void horizontalBarMoved(ControlHandle parent, int position);

    TextBuffer textBuffer_;
    GpStringFormat* stringFormat_ = nullptr;
    RectF textArea_;
    RectF layoutRect_;
    GpFont* font_ = nullptr;
    GpSolidFill* textBrush_ = nullptr;
    ARGB textColour_ = 0;
    ARGB backColour_ = 0;
    ARGB borderColour_ = 0;
    ARGB normalBorderColour_ = 0;
    int inputMode_ = ModeNormal;
    std::string maskText_ = "*";
    bool multiLine_ = false;
    bool firstPaintDeferred_ = false;  // hidden since creation, drawn on EV_SHOW
    int scrollMode_ = ScrollNone;
    bool roundCorners_ = false;
    int firstVisibleLine_ = 1, lastVisibleLine_ = 1;
    int scrollY_ = 0, scrollX_ = 0;
    int anchorLine_ = 1, caretLine_ = 1;
    int anchorColumn_ = 0, caretColumn_ = 0;
    std::unique_ptr<ScrollBar> horizontalBar_;
    std::unique_ptr<ScrollBar> verticalBar_;
    RectF previousCaretBox_;
    RectF caretBox_;
    int blinkCounter_ = 0;
    HIMC savedImeContext_ = nullptr;
    bool multiClickPending_ = false;
    DWORD multiClickTime_ = 0;
    EditChangeChildHandler changeChildHandler_ = nullptr;
    EditChangeHandler changeHandler_ = nullptr;
    HDC caretSaveDc_ = nullptr;
    HBITMAP caretSaveBitmap_ = nullptr;
    HBITMAP systemCaretShape_ = nullptr;  // the system caret's invisible shape
    HGDIOBJ caretSaveOld_ = nullptr;
    std::unique_ptr<EditLayout> measuring_;  // for the current graphics, font and format
    float laidOutWidth_ = -1;                // wrap width of the last layout
};
