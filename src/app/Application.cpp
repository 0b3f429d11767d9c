#include "app/Application.h"

#include "app/Program.h"
#include "app/PromptWidget.h"
#include "document/MainWindow.h"

#include <QApplication>
#include <QSessionManager>
#include <QStringList>
#include <QTimer>
#include <cstdio>

namespace velda {

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
    if (!window.Form_Load(commandLine))
        return 1; // the fatal box has been shown

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
