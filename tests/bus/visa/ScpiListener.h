#pragma once
// A SCPI instrument on a raw TCP socket of 127.0.0.1, in a thread of the
// test. It records every byte and answers short lines that end in "?":
// "*IDN?" with an identity, "TWO?" with two answers in one segment,
// "NOEND?" with text that never ends, "LATE?" only when the test calls
// Send_Late, anything else with the query itself.
// Each connection is served in a thread of its own.

#include "LoopbackServer.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace velda::test {

// A port of 127.0.0.1 that refuses connections for as long as this lives:
// bound, never listening, so no other test can take it meanwhile.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    std::uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

class ScpiListener {
public:
    struct Options {
        bool neverRead = false;     // accept, then never read a byte
        int receiveBuffer = 0;      // SO_RCVBUF of the listening socket (0 = default)
        std::size_t closeAfter = 0; // close the connection after this many bytes (0 = never)
        bool echo = true;           // answer unknown queries with themselves
    };
    ScpiListener();
    explicit ScpiListener(Options options);
    ~ScpiListener();

    std::uint16_t port() const { return server_.Port(); }
    std::string received() const;
    // What has been received once everything this process wrote to the
    // listener has arrived: the writer's socket holds nothing unacknowledged
    // and the listener's holds nothing unread (the bus under test runs in
    // this process, so its socket can be found). Ten seconds without that
    // only guards against a hang.
    std::string settled() const;
    // Waits until at least `bytes` arrived or the connection closed; false
    // after `ms` without that.
    bool waitForBytes(std::size_t bytes, int ms) const;
    int connections() const;
    // The answer to `query` from now on (before the built-in ones).
    void answer(const std::string& query, const std::string& reply);
    // Sends the answer "LATE" to the last "LATE?" now; false when none waits.
    bool Send_Late();

private:
    void serve(int fd);

    Options options_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::string received_;
    bool closed_ = false;
    int connections_ = 0;
    std::vector<int> live_; // the connections being served
    std::map<std::string, std::string> answers_;
    int lateFd_ = -1;
    // Last: it stops first, while the state its threads use still stands.
    LoopbackServer server_;
};

} // namespace velda::test
