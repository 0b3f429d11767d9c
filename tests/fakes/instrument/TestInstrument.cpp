#include "TestInstrument.h"

#include <algorithm>
#include <chrono>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace velda::test {

namespace {

std::string trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    std::size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Commands compare without letter case and without a leading colon.
std::string normal(const std::string& s) {
    std::string n = trim(s);
    if (!n.empty() && n[0] == ':')
        n.erase(0, 1);
    for (char& c : n)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return n;
}

// The commands of one line: split at ";" outside quotes.
std::vector<std::string> commands(const std::string& line) {
    std::vector<std::string> out;
    std::string piece;
    char quote = 0;
    for (char c : line) {
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ';') {
            out.push_back(trim(piece));
            piece.clear();
            continue;
        }
        piece += c;
    }
    out.push_back(trim(piece));
    return out;
}

} // namespace

TestInstrument::TestInstrument(ModelProfile profile, Options options)
    : profile_(std::move(profile)), options_(options), server_(options.receiveBuffer) {
    server_.Start([this](int fd) {
        {
            std::lock_guard lock(mutex_);
            ++connections_;
            ++open_;
        }
        Serve(fd);
        {
            std::lock_guard lock(mutex_);
            --open_;
        }
        changed_.notify_all();
    });
}

std::unique_ptr<TestInstrument>
TestInstrument::For_Model(const std::string& model, const std::string& modelFile, Options options) {
    ModelProfile profile;
    std::string error;
    if (!LoadModelProfile(model, &profile, &error, modelFile))
        throw std::runtime_error(error);
    return std::make_unique<TestInstrument>(std::move(profile), options);
}

TestInstrument::~TestInstrument() {
    server_.Stop();
}

std::string TestInstrument::Resource_Name() const {
    return "TCPIP0::127.0.0.1::" + std::to_string(server_.Port()) + "::SOCKET";
}

std::string TestInstrument::Identity() const {
    std::lock_guard lock(mutex_);
    return IdentityReply(profile_.modelStart,
                         identifyAs_.empty() ? profile_.modelText : identifyAs_);
}

std::string TestInstrument::Bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

std::vector<std::string> TestInstrument::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::vector<std::string> TestInstrument::Blocks() const {
    std::lock_guard lock(mutex_);
    return blocks_;
}

std::vector<std::size_t> TestInstrument::Block_Sizes() const {
    std::lock_guard lock(mutex_);
    std::vector<std::size_t> sizes;
    for (const std::string& b : blocks_)
        sizes.push_back(b.size());
    return sizes;
}

std::vector<std::string> TestInstrument::Unanswered() const {
    std::lock_guard lock(mutex_);
    return unanswered_;
}

int TestInstrument::Connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

bool TestInstrument::Connected() const {
    std::lock_guard lock(mutex_);
    return open_ > 0;
}

bool TestInstrument::Wait_For_Bytes(std::size_t count, int ms) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms),
                             [&] { return bytes_.size() >= count; });
}

bool TestInstrument::Wait_For_Lines(std::size_t count, int ms) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms),
                             [&] { return lines_.size() >= count; });
}

bool TestInstrument::Wait_For_Blocks(std::size_t count, int ms) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms),
                             [&] { return blocks_.size() >= count; });
}

bool TestInstrument::Wait_For_Disconnect(int ms) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return open_ == 0; });
}

void TestInstrument::Clear_Record() {
    std::lock_guard lock(mutex_);
    bytes_.clear();
    lines_.clear();
    blocks_.clear();
    unanswered_.clear();
}

void TestInstrument::Close_In_Block(std::size_t bytes) {
    std::lock_guard lock(mutex_);
    closeInBlock_ = bytes;
}

void TestInstrument::Stop_Reading_In_Block(std::size_t bytes) {
    std::lock_guard lock(mutex_);
    stopInBlock_ = bytes;
}

void TestInstrument::Stop_Reading() {
    std::lock_guard lock(mutex_);
    stopReading_ = true;
}

void TestInstrument::Report_Error(int status, const std::string& text) {
    std::lock_guard lock(mutex_);
    errorStatus_ = status;
    errorText_ = text;
}

void TestInstrument::Clear_Error() {
    std::lock_guard lock(mutex_);
    errorStatus_ = 0;
    errorText_ = NoErrorText;
}

void TestInstrument::Identify_As(const std::string& text) {
    std::lock_guard lock(mutex_);
    identifyAs_ = text;
}

void TestInstrument::Delay_Replies(int ms) {
    std::lock_guard lock(mutex_);
    delayMs_ = ms;
}

void TestInstrument::Hold_Replies(bool on) {
    std::lock_guard lock(mutex_);
    holdReplies_ = on;
}

int TestInstrument::Held() const {
    std::lock_guard lock(mutex_);
    return held_;
}

void TestInstrument::Busy_Polls(int count) {
    std::lock_guard lock(mutex_);
    busyPolls_ = count;
}

std::string TestInstrument::Mode() const {
    std::lock_guard lock(mutex_);
    return mode_;
}

std::string TestInstrument::Range() const {
    std::lock_guard lock(mutex_);
    return range_;
}

void TestInstrument::Set_Mode(const std::string& mode) {
    std::lock_guard lock(mutex_);
    mode_ = mode;
}

void TestInstrument::Set_Range(const std::string& range) {
    std::lock_guard lock(mutex_);
    range_ = range;
}

