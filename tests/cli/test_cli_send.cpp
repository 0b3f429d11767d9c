// `velda send` over the simulated bus: the built program, a replies file in
// place of the instrument, the trace log checked.
#include "CliRunner.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velda;
using namespace velda::test;

namespace {

std::string str(const QString& s) {
    return s.toStdString();
}

// 1024 data words, a ramp, as a text waveform.
QByteArray rampText() {
    QByteArray b;
    for (int i = 0; i < 1024; ++i)
        b += QByteArray::number(i * 64 - 32768 + 1) + "\r\n";
    return b;
}

} // namespace

TEST(CliSend, SimulatedBusTransfersAndExitCodes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto path = [&dir](const char* n) { return dir.filePath(QString::fromLatin1(n)); };
    ASSERT_TRUE(Write_Bytes(path("w.txt"), rampText()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    ASSERT_TRUE(Write_Bytes(path("ok.ini"), "[ADRS1]\n*IDN?=MAKERX,AWG-1101,12345,1.00\n*ESR?=0\n"
                                            ":SYST:ERR?=0,\"No error\"\n"));
    ASSERT_TRUE(Write_Bytes(path("other.ini"), "[ADRS1]\n*IDN?=MAKERX,XYZ-9999,12345,1.00\n"
                                               "*ESR?=0\n:SYST:ERR?=0,\"No error\"\n"));
    ASSERT_TRUE(Write_Bytes(path("fault.ini"), "[ADRS1]\n*IDN?=MAKERX,AWG-1101,12345,1.00\n"
                                               "*ESR?=32\n:SYST:ERR?=-113,\"Undefined header\"\n"));
    // The settings file of the runs, which a log may not replace.
    const QString settings = qEnvironmentVariable("XDG_CONFIG_HOME") + "/VELDA/VELDA.ini";
    // A model file of the user's, read instead of the shipped one.
    const QString models = qEnvironmentVariable("XDG_CONFIG_HOME") + "/VELDA/models.toml";
    const QByteArray modelText = File_Bytes(QStringLiteral(VELDA_SOURCE_DIR "/data/models.toml"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(models).path()) && Write_Bytes(models, modelText));
    const QStringList bus{"--interface", "sim",      "--address", "1",
                          "--model",     "AWG-1101", "--log",     "t.log"};
    struct Row {
        QStringList args;
        int exitCode;
        QStringList logHas; // lines of the trace log
        QStringList logLacks;
        QString outIs;
    };
    const std::vector<Row> rows{
        // The log holds the whole run: the set-up's lines and the waveform's.
        {{"--replies", "ok.ini", "w.txt"}, 0, {"*IDN?", ":FREQ ", ":TRAC:DATA"}, {}, ""},
        {{"--replies", "ok.ini", "--settings", "w.txt"}, 0, {"*IDN?"}, {":TRAC:DATA"}, ""},
        {{"--replies", "ok.ini", "--wave", "w.txt"}, 0, {":TRAC:DATA"}, {}, ""},
        {{"--replies", "ok.ini", "--loops", "3", "w.txt"}, 0, {":TRAC:DATA"}, {}, "Loops\t3\n"},
        {{"--replies", "other.ini", "--wave", "w.txt"}, 5, {"*IDN?"}, {":TRAC:DATA"}, ""},
        {{"--replies", "fault.ini", "--settings", "w.txt"}, 5, {"*ESR?"}, {}, ""},
        {{"--replies", "ok.ini", "missing.wdb"}, 3, {}, {}, ""},
        {{"--interface", "pigeon", "w.txt"}, 2, {}, {}, ""},
        {{"--resource", "no-colons", "w.txt"}, 2, {}, {}, ""},
        // Another bus would not reach the instrument named.
        {{"--resource", "TCPIP0::127.0.0.1::5025::SOCKET", "w.txt"}, 2, {}, {}, ""},
        {{"--serial", "12345", "w.txt"}, 2, {}, {}, ""},
        {{"--settings", "--wave", "w.txt"}, 2, {}, {}, ""},
        {{"--loops", "0", "w.txt"}, 2, {}, {}, ""},
        // One time-out for every operation, the data block's too.
        {{"--replies", "ok.ini", "--timeout", "3", "--wave", "w.txt"},
         0,
         {"GP_Time_Out\"3s\""},
         {"GP_Time_Out\"1s\"", "GP_Time_Out\"30s\""},
         ""},
        {{"--timeout", "0", "w.txt"}, 2, {}, {}, ""},
        {{"--timeout", "soon", "w.txt"}, 2, {}, {}, ""},
        {{"--timeout", "1001", "w.txt"}, 2, {}, {}, ""},
        // A name the bus settings cannot carry is refused, not cut at its comma.
        {{"--replies", "ok.ini", "--log", "w.txt,t.log", "w.txt"}, 2, {}, {}, ""},
        // The log is emptied when the bus starts: never a file the run reads;
        // a log or replies file the bus cannot use is found out first.
        {{"--replies", "ok.ini", "--log", "w.txt", "w.txt"}, 2, {}, {}, ""},
        {{"--replies", "ok.ini", "--log", "ok.ini", "w.txt"}, 2, {}, {}, ""},
        {{"--replies", "ok.ini", "--log", settings, "w.txt"}, 2, {}, {}, ""},
        {{"--replies", "ok.ini", "--log", models, "w.txt"}, 2, {}, {}, ""},
        {{"--replies", "ok.ini", "--log", "no/such/t.log", "w.txt"}, 3, {}, {}, ""},
        {{"--replies", "none.ini", "w.txt"}, 3, {}, {}, ""},
        // A pipe would hold the run until another program opened it.
        {{"--replies", "fifo", "w.txt"}, 3, {}, {}, ""},
        {{"--replies", "ok.ini", "--log", "fifo", "w.txt"}, 3, {}, {}, ""},
        // The sample the program ships answers a whole transfer.
        {{"--replies", VELDA_SOURCE_DIR "/data/replies.ini", "w.txt"}, 0, {":TRAC:DATA"}, {}, ""},
    };
    const QByteArray wave = File_Bytes(path("w.txt"));
    for (const Row& row : rows) {
        QFile::remove(path("t.log"));
        const CliRun r = Run_Velda(QStringList{"send", "--quiet"} + bus + row.args, dir.path());
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, row.exitCode) << str(row.args.join(' ')) << str(r.errText());
        const QString log = QString::fromUtf8(File_Bytes(path("t.log")));
        for (const QString& s : row.logHas)
            EXPECT_TRUE(log.contains(s)) << str(row.args.join(' ')) << " lacks " << str(s);
        for (const QString& s : row.logLacks)
            EXPECT_FALSE(log.contains(s)) << str(row.args.join(' ')) << " has " << str(s);
        EXPECT_EQ(r.outText(), row.outIs) << str(row.args.join(' '));
        // The closing box names the log the bus wrote, when it was opened;
        // a run refused before leaves none behind.
        const bool opened = row.exitCode == 0 || row.exitCode == 5;
        EXPECT_EQ(QFile::exists(path("t.log")), opened) << str(row.args.join(' '));
        EXPECT_FALSE(QFile::exists(path("w.txt,t.log")));
        EXPECT_EQ(r.errText().contains("written to\nvelda: " + path("t.log") + "\n"), opened)
            << str(r.errText());
        EXPECT_EQ(File_Bytes(path("w.txt")), wave) << str(row.args.join(' '));
        EXPECT_EQ(File_Bytes(models), modelText) << str(row.args.join(' '));
    }
    QFile::remove(models);
}

// A text waveform holds points only: it is read at the count of the model
// it is sent to, not at the count saved before, so no point is cut or
// sent as zero.
TEST(CliSend, TextWaveformIsReadAtTheCountOfTheModelItGoesTo) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto path = [&dir](const char* n) { return dir.filePath(QString::fromLatin1(n)); };
    // The saved set-up has 4096 points; this model takes 16384 at least.
    QByteArray text;
    for (int i = 0; i < 16384; ++i)
        text += "16384\r\n";
    ASSERT_TRUE(Write_Bytes(path("w.txt"), text));
    ASSERT_TRUE(Write_Bytes(path("r.ini"), "[ADRS1]\n*IDN?=MAKERX,AWG-2202,1,1\n*ESR?=0\n*STB?=0\n"
                                           ":SYST:ERR?=0,\"No error\"\n"));
    const CliRun r =
        Run_Velda({"send", "--quiet", "--wave", "--interface", "sim", "--address", "1", "--model",
                   "AWG-2202", "--replies", "r.ini", "--log", "t.log", "w.txt"},
                  dir.path());
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << str(r.errText());
    QStringList pieces;
    for (const QString& line : QString::fromUtf8(File_Bytes(path("t.log"))).split('\n'))
        if (line.contains("GP_Send_Binary_Data"))
            pieces << line;
    ASSERT_EQ(pieces.size(), 16384 * 2 / 512);
    EXPECT_EQ(pieces.front().section('"', 1, 1), pieces.back().section('"', 1, 1));
}

