// Sections: characters · setting the text · reading · editing · positions · layout
#include "TextBuffer.h"

#include <algorithm>

namespace {

constexpr std::string_view lineBreak = "\r\n";

// Bytes of the character at text[i]; a lead byte without a byte after it is one character.
size_t characterSize(std::string_view text, size_t i)
{
    return TextBuffer::isLeadByte(text[i]) && i + 1 < text.size() ? 2 : 1;
}

// Drops every LF that is the first byte or does not follow a CR. Answers how many of the first
// `limit` bytes survived. Deciding on the original bytes is the same as deciding on the filtered
// ones: a dropped LF never follows a CR, so dropping it cannot put a CR in front of another LF.
size_t dropLoneLineFeeds(std::string& text, size_t limit = 0, bool keepLeading = false)
{
    size_t kept = 0;
    size_t keptBeforeLimit = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 ? !keepLeading : text[i - 1] != '\r'))
            continue;
        if (i < limit)
            ++keptBeforeLimit;
        // kept <= i, and text[i - 1] has only been overwritten by itself when nothing was dropped yet.
        text[kept++] = text[i];
    }
    text.resize(kept);
    return keptBeforeLimit;
}

// What a single-line field takes of an inserted text: the part before its first CR LF, without LFs.
std::string singleLinePiece(std::string_view text)
{
    std::string piece(text.substr(0, std::min(text.find(lineBreak), text.size())));
    std::erase(piece, '\n');
    return piece;
}

TextBuffer::LineInfo lineAt(int start)
{
    return {start, {}, false};
}

// Starts of the lines that begin inside `text`, whose first byte is at byte position `base`.
void appendLineStarts(std::string_view text, int base, std::vector<TextBuffer::LineInfo>& lines)
{
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\r' && text[i + 1] == '\n') {
            lines.push_back(lineAt(base + static_cast<int>(i) + 2));
            ++i;
        }
    }
}

}  // namespace

TextBuffer::TextBuffer()
{
    lines_.push_back(lineAt(1));
}

TextBuffer::~TextBuffer() = default;

std::unique_ptr<TextBuffer> TextBuffer::clone() const
{
    return std::make_unique<TextBuffer>(*this);
}

// --- characters ---

int TextBuffer::countCharacters(std::string_view text)
{
    int count = 0;
    for (size_t i = 0; i < text.size(); i += characterSize(text, i))
        ++count;
    return count;
}

int TextBuffer::characterBytes(std::string_view text, int count)
{
    size_t i = 0;
    for (int n = 0; n < count && i < text.size(); ++n)
        i += characterSize(text, i);
    return static_cast<int>(i);
}

std::string TextBuffer::insertedPiece(std::string_view text, bool multiLine)
{
    if (!multiLine)
        return singleLinePiece(text);
    std::string piece(text);
    dropLoneLineFeeds(piece, 0, true);
    return piece;
}

bool TextBuffer::isWordCharacter(std::string_view character)
{
    if (character.size() != 1)
        return false;
    char c = character[0];
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// --- setting the text ---

TextBuffer::Change TextBuffer::setText(std::string_view text, bool multiLine, int displayMode,
                                       std::string_view maskText)
{
    Change change{1, lineCount(), 0, 1};
    bytes_.assign(multiLine ? text : text.substr(0, std::min(text.find(lineBreak), text.size())));
    dropLoneLineFeeds(bytes_);
    lines_.clear();
    lines_.push_back(lineAt(1));
    if (multiLine)
        appendLineStarts(bytes_, 1, lines_);
    displayMode_ = displayMode;
    maskText_ = maskText;
    change.linesInserted = lineCount();
    change.end = length() + 1;
    return change;
}

void TextBuffer::displayMode(int mode, std::string_view maskText)
{
    const bool wasMasked = displayMode_ == passwordMode, isMasked = mode == passwordMode;
    const bool isFormChanged = wasMasked != isMasked || (isMasked && maskText_ != maskText);
    displayMode_ = mode;
    maskText_ = maskText;
    if (isFormChanged) {
        for (LineInfo& info : lines_)
            info.isMeasured = false;
    }
}

// --- reading ---

std::string TextBuffer::lineText(int line, std::optional<int> count, bool forDisplay) const
{
    if (!isValidLine(line))
        return {};
    std::string_view content = lineView(line);
    if (count)
        content = content.substr(0, static_cast<size_t>(std::clamp(*count, 0, static_cast<int>(content.size()))));
    if (!forDisplay)
        return std::string(content);
    std::string shown;
    if (displayMode_ == passwordMode) {
        for (int n = countCharacters(content); n > 0; --n)
            shown += maskText_;
        return shown;
    }
    // Only a space that is a character of its own becomes a tab, never the second byte of a pair.
    shown.reserve(content.size());
    for (size_t i = 0; i < content.size();) {
        size_t size = characterSize(content, i);
        if (size == 1 && content[i] == ' ')
            shown += '\t';
        else
            shown.append(content.substr(i, size));
        i += size;
    }
    return shown;
}

std::string TextBuffer::range(int a, int b) const
{
    int last = length() + 1;
    int from = std::clamp(std::min(a, b), 1, last);
    int to = std::clamp(std::max(a, b), 1, last);
    return bytes_.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from));
}

