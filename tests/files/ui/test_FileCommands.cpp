// The file front: dialogs answered through the recording handler, a real
// Program on the shipped model data and, where the window matters, the main
// window after its start-up.
#include "ProgramWindowFixture.h"
#include "TestSupport.h"

#include "app/Messages.h"
#include "app/Program.h"
#include "document/MainWindow.h"
#include "engine/file32.h"
#include "engine/wavelb32.h"
#include "files/FileCommands.h"
#include "files/PackedRecord.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <sys/stat.h>
#include <vector>

using namespace velda;
using velda::test::RecordingPrompts;

namespace {

QString msg(int n) {
    return GetMessage(n);
}

std::vector<int16_t> words(WaveHandle h, int32_t n) {
    const auto all = engine::bufferWords(h);
    return {all.begin(), all.begin() + n};
}

// Everything a failed command must leave alone.
struct Snapshot {
    std::vector<int16_t> current;
    std::vector<int16_t> undo;
    PackedRecord record{};
    int16_t interfaceKind = 0;
    QStringList names;
    bool noUndoYet = false;
    bool undoMode = false;
    int16_t curBuf = 0;
    int32_t n = 0;
    double startX = 0;
    double endX = 0;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(Program& p) {
    WaveDocument& d = p.Document;
    Snapshot s;
    s.n = d.N();
    s.current = words(d.CurrentBuf(), s.n);
    s.undo = words(d.WaveBuf[1 - d.CurBuf], s.n);
    s.record = Pack_System_Record(p.Setup.Param, p.Setup.InterfaceKind);
    s.interfaceKind = p.Setup.InterfaceKind;
    s.names = {d.WaveFileName, d.SetupFileName, d.TextFileName, d.FuncFileName};
    s.noUndoYet = d.NoUndoYet;
    s.undoMode = d.UndoMode;
    s.curBuf = d.CurBuf;
    s.startX = d.CurArea().StartX;
    s.endX = d.CurArea().EndX;
    return s;
}

// A recognisable waveform: a ramp offset by `seed`.
void fillRamp(WaveDocument& d, int seed) {
    auto w = engine::bufferWords(d.CurrentBuf());
    for (int32_t i = 0; i < d.N(); ++i)
        w[i] = static_cast<int16_t>((i * 7 + seed) % 30000 - 15000);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class FileCommandsTest : public test::ProgramWindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        startProgram(false);
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    FileCommands commands() { return FileCommands(*program); }
    // Switches to another model and memory size, as the System Setup dialog would.
    void selectModel(int model, int memorySize) {
        const int32_t oldN = doc().N();
        program->Setup.Change_Model(model);
        program->Setup.Select_MemorySize(memorySize);
        program->Apply_SizeChange({true, oldN, doc().N()});
    }
};

// --- Filters ---------------------------------------------------------------

TEST(FileFilters, BothLanguagesAsQtFilterText) {
    struct Case {
        int kind;
        bool save;
        bool asText;
        bool english;
        QString expected;
    };
    const Case cases[] = {
        {KindExpression, false, false, true,
         QStringLiteral("Expression files(*.wfn);;All files(*.*)")},
        {KindExpression, true, false, false, QStringLiteral(u"ﾃｷｽﾄ独自形式(*.wfn)")},
        {KindPointList, false, false, true,
         QStringLiteral("Text files(*.prn *.tsv *.csv);;All files(*.*)")},
        {KindPointList, false, false, false,
         QStringLiteral(u"ﾃｷｽﾄﾌｧｲﾙ(*.prn *.tsv *.csv);;全てのﾌｧｲﾙ(*.*)")},
        {KindPointList, true, false, true,
         QStringLiteral("Text files(Space delimited)(*.prn);;Text files(Tab delimited)(*.tsv);;"
                        "Text files(Comma delimited)(*.csv)")},
        {KindPointList, true, false, false,
         QStringLiteral(u"ﾃｷｽﾄﾌｧｲﾙ（ｽﾍﾟｰｽ区切り）(*.prn);;ﾃｷｽﾄﾌｧｲﾙ（ﾀﾌﾞ区切り）(*.tsv);;"
                        u"ﾃｷｽﾄﾌｧｲﾙ（ｶﾝﾏ区切り）(*.csv)")},
        {KindSetup, false, false, false, QStringLiteral(u"ｼｽﾃﾑﾌｧｲﾙ(*.ocb);;全てのﾌｧｲﾙ(*.*)")},
        {KindSetup, true, false, true, QStringLiteral("System files(*.ocb)")},
        {KindWave, false, false, true,
         QStringLiteral("Binary files(*.wdb);;Text files(*.txt);;All files(*.*)")},
        {KindWave, false, false, false,
         QStringLiteral(u"ﾊﾞｲﾅﾘ独自形式(*.wdb);;ﾃｷｽﾄ形式(*.txt);;全てのﾌｧｲﾙ(*.*)")},
        {KindWave, true, false, false, QStringLiteral(u"ﾊﾞｲﾅﾘ独自形式(*.wdb)")},
        {KindWave, true, true, true, QStringLiteral("Text files(*.txt)")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(File_Filter(c.kind, c.save, c.asText, c.english), c.expected)
            << c.kind << c.save << c.asText << c.english;
    }
}

TEST_F(FileCommandsTest, DialogsUseTheFiltersOfTheLanguageInForce) {
    Set_Language(false);
    window->Menu_FileOpen_Click();
    window->Menu_FileSaveAs2_Click();
    ASSERT_EQ(prompts.fileRequests.size(), 2u);
    EXPECT_EQ(prompts.fileRequests[0].filter, File_Filter(KindWave, false, false, false));
    EXPECT_EQ(prompts.fileRequests[1].filter, File_Filter(KindWave, true, true, false));
    EXPECT_TRUE(prompts.boxes.empty()); // cancel: no message
}

// --- Start names -------------------------------------------------------------

// The dialogs start in the documents folder, or in the home folder when the
// user has none, never where the program happened to be started.
TEST(DocumentFolder, TheHomeFolderStandsInForAMissingDocumentsFolder) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    // Put back however the test ends: later tests of this program read them.
    struct Environment {
        QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
        bool hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        ~Environment() {
            qputenv("HOME", home);
            if (hadConfig)
                qputenv("XDG_CONFIG_HOME", config);
            else
                qunsetenv("XDG_CONFIG_HOME");
        }
    } restore;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    const QString without = Default_Document_Folder();
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Documents")));
    const QString with = Default_Document_Folder();
    EXPECT_EQ(without, home.path());
    EXPECT_EQ(with, home.path() + QStringLiteral("/Documents"));
}

TEST_F(FileCommandsTest, StartNamesFollowTheRememberedNames) {
    const QString folder = Default_Document_Folder();
    ASSERT_FALSE(folder.isEmpty());
    window->Menu_FileSaveAs2_Click(); // Untitled: documents folder
    doc().WaveFileName = QStringLiteral("/a/wave.wdb");
    window->Menu_FileSaveAs2_Click(); // text save of a .wdb offers .txt
    window->Menu_FileSaveAs_Click();
    window->Menu_FileOpen_Click(); // open: extension moved to the default
    doc().WaveFileName = QStringLiteral("/a/wave.txt");
    window->Menu_FileOpen_Click();
    doc().TextFileName = QStringLiteral("/b/pts.tsv");
    commands().File_Save(KindPointList);
    doc().TextFileName = QStringLiteral("/b/pts.csv");
    commands().File_Save(KindPointList);
    doc().FuncFileName = QStringLiteral("Untitled");
    commands().File_Save(KindExpression);

    struct Expect {
        QString fileName;
        int filterIndex;
    };
    const Expect expected[] = {
        {folder + QStringLiteral("/Untitled"), 0},
        {QStringLiteral("/a/wave.txt"), 0},
        {QStringLiteral("/a/wave.wdb"), 0},
        {QStringLiteral("/a/wave"), 0},
        {QStringLiteral("/a/wave"), 1},
        {QStringLiteral("/b/pts"), 1},
        {QStringLiteral("/b/pts"), 2},
        {folder + QStringLiteral("/Untitled"), 0},
    };
    ASSERT_EQ(prompts.fileRequests.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(prompts.fileRequests[i].fileName, expected[i].fileName) << i;
        EXPECT_EQ(prompts.fileRequests[i].filterIndex, expected[i].filterIndex) << i;
    }
}

TEST(FileNamesFront, DefaultExtensionOnlyForNamesWithoutOne) {
    EXPECT_EQ(With_Default_Extension(QStringLiteral("/a/wave"), QStringLiteral("wdb")),
              QStringLiteral("/a/wave.wdb"));
    EXPECT_EQ(With_Default_Extension(QStringLiteral("/a.b/wave"), QStringLiteral("txt")),
              QStringLiteral("/a.b/wave.txt"));
    EXPECT_EQ(With_Default_Extension(QStringLiteral("/a/wave.v2"), QStringLiteral("wdb")),
              QStringLiteral("/a/wave.v2"));
    EXPECT_EQ(With_Default_Extension(QString(), QStringLiteral("wdb")), QString());
}

// --- Wrong extensions --------------------------------------------------------

TEST_F(FileCommandsTest, WrongExtensionsGiveTheirMessageAndChangeNothing) {
    // Existing files, so only the extension can be what is refused.
    for (const char* name : {"x.v2.wdb", "x.doc", "p.txt", "e.txt", "s.txt", "w"})
        writeAll(path(name), "1\r\n2\r\n");
    fillRamp(doc(), 3);
    struct Case {
        const char* what;
        std::function<void(FileCommands&)> run;
        const char* answer;
        int message; // -1: no box at all
    };
    int actions = 0;
    const FileAction action = [&](const QString&) {
        ++actions;
        return 0;
    };
    const Case cases[] = {
        {"open wave a.b.wdb", [](FileCommands& f) { f.File_Open(KindWave); }, "x.v2.wdb", 7},
        {"open wave .doc", [](FileCommands& f) { f.File_Open(KindWave); }, "x.doc", 7},
        {"open wave no dot", [](FileCommands& f) { f.File_Open(KindWave); }, "w", 7},
        {"open points", [&](FileCommands& f) { f.File_Open(KindPointList, action); }, "p.txt", 7},
        {"open expression", [&](FileCommands& f) { f.File_Open(KindExpression, action); }, "e.txt",
         -1},
        {"open setup", [](FileCommands& f) { f.File_Open(KindSetup); }, "s.txt", -1},
        {"save expression", [&](FileCommands& f) { f.File_Save(KindExpression, false, action); },
         "new.txt", 8},
        {"save points", [&](FileCommands& f) { f.File_Save(KindPointList, false, action); },
         "new.dat", 8},
        {"save setup", [](FileCommands& f) { f.File_Save(KindSetup); }, "new.txt", 8},
        {"save wave", [](FileCommands& f) { f.File_Save(KindWave, false); }, "new.doc", 7},
        {"save wave a.b.txt", [](FileCommands& f) { f.File_Save(KindWave, true); }, "new.b.txt", 7},
    };
    for (const Case& c : cases) {
        prompts.clear();
        prompts.fileNames = {path(c.answer)};
        const Snapshot before = snapshot(*program);
        FileCommands f = commands();
        c.run(f);
        EXPECT_EQ(snapshot(*program), before) << c.what;
        if (c.message < 0) {
            EXPECT_TRUE(prompts.boxes.empty()) << c.what;
        } else {
            ASSERT_EQ(prompts.boxes.size(), 1u) << c.what;
            EXPECT_EQ(prompts.boxes[0].text, msg(c.message)) << c.what;
            EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("Error Message")) << c.what;
        }
    }
    EXPECT_EQ(actions, 0);
    for (const char* made : {"new.txt", "new.dat", "new.doc", "new.b.txt"})
        EXPECT_FALSE(QFile::exists(path(made))) << made;
}

TEST_F(FileCommandsTest, UpperCaseExtensionIsAccepted) {
    fillRamp(doc(), 11);
    const std::vector<int16_t> saved = words(doc().CurrentBuf(), doc().N());
    ASSERT_TRUE(commands().Save_Wave_File(path("UP.WDB")));
    fillRamp(doc(), 12);
    prompts.fileNames = {path("UP.WDB")};
    EXPECT_EQ(commands().File_Open(KindWave), path("UP.WDB"));
    EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(u'|').toStdString();
    EXPECT_EQ(words(doc().CurrentBuf(), doc().N()), saved);
}

TEST_F(FileCommandsTest, OfferedNameWithoutExtensionOpensTheFileOfTheDefaultExtension) {
    fillRamp(doc(), 13);
    const std::vector<int16_t> saved = words(doc().CurrentBuf(), doc().N());
    ASSERT_TRUE(commands().Save_Wave_File(path("wave.wdb")));
    fillRamp(doc(), 14);
    window->Menu_FileOpen_Click(); // cancelled: shows what is offered
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    ASSERT_EQ(prompts.fileRequests[0].fileName, path("wave"));
    prompts.fileNames = {prompts.fileRequests[0].fileName}; // accepted as offered
    window->Menu_FileOpen_Click();
    EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(u'|').toStdString();
    EXPECT_EQ(words(doc().CurrentBuf(), doc().N()), saved);
    EXPECT_EQ(doc().WaveFileName, path("wave.wdb"));
}

// --- Overwrite question ----------------------------------------------------

TEST_F(FileCommandsTest, OverwriteAnsweredNoKeepsTheOldFile) {
    writeAll(path("old.txt"), "OLD CONTENT");
    fillRamp(doc(), 5);
    prompts.fileNames = {path("old.txt")};
    prompts.answers = {Answer::No};
    window->Menu_FileSaveAs2_Click();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, msg(5));
    EXPECT_EQ(prompts.boxes[0].buttons, BoxButtons::YesNo);
    EXPECT_EQ(readAll(path("old.txt")), QByteArray("OLD CONTENT"));
    EXPECT_EQ(doc().WaveFileName, QStringLiteral("Untitled"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("VELDA <Untitled>"));
    // No went back to the dialog, on the name chosen; it was then cancelled.
    ASSERT_EQ(prompts.fileRequests.size(), 2u);
    EXPECT_EQ(prompts.fileRequests[1].fileName, path("old.txt"));
    EXPECT_EQ(prompts.fileRequests[1].filterIndex, prompts.fileRequests[0].filterIndex);

    // Another name chosen after No is saved.
    prompts.clear();
    prompts.fileNames = {path("old.txt"), path("new.txt")};
    prompts.answers = {Answer::No};
    window->Menu_FileSaveAs2_Click();
    EXPECT_EQ(readAll(path("old.txt")), QByteArray("OLD CONTENT"));
    EXPECT_EQ(doc().WaveFileName, path("new.txt"));

    prompts.clear();
    prompts.fileNames = {path("old.txt")};
    prompts.answers = {Answer::Yes};
    window->Menu_FileSaveAs2_Click();
    EXPECT_NE(readAll(path("old.txt")), QByteArray("OLD CONTENT"));
    EXPECT_EQ(doc().WaveFileName, path("old.txt"));
}

TEST_F(FileCommandsTest, SaveToTheRememberedNameAsksNothing) {
    fillRamp(doc(), 8);
    prompts.fileNames = {path("keep.wdb")};
    window->Menu_FileSave->trigger(); // Untitled: Save As
    ASSERT_TRUE(QFile::exists(path("keep.wdb")));
    fillRamp(doc(), 9);
    const std::vector<int16_t> second = words(doc().CurrentBuf(), doc().N());
    prompts.clear();
    window->Menu_FileSave->trigger();
    EXPECT_TRUE(prompts.fileRequests.empty());
    EXPECT_TRUE(prompts.boxes.empty());
    fillRamp(doc(), 10);
    ASSERT_TRUE(commands().Load_Wave_File(path("keep.wdb")));
    EXPECT_EQ(words(doc().CurrentBuf(), doc().N()), second);
}

// --- Round trips through the menu ----------------------------------------------

TEST_F(FileCommandsTest, WaveformRoundTripThroughTheMenu) {
    for (const char* name : {"round.wdb", "round.txt"}) {
        SCOPED_TRACE(name);
        const bool text = QString::fromLatin1(name).endsWith(QLatin1String("txt"));
        fillRamp(doc(), text ? 21 : 22);
        const int32_t n = doc().N();
        const std::vector<int16_t> saved = words(doc().CurrentBuf(), n);
        prompts.clear();
        prompts.fileNames = {path(name)};
        (text ? window->Menu_FileSaveAs2 : window->Menu_FileSaveAs)->trigger();
        ASSERT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(u'|').toStdString();
        EXPECT_EQ(window->windowTitle(), QStringLiteral("VELDA <%1>").arg(path(name)));

        // Edit, move the markers and zoom in, then open the file again.
        fillRamp(doc(), 99);
        doc().CurArea() = {10, 20};
        program->View.ViewXStart = 100;
        program->View.XZoom = 4;
        window->Comb_XZoom[0]->addItem(QStringLiteral("x1"));
        window->Comb_XZoom[0]->addItem(QStringLiteral("x2"));
        window->Comb_XZoom[0]->setCurrentIndex(1);
        doc().WaveFileName = doc().SetupFileName = QStringLiteral("Untitled");
        prompts.fileNames = {path(name)};
        window->Menu_FileOpen->trigger();
        ASSERT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(u'|').toStdString();

        EXPECT_EQ(words(doc().CurrentBuf(), n), saved);
        EXPECT_EQ(doc().N(), n);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("VELDA <%1>").arg(path(name)));
        const QString base = path(name).chopped(4);
        EXPECT_EQ(doc().WaveFileName, path(name));
        EXPECT_EQ(doc().FuncFileName, base);
        EXPECT_EQ(doc().SetupFileName, base);
        EXPECT_EQ(doc().TextFileName, base);
        // The markers stay; their read-outs show the loaded waveform.
        EXPECT_EQ(doc().CurArea().StartX, 10.0);
        EXPECT_EQ(doc().CurArea().EndX, 20.0);
        EXPECT_EQ(window->Txt_Start_Y->text(), program->Units.Word_To_YText(saved[10]));
        EXPECT_EQ(window->Txt_End_Y->text(), program->Units.Word_To_YText(saved[20]));
        // The whole waveform is in view again.
        EXPECT_EQ(program->View.ViewXStart, 0);
        EXPECT_EQ(program->View.ViewXEnd, n);
        EXPECT_EQ(program->View.XZoom, 1);
        EXPECT_EQ(window->Comb_XZoom[0]->currentIndex(), 0);
        EXPECT_FALSE(window->HScroll[0]->isEnabled());
        window->Comb_XZoom[0]->clear();
        // Binary files start a fresh undo history, text files take an undo copy.
        EXPECT_EQ(doc().UndoEnabled(), text);
        EXPECT_EQ(window->Menu_Undo->isEnabled(), text);
        if (text) {
            doc().Swap_Undo();
            EXPECT_EQ(W_GetWaveData(doc().CurrentBuf(), 0, n), static_cast<int16_t>(99 - 15000));
        }
    }
}

