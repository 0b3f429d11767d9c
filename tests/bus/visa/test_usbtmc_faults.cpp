// Faults through the USB(TMC) back end on our own VISA layer: each ends in
// a status word and trace-log lines that name the resource, never a hang.
#include "ScpiListener.h"
#include "bus/USBTMC_MDL.h"
#include "bus/visa/OwnVisa.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace velda;
using velda::test::RefusingPort;
using velda::test::ScpiListener;

namespace {

QStringList logLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList l = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
    if (!l.isEmpty() && l.back().isEmpty())
        l.removeLast();
    return l;
}

} // namespace

TEST(UsbTmcFaults, EachEndsInAStatusAndATraceLine) {
    enum Step { InitOnly, Query, BigBlock };
    struct Case {
        const char* name;
        ScpiListener::Options listener;
        bool useListener;
        const char* resource; // %1 = the listener's port
        Step step;
        bus::Status status;
        const char* sentence;
    } cases[] = {
        {"refused",
         {},
         false,
         "TCPIP0::127.0.0.1::%1::SOCKET", // a port that refuses
         InitOnly,
         bus::StatusError,
         "Cannot connect"},
        {"unknown host",
         {},
         false,
         "TCPIP0::nonexistent.invalid::5025::SOCKET",
         InitOnly,
         bus::StatusError,
         "unknown"},
        {"other resource",
         {},
         false,
         "GPIB0::5::INSTR",
         InitOnly,
         bus::StatusError,
         "No instrument"},
        {"reply never ends",
         {},
         true,
         "TCPIP0::127.0.0.1::%1::SOCKET",
         Query,
         bus::StatusTimeOut,
         "did not end"},
        {"never reads",
         {true, 4096, 0, true},
         true,
         "TCPIP0::127.0.0.1::%1::SOCKET",
         BigBlock,
         bus::StatusTimeOut,
         "stopped taking"},
        {"closes mid block",
         {false, 0, 4096, true},
         true,
         "TCPIP0::127.0.0.1::%1::SOCKET",
         BigBlock,
         bus::StatusError,
         "lost"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("trace.log"));
        std::unique_ptr<ScpiListener> inst;
        QString resource = QString::fromLatin1(c.resource);
        const RefusingPort refusing;
        if (c.useListener) {
            inst = std::make_unique<ScpiListener>(c.listener);
            resource = resource.arg(inst->port());
        } else if (resource.contains(QLatin1String("%1"))) {
            resource = resource.arg(refusing.port());
        }
        bus::BusContext context;
        context.endProgram = [] {};
        bus::USBTMC_MDL m(context);
        m.Set_Provider_Factory([] { return std::make_unique<visa::OwnVisa>(); });
        bus::Status st = m.GP_Init(QStringLiteral("LOG_FILE = ") + log +
                                   QStringLiteral(", USBTMC_NAME = ") + resource);
        if (c.step != InitOnly) {
            ASSERT_EQ(st, bus::StatusOk);
            ASSERT_EQ(m.GP_Time_Out(9), bus::StatusOk); // 100 ms
            if (c.step == Query) {
                ASSERT_EQ(m.GP_Send_Str(0, QStringLiteral("NOEND?")), bus::StatusOk);
                QString reply;
                st = m.GP_Receive_Str(0, reply);
                EXPECT_EQ(reply, QString(256, QLatin1Char(' ')));
            } else {
                std::vector<uint8_t> block(16u << 20, 0x55);
                st = m.GP_Send_AsciiBinary_Data(
                    QStringLiteral("#800000000"), std::span<const uint8_t>(block), 0,
                    static_cast<int32_t>(block.size()), bus::FormatByte, 0, 0);
            }
        }
        EXPECT_EQ(st, c.status);
        EXPECT_TRUE(m.Last_Error_Text().contains(QLatin1String(c.sentence)))
            << m.Last_Error_Text().toStdString();
        const QStringList lines = logLines(log);
        ASSERT_GE(lines.size(), 2);
        // The operation's own line ends the log, with its status suffix; the
        // sentence before it names the resource.
        EXPECT_TRUE(lines.back().endsWith(c.status == bus::StatusTimeOut
                                              ? QStringLiteral(" Time Out")
                                              : QStringLiteral(" Error")))
            << lines.back().toStdString();
        bool named = false;
        for (const QString& l : lines)
            named = named || (l.startsWith(resource) && l.contains(QLatin1String(c.sentence)));
        EXPECT_TRUE(named) << lines.join(QLatin1Char('\n')).toStdString();
    }
}
