// File > Import through real shared libraries: the fake plug-ins of
// tests/fakes/plugin_fail and the shipped text-column and sound-file ones.
#include "TestSupport.h"

#include "app/Messages.h"
#include "app/Program.h"
#include "document/MainWindow.h"
#include "engine/wavelb32.h"
#include "files/FileCommands.h"
#include "files/PluginImport.h"
#include "files/PluginLoader.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <sndfile.h>
#include <sys/stat.h>
#include <vector>

using namespace velda;

namespace {

QString fakeFolder(const char* name) {
    return QStringLiteral(VELDA_BINARY_DIR "/tests/fakes/plugin_fail/") + QLatin1String(name);
}
QString shippedFolder() {
    return QStringLiteral(VELDA_BINARY_DIR "/PlugIn");
}

int16_t fakeWord(long p, int sign) {
    return static_cast<int16_t>(sign * ((p * 7) % 65535 - 32767));
}

} // namespace

class PluginImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        program.reset();
        ProgramOptions o;
        o.dataDir = test::sourceDataDir();
        o.iniPath = dir.filePath(QStringLiteral("VELDA.ini"));
        program = std::make_unique<Program>(o);
        program->Create_Registry();
        ASSERT_TRUE(program->Init_System());
        // A known waveform, to see what an import changes.
        auto w = words();
        for (size_t i = 0; i < w.size(); ++i)
            w[i] = static_cast<int16_t>(i % 100);
        before = current();
        program->Document.WaveFileName = QStringLiteral("/tmp/old.wdb");
        prompts.clear();
    }
    void TearDown() override {
        program.reset();
        Set_Language(true);
    }
    std::span<int16_t> words() {
        return engine::bufferWords(program->Document.CurrentBuf())
            .first(static_cast<size_t>(program->Document.N()));
    }
    std::vector<int16_t> current() {
        auto w = words();
        return {w.begin(), w.end()};
    }
    QString file(const char* name, const QByteArray& content) {
        const QString p = dir.filePath(QLatin1String(name));
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return p;
    }
    // Runs File > Import choosing `path` with filter `chosen`.
    int32_t import(const QStringList& folders, const QString& path, int chosen = 0) {
        prompts.fileNames = {path};
        prompts.chosenFilters = {chosen};
        captions = 0;
        return File_Import(*program, folders, [this] { ++captions; });
    }

    QTemporaryDir dir;
    test::RecordingPrompts prompts;
    std::unique_ptr<Program> program;
    std::vector<int16_t> before;
    int captions = 0;
};

TEST_F(PluginImportTest, FilterHasOneEntryPerPluginAndTheTitleFollowsTheLanguage) {
    for (const bool english : {true, false}) {
        Set_Language(english);
        prompts.clear();
        import({fakeFolder("abc"), fakeFolder("xyz")}, QString()); // cancelled
        ASSERT_EQ(prompts.fileRequests.size(), 1u);
        EXPECT_EQ(prompts.fileRequests[0].caption,
                  english ? QStringLiteral("IMPORT") : QString::fromUtf8("インポート"));
        EXPECT_EQ(prompts.fileRequests[0].filter, Qt_Filter_Text("Alpha |*.abc|Beta |*.xyz|"));
        EXPECT_EQ(prompts.fileRequests[0].filter, "Alpha (*.abc);;Beta (*.xyz)");
        EXPECT_EQ(current(), before);
    }
    PluginSet set;
    set.load({fakeFolder("abc"), fakeFolder("xyz")});
    EXPECT_EQ(set.filterList(), "Alpha |*.abc|Beta |*.xyz|");
}