TEST_F(FileCommandsTest, BinaryFileRestoresItsModelAndSize) {
    const Snapshot start = snapshot(*program);
    selectModel(2, 2);
    const int16_t model = program->Setup.Param.ModelNo;
    const int32_t n = doc().N();
    ASSERT_NE(n, start.n);
    ASSERT_EQ(model, 2);
    program->Setup.InterfaceKind = IfNiGpib;
    fillRamp(doc(), 31);
    const std::vector<int16_t> saved = words(doc().CurrentBuf(), n);
    ASSERT_TRUE(commands().Save_Wave_File(path("model.wdb")));

    selectModel(0, 0);
    program->Setup.InterfaceKind = IfUsbTmc;
    ASSERT_EQ(doc().N(), start.n);
    fillRamp(doc(), 32);
    prompts.fileNames = {path("model.wdb")};
    window->Menu_FileOpen_Click();
    ASSERT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(u'|').toStdString();
    EXPECT_EQ(program->Setup.Param.ModelNo, model);
    EXPECT_EQ(program->Setup.InterfaceKind, IfNiGpib);
    EXPECT_EQ(doc().N(), n);
    EXPECT_EQ(words(doc().CurrentBuf(), n), saved);
    EXPECT_EQ(program->View.ViewXEnd, n);
    EXPECT_EQ(window->HScroll[0]->maximum(), ViewState::initialHScroll(n).maximum);
}

