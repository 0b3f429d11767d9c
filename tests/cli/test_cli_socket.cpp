// `velda send` to the test instrument over a LAN socket, both as programs of
// their own: the bus time-out of the run, a copy that holds the bus while
// another starts, and Ctrl-C in the middle of a transfer.
#include "CliRunner.h"
#include "ModelProfile.h"
#include "ServerProcess.h"
#include "TestSupport.h"
#include "app/Messages.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>

using namespace velda;
using namespace velda::test;

namespace {

std::string str(const QString& s) {
    return s.toStdString();
}

// Only reached when something is broken.
constexpr int Wait = 30000;

// What the instrument records for the waveform of 1024 points.
const QString kBlock = QStringLiteral("block 2048");

class CliSocket : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(home()).mkpath(".config/VELDA"));
        // A model whose waveform goes as an IEEE 488.2 block, so the
        // instrument tells the block apart.
        ASSERT_TRUE(WriteModelFileWith(models().toStdString(),
                                       BlockGeneratorModel("MY-GEN", 1024, "0xFFFC")));
        QByteArray ramp;
        for (int i = 0; i < 1024; ++i)
            ramp += QByteArray::number(i * 64 - 32768 + 1) + "\r\n";
        ASSERT_TRUE(Write_Bytes(dir.filePath("w.txt"), ramp));
        ASSERT_TRUE(Write_Bytes(settings(), "[System]\nGpibBoard=4\n"));
    }
    // A home of this test's own: a second copy must see the first one's
    // settings and instance lock, and nothing of other tests.
    QString home() const { return dir.filePath("home"); }
    QString models() const { return home() + "/.config/VELDA/models.toml"; }
    QString settings() const { return home() + "/.config/VELDA/VELDA.ini"; }
    // The test instrument program, acting as the model above.
    QStringList serverArgs(const QStringList& options) const {
        return QStringList{"MY-GEN", "--models", models()} + options;
    }
    // What the instrument received, one record a line.
    static QStringList received(ServerProcess& server) {
        return server.Stop().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QStringList sendArgs(const ServerProcess& server, const QStringList& extra) const {
        // No --interface: the resource takes the run to the USB(TMC) bus,
        // though the saved set-up is on the simulated one.
        return QStringList{"send",   "--quiet",    "--model",
                           "MY-GEN", "--resource", server.Resource()} +
               extra + QStringList{"w.txt"};
    }
    CliRun send(const ServerProcess& server, const QStringList& extra) const {
        return Run_Velda(sendArgs(server, extra), dir.path(), home());
    }
    bool busy() const {
        return QSettings(settings(), QSettings::IniFormat).value("GPIB0/Busy").toString() ==
               QLatin1String("True");
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(CliSocket, TransfersWithinTheRunsTimeOut) {
    struct Row {
        QStringList server;
        QStringList send;
        int exitCode;
    };
    const std::vector<Row> rows{
        {{}, {}, 0},
        // An answer later than the time-out given.
        {{"--delay", "600"}, {"--timeout", "0.3"}, 4},
        // Later than an operation's own time-out (by far: a slow machine
        // must not let it arrive in time), within the one given.
        {{"--delay", "5000"}, {"--wave"}, 4},
        {{"--delay", "1200"}, {"--wave", "--timeout", "10"}, 0},
    };
    QByteArray savedAfterFirst;
    for (const Row& row : rows) {
        const QString name = (row.server + row.send).join(' ');
        ServerProcess server(serverArgs(row.server));
        ASSERT_TRUE(server.Listening()) << str(name);
        const CliRun r = send(server, row.send);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, row.exitCode) << str(name) << str(r.errText());
        const QStringList got = received(server);
        EXPECT_EQ(got.count(kBlock), row.exitCode == 0 ? 1 : 0) << str(name) << str(got.join('|'));
        if (row.exitCode == 0) {
            EXPECT_TRUE(got.contains("line *IDN?")) << str(got.join('|'));
            EXPECT_TRUE(got.contains("line :FUNC ARB;:FUNC:ARB VELDA1")) << str(got.join('|'));
        } else {
            EXPECT_TRUE(r.errText().contains("(timeout)")) << str(r.errText());
        }
        // The time-out is the run's: the store is as every run leaves it.
        const QByteArray saved = File_Bytes(settings());
        if (savedAfterFirst.isEmpty())
            savedAfterFirst = saved;
        EXPECT_EQ(saved, savedAfterFirst) << str(name);
    }
    EXPECT_FALSE(savedAfterFirst.toLower().contains("timeout"));
}

TEST_F(CliSocket, ACopyHoldsTheBusUntilCtrlCCancelsItsTransfer) {
    ServerProcess server(serverArgs({"--hold"}));
    ASSERT_TRUE(server.Listening());

    // The first copy waits on its first answer, the bus taken, inside the
    // one step of its transfer. Its time-out is long enough never to end the
    // wait.
    QProcess holder;
    holder.setProcessEnvironment(Velda_Environment(home()));
    holder.setWorkingDirectory(dir.path());
    holder.setReadChannel(QProcess::StandardError);
    holder.start(Velda_Executable(), sendArgs(server, {"--wave", "--timeout", "1000"}));
    holder.closeWriteChannel();
    ASSERT_TRUE(server.Wait_For("held"));
    EXPECT_TRUE(busy());

    // A second copy, started meanwhile, finds the bus in use.
    const CliRun second = send(server, {});
    EXPECT_EQ(second.exitCode, 6) << str(second.errText());
    EXPECT_TRUE(second.errText().contains("velda: " + MessageText(223, true)))
        << str(second.errText());
    EXPECT_TRUE(busy());

    // Ctrl-C, taken while the answer is still held: the wait ends without
    // it (the time-out would not come for 1000 s) and nothing more is sent.
    ::kill(static_cast<pid_t>(holder.processId()), SIGINT);
    QByteArray err;
    const QDeadlineTimer deadline(Wait);
    while (!err.contains("stopping") &&
           holder.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
        err += holder.readAllStandardError();
    ASSERT_TRUE(err.contains("stopping")) << err.toStdString();
    const bool ended = holder.waitForFinished(Wait);
    server.Signal(SIGUSR1);
    ASSERT_TRUE(ended || holder.waitForFinished(Wait));
    EXPECT_TRUE(ended) << "the held answer had to come before the copy stopped";
    EXPECT_EQ(holder.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(holder.exitCode(), 130) << (err + holder.readAllStandardError()).toStdString();
    EXPECT_FALSE(busy());

    // The bus is free again: the next send gets through, and its block is
    // the only one the instrument ever got.
    const CliRun next = send(server, {});
    EXPECT_EQ(next.exitCode, 0) << str(next.errText());
    const QStringList got = received(server);
    EXPECT_EQ(got.count(kBlock), 1) << str(got.join('|'));
    EXPECT_EQ(got.filter("block ").size(), 1) << str(got.join('|'));
}
