// Random commands on the editing model, each checked against a reference written the obvious way: the
// text as a plain string, the caret and the anchor as two byte offsets into it. After every step the
// text, the caret, the anchor and the selected text must agree, and what the model reports as changed
// must cover every line that changed. Texts mix lone lead bytes, CR, LF and CR LF.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "EditModel.h"

namespace {

using Position = TextBuffer::Position;
using Mode = EditModel::Mode;
using Move = EditModel::Move;

bool isLead(char c)
{
    return static_cast<unsigned char>(c) >= 0x80;
}

bool isWord(std::string_view character)
{
    return character.size() == 1 && std::isalnum(static_cast<unsigned char>(character[0])) != 0;
}

// The whole text's normal form: single-line keeps what is before the first CR LF, and every LF that
// does not follow a CR goes.
std::string normalised(std::string_view text, bool multiLine)
{
    if (!multiLine)
        text = text.substr(0, text.find("\r\n"));
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' || (i > 0 && text[i - 1] == '\r'))
            out += text[i];
    }
    return out;
}

// The characters of a text, a lead byte taking the byte after it.
std::vector<std::string> tokens(std::string_view text)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < text.size();) {
        const size_t size = isLead(text[i]) && i + 1 < text.size() ? 2 : 1;
        out.emplace_back(text.substr(i, size));
        i += size;
    }
    return out;
}

class Reference {
public:
    std::string text;
    size_t caret = 0, anchor = 0;
    bool multiLine = true;
    int mode = Mode::ModeNormal;

    struct Line {
        size_t start, end;  // content only, without CR LF
    };

