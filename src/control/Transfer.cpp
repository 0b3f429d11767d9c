#include "control/Transfer.h"

#include "app/Messages.h"
#include "app/Program.h"
#include "app/Prompts.h"
#include "bus/InitParams.h"
#include "bus/USBTMC_MDL.h"
#include "control/TransferProgress.h"
#include "control/WaveData.h"

#include <QDir>
#include <QStandardPaths>
#include <limits>

namespace velda::control {

namespace {

QString join(const QStringList& pieces) {
    QStringList kept;
    for (const QString& p : pieces)
        if (!p.isEmpty())
            kept << p;
    return kept.join(QLatin1Char(';'));
}

// Counts an operation of this copy as running for its whole length: the
// program refuses to end meanwhile, even while a loop waits for a bus that
// another copy holds (then this copy is not the bus's host).
class RunningMark {
public:
    explicit RunningMark(int& count) : count_(count) { ++count_; }
    ~RunningMark() { --count_; }
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

private:
    int& count_;
};

// Once a stop was asked for, the failures of the steps it stops are not
// news and their boxes are left out; questions still reach the user.
class QuietAfterStop final : public PromptHandler {
public:
    explicit QuietAfterStop(std::function<bool()> stopped)
        : inner_(prompts()), stopped_(std::move(stopped)) {
        setPromptHandler(this);
    }
    ~QuietAfterStop() override { setPromptHandler(&inner_); }
    QuietAfterStop(const QuietAfterStop&) = delete;
    QuietAfterStop& operator=(const QuietAfterStop&) = delete;

    Answer showBox(const BoxRequest& r) override {
        if (r.buttons == BoxButtons::Ok && stopped_())
            return Answer::Ok;
        return inner_.showBox(r);
    }
    QString openFileName(const FileRequest& r) override { return inner_.openFileName(r); }
    QString saveFileName(const FileRequest& r) override { return inner_.saveFileName(r); }
    QString openFileNameWithFilter(const FileRequest& r, int& chosen) override {
        return inner_.openFileNameWithFilter(r, chosen);
    }
    QString saveFileNameWithFilter(const FileRequest& r, int& chosen) override {
        return inner_.saveFileNameWithFilter(r, chosen);
    }
    std::optional<QString> inputText(const QString& c, const QString& p,
                                     const QString& i) override {
        return inner_.inputText(c, p, i);
    }

private:
    PromptHandler& inner_;
    std::function<bool()> stopped_;
};

} // namespace

// Owns the bus from the moment it is taken: gives it back, and closes it
// when it was opened, however the operation ends.
class Transfer::BusHold {
public:
    BusHold(clsRegistry& registry, bus::GP_common& bus, GpibIO* io, int16_t kind)
        : registry_(registry), bus_(bus), io_(io), kind_(kind) {}
    ~BusHold() {
        // A bus that never came up has nothing to put back, and each close
        // step would only try the set-up again, each with its own box. One
        // a cancel already closed and gave back is no longer this copy's.
        if (opened_ && io_ != nullptr && io_->Lib().SetupDone() && registry_.GpibHost())
            io_->Close_Bus();
        // An instrument on a raw socket often takes one connection only: an
        // idle one kept to the next transfer would shut out every other
        // program on the bench meanwhile.
        if (bus::BusModule* module = opened_ ? bus_.Module(kind_) : nullptr)
            module->Close_Sessions();
        registry_.ReleaseGpibBus();
        if (!opened_ || kind_ != IfSimulated)
            return;
        // The log the bus really wrote: a trace log given for the run comes
        // before the default one in the initialisation text.
        const bus::BusModule* module = bus_.Module(kind_);
        const QString log = module != nullptr ? module->State().LogFile : QString();
        if (!log.isEmpty())
            prompts().showBox(
                {QStringLiteral("Simulated Bus"),
                 QStringLiteral("The bus traffic was written to\n") + QDir::toNativeSeparators(log),
                 BoxIcon::None, BoxButtons::Ok});
    }
    void Opened() { opened_ = true; }

private:
    clsRegistry& registry_;
    bus::GP_common& bus_;
    GpibIO* io_;
    int16_t kind_;
    bool opened_ = false;
};

Transfer::Transfer(Program& program, TransferProgress& progress)
    : program_(program), progress_(progress) {}

Transfer::~Transfer() = default;

QString Transfer::Simulated_LogPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    return QDir(folder).filePath(QStringLiteral("simulated-bus.log"));
}

