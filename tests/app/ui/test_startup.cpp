// Start-up and exit of the whole program: a real Program and MainWindow on
// the shipped data, settings in a temporary folder, boxes answered by the test.
#include "TestSupport.h"

#include "app/Program.h"
#include "document/MainWindow.h"
#include "engine/wavelb32.h"

#include <QAction>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace velda;
using velda::test::RecordingPrompts;

namespace {

class StartupTest : public ::testing::Test {
protected:
    ProgramOptions options(const QString& dataDir = test::sourceDataDir()) {
        ProgramOptions o;
        o.dataDir = dataDir;
        o.iniPath = dir.filePath(QStringLiteral("VELDA.ini"));
        return o;
    }
    void writeIni(const QString& section, const QString& key, const QString& value) {
        QSettings s(dir.filePath(QStringLiteral("VELDA.ini")), QSettings::IniFormat);
        s.setValue(section + QLatin1Char('/') + key, value);
    }
    QString readIni(const QString& section, const QString& key) {
        QSettings s(dir.filePath(QStringLiteral("VELDA.ini")), QSettings::IniFormat);
        return s.value(section + QLatin1Char('/') + key).toString();
    }
    QTemporaryDir dir;
    RecordingPrompts prompts;
};

} // namespace

TEST_F(StartupTest, EmptyCommandLineGivesAnUntitledClearedDocument) {
    Program p(options());
    MainWindow w(p);
    ASSERT_TRUE(w.Form_Load(QString()));
    EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(QLatin1Char('|')).toStdString();

    EXPECT_EQ(w.windowTitle(), QStringLiteral("VELDA <Untitled>"));
    const WaveDocument& doc = p.Document;
    EXPECT_EQ(doc.WaveFileName, QStringLiteral("Untitled"));
    EXPECT_EQ(doc.SetupFileName, QStringLiteral("Untitled"));
    EXPECT_EQ(doc.TextFileName, QStringLiteral("Untitled"));
    EXPECT_EQ(doc.FuncFileName, QStringLiteral("Untitled"));
    const int n = doc.N();
    ASSERT_GT(n, 0);
    EXPECT_EQ(doc.CurArea().StartX, 0.0);
    EXPECT_EQ(doc.CurArea().EndX, n);
    EXPECT_EQ(doc.Area[1 - doc.CurBuf].EndX, n);
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(W_GetWaveData(doc.CurrentBuf(), i, n), 0) << i;

    EXPECT_FALSE(w.Menu_Undo->isEnabled());
    EXPECT_EQ(w.Menu_Undo->text(), QStringLiteral("&Undo"));
    EXPECT_EQ(p.ActiveTool, ToolNone);
    EXPECT_TRUE(w.Opt_DspSel[0]->isChecked());
    EXPECT_FALSE(w.Frm_Digital->isVisibleTo(&w));
    EXPECT_TRUE(w.Frm_Wave->isVisibleTo(&w));
    EXPECT_FALSE(w.VScroll->isEnabled());
    EXPECT_EQ(w.VScroll->maximum(), 32767);
    EXPECT_EQ(w.HScroll[0]->maximum(), n / 2 / p.View.XScrollStep);
    EXPECT_FALSE(w.HScroll[1]->isEnabled());
    EXPECT_EQ(w.ScopeWidth, n);
    EXPECT_FALSE(w.Txt_End_X->text().isEmpty());
    // The edge read-outs show the whole range with unit names.
    EXPECT_EQ(w.Label_End[0]->text(), p.Units.Point_To_XText(n) + p.Units.X_Unit_Name());
    EXPECT_EQ(w.Label_W_Max->text(), p.Units.Word_To_YText(32767) + p.Units.Y_Unit_Name());
}

