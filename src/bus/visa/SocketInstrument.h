#pragma once
// TCPIP::host::port::SOCKET: SCPI over a raw TCP connection. Writes go out
// whole; reads end at the terminator when it is enabled, otherwise with the
// data that has arrived. Bytes that arrive after a terminator are kept for
// the next read. After a read that timed out, what is left of that answer
// is dropped before the next command goes out.

#include "bus/visa/VisaInstrument.h"

#include <cstdint>
#include <memory>
#include <string>

namespace velda::visa {

class SocketInstrument : public VisaInstrument {
public:
    // Connects within `connectTimeoutMs`; nullptr with `status` and `message`
    // set when that fails.
    static std::unique_ptr<SocketInstrument> open(const std::string& host, std::uint16_t port,
                                                  ViUInt32 connectTimeoutMs, ViStatus* status,
                                                  std::string* message);
    ~SocketInstrument() override;

    ViStatus write(const unsigned char* data, std::size_t count, const SessionSettings& settings,
                   std::size_t* written) override;
    ViStatus read(unsigned char* buffer, std::size_t count, const SessionSettings& settings,
                  std::size_t* got) override;
    ViStatus clear(const SessionSettings& settings) override;
    ViStatus renControl(ViUInt16 mode, const SessionSettings& settings) override;

private:
    SocketInstrument(int fd, std::string where);
    int fd_;
    std::string where_; // "host port N" for messages
    std::string pending_;
    // A read timed out: the rest of that answer may still come and must not
    // be taken as the answer to the next command.
    bool stale_ = false;
};

} // namespace velda::visa