// Each plug-in is one entry of the filter, and each entry reads through its
// own plug-in, whatever a plug-in calls itself: separators of the filter in
// a name or extension, or the name and extension of another.
TEST_F(PluginImportTest, EveryFilterEntryLeadsToItsOwnPlugin) {
    const QStringList folders = {fakeFolder("abc"), fakeFolder("odd"), fakeFolder("twin")};
    import(folders, QString()); // cancelled
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    const QStringList entries = prompts.fileRequests[0].filter.split(QStringLiteral(";;"));
    EXPECT_EQ(entries, (QStringList{"Alpha (*.abc)", "Gamma Delta *.x Eps (*.od *.ef)",
                                    "Alpha [fake_twin.so] (*.abc)"}));
    EXPECT_EQ(QSet<QString>(entries.begin(), entries.end()).size(), entries.size());
    // The dialog hands the chosen entry back with runs of blanks made one.
    for (const QString& entry : entries)
        EXPECT_EQ(entry, entry.simplified());
    const int signs[] = {1, -1, -1};
    for (int chosen = 0; chosen < 3; ++chosen) {
        SCOPED_TRACE(chosen);
        SetUp();
        EXPECT_EQ(import(folders, file("in.abc", "10 0 0"), chosen), 10);
        EXPECT_EQ(current()[3], fakeWord(3, signs[chosen]));
    }
}

