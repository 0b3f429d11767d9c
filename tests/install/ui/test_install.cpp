// The installed program: `cmake --install` of this build folder into a
// temporary prefix gives a program that finds its data from wherever it is
// started and opens the file named on its command line.
#include "TestSupport.h"

#include "app/InstallPaths.h"
#include "app/Program.h"
#include "document/MainWindow.h"
#include "engine/wavelb32.h"
#include "files/FileCommands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velda;

namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

std::string str(const QString& s) {
    return s.toStdString();
}

} // namespace

TEST(InstallPaths, DataBesideTheExecutableElseInTheInstalledShareFolder) {
    struct Case {
        const char* name;
        bool beside;        // bin/data/models.toml
        bool besideFolder;  // bin/data/ without models.toml
        bool installed;     // share/velda/models.toml
        const char* expect; // relative to the root
    } cases[] = {
        {"build folder", true, false, false, "bin/data"},
        {"installed", false, false, true, "share/velda"},
        {"both: the build folder wins", true, false, true, "bin/data"},
        {"an empty data folder beside is passed over", false, true, true, "share/velda"},
        {"neither: the build folder's name for the error", false, false, false, "bin/data"},
    };
    for (const Case& c : cases) {
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        const QString bin = root.filePath(QStringLiteral("bin"));
        QDir().mkpath(bin);
        if (c.beside)
            touch(bin + QStringLiteral("/data/models.toml"));
        if (c.besideFolder)
            QDir().mkpath(bin + QStringLiteral("/data"));
        if (c.installed)
            touch(root.filePath(QStringLiteral("share/velda/models.toml")));
        EXPECT_EQ(str(findDataDir(bin)), str(root.filePath(QString::fromLatin1(c.expect))))
            << c.name;
    }
}

TEST(InstallPaths, PlugInsBesideTheExecutableThenInstalledThenTheUsers) {
    const QStringList dirs = pluginDirs(QStringLiteral("/opt/v/bin"));
    ASSERT_GE(dirs.size(), 3);
    EXPECT_EQ(str(dirs[0]), "/opt/v/bin/PlugIn");
    EXPECT_EQ(str(dirs[1]), "/opt/v/lib/velda/PlugIn");
    EXPECT_TRUE(dirs[2].endsWith(QStringLiteral("/PlugIn")));
    EXPECT_FALSE(dirs[2].startsWith(QStringLiteral("/opt/v"))) << "the user's own folder";
}

TEST(Install, TheInstalledProgramFindsItsDataAndOpensTheFileOnItsCommandLine) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(VELDA_CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(VELDA_BINARY_DIR),
                   QStringLiteral("--prefix"), prefix.path()});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();

    const QString p = prefix.path() + QLatin1Char('/');
    for (const char* f :
         {"bin/velda", "share/velda/models.toml", "share/velda/USBTMC.ID", "share/velda/help",
          "lib/velda/PlugIn", "share/applications/velda.desktop",
          "share/icons/hicolor/scalable/apps/velda.svg", "share/mime/packages/velda.xml"})
        EXPECT_TRUE(QFileInfo::exists(p + QLatin1String(f))) << f;
    EXPECT_TRUE(QFileInfo(p + QStringLiteral("lib/velda/PlugIn")).isDir());
    EXPECT_FALSE(QDir(p + QStringLiteral("share/velda/help")).isEmpty());

    const QString validate =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validate.isEmpty()) << "desktop-file-utils is not installed";
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(validate, {p + QStringLiteral("share/applications/velda.desktop")});
    ASSERT_TRUE(check.waitForFinished(30000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAll().toStdString();
    EXPECT_TRUE(check.readAll().trimmed().isEmpty());

    // A waveform written by this program, and the caption it gets when opened.
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString wave = work.filePath(QStringLiteral("my wave.wdb"));
    QString caption;
    {
        test::RecordingPrompts prompts;
        ProgramOptions o;
        o.dataDir = test::sourceDataDir();
        o.iniPath = work.filePath(QStringLiteral("writer.ini"));
        Program program(o);
        MainWindow window(program);
        ASSERT_TRUE(window.Form_Load(QString()));
        auto words = engine::bufferWords(program.Document.CurrentBuf());
        for (size_t i = 0; i < 100 && i < words.size(); ++i)
            words[i] = static_cast<int16_t>(i * 300);
        ASSERT_TRUE(FileCommands(program).Save_Wave_File(wave));
        EXPECT_TRUE(prompts.boxes.empty());
    }
    {
        test::RecordingPrompts prompts;
        ProgramOptions o;
        o.dataDir = test::sourceDataDir();
        o.iniPath = work.filePath(QStringLiteral("reader.ini"));
        Program program(o);
        MainWindow window(program);
        ASSERT_TRUE(window.Form_Load(wave));
        caption = window.windowTitle();
        EXPECT_TRUE(prompts.boxes.empty());
    }
    ASSERT_TRUE(caption.contains(QStringLiteral("my wave.wdb"))) << str(caption);

    // Started from another folder, with a home of its own and nothing else.
    const QString home = work.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VELDA_STARTUP_CHECK"), QStringLiteral("1"));
    QProcess velda;
    velda.setProcessEnvironment(env);
    velda.setWorkingDirectory(work.path());
    velda.start(p + QStringLiteral("bin/velda"), {wave});
    ASSERT_TRUE(velda.waitForFinished(60000)) << "no caption: a box is waiting at start-up?";
    EXPECT_EQ(velda.exitCode(), 0) << velda.readAllStandardError().toStdString();
    EXPECT_EQ(str(QString::fromUtf8(velda.readAllStandardOutput()).trimmed()), str(caption));

    // Nothing was written into the program's folders.
    EXPECT_EQ(QDir(p + QStringLiteral("bin")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{QStringLiteral("velda")});
    EXPECT_TRUE(QDir(p + QStringLiteral("lib/velda/PlugIn"))
                    .entryList(QDir::NoDotAndDotDot | QDir::AllEntries)
                    .isEmpty());
}
