#pragma once
// A program on the shipped model data, for the print-out tests.

#include "TestSupport.h"

#include "app/Messages.h"
#include "app/Program.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace velda::test {

class PrintFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramOptions o;
        o.dataDir = sourceDataDir();
        o.iniPath = dir.filePath(QStringLiteral("VELDA.ini"));
        program = std::make_unique<Program>(o);
        program->Create_Registry();
        ASSERT_TRUE(program->Init_System());
    }
    void TearDown() override {
        // VELDA_KEEP_PRINTS=folder keeps the files a test wrote, to look at.
        const QString keep = qEnvironmentVariable("VELDA_KEEP_PRINTS");
        if (!keep.isEmpty())
            for (const QString& f : QDir(dir.path()).entryList(QDir::Files))
                QFile::copy(dir.filePath(f),
                            keep + QLatin1Char('/') +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                                QLatin1Char('_') + f);
        program.reset();
        Set_Language(true);
    }
    void selectModel(int model) {
        const int32_t oldN = program->Document.N();
        program->Setup.Change_Model(model);
        program->Apply_SizeChange({true, oldN, program->Document.N()});
    }
    // Values whose print-out text the number formats fix.
    void setKnownValues() {
        SystemParameter& sp = program->Setup.Param;
        sp.Frequency = 1000;
        sp.Period = 0.001;
        sp.Amplitude = 1.5;
        sp.Offset = -2.5;
        sp.GpibAddress = 7;
        sp.OutputState = 1;
        sp.XUnitMode = 0;
        sp.YUnitMode = 0;
        sp.UserXStart = 0;
        sp.UserXEnd = 1;
        sp.UserYMin = -1;
        sp.UserYMax = 1;
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir;
    RecordingPrompts prompts;
    std::unique_ptr<Program> program;
};

} // namespace velda::test
