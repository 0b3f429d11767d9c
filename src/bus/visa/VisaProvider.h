#pragma once
// The VISA calls the USB(TMC) back end makes. Two providers stand behind
// them: a system VISA library loaded at run time, and our own layer for
// machines without one. The back end cannot tell which one it talks to.

#include "bus/visa/VisaTypes.h"

#include <memory>
#include <string>
#include <vector>

namespace velda::visa {

class VisaProvider {
public:
    virtual ~VisaProvider() = default;

    virtual ViStatus viOpenDefaultRM(ViSession* rm) = 0;
    virtual ViStatus viOpen(ViSession rm, const char* name, ViAccessMode mode, ViUInt32 timeout,
                            ViSession* vi) = 0;
    virtual ViStatus viClose(ViObject vi) = 0;
    virtual ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 count, ViUInt32* retCount) = 0;
    virtual ViStatus viRead(ViSession vi, ViBuf buf, ViUInt32 count, ViUInt32* retCount) = 0;
    virtual ViStatus viClear(ViSession vi) = 0;
    virtual ViStatus viSetAttribute(ViSession vi, ViAttr attr, ViAttrState value) = 0;
    virtual ViStatus viGpibControlREN(ViSession vi, ViUInt16 mode) = 0;

    // A sentence for the user about the last failure, when the provider knows
    // more than the status says (which file could not be opened, and why);
    // empty otherwise. Cleared by every call.
    virtual std::string lastMessage() const { return {}; }
    // Which provider this is, for the trace log and the report ("system VISA
    // <file>" or "built-in").
    virtual std::string description() const = 0;
};

// The library names tried, in order, when the setting names none.
std::vector<std::string> defaultVisaLibraryNames();

// The first system VISA library of `names` that loads and has every call;
// otherwise our own layer. `names` empty = the default names.
std::unique_ptr<VisaProvider> chooseVisaProvider(const std::vector<std::string>& names);

} // namespace velda::visa
