#include "app/Application.h"

#include <QApplication>

namespace velda {

int runProgram(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VELDA"));
    return 0; // the main window arrives with start-up
}

} // namespace velda
