#include "TestSupport.h"
#include "app/Help.h"
#include "app/HelpWindow.h"
#include "app/Messages.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <gtest/gtest.h>

using namespace velda;

namespace {

struct LanguageGuard {
    explicit LanguageGuard(bool english) { Set_Language(english); }
    ~LanguageGuard() { Set_Language(true); }
};

QString shippedHelpDir() {
    return test::sourceDataDir() + QStringLiteral("/help");
}

// A help folder holding the given files and an opener that records its calls.
struct HelpFixture {
    explicit HelpFixture(const QStringList& files, bool openerSucceeds = true) {
        for (const QString& name : files) {
            QFile f(dir.filePath(name));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("<html><body>help</body></html>");
        }
        help.setFolder(dir.path());
        help.setOpener([this, openerSucceeds](const QString& path) {
            opened << path;
            return openerSucceeds;
        });
    }
    QTemporaryDir dir;
    HelpFiles help;
    QStringList opened;
};

} // namespace

TEST(Help, FileNamesFollowTheLanguage) {
    const char* english[] = {"7731CRTE.hlp", "7731ELSE.hlp", "7731SPNE.hlp",
                             "7731CALE.hlp", "7731SYSE.hlp", "7731E.hlp"};
    const char* japanese[] = {"7731CRTJ.hlp", "7731ELSJ.hlp", "7731SPNJ.hlp",
                              "7731CALJ.hlp", "7731SYSJ.hlp", "7731J.hlp"};
    HelpFiles help;
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(help.HelpFile(i), QString::fromLatin1(english[i])) << i;
    LanguageGuard jp(false);
    help.Set_HelpFiles();
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(help.HelpFile(i), QString::fromLatin1(japanese[i])) << i;
    EXPECT_EQ(help.HelpFile(6), QString());
    EXPECT_EQ(help.HelpFile(-1), QString());
}

TEST(Help, ShowHelpOpensTheNamedFileOrShowsMessage99) {
    struct Case {
        int index;
        QStringList present;
        bool opened;
        bool box99;
    };
    const Case cases[] = {
        {5, {"7731E.hlp"}, true, false},    {0, {"7731CRTE.hlp"}, true, false},
        {4, {"7731E.hlp"}, false, true},    // only another help file is there
        {5, {"7731J.hlp"}, false, true},    // the other language's file does not stand in
        {6, {"7731E.hlp"}, false, true},    // below 7 but names no file
        {7, {"7731E.hlp"}, false, false},   // refused
        {-1, {"7731E.hlp"}, false, false},  // refused
        {100, {"7731E.hlp"}, false, false}, // refused
    };
    for (const Case& c : cases) {
        HelpFixture f(c.present);
        test::RecordingPrompts rec;
        EXPECT_EQ(f.help.Show_Help(c.index), c.opened) << c.index;
        if (c.opened) {
            ASSERT_EQ(f.opened.size(), 1) << c.index;
            EXPECT_EQ(QFileInfo(f.opened[0]).fileName(), f.help.HelpFile(c.index));
            EXPECT_TRUE(QFileInfo(f.opened[0]).isAbsolute());
        } else {
            EXPECT_TRUE(f.opened.isEmpty()) << c.index;
        }
        if (c.box99) {
            ASSERT_EQ(rec.boxes.size(), 1u) << c.index;
            EXPECT_EQ(rec.boxes[0].title, QStringLiteral("Error Message"));
            EXPECT_EQ(rec.boxes[0].text, QStringLiteral("Cannot find help file.\r"));
        } else {
            EXPECT_TRUE(rec.boxes.empty()) << c.index;
        }
    }
}

TEST(Help, AFolderWithTheHelpFilesNameIsNotAFile) {
    HelpFixture f({});
    ASSERT_TRUE(QDir(f.dir.path()).mkdir(QStringLiteral("7731E.hlp")));
    test::RecordingPrompts rec;
    EXPECT_FALSE(f.help.Show_Help(5));
    EXPECT_TRUE(f.opened.isEmpty());
    EXPECT_EQ(rec.boxes.size(), 1u);
}

TEST(Help, AViewerThatCannotReadTheFileReportsMessage99) {
    HelpFixture f({"7731E.hlp"}, false);
    test::RecordingPrompts rec;
    EXPECT_FALSE(f.help.Show_Help(5));
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].text, GetMessage(99));
}

TEST(Help, EveryShippedPageLoadsInTheHelpWindow) {
    HelpWindow window;
    for (bool english : {true, false}) {
        for (int i = 0; i < HelpFiles::Count; ++i) {
            const QString name = HelpFiles::fileName(i, english);
            const QString path = QDir(shippedHelpDir()).filePath(name);
            ASSERT_TRUE(QFileInfo(path).isFile()) << name.toStdString();
            ASSERT_TRUE(window.openFile(path)) << name.toStdString();
            EXPECT_TRUE(window.isVisible());
            const QString text = window.browser()->toPlainText();
            EXPECT_GT(text.size(), 400) << name.toStdString();
            EXPECT_FALSE(window.windowTitle().isEmpty());
            // Read as HTML, not shown as markup.
            EXPECT_FALSE(text.contains(QStringLiteral("<p>"))) << name.toStdString();
            EXPECT_EQ(window.browser()->textCursor().position(), 0);
        }
    }
}

TEST(Help, ShippedPagesLinkOnlyToShippedPages) {
    const QRegularExpression href(QStringLiteral("href=\"([^\"#]+)"));
    const QDir dir(shippedHelpDir());
    for (const QString& name : dir.entryList({QStringLiteral("*.hlp")})) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(f.readAll());
        auto it = href.globalMatch(html);
        while (it.hasNext()) {
            const QString target = it.next().captured(1);
            if (target.startsWith(QStringLiteral("http")))
                continue;
            EXPECT_TRUE(QFileInfo(dir.filePath(target)).isFile())
                << name.toStdString() << " -> " << target.toStdString();
        }
    }
}

TEST(Help, MainPageOpensThroughShowHelp) {
    HelpWindow window;
    HelpFiles help(shippedHelpDir(), window.opener());
    test::RecordingPrompts rec;
    ASSERT_TRUE(help.Show_Help(HelpFiles::MainHelp));
    EXPECT_TRUE(rec.boxes.empty());
    EXPECT_TRUE(window.browser()->toPlainText().contains(QStringLiteral("marker")));
    EXPECT_EQ(QFileInfo(window.browser()->source().toLocalFile()).fileName(),
              QStringLiteral("7731E.hlp"));
}

TEST(Help, WindowRefusesAMissingFile) {
    HelpWindow window;
    EXPECT_FALSE(window.openFile(QStringLiteral("/nonexistent/7731E.hlp")));
    EXPECT_FALSE(window.isVisible());
}
