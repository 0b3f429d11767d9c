// The set-up session without a window: the address rules, Cancel's restore
// with the waveform a shorter memory hid, OK's commit, and the settings that
// bring the set-up back at the next start.
#include "TestSupport.h"

#include "app/Messages.h"
#include "app/Program.h"
#include "app/Registry.h"
#include "engine/wavelb32.h"
#include "files/FileCommands.h"
#include "setup/SetupSession.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace velda;

namespace {

// Models of the shipped model file.
enum : int {
    PowerSource = 0, // addresses 1..30, memory numbers 1..16, USB(TMC) + NI GPIB
    Awg1101 = 1,     // USB(TMC) only
    Awg1102 = 2,     // 2 channels, 1024..65536 points, USB(TMC) + NI GPIB
    Awg2201 = 3,     // addresses 0..30, NI GPIB + KI GPIB
};

class SetupSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        program = std::make_unique<Program>(ProgramOptions{test::sourceDataDir(), ini(), {}});
        ASSERT_TRUE(program->Start_Up());
        session = std::make_unique<SetupSession>(*program);
    }
    QString ini() const { return dir.filePath(QStringLiteral("VELDA.ini")); }
    SystemParameter& param() { return program->Setup.Param; }
    void model(int m) { session->Apply_SizeChange(program->Setup.Change_Model(m)); }
    void controller(int address) {
        program->ControllerAddress = [address] { return address; };
    }

    QTemporaryDir dir;
    test::RecordingPrompts prompts;
    std::unique_ptr<Program> program;
    std::unique_ptr<SetupSession> session;
};

} // namespace

TEST_F(SetupSessionTest, ATypedAddressIsTakenOnlyWithinItsLimitsAndOffTheController) {
    model(Awg2201);
    controller(9);
    struct Row {
        std::optional<int> typed;
        bool taken;
        size_t boxes; // message 228 for the controller's address only
    };
    const Row rows[] = {
        {5, true, 0},
        {0, true, 0},
        {30, true, 0},
        {9, false, 1},
        {31, false, 0},
        {-1, false, 0},
        {std::nullopt, false, 0},
    };
    for (const Row& r : rows) {
        param().GpibAddress = 12;
        prompts.clear();
        EXPECT_EQ(session->Set_GpibAddress(r.typed), r.taken) << r.typed.value_or(-999);
        EXPECT_EQ(param().GpibAddress, r.taken ? *r.typed : 12) << r.typed.value_or(-999);
        ASSERT_EQ(prompts.boxes.size(), r.boxes) << r.typed.value_or(-999);
        if (r.boxes) {
            EXPECT_EQ(prompts.boxes[0].text, GetMessage(228) + QStringLiteral("   Address: 9"));
        }
    }
}

