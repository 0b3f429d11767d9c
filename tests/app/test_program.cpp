#include "TestSupport.h"
#include "app/Program.h"

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