TEST_F(FileCommandsTest, UnknownModelNameSelectsModelZero) {
    selectModel(2, 0);
    SystemParameter sp = program->Setup.Param;
    sp.ModelName = QStringLiteral("NO-SUCH-MODEL   ");
    std::vector<int16_t> data(static_cast<size_t>(sp.MemorySize), 1234);
    writeAll(path("unknown.wdb"),
             file32::wdbBytes(Pack_System_Record(sp, program->Setup.InterfaceKind), data));
    ASSERT_TRUE(commands().Load_Wave_File(path("unknown.wdb")));
    EXPECT_EQ(program->Setup.Param.ModelNo, 0);
    EXPECT_EQ(program->Setup.Param.ModelName.trimmed(),
              program->Setup.ModelNames[0].section(QChar(0), 0, 0).trimmed());
}

// A record whose memory-size entry names another size than the file's
// points: the entry of the file's own size is taken, so no point is cut or
// padded; a size the model does not offer cannot be read when it is larger
// than every memory of the model.
TEST_F(FileCommandsTest, BinaryFileKeepsItsPointsWhateverItsSizeEntrySays) {
    struct Row {
        int model; // 2 offers 1024..65536 points, 0 only 4096
        int16_t sizeEntry;
        int32_t points;
        bool read;
        int shownModel, shownSize; // the set-up in force when it is opened
        int32_t memory;            // the memory it is read into
    } rows[] = {{2, 3, 4096, true, 2, 0, 4096},
                {2, 0, 4096, true, 2, 0, 4096},
                // No size of the model fits: the larger memory takes the
                // points, with zeros after them.
                {0, 0, 2048, true, 2, 0, 4096},
                {0, 0, 8192, false, 0, 0, 0},
                {0, 0, 8192, false, 2, 2, 0}};
    for (const Row& r : rows) {
        selectModel(r.model, 0);
        SystemParameter sp = program->Setup.Param;
        sp.MemorySizeNo = r.sizeEntry;
        sp.MemorySize = r.points;
        selectModel(r.shownModel, r.shownSize);
        const SystemParameter shown = program->Setup.Param;
        const SystemSetup shownSetup = program->Setup;
        auto held = engine::bufferWords(doc().CurrentBuf());
        std::fill(held.begin(), held.end(), int16_t(777)); // what a read must not leave
        const std::vector<int16_t> before = words(doc().CurrentBuf(), doc().N());
        std::vector<int16_t> data(static_cast<size_t>(r.points));
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<int16_t>(i % 1000);
        writeAll(path("size.wdb"),
                 file32::wdbBytes(Pack_System_Record(sp, program->Setup.InterfaceKind), data));
        prompts.clear();
        EXPECT_EQ(commands().Load_Wave_File(path("size.wdb")), r.read) << r.points;
        if (r.read) {
            EXPECT_EQ(doc().N(), r.memory);
            EXPECT_EQ(program->Setup.Param.MemorySize, r.memory);
            std::vector<int16_t> want = data;
            want.resize(size_t(r.memory), 0);
            EXPECT_EQ(words(doc().CurrentBuf(), doc().N()), want) << r.points;
        } else {
            EXPECT_EQ(prompts.boxTexts(), QStringList{GetMessage(71)});
            EXPECT_EQ(program->Setup.Param.MemorySize, shown.MemorySize);
            // The whole set-up is as it was, its size choice and step too.
            EXPECT_EQ(program->Setup.Param.ModelNo, shown.ModelNo);
            EXPECT_EQ(program->Setup.MemorySizeSelection, shownSetup.MemorySizeSelection);
            EXPECT_EQ(program->Setup.DisplayStep, shownSetup.DisplayStep);
            EXPECT_EQ(doc().N(), shown.MemorySize);
            EXPECT_EQ(words(doc().CurrentBuf(), doc().N()), before);
        }
    }
}

