#include "bus/visa/SystemVisa.h"

#include "bus/visa/OwnVisa.h"

#include <algorithm>
#include <dlfcn.h>

namespace velda::visa {

struct SystemVisa::Calls {
    ViStatus (*openDefaultRM)(ViSession*);
    ViStatus (*open)(ViSession, ViConstRsrc, ViAccessMode, ViUInt32, ViSession*);
    ViStatus (*close)(ViObject);
    ViStatus (*write)(ViSession, ViConstBuf, ViUInt32, ViUInt32*);
    ViStatus (*read)(ViSession, ViBuf, ViUInt32, ViUInt32*);
    ViStatus (*clear)(ViSession);
    ViStatus (*setAttribute)(ViObject, ViAttr, ViAttrState);
    ViStatus (*gpibControlREN)(ViSession, ViUInt16);
};

namespace {

template <typename F> bool resolve(void* handle, const char* name, F* out) {
    void* sym = ::dlsym(handle, name);
    *out = reinterpret_cast<F>(sym);
    return sym != nullptr;
}

} // namespace

std::unique_ptr<SystemVisa> SystemVisa::load(const std::string& fileName) {
    void* handle = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    auto c = std::make_unique<Calls>();
    bool ok = resolve(handle, "viOpenDefaultRM", &c->openDefaultRM) &&
              resolve(handle, "viOpen", &c->open) && resolve(handle, "viClose", &c->close) &&
              resolve(handle, "viWrite", &c->write) && resolve(handle, "viRead", &c->read) &&
              resolve(handle, "viClear", &c->clear) &&
              resolve(handle, "viSetAttribute", &c->setAttribute) &&
              resolve(handle, "viGpibControlREN", &c->gpibControlREN);
    if (!ok) {
        ::dlclose(handle);
        return nullptr;
    }
    return std::unique_ptr<SystemVisa>(new SystemVisa(fileName, std::move(c)));
}

SystemVisa::SystemVisa(std::string fileName, std::unique_ptr<Calls> calls)
    : fileName_(std::move(fileName)), calls_(std::move(calls)) {}

// The library stays loaded: sessions are never closed and a VISA library may
// run its own threads until the program ends.
SystemVisa::~SystemVisa() = default;

ViStatus SystemVisa::viOpenDefaultRM(ViSession* rm) {
    return calls_->openDefaultRM(rm);
}

ViStatus SystemVisa::viOpen(ViSession rm, const char* name, ViAccessMode mode, ViUInt32 timeout,
                            ViSession* vi) {
    return calls_->open(rm, name, mode, timeout, vi);
}

ViStatus SystemVisa::viClose(ViObject vi) {
    return calls_->close(vi);
}

ViStatus SystemVisa::viWrite(ViSession vi, ViConstBuf buf, ViUInt32 count, ViUInt32* retCount) {
    return calls_->write(vi, buf, count, retCount);
}

ViStatus SystemVisa::viRead(ViSession vi, ViBuf buf, ViUInt32 count, ViUInt32* retCount) {
    // VI_SUCCESS_MAX_CNT with room left means the message goes on: read on
    // until a success without it, an error, or a full buffer.
    ViUInt32 total = 0;
    ViStatus st;
    ViUInt32 got = 0;
    do {
        got = 0;
        st = calls_->read(vi, buf + total, count - total, &got);
        total += std::min(got, count - total);
        // A library that says "more" but gives nothing would hold us here.
    } while (st == VI_SUCCESS_MAX_CNT && total < count && got > 0);
    if (retCount)
        *retCount = total;
    return st;
}

ViStatus SystemVisa::viClear(ViSession vi) {
    return calls_->clear(vi);
}

ViStatus SystemVisa::viSetAttribute(ViSession vi, ViAttr attr, ViAttrState value) {
    return calls_->setAttribute(vi, attr, value);
}

ViStatus SystemVisa::viGpibControlREN(ViSession vi, ViUInt16 mode) {
    return calls_->gpibControlREN(vi, mode);
}

std::vector<std::string> defaultVisaLibraryNames() {
    return {"libvisa.so.0", "libvisa.so", "libiovisa.so", "librsvisa.so"};
}

std::unique_ptr<VisaProvider> chooseVisaProvider(const std::vector<std::string>& names) {
    for (const auto& n : names.empty() ? defaultVisaLibraryNames() : names)
        if (auto lib = SystemVisa::load(n))
            return lib;
    return std::make_unique<OwnVisa>();
}

} // namespace velda::visa
