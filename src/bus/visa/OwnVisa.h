#pragma once
// Our own VISA layer, used when no system VISA library is installed: USB
// instruments through the kernel's usbtmc driver, LAN instruments as raw
// SCPI sockets or over VXI-11. The program uses it exactly like a system
// VISA, through the same calls and results.

#include "bus/visa/FileOps.h"
#include "bus/visa/VisaInstrument.h"
#include "bus/visa/VisaProvider.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace velda::visa {

struct OwnVisaOptions {
    std::string sysRoot = "/sys"; // where usbtmc devices are looked up
    std::string devRoot = "/dev"; // where their device files are
    FileOps* fileOps = nullptr;   // nullptr = the real system calls
    std::uint16_t portmapperPort = 111;
    ViUInt32 openTimeoutMs = 2000; // connect and link set-up
};

class OwnVisa : public VisaProvider {
public:
    explicit OwnVisa(OwnVisaOptions options = {});
    ~OwnVisa() override;

    ViStatus viOpenDefaultRM(ViSession* rm) override;
    ViStatus viOpen(ViSession rm, const char* name, ViAccessMode mode, ViUInt32 timeout,
                    ViSession* vi) override;
    ViStatus viClose(ViObject vi) override;
    ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 count, ViUInt32* retCount) override;
    ViStatus viRead(ViSession vi, ViBuf buf, ViUInt32 count, ViUInt32* retCount) override;
    ViStatus viClear(ViSession vi) override;
    ViStatus viSetAttribute(ViSession vi, ViAttr attr, ViAttrState value) override;
    ViStatus viGpibControlREN(ViSession vi, ViUInt16 mode) override;

    std::string lastMessage() const override { return message_; }
    std::string description() const override { return "built-in"; }

private:
    struct Session {
        std::unique_ptr<VisaInstrument> instrument;
        SessionSettings settings;
    };
    Session* find(ViSession vi);
    ViStatus finish(Session* s, ViStatus status);

    OwnVisaOptions options_;
    ViSession rm_ = 0;
    ViSession next_ = 0;
    std::map<ViSession, Session> sessions_;
    std::string message_;
};

} // namespace velda::visa