QString Transfer::Extra_InitItems(int16_t kind) {
    if (kind != IfSimulated)
        return {};
    // A data folder whose name the initialisation text cannot carry goes
    // without a trace log rather than writing one elsewhere.
    const auto log = bus::InitParams::Item(QStringLiteral("LOG_FILE"),
                                           QDir::toNativeSeparators(Simulated_LogPath()));
    return log ? *log + QStringLiteral(", RESPONSE_DIALOG") : QStringLiteral("RESPONSE_DIALOG");
}

int32_t Transfer::Next_LoopCount(int32_t count) {
    return count >= std::numeric_limits<int32_t>::max() ? 1 : count + 1;
}

TransferResult Transfer::Select_Instrument(const QString& serialNo) {
    if (program_.Setup.InterfaceKind == IfUsbTmc) {
        const QString serial = serialNo.trimmed();
        if (serial.isEmpty()) {
            prompts().showBox({QStringLiteral("Error Message"),
                               QStringLiteral("Please Input the Serial Number!"), BoxIcon::Stop,
                               BoxButtons::Ok});
            return TransferResult::NothingSent;
        }
        program_.Setup.Param.GpibAddress = 0;
        const QString resource =
            serial.contains(QStringLiteral("::"))
                ? serial
                : program_.DeviceIds.Find_DeviceId(program_.Setup.Param.ModelName.trimmed()) +
                      serial;
        if (auto* tmc = dynamic_cast<bus::USBTMC_MDL*>(program_.Bus->Module(IfUsbTmc)))
            tmc->ResourceName[0] = resource;
    }
    return TransferResult::Done;
}

TransferResult Transfer::Btn_Trans_Click(int index, const QString& serialNo) {
    // A second press ends the running loop; the instrument it sends to stays.
    if (index == WaveButton && loopRunning_)
        return Loop_Test();
    if (const TransferResult chosen = Select_Instrument(serialNo); chosen != TransferResult::Done)
        return chosen;
    if (index == SettingsButton)
        return Send_Settings();
    if (program_.Registry != nullptr && program_.Registry->LoopTest())
        return Loop_Test();
    return Send_Wave();
}

TransferResult Transfer::Prepare(int stepTable, std::unique_ptr<BusHold>& hold) {
    clsRegistry& registry = *program_.Registry;
    instrumentFault_ = false;
    kind_ = program_.Setup.InterfaceKind;
    program_.Bus->Set_Interface_Kind(kind_);
    // A front of our own per operation: the bus is initialised afresh, so a
    // changed kind or resource name is taken up.
    const int16_t kind = kind_;
    Program* program = &program_;
    lib_ = std::make_unique<GPIBLib>(
        *program_.Bus,
        GPIBLib::Settings{[this] { return snapshot_.GpibAddress; },
                          [program, kind] {
                              QString extra = GPIBLib::BusInit_Setting(program->Registry.get());
                              const QString ours = Extra_InitItems(kind);
                              if (!ours.isEmpty())
                                  extra =
                                      extra.isEmpty() ? ours : extra + QStringLiteral(", ") + ours;
                              return extra;
                          }});
    lib_->Fix_TimeOut(timeOut_);
    io_ = std::make_unique<GpibIO>(*lib_,
                                   GpibIO::Settings{[program] { return program->Registry.get(); },
                                                    [this] { return snapshot_.GpibAddress; },
                                                    {},
                                                    {}});
    snapshot_ = program_.Setup.Param;

    // Read before the bus is taken: once this copy holds it, the lookup
    // gives the stored value instead of asking the board.
    const int16_t controller = io_->Read_ControllerAddress();
    if (!registry.TryTakeGpibBus(controller)) {
        ShowError(223);
        return TransferResult::Busy;
    }
    hold = std::make_unique<BusHold>(registry, *program_.Bus, io_.get(), kind_);

    if (kind_ != IfUsbTmc && controller == snapshot_.GpibAddress) {
        ShowErrorText(GetMessage(224) + QStringLiteral("Address:") +
                      QString::number(snapshot_.GpibAddress));
        return TransferResult::NothingSent;
    }
    // The scripts are loaded before the bus is opened, so a script that
    // cannot be used is refused before anything goes out.
    auto& tables = program_.Setup.CommandTables;
    Load_Script(main_, tables[0], snapshot_);
    Load_Script(final_, tables[1], snapshot_);
    Load_Script(step_, tables[static_cast<size_t>(stepTable)], snapshot_);
    if (stepTable == 3 && Mask_Divisor(step_.ArbBitMask()) == 0) {
        ShowErrorText(NoBitMaskText());
        return TransferResult::NothingSent;
    }
    hold->Opened();
    if (io_->Open_Bus() != 0)
        return TransferResult::Failed;
    return TransferResult::Done;
}

