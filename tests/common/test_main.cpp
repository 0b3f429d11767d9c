// Test main: an offscreen Qt application with settings and documents in
// QStandardPaths' test folders, then GoogleTest. A box shown while no prompts
// handler is installed fails the test that showed it.
#include "app/Prompts.h"

#ifdef VELDA_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif
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
    TestApplication app(argc, argv);
    TestApplication::setApplicationName(QStringLiteral("VELDA"));
    return RUN_ALL_TESTS();
}
