#pragma once
// Interface kind 0: a GPIB board through the 488.2 board-level calls (ibcmd
// for addressing, ibwrt/ibrd for data), from linux-gpib's libgpib.so.0 or the
// vendor's NI-488.2 library, loaded on the first GP_Init.
//
// Status after each call comes from the per-thread status calls
// (ThreadIbsta, ThreadIberr, ThreadIbcntl), which is what registering status
// variables per thread achieves on other systems.

#include "bus/BusModule.h"
#include "bus/SharedLibrary.h"

#include <QByteArray>
#include <memory>
#include <vector>

namespace velda::bus {

// Bus command bytes.
constexpr uint8_t GpibUNT = 0x5F;
constexpr uint8_t GpibUNL = 0x3F;
constexpr uint8_t GpibTalkBase = 0x40;
constexpr uint8_t GpibListenBase = 0x20;
constexpr uint8_t GpibLLO = 0x11;
constexpr uint8_t GpibSDC = 0x04;
// ibsta bits and iberr codes.
constexpr int IbstaERR = 0x8000;
constexpr int IbstaTIMO = 0x4000;
constexpr int IbstaEND = 0x2000;
constexpr int IberrEDVR = 0;
constexpr int IberrENEB = 7;
constexpr int IberrEABO = 6;

// The 488.2 status of one call as a status word: without ERR the time-out
// bit; with ERR, no board (ENEB) gives 4, a time-out (TIMO, iberr EABO)
// gives 3 (time-out and error), anything else 2.
Status NiStatus(int ibsta, int iberr);

// The reply in a read buffer (filled with spaces before the read): cut before
// the first CR, else before the first LF, else after `byteCount` bytes, and
// right-trimmed of spaces; a length of 0 leaves the buffer as read.
// `length` receives the cut length.
QString NiReplyText(const QByteArray& buffer, long byteCount, int32_t& length);

class NI_GPIB_Mdl : public LibraryBusModule {
public:
    explicit NI_GPIB_Mdl(BusContext& context);
    ~NI_GPIB_Mdl() override;

    Status GP_Init(const QString& params) override;
    Status GP_Send_Str(int16_t adrs, QString text) override;
    Status GP_Receive_Str(int16_t adrs, QString& text) override;
    Status GP_LLO() override;
    Status GP_REN(int16_t flag) override;
    Status GP_IFC() override;
    Status GP_SDC(int16_t adrs) override;
    Status GP_Time_Out(int16_t code) override;
    Status GP_MTerm(int16_t code) override;
    Status GP_EOI(int16_t flag) override;
    Status GP_Send_Binary_Data(const BusArray& data, int16_t adrs, int32_t count, int16_t format,
                               int16_t swap, int32_t last) override;

    // The controller board's own primary address, around the common
    // interface: with `address` above 0 sets it (ibpad on board 0), otherwise
    // reads it into `address` (ibask option 1). Loads the library if needed.
    Status Board_Address(int16_t& address);

    int Board() const { return board_; }
    int16_t BoardIndex() const { return boardIndex_; }

private:
    struct Api;
    void Resolve_Functions() override;
    // Status of the last call from the per-thread status calls.
    // Status of the last call from the per-thread status calls; `returned`
    // is the call's own result, used where the library lacks them.
    Status Call_Status(int returned);
    Status Address(int talker, int listener);
    Status Command(const QByteArray& bytes);
    bool Drop_Rest(int size);

    std::unique_ptr<Api> api_;
    int board_ = -1;
    int16_t boardIndex_ = 0;
    int termLength_ = 0;
    int ibsta_ = 0, iberr_ = 0;
    std::vector<uint8_t> packed_;
    long ibcntl_ = 0;
};

} // namespace velda::bus
