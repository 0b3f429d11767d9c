#include "bus/visa/ResourceName.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace velda::visa {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool iequals(std::string_view a, std::string_view b) {
    return lower(a) == lower(b);
}

// Splits at "::", except inside a bracketed IPv6 literal.
std::vector<std::string_view> splitTokens(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    bool inBrackets = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '[')
            inBrackets = true;
        else if (text[i] == ']')
            inBrackets = false;
        else if (!inBrackets && text[i] == ':' && i + 1 < text.size() && text[i + 1] == ':') {
            out.push_back(text.substr(start, i - start));
            start = i + 2;
            ++i;
        }
    }
    out.push_back(text.substr(start));
    return out;
}

// Decimal without sign, at most `limit`.
std::optional<unsigned long> decimal(std::string_view s, unsigned long limit) {
    if (s.empty() || s.size() > 10)
        return std::nullopt;
    unsigned long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + static_cast<unsigned long>(c - '0');
    }
    if (v > limit)
        return std::nullopt;
    return v;
}

// A vendor or model code as VISA reads it: hexadecimal after "0x",
// otherwise decimal, so "4883" and "0x1313" are the same vendor.
std::optional<std::uint16_t> code16(std::string_view s) {
    if (s.size() <= 2 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) {
        const auto v = decimal(s, 0xFFFF);
        return v ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*v)) : std::nullopt;
    }
    s.remove_prefix(2);
    if (s.size() > 4)
        return std::nullopt;
    unsigned v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        v = v * 16 + static_cast<unsigned>(d);
    }
    return static_cast<std::uint16_t>(v);
}

// The interface prefix with its optional board number ("TCPIP", "tcpip1").
std::optional<unsigned> boardOf(std::string_view token, std::string_view prefix) {
    if (token.size() < prefix.size() || !iequals(token.substr(0, prefix.size()), prefix))
        return std::nullopt;
    std::string_view rest = token.substr(prefix.size());
    if (rest.empty())
        return 0u;
    auto n = decimal(rest, 65535);
    if (!n)
        return std::nullopt;
    return static_cast<unsigned>(*n);
}

bool validHost(std::string_view h) {
    if (h.empty() || h.size() > 253)
        return false;
    if (h.front() == '[') // bracketed IPv6 literal
        return h.size() > 2 && h.back() == ']' &&
               std::all_of(h.begin() + 1, h.end() - 1, [](unsigned char c) {
                   return std::isxdigit(c) || c == ':' || c == '.';
               });
    return std::all_of(h.begin(), h.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-' || c == '_';
    });
}

bool validDeviceName(std::string_view n) {
    return !n.empty() && n.size() <= 64 && std::all_of(n.begin(), n.end(), [](unsigned char c) {
        return std::isalnum(c) || c == ',' || c == '_' || c == '.' || c == '-';
    });
}

std::optional<ResourceName> parseUsb(std::vector<std::string_view> t, unsigned board) {
    if (iequals(t.back(), "INSTR"))
        t.pop_back();
    if (t.size() != 4 && t.size() != 5)
        return std::nullopt;
    ResourceName r;
    r.kind = ResourceName::Kind::UsbInstr;
    r.board = board;
    auto vid = code16(t[1]);
    auto pid = code16(t[2]);
    if (!vid || !pid || t[3].empty())
        return std::nullopt;
    r.vendor = *vid;
    r.product = *pid;
    r.serial = std::string(t[3]);
    if (!std::all_of(r.serial.begin(), r.serial.end(),
                     [](unsigned char c) { return std::isgraph(c); }))
        return std::nullopt;
    if (t.size() == 5) {
        auto iface = decimal(t[4], 255);
        if (!iface)
            return std::nullopt;
        r.interfaceNumber = static_cast<int>(*iface);
    }
    return r;
}

std::optional<ResourceName> parseTcpip(std::vector<std::string_view> t, unsigned board) {
    ResourceName r;
    r.board = board;
    if (iequals(t.back(), "SOCKET")) {
        if (t.size() != 4)
            return std::nullopt;
        auto port = decimal(t[2], 65535);
        if (!port || *port == 0 || !validHost(t[1]))
            return std::nullopt;
        r.kind = ResourceName::Kind::TcpipSocket;
        r.host = std::string(t[1]);
        r.port = static_cast<std::uint16_t>(*port);
        return r;
    }
    if (iequals(t.back(), "INSTR"))
        t.pop_back();
    if (t.size() != 2 && t.size() != 3)
        return std::nullopt;
    if (!validHost(t[1]))
        return std::nullopt;
    r.kind = ResourceName::Kind::TcpipInstr;
    r.host = std::string(t[1]);
    r.deviceName = t.size() == 3 ? lower(t[2]) : std::string("inst0");
    if (!validDeviceName(r.deviceName))
        return std::nullopt;
    // HiSLIP devices speak another protocol than ours.
    if (r.deviceName.rfind("hislip", 0) == 0)
        return std::nullopt;
    return r;
}

} // namespace

std::optional<ResourceName> parseResourceName(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 512)
        return std::nullopt;
    auto tokens = splitTokens(text);
    if (tokens.size() < 2)
        return std::nullopt;
    if (auto b = boardOf(tokens[0], "USB"))
        return parseUsb(std::move(tokens), *b);
    if (auto b = boardOf(tokens[0], "TCPIP"))
        return parseTcpip(std::move(tokens), *b);
    return std::nullopt;
}

} // namespace velda::visa
