#pragma once
// The VISA types of 64-bit Linux and the status, attribute and mode values the
// USB(TMC) back end uses. The widths are those of the IVI headers for a 64-bit
// environment: sessions, statuses, counts and attribute names are 32-bit, an
// attribute value is 64-bit. A system VISA library is called through these.

#include <cstdint>

namespace velda::visa {

using ViInt32 = std::int32_t;
using ViUInt32 = std::uint32_t;
using ViUInt16 = std::uint16_t;
using ViInt16 = std::int16_t;
using ViStatus = ViInt32;
using ViObject = ViUInt32;
using ViSession = ViObject;
using ViAttr = ViUInt32;
using ViAttrState = std::uint64_t;
using ViAccessMode = ViUInt32;
using ViBuf = unsigned char*;
using ViConstBuf = const unsigned char*;
using ViRsrc = char*;
using ViConstRsrc = const char*;

constexpr ViStatus toStatus(std::uint32_t v) {
    return static_cast<ViStatus>(v);
}

constexpr ViStatus VI_SUCCESS = 0;
constexpr ViStatus VI_SUCCESS_TERM_CHAR = toStatus(0x3FFF0005u);
constexpr ViStatus VI_SUCCESS_MAX_CNT = toStatus(0x3FFF0006u);

constexpr ViStatus VI_ERROR_SYSTEM_ERROR = toStatus(0xBFFF0000u);
constexpr ViStatus VI_ERROR_INV_OBJECT = toStatus(0xBFFF000Eu);
constexpr ViStatus VI_ERROR_INV_SESSION = VI_ERROR_INV_OBJECT;
constexpr ViStatus VI_ERROR_RSRC_LOCKED = toStatus(0xBFFF000Fu);
constexpr ViStatus VI_ERROR_RSRC_NFOUND = toStatus(0xBFFF0011u);
constexpr ViStatus VI_ERROR_INV_RSRC_NAME = toStatus(0xBFFF0012u);
constexpr ViStatus VI_ERROR_TMO = toStatus(0xBFFF0015u);
constexpr ViStatus VI_ERROR_NSUP_ATTR = toStatus(0xBFFF001Du);
constexpr ViStatus VI_ERROR_NSUP_ATTR_STATE = toStatus(0xBFFF001Eu);
constexpr ViStatus VI_ERROR_ABORT = toStatus(0xBFFF0030u);
constexpr ViStatus VI_ERROR_ALLOC = toStatus(0xBFFF003Cu);
constexpr ViStatus VI_ERROR_IO = toStatus(0xBFFF003Eu);
constexpr ViStatus VI_ERROR_NSUP_OPER = toStatus(0xBFFF0067u);
constexpr ViStatus VI_ERROR_RSRC_BUSY = toStatus(0xBFFF0072u);
constexpr ViStatus VI_ERROR_INV_PARAMETER = toStatus(0xBFFF0078u);
constexpr ViStatus VI_ERROR_INV_MODE = toStatus(0xBFFF0091u);
constexpr ViStatus VI_ERROR_LIBRARY_NFOUND = toStatus(0xBFFF009Eu);
constexpr ViStatus VI_ERROR_CONN_LOST = toStatus(0xBFFF00A6u);
constexpr ViStatus VI_ERROR_NPERMISSION = toStatus(0xBFFF00A8u);

constexpr ViAttr VI_ATTR_SEND_END_EN = 0x3FFF0016u;
constexpr ViAttr VI_ATTR_TERMCHAR = 0x3FFF0018u;
constexpr ViAttr VI_ATTR_TMO_VALUE = 0x3FFF001Au;
constexpr ViAttr VI_ATTR_TERMCHAR_EN = 0x3FFF0038u;

constexpr ViUInt32 VI_TMO_INFINITE = 0xFFFFFFFFu;
constexpr ViUInt32 VI_NULL = 0;

// Modes of viGpibControlREN.
constexpr ViUInt16 VI_GPIB_REN_DEASSERT = 0;
constexpr ViUInt16 VI_GPIB_REN_ASSERT = 1;
constexpr ViUInt16 VI_GPIB_REN_DEASSERT_GTL = 2;
constexpr ViUInt16 VI_GPIB_REN_ASSERT_ADDRESS = 3;
constexpr ViUInt16 VI_GPIB_REN_ASSERT_LLO = 4;
constexpr ViUInt16 VI_GPIB_REN_ASSERT_ADDRESS_LLO = 5;
constexpr ViUInt16 VI_GPIB_REN_ADDRESS_GTL = 6;

} // namespace velda::visa
