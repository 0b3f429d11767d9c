// The test instrument as a program of its own: it prints its port, serves
// the bus, and on SIGTERM tells what it received.
#include "ServerProcess.h"
#include "SocketBus.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

using namespace velda;

namespace {

const QString Server =
    QStringLiteral(VELDA_BINARY_DIR "/tests/fakes/instrument/velda_test_instrument_server");

} // namespace

TEST(TestInstrumentServer, ServesUntilKilledAndReportsWhatCame) {
    struct Case {
        const char* name;
        QStringList args;
        QString query;
        QString reply;
    } cases[] = {
        {"plain model",
         {QStringLiteral("AWG-1102")},
         QStringLiteral("*IDN?"),
         QStringLiteral("VELDAT,AWG-1102,SN001,1.00")},
        {"error status",
         {QStringLiteral("AWG-1102"), QStringLiteral("--error"), QStringLiteral("16"),
          QStringLiteral("-100,\"Command error\"")},
         QStringLiteral("*ESR?"),
         QStringLiteral("16")},
        {"another model's identity",
         {QStringLiteral("FG-4101"), QStringLiteral("--identify"), QStringLiteral("FG-9999")},
         QStringLiteral("*IDN?"),
         QStringLiteral("VELDAT,FG-9999,SN001,1.00")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::ServerProcess server(c.args, 10000);
        ASSERT_TRUE(server.Listening());

        const auto owned = test::SocketBus(server.Resource());
        bus::GP_common& gp = *owned;
        ASSERT_EQ(gp.GP_Init(QString()), bus::StatusOk);
        ASSERT_EQ(gp.GP_Time_Out(12), bus::StatusOk);
        ASSERT_EQ(gp.GP_Send_Str(0, c.query), bus::StatusOk);
        QString reply;
        ASSERT_EQ(gp.GP_Receive_Str(0, reply), bus::StatusOk);
        EXPECT_EQ(reply, c.reply);

        const QString rest = server.Stop();
        ASSERT_EQ(server.Process().state(), QProcess::NotRunning);
        EXPECT_EQ(server.Process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(server.Process().exitCode(), 0);
        EXPECT_EQ(rest, QStringLiteral("line ") + c.query + QStringLiteral("\n"));
    }
}

TEST(TestInstrumentServer, RefusesAModelItDoesNotKnow) {
    QProcess proc;
    proc.start(Server, {QStringLiteral("NO-SUCH-MODEL")});
    ASSERT_TRUE(proc.waitForFinished(10000));
    EXPECT_EQ(proc.exitCode(), 1);
    EXPECT_TRUE(proc.readAllStandardError().contains("no model NO-SUCH-MODEL"));
}