TEST_F(FileCommandsTest, BinaryFileKeepsItsOwnWaveformSendText) {
    SystemParameter sp = program->Setup.Param;
    sp.DefaultArbSend = QStringLiteral("MY:SEND:TEXT").leftJustified(64, QLatin1Char(' '));
    std::vector<int16_t> data(static_cast<size_t>(sp.MemorySize), -5);
    writeAll(path("arb.wdb"),
             file32::wdbBytes(Pack_System_Record(sp, program->Setup.InterfaceKind), data));
    ASSERT_TRUE(commands().Load_Wave_File(path("arb.wdb")));
    EXPECT_EQ(program->Setup.Param.DefaultArbSend.trimmed(), QStringLiteral("MY:SEND:TEXT"));
}

TEST_F(FileCommandsTest, LoadedNamesBecomeTheStartNamesOfTheOtherKinds) {
    ASSERT_TRUE(commands().Save_Wave_File(path("wave.wdb")));
    prompts.fileNames = {path("wave")}; // accepted as offered
    EXPECT_EQ(commands().File_Save(KindSetup), path("wave.ocb"));
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_EQ(prompts.fileRequests[0].fileName, path("wave"));
    EXPECT_TRUE(QFile::exists(path("wave.ocb")));
    EXPECT_EQ(doc().SetupFileName, path("wave.ocb"));

    int written = 0;
    prompts.fileNames = {path("wave")};
    EXPECT_EQ(commands().File_Save(KindExpression, false,
                                   [&](const QString& p) {
                                       written += p == path("wave.wfn");
                                       return 0;
                                   }),
              path("wave.wfn"));
    EXPECT_EQ(written, 1);
    EXPECT_EQ(doc().FuncFileName, path("wave.wfn"));
}

