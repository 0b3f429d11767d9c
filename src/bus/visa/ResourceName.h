#pragma once
// VISA resource names of the kinds our own layer serves, parsed without
// regard to case:
//   USB[board]::vendor::product::serial[::interface][::INSTR]
//   TCPIP[board]::host::port::SOCKET
//   TCPIP[board]::host[::device name][::INSTR]
// Vendor and product are hexadecimal with or without "0x"; board, port and
// interface are decimal.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velda::visa {

struct ResourceName {
    enum class Kind { UsbInstr, TcpipSocket, TcpipInstr };
    Kind kind = Kind::UsbInstr;
    unsigned board = 0;

    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::string serial;
    int interfaceNumber = -1; // -1 = any

    std::string host;
    std::uint16_t port = 0;
    std::string deviceName; // VXI-11 device, lower case, "inst0" when not given

    bool operator==(const ResourceName&) const = default;
};

// nullopt for any name that is not one of the three kinds above.
std::optional<ResourceName> parseResourceName(std::string_view text);

} // namespace velda::visa
