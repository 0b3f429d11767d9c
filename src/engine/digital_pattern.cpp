#include "engine/digital_pattern.h"

#include "engine/DataWord.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace velda::engine {
namespace {

// What a step does to the selected bits of a point.
enum class Op : uint8_t { Low, High, Invert, Word };

// One node of the parsed pattern. A sequence is a list of node indices.
struct Node {
    enum Kind : uint8_t { Step, Group, Repeat } kind = Step;
    Op op = Op::Low;
    uint16_t word = 0;
    int32_t count = 1;         // Step: points (0 = the rest); Repeat: times (0 = until full)
    std::vector<int> children; // Group: its elements; Repeat: the one repeated element
};

struct Failure {
    int32_t error;
    size_t at;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
int hexValue(char c) {
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    // Parses the whole text; on success nodes() and top() describe it.
    bool parse(uint16_t& mask, Failure& fail) {
        mask = 0xFFFF;
        skipBlanks();
        if (peekName() == "MASK") {
            pos_ += 4;
            skipBlanks();
            const size_t at = pos_;
            if (!startsWord()) {
                fail = {PatternMisplaced, at};
                return false;
            }
            if (!readWord(mask, fail))
                return false;
        }
        if (!sequence(top_, 0, fail))
            return false;
        if (pos_ < s_.size()) { // sequence stops only at a closing bracket here
            fail = {s_[pos_] == ']' ? PatternBrackets : PatternBraces, pos_};
            return false;
        }
        if (top_.empty()) {
            fail = {PatternMisplaced, pos_};
            return false;
        }
        return true;
    }

    const std::vector<Node>& nodes() const { return nodes_; }
    const std::vector<int>& top() const { return top_; }

private:
    // Elements up to the end of the text or a "]" / "}" (left unread).
    bool sequence(std::vector<int>& out, int depth, Failure& fail) {
        for (;;) {
            skipBlanks();
            if (pos_ >= s_.size() || s_[pos_] == ']' || s_[pos_] == '}')
                return true;
            int node = -1;
            if (!element(node, depth, fail))
                return false;
            out.push_back(node);
        }
    }

    bool element(int& node, int depth, Failure& fail) {
        const size_t at = pos_;
        const char c = s_[pos_];
        if (c == '{' || c == '[') {
            if (depth >= kMaxPatternNesting) {
                fail = {PatternNestTooDeep, at};
                return false;
            }
        }
        if (c == '{') {
            int32_t times = 0;
            if (!repeatCount(times, fail))
                return false;
            skipBlanks();
            if (pos_ >= s_.size() || s_[pos_] == ']' || s_[pos_] == '}') {
                fail = {PatternMisplaced, at};
                return false;
            }
            int child = -1;
            if (!element(child, depth + 1, fail))
                return false;
            node = add(Node{Node::Repeat, Op::Low, 0, times, {child}});
            return true;
        }
        if (c == '[') {
            ++pos_;
            std::vector<int> children;
            if (!sequence(children, depth + 1, fail))
                return false;
            if (pos_ >= s_.size()) {
                fail = {PatternBrackets, at};
                return false;
            }
            if (s_[pos_] == '}') {
                fail = {PatternBraces, pos_};
                return false;
            }
            ++pos_; // the "]"
            if (children.empty()) {
                fail = {PatternMisplaced, at};
                return false;
            }
            node = add(Node{Node::Group, Op::Low, 0, 0, std::move(children)});
            return true;
        }
        return step(node, fail);
    }

    // "{" count "}": the count must be a plain decimal number; a "{" whose
    // "}" does not come before the next bracket is unbalanced.
    bool repeatCount(int32_t& times, Failure& fail) {
        const size_t open = pos_;
        size_t close = open + 1;
        while (close < s_.size() && s_[close] != '}') {
            const char c = s_[close];
            if (c == '{' || c == '[' || c == ']')
                break;
            ++close;
        }
        if (close >= s_.size() || s_[close] != '}') {
            fail = {PatternBraces, open};
            return false;
        }
        size_t a = open + 1;
        size_t b = close;
        while (a < b && isBlank(s_[a]) && s_[a] != ',')
            ++a;
        while (b > a && isBlank(s_[b - 1]) && s_[b - 1] != ',')
            --b;
        if (a == b) {
            fail = {PatternBadRepeat, open};
            return false;
        }
        for (size_t i = a; i < b; ++i) {
            if (!isDigit(s_[i])) {
                fail = {PatternBadRepeat, i};
                return false;
            }
        }
        pos_ = a;
        if (!readCount(times, fail))
            return false;
        pos_ = close + 1;
        return true;
    }

    // [count] value
    bool step(int& node, Failure& fail) {
        const size_t at = pos_;
        int32_t points = 1;
        bool counted = false;
        if (isDigit(s_[pos_]) && !startsHexPrefix()) {
            if (!readCount(points, fail))
                return false;
            counted = true;
            skipBlanks();
        }
        if (pos_ >= s_.size()) {
            fail = {PatternMisplaced, at};
            return false;
        }
        Node n{Node::Step, Op::Low, 0, points, {}};
        const char c = s_[pos_];
        if (startsWord()) {
            n.op = Op::Word;
            if (!readWord(n.word, fail))
                return false;
        } else if (isLetter(c)) {
            const std::string_view name = peekName();
            if (name == "L" || name == "H" || name == "N") {
                n.op = name == "L" ? Op::Low : name == "H" ? Op::High : Op::Invert;
                ++pos_;
            } else if (name == "MASK") {
                fail = {PatternMisplaced, pos_};
                return false;
            } else {
                fail = {PatternUnknownText, pos_};
                return false;
            }
        } else if (c == '{' || c == '[' || c == ']' || c == '}' || isDigit(c)) {
            // A count must be followed by a value, not by another element.
            fail = {counted ? PatternMisplaced : PatternUnknownText, counted ? at : pos_};
            return false;
        } else {
            fail = {PatternUnknownText, pos_};
            return false;
        }
        node = add(std::move(n));
        return true;
    }

    // Decimal whole number, at most kMaxPatternCount.
    bool readCount(int32_t& value, Failure& fail) {
        const size_t at = pos_;
        int64_t v = 0;
        while (pos_ < s_.size() && isDigit(s_[pos_])) {
            v = std::min<int64_t>(v * 10 + (s_[pos_] - '0'), INT64_C(1) << 40);
            ++pos_;
        }
        if (v > kMaxPatternCount) {
            fail = {PatternCountTooLarge, at};
            return false;
        }
        value = static_cast<int32_t>(v);
        return true;
    }

    bool startsHexPrefix() const {
        return pos_ + 1 < s_.size() && s_[pos_] == '0' &&
               (s_[pos_ + 1] == 'x' || s_[pos_ + 1] == 'X');
    }
    bool startsWord() const {
        return pos_ < s_.size() && (s_[pos_] == '$' || s_[pos_] == '%' || startsHexPrefix());
    }

    // "$" hex | "0x" hex | "%" binary, at most 16 bits, "_" between digits.
    bool readWord(uint16_t& word, Failure& fail) {
        const size_t at = pos_;
        const bool binary = s_[pos_] == '%';
        pos_ += (s_[pos_] == '0') ? 2 : 1;
        const int base = binary ? 2 : 16;
        uint32_t v = 0;
        int digits = 0;
        bool over = false;
        while (pos_ < s_.size()) {
            const char c = s_[pos_];
            if (c == '_' && digits > 0) {
                ++pos_;
                continue;
            }
            const int d = binary ? ((c == '0' || c == '1') ? c - '0' : -1) : hexValue(c);
            if (d < 0)
                break;
            v = v * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
            over = over || v > 0xFFFF;
            v &= 0xFFFFF; // keeps the arithmetic bounded; `over` remembers the overflow
            ++digits;
            ++pos_;
        }
        // A binary word running into other digits is a wrong digit, not two elements.
        if (digits == 0 || over || s_[pos_ - 1] == '_' ||
            (binary && pos_ < s_.size() && isDigit(s_[pos_]))) {
            fail = {PatternBadWord, at};
            return false;
        }
        word = static_cast<uint16_t>(v);
        return true;
    }

    // The run of letters at the cursor, in upper case (empty when none).
    std::string_view peekName() {
        size_t e = pos_;
        while (e < s_.size() && isLetter(s_[e]))
            ++e;
        name_.assign(s_.begin() + static_cast<std::ptrdiff_t>(pos_),
                     s_.begin() + static_cast<std::ptrdiff_t>(e));
        for (char& ch : name_)
            ch = upper(ch);
        return name_;
    }

    void skipBlanks() {
        while (pos_ < s_.size() && isBlank(s_[pos_]))
            ++pos_;
    }

    int add(Node n) {
        nodes_.push_back(std::move(n));
        return static_cast<int>(nodes_.size()) - 1;
    }

    std::string_view s_;
    size_t pos_ = 0;
    std::vector<Node> nodes_;
    std::vector<int> top_;
    std::string name_;
};

// Runs the parsed pattern over words[cursor, end). Every element writes at
// least one point while room is left, so even {0} loops end with the area.
class Writer {
public:
    Writer(const std::vector<Node>& nodes, uint16_t mask, int16_t* words, int64_t first,
           int64_t end)
        : nodes_(nodes), mask_(mask), words_(words), cursor_(first), end_(end) {}