// Points land in the current waveform; seek when the start is above 0; the
// chosen filter picks the plug-in; never more than N points.
TEST_F(PluginImportTest, ImportsThePointsTheChosenPluginDelivers) {
    const int32_t n = program->Document.N();
    struct Row {
        const char* name;
        QByteArray content;
        int chosen;
        int sign;
        long points, start;
    };
    const Row rows[] = {
        {"fewer than N, Alpha", "1234 0 0", 0, 1, 1234, 0},
        {"fewer than N, Beta", "1234 0 0", 1, -1, 1234, 0},
        {"from a start position", "1000 250 0", 0, 1, 1000, 250},
        {"more than N", QByteArray::number(n + 5000) + " 0 0", 1, -1, n + 5000L, 0},
        {"exactly one block", "500 0 0", 0, 1, 500, 0},
        // A plug-in that fills a whole block where fewer words were asked
        // for: the words past those asked are not taken.
        {"whole blocks written", "700 0 0 1", 0, 1, 700, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        SetUp();
        const long expected = std::min<long>(r.points, n);
        EXPECT_EQ(
            import({fakeFolder("abc"), fakeFolder("xyz")}, file("in.fak", r.content), r.chosen),
            std::min<long>(r.points, n));
        EXPECT_TRUE(prompts.boxes.empty());
        const auto w = current();
        for (long i = 0; i < expected; ++i)
            ASSERT_EQ(w[static_cast<size_t>(i)], fakeWord(r.start + i, r.sign)) << i;
        // Points past the file keep what they held.
        for (long i = std::min<long>(r.points, n); i < n; ++i)
            ASSERT_EQ(w[static_cast<size_t>(i)], before[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(program->Document.WaveFileName, "Untitled");
        EXPECT_EQ(captions, 1);
        // No undo copy was taken.
        EXPECT_FALSE(program->Document.UndoEnabled());
    }
    // A word below the scale from a plug-in is the scale's bottom.
    SetUp();
    EXPECT_EQ(import({fakeFolder("abc")}, file("low.abc", "10 0 0 4")), 10);
    const auto w = current();
    EXPECT_EQ(std::count(w.begin(), w.begin() + 10, int16_t(-32767)), 10);
}

TEST_F(PluginImportTest, FailureLeavesTheDocumentAlone) {
    struct Row {
        const char* name;
        QByteArray content;
        int message = 241;
    };
    const Row rows[] = {
        {"refused at begin", "refuse"},
        {"fails on the third block", "2000 0 3"},
        {"fails on the first block", "2000 0 1"},
        {"no points", "0 0 0"},
        {"a start before the first point", "100 -5 0"},
        {"more delivered than asked", "2000 0 0 2"},
        {"throws out of a read", "2000 0 0 3"},
        // A FIFO would hold the plug-in's read until a writer came.
        {"a FIFO", "fifo", 71},
    };
    ASSERT_EQ(::mkfifo(dir.filePath("fifo.abc").toLocal8Bit().constData(), 0600), 0);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        SetUp();
        const QString chosen =
            r.message == 71 ? dir.filePath("fifo.abc") : file("bad.abc", r.content);
        EXPECT_EQ(import({fakeFolder("abc")}, chosen), 0);
        EXPECT_EQ(prompts.boxTexts(), QStringList{GetMessage(r.message)});
        EXPECT_EQ(current(), before);
        EXPECT_EQ(program->Document.WaveFileName, "/tmp/old.wdb");
        EXPECT_EQ(captions, 0);
    }
}

// No plug-in: 240, and a file chosen all the same is one no plug-in reads.
TEST_F(PluginImportTest, NoPluginShows240AndAChosenFile241) {
    QTemporaryDir empty;
    EXPECT_EQ(import({empty.path()}, file("x.abc", "10 0 0")), 0);
    EXPECT_EQ(prompts.boxTexts(), (QStringList{GetMessage(240), GetMessage(241)}));
    EXPECT_EQ(current(), before);
}

TEST_F(PluginImportTest, WrongVersionMissingFunctionAndAFileNameSeenBeforeAreSkipped) {
    ::testing::internal::CaptureStderr();
    PluginSet set;
    EXPECT_EQ(set.load({fakeFolder("bad"), fakeFolder("abc"), fakeFolder("abc")}), 1);
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(set.plugins().size(), 1u);
    EXPECT_EQ(set.plugins()[0].name, "Alpha");
    EXPECT_NE(err.find("fake_oldversion.so skipped: another interface version"), std::string::npos)
        << err;
    EXPECT_NE(err.find("fake_noread.so skipped: a function"), std::string::npos) << err;
    EXPECT_NE(err.find("fake_abc.so skipped: a plug-in of its file name"), std::string::npos)
        << err;
    EXPECT_NE(err.find("fake_throwname.so skipped: a function of the plug-in interface failed"),
              std::string::npos)
        << err;
}

TEST_F(PluginImportTest, ShippedPluginsAreFoundBesideTheProgram) {
    PluginSet set;
    ASSERT_EQ(set.load({shippedFolder()}), 2);
    QStringList names;
    for (const auto& p : set.plugins())
        names << p.name;
    EXPECT_EQ(names, (QStringList{"Text columns", "Sound files"}));
    EXPECT_TRUE(set.plugins()[1].extensions.contains("flac"));
}

// File > Import in the main window finds a plug-in the user put into the
// data folder, and the caption shows "Untitled" afterwards.
TEST_F(PluginImportTest, MainWindowImportsFromTheUserFolder) {
    program.reset();
    ProgramOptions o;
    o.dataDir = test::sourceDataDir();
    o.iniPath = dir.filePath(QStringLiteral("VELDA2.ini"));
    program = std::make_unique<Program>(o);
    MainWindow w(*program);
    ASSERT_TRUE(w.Form_Load(QString()));
    program->Document.WaveFileName = QStringLiteral("/tmp/old.wdb");
    w.Set_Caption();
    const QString user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                         QStringLiteral("/PlugIn");
    ASSERT_TRUE(QDir().mkpath(user));
    const QString copy = user + QStringLiteral("/fake_abc.so");
    QFile::remove(copy);
    ASSERT_TRUE(QFile::copy(fakeFolder("abc") + QStringLiteral("/fake_abc.so"), copy));
    ASSERT_TRUE(w.Menu_FileImport->isEnabled());
    prompts.clear();
    prompts.fileNames = {file("w.abc", "300 0 0")};
    // Whichever plug-ins are beside the test program, the user's comes last.
    PluginSet set;
    set.load(Plugin_Folders());
    prompts.chosenFilters = {static_cast<int>(set.plugins().size()) - 1};
    w.Menu_FileImport->trigger();
    QFile::remove(copy);
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(w.windowTitle(), "VELDA <Untitled>");
    EXPECT_EQ(words()[299], fakeWord(299, 1));
}
