#include "FakeLibrary.h"
#include "RecordingProgress.h"
#include "TestSupport.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "bus/BusContext.h"
#include "control/Transfer.h"
#include "control/TransferProgress.h"
#include "control/WaveData.h"
#include "engine/wavelb32.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

using namespace velda;
using namespace velda::control;

namespace {

// A started program on the simulated bus whose replies come from a file
// written by the test.
struct Rig {
    QTemporaryDir dir;
    test::RecordingPrompts prompts;
    std::unique_ptr<Program> program;
    test::RecordingProgress progress;
    std::unique_ptr<Transfer> transfer;

    QString ini() const { return dir.filePath(QStringLiteral("VELDA.ini")); }
    QString replies() const { return dir.filePath(QStringLiteral("replies.ini")); }

    explicit Rig(int model) {
        QFile::remove(Transfer::Simulated_LogPath());
        QSettings(ini(), QSettings::IniFormat)
            .setValue(QStringLiteral("System/BusInit"), QStringLiteral("INI_FILE = ") + replies());
        program = std::make_unique<Program>(ProgramOptions{test::sourceDataDir(), ini(), {}});
        EXPECT_TRUE(program->Start_Up());
        program->Apply_SizeChange(program->Setup.Change_Model(model));
        program->Setup.InterfaceKind = IfSimulated;
        transfer = std::make_unique<Transfer>(*program, progress);
        prompts.clear();
    }

    SystemParameter& param() { return program->Setup.Param; }

    // What an instrument of the current model answers to `query`.
    QString identity(QString* query = nullptr) {
        clsGpibCommand main;
        Load_Script(main, program->Setup.CommandTables[0], program->Setup.Param);
        int32_t start = 0, length = 0;
        QString expected;
        const QString asked = main.Model(start, length, expected);
        if (query)
            *query = asked;
        return QString(std::max(start, 1) - 1, QLatin1Char('X')) + expected +
               QStringLiteral(",SN1,1.0");
    }

    // Replies that a well-behaved instrument of the current model gives.
    // `ready`: what the power source answers to the ready question.
    void writeReplies(const QString& idn = {}, const QString& esr = QStringLiteral("0"),
                      const QString& ready = QStringLiteral("0"),
                      const QString& errorText = QStringLiteral("-222,\"Data out of range\"")) {
        clsGpibCommand main;
        Load_Script(main, program->Setup.CommandTables[0], program->Setup.Param);
        QString query;
        const QString own = identity(&query);
        const QString id = idn.isEmpty() ? own : idn;
        QFile f(replies());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QString text = QStringLiteral("[ADRS%1]\n").arg(param().GpibAddress);
        if (!query.isEmpty())
            text += query + QLatin1Char('=') + id + QLatin1Char('\n');
        if (!main.GetStatus().isEmpty())
            text += main.GetStatus() + QLatin1Char('=') + esr + QLatin1Char('\n');
        if (!main.GetErrorMessage().isEmpty())
            text += main.GetErrorMessage() + QLatin1Char('=') + errorText + QLatin1Char('\n');
        text += QStringLiteral("MODE?=AC-INT\n:VOLT:RANG?=100\nSTAT:OPER:COND?=") + ready +
                QLatin1Char('\n');
        f.write(text.toLatin1());
    }