std::string TextBuffer::text() const { return bytes_; }
int TextBuffer::lineCount() const { return static_cast<int>(lines_.size()); }
int TextBuffer::refHeight() const { return refHeight_; }
int TextBuffer::refWidth() const { return refWidth_; }

RectF TextBuffer::lineBox(int line) const
{
    return isValidLine(line) ? lines_[static_cast<size_t>(line - 1)].box : RectF{};
}

int TextBuffer::lineStart(int line) const
{
    return isValidLine(line) ? lines_[static_cast<size_t>(line - 1)].start : 0;
}

int TextBuffer::totalHeight() const { return totalHeight_; }
int TextBuffer::maxWidth() const { return maxWidth_; }
int TextBuffer::length() const { return static_cast<int>(bytes_.size()); }
std::string TextBuffer::bytes() const { return bytes_; }

bool TextBuffer::isValidLine(int line) const
{
    return line > 0 && line <= lineCount();
}

int TextBuffer::lineEnd(int line) const
{
    return line < lineCount() ? lines_[static_cast<size_t>(line)].start - 2 : length() + 1;
}

std::string_view TextBuffer::lineView(int line) const
{
    int start = lineStart(line);
    return std::string_view(bytes_).substr(static_cast<size_t>(start - 1),
                                           static_cast<size_t>(lineEnd(line) - start));
}

int TextBuffer::lineLength(int line) const
{
    return isValidLine(line) ? lineEnd(line) - lineStart(line) : 0;
}

int TextBuffer::characterCount(int line) const
{
    return isValidLine(line) ? countCharacters(lineView(line)) : 0;
}

// --- editing ---

TextBuffer::Change TextBuffer::deleteRange(int a, int b, bool multiLine)
{
    return replace(a, b, {}, multiLine);
}

TextBuffer::Change TextBuffer::insertAt(int position, std::string_view text, bool multiLine)
{
    return replace(position, position, text, multiLine);
}

TextBuffer::Change TextBuffer::replace(int a, int b, std::string_view inserted, bool multiLine)
{
    int last = length() + 1;
    int from = snapToCharacter(std::clamp(std::min(a, b), 1, last));
    int to = snapToCharacter(std::clamp(std::max(a, b), 1, last));
    if (!multiLine)
        return replaceInSingleLine(from, to, inserted);

    // Only the lines that hold the two ends are rebuilt. The byte before them is an LF or nothing and
    // the byte after them starts a line, never an LF, so normalising the piece alone gives the same
    // bytes as normalising the whole text.
    int firstLine = lineOf(from);
    int lastLine = lineOf(to);
    int pieceStart = lineStart(firstLine);
    int pieceEnd = lastLine < lineCount() ? lineStart(lastLine + 1) : last;
    std::string piece;
    piece.reserve(static_cast<size_t>(pieceEnd - pieceStart) + inserted.size());
    piece.append(bytes_, static_cast<size_t>(pieceStart - 1), static_cast<size_t>(from - pieceStart));
    piece.append(inserted);
    size_t insertedEnd = piece.size();
    piece.append(bytes_, static_cast<size_t>(to - 1), static_cast<size_t>(pieceEnd - to));
    size_t kept = dropLoneLineFeeds(piece, insertedEnd);

    std::vector<LineInfo> rebuilt{lineAt(pieceStart)};
    appendLineStarts(piece, pieceStart, rebuilt);
    // The piece still ends with the CR LF of lastLine, whose following line is not rebuilt.
    if (lastLine < lineCount())
        rebuilt.pop_back();

    int delta = static_cast<int>(piece.size()) - (pieceEnd - pieceStart);
    bytes_.replace(static_cast<size_t>(pieceStart - 1), static_cast<size_t>(pieceEnd - pieceStart), piece);
    auto first = lines_.begin() + (firstLine - 1);
    first = lines_.erase(first, first + (lastLine - firstLine + 1));
    first = lines_.insert(first, rebuilt.begin(), rebuilt.end());
    for (auto it = first + static_cast<std::ptrdiff_t>(rebuilt.size()); it != lines_.end(); ++it)
        it->start += delta;

    return {firstLine, lastLine - firstLine + 1, static_cast<int>(rebuilt.size()),
            pieceStart + static_cast<int>(kept)};
}

TextBuffer::Change TextBuffer::replaceInSingleLine(int from, int to, std::string_view inserted)
{
    std::string piece = singleLinePiece(inserted);
    if (lineCount() > 1) {
        // The text came from a multi-line setText: the whole result is cut to its first line.
        std::string whole = bytes_.substr(0, static_cast<size_t>(from - 1)) + piece + bytes_.substr(static_cast<size_t>(to - 1));
        Change change = setText(whole, false, displayMode_, maskText_);
        change.end = std::min(from + static_cast<int>(piece.size()), length() + 1);
        return change;
    }
    // No LF is left in a single-line text or piece, so no line break can form at the joins.
    bytes_.replace(static_cast<size_t>(from - 1), static_cast<size_t>(to - from), piece);
    lines_[0].isMeasured = false;
    return {1, 1, 1, from + static_cast<int>(piece.size())};
}

