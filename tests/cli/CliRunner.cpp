#include "CliRunner.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

int Run_Velda_Raw(const QList<QByteArray>& arguments, const QString& workDir, int closedFd,
                  const QString& home) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    ::close(pipeFds[0]);
    const QByteArray exe = QFile::encodeName(Velda_Executable());
    QList<QByteArray> env;
    for (const QString& e : Velda_Environment(home).toStringList())
        env << e.toLocal8Bit();
    std::vector<char*> argv{const_cast<char*>(exe.constData())}, envp;
    for (const QByteArray& a : arguments)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    for (const QByteArray& e : env)
        envp.push_back(const_cast<char*>(e.constData()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    for (const int fd : {1, 2}) {
        if (fd == closedFd)
            posix_spawn_file_actions_adddup2(&actions, pipeFds[1], fd);
        else
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_WRONLY, 0);
    }
    const QByteArray dir = QFile::encodeName(workDir);
    posix_spawn_file_actions_addchdir_np(&actions, dir.constData());
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, exe.constData(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
