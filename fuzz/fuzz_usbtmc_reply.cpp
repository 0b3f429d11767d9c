// Instrument replies on the USB(TMC) bus: any bytes as what the instrument
// sends, handed out by a VISA stand-in in pieces the input chooses, read by
// the back end's receive as the transfer reads it. The cut reply fits the
// buffer and holds no CR, a reply longer than the buffer is read away
// within a bound, and nothing read is lost to the next receive's cut.
#include "bus/BusContext.h"
#include "bus/USBTMC_MDL.h"
#include "bus/visa/VisaProvider.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

using namespace velda;
using namespace velda::visa;

// What the instrument sends, one message after another. Each read takes at
// most `piece` bytes; a message longer than the read says "more".
class Wire final : public VisaProvider {
public:
    Wire(const uint8_t* data, size_t size, ViUInt32 piece)
        : bytes_(reinterpret_cast<const char*>(data), size), piece_(std::max<ViUInt32>(piece, 1)) {}
    ViStatus viOpenDefaultRM(ViSession* rm) override {
        *rm = 1;
        return VI_SUCCESS;
    }
    ViStatus viOpen(ViSession, const char*, ViAccessMode, ViUInt32, ViSession* vi) override {
        *vi = 2;
        return VI_SUCCESS;
    }
    ViStatus viClose(ViObject) override { return VI_SUCCESS; }
    ViStatus viWrite(ViSession, ViConstBuf, ViUInt32 count, ViUInt32* ret) override {
        *ret = count;
        return VI_SUCCESS;
    }
    ViStatus viRead(ViSession, ViBuf buf, ViUInt32 count, ViUInt32* ret) override {
        ++reads;
        *ret = 0;
        if (at_ >= bytes_.size())
            return VI_ERROR_TMO;
        // A message ends at its LF (the terminator the bus sets).
        const size_t end = std::min(bytes_.find('\n', at_), bytes_.size() - 1) + 1;
        const size_t n = std::min<size_t>({end - at_, count, piece_});
        std::copy_n(bytes_.data() + at_, n, buf);
        at_ += n;
        *ret = static_cast<ViUInt32>(n);
        return at_ < end ? VI_SUCCESS_MAX_CNT : VI_SUCCESS_TERM_CHAR;
    }
    ViStatus viClear(ViSession) override { return VI_SUCCESS; }
    ViStatus viSetAttribute(ViSession, ViAttr, ViAttrState) override { return VI_SUCCESS; }
    ViStatus viGpibControlREN(ViSession, ViUInt16) override { return VI_SUCCESS; }
    std::string description() const override { return "fuzz wire"; }

    bool Drained() const { return at_ >= bytes_.size(); }
    int reads = 0;

private:
    std::string bytes_;
    ViUInt32 piece_;
    size_t at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const ViUInt32 piece = ViUInt32(data[0]) * 4 + 1;
    auto owned = std::make_unique<Wire>(data + 1, size - 1, piece);
    Wire* wire = owned.get();
    bus::BusContext context = bus::BusContext::Program_Defaults();
    bus::USBTMC_MDL module(context);
    module.Set_Provider_Factory([&owned] { return std::move(owned); });
    if (module.GP_Init(QStringLiteral("USBTMC_NAME = USB0::0x1::0x2::FUZZ::INSTR")) !=
        bus::StatusOk)
        std::abort();
    // Each receive reads one message (and what is left of a long one); the
    // input is used up in at most one receive a byte.
    for (size_t round = 0; round < size && !wire->Drained(); ++round) {
        const int before = wire->reads;
        QString text;
        const bus::Status st = module.GP_Receive_Str(0, text);
        if (wire->reads - before > 258)
            std::abort(); // the rest of a long reply is read within a bound
        if (st == bus::StatusOk &&
            (text.size() > 256 || text.contains(QLatin1Char('\r')) ||
             module.State().LastReceivedCount > 256 || module.State().LastReceivedCount < 0))
            std::abort();
    }
    return 0;
}
