#pragma once
// A SCPI instrument on a raw TCP socket of 127.0.0.1 (a port the system
// picks), run on threads of its own, for tests and benchmarks. It acts as
// one model of the model file:
// - the "model" row's query (and "*IDN?") is answered with an identity that
//   holds the model text at the row's 1-based start position;
// - the "getsts" query with the status (0, or the one set by
//   Report_Error), "geterr" with the error text;
// - the power source's "MODE?", ":VOLT:RANG?" (both follow ":MODE x" and
//   ":VOLT:RANG x" received) and "STAT:OPER:COND?" (non-zero for the number
//   of polls set by Busy_Polls, then 0).
// Several commands in one line (joined with ";") are taken one by one; the
// answers to the queries among them go back as one line joined with ";".
// Queries it does not know get no answer (the reader times out).
//
// It records every byte received, every line and every block payload;
// all accessors may be called from any thread at any time.

#include "LoopbackServer.h"
#include "ModelProfile.h"
#include "ScpiFramer.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velda::test {

struct TestInstrumentOptions {
    int receiveBuffer = 0; // SO_RCVBUF of the listening socket (0: the system's)
};

class TestInstrument {
public:
    using Options = TestInstrumentOptions;
    // Acts as `profile`; throws std::runtime_error when it cannot listen.
    explicit TestInstrument(ModelProfile profile, Options options = Options());
    // Acts as the model of that list name in the model file; throws
    // std::runtime_error when there is no such model.
    static std::unique_ptr<TestInstrument>
    For_Model(const std::string& model, const std::string& modelFile = ShippedModelFile(),
              Options options = Options());
    // Stops listening, ends every connection and joins the threads.
    ~TestInstrument();
    TestInstrument(const TestInstrument&) = delete;
    TestInstrument& operator=(const TestInstrument&) = delete;

    std::uint16_t Port() const { return server_.Port(); }
    // "TCPIP0::127.0.0.1::<port>::SOCKET"
    std::string Resource_Name() const;
    const ModelProfile& Profile() const { return profile_; }
    // The identity reply it gives now.
    std::string Identity() const;

    // What arrived, in order, over every connection.
    std::string Bytes() const;
    std::vector<std::string> Lines() const; // see ScpiLine::text
    std::vector<std::string> Blocks() const;
    // Their lengths alone, without copying them (the bench asks every round).
    std::vector<std::size_t> Block_Sizes() const;
    // Queries that got no answer.
    std::vector<std::string> Unanswered() const;
    int Connections() const;
    bool Connected() const; // a connection is open now
    // Wait until the condition holds; false after `ms` without it.
    bool Wait_For_Bytes(std::size_t count, int ms) const;
    bool Wait_For_Lines(std::size_t count, int ms) const;
    bool Wait_For_Blocks(std::size_t count, int ms) const;
    bool Wait_For_Disconnect(int ms) const;
    // Forgets what was recorded (the bench uses it between rounds).
    void Clear_Record();

    // Faults, from now on.
    // Closes the connection once `bytes` payload bytes of a block are in.
    void Close_In_Block(std::size_t bytes);
    // Stops reading once `bytes` payload bytes of a block are in, so that
    // the sender's writes fill the buffers and block; give the listener a
    // small receive buffer (Options) to have that happen early.
    void Stop_Reading_In_Block(std::size_t bytes);
    // Stops reading at once.
    void Stop_Reading();
    // The status query answers `status` and the error query `text` until
    // Clear_Error (a "*CLS" does not clear it: the fault persists).
    void Report_Error(int status, const std::string& text);
    void Clear_Error();
    // Identifies with `text` in place of the model text.
    void Identify_As(const std::string& text);
    // Every answer waits `ms` before it goes out.
    void Delay_Replies(int ms);
    // Once a whole block is in, no query is answered any more (an
    // instrument still storing the waveform).
    void Silent_After_Block();
    // While on, every answer waits (after its delay) until it is turned off;
    // Held counts the answers that had to wait.
    void Hold_Replies(bool on);
    int Held() const;
    // The next `count` "STAT:OPER:COND?" polls answer non-zero.
    void Busy_Polls(int count);

    // The power source's state (its fixed commands change it).
    std::string Mode() const;
    std::string Range() const;
    void Set_Mode(const std::string& mode);
    void Set_Range(const std::string& range);

    // Default texts of the two queries.
    static constexpr const char* NoErrorText = "0,\"No error\"";

private:
    void Serve(int fd);
    // The answer to one command ("" when it is not a query it knows).
    bool Answer(const std::string& command, std::string* reply);
    void Execute(const std::string& command);
    bool Sleep_Unless_Stopped(int ms) const;

    ModelProfile profile_;
    Options options_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::string bytes_;
    std::vector<std::string> lines_;
    std::vector<std::string> blocks_;
    std::vector<std::string> unanswered_;
    int connections_ = 0;
    int open_ = 0;

    // Faults and state, under mutex_.
    static constexpr std::size_t Never = static_cast<std::size_t>(-1);
    std::size_t closeInBlock_ = Never;
    std::size_t stopInBlock_ = Never;
    bool stopReading_ = false;
    int errorStatus_ = 0;
    std::string errorText_ = NoErrorText;
    std::string identifyAs_;
    int delayMs_ = 0;
    bool holdReplies_ = false;
    bool silentAfterBlock_ = false;
    int held_ = 0;
    int busyPolls_ = 0;
    std::string mode_ = "AC-INT";
    std::string range_ = "100";

    // Last: it stops first, while the state its threads use still stands.
    LoopbackServer server_;
};

} // namespace velda::test
