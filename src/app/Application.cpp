#include "app/Application.h"

#include "app/Program.h"
#include "app/PromptWidget.h"
#include "document/MainWindow.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace velda {

namespace {

int g_endPipe[2] = {-1, -1};

extern "C" void onEndSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_endPipe[1], &byte, 1);
    errno = saved;
}

// A stop from the session, `kill` or a lost terminal. Left to its default,
// the signal would end the program with this copy's busy flag, count and
// locks left in the settings, keeping every other copy off the bus. Here a
// transfer under way stops as on Cancel (a box or reply prompt it waits on
// is answered with its Escape), which gives the bus back; then `finish`
// leaves the settings as the exit leaves them, and the program ends as the
// signal would have.
void endOnSignals(Program& program, std::function<void()> finish) {
    if (::pipe2(g_endPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_endPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [&program, finish, notifier] {
        unsigned char signal = 0;
        if (::read(g_endPipe[0], &signal, 1) != 1)
            return;
        notifier->setEnabled(false);
        program.EndRequested = true;
        auto* timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, qApp, [&program, finish, signal] {
            if (program.RunningTransfers > 0) {
                QWidget* modal = QApplication::activeModalWidget();
                if (auto* box = qobject_cast<QMessageBox*>(modal))
                    box->reject();
                else if (auto* prompt = qobject_cast<QInputDialog*>(modal))
                    prompt->reject();
                return;
            }
            finish();
            std::_Exit(128 + signal);
        });
        timer->start(50);
    });
    struct sigaction sa {};
    sa.sa_handler = onEndSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    // A signal the starting shell ignores (SIGHUP under nohup, SIGINT in
    // the background) stays ignored.
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction before {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(signal, &sa, nullptr);
    }
}

} // namespace

int runProgram(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VELDA"));
    // The main window decides when the program ends (after its exit question).
    QApplication::setQuitOnLastWindowClosed(false);

    WidgetPromptHandler boxes;
    setPromptHandler(&boxes);

    // The whole command-line text, as one file name.
    const QString commandLine = QCoreApplication::arguments().mid(1).join(QLatin1Char(' '));

    Program program;
    MainWindow window(program);
    // Taken up once the event loop runs; installed before the start-up
    // counts this copy in, so a copy that counts is one that can count out.
    bool loaded = false;
    endOnSignals(program, [&] {
        if (loaded)
            window.End_BySignal();
        else
            program.Release_Registry();
    });
    if (!window.Form_Load(commandLine))
        return 1; // the fatal box has been shown
    loaded = true;

    // An operating-system shutdown never closes the program: the user is told
    // to exit it first.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager& manager) {
                         if (manager.allowsInteraction())
                             window.Form_QueryUnload(UnloadMode::SessionEnd);
                         manager.cancel();
                     });
    window.show();
    // VELDA_STARTUP_CHECK set: once started, print the caption (which names
    // the opened file) and end; an installation is checked this way.
    if (qEnvironmentVariableIsSet("VELDA_STARTUP_CHECK"))
        QTimer::singleShot(0, &app, [&window] {
            std::printf("%s\n", qPrintable(window.windowTitle()));
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    const int result = app.exec();
    setPromptHandler(nullptr);
    return result;
}

} // namespace velda
