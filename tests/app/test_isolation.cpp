// Every test process keeps its settings and files apart from the user's and
// from the other test processes running beside it.
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <gtest/gtest.h>

TEST(TestIsolation, SettingsAndDocumentsLiveInThisProcesssOwnFolder) {
    const QString own = QDir::homePath();
    EXPECT_TRUE(own.startsWith(QDir::tempPath() + QStringLiteral("/velda-test-") +
                               QString::number(QCoreApplication::applicationPid()) +
                               QLatin1Char('-')))
        << own.toStdString();
    for (auto location : {QStandardPaths::AppConfigLocation, QStandardPaths::ConfigLocation,
                          QStandardPaths::DocumentsLocation, QStandardPaths::AppDataLocation,
                          QStandardPaths::CacheLocation}) {
        const QString path = QStandardPaths::writableLocation(location);
        EXPECT_TRUE(path.startsWith(own + QLatin1Char('/'))) << path.toStdString();
    }
}