    QStringList log() const {
        QFile f(Transfer::Simulated_LogPath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
};

} // namespace

namespace {

// The texts the simulated bus was given, in order ("<" sends, ">" replies).
QStringList sentTexts(const QStringList& log) {
    QStringList out;
    for (const QString& line : log) {
        const qsizetype q = line.indexOf(QLatin1Char('"'));
        if (line.contains(QStringLiteral("GP_Send_Str")))
            out << line.mid(q + 1, line.lastIndexOf(QLatin1Char('"')) - q - 1);
    }
    return out;
}

QStringList binaryLines(const QStringList& log) {
    QStringList out;
    for (const QString& line : log)
        if (line.contains(QStringLiteral("GP_Send_Binary_Data")))
            out << line;
    return out;
}

// A waveform that uses the whole scale, so both bytes of a word matter.
void fillRamp(Program& program) {
    auto words = engine::bufferWords(program.Document.CurrentBuf());
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<int16_t>(-32767 + static_cast<int>((i * 4099) % 65535));
}

} // namespace

TEST(Transfer, EveryShippedModelTakesItsWaveAndSetUpOverTheSimulatedBus) {
    int models = 0;
    {
        Rig probe(0);
        models = int(probe.program->Setup.ModelNames.size());
    }
    ASSERT_GE(models, 2);
    for (int m = 0; m < models; ++m) {
        Rig rig(m);
        fillRamp(*rig.program);
        rig.writeReplies();
        const SystemParameter& p = rig.param();
        const std::string name = p.ModelName.trimmed().toStdString();

        ASSERT_EQ(rig.transfer->Send_Wave(), TransferResult::Done)
            << name << ": " << rig.prompts.boxTexts().join(QLatin1Char('|')).toStdString();
        EXPECT_FALSE(rig.program->Registry->GpibBusy()) << name;
        const QStringList log = rig.log();

        // The data: 2 bytes a point, each word divided by the mask's step,
        // high byte first unless swapped.
        clsGpibCommand wave;
        Load_Script(wave, rig.program->Setup.CommandTables[3], rig.program->Setup.Param);
        const int16_t d = Mask_Divisor(wave.ArbBitMask());
        const bool swap = wave.ArbByteSwap();
        bool isHeader = false;
        const QString line = rig.transfer->Build_SendLine(wave, 2 * p.MemorySize, &isHeader);
        QByteArray block;
        const auto words = engine::bufferWords(rig.program->Document.CurrentBuf());
        for (int i = 0; i < p.MemorySize; ++i) {
            const auto v = static_cast<uint16_t>(
                static_cast<int>(std::nearbyint(double(words[size_t(i)]) / d)) & 0xFFFF);
            const char hi = char(v >> 8), lo = char(v & 0xFF);
            block.append(swap ? lo : hi).append(swap ? hi : lo);
        }
        ASSERT_EQ(rig.transfer->WaveBytes(), block) << name;

        // The pieces hold the data alone, so every piece starts on a word.
        const QStringList pieces = binaryLines(log);
        ASSERT_EQ(pieces.size(), (block.size() + 511) / 512) << name;
        QStringList first;
        for (int i = 0; i < 15; ++i)
            first << QString::number(uint8_t(block[i]));
        EXPECT_TRUE(pieces.front().contains(QLatin1Char('"') + first.join(QLatin1Char(',')) +
                                            QLatin1Char('"')))
            << name << ": " << pieces.front().toStdString();
        // The send line goes out once; a header right before the data.
        const QStringList sent = sentTexts(log);
        EXPECT_EQ(sent.count(line), 1) << name << ": " << line.toStdString();
        const qsizetype firstPiece = log.indexOf(pieces.front());
        ASSERT_GT(firstPiece, 0);
        if (isHeader) {
            EXPECT_TRUE(log[firstPiece - 1].contains(QLatin1Char('"') + line + QLatin1Char('"')))
                << name << ": " << log[firstPiece - 1].toStdString();
        }
        EXPECT_TRUE(pieces.front().startsWith(QString::number(p.GpibAddress) + QLatin1Char(' ')))
            << name;
        const qsizetype lf = sent.indexOf(QStringLiteral("\n"));
        ASSERT_GE(lf, 0) << name;
        ASSERT_LT(lf + 1, sent.size()) << name;
        EXPECT_EQ(sent[lf + 1], Function_Command(p.ModelNo, p.MemoryNo)) << name;

        ASSERT_EQ(rig.transfer->Send_Settings(), TransferResult::Done)
            << name << ": " << rig.prompts.boxTexts().join(QLatin1Char('|')).toStdString();
        EXPECT_FALSE(rig.program->Registry->GpibBusy()) << name;
        EXPECT_TRUE(binaryLines(rig.log()).isEmpty()) << name;
    }
}

TEST(Transfer, OscillatorLinesGoOutInTheirOrder) {
    // AWG-1101: one channel, memory numbers, offset switch and level.
    Rig rig(1);
    SystemParameter& p = rig.param();
    ASSERT_EQ(p.ModelName.trimmed(), QStringLiteral("AWG-1101"));
    p.Frequency = 2500;
    p.Amplitude = 1.5;
    p.Offset = -0.25;
    p.OffsetOn = 1;
    p.RangeNo = 0;
    p.OutputState = 0;
    p.MemoryNo = 2;
    rig.writeReplies();

    ASSERT_EQ(rig.transfer->Send_Settings(), TransferResult::Done);
    const QStringList settings{
        QString(),
        QStringLiteral("*IDN?"),
        QStringLiteral(
            ":FREQ 2500.000;:VOLT:OFFS:STAT ON;:VOLT:RANG 0;:VOLT 1.5000;:VOLT:OFFS -0.2500"),
        QStringLiteral("*ESR?"),
        QStringLiteral(":OUTP ON"),
        QStringLiteral("*ESR?")};
    EXPECT_EQ(sentTexts(rig.log()), settings);

    ASSERT_EQ(rig.transfer->Send_Wave(), TransferResult::Done);
    const QString line =
        QStringLiteral(":TRAC:POIN %1;:TRAC:BANK 2;:FORM:BORD SWAP;:TRAC:DATA").arg(p.MemorySize);
    const QStringList wave{QString(),
                           QStringLiteral("*ESR?"),
                           QStringLiteral("*IDN?"),
                           line,
                           QStringLiteral("\n"),
                           QStringLiteral("FNC 6"),
                           QStringLiteral("*ESR?"),
                           QStringLiteral(":OUTP ON"),
                           QStringLiteral("*ESR?")};
    EXPECT_EQ(sentTexts(rig.log()), wave);

    // A script's own command to play the waveform stands for the model's
    // (an added instrument has no place in the models' own table); an
    // empty one sends none.
    const std::pair<QString, QStringList> own[] = {
        {QStringLiteral(":FUNC:USER,0"), {QStringLiteral(":FUNC:USER 2")}},
        {QStringLiteral("':FUNC ARB;:FUNC:ARB _$Name'"),
         {QStringLiteral(":FUNC ARB;:FUNC:ARB W1")}},
        {QString(), {}},
    };
    CommandTable& table = rig.program->Setup.CommandTables[3];
    const CommandTable shipped = table;
    p.MemoryName = QStringLiteral("W1"); // the model sends no name of its own
    for (const auto& [text, expected] : own) {
        table = shipped;
        table.keys.insert(table.rows, QStringLiteral("arbfunc"));
        table.texts.insert(table.rows, text);
        ++table.rows;
        ASSERT_EQ(rig.transfer->Send_Wave(), TransferResult::Done) << text.toStdString();
        QStringList mine = wave;
        mine.removeAt(mine.indexOf(QStringLiteral("FNC 6")));
        for (qsizetype i = 0; i < expected.size(); ++i)
            mine.insert(5 + i, expected[i]);
        EXPECT_EQ(sentTexts(rig.log()), mine) << text.toStdString();
        EXPECT_FALSE(rig.prompts.boxTexts().join(QLatin1Char('|')).contains("Script Error"))
            << text.toStdString();
    }
}

TEST(Transfer, PowerSourceSwitchesModeAndRangeOnlyWhenTheyDiffer) {
    Rig rig(0);
    SystemParameter& p = rig.param();
    p.ChannelNo = 2; // the instrument answers AC-INT (0)
    p.RangeNo = 0;   // and range 100 (0)
    p.OffsetSettable = 1;
    p.Amplitude = 100;
    p.Offset = -12.5;
    p.Frequency = 50;
    p.OutputState = 1;
    rig.writeReplies();
    ASSERT_EQ(rig.transfer->Send_Settings(), TransferResult::Done)
        << rig.prompts.boxTexts().join(QLatin1Char('|')).toStdString();
    const QStringList expected{QStringLiteral("*CLS"),
                               QStringLiteral("*IDN?"),
                               QStringLiteral("MODE?"),
                               QStringLiteral(":Outp 0"),
                               QStringLiteral(":Mode ACDC-INT"),
                               QStringLiteral("STAT:OPER:COND?"),
                               QStringLiteral(":VOLT:RANG?"),
                               QStringLiteral(":FUNC ARB;:VOLT 100;:VOLT:OFFS -12.5;:Freq 50"),
                               QStringLiteral("Outp 0"),
                               QStringLiteral("STAT:OPER:COND?"),
                               QStringLiteral("*ESR?")};
    EXPECT_EQ(sentTexts(rig.log()), expected);
}

TEST(Transfer, EveryWayOutGivesTheBusBack) {
    enum Path {
        EmptySerial,
        Busy,
        AddressClash,
        NoMask,
        WrongModel,
        InstrumentError,
        InstrumentErrorNoText,
        CancelEarly,
        Cancel,
        Done
    };
    struct Case {
        const char* what;
        Path path;
        TransferResult result;
        QString box; // start of the box text that must be shown (empty: none)
        bool opened; // the bus was opened
    } cases[] = {
        {"empty serial number", EmptySerial, TransferResult::NothingSent,
         QStringLiteral("Please Input the Serial Number!"), false},
        {"another copy holds the bus", Busy, TransferResult::Busy, MessageText(223, true), false},
        {"instrument at the controller's address", AddressClash, TransferResult::NothingSent,
         MessageText(224, true), false},
        {"wave script without a bit mask", NoMask, TransferResult::NothingSent,
         NoBitMaskText().chopped(1), false},
        {"another model answers", WrongModel, TransferResult::Failed, MessageText(230, true), true},
        {"the instrument reports an error", InstrumentError, TransferResult::Failed,
         QStringLiteral("-222,\"Data out of range\""), true},
        {"an error without a text", InstrumentErrorNoText, TransferResult::Failed,
         MessageText(230, true), true},
        // Cancel counts from the moment the window is up, and its stop
        // shows no failure of the steps it ends.
        {"cancelled before the data block", CancelEarly, TransferResult::Cancelled, QString(),
         true},
        {"cancelled in the data block", Cancel, TransferResult::Cancelled, QString(), true},
        {"sent", Done, TransferResult::Done, QString(), true},
    };
    for (const Case& c : cases) {
        Rig rig(1);
        const bool error = c.path == InstrumentError || c.path == InstrumentErrorNoText;
        rig.writeReplies(c.path == WrongModel ? QStringLiteral("XXXXXXXAWG-9999") : QString(),
                         error ? QStringLiteral("32") : QStringLiteral("0"), QStringLiteral("0"),
                         c.path == InstrumentErrorNoText
                             ? QString()
                             : QStringLiteral("-222,\"Data out of range\""));
        std::unique_ptr<clsRegistry> other;
        if (c.path == EmptySerial)
            rig.program->Setup.InterfaceKind = IfUsbTmc;
        if (c.path == Busy) {
            other = std::make_unique<clsRegistry>(rig.ini());
            ASSERT_TRUE(other->TryTakeGpibBus());
        }
        if (c.path == AddressClash)
            rig.param().GpibAddress = 0; // the simulated controller's own
        if (c.path == NoMask) {
            CommandTable& wave = rig.program->Setup.CommandTables[3];
            for (qsizetype i = 0; i < wave.keys.size(); ++i)
                if (wave.keys[i].trimmed() == QStringLiteral("arbmask"))
                    wave.texts[i] = QStringLiteral("0");
        }
        if (c.path == Cancel) {
            rig.param().MemorySize = 1024;
            rig.progress.cancelAfter = 2;
        }
        if (c.path == CancelEarly)
            rig.progress.cancelAt = QStringLiteral("Data convert");
        QStringList sentAtClose;
        rig.progress.onClose = [&] { sentAtClose = sentTexts(rig.log()); };
        const TransferResult got = rig.transfer->Btn_Trans_Click(Transfer::WaveButton, QString());
        EXPECT_EQ(got, c.result) << c.what;
        EXPECT_FALSE(rig.program->Registry->GpibBusy() && !other) << c.what;
        if (other) {
            EXPECT_TRUE(rig.program->Registry->GpibBusy()) << c.what << ": the other claim stays";
            other->ReleaseGpibBus();
        }
        // Whoever comes next can take the bus.
        EXPECT_TRUE(rig.program->Registry->TryTakeGpibBus()) << c.what;
        rig.program->Registry->ReleaseGpibBus();
        const QStringList boxes = rig.prompts.boxTexts();
        if (!c.box.isEmpty()) {
            EXPECT_TRUE(!boxes.isEmpty() && promptLines(boxes.front()).startsWith(c.box))
                << c.what << ": " << boxes.join(QLatin1Char('|')).toStdString();
        }
        const QStringList log = rig.log();
        EXPECT_EQ(!log.isEmpty(), c.opened) << c.what;
        if (c.opened) { // the bus went back to local, once after it was last used
            EXPECT_EQ(log.back(), QStringLiteral("ALL < GP_REN")) << c.what;
            qsizetype last = log.size() - 1;
            while (last >= 0 && !log[last].contains(QStringLiteral(" GP_Send")) &&
                   !log[last].contains(QStringLiteral(" GP_SDC")))
                --last;
            EXPECT_EQ(log.mid(last + 1).count(QStringLiteral("ALL < GP_REN")), 1) << c.what;
        }
        if (c.path == Cancel) {
            EXPECT_EQ(binaryLines(log).size(), 2) << c.what;
            EXPECT_GE(rig.progress.closed, 1) << c.what;
        }
        if (c.path == Done) { // the block starts from nothing sent
            EXPECT_EQ(rig.progress.firstSendValue, 0);
            // The window (and its Cancel) stays up until the last check.
            EXPECT_EQ(rig.progress.closed, 1);
            EXPECT_EQ(sentAtClose, sentTexts(log));
        }
        if (c.path == CancelEarly) {
            EXPECT_TRUE(sentTexts(log).isEmpty()) << c.what;
            EXPECT_TRUE(boxes.isEmpty()) << c.what << ": " << boxes.join('|').toStdString();
            EXPECT_GE(rig.progress.closed, 1) << c.what;
        }
    }
}

// A bus that cannot be opened: its failure is shown, and nothing more is
// tried on it (closing it would only try the set-up again, box after box).
TEST(Transfer, ABusThatCannotBeOpenedEndsAtItsFailure) {
    Rig rig(1);
    rig.writeReplies();
    rig.program->Registry->setSetting(bus::LibrarySection, bus::LibraryKeyNiGpib,
                                      rig.dir.filePath(QStringLiteral("none.so")));
    rig.program->Setup.InterfaceKind = IfNiGpib;
    EXPECT_EQ(rig.transfer->Send_Wave(), TransferResult::Failed);
    const QStringList boxes = rig.prompts.boxTexts();
    ASSERT_FALSE(boxes.isEmpty());
    EXPECT_EQ(promptLines(boxes.back()), MessageText(207, true));
    EXPECT_EQ(
        std::count_if(boxes.begin(), boxes.end(),
                      [](const QString& b) { return promptLines(b) == MessageText(207, true); }),
        1)
        << boxes.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(boxes.filter(QStringLiteral("Function Local")).size(), 0);
    // The interface's box names what is missing, so the user can mend it.
    EXPECT_TRUE(boxes.front().contains(QStringLiteral("none.so"))) << boxes.front().toStdString();
    EXPECT_FALSE(rig.program->Registry->GpibBusy());
}

// With the debug boxes on, the waveform-send line is shown once, in its
// own box, before it goes out.
TEST(Transfer, DebugModeShowsTheWaveSendLineOnce) {
    Rig rig(1);
    rig.writeReplies();
    rig.param().MemorySize = 1024;
    rig.program->Registry->setDebugMode(true);
    ASSERT_EQ(rig.transfer->Send_Wave(), TransferResult::Done);
    const auto& boxes = rig.prompts.boxes;
    const auto line = std::find_if(boxes.begin(), boxes.end(),
                                   [](const BoxRequest& b) { return b.title == "GpPuts"; });
    ASSERT_NE(line, boxes.end());
    EXPECT_EQ(std::count_if(boxes.begin(), boxes.end(),
                            [&](const BoxRequest& b) { return b.text == line->text; }),
              1);
}

TEST(Transfer, SecondCopyIsRefusedWhileTheFirstHoldsTheBus) {
    Rig first(1);
    first.writeReplies();
    // A second program on the same settings file.
    test::RecordingPrompts prompts;
    Program second(ProgramOptions{test::sourceDataDir(), first.ini(), {}});
    ASSERT_TRUE(second.Start_Up());
    second.Setup.InterfaceKind = IfSimulated;
    test::RecordingProgress progress;
    Transfer transfer(second, progress);
    prompts.clear();

    ASSERT_TRUE(first.program->Registry->TryTakeGpibBus());
    EXPECT_EQ(transfer.Send_Wave(), TransferResult::Busy);
    EXPECT_EQ(transfer.Send_Settings(), TransferResult::Busy);
    ASSERT_EQ(prompts.boxTexts().size(), 2);
    EXPECT_EQ(promptLines(prompts.boxTexts()[0]), MessageText(223, true));
    EXPECT_TRUE(first.program->Registry->GpibBusy()) << "the first copy's claim is kept";
    first.program->Registry->ReleaseGpibBus();
}

TEST(Transfer, LoopTestCountsTransfersAndWraps) {
    struct Case {
        int32_t count;
        int32_t next;
    } cases[] = {{0, 1}, {1, 2}, {2147483646, 2147483647}, {2147483647, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(Transfer::Next_LoopCount(c.count), c.next) << c.count;

    Rig rig(1);
    rig.writeReplies();
    rig.param().MemorySize = 1024;
    rig.program->Registry->setLoopTest(true);
    EXPECT_EQ(rig.transfer->Loop_Test(3), TransferResult::Done);
    EXPECT_EQ(rig.transfer->LoopCount(), 3);
    EXPECT_EQ(rig.progress.counts, (std::vector<int32_t>{0, 1, 2, 3}));
    // One window for the whole loop: its count stays in view between passes.
    EXPECT_EQ(rig.progress.shown, 1);
    EXPECT_EQ(rig.progress.closed, 1);
    EXPECT_FALSE(rig.transfer->LoopRunning());
    EXPECT_FALSE(rig.program->Registry->GpibBusy());
}

// While the loop waits for a bus another copy holds, this copy is not the
// bus's host, yet it may not end, and Cancel ends the wait.
TEST(Transfer, LoopWaitingForAnotherCopysBusRefusesExitAndEndsOnCancel) {
    Rig rig(1);
    rig.writeReplies();
    rig.param().MemorySize = 1024;
    clsRegistry other(rig.ini());
    ASSERT_TRUE(other.TryTakeGpibBus());
    bool exitRefused = false;
    QObject timers; // ends the timers with the test
    QTimer::singleShot(50, &timers, [&] {
        exitRefused = rig.program->Check_GpibBusy();
        rig.progress.exit = true;
    });
    // Were Cancel not seen, the bus comes free after a while and the loop
    // sends: the test then fails instead of waiting for ever.
    QTimer::singleShot(3000, &timers, [&] { other.ReleaseGpibBus(); });
    EXPECT_EQ(rig.transfer->Loop_Test(1), TransferResult::Cancelled);
    EXPECT_TRUE(exitRefused);
    ASSERT_FALSE(rig.prompts.boxTexts().isEmpty());
    EXPECT_EQ(promptLines(rig.prompts.boxTexts().front()), MessageText(226, true));
    EXPECT_TRUE(rig.log().isEmpty()) << "nothing was sent";
    EXPECT_FALSE(rig.program->Check_GpibBusy()) << "free to end once the loop has";
    other.ReleaseGpibBus();
}

// A second press ends the running loop, whatever the serial-number field
// holds by then: it neither asks for one nor points the loop elsewhere.
TEST(Transfer, ASecondPressEndsTheLoopBeforeLookingAtTheInstrument) {
    Rig rig(1);
    rig.writeReplies();
    rig.param().MemorySize = 1024;
    rig.program->Registry->setLoopTest(true);
    clsRegistry other(rig.ini());
    ASSERT_TRUE(other.TryTakeGpibBus()); // the loop waits, sending nothing
    QObject timers;
    TransferResult second = TransferResult::Failed;
    QTimer::singleShot(50, &timers, [&] {
        rig.program->Setup.InterfaceKind = IfUsbTmc;
        second = rig.transfer->Btn_Trans_Click(Transfer::WaveButton, QString());
    });
    // Were the press not taken, Cancel ends the loop instead.
    QTimer::singleShot(3000, &timers, [&] { rig.progress.exit = true; });
    EXPECT_EQ(rig.transfer->Btn_Trans_Click(Transfer::WaveButton, QString()), TransferResult::Done);
    EXPECT_EQ(second, TransferResult::Done);
    const QStringList boxes = rig.prompts.boxTexts();
    ASSERT_EQ(boxes.size(), 1) << boxes.join('|').toStdString();
    EXPECT_EQ(boxes.front(), QStringLiteral(u"次の転送完了後テストを終了します"));
    other.ReleaseGpibBus();
}

// USB488 sends a block as 16-bit words. A header of odd length would leave
// the last word half empty, and the instrument would read a NUL after the
// data; the line feed that ends the block takes that place instead.
TEST(Transfer, AUsb488BlockWithAnOddHeaderEndsInItsLineFeed) {
    const QString library = test::FakeLibraryPath(QStringLiteral("libfake_usb488ps.so"));
    const test::FakeLibrary fake(QStringLiteral("libfake_usb488ps.so"));
    Rig rig(0); // the power source: ":TRAC Arb<n>,#48192" goes before its data
    rig.program->Setup.InterfaceKind = IfUsb488;
    rig.program->Registry->setSetting(bus::LibrarySection, bus::LibraryKeyUsb488, library);
    fake.Function<void(const char*)>("fake_usb_reset")(
        QByteArray::number(rig.param().GpibAddress).constData());
    // Status, identity, ready, then the status after the block and after the
    // final script.
    for (const QByteArray& r : {QByteArray("0\n"), rig.identity().toLatin1() + "\n",
                                QByteArray("0\n"), QByteArray("0\n"), QByteArray("0\n")})
        fake.Reply(r);
    fillRamp(*rig.program);
    ASSERT_EQ(rig.transfer->Btn_Trans_Click(Transfer::WaveButton, QString()), TransferResult::Done)
        << rig.prompts.boxTexts().join('|').toStdString();
    const QByteArray sent = fake.Sent();
    const QByteArray header = ":TRAC Arb" + QByteArray::number(rig.param().MemoryNo) + ",#48192";
    ASSERT_EQ(header.size() % 2, 1);
    const qsizetype at = sent.indexOf(header);
    ASSERT_GE(at, 0);
    EXPECT_EQ(sent.mid(at + header.size(), 8192), rig.transfer->WaveBytes());
    // The function command follows the line feed at once.
    EXPECT_EQ(sent.mid(at + header.size() + 8192, 10), QByteArray("\n:FUNC ARB"));
}

// An instrument that stays busy is asked every tenth of a second for up to
// half a minute; a stop asked for meanwhile ends that wait at once.
TEST(Transfer, AStopEndsTheWaitForABusyInstrument) {
    Rig rig(0); // the power source waits until ready before its block
    rig.writeReplies({}, QStringLiteral("0"), QStringLiteral("1")); // busy for ever
    const auto polls = [&rig] {
        return rig.log().filter(QStringLiteral("STAT:OPER:COND?")).size();
    };
    rig.transfer->Set_StopAsked([&] { return polls() >= 2; });
    EXPECT_EQ(rig.transfer->Send_Wave(), TransferResult::Cancelled);
    EXPECT_LE(polls(), 3);
    EXPECT_TRUE(binaryLines(rig.log()).isEmpty());
    EXPECT_TRUE(rig.prompts.boxTexts().isEmpty()) << rig.prompts.boxTexts().join('|').toStdString();
    EXPECT_FALSE(rig.program->Registry->GpibBusy());
}

// A stop in the set-up's transfer ends it as cancelled, with none of the
// boxes of the steps it ended, and the bus free.
TEST(Transfer, AStopEndsTheSetUpAsCancelledWithoutBoxes) {
    Rig rig(1);
    rig.writeReplies();
    rig.transfer->Set_StopAsked([&rig] { return !sentTexts(rig.log()).isEmpty(); });
    EXPECT_EQ(rig.transfer->Send_Settings(), TransferResult::Cancelled);
    EXPECT_EQ(sentTexts(rig.log()).size(), 1);
    EXPECT_TRUE(rig.prompts.boxTexts().isEmpty()) << rig.prompts.boxTexts().join('|').toStdString();
    EXPECT_FALSE(rig.program->Registry->GpibBusy());
}
