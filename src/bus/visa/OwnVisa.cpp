#include "bus/visa/OwnVisa.h"

#include "bus/visa/ResourceName.h"
#include "bus/visa/SocketInstrument.h"
#include "bus/visa/UsbtmcInstrument.h"
#include "bus/visa/Vxi11Instrument.h"

namespace velda::visa {

namespace {
// Session numbers of ours start here, so a stray 0 or small number is never
// taken for an open session.
constexpr ViSession FirstSession = 0x1000;
} // namespace

OwnVisa::OwnVisa(OwnVisaOptions options) : options_(std::move(options)) {
    if (!options_.fileOps)
        options_.fileOps = &systemFileOps();
}

OwnVisa::~OwnVisa() = default;

OwnVisa::Session* OwnVisa::find(ViSession vi) {
    auto it = sessions_.find(vi);
    return it == sessions_.end() ? nullptr : &it->second;
}

ViStatus OwnVisa::finish(Session* s, ViStatus status) {
    message_ = status < 0 ? s->instrument->message() : std::string();
    s->instrument->clearMessage();
    return status;
}

ViStatus OwnVisa::viOpenDefaultRM(ViSession* rm) {
    message_.clear();
    if (!rm)
        return VI_ERROR_INV_PARAMETER;
    if (rm_ == 0) {
        rm_ = FirstSession;
        next_ = FirstSession + 1;
    }
    *rm = rm_;
    return VI_SUCCESS;
}

ViStatus OwnVisa::viOpen(ViSession rm, const char* name, ViAccessMode, ViUInt32, ViSession* vi) {
    message_.clear();
    if (rm_ == 0 || rm != rm_)
        return VI_ERROR_INV_SESSION;
    if (!name || !vi)
        return VI_ERROR_INV_PARAMETER;
    *vi = 0;
    auto parsed = parseResourceName(name);
    if (!parsed) {
        message_ = std::string("No instrument is known by the name ") + name;
        return VI_ERROR_RSRC_NFOUND;
    }
    ViStatus status = VI_ERROR_RSRC_NFOUND;
    std::unique_ptr<VisaInstrument> instrument;
    switch (parsed->kind) {
    case ResourceName::Kind::UsbInstr: {
        auto path = findUsbtmcDevice(options_.sysRoot, options_.devRoot, *parsed);
        if (!path) {
            message_ = std::string("No USB instrument ") + name + " is connected";
            return VI_ERROR_RSRC_NFOUND;
        }
        instrument = UsbtmcInstrument::open(*options_.fileOps, *path, &status, &message_);
        break;
    }
    case ResourceName::Kind::TcpipSocket:
        instrument = SocketInstrument::open(parsed->host, parsed->port, options_.openTimeoutMs,
                                            &status, &message_);
        break;
    case ResourceName::Kind::TcpipInstr:
        instrument =
            Vxi11Instrument::open(parsed->host, parsed->deviceName, options_.portmapperPort,
                                  options_.openTimeoutMs, &status, &message_);
        break;
    }
    if (!instrument)
        return status < 0 ? status : VI_ERROR_RSRC_NFOUND;
    Session s;
    s.instrument = std::move(instrument);
    if (ViStatus st = s.instrument->settingsChanged(s.settings); st < 0) {
        message_ = s.instrument->message();
        return st;
    }
    *vi = next_++;
    sessions_.emplace(*vi, std::move(s));
    return VI_SUCCESS;
}

ViStatus OwnVisa::viClose(ViObject vi) {
    message_.clear();
    if (vi == rm_ && rm_ != 0) {
        sessions_.clear();
        rm_ = 0;
        return VI_SUCCESS;
    }
    return sessions_.erase(vi) ? VI_SUCCESS : VI_ERROR_INV_SESSION;
}

ViStatus OwnVisa::viWrite(ViSession vi, ViConstBuf buf, ViUInt32 count, ViUInt32* retCount) {
    message_.clear();
    Session* s = find(vi);
    if (retCount)
        *retCount = 0;
    if (!s)
        return VI_ERROR_INV_SESSION;
    if (!buf && count > 0)
        return VI_ERROR_INV_PARAMETER;
    std::size_t written = 0;
    ViStatus st = s->instrument->write(buf, count, s->settings, &written);
    if (retCount)
        *retCount = static_cast<ViUInt32>(written);
    return finish(s, st);
}

ViStatus OwnVisa::viRead(ViSession vi, ViBuf buf, ViUInt32 count, ViUInt32* retCount) {
    message_.clear();
    Session* s = find(vi);
    if (retCount)
        *retCount = 0;
    if (!s)
        return VI_ERROR_INV_SESSION;
    if (!buf && count > 0)
        return VI_ERROR_INV_PARAMETER;
    std::size_t got = 0;
    ViStatus st = s->instrument->read(buf, count, s->settings, &got);
    if (retCount)
        *retCount = static_cast<ViUInt32>(got);
    return finish(s, st);
}

ViStatus OwnVisa::viClear(ViSession vi) {
    message_.clear();
    Session* s = find(vi);
    if (!s)
        return VI_ERROR_INV_SESSION;
    return finish(s, s->instrument->clear(s->settings));
}

ViStatus OwnVisa::viSetAttribute(ViSession vi, ViAttr attr, ViAttrState value) {
    message_.clear();
    Session* s = find(vi);
    if (!s)
        return VI_ERROR_INV_SESSION;
    SessionSettings next = s->settings;
    switch (attr) {
    case VI_ATTR_TMO_VALUE:
        if (value > 0xFFFFFFFFull)
            return VI_ERROR_NSUP_ATTR_STATE;
        next.timeoutMs = static_cast<ViUInt32>(value);
        break;
    case VI_ATTR_TERMCHAR:
        if (value > 0xFF)
            return VI_ERROR_NSUP_ATTR_STATE;
        next.termChar = static_cast<unsigned char>(value);
        break;
    case VI_ATTR_TERMCHAR_EN:
        if (value > 1)
            return VI_ERROR_NSUP_ATTR_STATE;
        next.termCharEnabled = value == 1;
        break;
    case VI_ATTR_SEND_END_EN:
        if (value > 1)
            return VI_ERROR_NSUP_ATTR_STATE;
        next.sendEnd = value == 1;
        break;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
    ViStatus st = s->instrument->settingsChanged(next);
    if (st >= 0)
        s->settings = next;
    return finish(s, st);
}

ViStatus OwnVisa::viGpibControlREN(ViSession vi, ViUInt16 mode) {
    message_.clear();
    Session* s = find(vi);
    if (!s)
        return VI_ERROR_INV_SESSION;
    return finish(s, s->instrument->renControl(mode, s->settings));
}

} // namespace velda::visa