bool Transfer::Put(const QString& text) {
    if (Stopped())
        return false;
    return io_->Put(snapshot_.GpibAddress, text) == 0;
}

bool Transfer::Query(const QString& text, QString& reply) {
    reply.clear();
    if (!Put(text))
        return false;
    reply = lib_->Gets(snapshot_.GpibAddress);
    return lib_->LastStatus() == 0;
}

bool Transfer::Wait_Ready() {
    const bus::Status status = io_->Wait_Ready(snapshot_.GpibAddress);
    if (status == 0)
        return true;
    // A failed query has shown its box; an instrument that stayed busy has not.
    if (lib_->LastStatus() == 0)
        ShowError(GpibIO::Status_Message(status));
    return false;
}

QString Transfer::Build_SettingsCommand(const clsGpibCommand& s) const {
    const SystemParameter& p = snapshot_;
    QStringList pieces{s.Preset(), s.HeaderOff()};
    if (p.ChannelUsed != 0)
        pieces << s.channel(p.ChannelNo + 1);
    pieces << s.frequency(p.Frequency);
    if (p.OffsetSettable != 0)
        pieces << s.DcOffset(p.OffsetOn != 0);
    pieces << s.AmplitudeRange(p.RangeNo) << s.AmplitudeLevel(p.Amplitude);
    if (p.OffsetSettable == 1)
        pieces << s.DcOffsetLevel(p.Offset);
    pieces << s.Output(p.OutputState);
    return join(pieces);
}

QString Transfer::Build_SendLine(const clsGpibCommand& s, int64_t byteCount, bool* isHeader) const {
    const SystemParameter& p = snapshot_;
    if (p.ModelNo == 0) {
        if (isHeader != nullptr)
            *isHeader = true;
        return PowerSource_SendLine(p.MemoryNo, byteCount);
    }
    const QString name = Printable_Name(p.MemoryName);
    QStringList pieces{s.Preset()};
    if (p.ChannelUsed != 0)
        pieces << s.channel(p.ChannelNo + 1);
    pieces << s.ArbPreCommand() << s.ArbSize(p.MemorySize) << s.ArbBank(p.MemoryNo)
           << s.ArbStartAddress(0) << s.ArbName(name) << s.ArbFormat() << s.ArbSend(name);
    return Replace_BlockToken(join(pieces), byteCount, isHeader);
}

int16_t Transfer::Check_Model(const clsGpibCommand& s) {
    int32_t start = 0;
    int32_t length = 0;
    QString expected;
    const QString query = s.Model(start, length, expected);
    // A script that names no identification query has nothing to compare.
    if (query.isEmpty())
        return 0;
    QString reply;
    const bool ok = Query(query, reply);
    reply = Strip_Printable(reply);
    expected = Strip_Printable(expected);
    const QString part = reply.mid(std::max(start, 1) - 1, length);
    if (ok && !reply.isEmpty() && part.compare(expected, Qt::CaseInsensitive) == 0)
        return 0;
    // Without an answer the bus failed, not the instrument.
    instrumentFault_ = ok;
    if (program_.Registry->DebugMode())
        prompts().showBox({QStringLiteral("ModelCheck"),
                           QStringLiteral("System Setting Model:'") + expected +
                               QStringLiteral("'\nReturn ID:'") + reply + QLatin1Char('\''),
                           BoxIcon::None, BoxButtons::Ok});
    return -1;
}

int16_t Transfer::Check_InstrumentError(const clsGpibCommand& s) {
    const QString status = s.GetStatus();
    if (status.isEmpty())
        return 0;
    QString reply;
    const bool ok = Query(status, reply);
    const bool error =
        (!ok && reply.isEmpty()) || (leadingNumber(reply) & static_cast<int>(s.ErrorMask())) != 0;
    if (!error)
        return 0;
    instrumentFault_ = ok;
    if (s.GetErrorMessage().isEmpty()) {
        ShowError(230);
        return -1;
    }
    QString text;
    const bool asked = Query(s.GetErrorMessage(), text);
    // An instrument with nothing to say gives no empty first line.
    const QString message = GetMessage(asked ? 230 : 225);
    ShowErrorText(text.isEmpty() ? message : text + QLatin1Char('\r') + message);
    return -1;
}

