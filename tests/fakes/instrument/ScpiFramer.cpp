#include "ScpiFramer.h"

#include <algorithm>

namespace velda::test {

void ScpiFramer::feed(const char* data, std::size_t size) {
    std::size_t i = 0;
    while (i < size) {
        if (state_ == State::Payload) {
            // Copy the payload in one go: blocks are the large part of the traffic.
            std::size_t n = std::min(remaining_, size - i);
            block_.append(data + i, n);
            remaining_ -= n;
            i += n;
            if (remaining_ == 0) {
                line_.blocks.push_back(block_);
                state_ = State::Text;
                if (onBlock)
                    onBlock(block_);
                block_.clear();
            }
            continue;
        }
        take(data[i++]);
    }
}

void ScpiFramer::take(char c) {
    const bool digit = c >= '0' && c <= '9';
    switch (state_) {
    case State::Text:
        if (c == '\n') {
            endLine();
        } else if (c == '#') {
            header_.assign(1, '#');
            state_ = State::Hash;
        } else {
            line_.text += c;
        }
        return;
    case State::Hash:
        if (digit && c != '0') {
            header_ += c;
            digits_ = static_cast<std::size_t>(c - '0');
            remaining_ = 0;
            state_ = State::Digits;
            return;
        }
        break;
    case State::Digits:
        if (digit) {
            header_ += c;
            remaining_ = remaining_ * 10 + static_cast<std::size_t>(c - '0');
            if (header_.size() == digits_ + 2) {
                line_.text.append(header_.data(), header_.size());
                header_.clear();
                if (remaining_ == 0) {
                    line_.blocks.emplace_back();
                    state_ = State::Text;
                    if (onBlock)
                        onBlock(std::string());
                } else {
                    block_.clear();
                    state_ = State::Payload;
                }
            }
            return;
        }
        break;
    case State::Payload:
        return; // handled by feed()
    }
    // Not a block header after all: what was read is text, and so is `c`.
    line_.text.append(header_.data(), header_.size());
    header_.clear();
    state_ = State::Text;
    take(c);
}

void ScpiFramer::endLine() {
    if (!line_.text.empty() && line_.text.back() == '\r')
        line_.text.pop_back();
    ScpiLine done = std::move(line_);
    line_ = ScpiLine{};
    if (onLine)
        onLine(done);
}

} // namespace velda::test
