#pragma once
// For form tests only: a program object with its main window loaded from the
// shipped data and a settings file of the test's own, the prompts recorded,
// and the helpers every dialog test uses to find and press named controls.

#include "TestSupport.h"
#include "app/Captions.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "document/MainWindow.h"

#include "engine/wavelb32.h"

#include <QAbstractButton>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace velda::test {

// A control of `form` by objectName ("Name" or "Name(i)"); the test fails
// when the form has none.
template <typename T> T* control(const QObject* form, const QString& name) {
    T* w = form ? form->findChild<T*>(name) : nullptr;
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
}
inline QPushButton* button(const QObject* form, const char* name, int i = -1) {
    return control<QPushButton>(form, controlName(QLatin1String(name), i));
}
inline void click(QAbstractButton* b) {
    if (b)
        QTest::mouseClick(b, Qt::LeftButton);
}
// Saves a picture of `w` when VELDA_SHOT_DIR names a folder (for looking at
// a form; never compared).
inline void shot(QWidget* w, const char* name) {
    const QString folder = qEnvironmentVariable("VELDA_SHOT_DIR");
    if (!folder.isEmpty())
        w->grab().save(QDir(folder).filePath(QLatin1String(name)));
}

class ProgramWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Set_Language(true);
        ASSERT_TRUE(dir.isValid());
        startProgram();
    }
    void TearDown() override {
        window.reset();
        program.reset();
        Set_Language(true);
    }

    QString iniPath() const { return dir.filePath(QStringLiteral("VELDA.ini")); }
    // Creates the program and loads its main window; the boxes of the load
    // are forgotten. Called by SetUp; a test restarts with it after
    // changing the settings file.
    void startProgram(bool show = true) {
        window.reset();
        program.reset();
        program = std::make_unique<Program>(ProgramOptions{sourceDataDir(), iniPath(), {}});
        window = std::make_unique<MainWindow>(*program);
        ASSERT_TRUE(window->Form_Load(QString()));
        if (show) {
            window->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), 30000));
        }
        prompts.clear();
    }
    WaveDocument& doc() { return program->Document; }
    // The current waveform's N data words.
    std::vector<int16_t> wave() {
        auto w = engine::bufferWords(doc().CurrentBuf());
        return {w.begin(), w.begin() + doc().N()};
    }

    QTemporaryDir dir;
    RecordingPrompts prompts;
    std::unique_ptr<Program> program;
    std::unique_ptr<MainWindow> window;
};

} // namespace velda::test
