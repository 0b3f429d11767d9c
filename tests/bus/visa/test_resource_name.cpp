// VISA resource names: the kinds our layer serves, in any case; anything
// else is refused.
#include "bus/visa/ResourceName.h"

#include <gtest/gtest.h>

using velda::visa::parseResourceName;
using velda::visa::ResourceName;
using Kind = ResourceName::Kind;

namespace {

ResourceName usb(unsigned board, std::uint16_t v, std::uint16_t p, std::string serial,
                 int iface = -1) {
    ResourceName r;
    r.kind = Kind::UsbInstr;
    r.board = board;
    r.vendor = v;
    r.product = p;
    r.serial = std::move(serial);
    r.interfaceNumber = iface;
    return r;
}

ResourceName socket(unsigned board, std::string host, std::uint16_t port) {
    ResourceName r;
    r.kind = Kind::TcpipSocket;
    r.board = board;
    r.host = std::move(host);
    r.port = port;
    return r;
}

ResourceName instr(unsigned board, std::string host, std::string device) {
    ResourceName r;
    r.kind = Kind::TcpipInstr;
    r.board = board;
    r.host = std::move(host);
    r.deviceName = std::move(device);
    return r;
}

} // namespace

TEST(ResourceName, ParsesTheKindsWeServe) {
    struct Case {
        const char* text;
        ResourceName expected;
    } cases[] = {
        {"USB0::0x0957::0x1755::MY123::INSTR", usb(0, 0x0957, 0x1755, "MY123")},
        // Codes without "0x" are decimal, as every VISA reads them.
        {"usb::0957::1755::my123::instr", usb(0, 957, 1755, "my123")},
        {"USB0::4883::0x8018::M00::INSTR", usb(0, 0x1313, 0x8018, "M00")},
        {"USB1::0XABCD::0x00ff::SN-9::3::INSTR", usb(1, 0xABCD, 0x00FF, "SN-9", 3)},
        {"USB0::0x0957::0x1755::MY123", usb(0, 0x0957, 0x1755, "MY123")},
        {"  USB0::0x1::0x2::S::INSTR  ", usb(0, 1, 2, "S")},
        {"TCPIP0::127.0.0.1::5025::SOCKET", socket(0, "127.0.0.1", 5025)},
        {"tcpip3::Scope-1.lab::5025::socket", socket(3, "Scope-1.lab", 5025)},
        {"TCPIP::[::1]::5025::SOCKET", socket(0, "[::1]", 5025)},
        {"TCPIP0::192.168.0.5::INSTR", instr(0, "192.168.0.5", "inst0")},
        {"TCPIP0::192.168.0.5", instr(0, "192.168.0.5", "inst0")},
        {"TCPIP::host::INST1::INSTR", instr(0, "host", "inst1")},
        {"TCPIP0::host::gpib0,5::INSTR", instr(0, "host", "gpib0,5")},
    };
    for (const auto& c : cases) {
        auto r = parseResourceName(c.text);
        ASSERT_TRUE(r.has_value()) << c.text;
        EXPECT_EQ(*r, c.expected) << c.text;
    }
}

TEST(ResourceName, RefusesEverythingElse) {
    const char* cases[] = {
        "",
        "GPIB0::5::INSTR",
        "ASRL1::INSTR",
        "USB0::0x0957::0x1755::INSTR",     // no serial
        "USB0::0x10000::0x1755::S::INSTR", // vendor beyond 16 bits
        "USB0::0xG957::0x1755::S::INSTR",  // not hexadecimal
        "USB0::1AB1::04CE::S::INSTR",      // hexadecimal without 0x
        "USB0::65536::1::S::INSTR",        // decimal beyond 16 bits
        "USB0::0x::1::S::INSTR",
        "USB0::0x0957::0x1755::S::x::INSTR",    // interface not a number
        "USB0::0x0957::0x1755::S::1::2::INSTR", // too many parts
        "USB0::0x0957::0x1755::S::RAW",
        "USBX::1::2::S::INSTR",
        "TCPIP0::host::0::SOCKET",
        "TCPIP0::host::65536::SOCKET",
        "TCPIP0::host::port::SOCKET",
        "TCPIP0::::5025::SOCKET",
        "TCPIP0::ho st::INSTR",
        "TCPIP0::host::hislip0::INSTR",
        "TCPIP0::host::a::b::INSTR",
        "TCPIP0::host::5025::SOCKET::x",
        "NOTHING",
    };
    for (const char* c : cases)
        EXPECT_FALSE(parseResourceName(c).has_value()) << c;
}
