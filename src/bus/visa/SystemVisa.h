#pragma once
// A system VISA library, loaded at run time and called with the IVI types of
// 64-bit Linux.

#include "bus/visa/VisaProvider.h"

#include <memory>
#include <string>

namespace velda::visa {

class SystemVisa : public VisaProvider {
public:
    // nullptr when the library does not load or lacks one of the calls.
    static std::unique_ptr<SystemVisa> load(const std::string& fileName);
    ~SystemVisa() override;

    ViStatus viOpenDefaultRM(ViSession* rm) override;
    ViStatus viOpen(ViSession rm, const char* name, ViAccessMode mode, ViUInt32 timeout,
                    ViSession* vi) override;
    ViStatus viClose(ViObject vi) override;
    ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 count, ViUInt32* retCount) override;
    ViStatus viRead(ViSession vi, ViBuf buf, ViUInt32 count, ViUInt32* retCount) override;
    ViStatus viClear(ViSession vi) override;
    ViStatus viSetAttribute(ViSession vi, ViAttr attr, ViAttrState value) override;
    ViStatus viGpibControlREN(ViSession vi, ViUInt16 mode) override;
    std::string description() const override { return "system VISA " + fileName_; }

private:
    struct Calls;
    SystemVisa(std::string fileName, std::unique_ptr<Calls> calls);
    std::string fileName_;
    std::unique_ptr<Calls> calls_;
};

} // namespace velda::visa
