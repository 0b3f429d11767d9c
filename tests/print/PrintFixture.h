#pragma once
// A program on the shipped model data, for the print-out tests.

#include "SetupValues.h"
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
        Apply_Setup_Values(program->Setup.Param, {1000, 0.001, 1.5, -2.5, 7, 1, 0, 0, 0, 1, -1, 1});
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir;
    RecordingPrompts prompts;
    std::unique_ptr<Program> program;
};

} // namespace velda::test