bus::WaitTurnScope Transfer::Wait_Turns() {
    // While a bus operation waits: the progress's turn, and a stop asked
    // for ends the wait at once.
    return bus::WaitTurnScope([this] {
        progress_.Waiting();
        return !Stopped();
    });
}

bool Transfer::Stopped() {
    if (!cancelled_)
        cancelled_ = (stopAsked_ && stopAsked_()) || (watching_ && progress_.GpibExit());
    return cancelled_;
}

TransferResult Transfer::Guarded(TransferResult (Transfer::*steps)()) {
    cancelled_ = false;
    const QuietAfterStop quiet([this] { return Stopped(); });
    const TransferResult r = (this->*steps)();
    Close_Progress();
    return r == TransferResult::Failed && cancelled_ ? TransferResult::Cancelled : r;
}

TransferResult Transfer::Send_Settings() {
    return Guarded(&Transfer::Settings_Steps);
}

TransferResult Transfer::Send_Wave() {
    return Guarded(&Transfer::Wave_Steps);
}

TransferResult Transfer::Settings_Steps() {
    const RunningMark running(program_.RunningTransfers);
    const bus::WaitTurnScope turns = Wait_Turns();
    std::unique_ptr<BusHold> hold;
    const TransferResult prepared = Prepare(2, hold);
    if (prepared != TransferResult::Done)
        return prepared;
    return snapshot_.ModelNo == 0 ? Settings_PowerSource() : Settings_Oscillator();
}

TransferResult Transfer::Settings_Oscillator() {
    if (!Put(Build_SettingsCommand(main_)))
        return TransferResult::Failed;
    if (Check_Model(main_) != 0) {
        ShowError(230);
        return TransferResult::Failed;
    }
    for (const clsGpibCommand* script : {&step_, &final_}) {
        if (!Put(Build_SettingsCommand(*script)) || Check_InstrumentError(main_) != 0)
            return TransferResult::Failed;
    }
    return TransferResult::Done;
}

TransferResult Transfer::Settings_PowerSource() {
    const SystemParameter& p = snapshot_;
    if (!Put(QStringLiteral("*CLS")))
        return TransferResult::Failed;
    if (Check_Model(main_) != 0) {
        ShowError(230);
        return TransferResult::Failed;
    }
    QString reply;
    if (!Query(QStringLiteral("MODE?"), reply))
        return TransferResult::Failed;
    static const QStringList modes{QStringLiteral("AC-INT"), QStringLiteral("AC-ADD"),
                                   QStringLiteral("ACDC-INT"), QStringLiteral("ACDC-EXT")};
    static const QStringList modeCommands{
        QStringLiteral(":Mode AC-INT"), QStringLiteral(":Mode AC-ADD"),
        QStringLiteral(":Mode ACDC-INT"), QStringLiteral(":Mode ACDC-ADD")};
    const qsizetype found = modes.indexOf(Strip_Printable(reply));
    const int mode = found < 0 ? 4 : static_cast<int>(found);
    if (mode != p.ChannelNo) {
        if (!Put(QStringLiteral(":Outp 0")))
            return TransferResult::Failed;
        GpibIO::Wait(2);
        if (p.ChannelNo >= 0 && p.ChannelNo < 4 &&
            !Put(modeCommands[static_cast<qsizetype>(p.ChannelNo)]))
            return TransferResult::Failed;
        if (!Wait_Ready())
            return TransferResult::Failed;
    }
    if (!Query(QStringLiteral(":VOLT:RANG?"), reply))
        return TransferResult::Failed;
    const QString range = Strip_Printable(reply);
    const int rangeNo = range == QStringLiteral("100")   ? 0
                        : range == QStringLiteral("200") ? 1
                                                         : -1;
    if (rangeNo != p.RangeNo) {
        if (!Put(QStringLiteral(":VOLT:RANG ") +
                 (p.RangeNo == 0 ? QStringLiteral("100") : QStringLiteral("200"))) ||
            !Wait_Ready())
            return TransferResult::Failed;
    }
    QString line = QStringLiteral(":FUNC ARB;:VOLT ") + Plain_Decimal(p.Amplitude);
    if (p.OffsetSettable == 1)
        line += QStringLiteral(";:VOLT:OFFS ") + Plain_Decimal(p.Offset);
    line += QStringLiteral(";:Freq ") + Plain_Decimal(p.Frequency);
    if (!Put(line) || !Put(Output_Command(p.OutputState)) || !Wait_Ready())
        return TransferResult::Failed;
    return Check_InstrumentError(main_) == 0 ? TransferResult::Done : TransferResult::Failed;
}