// --- positions ---

int TextBuffer::lineOf(int bytePosition) const
{
    int position = std::clamp(bytePosition, 1, length() + 1);
    auto after = std::upper_bound(lines_.begin(), lines_.end(), position,
                                  [](int p, const LineInfo& info) { return p < info.start; });
    return static_cast<int>(after - lines_.begin());
}

int TextBuffer::snapToCharacter(int bytePosition) const
{
    int line = lineOf(bytePosition);
    int start = lineStart(line);
    int end = lineEnd(line);
    if (bytePosition >= end)
        return end;  // on the LF of the line break: back to its CR
    std::string_view content = lineView(line);
    size_t offset = static_cast<size_t>(bytePosition - start);
    size_t i = 0;
    while (i < offset) {
        size_t size = characterSize(content, i);
        if (i + size > offset)
            break;
        i += size;
    }
    return start + static_cast<int>(i);
}

TextBuffer::Position TextBuffer::clamp(Position position) const
{
    int line = std::clamp(position.line, 1, lineCount());
    return {line, std::clamp(position.column, 0, characterCount(line))};
}

int TextBuffer::bytePosition(Position position) const
{
    Position p = clamp(position);
    return lineStart(p.line) + characterBytes(lineView(p.line), p.column);
}

TextBuffer::Position TextBuffer::positionOf(int bytePosition) const
{
    int position = snapToCharacter(std::clamp(bytePosition, 1, length() + 1));
    int line = lineOf(position);
    int start = lineStart(line);
    return {line, countCharacters(std::string_view(bytes_).substr(static_cast<size_t>(start - 1),
                                                                  static_cast<size_t>(position - start)))};
}

int TextBuffer::wordStart(Position position) const
{
    Position p = clamp(position);
    std::string_view content = lineView(p.line);
    std::vector<size_t> starts;  // byte offset of each character of the line, then the line end
    for (size_t i = 0; i < content.size(); i += characterSize(content, i))
        starts.push_back(i);
    starts.push_back(content.size());
    int column = p.column;
    while (column > 0) {
        size_t begin = starts[static_cast<size_t>(column - 1)];
        if (!isWordCharacter(content.substr(begin, starts[static_cast<size_t>(column)] - begin)))
            break;
        --column;
    }
    return column;
}

int TextBuffer::wordEnd(Position position) const
{
    Position p = clamp(position);
    std::string_view content = lineView(p.line);
    size_t i = static_cast<size_t>(characterBytes(content, p.column));
    int column = p.column;
    while (i < content.size()) {
        size_t size = characterSize(content, i);
        if (!isWordCharacter(content.substr(i, size)))
            break;
        i += size;
        ++column;
    }
    return column;
}

// --- layout ---

void TextBuffer::layout(Measurer& measurer, int scrollMode, Remeasure scope)
{
    std::optional<RectF> reference = measurer.measure(referenceGlyph);
    int newRefHeight = reference ? static_cast<int>(reference->height) : 0;
    int newRefWidth = reference ? static_cast<int>(reference->width) : 0;
    bool isMeasuringAll = scope == Remeasure::AllLines || scrollMode != laidOutScrollMode_ ||
                          newRefHeight != refHeight_ || newRefWidth != refWidth_;
    refHeight_ = newRefHeight;
    refWidth_ = newRefWidth;
    laidOutScrollMode_ = scrollMode;
    // Scroll mode 0 (single line) and bit 0 (horizontal scrolling) do not wrap: all rows are equal.
    bool isWrapping = scrollMode != 0 && (scrollMode & 1) == 0;

    maxWidth_ = 0;
    totalHeight_ = 0;
    for (int line = 1; line <= lineCount(); ++line) {
        LineInfo& info = lines_[static_cast<size_t>(line - 1)];
        if (isMeasuringAll || !info.isMeasured)
            measureLine(line, measurer, isWrapping);
        if (!isWrapping)
            info.box.height = static_cast<float>(refHeight_);
        info.box.y = static_cast<float>(totalHeight_);
        maxWidth_ = std::max(maxWidth_, static_cast<int>(info.box.width));
        totalHeight_ += static_cast<int>(info.box.height);
    }
}

void TextBuffer::measureLine(int line, Measurer& measurer, bool isWrapping)
{
    LineInfo& info = lines_[static_cast<size_t>(line - 1)];
    std::optional<RectF> box = measurer.measure(lineText(line, std::nullopt, true));
    // A failed measurement still leaves a line one row high, so it can be seen and clicked.
    info.box = box ? *box : RectF{0, 0, 2, static_cast<float>(refHeight_)};
    // Every line is at least one row: an empty line of a wrapping text measures no height.
    if (!isWrapping || info.box.height < static_cast<float>(refHeight_))
        info.box.height = static_cast<float>(refHeight_);
    info.isMeasured = true;
}