// --- Set-up files -------------------------------------------------------------

TEST_F(FileCommandsTest, SetupFileRoundTripRestoresModelAndInterface) {
    selectModel(2, 1);
    program->Setup.InterfaceKind = IfNiGpib;
    const PackedRecord saved = Pack_System_Record(program->Setup.Param, IfNiGpib);
    const int32_t n = doc().N();
    prompts.fileNames = {path("set.ocb")};
    ASSERT_EQ(commands().File_Save(KindSetup), path("set.ocb"));

    selectModel(0, 0);
    program->Setup.InterfaceKind = IfUsbTmc;
    prompts.fileNames = {path("set.ocb")};
    int changed = 0;
    FileHooks hooks;
    hooks.setupChanged = [&] { ++changed; };
    EXPECT_EQ(FileCommands(*program, hooks).File_Open(KindSetup), path("set.ocb"));
    EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(u'|').toStdString();
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(program->Setup.Param.ModelNo, 2);
    EXPECT_EQ(program->Setup.InterfaceKind, IfNiGpib);
    EXPECT_EQ(doc().N(), n);
    EXPECT_EQ(Pack_System_Record(program->Setup.Param, program->Setup.InterfaceKind), saved);
    EXPECT_EQ(doc().SetupFileName, path("set.ocb"));
}

