// Test main: an offscreen Qt application with settings and documents in
// QStandardPaths' test folders, then GoogleTest. A box shown while no prompts
// handler is installed fails the test that showed it.
#include "app/Prompts.h"

#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    ::testing::InitGoogleTest(&argc, argv);
    velda::setUnhandledPromptHook([](const QString& what) {
        ADD_FAILURE() << "shown with no prompts handler installed: " << what.toStdString();
    });
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VELDA"));
    return RUN_ALL_TESTS();
}