TransferResult Transfer::Wave_Steps() {
    const RunningMark running(program_.RunningTransfers);
    const bus::WaitTurnScope turns = Wait_Turns();
    std::unique_ptr<BusHold> hold;
    const TransferResult prepared = Prepare(3, hold);
    if (prepared != TransferResult::Done)
        return prepared;
    const SystemParameter& p = snapshot_;

    // In the loop test the loop owns the window, its count and its Cancel.
    if (!loopRunning_)
        Show_Progress();
    progress_.Set_Message(QStringLiteral("Data convert"));
    progress_.Set_Progress(0);
    if (!Convert_WaveData(program_.Document.CurrentBuf(), p.MemorySize, step_.ArbBitMask(),
                          step_.ArbByteSwap(), bytes_)) {
        Close_Progress();
        ShowErrorText(NoBitMaskText());
        return TransferResult::Failed;
    }
    progress_.Set_Progress(1000);

    // Send_Wave closes the window on every way out; it is closed here only
    // before a box of this step's own.
    if (!Put(Build_SettingsCommand(main_)) || Check_InstrumentError(main_) != 0)
        return TransferResult::Failed;
    if (Check_Model(main_) != 0) {
        Close_Progress();
        ShowError(230);
        return TransferResult::Failed;
    }

    bool isHeader = false;
    const QString line = Build_SendLine(step_, bytes_.size(), &isHeader);
    if (p.ModelNo == 0) {
        if (!Wait_Ready())
            return TransferResult::Failed;
    } else {
        if (program_.Registry->DebugMode())
            prompts().showBox({QStringLiteral("GpPuts"),
                               QLatin1Char('\'') + line + QLatin1Char('\''), BoxIcon::None,
                               BoxButtons::Ok});
        lib_->Tmo(30);
        // Shown once above: the line goes to the library itself, not
        // through the front's Put with its own debug box.
        if (!isHeader && (Stopped() || lib_->Puts(snapshot_.GpibAddress, line) != 0))
            return TransferResult::Failed;
    }
    if (p.ModelNo == 0)
        lib_->Tmo(30);

    // The window stays up to the end: the checks after the block may each
    // wait the long time-out for an instrument still storing the waveform,
    // and Cancel must stay at hand (the exit refusal points to it too).
    const TransferResult sent = Send_Block(line, isHeader);
    if (sent != TransferResult::Done)
        return sent;

    if (const auto own = step_.ArbFunction(Printable_Name(p.MemoryName), p.MemoryNo)) {
        if (!own->isEmpty() && !Put(*own))
            return TransferResult::Failed;
    } else if (!Put(Function_Command(p.ModelNo, p.MemoryNo))) {
        return TransferResult::Failed;
    } else if (Needs_OutputAfterFunction(p.ModelNo)) {
        if (!Put(Output_Command(p.OutputState)))
            return TransferResult::Failed;
        GpibIO::Wait(1);
    }
    if (Check_InstrumentError(main_) != 0 || !Put(Build_SettingsCommand(final_)) ||
        Check_InstrumentError(main_) != 0)
        return TransferResult::Failed;
    return TransferResult::Done;
}

void Transfer::Show_Progress() {
    progress_.Show();
    watching_ = true;
}

void Transfer::Close_Progress() {
    if (loopRunning_ || !watching_)
        return;
    // Closing the window asks it to stop; that is not the user's cancel.
    watching_ = false;
    progress_.Close();
}

