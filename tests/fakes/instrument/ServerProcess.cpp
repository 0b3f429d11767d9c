#include "ServerProcess.h"

#include <QDeadlineTimer>
#include <signal.h>

namespace velda::test {

ServerProcess::ServerProcess(const QStringList& arguments, int waitMs) : waitMs_(waitMs) {
    proc_.start(QStringLiteral(VELDA_INSTRUMENT_SERVER), arguments);
    const QString portLine = QStringLiteral("port ");
    if (!Wait_For(QStringLiteral("\n")) || !out_.startsWith(portLine))
        return;
    const qsizetype end = out_.indexOf(QLatin1Char('\n'));
    port_ = out_.mid(portLine.size(), end - portLine.size()).trimmed();
    out_.remove(0, end + 1);
}

ServerProcess::~ServerProcess() {
    if (proc_.state() != QProcess::NotRunning) {
        proc_.kill();
        proc_.waitForFinished();
    }
}

QString ServerProcess::Resource() const {
    return QStringLiteral("TCPIP0::127.0.0.1::") + port_ + QStringLiteral("::SOCKET");
}

bool ServerProcess::Wait_For(const QString& text) {
    const QDeadlineTimer deadline(waitMs_);
    while (!out_.contains(text)) {
        if (!proc_.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return false;
        out_ += QString::fromUtf8(proc_.readAllStandardOutput());
    }
    return true;
}

void ServerProcess::Signal(int signal) {
    if (proc_.state() != QProcess::NotRunning)
        ::kill(static_cast<pid_t>(proc_.processId()), signal);
}

QString ServerProcess::Stop() {
    Signal(SIGTERM);
    proc_.waitForFinished(waitMs_);
    out_ += QString::fromUtf8(proc_.readAllStandardOutput());
    return out_;
}

} // namespace velda::test