TEST_F(SetupSessionTest, MemoryNumberIsTakenOnlyWithinItsLimits) {
    model(PowerSource); // 1..16
    struct Row {
        std::optional<int> typed;
        int16_t after;
    };
    for (const Row r : {Row{1, 1}, Row{16, 16}, Row{0, 7}, Row{17, 7}, Row{std::nullopt, 7}}) {
        param().MemoryNo = 7;
        EXPECT_EQ(session->Set_MemoryNo(r.typed), r.after != 7 || r.typed == 7);
        EXPECT_EQ(param().MemoryNo, r.after) << r.typed.value_or(-999);
    }
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(SetupSessionTest, AddressStepsStayInTheLimitsAndStepOverTheController) {
    model(PowerSource); // 1..30
    struct Row {
        int16_t start;
        int controller;
        int steps;
        int16_t after;
    };
    const Row rows[] = {
        {5, 6, 1, 7},    {7, 6, -1, 5}, {5, 6, 3, 9},  {30, 6, 1, 30}, {1, 6, -1, 1},
        {29, 30, 1, 29}, {2, 1, -1, 2}, {4, 0, -5, 1}, {10, 0, 2, 12},
    };
    for (const Row& r : rows) {
        controller(r.controller);
        param().GpibAddress = r.start;
        session->Step_GpibAddress(r.steps);
        EXPECT_EQ(param().GpibAddress, r.after)
            << r.start << " controller " << r.controller << " steps " << r.steps;
    }
}

TEST_F(SetupSessionTest, MemoryNumberStepsOnlyTowardsAndWithinItsLimits) {
    model(PowerSource); // 1..16
    struct Row {
        int16_t start;
        int steps;
        int16_t after;
    };
    for (const Row r : {Row{5, 1, 6}, Row{16, 1, 16}, Row{1, -1, 1}, Row{3, -10, 1}, Row{20, 1, 20},
                        Row{20, -1, 16}, Row{0, -1, 0}, Row{0, 1, 1}}) {
        param().MemoryNo = r.start;
        session->Step_MemoryNo(r.steps);
        EXPECT_EQ(param().MemoryNo, r.after) << r.start << " steps " << r.steps;
    }
}

TEST_F(SetupSessionTest, ABusInterfaceMovesTheAddressOffTheController) {
    model(PowerSource);
    struct Row {
        int16_t kind;
        int controller;
        bool moved;
    };
    for (const Row r : {Row{IfNiGpib, 4, true}, Row{IfNiGpib, 3, false}, Row{IfUsbTmc, 4, false}}) {
        session->Apply_Interface(IfNiGpib);
        param().GpibAddress = 4;
        controller(r.controller);
        session->Apply_Interface(r.kind);
        EXPECT_EQ(program->Setup.InterfaceKind, r.kind);
        if (r.moved) {
            EXPECT_NE(param().GpibAddress, r.controller) << r.kind;
        } else {
            EXPECT_EQ(param().GpibAddress, 4) << r.kind << " controller " << r.controller;
        }
    }
}

TEST_F(SetupSessionTest, AModelNotReachableOverTheKindInUseTakesItsFirstInterface) {
    struct Row {
        int16_t kindBefore;
        int model;
        bool changed;
        int16_t kindAfter;
    };
    const Row rows[] = {
        {IfUsbTmc, Awg2201, true, IfNiGpib},
        {IfNiGpib, Awg2201, false, IfNiGpib},
        {IfKiGpib, Awg1102, true, IfUsbTmc},
        {IfUsbTmc, Awg1102, false, IfUsbTmc},
        {IfSimulated, Awg2201, false, IfSimulated},
        {IfUsb488, Awg2201, false, IfUsb488},
        {7, Awg1102, true, IfUsbTmc},
        {-1, Awg2201, true, IfNiGpib},
    };
    for (const Row& r : rows) {
        program->Setup.InterfaceKind = r.kindBefore;
        model(r.model);
        EXPECT_EQ(session->Fit_InterfaceKind(), r.changed) << r.kindBefore << " " << r.model;
        EXPECT_EQ(program->Setup.InterfaceKind, r.kindAfter) << r.kindBefore << " " << r.model;
    }
    // The same fit when the start-up takes the stored model and interface.
    program.reset();
    {
        QSettings stored(ini(), QSettings::IniFormat);
        stored.setValue("Sysinfo/sys_no", Awg2201);
        stored.setValue("System/GpibBoard", IfUsbTmc);
    }
    program = std::make_unique<Program>(ProgramOptions{test::sourceDataDir(), ini(), {}});
    ASSERT_TRUE(program->Start_Up());
    EXPECT_EQ(param().ModelNo, Awg2201);
    EXPECT_EQ(program->Setup.InterfaceKind, IfNiGpib);
    session = std::make_unique<SetupSession>(*program);
    session->Take_Backup();
    session->Restore();
    EXPECT_EQ(program->Setup.InterfaceKind, IfNiGpib);

    // And when a waveform file that names no interface brings its model.
    model(Awg1101);
    session->Apply_Interface(IfUsbTmc);
    const QString wave = dir.filePath(QStringLiteral("w.wdb"));
    ASSERT_TRUE(FileCommands(*program).Save_Wave_File(wave));
    QFile f(wave);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek(9));
    ASSERT_TRUE(f.putChar(0)); // the record's interface: none
    f.close();
    model(Awg2201);
    session->Apply_Interface(IfNiGpib);
    ASSERT_TRUE(FileCommands(*program).Open_By_Name(wave));
    EXPECT_EQ(param().ModelNo, Awg1101);
    EXPECT_EQ(program->Setup.InterfaceKind, IfUsbTmc);
}