TEST_F(StartupTest, MenuTreeHasTheCaptionsAndOrder) {
    Program p(options());
    MainWindow w(p);
    ASSERT_TRUE(w.Form_Load(QString()));
    auto itemNames = [](QMenu* m) {
        QStringList names;
        for (QAction* a : m->actions())
            names << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
        return names;
    };
    EXPECT_EQ(itemNames(w.Menu_File),
              (QStringList{"Menu_FileNew", "Menu_FileOpen", "Menu_FileSave", "Menu_FileSaveAs",
                           "Menu_FileSaveAs2", "-", "Menu_FileImport", "-", "Menu_Print", "-",
                           "Menu_Exit"}));
    EXPECT_EQ(itemNames(w.Menu_Edit), (QStringList{"Menu_Undo", "-", "Menu_Cut", "Menu_Copy",
                                                   "Menu_Paste", "Menu_Delete"}));
    EXPECT_EQ(itemNames(w.Menu_Tools),
              (QStringList{"Menu_Create", "Menu_Compress", "Menu_Spline", "Menu_Compute"}));
    EXPECT_EQ(itemNames(w.Menu_Set), (QStringList{"Menu_System", "-", "Menu_Grid"}));
    EXPECT_EQ(w.Menu_FileSaveAs->text(), QStringLiteral("Save &As(WDB)..."));
    EXPECT_EQ(w.Menu_Compress->text(), QStringLiteral("Com&press/Decompress"));
    EXPECT_EQ(w.Menu_File->title(), QStringLiteral("&File"));
}

TEST_F(StartupTest, NamedFileThatCannotBeReadIsReported) {
    Program p(options());
    MainWindow w(p);
    ASSERT_TRUE(w.Form_Load(QStringLiteral("/no/such/file.wdb")));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("File Read error.\r"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("VELDA <Untitled>"));
}

TEST_F(StartupTest, SavedModelBeyondTheListSelectsModelZero) {
    writeIni(QStringLiteral("Sysinfo"), QStringLiteral("sys_no"), QStringLiteral("99"));
    Program p(options());
    MainWindow w(p);
    ASSERT_TRUE(w.Form_Load(QString()));
    EXPECT_EQ(p.Setup.Param.ModelNo, 0);
}

TEST_F(StartupTest, SavedModelIsRestored) {
    writeIni(QStringLiteral("Sysinfo"), QStringLiteral("sys_no"), QStringLiteral("2"));
    Program p(options());
    MainWindow w(p);
    ASSERT_TRUE(w.Form_Load(QString()));
    EXPECT_EQ(p.Setup.Param.ModelNo, 2);
    EXPECT_EQ(p.Document.N(), p.Setup.Param.MemorySize);
}