    void run(const std::vector<int>& seq) {
        for (int i : seq) {
            if (full())
                return;
            exec(i);
        }
    }
    int64_t cursor() const { return cursor_; }

private:
    bool full() const { return cursor_ >= end_; }

    void exec(int index) {
        const Node& n = nodes_[static_cast<size_t>(index)];
        switch (n.kind) {
        case Node::Step:
            write(n);
            break;
        case Node::Group:
            run(n.children);
            break;
        case Node::Repeat:
            for (int32_t k = 0; (n.count == 0 || k < n.count) && !full(); ++k)
                exec(n.children.front());
            break;
        }
    }

    void write(const Node& n) {
        const int64_t points =
            n.count == 0 ? end_ - cursor_ : std::min<int64_t>(n.count, end_ - cursor_);
        const auto keep = static_cast<uint16_t>(~mask_);
        for (int64_t i = cursor_; i < cursor_ + points; ++i) {
            const auto u = static_cast<uint16_t>(words_[i]);
            uint16_t v = u;
            switch (n.op) {
            case Op::Low:
                v = static_cast<uint16_t>(u & keep);
                break;
            case Op::High:
                v = static_cast<uint16_t>(u | mask_);
                break;
            case Op::Invert:
                v = static_cast<uint16_t>(u ^ mask_);
                break;
            case Op::Word:
                v = static_cast<uint16_t>((u & keep) | (n.word & mask_));
                break;
            }
            words_[i] = W_ToWord(static_cast<int16_t>(v));
        }
        cursor_ += points;
    }

