#pragma once
// Decoding of the VXI-11 replies that carry instrument data. A read reply is
// decoded straight into the caller's buffer and refused when it holds more
// than was asked for, so a wrong length from the network never makes us
// allocate or overrun.

#include "vxi11_core.h"

#include <cstddef>

namespace velda::visa {

struct Vxi11ReadReply {
    long error = 0;
    long reason = 0;
    char* data = nullptr; // the caller's buffer
    u_int capacity = 0;
    u_int length = 0;
};

extern "C" bool_t velda_xdr_read_reply(XDR* xdrs, Vxi11ReadReply* reply);

// For the fuzz target and tests: decode a read reply / a link reply from raw
// XDR bytes. False when the bytes do not decode.
bool decodeReadReply(const unsigned char* bytes, std::size_t size, Vxi11ReadReply* reply);
bool decodeLinkReply(const unsigned char* bytes, std::size_t size, Create_LinkResp* reply);

// Reason bits of a read reply and flags of a request.
constexpr long Vxi11ReasonReqCnt = 1;
constexpr long Vxi11ReasonChr = 2;
constexpr long Vxi11ReasonEnd = 4;
constexpr long Vxi11FlagEnd = 8;
constexpr long Vxi11FlagTermChrSet = 0x80;

} // namespace velda::visa