TEST_F(StartupTest, FatalFailuresShowTheirBoxAndStop) {
    struct Case {
        const char* what;
        QByteArray models; // empty: no models.toml at all
        QByteArray ids;
        QString title;
        QString text;
        BoxIcon icon;
    };
    QFile shipped(test::sourceDataDir() + QStringLiteral("/models.toml"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QByteArray models = shipped.readAll();
    const Case cases[] = {
        {"no model file",
         {},
         "X,Y\n",
         QStringLiteral("Error Message"),
         QStringLiteral("No System Setup file.\rSystem Exit.\r"),
         BoxIcon::None},
        {"model file syntax", "[[model]\nname = 1\n", "X,Y\n", QStringLiteral("Error Message"),
         QString(), BoxIcon::None},
        {"empty USBTMC.ID", models, "", QStringLiteral("VELDA"),
         QStringLiteral("Lost the file of USBTMC.ID"), BoxIcon::Stop},
    };
    for (const Case& c : cases) {
        QTemporaryDir data;
        if (!c.models.isEmpty()) {
            QFile f(data.filePath(QStringLiteral("models.toml")));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.models);
        }
        QFile ids(data.filePath(QStringLiteral("USBTMC.ID")));
        ASSERT_TRUE(ids.open(QIODevice::WriteOnly));
        ids.write(c.ids);
        ids.close();

        // The same failure ends a start with a window and one without (a command line).
        for (const bool withWindow : {true, false}) {
            prompts.clear();
            const int before = engine::liveBuffers();
            {
                Program p(options(data.path()));
                if (withWindow) {
                    MainWindow w(p);
                    EXPECT_FALSE(w.Form_Load(QString())) << c.what;
                } else {
                    EXPECT_FALSE(p.Start_Up()) << c.what;
                }
            }
            ASSERT_EQ(prompts.boxes.size(), 1u) << c.what;
            EXPECT_EQ(prompts.boxes[0].title, c.title) << c.what;
            EXPECT_EQ(prompts.boxes[0].icon, c.icon) << c.what;
            if (!c.text.isEmpty())
                EXPECT_EQ(prompts.boxes[0].text, c.text) << c.what;
            else
                EXPECT_TRUE(prompts.boxes[0].text.contains(QStringLiteral("Line[")))
                    << c.what << ": " << prompts.boxes[0].text.toStdString();
            EXPECT_EQ(engine::liveBuffers(), before) << c.what;
        }
    }
}

TEST_F(StartupTest, WithoutAWindowTheProgramStartsAndItsSetUpComesBackNextTime) {
    const int before = engine::liveBuffers();
    QString file;
    {
        Program p(options());
        ASSERT_TRUE(p.Start_Up());
        EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(u'|').toStdString();
        ASSERT_NE(p.Registry, nullptr);
        EXPECT_EQ(p.Document.WaveFileName, QStringLiteral("Untitled"));
        EXPECT_EQ(p.ActiveTool, ToolNone);
        EXPECT_EQ(p.Document.Area[0].EndX, p.Document.N());
        EXPECT_EQ(engine::liveBuffers(), before + 4);
        p.Setup.Param.GpibAddress = 9;
        p.SerialNumber = QStringLiteral("SN-77");
        p.Shut_Down();
        EXPECT_EQ(p.Registry, nullptr);
        EXPECT_EQ(engine::liveBuffers(), before);
    }
    EXPECT_EQ(readIni(QStringLiteral("Sysinfo"), QStringLiteral("Gpib_Address")),
              QStringLiteral("9"));
    EXPECT_EQ(readIni(QStringLiteral("System"), QStringLiteral("SerialNum")),
              QStringLiteral("SN-77"));
    Program again(options());
    ASSERT_TRUE(again.Start_Up(QStringLiteral("/no/such/file.wdb")));
    EXPECT_EQ(again.Setup.Param.GpibAddress, 9);
    EXPECT_EQ(again.SerialNumber, QStringLiteral("SN-77"));
    // A file that cannot be read leaves the document untitled, with its box.
    EXPECT_EQ(again.Document.WaveFileName, QStringLiteral("Untitled"));
    EXPECT_EQ(prompts.boxes.size(), 1u);
}

TEST_F(StartupTest, ExitAnsweredNoKeepsRunningButSavesPositionAndSerial) {
    Program p(options());
    MainWindow w(p);
    ASSERT_TRUE(w.Form_Load(QString()));
    w.move(140, 90);
    p.SerialNumber = QStringLiteral("SN-4711");
    prompts.answers = {Answer::No};
    EXPECT_FALSE(w.Form_QueryUnload(UnloadMode::User));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, QStringLiteral("Exit Program. Are you sure?\r"));
    EXPECT_EQ(prompts.boxes[0].icon, BoxIcon::Question);
    EXPECT_EQ(readIni(QStringLiteral("System"), QStringLiteral("SerialNum")),
              QStringLiteral("SN-4711"));
    EXPECT_NE(p.Registry->FormLeft(QStringLiteral("MainWindow")), 0);
    EXPECT_NE(p.Document.CurrentBuf(), 0); // buffers still held
    EXPECT_FALSE(w.unloaded());
}

TEST_F(StartupTest, ExitAnsweredYesFreesTheBuffersAndReleasesTheSettings) {
    const int before = engine::liveBuffers();
    Program p(options());
    MainWindow w(p);
    ASSERT_TRUE(w.Form_Load(QString()));
    EXPECT_EQ(engine::liveBuffers(), before + 4);
    prompts.answers = {Answer::Yes};
    EXPECT_TRUE(w.Form_QueryUnload(UnloadMode::User));
    EXPECT_EQ(engine::liveBuffers(), before);
    EXPECT_EQ(p.Registry, nullptr);
    EXPECT_EQ(readIni(QStringLiteral("System"), QStringLiteral("WinCount")), QStringLiteral("0"));
    EXPECT_TRUE(w.unloaded());
}