// A resource takes the run to the USB(TMC) bus; a model without one says so.
TEST(CliSend, AResourceForAModelWithoutUsbTmcIsRefused) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(Write_Bytes(dir.filePath("w.txt"), "0\r\n"));
    const CliRun r = Run_Velda({"send", "--quiet", "--model", "AWG-2201", "--resource",
                                "TCPIP0::127.0.0.1::5025::SOCKET", "w.txt"},
                               dir.path());
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 2) << str(r.errText());
    EXPECT_TRUE(r.errText().contains("has no such interface")) << str(r.errText());
}

// A reader of the messages that goes away mid-transfer (a pipe into head,
// a dropped session) leaves the transfer to end as it would, and the bus
// free for every other copy.
TEST(CliSend, ALostReaderOfTheMessagesLeavesTheBusFree) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString home = dir.filePath("home");
    const QString settings = home + "/.config/VELDA/VELDA.ini";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(settings).path()));
    // The debug boxes print on the way, between the bus's steps.
    ASSERT_TRUE(Write_Bytes(settings, "[System]\nDebugMode=True\n"));
    ASSERT_TRUE(Write_Bytes(dir.filePath("w.txt"), rampText()));
    ASSERT_TRUE(Write_Bytes(dir.filePath("ok.ini"), "[ADRS1]\n*IDN?=MAKERX,AWG-1101,12345,1.00\n"
                                                    "*ESR?=0\n:SYST:ERR?=0,\"No error\"\n"));
    EXPECT_EQ(Run_Velda_Raw({"send", "--quiet", "--interface", "sim", "--address", "1", "--model",
                             "AWG-1101", "--replies", "ok.ini", "w.txt"},
                            dir.path(), 2, home),
              0);
    const QString store = QString::fromUtf8(File_Bytes(settings));
    EXPECT_TRUE(store.contains("DebugMode=True")) << str(store);
    EXPECT_FALSE(store.contains("Busy=True")) << str(store);
}
