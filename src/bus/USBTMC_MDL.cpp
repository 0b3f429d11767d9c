#include "bus/USBTMC_MDL.h"

#include "bus/BinaryPacking.h"
#include "engine/CodePage.h"

#include <QByteArray>
#include <algorithm>

namespace velda::bus {

using namespace velda::visa;

Status VisaStatus(ViStatus status) {
    if (status >= 0)
        return StatusOk;
    return status == VI_ERROR_TMO ? StatusTimeOut : StatusError;
}

USBTMC_MDL::USBTMC_MDL(BusContext& context) : BusModule(context) {
    factory_ = [this] {
        QStringList names;
        if (context_.libraryNames)
            names = context_.libraryNames(LibraryKeyVisa);
        std::vector<std::string> files;
        for (const auto& n : names)
            if (!n.trimmed().isEmpty())
                files.push_back(n.trimmed().toStdString());
        return chooseVisaProvider(files);
    };
}

USBTMC_MDL::~USBTMC_MDL() {
    Close_All();
    Close_Manager();
}

void USBTMC_MDL::Close_Manager() {
    // A system library hands out a new manager at each opening: the old
    // one is given back, not left open for the life of the program.
    if (visa_ && rm_ != 0)
        visa_->viClose(rm_);
    rm_ = 0;
}

QString USBTMC_MDL::Provider_Description() const {
    return visa_ ? QString::fromStdString(visa_->description()) : QString();
}

void USBTMC_MDL::Close_All() {
    // An instrument on a raw socket often takes one connection only, so a
    // session is closed before it is forgotten, never left open behind us.
    if (!visa_)
        return;
    for (auto& s : session_) {
        if (s != 0)
            visa_->viClose(s);
        s = 0;
    }
}

bool USBTMC_MDL::Valid(int16_t& adrs) const {
    if (adrs == LastAddress)
        adrs = state_.CurrentAddress;
    return adrs >= 0 && adrs < ResourceCount;
}

QString USBTMC_MDL::Name(int16_t adrs) const {
    if (adrs == LastAddress)
        adrs = state_.CurrentAddress;
    if (adrs >= 0 && adrs < ResourceCount && !ResourceName[adrs].isEmpty())
        return ResourceName[adrs];
    return QString::number(adrs);
}

Status USBTMC_MDL::Convert(ViStatus status, int i) {
    Status st = VisaStatus(status);
    if (st != StatusOk && visa_) {
        errorText_ = QString::fromStdString(visa_->lastMessage());
        if (errorText_.isEmpty())
            errorText_ = QStringLiteral("VISA error 0x%1")
                             .arg(static_cast<uint32_t>(status), 8, 16, QLatin1Char('0'))
                             .toUpper()
                             .replace(QLatin1String("0X"), QLatin1String("0x"));
        Log_Failure(i, st);
    }
    return st;
}

void USBTMC_MDL::Log_Failure(int i, Status st) {
    // The sentence goes to the trace log beside the operation's own line,
    // with the resource it is about.
    const QString who = i >= 0 && i < ResourceCount && !ResourceName[i].isEmpty()
                            ? ResourceName[i]
                            : QStringLiteral("ALL");
    Log(who + QStringLiteral(" : ") + errorText_, st);
}

Status USBTMC_MDL::Check_Written(Status st, ViUInt32 written, size_t size, int i) {
    // A library that took part of a line or block and called it done sent
    // something the instrument never got whole.
    if (st != StatusOk || written == size)
        return st;
    errorText_ = QStringLiteral("%1 of %2 bytes written").arg(written).arg(size);
    Log_Failure(i, StatusError);
    return StatusError;
}

Status USBTMC_MDL::GP_Init(const QString& params) {
    InitParams p(params);
    // The log keys come first, so even a failed start leaves its line.
    Read_Log_Keys(p);
    Close_All();
    Close_Manager();
    if (!visa_)
        visa_ = factory_();
    ViStatus rs = visa_->viOpenDefaultRM(&rm_);
    if (rs < 0) {
        Status st = Convert(rs, -1);
        Error_Check(QStringLiteral("GP_INIT"), st);
        Log(TraceLog::InitLine(), st);
        return st;
    }
    // Read as the other back ends do; nothing here uses them.
    state_.BoardName = p.Text(QStringLiteral("BOARD_NAME"), QStringLiteral("gpib0"));
    (void)p.Number(QStringLiteral("USBTMC_DEVNO"), 0);
    state_.BufferSize = 256;
    state_.TimeOutCode = 10;
    state_.TermCode = 1;
    state_.EoiOn = 1;
    state_.SendTerminator = TermText(1);
    state_.CurrentAddress = 0;
    if (auto names = p.Value(QStringLiteral("USBTMC_NAME"))) {
        const QStringList parts = names->split(QLatin1Char('/'));
        for (int i = 0; i < parts.size() && i < ResourceCount; ++i)
            ResourceName[i] = parts[i].trimmed();
    }
    Status st = StatusOk;
    if (!ResourceName[0].isEmpty() && session_[0] == 0)
        st = Open_Index(0);
    Log(TraceLog::InitLine(), st);
    return st;
}

Status USBTMC_MDL::Open_Index(int i) {
    if (i < 0 || i >= ResourceCount || ResourceName[i].isEmpty() || !visa_)
        return StatusError;
    ViSession s = 0;
    QByteArray name = toCodePage(ResourceName[i]);
    ViStatus r = visa_->viOpen(rm_, name.constData(), 0, 0, &s);
    if (r < 0)
        return Convert(r, i);
    session_[i] = s;
    GP_REN(-1);
    Status st = Convert(visa_->viSetAttribute(s, VI_ATTR_TMO_VALUE,
                                              static_cast<ViAttrState>(static_cast<uint32_t>(
                                                  TimeOutMilliseconds(state_.TimeOutCode)))),
                        i);
    if (st == StatusOk)
        st = GP_MTerm(state_.TermCode);
    // A session opened after GP_EOI(0) sends without END like the others.
    if (st == StatusOk && state_.EoiOn == 0)
        st = Convert(visa_->viSetAttribute(s, VI_ATTR_SEND_END_EN, 0), i);
    if (st != StatusOk) {
        // Forgotten, and closed, so the next use opens it afresh.
        session_[i] = 0;
        visa_->viClose(s);
    }
    return st;
}

Status USBTMC_MDL::Ensure_Open(int i) {
    if (session_[i] != 0)
        return StatusOk;
    return Open_Index(i) == StatusOk ? StatusOk : StatusError;
}

Status USBTMC_MDL::GP_Send_Str(int16_t adrs, QString text) {
    QString name = Name(adrs);
    Status st = StatusError;
    if (Valid(adrs)) {
        state_.CurrentAddress = adrs;
        st = Ensure_Open(adrs);
    }
    if (Error_Check(QStringLiteral("GP_Send_Str"), st)) {
        QByteArray bytes = toCodePage(text + state_.SendTerminator);
        ViUInt32 written = 0;
        st = Convert(visa_->viWrite(session_[adrs], reinterpret_cast<ViConstBuf>(bytes.constData()),
                                    static_cast<ViUInt32>(bytes.size()), &written),
                     adrs);
        st = Check_Written(st, written, size_t(bytes.size()), adrs);
        Error_Check(QStringLiteral("GP_Send_Str"), st);
    }
    log_.Append(TraceLog::SendLine(name, text), st);
    return st;
}

Status USBTMC_MDL::GP_Receive_Str(int16_t adrs, QString& text) {
    const int size = state_.BufferSize > 0 ? state_.BufferSize : 0;
    text = QString(size, QLatin1Char(' '));
    QString name = Name(adrs);
    Status st = StatusError;
    if (Valid(adrs)) {
        state_.CurrentAddress = adrs;
        st = Ensure_Open(adrs);
    }
    if (Error_Check(QStringLiteral("GP_Receive_Str"), st)) {
        QByteArray buffer(size, ' ');
        ViUInt32 count = 0;
        ViStatus read = visa_->viRead(session_[adrs], reinterpret_cast<ViBuf>(buffer.data()),
                                      static_cast<ViUInt32>(size), &count);
        st = Convert(read, adrs);
        // A reply longer than the buffer is cut there; the rest is dropped.
        if (read == VI_SUCCESS_MAX_CNT) {
            QByteArray rest(std::max(size, 1), ' ');
            if (!Drop_Reply_Rest(TimeOutMilliseconds(state_.TimeOutCode), [&] {
                    ViUInt32 dropped = 0;
                    const ViStatus more =
                        visa_->viRead(session_[adrs], reinterpret_cast<ViBuf>(rest.data()),
                                      static_cast<ViUInt32>(rest.size()), &dropped);
                    if (more < 0)
                        return ReplyRest::Failed;
                    return more == VI_SUCCESS_MAX_CNT ? ReplyRest::GoesOn : ReplyRest::Ended;
                }))
                st = StatusTimeOut;
        }
        if (Error_Check(QStringLiteral("GP_Receive_Str"), st)) {
            // The reply ends before the first CR, else before the first LF,
            // else after the bytes read.
            int n = static_cast<int>(std::min<ViUInt32>(count, static_cast<ViUInt32>(size)));
            QByteArray got = buffer.left(n);
            int cut = got.indexOf('\r');
            if (cut < 0)
                cut = got.indexOf('\n');
            int length = cut >= 0 ? cut : n;
            state_.LastReceivedCount = length;
            if (length >= 1) {
                QString reply = Reply_Text(got.constData(), static_cast<size_t>(length));
                while (reply.endsWith(QLatin1Char(' ')))
                    reply.chop(1);
                text = reply;
            }
        }
    }
    log_.Append(TraceLog::ReceiveLine(name, text), st);
    return st;
}

// A system VISA refuses remote control and clear on sessions that have
// neither, a LAN socket among them: there is nothing to switch or clear
// there, and the transfer goes on as our own layer lets it.
ViStatus USBTMC_MDL::Unless_Unsupported(ViStatus st) {
    return st == VI_ERROR_NSUP_OPER ? VI_SUCCESS : st;
}

Status USBTMC_MDL::For_All(const QString& name, const std::function<ViStatus(ViSession)>& call) {
    for (int i = 0; i < ResourceCount; ++i) {
        if (session_[i] == 0)
            continue;
        Status st = Convert(call(session_[i]), i);
        if (st != StatusOk) {
            Error_Check(name, st);
            return st;
        }
    }
    return StatusOk;
}

Status USBTMC_MDL::GP_LLO() {
    Status st = For_All(QStringLiteral("GP_LLO"), [this](ViSession s) {
        return Unless_Unsupported(visa_->viGpibControlREN(s, VI_GPIB_REN_ASSERT_ADDRESS_LLO));
    });
    log_.Append(TraceLog::AllLine(QStringLiteral("GP_LLO")), st);
    return st;
}

Status USBTMC_MDL::GP_REN(int16_t flag) {
    // Only -1 switches remote on; any other value goes to local.
    ViUInt16 mode = flag == -1 ? VI_GPIB_REN_ASSERT : VI_GPIB_REN_DEASSERT_GTL;
    Status st = For_All(QStringLiteral("GP_REN"), [this, mode](ViSession s) {
        return Unless_Unsupported(visa_->viGpibControlREN(s, mode));
    });
    log_.Append(TraceLog::AllLine(QStringLiteral("GP_REN")), st);
    return st;
}

Status USBTMC_MDL::GP_SDC(int16_t adrs) {
    QString name = Name(adrs);
    Status st = StatusError;
    // Like every operation that takes an index, the first use opens it.
    if (Valid(adrs) && Ensure_Open(adrs) == StatusOk) {
        st = Convert(Unless_Unsupported(visa_->viClear(session_[adrs])), adrs);
        Error_Check(QStringLiteral("GP_SDC"), st);
    }
    log_.Append(TraceLog::SdcLine(name), st);
    return st;
}

Status USBTMC_MDL::GP_Time_Out(int16_t code) {
    state_.TimeOutCode = code;
    auto ms = static_cast<ViAttrState>(static_cast<uint32_t>(TimeOutMilliseconds(code)));
    Status st = For_All(QStringLiteral("GP_Time_Out"), [this, ms](ViSession s) {
        return visa_->viSetAttribute(s, VI_ATTR_TMO_VALUE, ms);
    });
    log_.Append(TraceLog::TimeOutLine(TimeOutName(code)), st);
    return st;
}

Status USBTMC_MDL::GP_MTerm(int16_t code) {
    if (code < 0 || code > 3) {
        log_.Append(TraceLog::MTermLine(QString()), StatusError);
        return StatusError;
    }
    state_.SendTerminator = TermText(code);
    state_.TermCode = code;
    auto ch = static_cast<ViAttrState>(TermChar(code));
    // The terminator check stays on for code 0 too, with character 0.
    Status st = For_All(QStringLiteral("GP_MTerm"), [this, ch](ViSession s) {
        ViStatus r = visa_->viSetAttribute(s, VI_ATTR_TERMCHAR, ch);
        return r < 0 ? r : visa_->viSetAttribute(s, VI_ATTR_TERMCHAR_EN, 1);
    });
    log_.Append(TraceLog::MTermLine(TermName(code)), st);
    return st;
}

Status USBTMC_MDL::GP_EOI(int16_t flag) {
    state_.EoiOn = flag;
    ViAttrState on = flag != 0 ? 1 : 0;
    Status st = For_All(QStringLiteral("GP_EOI"), [this, on](ViSession s) {
        return visa_->viSetAttribute(s, VI_ATTR_SEND_END_EN, on);
    });
    log_.Append(TraceLog::AllLine(QStringLiteral("GP_EOI")), st);
    return st;
}

Status USBTMC_MDL::Send_Block(const QString& operation, const QByteArray& header,
                              const BusArray& data, int16_t adrs, int32_t count, int16_t format,
                              int16_t swap) {
    // Header and data go out as one message from memory, the end of message
    // with the last byte; nothing is written to disk on the way.
    QString name = Name(adrs);
    Status st = StatusError;
    if (Valid(adrs)) {
        state_.CurrentAddress = adrs;
        st = Ensure_Open(adrs);
    }
    if (st == StatusOk) {
        message_.assign(header.begin(), header.end());
        st = Pack_Binary_Append(message_, data, count, format, swap);
        if (st == StatusOk) {
            ViUInt32 written = 0;
            st = Convert(visa_->viWrite(session_[adrs], message_.data(),
                                        static_cast<ViUInt32>(message_.size()), &written),
                         adrs);
            st = Check_Written(st, written, message_.size(), adrs);
        }
    }
    Error_Check(operation, st);
    log_.Append(TraceLog::BinaryLine(name, operation, TraceLog::DataList(data)), st);
    return st;
}

Status USBTMC_MDL::GP_Send_Binary_Data(const BusArray& data, int16_t adrs, int32_t count,
                                       int16_t format, int16_t swap, int32_t /*last*/) {
    return Send_Block(QStringLiteral("GP_Send_Binary_Data"), QByteArray(), data, adrs, count,
                      format, swap);
}

Status USBTMC_MDL::GP_Send_AsciiBinary_Data(const QString& header, const BusArray& data,
                                            int16_t adrs, int32_t count, int16_t format,
                                            int16_t swap, int16_t /*flag*/) {
    return Send_Block(QStringLiteral("GP_Send_AsciiBinary_Data"), toCodePage(header), data, adrs,
                      count, format, swap);
}

} // namespace velda::bus