// --- Expression and point-list names -------------------------------------------

TEST_F(FileCommandsTest, DialogKindsRememberOnlySuccessfulReadsAndWrites) {
    writeAll(path("pts.csv"), "1,2\r\n");
    writeAll(path("f.wfn"), "x");
    int32_t result = 71;
    QStringList seen;
    const FileAction action = [&](const QString& p) {
        seen << p;
        return result;
    };
    prompts.fileNames = {path("pts.csv"), path("f.wfn"), path("out.tsv")};
    EXPECT_TRUE(commands().File_Open(KindPointList, action).isEmpty());
    EXPECT_TRUE(commands().File_Open(KindExpression, action).isEmpty());
    result = 72;
    EXPECT_TRUE(commands().File_Save(KindPointList, false, action).isEmpty());
    EXPECT_EQ(prompts.boxTexts(), QStringList({msg(71), msg(71), msg(72)}));
    EXPECT_EQ(seen, QStringList({path("pts.csv"), path("f.wfn"), path("out.tsv")}));
    EXPECT_EQ(doc().TextFileName, QStringLiteral("Untitled"));
    EXPECT_EQ(doc().FuncFileName, QStringLiteral("Untitled"));

    result = 0;
    prompts.clear();
    prompts.fileNames = {path("pts.csv"), path("f.wfn")};
    EXPECT_EQ(commands().File_Open(KindPointList, action), path("pts.csv"));
    EXPECT_EQ(doc().TextFileName, path("pts.csv"));
    EXPECT_EQ(commands().File_Open(KindExpression, action), path("f.wfn"));
    EXPECT_EQ(doc().FuncFileName, QStringLiteral("Untitled")); // an open does not change it
    EXPECT_TRUE(prompts.boxes.empty());
}

