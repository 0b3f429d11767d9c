// VISA resource names (typed by the user or read from the device-identifier
// file): a parsed name is always well formed.
#include "bus/visa/ResourceName.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto r = velda::visa::parseResourceName(text);
    if (!r)
        return 0;
    using Kind = velda::visa::ResourceName::Kind;
    switch (r->kind) {
    case Kind::UsbInstr:
        if (r->serial.empty() || r->interfaceNumber < -1 || r->interfaceNumber > 255)
            std::abort();
        break;
    case Kind::TcpipSocket:
        if (r->host.empty() || r->port == 0)
            std::abort();
        break;
    case Kind::TcpipInstr:
        if (r->host.empty() || r->deviceName.empty())
            std::abort();
        break;
    }
    // Parsing is stable: the same text gives the same name.
    if (velda::visa::parseResourceName(text) != r)
        std::abort();
    return 0;
}
