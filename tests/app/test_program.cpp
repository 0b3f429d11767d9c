#include "TestSupport.h"
#include "app/Program.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velda;

TEST(Program, ControllerAddressComesFromTheBusLayerOrTheStore) {
    struct Case {
        const char* stored; // "GPIB0/Address", nullptr: absent
        bool busLayer;      // the bus layer installed its lookup (answers 21)
        int want;
    };
    const Case cases[] = {
        {nullptr, false, 0}, {"5", false, 5},  {"5", true, 21},
        {nullptr, true, 21}, {"-3", false, 0},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("VELDA.ini"));
        if (c.stored)
            QSettings(ini, QSettings::IniFormat)
                .setValue(QStringLiteral("GPIB0/Address"), QString::fromLatin1(c.stored));
        Program p(ProgramOptions{test::sourceDataDir(), ini, {}});
        EXPECT_EQ(p.Read_ControllerAddress(), 0) << "before the settings";
        p.Create_Registry();
        if (c.busLayer)
            p.ControllerAddress = [] { return 21; };
        EXPECT_EQ(p.Read_ControllerAddress(), c.want) << (c.stored ? c.stored : "absent");
    }
}

TEST(Program, ModelFileBesideTheSettingsIsReadInsteadOfTheShippedOne) {
    struct Case {
        bool own;   // a models.toml beside the settings file
        bool named; // the options name a model file
        const char* want;
    } cases[] = {{false, false, "shipped"}, {true, false, "own"}, {true, true, "named"}};
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("VELDA.ini"));
        const QString own = dir.filePath(QStringLiteral("models.toml"));
        if (c.own) {
            QFile f(own);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        const QString named = c.named ? dir.filePath(QStringLiteral("other.toml")) : QString();
        Program p(ProgramOptions{test::sourceDataDir(), ini, named});
        const QString expected =
            QString::fromLatin1(c.want) == QStringLiteral("own") ? own
            : c.named                                            ? named
                      : QDir(test::sourceDataDir()).filePath(QStringLiteral("models.toml"));
        EXPECT_EQ(QFileInfo(p.options().modelFile).absoluteFilePath(),
                  QFileInfo(expected).absoluteFilePath())
            << c.want;
    }
}
