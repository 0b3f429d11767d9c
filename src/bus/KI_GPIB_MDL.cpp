#include "bus/KI_GPIB_MDL.h"

#include "bus/BinaryPacking.h"
#include "engine/CodePage.h"

#include <algorithm>

namespace velda::bus {

Status KiStatus(int libraryStatus) {
    if (libraryStatus & (0x01 | 0x02 | 0x10))
        return StatusError;
    if (libraryStatus & 0x08)
        return StatusTimeOut;
    return StatusOk;
}

namespace {
struct KiTimeOut {
    int32_t ms;
    const char* name;
};
constexpr KiTimeOut KiTimeOuts[18] = {
    {0, "55ms"},      {55, "55ms"},     {55, "55ms"},      {55, "55ms"},   {55, "55ms"},
    {55, "55ms"},     {55, "55ms"},     {55, "55ms"},      {55, "55ms"},   {110, "100ms"},
    {330, "300ms"},   {1045, "1s"},     {3025, "3s"},      {10010, "10s"}, {30030, "30s"},
    {100045, "100s"}, {300250, "300s"}, {1000010, "1000s"}};
} // namespace

int32_t KiTimeOutMilliseconds(int code) {
    return code >= 0 && code < 18 ? KiTimeOuts[code].ms : -1;
}

QString KiTimeOutName(int code) {
    return code >= 0 && code < 18 ? QString::fromLatin1(KiTimeOuts[code].name) : QString();
}

struct KI_GPIB_MDL::Api {
    int (*ieee_board_present)() = nullptr;
    void (*ieee_initialize)(int, int) = nullptr;
    void (*ieee_transmit)(const char*, int, int*) = nullptr;
    void (*ieee_receive)(char*, int, int*, int*) = nullptr;
    void (*ieee_tarray)(const void*, long, int, int*) = nullptr;
    void (*ieee_settimeout)(long) = nullptr;
    void (*ieee_setinputEOS)(int) = nullptr;
};

KI_GPIB_MDL::KI_GPIB_MDL(BusContext& context)
    : LibraryBusModule(context, LibraryKeyKiGpib), api_(std::make_unique<Api>()) {}
KI_GPIB_MDL::~KI_GPIB_MDL() = default;

void KI_GPIB_MDL::Resolve_Functions() {
    Api& a = *api_;
    lib_.Resolve(a.ieee_board_present, "ieee_board_present");
    lib_.Resolve(a.ieee_initialize, "ieee_initialize");
    lib_.Resolve(a.ieee_transmit, "ieee_transmit");
    lib_.Resolve(a.ieee_receive, "ieee_receive");
    lib_.Resolve(a.ieee_tarray, "ieee_tarray");
    lib_.Resolve(a.ieee_settimeout, "ieee_settimeout");
    lib_.Resolve(a.ieee_setinputEOS, "ieee_setinputEOS");
}

Status KI_GPIB_MDL::Transmit(const QString& command) {
    if (!api_->ieee_transmit)
        return Missing("ieee_transmit");
    int status = 0;
    api_->ieee_transmit(toCodePage(command).constData(), -1, &status);
    return KiStatus(status);
}

Status KI_GPIB_MDL::Address(int16_t adrs, bool forReceive) {
    const QString n = QString::number(adrs);
    const Status st = Transmit(forReceive ? QStringLiteral("UNT UNL LISTEN MLA TALK ") + n
                                          : QStringLiteral("UNT UNL TALK MTA LISTEN ") + n);
    state_.CurrentAddress = adrs;
    return st;
}

Status KI_GPIB_MDL::GP_Init(const QString& params) {
    const InitParams p(params);
    state_.MyAddress = p.Number(QStringLiteral("MYADRS"), 0);
    Read_Log_Keys(p);
    state_.BufferSize = 256;
    Status st;
    if (!Load_Library()) {
        st = StatusNoBoard;
    } else if (!api_->ieee_board_present || !api_->ieee_initialize) {
        st = Missing(api_->ieee_board_present ? "ieee_initialize" : "ieee_board_present");
    } else if (api_->ieee_board_present() == 0) {
        st = StatusNoBoard;
    } else {
        api_->ieee_initialize(state_.MyAddress, 0);
        st = Init_Defaults();
    }
    return Check_And_Log(QStringLiteral("GP_Init"), st, TraceLog::InitLine());
}

Status KI_GPIB_MDL::GP_Send_Str(int16_t adrs, QString text) {
    Status st = StatusOk;
    if (adrs != LastAddress)
        st = Address(adrs, false);
    if (Error_Check(QStringLiteral("GP_Send_Str"), st)) {
        const QString q1 = QStringLiteral("'");
        QString command;
        if (state_.EoiOn == 0)
            command = QStringLiteral("DATA ") + q1 + text + q1 + QLatin1Char(' ') + termCodes_;
        else if (!termCodes_.isEmpty())
            command =
                QStringLiteral("DATA ") + q1 + text + q1 + QStringLiteral(" EOI ") + termCodes_;
        else if (!text.isEmpty())
            command = QStringLiteral("DATA ") + q1 + text.chopped(1) + q1 +
                      QStringLiteral(" EOI DATA ") + q1 + text.right(1) + q1;
        // An empty text with EOI and no terminator has no byte to carry EOI:
        // nothing is sent.
        if (!command.isEmpty()) {
            st = Transmit(command);
            Error_Check(QStringLiteral("GP_Send_Str"), st);
        }
    }
    Log(TraceLog::SendLine(Adrs(), text), st);
    return st;
}

Status KI_GPIB_MDL::GP_Receive_Str(int16_t adrs, QString& text) {
    const int size = state_.BufferSize;
    text = QString(size, QLatin1Char(' '));
    Status st = StatusOk;
    if (adrs != LastAddress)
        st = Address(adrs, true);
    if (Error_Check(QStringLiteral("GP_Receive_Str"), st)) {
        if (!api_->ieee_receive) {
            st = Missing("ieee_receive");
        } else {
            QByteArray buffer(size, ' ');
            int length = 0, status = 0;
            api_->ieee_receive(buffer.data(), size, &length, &status);
            length = std::clamp(length, 0, size);
            text = Reply_Text(buffer.constData(), size_t(length));
            st = KiStatus(status);
            // A reply longer than the buffer is cut there; the rest is dropped.
            if (st == StatusOk &&
                !Drop_Unmarked_Rest(state_.TermCode, KiTimeOutMilliseconds(state_.TimeOutCode),
                                    buffer.data(), length, size, [&]() -> long {
                                        int n = 0, more = 0;
                                        api_->ieee_receive(buffer.data(), size, &n, &more);
                                        return KiStatus(more) == StatusOk ? n : -1;
                                    }))
                st = StatusTimeOut;
            if (Error_Check(QStringLiteral("GP_Receive_Str"), st)) {
                state_.LastReceivedCount = length;
                while (text.endsWith(QLatin1Char(' ')))
                    text.chop(1);
            }
        }
    }
    Log(TraceLog::ReceiveLine(Adrs(), text), st);
    return st;
}

Status KI_GPIB_MDL::GP_LLO() {
    const Status st = Transmit(QStringLiteral("LLO"));
    return Check_And_Log(QStringLiteral("GP_LLO"), st);
}

Status KI_GPIB_MDL::GP_IFC() {
    const Status st = Transmit(QStringLiteral("IFC"));
    return Check_And_Log(QStringLiteral("GP_IFC"), st);
}

Status KI_GPIB_MDL::GP_REN(int16_t flag) {
    const Status st =
        Transmit(flag != 0 ? QStringLiteral("REN")
                           : QStringLiteral("UNL LISTEN %1 GTL").arg(state_.MyAddress));
    return Check_And_Log(QStringLiteral("GP_REN"), st);
}

Status KI_GPIB_MDL::GP_SDC(int16_t adrs) {
    const Status st = Transmit(QStringLiteral("UNL LISTEN %1 SDC").arg(adrs));
    return Check_And_Log(QStringLiteral("GP_SDC"), st, TraceLog::SdcLine(QString::number(adrs)));
}

Status KI_GPIB_MDL::GP_Time_Out(int16_t code) {
    Status st = StatusOk;
    const int32_t ms = KiTimeOutMilliseconds(code);
    if (ms < 0)
        st = StatusError; // no such code: nothing changes
    else if (!api_->ieee_settimeout)
        st = Missing("ieee_settimeout");
    else {
        api_->ieee_settimeout(ms);
        state_.TimeOutCode = code;
    }
    Log(TraceLog::TimeOutLine(KiTimeOutName(code)), st);
    return st;
}

Status KI_GPIB_MDL::GP_MTerm(int16_t code) {
    static const char* const Codes[] = {"", " 10", " 13", " 13 10"};
    Status st = StatusOk;
    if (code < 0 || code > 3)
        st = StatusError;
    else if (!api_->ieee_setinputEOS)
        st = Missing("ieee_setinputEOS");
    if (Error_Check(QStringLiteral("GP_Mterm"), st)) {
        api_->ieee_setinputEOS(TermChar(code));
        termCodes_ = QString::fromLatin1(Codes[code]);
        state_.SendTerminator = TermText(code);
        state_.TermCode = code;
    }
    Log(TraceLog::MTermLine(TermName(code)), st);
    return st;
}

Status KI_GPIB_MDL::GP_Send_Binary_Data(const BusArray& data, int16_t adrs, int32_t count,
                                        int16_t format, int16_t swap, int32_t /*last*/) {
    Status st = StatusOk;
    if (adrs != LastAddress)
        st = Address(adrs, false);
    if (st == StatusOk) {
        std::vector<uint8_t> bytes;
        st = Pack_Binary_Into(bytes, data, count, format, swap);
        if (st == StatusOk && !api_->ieee_tarray)
            st = Missing("ieee_tarray");
        if (st == StatusOk) {
            const size_t block = size_t(BlockWords) * 2;
            size_t at = 0;
            do {
                const size_t n = std::min(block, bytes.size() - at);
                const bool lastBlock = at + n >= bytes.size();
                int status = 0;
                api_->ieee_tarray(bytes.data() + at, long(n), lastBlock ? state_.EoiOn : 0,
                                  &status);
                st = KiStatus(status);
                at += n;
            } while (st == StatusOk && at < bytes.size());
        }
    }
    Error_Check(QStringLiteral("GP_Send_Binary_Data"), st);
    Log(TraceLog::BinaryLine(Adrs(), QStringLiteral("GP_Send_Binary_Data"),
                             TraceLog::DataList(data)),
        st);
    return st;
}

} // namespace velda::bus
