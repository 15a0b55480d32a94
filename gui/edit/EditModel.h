#pragma once
// The edit control's editing model: the text, the caret and the selection anchor, the input mode and
// the commands that change them (insert, delete, move, select). Nothing here draws or knows a window:
// every command answers what it changed, and the control lays out, scrolls, paints and notifies from
// that answer. Positions are (line, column) as TextBuffer counts them.
#include <string>
#include <string_view>

#include "TextBuffer.h"

class EditModel {
public:
    using Position = TextBuffer::Position;
    enum Mode : int { ModeNormal = 0, ModeReadOnly = 1, ModePassword = 2, ModeInteger = 3, ModeDecimal = 4 };
    enum class Move { Left, Right, Up, Down, Home, End };

    // What an editing command did to the text.
    struct Outcome {
        bool isTextChanged = false;  // bytes were removed or added (they may read the same again)
        TextBuffer::Change lines;    // the lines replaced, when the text changed
        std::string inserted;        // the bytes that went in, after filtering
        int previousLineCount = 0;   // lines of the text before the command
    };

    EditModel() = default;

    // Settings of creation: the text is kept, cut to one line when single-line.
    void configure(bool multiLine, int mode, std::string_view maskText);
    bool isMultiLine() const { return multiLine_; }
    // The buffer's display mode is the one record of the mode. Password mode keeps no selection.
    int mode() const { return buffer_.displayMode(); }
    void mode(int value);
    const std::string& maskText() const { return buffer_.maskText(); }

    const TextBuffer& buffer() const { return buffer_; }
    TextBuffer& buffer() { return buffer_; }  // for the layout, which keeps line boxes there
    Position caret() const { return caret_; }
    Position anchor() const { return anchor_; }
    bool hasSelection() const { return !(caret_ == anchor_); }
    // The earlier and the later end of the selection.
    Position selectionStart() const;
    Position selectionEnd() const;
    std::string selectedText() const;
    int bytePosition(Position position) const { return buffer_.bytePosition(position); }

    // --- commands that edit ---
    // The caret goes to the start, or with caretToEnd to the end of the last line.
    Outcome setText(std::string_view text, bool caretToEnd);
    // Typed characters, pasted text and input-method results: refused in read-only mode; integer
    // and decimal modes keep only their characters; a lead byte left without its trail at the end is
    // dropped (it would take the first byte behind the caret as its trail). A selection is replaced.
    // The caret goes behind what the buffer kept of the text.
    Outcome insert(std::string_view text);
    // Read-only: true, nothing changes. Otherwise false when nothing is selected.
    bool deleteSelection(Outcome& outcome);
    // The selection, else the character (or line break) before the caret.
    Outcome deleteBackward();
    // The selection, else the character (or line break) after the caret.
    Outcome deleteForward();

    // --- commands that move ---
    // `extend` keeps the anchor (never in password mode).
    void move(Move move, bool extend);
    void selectAll();
    void setSelection(Position anchor, Position caret);
    void placeCaret(Position at, bool extend);
    // Double click: the run of ASCII letters and digits around the caret, or the one character at it.
    void selectWord();
    // Triple click: the caret's line.
    void selectLine();
    void collapse() { anchor_ = caret_; }

private:
    // Whether a one-byte character passes the mode's filter; hasPoint: the text it joins has a ".".
    static bool acceptsCharacter(int mode, unsigned code, bool hasPoint);
    std::string filtered(std::string_view piece) const;
    void keepSelectionRule();
    // Adds one buffer edit to the command's outcome.
    void record(Outcome& outcome, const TextBuffer::Change& change, int linesBefore) const;

    TextBuffer buffer_;
    bool multiLine_ = false;
    Position caret_;
    Position anchor_;
};
