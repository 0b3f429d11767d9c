#pragma once
// Cuts the bytes an instrument receives into command lines. A line ends
// with LF; a definite-length block ("#", one digit n from 1 to 9, n digits
// of byte count, then that many bytes) inside a line is taken whole, LF
// bytes included, and the line goes on after it. A "#" that does not open
// such a header ("#0", "#A", "#2x1") is ordinary text.
//
// The bytes may arrive in any pieces: feed() keeps its state between calls.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace velda::test {

struct ScpiLine {
    // The line as received without its LF (and without a CR before the LF),
    // each block's header kept and its payload left out.
    std::string text;
    std::vector<std::string> blocks; // the payloads, in order
};

class ScpiFramer {
public:
    // Called for each block as soon as its last payload byte is in, and for
    // each line at its LF.
    std::function<void(const std::string& payload)> onBlock;
    std::function<void(const ScpiLine& line)> onLine;

    void feed(const char* data, std::size_t size);

    bool inBlock() const { return state_ == State::Payload; }
    // Payload bytes of the block being received (0 outside a block).
    std::size_t blockBytesSoFar() const { return inBlock() ? block_.size() : 0; }
    // The text of a line that has not ended yet.
    const std::string& pendingText() const { return line_.text; }

private:
    enum class State { Text, Hash, Digits, Payload };
    void take(char c);
    void endLine();

    State state_ = State::Text;
    ScpiLine line_;
    std::string header_; // header characters read so far
    std::size_t digits_ = 0;
    std::size_t remaining_ = 0;
    std::string block_;
};

} // namespace velda::test
