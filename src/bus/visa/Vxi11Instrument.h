#pragma once
// TCPIP::host[::device]::INSTR: a VXI-11 link on the instrument's core
// channel, an ONC RPC client on libtirpc. The core channel's port is asked
// from the host's portmapper, whose port is a parameter (111 on a real
// instrument).

#include "bus/visa/VisaInstrument.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct __rpc_client; // libtirpc's CLIENT

namespace velda::visa {

class Vxi11Instrument : public VisaInstrument {
public:
    static std::unique_ptr<Vxi11Instrument> open(const std::string& host, const std::string& device,
                                                 std::uint16_t portmapperPort, ViUInt32 timeoutMs,
                                                 ViStatus* status, std::string* message);
    ~Vxi11Instrument() override;

    ViStatus write(const unsigned char* data, std::size_t count, const SessionSettings& settings,
                   std::size_t* written) override;
    ViStatus read(unsigned char* buffer, std::size_t count, const SessionSettings& settings,
                  std::size_t* got) override;
    ViStatus clear(const SessionSettings& settings) override;
    ViStatus renControl(ViUInt16 mode, const SessionSettings& settings) override;

    std::uint32_t maxRecvSize() const { return maxRecvSize_; }

private:
    Vxi11Instrument(int fd, __rpc_client* client, long link, std::uint32_t maxRecvSize,
                    std::string where);
    ViStatus callFailed(int rpcStatus, const char* what);
    ViStatus deviceError(long error, const char* what);
    ViStatus generic(unsigned long proc, const SessionSettings& settings, const char* what);
    void armSendTimeout(ViUInt32 timeoutMs);
    // True (with the message set) once a call broke the link.
    bool lost();
    // Runs one call on the link (its clnt_stat), beside this thread, which
    // takes its turns until the call is over; the time-out and its margin
    // running out, or a turn that asks to stop, cut the link and end the
    // call as timed out.
    int linkCall(ViUInt32 timeoutMs, const std::function<int()>& rpc);

    int fd_;
    __rpc_client* client_;
    long link_;
    std::uint32_t maxRecvSize_;
    std::string where_;
    bool broken_ = false;
};

} // namespace velda::visa