TEST_F(StartupTest, ExitIsRefusedWhileTheBusIsBusyOrTheSessionEnds) {
    Program p(options());
    MainWindow w(p);
    ASSERT_TRUE(w.Form_Load(QString()));
    p.Registry->setGpibBusy(true);
    EXPECT_FALSE(w.Form_QueryUnload(UnloadMode::User));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("Caution Message"));
    EXPECT_EQ(prompts.boxes[0].icon, BoxIcon::Stop);
    EXPECT_EQ(prompts.boxes[0].text,
              QStringLiteral("Interface Busy. Press 'Copy Wave Data' Cancel button.\r"));
    p.Registry->setGpibBusy(false);

    prompts.clear();
    EXPECT_FALSE(w.Form_QueryUnload(UnloadMode::SessionEnd));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text,
              QStringLiteral("KOVA VELDA is Active! Please Exit KOVA VELDA Before System "
                             "Shutdown.\r"));
    EXPECT_EQ(prompts.boxes[0].icon, BoxIcon::Stop);
    EXPECT_NE(p.Document.CurrentBuf(), 0);
}

TEST_F(StartupTest, ExitWhileMaximisedKeepsTheSavedPosition) {
    writeIni(QStringLiteral("FormProperty"), QStringLiteral("MainWindow"),
             QStringLiteral("300,450,0,0"));
    Program p(options());
    MainWindow w(p);
    ASSERT_TRUE(w.Form_Load(QString()));
    w.move(5, 5);
    w.setWindowState(Qt::WindowMaximized);
    prompts.answers = {Answer::No};
    w.Form_QueryUnload(UnloadMode::User);
    EXPECT_EQ(p.Registry->FormTop(QStringLiteral("MainWindow")), 300);
    EXPECT_EQ(p.Registry->FormLeft(QStringLiteral("MainWindow")), 450);
}

TEST_F(StartupTest, EditCommandsThroughTheMenu) {
    Program p(options());
    MainWindow w(p);
    ASSERT_TRUE(w.Form_Load(QString()));
    WaveDocument& doc = p.Document;
    auto words = engine::bufferWords(doc.CurrentBuf());
    for (int i = 0; i < 10; ++i)
        words[i] = static_cast<int16_t>(100 + i);
    doc.CurArea() = {2, 5};

    // Copy refreshes the undo copy: Undo right after shows the same waveform.
    w.Menu_Copy->trigger();
    EXPECT_TRUE(w.Menu_Undo->isEnabled());
    w.Menu_Undo->trigger();
    EXPECT_EQ(W_GetWaveData(doc.CurrentBuf(), 2, doc.N()), 102);
    EXPECT_EQ(w.Menu_Undo->text(), QStringLiteral("&Redo"));

    // Delete removes points 2..4; Undo brings them and the markers back.
    doc.CurArea() = {2, 5};
    w.Menu_Delete->trigger();
    EXPECT_EQ(W_GetWaveData(doc.CurrentBuf(), 2, doc.N()), 105);
    EXPECT_EQ(doc.CurArea().EndX, 2.0);
    w.Menu_Undo->trigger();
    EXPECT_EQ(W_GetWaveData(doc.CurrentBuf(), 2, doc.N()), 102);
    EXPECT_EQ(doc.CurArea().EndX, 5.0);
    EXPECT_EQ(w.Txt_End_X->text(), p.Units.Point_To_XText(5));
}

TEST_F(StartupTest, PatternFieldUsesTheProgramsOwnTextClipboard) {
    Program p(options());
    MainWindow w(p);
    ASSERT_TRUE(w.Form_Load(QString()));
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w, 30000));
    w.Opt_DspSel[1]->click();
    w.Txt_Pattern->setText(QStringLiteral("$00FF"));
    w.Txt_Pattern->setFocus();
    w.Txt_Pattern->selectAll();
    const int16_t before = static_cast<int16_t>(W_GetWaveData(p.Document.CurrentBuf(), 0, 10));
    ASSERT_TRUE(w.Txt_Pattern->hasFocus());
    w.Menu_Cut->trigger();
    EXPECT_EQ(p.TextClipboard, QStringLiteral("$00FF"));
    EXPECT_TRUE(w.Txt_Pattern->text().isEmpty());
    EXPECT_FALSE(w.Menu_Undo->isEnabled()); // the waveform was not touched
    w.Menu_Paste->trigger();
    EXPECT_EQ(w.Txt_Pattern->text(), QStringLiteral("$00FF"));
    EXPECT_EQ(W_GetWaveData(p.Document.CurrentBuf(), 0, 10), before);
}