    const std::vector<Node>& nodes_;
    uint16_t mask_;
    int16_t* words_;
    int64_t cursor_;
    int64_t end_;
};

} // namespace
} // namespace velda::engine

using namespace velda::engine;

int32_t DigitalPattern(const char* pattern, int32_t first, WaveHandle h, int32_t count,
                       int32_t& result2) {
    result2 = 0;
    if (!pattern) {
        return PatternMisplaced;
    }
    const size_t length = ::strnlen(pattern, static_cast<size_t>(kMaxPatternText) + 1);
    if (length > static_cast<size_t>(kMaxPatternText)) {
        result2 = kMaxPatternText;
        return PatternTooLong;
    }
    Parser parser(std::string_view(pattern, length));
    uint16_t mask = 0xFFFF;
    Failure fail{PatternOk, 0};
    if (!parser.parse(mask, fail)) {
        result2 = static_cast<int32_t>(fail.at);
        return fail.error;
    }
    auto words = bufferWords(h);
    if (words.empty() || count <= 0)
        return PatternOk;
    const Run r = clipRun(first, count, static_cast<int64_t>(words.size()));
    Writer writer(parser.nodes(), mask, words.data(), r.first, r.first + r.count);
    writer.run(parser.top());
    result2 = static_cast<int32_t>(writer.cursor() - r.first);
    return PatternOk;
}
