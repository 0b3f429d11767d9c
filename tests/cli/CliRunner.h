#pragma once
// Runs the built program as a user would from a shell: no display at all
// (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM unset), in a folder of the
// test's own, with this test process's isolated home and settings.

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace velda::test {

struct CliRun {
    int exitCode = -1;
    bool finished = false;
    QByteArray out;
    QByteArray err;
    QString errText() const { return QString::fromUtf8(err); }
    QString outText() const { return QString::fromUtf8(out); }
};

// The program built beside the tests.
QString Velda_Executable();
// No display; with `home`, a home of the run's own (settings and data
// folders under it) in place of this test process's.
QProcessEnvironment Velda_Environment(const QString& home = {});
CliRun Run_Velda(const QStringList& arguments, const QString& workDir, const QString& home = {});

// Runs the program with arguments as raw bytes (any a shell can pass) and
// its standard input and output on /dev/null; `closedFd` (1 or 2), when
// given, goes into a pipe whose reader has already gone, as after
// `velda ... | head -c0`. The exit code, 128 + the signal when one ended it.
int Run_Velda_Raw(const QList<QByteArray>& arguments, const QString& workDir, int closedFd = -1,
                  const QString& home = {});

// The file's bytes; empty when it cannot be read.
QByteArray File_Bytes(const QString& path);
bool Write_Bytes(const QString& path, const QByteArray& bytes);

} // namespace velda::test
