// The whole transfer of set-up and waveform, from the program object to the
// test instrument, for every shipped model: the exact bytes the instrument
// receives. Two paths reach it: a LAN socket (interface kind 3, our own VISA
// layer) and a GPIB board (kind 0: the board library is the fake one, which
// hands every write to the instrument and answers reads with its replies).
#include "FakeLibrary.h"
#include "SocketBus.h"
#include "TestInstrument.h"
#include "TestSupport.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "bus/USBTMC_MDL.h"
#include "bus/visa/SystemVisa.h"
#include "control/Transfer.h"
#include "control/TransferProgress.h"
#include "control/WaveData.h"
#include "engine/wavelb32.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace velda;
using namespace velda::control;
using velda::test::TestInstrument;

namespace {

enum class Path { Socket, Gpib };

// The fake board library's control functions (the program loads the same
// file, so dlopen hands both the same instance).
class FakeBoard : public test::FakeLibrary {
public:
    static QString File() { return test::FakeLibraryPath(QStringLiteral("libfake_gpib.so")); }
    FakeBoard() : FakeLibrary(QStringLiteral("libfake_gpib.so")) {
        Function<void(const char*)>("fake_gpib_reset")("gpib0");
    }
    ~FakeBoard() { Function<int(const char*, int, int)>("fake_gpib_bridge")("", 0, 0); }
    bool Bridge(std::uint16_t port) {
        return Function<int(const char*, int, int)>("fake_gpib_bridge")("127.0.0.1", port, 3000) ==
               0;
    }
    QStringList Journal() const {
        return FakeLibrary::Journal().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

// A started program whose instrument is the test instrument, on the path's
// interface kind. Null when the model has no such interface.
struct InstrumentRig {
    QTemporaryDir dir;
    test::RecordingPrompts prompts;
    std::unique_ptr<Program> program;
    SilentProgress progress;
    std::unique_ptr<Transfer> transfer;
    std::unique_ptr<TestInstrument> inst;
    std::unique_ptr<FakeBoard> board;
    Path path;
    bool usable = true;

    explicit InstrumentRig(int model, Path p = Path::Socket) : path(p) {
        program = std::make_unique<Program>(
            ProgramOptions{test::sourceDataDir(), dir.filePath(QStringLiteral("VELDA.ini")), {}});
        EXPECT_TRUE(program->Start_Up());
        program->Apply_SizeChange(program->Setup.Change_Model(model));
        inst = TestInstrument::For_Model(param().ModelName.trimmed().toStdString());
        if (path == Path::Socket) {
            program->Setup.InterfaceKind = IfUsbTmc;
            test::Use_Own_Visa(*program->Bus);
        } else {
            usable = program->Setup.Change_Interface(IfNiGpib) != 0;
            program->Setup.InterfaceKind = IfNiGpib;
            program->Registry->setSetting(bus::LibrarySection, bus::LibraryKeyNiGpib,
                                          FakeBoard::File());
            board = std::make_unique<FakeBoard>();
            EXPECT_TRUE(board->Bridge(inst->Port()));
        }
        transfer = std::make_unique<Transfer>(*program, progress);
        prompts.clear();
    }
    SystemParameter& param() { return program->Setup.Param; }
    TransferResult press(int button) {
        const QString serial = path == Path::Socket ? QString::fromStdString(inst->Resource_Name())
                                                    : QStringLiteral("1");
        return transfer->Btn_Trans_Click(button, serial);
    }
    std::string boxes() const { return prompts.boxTexts().join(QLatin1Char('|')).toStdString(); }
};

// A waveform that uses the whole scale, so both bytes of a word matter.
void fillRamp(Program& program) {
    auto words = engine::bufferWords(program.Document.CurrentBuf());
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<int16_t>(-32767 + static_cast<int>((i * 4099) % 65535));
}

int modelCount() {
    InstrumentRig probe(0);
    return int(probe.program->Setup.ModelNames.size());
}

} // namespace

// The board library's calls of a transfer on GPIB: the pieces of the data,
// the end signal around them and the addressing before them.
void expectGpibPieces(const QStringList& journal, int headerBytes, int dataBytes,
                      int instrumentAddress) {
    static const QRegularExpression write(QStringLiteral("^ibwrt \\d+ (\\d+) "));
    // The data go as full 512-byte pieces and a rest, with the end signal
    // off, then one LF (0A) with it on.
    int eotOff = -1;
    for (int i = 0; i < journal.size(); ++i)
        if (journal[i].endsWith(QLatin1String(" 0")) &&
            journal[i].startsWith(QLatin1String("ibeot ")))
            eotOff = i;
    ASSERT_GE(eotOff, 0) << "the end signal is never turned off";
    int i = eotOff + 1, sent = 0, pieces = 0, readdressed = 0;
    bool header = headerBytes > 0, wrote = false;
    for (; i < journal.size() && sent < dataBytes; ++i) {
        const auto m = write.match(journal[i]);
        if (!m.hasMatch()) {
            // Once the block has begun, its pieces go on to the same listener.
            readdressed += wrote && journal[i].startsWith(QLatin1String("ibcmd"));
            continue;
        }
        wrote = true;
        const int n = m.captured(1).toInt();
        if (header) {
            // The header by itself, so that the pieces hold whole data words.
            EXPECT_EQ(n, headerBytes);
            header = false;
            continue;
        }
        EXPECT_EQ(n, std::min(512, dataBytes - sent)) << "piece " << pieces;
        sent += n;
        ++pieces;
    }
    EXPECT_EQ(sent, dataBytes);
    EXPECT_EQ(pieces, (dataBytes + 511) / 512);
    EXPECT_EQ(readdressed, 0);
    QStringList rest = journal.mid(i);
    rest.erase(
        std::remove_if(rest.begin(), rest.end(),
                       [](const QString& l) { return l.startsWith(QLatin1String("ibcmd")); }),
        rest.end());
    ASSERT_GE(rest.size(), 2);
    EXPECT_EQ(rest[0].toStdString(), "ibeot 0 1");
    EXPECT_TRUE(rest[1].startsWith(QLatin1String("ibwrt 0 1 0A"))) << rest[1].toStdString();
    // Every write is preceded by addressing the instrument as listener
    // (untalk, unlisten, our talk address 0, its listen address), every
    // read by addressing it as talker.
    const QString listen = QString::asprintf("ibcmd 0 5F 3F 40 %02X", 0x20 + instrumentAddress);
    const QString talk = QString::asprintf("ibcmd 0 5F 3F %02X 20", 0x40 + instrumentAddress);
    QString addressed;
    int reads = 0;
    for (const QString& l : journal) {
        if (l.startsWith(QLatin1String("ibcmd")))
            addressed = l;
        else if (l.startsWith(QLatin1String("ibwrt")))
            EXPECT_EQ(addressed.toStdString(), listen.toStdString()) << l.toStdString();
        else if (l.startsWith(QLatin1String("ibrd"))) {
            EXPECT_EQ(addressed.toStdString(), talk.toStdString()) << l.toStdString();
            ++reads;
        }
    }
    EXPECT_GT(reads, 0);
}

// The headers a SCPI instrument would refuse: one without a leading colon
// after a header of two or more levels in the same line is read under that
// header's path (":FORM:BORD SWAP;DATA:ARB" is FORM:DATA:ARB).
std::vector<std::string> misplacedHeaders(const std::vector<std::string>& lines) {
    std::vector<std::string> refused;
    for (const std::string& line : lines) {
        bool deep = false; // the path is below the root
        for (std::size_t from = 0; from <= line.size();) {
            const std::size_t end = std::min(line.find(';', from), line.size());
            std::string piece = line.substr(from, end - from);
            from = end + 1;
            piece.erase(0, piece.find_first_not_of(' '));
            const std::string header = piece.substr(0, piece.find(' '));
            if (header.empty() || header[0] == '*')
                continue; // common commands leave the path alone
            if (header[0] != ':' && deep)
                refused.push_back(header + " in " + line);
            deep = header.find(':', 1) != std::string::npos;
        }
    }
    return refused;
}

TEST(TransferToInstrument, EveryShippedModelTakesItsWaveAndSetUpOnEveryPath) {
    const int models = modelCount();
    ASSERT_GE(models, 2);
    int gpibModels = 0;
    for (const Path path : {Path::Socket, Path::Gpib})
        for (int m = 0; m < models; ++m) {
            InstrumentRig rig(m, path);
            if (!rig.usable)
                continue;
            gpibModels += path == Path::Gpib;
            fillRamp(*rig.program);
            const SystemParameter& p = rig.param();
            const std::string name = p.ModelName.trimmed().toStdString();
            SCOPED_TRACE(name + (path == Path::Gpib ? " on GPIB" : " on a socket"));

            ASSERT_EQ(rig.press(Transfer::WaveButton), TransferResult::Done) << rig.boxes();
            EXPECT_FALSE(rig.program->Registry->GpibBusy());
            // The connection ends with the transfer, free for other programs.
            if (path == Path::Socket) {
                EXPECT_TRUE(rig.inst->Wait_For_Disconnect(10000));
            }

            // The data words divided by the mask's step, each word high byte
            // first unless the script swaps; the bus's byte packing then
            // exchanges each pair on the way out.
            clsGpibCommand wave;
            Load_Script(wave, rig.program->Setup.CommandTables[3], rig.program->Setup.Param);
            const int16_t d = Mask_Divisor(wave.ArbBitMask());
            const bool swap = wave.ArbByteSwap();
            const auto words = engine::bufferWords(rig.program->Document.CurrentBuf());
            std::string wire;
            for (int i = 0; i < p.MemorySize; ++i) {
                const auto v = static_cast<uint16_t>(
                    static_cast<int>(std::nearbyint(double(words[size_t(i)]) / d)) & 0xFFFF);
                const char hi = char(v >> 8), lo = char(v & 0xFF);
                wire += swap ? hi : lo; // exchanged by the packing
                wire += swap ? lo : hi;
            }
            bool isHeader = false;
            const std::string line =
                rig.transfer->Build_SendLine(wave, 2 * p.MemorySize, &isHeader).toStdString();
            const std::string function = Function_Command(p.ModelNo, p.MemoryNo).toStdString();
            // The transfer ends with a status query whose answer it read: all it
            // sent before is in.
            const std::string bytes = rig.inst->Bytes();
            // The send line right before the data: as their header, or (a plain
            // line on GPIB) ended by its LF. Then the LF that ends the data and
            // the function command on a line of its own, ended by the
            // terminator the end of the block sets back.
            const std::string message = line + (path == Path::Gpib && !isHeader ? "\n" : "") + wire;
            const std::size_t at = bytes.find(message);
            ASSERT_NE(at, std::string::npos) << "line " << line;
            EXPECT_EQ(bytes.find(message, at + 1), std::string::npos);
            const std::string after = bytes.substr(at + message.size());
            const std::string end = path == Path::Gpib ? "\r\n" : "\n";
            EXPECT_EQ(after.substr(0, function.size() + 1 + end.size()), "\n" + function + end)
                << "after the block: " << after.substr(0, 40);
            if (isHeader) {
                // A definite-length block: the instrument takes it whole.
                ASSERT_EQ(rig.inst->Blocks().size(), 1u);
                EXPECT_EQ(rig.inst->Blocks().front(), wire);
            }
            if (path == Path::Gpib)
                expectGpibPieces(rig.board->Journal(), isHeader ? int(line.size()) : 0,
                                 2 * p.MemorySize, p.GpibAddress);

            // The lines built from every script, as the transfers send them.
            std::vector<std::string> built{line};
            for (CommandTable table : rig.program->Setup.CommandTables) { // loading writes back
                clsGpibCommand script;
                Load_Script(script, table, rig.program->Setup.Param);
                built.push_back(rig.transfer->Build_SettingsCommand(script).toStdString());
            }
            EXPECT_EQ(misplacedHeaders(built), std::vector<std::string>{});

            rig.inst->Clear_Record();
            ASSERT_EQ(rig.press(Transfer::SettingsButton), TransferResult::Done) << rig.boxes();
            EXPECT_FALSE(rig.program->Registry->GpibBusy());
            EXPECT_TRUE(rig.inst->Blocks().empty());
            EXPECT_FALSE(rig.inst->Lines().empty());
        }
    EXPECT_GE(gpibModels, 1);
}

// On USB(TMC) the block and its line feed are one message: the end signal
// is off while header and data go and on for the line feed. Seen through a
// system VISA library (the fake one), which records every attribute set and
// every write.
TEST(TransferToInstrument, OnUsbTmcTheEndSignalComesWithTheLineFeedAfterTheBlock) {
    const std::string path = VELDA_BINARY_DIR "/tests/fakes/visa/libfakevisa.so";
    test::LoadedLibrary visa(path);
    visa.Function<void()>("fakevisa_reset")();
    InstrumentRig rig(1);
    const std::string identity = rig.inst->Identity();
    for (const auto& [query, reply] :
         {std::pair<std::string, std::string>{"*IDN?", identity}, {"*ESR?", "0"}})
        visa.Function<void(const char*, const char*, unsigned)>("fakevisa_answer")(
            query.c_str(), (reply + "\n").c_str(), unsigned(reply.size() + 1));
    rig.program->Bus->Set_Factory(bus::KindUsbTmc, [path](bus::BusContext& c) {
        auto m = std::make_unique<bus::USBTMC_MDL>(c);
        m->Set_Provider_Factory([path] { return visa::chooseVisaProvider({path}); });
        return m;
    });
    fillRamp(*rig.program);
    ASSERT_EQ(rig.transfer->Btn_Trans_Click(Transfer::WaveButton,
                                            QStringLiteral("USB0::0x1::0x2::SN1::INSTR")),
              TransferResult::Done)
        << rig.boxes();
    // The end signal's settings and the writes, in order: "E0", "E1", or the
    // byte count of a write.
    std::vector<std::string> steps;
    const std::string record = visa.Function<const char*()>("fakevisa_record")();
    static const QRegularExpression end(QStringLiteral("^viSetAttribute \\d+ 3FFF0016 (\\d)$"));
    static const QRegularExpression write(QStringLiteral("^viWrite \\d+ (\\d+) "));
    for (const QString& l : QString::fromStdString(record).split(QLatin1Char('\n'))) {
        if (const auto m = end.match(l); m.hasMatch())
            steps.push_back("E" + m.captured(1).toStdString());
        else if (const auto w = write.match(l); w.hasMatch())
            steps.push_back(w.captured(1).toStdString());
    }
    const std::string block = std::to_string(2 * rig.param().MemorySize);
    const auto at = std::find_if(steps.begin(), steps.end(), [&](const std::string& s) {
        return s.size() > 2 && s[0] != 'E' && std::stoul(s) > std::stoul(block);
    });
    ASSERT_NE(at, steps.end()) << "no block written";
    ASSERT_GE(at - steps.begin(), 1);
    ASSERT_GE(steps.end() - at, 3);
    EXPECT_EQ(*(at - 1), "E0");
    EXPECT_EQ(*(at + 1), "E1");
    EXPECT_EQ(*(at + 2), "1"); // the line feed
}

// While the transfer waits for an answer the progress has its turns (the
// window is drawn and Cancel seen): the answers are held here until a turn
// lets them go.
TEST(TransferToInstrument, WaitingForAnAnswerGivesTheProgressItsTurns) {
    InstrumentRig rig(1);
    struct Releasing : SilentProgress {
        TestInstrument* inst = nullptr;
        int turns = 0;
        void Waiting() override {
            ++turns;
            if (inst->Held() > 0)
                inst->Hold_Replies(false);
        }
    } progress;
    progress.inst = rig.inst.get();
    Transfer transfer(*rig.program, progress);
    rig.inst->Hold_Replies(true);
    EXPECT_EQ(transfer.Btn_Trans_Click(0, QString::fromStdString(rig.inst->Resource_Name())),
              TransferResult::Done)
        << rig.boxes();
    EXPECT_GE(rig.inst->Held(), 1);
    EXPECT_GE(progress.turns, 1);
}

// The buffer holds 256 bytes of a reply; a longer one is cut there and the
// rest does not become the answer to the next query.
TEST(TransferToInstrument, AReplyLongerThanTheBufferKeepsTheAnswersInStep) {
    InstrumentRig rig(1);
    // Digits past the cut: taken for the status query's answer, they would
    // read as an error.
    rig.inst->Identify_As(rig.param().ModelName.trimmed().toStdString() + "," +
                          std::string(300, '6'));
    EXPECT_EQ(rig.press(Transfer::WaveButton), TransferResult::Done) << rig.boxes();
    EXPECT_TRUE(rig.prompts.boxes.empty()) << rig.boxes();
}

// An instrument that stops answering once it has the waveform (still
// storing it past the time-out) has not confirmed it: no Done.
TEST(TransferToInstrument, AStatusQueryLeftUnansweredAfterTheBlockFailsTheTransfer) {
    InstrumentRig rig(0); // the power source: its data go as a block
    rig.inst->Silent_After_Block();
    rig.transfer->Set_TimeOut(0.3);
    EXPECT_EQ(rig.press(Transfer::WaveButton), TransferResult::Failed) << rig.boxes();
    EXPECT_EQ(rig.inst->Blocks().size(), 1u);
    EXPECT_FALSE(rig.program->Registry->GpibBusy());
    EXPECT_TRUE(rig.prompts.boxTexts().join(QLatin1Char('|')).contains(GetMessage(225)))
        << rig.boxes();
}

TEST(TransferToInstrument, FaultsShowTheirMessageAndGiveTheBusBack) {
    struct Case {
        const char* name;
        std::function<void(TestInstrument&)> fault;
        QString box; // start of the first box's text
    } cases[] = {
        {"the instrument closes inside the block", [](TestInstrument& i) { i.Close_In_Block(100); },
         QString()},
        {"the instrument reports an error",
         [](TestInstrument& i) { i.Report_Error(32, "-222,\"Data out of range\""); },
         QStringLiteral("-222,\"Data out of range\"")},
        {"another model answers", [](TestInstrument& i) { i.Identify_As("AWG-9999"); },
         MessageText(230, true)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InstrumentRig rig(0); // the power source: its send line is a block header
        c.fault(*rig.inst);
        EXPECT_EQ(rig.press(Transfer::WaveButton), TransferResult::Failed);
        EXPECT_FALSE(rig.program->Registry->GpibBusy());
        // Whoever comes next can take the bus.
        EXPECT_TRUE(rig.program->Registry->TryTakeGpibBus());
        rig.program->Registry->ReleaseGpibBus();
        const QStringList boxes = rig.prompts.boxTexts();
        ASSERT_FALSE(boxes.isEmpty());
        if (!c.box.isEmpty()) {
            EXPECT_TRUE(promptLines(boxes.front()).startsWith(c.box)) << rig.boxes();
        }
        EXPECT_TRUE(rig.inst->Blocks().empty());
    }
}