// --- Damaged files --------------------------------------------------------------

TEST_F(FileCommandsTest, DamagedFilesChangeNothingAndShow71) {
    // A sound file to damage.
    fillRamp(doc(), 41);
    ASSERT_TRUE(commands().Save_Wave_File(path("good.wdb")));
    const QByteArray good = readAll(path("good.wdb"));
    ASSERT_GT(good.size(), file32::kWdbDataOffset);
    QByteArray badMagic = good;
    badMagic[0] = 'X';
    QByteArray shortData = good.left(good.size() - 2);
    QByteArray nanRecord = good;
    for (int i = 0; i < 8; ++i)
        nanRecord[file32::kWdbHeaderSize + 138 + i] = char(0xFF); // Frequency: NaN
    writeAll(path("magic.wdb"), badMagic);
    writeAll(path("short.wdb"), shortData);
    writeAll(path("nan.wdb"), nanRecord);
    writeAll(path("empty.wdb"), QByteArray());
    writeAll(path("words.txt"), "title\r\nabc\r\ndef\r\n");
    writeAll(path("empty.txt"), QByteArray());
    writeAll(path("bad.ocb"), "VOCB");
    // Chosen in the dialog, a FIFO would wait for a writer that never comes.
    for (const char* fifo : {"fifo.wdb", "fifo.txt", "fifo.ocb"})
        ASSERT_EQ(::mkfifo(path(fifo).toLocal8Bit().constData(), 0600), 0);

    // A distinct current state: an edit with an undo copy, other markers.
    fillRamp(doc(), 42);
    doc().Save_Undo();
    fillRamp(doc(), 43);
    doc().CurArea() = {5, 6};
    doc().WaveFileName = path("good.wdb");
    doc().SetupFileName = QStringLiteral("/s/set");
    window->Set_Caption();
    const QString caption = window->windowTitle();

    for (const char* name : {"magic.wdb", "short.wdb", "nan.wdb", "empty.wdb", "missing.wdb",
                             "fifo.wdb", "words.txt", "empty.txt", "missing.txt", "fifo.txt"}) {
        prompts.clear();
        const Snapshot before = snapshot(*program);
        prompts.fileNames = {path(name)};
        window->Menu_FileOpen_Click();
        EXPECT_EQ(snapshot(*program), before) << name;
        EXPECT_EQ(prompts.boxTexts(), QStringList{msg(71)}) << name;
        EXPECT_EQ(window->windowTitle(), caption) << name;
    }
    for (const char* name : {"bad.ocb", "missing.ocb", "fifo.ocb"}) {
        prompts.clear();
        const Snapshot before = snapshot(*program);
        prompts.fileNames = {path(name)};
        EXPECT_TRUE(commands().File_Open(KindSetup).isEmpty());
        EXPECT_EQ(snapshot(*program), before) << name;
        EXPECT_EQ(prompts.boxTexts(),
                  QStringList{QStringLiteral("[%1] ").arg(path(name)) + msg(71)})
            << name;
    }
}

// --- Failed writes ---------------------------------------------------------------

// Makes a folder refuse new files (also for root, where possible).
class LockedFolder {
public:
    explicit LockedFolder(const QString& folder) : folder_(folder) {
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::ExeOwner);
        if (!writable())
            return;
        immutable_ =
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder_}) == 0;
    }
    ~LockedFolder() {
        if (immutable_)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder_});
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool locked() const { return !writable(); }