bool TestInstrument::Sleep_Unless_Stopped(int ms) const {
    return server_.Sleep_Unless_Stopped(ms);
}

void TestInstrument::Serve(int fd) {
    ScpiFramer framer;
    bool lost = false;
    framer.onBlock = [this](const std::string& payload) {
        {
            std::lock_guard lock(mutex_);
            blocks_.push_back(payload);
        }
        changed_.notify_all();
    };
    framer.onLine = [&](const ScpiLine& line) {
        {
            std::lock_guard lock(mutex_);
            lines_.push_back(line.text);
        }
        changed_.notify_all();
        std::string reply;
        bool any = false;
        for (const std::string& command : commands(line.text)) {
            if (command.empty())
                continue;
            Execute(command);
            std::string answer;
            if (Answer(command, &answer)) {
                reply += (any ? ";" : "") + answer;
                any = true;
            } else if (command.back() == '?') {
                std::lock_guard lock(mutex_);
                unanswered_.push_back(command);
            }
        }
        if (!any)
            return;
        int delay;
        {
            std::lock_guard lock(mutex_);
            delay = delayMs_;
        }
        if (delay > 0 && !Sleep_Unless_Stopped(delay)) {
            lost = true;
            return;
        }
        const auto holding = [this] {
            std::lock_guard lock(mutex_);
            return holdReplies_;
        };
        if (holding()) {
            {
                std::lock_guard lock(mutex_);
                ++held_;
            }
            changed_.notify_all();
            while (holding())
                if (!Sleep_Unless_Stopped(10)) {
                    lost = true;
                    return;
                }
        }
        reply += '\n';
        if (::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0)
            lost = true;
    };

    std::vector<char> buffer(1 << 16);
    while (!lost) {
        bool reading;
        {
            std::lock_guard lock(mutex_);
            reading =
                !stopReading_ && !(framer.inBlock() && framer.blockBytesSoFar() >= stopInBlock_);
        }
        pollfd p[2] = {{fd, static_cast<short>(reading ? POLLIN : POLLRDHUP), 0},
                       {server_.Stop_Fd(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0)
            continue;
        if (p[1].revents)
            return;
        if (!reading) {
            // Not reading: only the other end going away ends the connection.
            if (p[0].revents & (POLLRDHUP | POLLHUP | POLLERR))
                return;
            continue;
        }
        ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (got <= 0)
            return;
        const std::size_t n = static_cast<std::size_t>(got);
        std::size_t i = 0;
        while (i < n && !lost) {
            std::size_t closeAt, stopAt;
            {
                std::lock_guard lock(mutex_);
                closeAt = closeInBlock_;
                stopAt = stopInBlock_;
            }
            // Text byte by byte (a block may start at any of them), block
            // payload in one piece up to the next fault point.
            std::size_t take = 1;
            if (framer.inBlock()) {
                const std::size_t so = framer.blockBytesSoFar();
                const std::size_t limit = std::min(closeAt, stopAt);
                if (so >= closeAt)
                    return;
                if (so >= stopAt)
                    break; // the rest of this read is never taken in
                take = n - i;
                if (limit != Never)
                    take = std::min(take, limit - so);
            }
            {
                std::lock_guard lock(mutex_);
                bytes_.append(buffer.data() + i, take);
            }
            changed_.notify_all();
            framer.feed(buffer.data() + i, take);
            i += take;
            if (framer.inBlock() && framer.blockBytesSoFar() >= closeAt)
                return;
        }
    }
}

void TestInstrument::Execute(const std::string& command) {
    if (!profile_.powerSource)
        return;
    const std::string n = normal(command);
    auto argument = [&](std::size_t prefix) {
        return trim(trim(command).substr(trim(command)[0] == ':' ? prefix + 1 : prefix));
    };
    std::lock_guard lock(mutex_);
    if (n.rfind("MODE ", 0) == 0)
        mode_ = argument(5);
    else if (n.rfind("VOLT:RANG ", 0) == 0)
        range_ = argument(10);
}

void TestInstrument::Silent_After_Block() {
    std::lock_guard lock(mutex_);
    silentAfterBlock_ = true;
}

bool TestInstrument::Answer(const std::string& command, std::string* reply) {
    const std::string n = normal(command);
    std::lock_guard lock(mutex_);
    if (silentAfterBlock_ && !blocks_.empty())
        return false;
    if (n == normal(profile_.modelQuery) || n == "*IDN?") {
        *reply = IdentityReply(profile_.modelStart,
                               identifyAs_.empty() ? profile_.modelText : identifyAs_);
        return true;
    }
    if (!profile_.statusQuery.empty() && n == normal(profile_.statusQuery)) {
        *reply = std::to_string(errorStatus_);
        return true;
    }
    if (!profile_.errorQuery.empty() && n == normal(profile_.errorQuery)) {
        *reply = errorText_;
        return true;
    }
    if (!profile_.powerSource)
        return false;
    if (n == "MODE?") {
        *reply = mode_;
        return true;
    }
    if (n == "VOLT:RANG?") {
        *reply = range_;
        return true;
    }
    if (n == "STAT:OPER:COND?") {
        *reply = busyPolls_ > 0 ? "1" : "0";
        if (busyPolls_ > 0)
            --busyPolls_;
        return true;
    }
    return false;
}

} // namespace velda::test