TransferResult Transfer::Send_Block(const QString& line, bool isHeader) {
    progress_.Set_Progress(0);
    progress_.Set_Message(QStringLiteral("Send data"));
    const int16_t address = snapshot_.GpibAddress;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes_.constData());
    const auto size = static_cast<size_t>(bytes_.size());
    if (Stopped())
        return TransferResult::Cancelled;
    // A block that goes in one operation: whole, or failed.
    const auto whole = [this](bool sent) {
        if (!sent)
            return TransferResult::Failed;
        progress_.Set_Progress(1000);
        return TransferResult::Done;
    };
    if (kind_ == IfUsbTmc) {
        // One message: the send line as the header of the block, then the
        // line's LF with the end signal, so the message ends after it (an
        // instrument on a LAN socket, where no end signal exists, would
        // take the next command as part of this line without the LF).
        return whole(lib_->GpEot(false) == 0 &&
                     lib_->DataScpi(address, line, std::span(data, size),
                                    static_cast<int32_t>(size) - 1) == 0 &&
                     lib_->GpEot(true) == 0 && lib_->Puts(address, QString()) == 0);
    }
    if (kind_ == IfUsb488) {
        // One operation; this kind's packing keeps the bytes in array order,
        // so the header travels in the data. It goes as 16-bit words: after
        // a header of odd length the line feed that ends the block fills
        // the last word, which would otherwise carry a NUL to the
        // instrument. An even block ends with the operation's end signal.
        QByteArray block = isHeader ? line.toLatin1() + bytes_ : bytes_;
        if (block.size() % 2 != 0)
            block += '\n';
        const auto* all = reinterpret_cast<const uint8_t*>(block.constData());
        return whole(lib_->Data(address, std::span(all, size_t(block.size())),
                                static_cast<int32_t>(block.size()) - 1) == 0);
    }

    if (lib_->GpEot(false) != 0 || lib_->GpEos(QString()) != 0)
        return TransferResult::Failed;
    // The header goes as text of its own: in the data it would be
    // pair-exchanged by the packing and shift every data word by its length.
    if (isHeader && lib_->Puts(address, line) != 0)
        return TransferResult::Failed;
    for (size_t at = 0; at < size; at += PieceSize) {
        const size_t n = std::min<size_t>(PieceSize, size - at);
        // The first write addresses the instrument; the rest go on to it.
        const int16_t to = at == 0 && !isHeader ? address : bus::LastAddress;
        if (lib_->Data(to, std::span(data + at, n), static_cast<int32_t>(n) - 1) != 0)
            return TransferResult::Failed;
        // A window lets the event loop run at each update, so a press of
        // Cancel is in by the poll below.
        progress_.Set_Progress(static_cast<int>((at + n) * 1000 / size));
        if (progress_.GpibExit()) {
            io_->Abort_Transfer(progress_); // closes the window too
            watching_ = false;
            return TransferResult::Cancelled;
        }
    }
    // The end of the block: LF with the end signal, then the usual terminator.
    if (lib_->GpEot(true) != 0 || lib_->Puts(bus::LastAddress, QStringLiteral("\n")) != 0 ||
        lib_->GpEos(QStringLiteral("\r\n")) != 0)
        return TransferResult::Failed;
    return TransferResult::Done;
}

TransferResult Transfer::Loop_Test(int64_t maxCount) {
    if (loopRunning_) {
        loopAllowed_ = false;
        prompts().showBox({QStringLiteral("LoopTest"),
                           QStringLiteral(u"次の転送完了後テストを終了します"), BoxIcon::None,
                           BoxButtons::Ok});
        return TransferResult::Done;
    }
    const RunningMark running(program_.RunningTransfers);
    loopRunning_ = true;
    loopAllowed_ = true;
    loopCount_ = 0;
    int64_t runs = 0;
    cancelled_ = false;
    Show_Progress();
    progress_.Set_Count(0);
    TransferResult result = TransferResult::Done;
    while (loopAllowed_) {
        // Cancel ends the loop too while it waits for a bus another copy holds.
        if (Stopped()) {
            result = TransferResult::Cancelled;
            break;
        }
        if (program_.Registry->GpibBusy()) {
            GpibIO::Wait(0.1);
            continue;
        }
        result = Send_Wave();
        if (result != TransferResult::Done)
            break;
        loopCount_ = Next_LoopCount(loopCount_);
        progress_.Set_Count(loopCount_);
        if (maxCount > 0 && ++runs >= maxCount)
            break;
    }
    watching_ = false;
    progress_.Close();
    loopRunning_ = false;
    return result;
}

} // namespace velda::control