    std::vector<Line> lines() const
    {
        std::vector<Line> out;
        size_t start = 0;
        for (size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == '\r' && text[i + 1] == '\n') {
                out.push_back({start, i});
                start = i + 2;
                ++i;
            }
        }
        out.push_back({start, text.size()});
        return out;
    }

    // The offsets where the characters of a line start, then its end.
    std::vector<size_t> stops(const Line& line) const
    {
        std::vector<size_t> out;
        for (size_t i = line.start; i < line.end; i += isLead(text[i]) && i + 1 < line.end ? 2 : 1)
            out.push_back(i);
        out.push_back(line.end);
        return out;
    }

    Position position(size_t offset) const
    {
        const std::vector<Line> all = lines();
        for (size_t n = 0; n < all.size(); ++n) {
            if (offset > all[n].end)
                continue;
            const std::vector<size_t> s = stops(all[n]);
            const size_t column = std::find(s.begin(), s.end(), offset) - s.begin();
            return {static_cast<int>(n) + 1, static_cast<int>(column)};
        }
        return {-1, -1};
    }

    size_t offset(Position p) const
    {
        const std::vector<Line> all = lines();
        const Line& line = all[static_cast<size_t>(std::clamp(p.line, 1, static_cast<int>(all.size())) - 1)];
        const std::vector<size_t> s = stops(line);
        return s[static_cast<size_t>(std::clamp(p.column, 0, static_cast<int>(s.size()) - 1))];
    }

    // The character boundary at or before an offset.
    size_t snapBack(size_t at) const
    {
        size_t best = 0;
        for (const Line& line : lines()) {
            for (size_t stop : stops(line)) {
                if (stop <= at)
                    best = stop;
            }
        }
        return best;
    }

    size_t lo() const { return std::min(caret, anchor); }
    size_t hi() const { return std::max(caret, anchor); }
    std::string selected() const { return text.substr(lo(), hi() - lo()); }
    void keepRule()
    {
        if (mode == Mode::ModePassword)
            anchor = caret;
    }

    // --- edits; each answers whether it removed or added bytes ---

    bool removeSelection()
    {
        if (caret == anchor)
            return false;
        const size_t from = lo();
        text.erase(from, hi() - from);
        caret = anchor = snapBack(from);
        return true;
    }

    std::string piece(std::string_view inserted) const
    {
        std::string p;
        if (!multiLine) {
            for (char c : inserted.substr(0, inserted.find("\r\n"))) {
                if (c != '\n')
                    p += c;
            }
        } else {
            for (size_t i = 0; i < inserted.size(); ++i) {
                if (inserted[i] != '\n' || i == 0 || inserted[i - 1] == '\r')
                    p += inserted[i];
            }
        }
        if (mode == Mode::ModeInteger || mode == Mode::ModeDecimal) {
            const std::string outside = text.substr(0, lo()) + text.substr(hi());
            bool hasPoint = outside.find('.') != std::string::npos;
            std::string kept;
            for (const std::string& t : tokens(p)) {
                const char c = t[0];
                const bool ok = t.size() == 1 && (mode == Mode::ModeInteger
                                                      ? (std::isdigit(static_cast<unsigned char>(c)) || c == '-')
                                                      : (c >= '-' && c <= '9' && (c != '.' || !hasPoint)));
                if (ok) {
                    kept += c;
                    hasPoint = hasPoint || c == '.';
                }
            }
            p = kept;
        }
        const std::vector<std::string> t = tokens(p);
        if (!t.empty() && t.back().size() == 1 && isLead(t.back()[0]))
            p.pop_back();
        return p;
    }

    bool insert(std::string_view inserted)
    {
        if (mode == Mode::ModeReadOnly || inserted.empty())
            return false;
        const std::string p = piece(inserted);
        if (p.empty())
            return false;
        bool changed = removeSelection();
        const std::string head = text.substr(0, caret);
        const std::string next = normalised(head + p + text.substr(caret), multiLine);
        const size_t end = multiLine ? normalised(head + p, true).size() : head.size() + p.size();
        changed = changed || next != text;
        text = next;
        caret = anchor = snapBack(end);
        return changed;
    }

    bool deleteBackward()
    {
        if (mode == Mode::ModeReadOnly)
            return false;
        if (removeSelection())
            return true;
        const Position p = position(caret);
        if (p.column == 0 && p.line == 1)
            return false;
        const std::vector<Line> all = lines();
        size_t from;
        if (p.column == 0) {
            from = all[static_cast<size_t>(p.line - 2)].end;
        } else {
            const std::vector<size_t> s = stops(all[static_cast<size_t>(p.line - 1)]);
            from = s[static_cast<size_t>(p.column - 1)];
        }
        text.erase(from, caret - from);
        caret = anchor = snapBack(from);
        return true;
    }

    bool deleteForward()
    {
        if (mode == Mode::ModeReadOnly)
            return false;
        if (removeSelection())
            return true;
        const Position p = position(caret);
        const std::vector<Line> all = lines();
        const Line& line = all[static_cast<size_t>(p.line - 1)];
        const std::vector<size_t> s = stops(line);
        size_t to;
        if (caret < line.end)
            to = s[static_cast<size_t>(p.column + 1)];
        else if (static_cast<size_t>(p.line) < all.size())
            to = caret + 2;
        else
            return false;
        text.erase(caret, to - caret);
        caret = anchor = snapBack(caret);
        return true;
    }

    // --- moves ---

    int characters(int line) const
    {
        return static_cast<int>(stops(lines()[static_cast<size_t>(line - 1)]).size()) - 1;
    }

    void move(Move m, bool extend)
    {
        Position p = position(caret);
        const int count = static_cast<int>(lines().size());
        switch (m) {
        case Move::Left:
            if (p.column > 0)
                --p.column;
            else if (multiLine && p.line > 1)
                p = {p.line - 1, characters(p.line - 1)};
            break;
        case Move::Right:
            if (p.column < characters(p.line))
                ++p.column;
            else if (multiLine && p.line < count)
                p = {p.line + 1, 0};
            break;
        case Move::Up:
        case Move::Down:
            if (!multiLine)
                return;
            p.line = std::clamp(p.line + (m == Move::Up ? -1 : 1), 1, count);
            p.column = std::min(p.column, characters(p.line));
            break;
        case Move::Home:
            p.column = 0;
            break;
        case Move::End:
            p.column = characters(p.line);
            break;
        }
        caret = offset(p);
        if (!extend)
            anchor = caret;
        keepRule();
    }

    void selectWord()
    {
        if (mode == Mode::ModePassword)
            return;
        const Position c = position(caret), a = position(anchor);
        const std::vector<size_t> s = stops(lines()[static_cast<size_t>(c.line - 1)]);
        const auto at = [&](int column) {
            const size_t from = s[static_cast<size_t>(column)], to = s[static_cast<size_t>(column) + 1];
            return text.substr(from, to - from);
        };
        int start = a.line == c.line ? a.column : c.column;
        while (start > 0 && isWord(at(start - 1)))
            --start;
        int end = c.column;
        while (end < characters(c.line) && isWord(at(end)))
            ++end;
        anchor = offset({c.line, start});
        caret = offset({c.line, start == end ? std::min(end + 1, characters(c.line)) : end});
    }
};

