#include "bus/NI_GPIB_Mdl.h"

#include "bus/BinaryPacking.h"
#include "engine/CodePage.h"

#include <algorithm>

namespace velda::bus {

Status NiStatus(int ibsta, int iberr) {
    if (!(ibsta & IbstaERR))
        return (ibsta & IbstaTIMO) ? StatusTimeOut : StatusOk;
    if (iberr == IberrENEB)
        return StatusNoBoard;
    // A read that timed out is reported as ERR|TIMO with EABO: it is both a
    // time-out (so it shows as one) and an error (so the error checks stop).
    return (ibsta & IbstaTIMO) ? Status(StatusTimeOut | StatusError) : StatusError;
}

QString NiReplyText(const QByteArray& buffer, long byteCount, int32_t& length) {
    qsizetype n;
    if (const qsizetype cr = buffer.indexOf('\r'); cr >= 0)
        n = cr;
    else if (const qsizetype lf = buffer.indexOf('\n'); lf >= 0)
        n = lf;
    else
        n = std::clamp<qsizetype>(qsizetype(byteCount), 0, buffer.size());
    length = int32_t(n);
    if (n == 0)
        return Reply_Text(buffer.constData(), size_t(buffer.size()));
    QString text = Reply_Text(buffer.constData(), size_t(n));
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

struct NI_GPIB_Mdl::Api {
    int (*ibfind)(const char*) = nullptr;
    int (*ibfindA)(const char*) = nullptr;
    int (*ibcmd)(int, const void*, long) = nullptr;
    int (*ibwrt)(int, const void*, long) = nullptr;
    int (*ibrd)(int, void*, long) = nullptr;
    int (*ibsic)(int) = nullptr;
    int (*ibsre)(int, int) = nullptr;
    int (*ibtmo)(int, int) = nullptr;
    int (*ibeos)(int, int) = nullptr;
    int (*ibeot)(int, int) = nullptr;
    int (*ibpad)(int, int) = nullptr;
    int (*ibconfig)(int, int, int) = nullptr;
    int (*ibask)(int, int, int*) = nullptr;
    int (*ThreadIbsta)() = nullptr;
    int (*ThreadIberr)() = nullptr;
    long (*ThreadIbcntl)() = nullptr;
};

NI_GPIB_Mdl::NI_GPIB_Mdl(BusContext& context)
    : LibraryBusModule(context, LibraryKeyNiGpib), api_(std::make_unique<Api>()) {}
NI_GPIB_Mdl::~NI_GPIB_Mdl() = default;

void NI_GPIB_Mdl::Resolve_Functions() {
    Api& a = *api_;
    // Each function by itself: the ones a library lacks stay null and the
    // calls that need them report "not present".
    lib_.Resolve(a.ibfind, "ibfind");
    lib_.Resolve(a.ibfindA, "ibfindA");
    lib_.Resolve(a.ibcmd, "ibcmd");
    lib_.Resolve(a.ibwrt, "ibwrt");
    lib_.Resolve(a.ibrd, "ibrd");
    lib_.Resolve(a.ibsic, "ibsic");
    lib_.Resolve(a.ibsre, "ibsre");
    lib_.Resolve(a.ibtmo, "ibtmo");
    lib_.Resolve(a.ibeos, "ibeos");
    lib_.Resolve(a.ibeot, "ibeot");
    lib_.Resolve(a.ibpad, "ibpad");
    lib_.Resolve(a.ibconfig, "ibconfig");
    lib_.Resolve(a.ibask, "ibask");
    lib_.Resolve(a.ThreadIbsta, "ThreadIbsta");
    lib_.Resolve(a.ThreadIberr, "ThreadIberr");
    lib_.Resolve(a.ThreadIbcntl, "ThreadIbcntl");
}

Status NI_GPIB_Mdl::Call_Status(int returned) {
    const Api& a = *api_;
    ibsta_ = int(int16_t(a.ThreadIbsta ? a.ThreadIbsta() : returned));
    iberr_ = a.ThreadIberr ? a.ThreadIberr() : 0;
    ibcntl_ = a.ThreadIbcntl ? a.ThreadIbcntl() : 0;
    return NiStatus(ibsta_, iberr_);
}

Status NI_GPIB_Mdl::Command(const QByteArray& bytes) {
    if (!api_->ibcmd)
        return Missing("ibcmd");
    return Call_Status(api_->ibcmd(board_, bytes.constData(), long(bytes.size())));
}

Status NI_GPIB_Mdl::Address(int talker, int listener) {
    QByteArray cmd;
    cmd.append(char(GpibUNT)).append(char(GpibUNL));
    cmd.append(char(GpibTalkBase + talker)).append(char(GpibListenBase + listener));
    return Command(cmd);
}

Status NI_GPIB_Mdl::GP_Init(const QString& params) {
    const InitParams p(params);
    Read_Log_Keys(p);
    state_.BoardName = p.Text(QStringLiteral("BOARD_NAME"));
    if (state_.BoardName.isEmpty())
        state_.BoardName = QStringLiteral("gpib0");
    state_.MyAddress = p.Number(QStringLiteral("MYADRS"), 0);
    state_.BufferSize = 256;

    Status st = StatusOk;
    if (!Load_Library()) {
        st = StatusNoBoard;
    } else if (!api_->ibfindA && !api_->ibfind) {
        st = Missing("ibfind");
    } else {
        auto find = [this](const QString& name) {
            const QByteArray n = toCodePage(name);
            board_ = api_->ibfindA ? api_->ibfindA(n.constData()) : api_->ibfind(n.constData());
            Status s = Call_Status(board_ < 0 ? IbstaERR : 0);
            // A failed find without an error flag is still no board found.
            if (board_ < 0 && s == StatusOk)
                s = StatusError;
            return s;
        };
        st = find(state_.BoardName);
        // Boards are configured under lower-case names by convention, and
        // the name is compared exactly.
        if (board_ < 0 && st == StatusError && state_.BoardName.toLower() != state_.BoardName)
            st = find(state_.BoardName.toLower());
        const QString lower = state_.BoardName.toLower();
        int16_t index = -1;
        for (int16_t i = 0; i < 4; ++i)
            if (lower == QStringLiteral("gpib%1").arg(i))
                index = i;
        if (index >= 0)
            boardIndex_ = index;
        // A board configured without that name (the usual configuration
        // names none, or another) is reached by its index, which the board
        // library takes as its descriptor; a board that is not there fails
        // at its first call below.
        if (board_ < 0 && st == StatusError && index >= 0) {
            board_ = index;
            st = StatusOk;
        }
    }
    if (Error_Check(QStringLiteral("GP_INIT"), st)) {
        if (api_->ibconfig)
            api_->ibconfig(board_, 7, 0); // no automatic serial polling
        st = GP_IFC();
        st |= Init_Defaults();
    }
    Log(TraceLog::InitLine(), st);
    return st;
}

Status NI_GPIB_Mdl::GP_Send_Str(int16_t adrs, QString text) {
    Status st = StatusOk;
    if (adrs != LastAddress) {
        st = Address(state_.MyAddress, adrs);
        state_.CurrentAddress = adrs;
    }
    if (Error_Check(QStringLiteral("GP_Send_Str"), st)) {
        if (!api_->ibwrt) {
            st = Missing("ibwrt");
        } else {
            const QByteArray bytes = toCodePage(text + state_.SendTerminator);
            st = Call_Status(api_->ibwrt(board_, bytes.constData(), long(bytes.size())));
            Error_Check(QStringLiteral("GP_Send_Str"), st);
        }
    }
    Log(TraceLog::SendLine(Adrs(), text), st);
    return st;
}

Status NI_GPIB_Mdl::GP_Receive_Str(int16_t adrs, QString& text) {
    const int size = state_.BufferSize;
    text = QString(size, QLatin1Char(' '));
    Status st = StatusOk;
    if (adrs != LastAddress) {
        st = Address(adrs, state_.MyAddress);
        state_.CurrentAddress = adrs;
    }
    if (Error_Check(QStringLiteral("GP_Receive_Str"), st)) {
        if (!api_->ibrd) {
            st = Missing("ibrd");
        } else {
            QByteArray buffer(size, ' ');
            st = Call_Status(api_->ibrd(board_, buffer.data(), long(size)));
            if (Error_Check(QStringLiteral("GP_Receive_Str"), st)) {
                text = NiReplyText(buffer, ibcntl_, state_.LastReceivedCount);
                if (!Drop_Rest(size)) {
                    st = StatusTimeOut;
                    Error_Check(QStringLiteral("GP_Receive_Str"), st);
                }
            }
        }
    }
    Log(TraceLog::ReceiveLine(Adrs(), text), st);
    return st;
}

// A read that filled the buffer without the end of the message leaves the
// rest of the reply in the instrument; it is read away (false when it does
// not end), and the status of the reply's own read is kept.
bool NI_GPIB_Mdl::Drop_Rest(int size) {
    if (ibsta_ & (IbstaEND | IbstaERR) || ibcntl_ < size)
        return true;
    const int sta = ibsta_, err = iberr_;
    const long cntl = ibcntl_;
    QByteArray rest(size, ' ');
    const bool ended = Drop_Reply_Rest(TimeOutMilliseconds(state_.TimeOutCode), [&] {
        Call_Status(api_->ibrd(board_, rest.data(), long(size)));
        if (ibsta_ & IbstaERR)
            return ReplyRest::Failed;
        return ibsta_ & IbstaEND ? ReplyRest::Ended : ReplyRest::GoesOn;
    });
    ibsta_ = sta;
    iberr_ = err;
    ibcntl_ = cntl;
    return ended;
}

Status NI_GPIB_Mdl::GP_LLO() {
    const Status st = Command(QByteArray(1, char(GpibLLO)));
    return Check_And_Log(QStringLiteral("GP_LLO"), st);
}

Status NI_GPIB_Mdl::GP_REN(int16_t flag) {
    const Status st = api_->ibsre ? Call_Status(api_->ibsre(board_, flag)) : Missing("ibsre");
    return Check_And_Log(QStringLiteral("GP_REN"), st);
}

Status NI_GPIB_Mdl::GP_IFC() {
    const Status st = api_->ibsic ? Call_Status(api_->ibsic(board_)) : Missing("ibsic");
    return Check_And_Log(QStringLiteral("GP_IFC"), st);
}

Status NI_GPIB_Mdl::GP_SDC(int16_t adrs) {
    QByteArray cmd;
    cmd.append(char(GpibUNL)).append(char(GpibListenBase + adrs)).append(char(GpibSDC));
    const Status st = Command(cmd);
    return Check_And_Log(QStringLiteral("GP_SDC"), st, TraceLog::SdcLine(QString::number(adrs)));
}

Status NI_GPIB_Mdl::GP_Time_Out(int16_t code) {
    const Status st = api_->ibtmo ? Call_Status(api_->ibtmo(board_, code)) : Missing("ibtmo");
    if (Error_Check(QStringLiteral("GP_Time_Out"), st))
        state_.TimeOutCode = code;
    Log(TraceLog::TimeOutLine(TimeOutName(code)), st);
    return st;
}

Status NI_GPIB_Mdl::GP_MTerm(int16_t code) {
    static constexpr int Eos[] = {0, 0x140A, 0x140D, 0x140A};
    static constexpr int Length[] = {0, 1, 1, 2};
    Status st;
    if (code < 0 || code > 3) {
        st = StatusError;
    } else if (!api_->ibeos) {
        st = Missing("ibeos");
    } else {
        st = Call_Status(api_->ibeos(board_, Eos[code]));
        if (Error_Check(QStringLiteral("GP_MTerm"), st)) {
            state_.SendTerminator = TermText(code);
            termLength_ = Length[code];
            state_.TermCode = code;
        }
    }
    Log(TraceLog::MTermLine(TermName(code)), st);
    return st;
}

Status NI_GPIB_Mdl::GP_EOI(int16_t flag) {
    const Status st = api_->ibeot ? Call_Status(api_->ibeot(board_, flag)) : Missing("ibeot");
    if (Error_Check(QStringLiteral("GP_EOI"), st))
        state_.EoiOn = flag;
    Log(TraceLog::AllLine(QStringLiteral("GP_EOI")), st);
    return st;
}

Status NI_GPIB_Mdl::GP_Send_Binary_Data(const BusArray& data, int16_t adrs, int32_t count,
                                        int16_t format, int16_t swap, int32_t /*last*/) {
    Status st = StatusOk;
    if (adrs != LastAddress) {
        st = Address(state_.MyAddress, adrs);
        state_.CurrentAddress = adrs;
    }
    if (st == StatusOk) {
        st = Pack_Binary_Into(packed_, data, count, format, swap);
        if (st == StatusOk) {
            if (!api_->ibwrt)
                st = Missing("ibwrt");
            else
                st = Call_Status(api_->ibwrt(board_, packed_.data(), long(packed_.size())));
        }
        Error_Check(QStringLiteral("GP_Send_Binary_Data"), st);
    }
    Log(TraceLog::BinaryLine(Adrs(), QStringLiteral("GP_Send_Binary_Data"),
                             TraceLog::DataList(data)),
        st);
    return st;
}

Status NI_GPIB_Mdl::Board_Address(int16_t& address) {
    if (!Load_Library())
        return StatusNoBoard;
    if (address > 0) {
        if (!api_->ibpad)
            return Missing("ibpad");
        return Call_Status(api_->ibpad(0, address));
    }
    if (!api_->ibask)
        return Missing("ibask");
    int value = 0;
    const Status st = Call_Status(api_->ibask(0, 1, &value));
    if (st == StatusOk)
        address = int16_t(value);
    return st;
}

} // namespace velda::bus
