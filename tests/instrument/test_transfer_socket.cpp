// The whole transfer of set-up and waveform, from the program object to the
// test instrument over a LAN socket (interface kind 3, our own VISA layer),
// for every shipped model: the exact bytes the instrument receives.
#include "TestInstrument.h"
#include "TestSupport.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "bus/USBTMC_MDL.h"
#include "bus/visa/OwnVisa.h"
#include "control/Transfer.h"
#include "control/TransferProgress.h"
#include "control/WaveData.h"
#include "engine/wavelb32.h"

#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace velda;
using namespace velda::control;
using velda::test::TestInstrument;

namespace {

class QuietProgress : public TransferProgress {
public:
    void Show() override {}
    void Set_Message(const QString&) override {}
    void Set_Progress(int) override {}
    void Set_Count(int32_t) override {}
    bool GpibExit() const override { return false; }
    void Set_GpibExit(bool) override {}
    void Close() override {}
};

// A started program on interface kind 3 whose first resource is the
// instrument's socket.
struct SocketRig {
    QTemporaryDir dir;
    test::RecordingPrompts prompts;
    std::unique_ptr<Program> program;
    QuietProgress progress;
    std::unique_ptr<Transfer> transfer;
    std::unique_ptr<TestInstrument> inst;

    explicit SocketRig(int model) {
        program = std::make_unique<Program>(
            ProgramOptions{test::sourceDataDir(), dir.filePath(QStringLiteral("VELDA.ini")), {}});
        EXPECT_TRUE(program->Start_Up());
        program->Apply_SizeChange(program->Setup.Change_Model(model));
        program->Setup.InterfaceKind = IfUsbTmc;
        program->Bus->Set_Factory(bus::KindUsbTmc, [](bus::BusContext& c) {
            auto m = std::make_unique<bus::USBTMC_MDL>(c);
            m->Set_Provider_Factory([] { return std::make_unique<visa::OwnVisa>(); });
            return m;
        });
        inst = TestInstrument::For_Model(param().ModelName.trimmed().toStdString());
        transfer = std::make_unique<Transfer>(*program, progress);
        prompts.clear();
    }
    SystemParameter& param() { return program->Setup.Param; }
    TransferResult press(int button) {
        return transfer->Btn_Trans_Click(button, QString::fromStdString(inst->Resource_Name()));
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
    SocketRig probe(0);
    return int(probe.program->Setup.ModelNames.size());
}

} // namespace

TEST(TransferOverSocket, EveryShippedModelTakesItsWaveAndSetUp) {
    const int models = modelCount();
    ASSERT_GE(models, 2);
    for (int m = 0; m < models; ++m) {
        SocketRig rig(m);
        fillRamp(*rig.program);
        const SystemParameter& p = rig.param();
        const std::string name = p.ModelName.trimmed().toStdString();
        SCOPED_TRACE(name);

        ASSERT_EQ(rig.press(Transfer::WaveButton), TransferResult::Done) << rig.boxes();
        EXPECT_FALSE(rig.program->Registry->GpibBusy());

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
        // The send line as the header of one message with the data, the LF
        // that ends that line, then the function command on a line of its own.
        const std::string message = line + wire;
        const std::size_t at = bytes.find(message);
        ASSERT_NE(at, std::string::npos) << "line " << line;
        EXPECT_EQ(bytes.find(message, at + 1), std::string::npos);
        const std::string after = bytes.substr(at + message.size());
        EXPECT_EQ(after.substr(0, function.size() + 2), "\n" + function + "\n")
            << "after the block: " << after.substr(0, 40);
        if (isHeader) {
            // A definite-length block: the instrument takes it whole.
            ASSERT_EQ(rig.inst->Blocks().size(), 1u);
            EXPECT_EQ(rig.inst->Blocks().front(), wire);
        }

        rig.inst->Clear_Record();
        ASSERT_EQ(rig.press(Transfer::SettingsButton), TransferResult::Done) << rig.boxes();
        EXPECT_FALSE(rig.program->Registry->GpibBusy());
        EXPECT_TRUE(rig.inst->Blocks().empty());
        EXPECT_FALSE(rig.inst->Lines().empty());
    }
}

TEST(TransferOverSocket, FaultsShowTheirMessageAndGiveTheBusBack) {
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
        SocketRig rig(0); // the power source: its send line is a block header
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
