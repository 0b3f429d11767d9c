#pragma once
// One open resource of our own VISA layer. The layer keeps the session's
// attributes and hands them to every call; an instrument applies what its
// transport can do itself (the usbtmc driver takes time-out and terminator)
// when they change.

#include "bus/visa/VisaTypes.h"

#include <cstddef>
#include <string>

namespace velda::visa {

struct SessionSettings {
    ViUInt32 timeoutMs = 2000;
    unsigned char termChar = '\n';
    bool termCharEnabled = false;
    bool sendEnd = true;
};

class VisaInstrument {
public:
    virtual ~VisaInstrument() = default;

    // Sends `count` bytes as one message (END with the last byte when
    // settings.sendEnd); `written` is what went out, also on failure.
    virtual ViStatus write(const unsigned char* data, std::size_t count,
                           const SessionSettings& settings, std::size_t* written) = 0;
    // Reads one message into `buffer`: VI_SUCCESS at END, VI_SUCCESS_TERM_CHAR
    // at the terminator (when enabled), VI_SUCCESS_MAX_CNT when full.
    virtual ViStatus read(unsigned char* buffer, std::size_t count, const SessionSettings& settings,
                          std::size_t* got) = 0;
    virtual ViStatus clear(const SessionSettings& settings) = 0;
    virtual ViStatus renControl(ViUInt16 mode, const SessionSettings& settings) = 0;
    virtual ViStatus settingsChanged(const SessionSettings&) { return VI_SUCCESS; }

    // Sentence about the last failure for the user; empty when none.
    const std::string& message() const { return message_; }
    void clearMessage() { message_.clear(); }

protected:
    std::string message_;
};

} // namespace velda::visa
