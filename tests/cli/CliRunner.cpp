#include "CliRunner.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

namespace velda::test {

QString Velda_Executable() {
    return QStringLiteral(VELDA_BINARY_DIR "/velda");
}

QProcessEnvironment Velda_Environment(const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(v));
    if (!home.isEmpty()) {
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/.local/state"));
    }
    return env;
}

CliRun Run_Velda(const QStringList& arguments, const QString& workDir, const QString& home) {
    QProcess p;
    p.setProcessEnvironment(Velda_Environment(home));
    p.setWorkingDirectory(workDir);
    p.start(Velda_Executable(), arguments);
    p.closeWriteChannel(); // nobody answers: boxes take their default
    CliRun r;
    r.finished = p.waitForFinished(120000);
    if (!r.finished) {
        p.kill();
        p.waitForFinished();
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QByteArray File_Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool Write_Bytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace velda::test
