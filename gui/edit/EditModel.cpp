// Sections: settings · selection · editing · moving · filters · changes
#include "EditModel.h"

#include <algorithm>

namespace {

// Drops a lead byte that ends the text without its trail byte.
void dropDanglingLead(std::string& piece)
{
    if (piece.empty())
        return;
    const int characters = TextBuffer::countCharacters(piece);
    const size_t lastStart = static_cast<size_t>(TextBuffer::characterBytes(piece, characters - 1));
    if (piece.size() - lastStart == 1 && TextBuffer::isLeadByte(piece.back()))
        piece.pop_back();
}

}  // namespace

// --- settings ---

void EditModel::configure(bool multiLine, int mode, std::string_view maskText)
{
    multiLine_ = multiLine;
    const std::string text = buffer_.text();
    buffer_.setText(text, multiLine, mode, maskText);
    caret_ = anchor_ = Position{};
}

void EditModel::mode(int value)
{
    const std::string mask = buffer_.maskText();
    buffer_.displayMode(value, mask);
    keepSelectionRule();
}

void EditModel::keepSelectionRule()
{
    if (mode() == ModePassword)
        anchor_ = caret_;
}

// --- selection ---

EditModel::Position EditModel::selectionStart() const
{
    return bytePosition(anchor_) <= bytePosition(caret_) ? anchor_ : caret_;
}

EditModel::Position EditModel::selectionEnd() const
{
    return bytePosition(anchor_) <= bytePosition(caret_) ? caret_ : anchor_;
}

std::string EditModel::selectedText() const
{
    return buffer_.range(bytePosition(anchor_), bytePosition(caret_));
}

void EditModel::selectAll()
{
    if (mode() == ModePassword)
        return;
    anchor_ = Position{1, 0};
    const int last = buffer_.lineCount();
    caret_ = Position{last, buffer_.characterCount(last)};
}

void EditModel::setSelection(Position anchor, Position caret)
{
    anchor_ = buffer_.clamp(anchor);
    caret_ = buffer_.clamp(caret);
    keepSelectionRule();
}

void EditModel::placeCaret(Position at, bool extend)
{
    caret_ = buffer_.clamp(at);
    if (!extend)
        anchor_ = caret_;
    keepSelectionRule();
}

void EditModel::selectWord()
{
    if (mode() == ModePassword)
        return;
    const int from = anchor_.line == caret_.line ? anchor_.column : caret_.column;
    const int start = buffer_.wordStart({caret_.line, from});
    const int end = buffer_.wordEnd(caret_);
    anchor_ = Position{caret_.line, start};
    caret_.column = start == end ? std::min(end + 1, buffer_.characterCount(caret_.line)) : end;
}

void EditModel::selectLine()
{
    if (mode() == ModePassword)
        return;
    anchor_ = Position{caret_.line, 0};
    caret_.column = buffer_.characterCount(caret_.line);
}

// --- editing ---

EditModel::Outcome EditModel::setText(std::string_view text, bool caretToEnd)
{
    Outcome outcome;
    outcome.previousLineCount = buffer_.lineCount();
    const std::string mask = buffer_.maskText();
    outcome.lines = buffer_.setText(text, multiLine_, mode(), mask);
    outcome.isTextChanged = true;
    outcome.inserted = buffer_.text();
    const int last = buffer_.lineCount();
    caret_ = caretToEnd ? Position{last, buffer_.characterCount(last)} : Position{};
    anchor_ = caret_;
    return outcome;
}

EditModel::Outcome EditModel::insert(std::string_view text)
{
    Outcome outcome;
    if (mode() == ModeReadOnly || text.empty())
        return outcome;
    std::string piece = filtered(TextBuffer::insertedPiece(text, multiLine_));
    dropDanglingLead(piece);
    // Refused input changes nothing, not even the selection.
    if (piece.empty())
        return outcome;
    deleteSelection(outcome);
    const int linesBefore = buffer_.lineCount();
    const int lengthBefore = buffer_.length();
    const TextBuffer::Change change = buffer_.insertAt(bytePosition(caret_), piece, multiLine_);
    // The buffer reports where the kept bytes end: a lone LF it dropped does not count.
    caret_ = anchor_ = buffer_.positionOf(change.end);
    if (buffer_.length() != lengthBefore) {
        record(outcome, change, linesBefore);
        outcome.inserted = std::move(piece);
    }
    return outcome;
}

bool EditModel::deleteSelection(Outcome& outcome)
{
    if (mode() == ModeReadOnly)
        return true;
    if (!hasSelection())
        return false;
    const int linesBefore = buffer_.lineCount();
    const TextBuffer::Change change = buffer_.deleteRange(bytePosition(anchor_), bytePosition(caret_), multiLine_);
    caret_ = anchor_ = buffer_.positionOf(change.end);
    record(outcome, change, linesBefore);
    return true;
}