private:
    bool writable() const {
        QFile probe(folder_ + QStringLiteral("/probe"));
        const bool ok = probe.open(QIODevice::WriteOnly);
        if (ok)
            probe.remove();
        return ok;
    }
    QString folder_;
    bool immutable_ = false;
};

TEST_F(FileCommandsTest, FailedWritesShow72AndKeepTheOldFile) {
    const QString folder = path("locked");
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const char* name : {"/w.wdb", "/w.txt", "/s.ocb"})
        writeAll(folder + QLatin1String(name), "OLD");
    LockedFolder lock(folder);
    if (!lock.locked())
        GTEST_SKIP() << "this system lets every folder be written";

    fillRamp(doc(), 51);
    const Snapshot before = snapshot(*program);
    for (const char* name : {"/w.wdb", "/w.txt"}) {
        prompts.clear();
        prompts.fileNames = {folder + QLatin1String(name)};
        prompts.answers = {Answer::Yes}; // overwrite
        (QString::fromLatin1(name).endsWith(QLatin1String("txt")) ? window->Menu_FileSaveAs2
                                                                  : window->Menu_FileSaveAs)
            ->trigger();
        EXPECT_EQ(prompts.boxTexts(), QStringList({msg(5), msg(72)})) << name;
        EXPECT_EQ(readAll(folder + QLatin1String(name)), QByteArray("OLD")) << name;
        EXPECT_EQ(snapshot(*program), before) << name;
        EXPECT_EQ(window->windowTitle(), QStringLiteral("VELDA <Untitled>"));
    }
    prompts.clear();
    prompts.fileNames = {folder + QStringLiteral("/s.ocb")};
    prompts.answers = {Answer::Yes};
    EXPECT_TRUE(commands().File_Save(KindSetup).isEmpty());
    EXPECT_EQ(prompts.boxTexts(),
              QStringList({msg(5), QStringLiteral("[%1/s.ocb] ").arg(folder) + msg(72)}));
    EXPECT_EQ(readAll(folder + QStringLiteral("/s.ocb")), QByteArray("OLD"));
    EXPECT_EQ(doc().SetupFileName, QStringLiteral("Untitled"));
}

// --- Command line ----------------------------------------------------------------

class CommandLineTest : public ::testing::Test {
protected:
    ProgramOptions options() {
        ProgramOptions o;
        o.dataDir = test::sourceDataDir();
        o.iniPath = dir.filePath(QStringLiteral("VELDA.ini"));
        return o;
    }
    QTemporaryDir dir;
    RecordingPrompts prompts;
};

TEST_F(CommandLineTest, NamedFileOpensBeforeTheCaptionAndIsNotCleared) {
    const QString file = dir.filePath(QStringLiteral("start.txt"));
    {
        QByteArray text;
        for (int i = 0; i < 100; ++i)
            text += QByteArray::number(i * 100 + 1) + "\r\n";
        writeAll(file, text);
    }
    Program p(options());
    MainWindow w(p);
    ASSERT_TRUE(w.Form_Load(file));
    EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(u'|').toStdString();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("VELDA <%1>").arg(file));
    EXPECT_EQ(p.Document.WaveFileName, file);
    EXPECT_EQ(p.Document.TextFileName, file.chopped(4));
    const int32_t n = p.Document.N();
    EXPECT_EQ(W_GetWaveData(p.Document.CurrentBuf(), 0, n), 1);
    EXPECT_EQ(W_GetWaveData(p.Document.CurrentBuf(), 99, n), 9901);
    EXPECT_EQ(W_GetWaveData(p.Document.CurrentBuf(), 100, n), 0);
    EXPECT_FALSE(w.Menu_Undo->isEnabled());
    EXPECT_EQ(p.Document.CurArea().EndX, n);
}

TEST_F(CommandLineTest, UnreadableNamedFileLeavesAnUntitledClearedDocument) {
    Program p(options());
    MainWindow w(p);
    ASSERT_TRUE(w.Form_Load(dir.filePath(QStringLiteral("missing.wdb"))));
    EXPECT_EQ(prompts.boxTexts(), QStringList{msg(71)});
    EXPECT_EQ(w.windowTitle(), QStringLiteral("VELDA <Untitled>"));
    for (const QString* name : {&p.Document.WaveFileName, &p.Document.SetupFileName,
                                &p.Document.TextFileName, &p.Document.FuncFileName})
        EXPECT_EQ(*name, QStringLiteral("Untitled"));
    const int32_t n = p.Document.N();
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(W_GetWaveData(p.Document.CurrentBuf(), i, n), 0) << i;
}

} // namespace
