// Test main: an offscreen Qt application that depends on nothing of the
// machine's or of other test processes running beside it (ctest -j), then
// GoogleTest. Each process gets a home of its own, so every settings,
// documents and data folder (QStandardPaths' test folders under it) is its
// own; the C locale, UTC and an unscaled screen are fixed. A box shown while
// no prompts handler is installed fails the test that showed it.
#include "app/Prompts.h"

#ifdef VELDA_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <ctime>
#include <gtest/gtest.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir home(
        QDir::tempPath() +
        QStringLiteral("/velda-test-%1-XXXXXX").arg(static_cast<qint64>(::getpid())));
    if (!home.isValid())
        return 2;
    const QByteArray h = QFile::encodeName(home.path());
    qputenv("HOME", h);
    qputenv("XDG_CONFIG_HOME", h + "/.config");
    qputenv("XDG_DATA_HOME", h + "/.local/share");
    qputenv("XDG_STATE_HOME", h + "/.local/state");
    qputenv("XDG_RUNTIME_DIR", h); // created with mode 0700, as required
    qputenv("TZ", "UTC");
    ::tzset();
    qputenv("LC_ALL", "C.UTF-8");
    qunsetenv("LANGUAGE");
    for (const char* v : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_FONT_DPI",
                          "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_ENABLE_HIGHDPI_SCALING",
                          "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE"})
        qunsetenv(v);

    QStandardPaths::setTestModeEnabled(true);
    ::testing::InitGoogleTest(&argc, argv);
    velda::setUnhandledPromptHook([](const QString& what) {
        ADD_FAILURE() << "shown with no prompts handler installed: " << what.toStdString();
    });
    TestApplication app(argc, argv);
    TestApplication::setApplicationName(QStringLiteral("VELDA"));
    return RUN_ALL_TESTS();
}