EditModel::Outcome EditModel::deleteBackward()
{
    Outcome outcome;
    if (deleteSelection(outcome))
        return outcome;
    anchor_ = caret_;
    if (caret_.column > 0) {
        --caret_.column;
    } else if (caret_.line > 1) {
        --caret_.line;
        caret_.column = buffer_.characterCount(caret_.line);
    }
    deleteSelection(outcome);
    return outcome;
}

EditModel::Outcome EditModel::deleteForward()
{
    Outcome outcome;
    if (deleteSelection(outcome))
        return outcome;
    anchor_ = caret_;
    if (caret_.column < buffer_.characterCount(caret_.line))
        ++anchor_.column;
    else if (caret_.line < buffer_.lineCount())
        anchor_ = Position{caret_.line + 1, 0};
    deleteSelection(outcome);
    return outcome;
}

// --- moving ---

void EditModel::move(Move move, bool extend)
{
    const int lines = buffer_.lineCount();
    switch (move) {
    case Move::Left:
        if (caret_.column > 0) {
            --caret_.column;
        } else if (multiLine_ && caret_.line > 1) {
            --caret_.line;
            caret_.column = buffer_.characterCount(caret_.line);
        }
        break;
    case Move::Right:
        if (caret_.column < buffer_.characterCount(caret_.line)) {
            ++caret_.column;
        } else if (multiLine_ && caret_.line < lines) {
            ++caret_.line;
            caret_.column = 0;
        }
        break;
    case Move::Up:
    case Move::Down:
        if (!multiLine_)
            return;
        caret_.line = std::clamp(caret_.line + (move == Move::Up ? -1 : 1), 1, lines);
        caret_.column = std::min(caret_.column, buffer_.characterCount(caret_.line));
        break;
    case Move::Home:
        caret_.column = 0;
        break;
    case Move::End:
        caret_.column = buffer_.characterCount(caret_.line);
        break;
    }
    if (!extend)
        anchor_ = caret_;
    keepSelectionRule();
}

// --- filters ---

bool EditModel::acceptsCharacter(int mode, unsigned code, bool hasPoint)
{
    if (mode == ModeInteger)
        return (code >= '0' && code <= '9') || code == '-';
    if (mode == ModeDecimal)
        return code >= '-' && code <= '9' && (code != '.' || !hasPoint);
    return true;
}

std::string EditModel::filtered(std::string_view piece) const
{
    if (mode() != ModeInteger && mode() != ModeDecimal)
        return std::string(piece);
    // The "." already there, outside the selection that the insertion replaces.
    const std::string_view text = buffer_.view();
    const int from = bytePosition(selectionStart()), to = bytePosition(selectionEnd());
    bool hasPoint = text.substr(0, static_cast<size_t>(from - 1)).find('.') != std::string_view::npos ||
                    text.substr(static_cast<size_t>(to - 1)).find('.') != std::string_view::npos;
    std::string kept;
    for (size_t i = 0; i < piece.size();) {
        const size_t size = static_cast<size_t>(TextBuffer::characterBytes(piece.substr(i), 1));
        const unsigned code = static_cast<unsigned char>(piece[i]);
        if (size == 1 && acceptsCharacter(mode(), code, hasPoint)) {
            kept += piece[i];
            hasPoint = hasPoint || code == '.';
        }
        i += size;
    }
    return kept;
}

// --- changes ---

void EditModel::record(Outcome& outcome, const TextBuffer::Change& change, int linesBefore) const
{
    if (!outcome.isTextChanged) {
        outcome.isTextChanged = true;
        outcome.lines = change;
        outcome.previousLineCount = linesBefore;
        return;
    }
    // Two edits in one command: the lines before the earlier first change and after the shorter
    // unchanged tail are the ones neither touched.
    const TextBuffer::Change& first = outcome.lines;
    const int linesBetween = linesBefore;
    const int linesAfter = buffer_.lineCount();
    const int start = std::min(first.firstChangedLine, change.firstChangedLine);
    const int tailFirst = outcome.previousLineCount - (first.firstChangedLine - 1) - first.linesRemoved;
    const int tailSecond = linesBetween - (change.firstChangedLine - 1) - change.linesRemoved;
    const int tail = std::min(tailFirst, tailSecond);
    outcome.lines = TextBuffer::Change{start, outcome.previousLineCount - (start - 1) - tail,
                                       linesAfter - (start - 1) - tail, change.end};
}
