#pragma once
// The edit control's text: GBK bytes with CR LF between lines, the line table over them and the line
// boxes of the last layout. Nothing here draws or owns a window; layout measures through a Measurer
// that the drawing side supplies, so the model can be tested and fuzzed on its own.
//
// A character is one byte below 0x80, or a byte of 0x80 or above with the byte after it. Characters
// are counted within a line only: a lead byte that is the last byte of a line is one character, so a
// count never reaches into the line break or past the end of the text.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Forward.h"

class TextBuffer {
public:
    // line from 1; column = characters before the position on that line.
    struct Position {
        int line = 1;
        int column = 0;
        friend bool operator==(const Position&, const Position&) = default;
    };

    struct LineInfo {
        int start = 1;  // byte position of the line's first byte
        RectF box;      // from the last layout, in text coordinates (before scrolling)
        bool isMeasured = false;  // box width and height belong to the line's current bytes
    };

    // Lines [firstChangedLine, firstChangedLine + linesRemoved) of the old text were replaced by
    // [firstChangedLine, firstChangedLine + linesInserted) of the new one. Every other line kept its
    // bytes and its measured box; only its start and its y may have moved.
    struct Change {
        int firstChangedLine = 1;
        int linesRemoved = 0;
        int linesInserted = 0;
        int end = 1;  // byte position right behind the inserted bytes (the deletion point if none)
    };

    // Sizes a GBK display text in the measuring box of the layout (font, format, width).
    class Measurer {
    public:
        virtual ~Measurer() = default;
        // nullopt when the measurement failed.
        virtual std::optional<RectF> measure(std::string_view displayText) = 0;
    };

    // ChangedLines measures only lines edited since the last layout, unless the scroll mode or the
    // reference glyph's size changed; AllLines is for a new font, format or layout width.
    enum class Remeasure { ChangedLines, AllLines };

    static constexpr int passwordMode = 2;
    // "泆": the glyph whose box gives refHeight and refWidth.
    static constexpr std::string_view referenceGlyph = "\x9B" "u";

    TextBuffer();
    TextBuffer(const TextBuffer&) = default;
    TextBuffer& operator=(const TextBuffer&) = default;
    virtual ~TextBuffer();
    virtual std::unique_ptr<TextBuffer> clone() const;

    // --- the table of operations, in its fixed order ---
    // Single-line keeps the text up to its first CR LF. A lone LF is dropped, a lone CR kept (it does
    // not break a line). The line table is rebuilt.
    virtual Change setText(std::string_view text, bool multiLine, int displayMode = 0,
                           std::string_view maskText = "*");
    virtual void layout(Measurer& measurer, int scrollMode, Remeasure scope = Remeasure::ChangedLines);
    // The line without its CR LF, or its first `count` bytes; forDisplay gives the display form
    // (password: maskText per character; otherwise a tab for each space). An invalid line gives "".
    virtual std::string lineText(int line, std::optional<int> count = std::nullopt, bool forDisplay = false) const;
    // |a - b| bytes from min(a, b); positions outside the text are clamped into it.
    virtual std::string range(int a, int b) const;
    // Edits snap each position back to the start of the character (or line break) it falls into and
    // then normalise as setText does, but only around the edit. A single-line edit keeps the inserted
    // text up to its first CR LF and the text behind the position.
    virtual Change deleteRange(int a, int b, bool multiLine);
    virtual Change insertAt(int position, std::string_view text, bool multiLine);
    virtual std::string text() const;
    virtual int lineCount() const;
    virtual int refHeight() const;
    virtual int refWidth() const;
    virtual RectF lineBox(int line) const;  // an invalid line gives 0, 0, 0, 0
    virtual int lineStart(int line) const;  // an invalid line gives 0
    virtual int totalHeight() const;
    virtual int maxWidth() const;
    virtual int length() const;
    virtual std::string bytes() const;
    virtual bool isValidLine(int line) const;

    // The display form follows the mode (password: maskText per character); a change of it makes
    // every line's box stale.
    void displayMode(int mode, std::string_view maskText);

    // --- positions and characters ---
    std::string_view view() const { return bytes_; }
    int displayMode() const { return displayMode_; }
    const std::string& maskText() const { return maskText_; }
    // Bytes of the line without its CR LF; 0 for an invalid line.
    int lineLength(int line) const;
    // Characters of the line: the column of its end. 0 for an invalid line.
    int characterCount(int line) const;
    // The line is clamped into the text and the column into the line.
    Position clamp(Position position) const;
    int bytePosition(Position position) const;
    // The position of the character boundary at or before a byte position (clamped into the text).
    Position positionOf(int bytePosition) const;
    // The line whose bytes, CR LF included, hold the byte position (clamped into the text).
    int lineOf(int bytePosition) const;
    // Double-click word bounds on the position's line: the column where the run of word characters
    // before the position starts, and the column where the run at it ends.
    int wordStart(Position position) const;
    int wordEnd(Position position) const;

    static int countCharacters(std::string_view text);
    // Bytes of the first `count` characters of text (all of it when it has fewer).
    static int characterBytes(std::string_view text, int count);
    // ASCII letters and digits.
    static bool isWordCharacter(std::string_view character);
    static bool isLeadByte(char byte) { return static_cast<unsigned char>(byte) >= 0x80; }
    // What an insertion keeps of `text`: single-line, the part before its first CR LF without LFs;
    // multi-line, the text without the LFs that no CR of its own precedes (a leading LF is kept: a CR
    // in front of the position takes it).
    static std::string insertedPiece(std::string_view text, bool multiLine);

private:
    Change replace(int a, int b, std::string_view inserted, bool multiLine);
    Change replaceInSingleLine(int from, int to, std::string_view inserted);
    int lineEnd(int line) const;  // byte position of the line's CR, or length + 1
    int snapToCharacter(int bytePosition) const;
    std::string_view lineView(int line) const;
    void measureLine(int line, Measurer& measurer, bool isWrapping);

    std::string bytes_;
    std::vector<LineInfo> lines_;
    int maxWidth_ = 0;
    int totalHeight_ = 0;
    int refHeight_ = 0;
    int refWidth_ = 0;
    int displayMode_ = 0;
    std::string maskText_ = "*";
    int laidOutScrollMode_ = -1;  // -1: never laid out
};