TEST_F(SetupSessionTest, RestoreGivesBackRecordInterfaceAndTheWaveformAShorterMemoryHid) {
    model(Awg1102);
    session->Apply_SizeChange(program->Setup.Select_MemorySize(3));
    session->Commit(QStringLiteral("SN1"));
    WaveDocument& doc = program->Document;
    ASSERT_EQ(doc.N(), 65536);
    engine::bufferWords(doc.CurrentBuf())[40000] = 1234;
    doc.CurArea() = {100.0, 50000.0};
    session->Take_Backup();
    const SystemParameter before = param();

    session->Apply_Interface(IfNiGpib);
    model(PowerSource);
    param().Amplitude = 0.25;
    ASSERT_EQ(doc.N(), 4096);
    ASSERT_TRUE(session->HasSnapshot());
    session->Restore();

    EXPECT_EQ(param().ModelNo, before.ModelNo);
    EXPECT_EQ(param().Amplitude, before.Amplitude);
    EXPECT_EQ(param().MemorySize, 65536);
    EXPECT_EQ(program->Setup.ChannelNames.size(), 2);
    EXPECT_EQ(program->Setup.InterfaceKind, program->Registry->GpibBoard());
    EXPECT_EQ(doc.N(), 65536);
    EXPECT_EQ(engine::bufferWords(doc.CurrentBuf())[40000], 1234);
    EXPECT_EQ(doc.CurArea().EndX, 50000.0);
    EXPECT_EQ(program->View.ViewXEnd, 65536);
    EXPECT_FALSE(session->HasSnapshot());
}

TEST_F(SetupSessionTest, CommitStoresInterfaceAndSerialResetsUndoAndForgetsTheSnapshot) {
    session->Apply_Interface(IfNiGpib);
    model(Awg1102);
    ASSERT_TRUE(session->HasSnapshot());
    program->Document.Save_Undo();
    ASSERT_TRUE(program->Document.UndoEnabled());
    session->Commit(QStringLiteral("A-77"));
    EXPECT_EQ(program->Registry->GpibBoard(), IfNiGpib);
    EXPECT_EQ(program->SerialNumber, QStringLiteral("A-77"));
    EXPECT_FALSE(program->Document.UndoEnabled());
    EXPECT_FALSE(session->HasSnapshot());
    // The kept size is not undone by a later Cancel of an unchanged opening.
    const int32_t n = program->Document.N();
    session->Take_Backup();
    session->Restore();
    EXPECT_EQ(program->Document.N(), n);
}

TEST(Sysinfo, WrittenThenReadAndLeadingNumbersOnly) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("VELDA.ini"));
    {
        clsRegistry r(ini);
        SystemParameter p;
        p.ModelNo = 4;
        p.GpibAddress = 17;
        p.MemorySizeNo = 2;
        Write_Sysinfo(r, p);
        const SavedSysinfo s = Read_Sysinfo(r);
        EXPECT_EQ(s.model, 4);
        EXPECT_EQ(s.address, 17);
        EXPECT_EQ(s.memorySize, 2);
    }
    struct Row {
        const char* stored; // nullptr: absent
        int read;
    };
    for (const Row r : {Row{nullptr, 0}, Row{"False", 0}, Row{"12", 12}, Row{"7abc", 7}, Row{"", 0},
                        Row{"-1", -1}}) {
        {
            QSettings s(ini, QSettings::IniFormat);
            if (r.stored)
                s.setValue(QStringLiteral("Sysinfo/sys_no"), QString::fromLatin1(r.stored));
            else
                s.remove(QStringLiteral("Sysinfo/sys_no"));
        }
        clsRegistry reg(ini);
        EXPECT_EQ(Read_Sysinfo(reg).model, r.read) << (r.stored ? r.stored : "absent");
    }
}