// Pieces of typed and pasted text: lone lead bytes, CR, LF and CR LF among GBK and ASCII characters.
const std::vector<std::string> pieces = {
    "a", "Z", "5", ".", "-", " ", "\r\n", "\r\n", "\r", "\n", "\xB7\xC9", "\xD6\xD0", "\xB7", "\x81", "\x80",
};

class Fuzzer {
public:
    explicit Fuzzer(unsigned seed) : random(seed) {}

    int below(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }

    std::string randomText(int most)
    {
        std::string text;
        for (int n = below(most + 1); n > 0; --n)
            text += pieces[static_cast<size_t>(below(static_cast<int>(pieces.size())))];
        return text;
    }

    // Sometimes outside the text, to try the clamping.
    Position randomPosition()
    {
        const int lines = model.buffer().lineCount();
        const int line = below(lines + 2);
        return {line, below(model.buffer().characterCount(std::clamp(line, 1, lines)) + 3) - 1};
    }

    void start(bool multiLine, int mode)
    {
        model.configure(multiLine, mode, "*");
        reference = Reference{};
        reference.multiLine = multiLine;
        reference.mode = mode;
        const std::string text = randomText(12);
        model.setText(text, false);
        reference.text = normalised(text, multiLine);
    }

    void step()
    {
        const std::string before = reference.text;
        const int linesBefore = model.buffer().lineCount();
        EditModel::Outcome outcome;
        std::optional<bool> expectedChange;
        std::string what;
        switch (below(16)) {
        case 0:
        case 1:
        case 2: {
            const std::string text = below(3) ? randomText(1) : randomText(6);
            what = "insert";
            outcome = model.insert(text);
            expectedChange = reference.insert(text);
            break;
        }
        case 3:
            what = "backspace";
            outcome = model.deleteBackward();
            expectedChange = reference.deleteBackward();
            break;
        case 4:
            what = "delete";
            outcome = model.deleteForward();
            expectedChange = reference.deleteForward();
            break;
        case 5:
        case 6: {
            const Move m = static_cast<Move>(below(6));
            const bool extend = below(2) == 0;
            what = "move";
            model.move(m, extend);
            reference.move(m, extend);
            break;
        }
        case 7: {
            const Position a = randomPosition(), c = randomPosition();
            what = "select";
            model.setSelection(a, c);
            reference.anchor = reference.offset(a);
            reference.caret = reference.offset(c);
            reference.keepRule();
            break;
        }
        case 8: {
            const Position at = randomPosition();
            const bool extend = below(2) == 0;
            what = "click";
            model.placeCaret(at, extend);
            reference.caret = reference.offset(at);
            if (!extend)
                reference.anchor = reference.caret;
            reference.keepRule();
            break;
        }
        case 9:
            what = "word";
            model.selectWord();
            reference.selectWord();
            break;
        case 10:
            what = "line";
            model.selectLine();
            if (reference.mode != Mode::ModePassword) {
                const Position c = reference.position(reference.caret);
                reference.anchor = reference.offset({c.line, 0});
                reference.caret = reference.offset({c.line, reference.characters(c.line)});
            }
            break;
        case 11:
            what = "all";
            model.selectAll();
            if (reference.mode != Mode::ModePassword) {
                reference.anchor = 0;
                reference.caret = reference.text.size();
            }
            break;
        case 12:
            what = "collapse";
            model.collapse();
            reference.anchor = reference.caret;
            break;
        case 13: {
            const std::string text = randomText(10);
            const bool toEnd = below(2) == 0;
            what = "set text";
            outcome = model.setText(text, toEnd);
            reference.text = normalised(text, reference.multiLine);
            reference.caret = reference.anchor = toEnd ? reference.text.size() : 0;
            expectedChange = true;
            break;
        }
        case 14: {
            const int mode = below(5);
            what = "mode";
            model.mode(mode);
            reference.mode = mode;
            reference.keepRule();
            break;
        }
        default: {
            // Replace the selection, as typing over it does.
            const std::string text = randomText(3);
            what = "type over";
            outcome = model.insert(text);
            expectedChange = reference.insert(text);
            break;
        }
        }
        SCOPED_TRACE(what);
        check();
        if (expectedChange) {
            ASSERT_EQ(outcome.isTextChanged, *expectedChange);
            if (outcome.isTextChanged)
                checkChange(outcome, before, linesBefore);
        }
        if (reference.text.size() > 400) {
            model.setText("", false);
            reference.text.clear();
            reference.caret = reference.anchor = 0;
        }
    }

    void check()
    {
        ASSERT_EQ(model.buffer().text(), reference.text);
        ASSERT_EQ(model.caret(), reference.position(reference.caret));
        ASSERT_EQ(model.anchor(), reference.position(reference.anchor));
        ASSERT_EQ(model.selectedText(), reference.selected());
        ASSERT_EQ(model.mode(), reference.mode);
    }

    // The lines before the change and behind it read as before.
    void checkChange(const EditModel::Outcome& outcome, const std::string& before, int linesBefore)
    {
        Reference old;
        old.text = before;
        std::vector<std::string> oldLines, newLines;
        for (const Reference::Line& line : old.lines())
            oldLines.push_back(before.substr(line.start, line.end - line.start));
        for (const Reference::Line& line : reference.lines())
            newLines.push_back(reference.text.substr(line.start, line.end - line.start));
        const TextBuffer::Change& change = outcome.lines;
        ASSERT_EQ(outcome.previousLineCount, linesBefore);
        ASSERT_EQ(static_cast<int>(oldLines.size()), linesBefore);
        ASSERT_GE(change.firstChangedLine, 1);
        ASSERT_EQ(static_cast<int>(newLines.size()), linesBefore - change.linesRemoved + change.linesInserted);
        for (int i = 0; i < change.firstChangedLine - 1; ++i)
            ASSERT_EQ(oldLines[static_cast<size_t>(i)], newLines[static_cast<size_t>(i)]) << "line " << i + 1;
        const int tail = linesBefore - (change.firstChangedLine - 1) - change.linesRemoved;
        ASSERT_GE(tail, 0);
        for (int i = 1; i <= tail; ++i)
            ASSERT_EQ(oldLines[oldLines.size() - static_cast<size_t>(i)],
                      newLines[newLines.size() - static_cast<size_t>(i)]);
    }

    std::mt19937 random;
    EditModel model;
    Reference reference;
};

}  // namespace

void PrintTo(const TextBuffer::Position& p, std::ostream* out)
{
    *out << p.line << ":" << p.column;
}

TEST(EditModelFuzz, CommandsAgreeWithAPlainStringAndTwoOffsets)
{
    Fuzzer fuzzer(20261209);
    int steps = 0;
    for (int round = 0; round < 4; ++round) {
        for (const bool multiLine : {true, false}) {
            for (int mode = 0; mode <= 4; ++mode) {
                fuzzer.start(multiLine, mode);
                for (int i = 0; i < 600; ++i, ++steps) {
                    SCOPED_TRACE("multiLine " + std::to_string(multiLine) + " mode " + std::to_string(mode) +
                                 " step " + std::to_string(i));
                    fuzzer.step();
                    if (::testing::Test::HasFatalFailure())
                        return;
                }
            }
        }
    }
    EXPECT_EQ(steps, 4 * 2 * 5 * 600);
}
