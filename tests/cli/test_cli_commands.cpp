// The command line run as the built program: each command over its cases
// and exit codes, with no display.
#include "CliRunner.h"
#include "TestSupport.h"
#include "app/Messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velda;
using namespace velda::test;

namespace {

std::string str(const QString& s) {
    return s.toStdString();
}

// An expression file in data words over 0..1024 (the reader rescales it to
// the points in use) with the given pages.
struct PageText {
    int page;
    int type; // 4 DC, 5 expression
    double start, end, offset;
    const char* expr;
};

QByteArray pagesFile(const std::vector<PageText>& pages) {
    QByteArray b = "'+++++++++++++++\r\n'<Unit Setup>\r\n'[X-Axis Unit]\r\n'X-Axis Unit\tWord\r\n"
                   "'Name\tWord\r\n'Min to Max\t\r\n'XX\t0,1024\r\n'[Y-Axis Unit]\r\n"
                   "'Y-Axis Unit\tData\r\n'Name\t\r\n'Min to Max\t\r\n'YY\t-32767,32767\r\n"
                   "'+++++++++++++++\r\n";
    for (const PageText& p : pages) {
        b += "StartPage\r\n" + QByteArray::number(p.page) + "\t\t'Page\r\n" +
             QByteArray::number(p.type) + "\t\t'Type\r\n" + QByteArray::number(p.start) +
             "\t\t'Start\r\n" + QByteArray::number(p.end) + "\t\t'End\r\n" +
             QByteArray::number(p.offset) +
             "\t\t'Offset\r\n0\t\t'Size\r\n65534\t\t'Ampl\r\n1\t\t'Cycle\r\n0\t\t'Phase\r\n"
             "50\t\t'Symm\r\n50\t\t'Duty\r\n0\t\t'Transition\r\n\t\t'Y=\r\n" +
             QByteArray(p.expr) + "\r\n\t\t'Const\r\nNone\r\nEndPage\r\n'----------------\r\n";
    }
    return b;
}

// Two DC halves: 1000 on the first, -2000 on the second.
const std::vector<PageText> kTwoHalves{{1, 4, 0, 512, 1000, ""}, {2, 4, 512, 1024, -2000, ""}};

// The value of a "Label<TAB>value" line of the output.
QString valueOf(const QString& out, const QString& label) {
    for (const QString& line : out.split(QLatin1Char('\n')))
        if (line.startsWith(label + QLatin1Char('\t')))
            return line.mid(label.size() + 1);
    return QStringLiteral("<no %1 line>").arg(label);
}

// The model names of the shipped model file, in order.
QStringList shippedModelNames() {
    QStringList names;
    const QStringList lines =
        QString::fromUtf8(File_Bytes(sourceDataDir() + "/models.toml")).split(QLatin1Char('\n'));
    for (int i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].trimmed() == QLatin1String("[[model]]")) {
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^name = \"(.*)\"")).match(lines[i + 1]);
            if (m.hasMatch())
                names << m.captured(1);
        }
    return names;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(Write_Bytes(path("halves.wfn"), pagesFile(kTwoHalves)));
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    CliRun velda(const QStringList& args) const { return Run_Velda(args, dir.path()); }
    // The program's settings file as the program finds it (this process's
    // own standard paths are in test mode and point elsewhere).
    static QString settingsFile() {
        return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/VELDA/VELDA.ini");
    }
    // halves.wfn built into `out` with the saved (default) model.
    void makeHalves(const QString& out) {
        const CliRun r = velda({"create", "halves.wfn", out});
        ASSERT_EQ(r.exitCode, 0) << str(r.errText());
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(CliTest, HelpAndVersionPrintAndSucceed) {
    struct Row {
        QStringList args;
        QString startsWith;
    };
    std::vector<Row> rows{{{"--help"}, "Usage: velda [FILE]"}, {{"-h"}, "Usage: velda [FILE]"}};
    for (const char* c : {"send", "convert", "info", "create", "models", "print"})
        rows.push_back({{c, "--help"}, QStringLiteral("Usage: velda %1 ").arg(c)});
    for (const Row& row : rows) {
        const CliRun r = velda(row.args);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 0) << str(row.args.join(' '));
        EXPECT_TRUE(r.outText().startsWith(row.startsWith)) << str(r.outText());
        // Every help lists the exit codes.
        for (const char* code : {"  0 ", "  2 ", "  3 ", "  4 ", "  5 ", "  6 ", "  130 "})
            EXPECT_TRUE(r.outText().contains(QLatin1String(code)))
                << str(row.args.join(' ')) << " lacks " << code;
        EXPECT_TRUE(r.err.isEmpty());
    }
    const CliRun help = velda({"--help"});
    for (const char* c : {"send", "convert", "info", "create", "models", "print"})
        EXPECT_TRUE(help.outText().contains(QStringLiteral("\n  %1 ").arg(c))) << c;

    for (const char* v : {"--version", "-v"}) {
        const CliRun r = velda({v});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^velda \\d+\\.\\d+\\.\\d+\\n$"))
                        .match(r.outText())
                        .hasMatch())
            << str(r.outText());
    }
}

TEST_F(CliTest, UsageErrorsAreOneLineAndExitTwo) {
    makeHalves("w.wdb");
    struct Row {
        QStringList args;
        QString says; // part of the one line
    };
    const std::vector<Row> rows{
        {{"--bogus"}, "--bogus"},
        {{"info", "--bogus", "w.wdb"}, "bogus"},
        {{"info"}, "missing"},
        {{"info", "w.wdb", "x.wdb"}, "x.wdb"},
        {{"convert", "w.wdb"}, "missing"},
        {{"create", "halves.wfn"}, "missing"},
        {{"create", "--points", "many", "halves.wfn", "o.wdb"}, "--points"},
        {{"create", "--points"}, "points"},
        {{"create", "--model", "NO-SUCH", "halves.wfn", "o.wdb"}, "NO-SUCH"},
        {{"create", "--points", "3", "halves.wfn", "o.wdb"}, "3 points"},
        {{"print", "w.wdb"}, "--pdf"},
        {{"info", "--lang", "fr", "w.wdb"}, "--lang"},
        {{"convert", "w.wdb", "o.doc"}, MessageText(7, true)},
        {{"info", "w.bin"}, MessageText(7, true)},
        {{"convert", "w.bin", "o.wdb"}, MessageText(7, true)}, // no plug-in reads it
        // The extension counts from the name's first dot, as the file front reads it.
        {{"info", "w.v2.wdb"}, "[w.v2.wdb]"},
        {{"info", "w.v2.ocb"}, "[w.v2.ocb]"},
        {{"convert", "w.wdb", "o.v2.txt"}, "[o.v2.txt]"},
        // What would start the editor, with no display to start it on.
        {{"-x"}, "velda --help"},
        {{"sned", "w.wdb"}, "velda --help"},
    };
    for (const Row& row : rows) {
        const CliRun r = velda(row.args);
        const QString err = r.errText();
        EXPECT_EQ(r.exitCode, 2) << str(row.args.join(' ')) << ": " << str(err);
        EXPECT_TRUE(err.startsWith(QLatin1String("velda: "))) << str(err);
        EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << str(err);
        EXPECT_TRUE(err.contains(row.says)) << str(row.args.join(' ')) << ": " << str(err);
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(path("o.wdb")));
    EXPECT_FALSE(QFile::exists(path("o.doc")));
}

TEST_F(CliTest, ConvertRoundTripsExactly) {
    makeHalves("a.wdb");
    makeHalves("a.txt");
    struct Row {
        QString from, to;
        QString sameAs; // the file `to` must equal byte for byte
    };
    const std::vector<Row> rows{
        {"a.wdb", "b.wdb", "a.wdb"}, // the set-up goes along
        {"a.wdb", "b.txt", "a.txt"}, {"b.txt", "c.txt", "a.txt"},
        {"a.txt", "c.wdb", "a.wdb"}, // the saved set-up is the one a.wdb got
        {"a.csv", "d.txt", "a.txt"}, // through the installed CSV import plug-in
    };
    ASSERT_TRUE(QFile::copy(path("a.txt"), path("a.csv")));
    // A user's own reader of .csv reads what the shipped one refuses.
    const QString own = qEnvironmentVariable("XDG_DATA_HOME") + "/VELDA/PlugIn";
    ASSERT_TRUE(QDir().mkpath(own));
    const auto removeOwn = qScopeGuard([&] { QDir(own).removeRecursively(); });
    ASSERT_TRUE(QFile::copy(VELDA_BINARY_DIR "/tests/fakes/plugin_fail/csv/fake_csv.so",
                            own + "/fake_csv.so"));
    ASSERT_TRUE(Write_Bytes(path("own.csv"), "3 0 0 no column\n"));
    const CliRun ownRun = velda({"convert", "own.csv", "own.wdb"});
    ASSERT_EQ(ownRun.exitCode, 0) << str(ownRun.errText());
    EXPECT_TRUE(velda({"info", "own.wdb"}).out.contains("Minimum\t-32767")); // its first word
    for (const Row& row : rows) {
        const CliRun r = velda({"convert", row.from, row.to});
        ASSERT_EQ(r.exitCode, 0) << str(row.from + " -> " + row.to) << str(r.errText());
        EXPECT_TRUE(r.err.isEmpty()) << str(r.errText());
        const QByteArray got = File_Bytes(path(row.to));
        EXPECT_FALSE(got.isEmpty());
        EXPECT_EQ(got, File_Bytes(path(row.sameAs))) << str(row.from + " -> " + row.to);
    }
}

TEST_F(CliTest, ConvertFailuresShowTheMessageAndWriteNothing) {
    makeHalves("a.wdb");
    QDir(dir.path()).mkdir("folder.wdb");
    // A pipe under the output's name stays a pipe; a link to another kind
    // of file leaves that file alone.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.txt")).constData(), 0600), 0);
    ASSERT_TRUE(Write_Bytes(path("models.toml"), "[[model]]\n"));
    ASSERT_TRUE(QFile::link(path("models.toml"), path("link.txt")));
    // A chain of links that ends where nothing is yet, under another kind.
    ASSERT_TRUE(QFile::link(path("new.toml"), path("mid.txt")));
    ASSERT_TRUE(QFile::link(path("mid.txt"), path("chain.txt")));
    struct Row {
        QStringList args;
        int message;
        bool english;
        QString mustNotExist;
    };
    const std::vector<Row> rows{
        {{"convert", "missing.wdb", "o.txt"}, 71, true, "o.txt"},
        {{"convert", "folder.wdb", "o.txt"}, 71, true, "o.txt"},
        {{"convert", "--lang", "ja", "missing.txt", "o.wdb"}, 71, false, "o.wdb"},
        {{"convert", "a.wdb", "no/such/folder/o.txt"}, 72, true, "no/such/folder/o.txt"},
        {{"convert", "a.wdb", "pipe.txt"}, 72, true, ""},
        {{"convert", "a.wdb", "link.txt"}, 72, true, ""},
        {{"convert", "a.wdb", "chain.txt"}, 72, true, "new.toml"},
        {{"info", "missing.ocb"}, 71, true, ""},
        {{"convert", "words.csv", "o.txt"}, 241, true, "o.txt"}, // the plug-in refuses it
    };
    ASSERT_TRUE(Write_Bytes(path("words.csv"), "no,numbers\nat,all\n"));
    for (const Row& row : rows) {
        const CliRun r = velda(row.args);
        EXPECT_EQ(r.exitCode, 3) << str(row.args.join(' '));
        EXPECT_TRUE(r.errText().startsWith("velda: "));
        EXPECT_TRUE(r.errText().contains(MessageText(row.message, row.english)))
            << str(r.errText());
        if (!row.mustNotExist.isEmpty()) {
            EXPECT_FALSE(QFile::exists(path(row.mustNotExist)));
        }
    }
    EXPECT_TRUE(QFileInfo(path("pipe.txt")).exists() && !QFileInfo(path("pipe.txt")).isFile());
    EXPECT_EQ(File_Bytes(path("models.toml")), QByteArray("[[model]]\n"));
}

TEST_F(CliTest, InfoShowsTheSetUpAndTheWaveformFigures) {
    makeHalves("a.wdb");
    makeHalves("a.txt");
    // A set-up file holds the record of the waveform file.
    const QByteArray wdb = File_Bytes(path("a.wdb"));
    ASSERT_GT(wdb.size(), 334);
    ASSERT_TRUE(Write_Bytes(path("a.ocb"), "VOCB" + wdb.mid(4, 330)));

    const CliRun first = velda({"info", "a.wdb"});
    ASSERT_EQ(first.exitCode, 0) << str(first.errText());
    const QString points = valueOf(first.outText(), "Points");
    const int n = points.toInt();
    ASSERT_GT(n, 0) << str(first.outText());
    ASSERT_EQ(n % 2, 0);
    const QString model = valueOf(first.outText(), "Model");

    struct Row {
        QString file;
        bool figures;
    };
    for (const Row& row : std::vector<Row>{{"a.wdb", true}, {"a.txt", true}, {"a.ocb", false}}) {
        const CliRun r = velda({"info", row.file});
        ASSERT_EQ(r.exitCode, 0) << str(row.file) << str(r.errText());
        const QString out = r.outText();
        EXPECT_TRUE(out.startsWith("<System Setup>\n")) << str(out);
        EXPECT_EQ(valueOf(out, "Model"), model) << str(row.file);
        EXPECT_EQ(valueOf(out, "Points"), points) << str(row.file);
        if (row.figures) {
            EXPECT_EQ(valueOf(out, "Minimum"), "-2000") << str(row.file);
            EXPECT_EQ(valueOf(out, "Maximum"), "1000") << str(row.file);
            EXPECT_EQ(valueOf(out, "Mean"), "-500.000") << str(row.file);
        } else {
            EXPECT_FALSE(out.contains("Minimum"));
        }
    }
    // Japanese labels with --lang ja.
    const CliRun ja = velda({"info", "--lang", "ja", "a.wdb"});
    EXPECT_EQ(ja.exitCode, 0);
    EXPECT_TRUE(ja.outText().startsWith(QStringLiteral("<ｼｽﾃﾑ設定>\n"))) << str(ja.outText());
}

TEST_F(CliTest, CreateBuildsThePagesForTheChosenModelAndSize) {
    ASSERT_TRUE(Write_Bytes(path("broken.wfn"), pagesFile({{1, 5, 0, 1024, 0, "sin(x"}})));
    ASSERT_TRUE(Write_Bytes(path("garbage.wfn"), "not an expression file\r\n"));
    struct Row {
        QStringList extra;
        QString input;
        int exitCode;
        QString points; // of the waveform written
        QString model;
        int message = 0;                // shown on failure
        QString interface = "USB(TMC)"; // of the set-up written
    };
    const std::vector<Row> rows{
        // A model change keeps the memory-size choice, as the dialog does,
        // and takes the model's first interface when it lacks the one in use.
        {{"--model", "AWG-1101"}, "halves.wfn", 0, "1024", "AWG-1101"},
        {{"--model", "AWG-2201"}, "halves.wfn", 0, "4096", "AWG-2201", 0, "NI GPIB"},
        {{"--points", "4096", "--model", "AWG-1101"}, "halves.wfn", 0, "4096", "AWG-1101"},
        {{"--model", "awg-1101", "--points", "16384"}, "halves.wfn", 0, "16384", "AWG-1101"},
        {{"--model", "AWG-1101", "--points", "1024"}, "halves.wfn", 0, "1024", "AWG-1101"},
        {{"--model", "AWG-1101", "--points", "1000"}, "halves.wfn", 2, "", ""},
        {{"--model", "AWG-1101"}, "missing.wfn", 3, "", "", 71},
        {{"--model", "AWG-1101"}, "broken.wfn", 3, "", "", 102},
    };
    int i = 0;
    for (const Row& row : rows) {
        const QString out = QStringLiteral("out%1.wdb").arg(i++);
        const CliRun r = velda(QStringList{"create"} + row.extra + QStringList{row.input, out});
        EXPECT_EQ(r.exitCode, row.exitCode) << str(row.extra.join(' ')) << str(r.errText());
        if (row.exitCode != 0) {
            EXPECT_FALSE(QFile::exists(path(out)));
            if (row.message != 0) {
                EXPECT_TRUE(r.errText().contains(MessageText(row.message, true)))
                    << str(r.errText());
            }
            continue;
        }
        const CliRun info = velda({"info", out});
        ASSERT_EQ(info.exitCode, 0);
        EXPECT_EQ(valueOf(info.outText(), "Points"), row.points);
        EXPECT_EQ(valueOf(info.outText(), "Model").trimmed(), row.model);
        EXPECT_EQ(valueOf(info.outText(), "Interface").trimmed(), row.interface);
        EXPECT_EQ(valueOf(info.outText(), "Mean"), "-500.000") << str(info.outText());
    }
}

TEST_F(CliTest, ModelsListsEveryModelWithItsChoices) {
    const CliRun r = velda({"models"});
    ASSERT_EQ(r.exitCode, 0) << str(r.errText());
    const QStringList names = shippedModelNames();
    ASSERT_FALSE(names.isEmpty());
    QStringList listed;
    for (const QString& line : r.outText().split('\n', Qt::SkipEmptyParts))
        if (!line.startsWith(' '))
            listed << line;
    EXPECT_EQ(listed, names);
    EXPECT_EQ(r.outText().count("\n  interfaces\t"), names.size());
    EXPECT_EQ(r.outText().count("\n  memory sizes\t"), names.size());
    EXPECT_EQ(r.outText().count("\n  channels\t"), names.size());
    EXPECT_TRUE(r.outText().contains("AWG-1101\n  interfaces\tUSB(TMC)\n"
                                     "  memory sizes\t1024, 4096, 16384\n  channels\tCH1\n"
                                     "  ranges CH1\t10 Vp-p, 1 Vp-p, 100 mVp-p\n"))
        << str(r.outText());
}

TEST_F(CliTest, PrintWritesAPdfOrNothing) {
    makeHalves("a.wdb");
    struct Row {
        QStringList args;
        int exitCode;
        QString pdf;
    };
    const std::vector<Row> rows{
        {{"print", "a.wdb", "--pdf", "a.pdf"}, 0, "a.pdf"},
        {{"print", "--digital", "a.wdb", "--pdf", "d.pdf"}, 0, "d.pdf"},
        {{"print", "a.wdb", "--pdf", "no/such/a.pdf"}, 3, "no/such/a.pdf"},
        {{"print", "missing.wdb", "--pdf", "m.pdf"}, 3, "m.pdf"},
        // Only a PDF file is replaced: never the waveform, a folder or a device.
        {{"print", "a.wdb", "--pdf", "a.wdb"}, 2, "a.wdb"},
        {{"print", "a.wdb", "--pdf", "folder.pdf"}, 2, "folder.pdf"},
        {{"print", "a.wdb", "--pdf", "link.pdf"}, 2, "a.wdb"},
        // A second name of the waveform is replaced, the waveform kept.
        {{"print", "a.wdb", "--pdf", "hard.pdf"}, 0, "hard.pdf"},
        // A link is written through: what it names must be a PDF file too.
        {{"print", "a.wdb", "--pdf", "notes.pdf"}, 2, "notes.txt"},
        {{"print", "a.wdb", "--pdf", "dangling.pdf"}, 2, "none.txt"},
        {{"print", "a.wdb", "--pdf", "old.pdf"}, 0, "old.pdf"},
    };
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.pdf")));
    ASSERT_TRUE(QFile::link(path("a.wdb"), path("link.pdf")));
    ASSERT_EQ(::link(QFile::encodeName(path("a.wdb")).constData(),
                     QFile::encodeName(path("hard.pdf")).constData()),
              0);
    ASSERT_TRUE(Write_Bytes(path("notes.txt"), "keep"));
    ASSERT_TRUE(QFile::link(path("notes.txt"), path("notes.pdf")));
    ASSERT_TRUE(QFile::link(path("none.txt"), path("dangling.pdf")));
    ASSERT_TRUE(Write_Bytes(path("earlier.pdf"), "%PDF-1.4 earlier"));
    ASSERT_TRUE(QFile::link(path("earlier.pdf"), path("old.pdf")));
    const QByteArray wave = File_Bytes(path("a.wdb"));
    for (const Row& row : rows) {
        const QByteArray before = File_Bytes(path(row.pdf));
        const bool existed = QFileInfo::exists(path(row.pdf));
        const CliRun r = velda(row.args);
        EXPECT_EQ(r.exitCode, row.exitCode) << str(row.args.join(' ')) << str(r.errText());
        const QByteArray pdf = File_Bytes(path(row.pdf));
        if (row.exitCode == 0) {
            EXPECT_TRUE(pdf.startsWith("%PDF-")) << str(row.pdf);
        } else {
            EXPECT_EQ(QFileInfo::exists(path(row.pdf)), existed) << str(row.pdf);
            EXPECT_EQ(pdf, before) << str(row.pdf);
        }
    }
    EXPECT_EQ(File_Bytes(path("a.wdb")), wave);
}

// The print-out takes the margins the Print dialog saved, as its Save as
// PDF does.
TEST_F(CliTest, PrintTakesTheSavedMargins) {
    makeHalves("a.wdb");
    const auto page = [&](const QString& name) {
        EXPECT_EQ(velda({"print", "a.wdb", "--pdf", name}).exitCode, 0);
        QByteArray bytes = File_Bytes(path(name));
        // The one line that changes from run to run.
        const qsizetype at = bytes.indexOf("/CreationDate");
        if (at >= 0)
            bytes.remove(at, bytes.indexOf('\n', at) - at);
        return bytes;
    };
    const QString ini = settingsFile();
    const QByteArray plain = page(QStringLiteral("plain.pdf"));
    ASSERT_FALSE(plain.isEmpty());
    ASSERT_EQ(page(QStringLiteral("again.pdf")), plain) << "the same settings give the same page";
    QSettings(ini, QSettings::IniFormat).setValue(QStringLiteral("Print/Margin0"), 100);
    const QByteArray wide = page(QStringLiteral("wide.pdf"));
    QSettings(ini, QSettings::IniFormat).remove(QStringLiteral("Print/Margin0"));
    EXPECT_NE(wide, plain);
}

TEST_F(CliTest, CommandsLeaveTheSavedSettingsAsTheyWere) {
    // As a user may leave the store: a note of their own, and the window
    // counters of an editor running beside. None of it is the commands' work.
    const QString ini = settingsFile();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(ini).absolutePath()));
    const QByteArray before = "; kept by hand\n[System]\nWinHandle=7\nWinCount=2\n";
    ASSERT_TRUE(Write_Bytes(ini, before));
    makeHalves("a.wdb"); // with the saved model
    const CliRun made = velda({"create", "--model", "AWG-1101", "halves.wfn", "awg.wdb"});
    ASSERT_EQ(made.exitCode, 0);
    EXPECT_EQ(File_Bytes(ini), before);
    for (const QStringList& args :
         {QStringList{"convert", "awg.wdb", "x.txt"}, QStringList{"info", "awg.wdb"},
          QStringList{"create", "--model", "AWG-1101", "--points", "1024", "halves.wfn", "y.wdb"},
          QStringList{"models"}, QStringList{"print", "awg.wdb", "--pdf", "p.pdf"}}) {
        const CliRun r = velda(args);
        EXPECT_EQ(r.exitCode, 0) << str(args.join(' '));
        EXPECT_EQ(File_Bytes(ini), before) << str(args.join(' '));
    }
    // The next run still starts with the saved model, not the last one read.
    const CliRun again = velda({"create", "halves.wfn", "b.wdb"});
    ASSERT_EQ(again.exitCode, 0);
    EXPECT_EQ(File_Bytes(path("b.wdb")), File_Bytes(path("a.wdb")));
}

// Output that does not arrive is a failed command (3), however it fails: a
// reader gone away neither ends the run nor passes for success. A name
// that is not UTF-8 is refused (2) before it could reach a file as another
// name.
TEST_F(CliTest, OutputThatIsLostFailsAndNamesNotInUtf8AreRefused) {
    makeHalves("a.wdb");
    struct Row {
        QList<QByteArray> args;
        int closedFd;
        int exitCode;
    } rows[] = {
        {{"info", "a.wdb"}, -1, 0},
        {{"info", "a.wdb"}, 1, 3},
        {{"models"}, 1, 3},
        {{"--version"}, 1, 3},
        {{"convert", "a.wdb", "n\xe9.txt"}, -1, 2},
        {{"info", "\xff\xfe.wdb"}, -1, 2},
    };
    for (const Row& r : rows)
        EXPECT_EQ(Run_Velda_Raw(r.args, dir.path(), r.closedFd), r.exitCode)
            << r.args.join(' ').toStdString() << " into " << r.closedFd;
    // Nothing was written under a changed name.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"a.wdb", "halves.wfn"}));
}

// Run from cron or a bare ssh session (no runtime folder), a command that
// draws says nothing of a runtime folder and leaves nothing behind (other
// warnings, of fonts say, depend on the machine).
TEST_F(CliTest, PrintWithoutARuntimeFolderIsQuietAndLeavesNothing) {
    makeHalves("a.wdb");
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    QProcessEnvironment env = Velda_Environment();
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.insert(QStringLiteral("TMPDIR"), tmp.path());
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir.path());
    p.start(Velda_Executable(), {"print", "a.wdb", "--pdf", "a.pdf"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    const QByteArray err = p.readAllStandardError();
    EXPECT_FALSE(err.contains("XDG_RUNTIME_DIR") || err.contains("runtime-")) << err.toStdString();
    EXPECT_TRUE(QFileInfo(path("a.pdf")).size() > 0);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList());
}

// The editor asked to end by a signal leaves the settings as its exit does:
// its count and its lock gone, so no other copy thinks it still runs, and
// the set-up stored.
TEST_F(CliTest, AnEditorEndedByASignalLeavesTheSettingsAsItsExitDoes) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString ini = home.path() + QStringLiteral("/.config/VELDA/VELDA.ini");
    const QString instances = home.path() + QStringLiteral("/.config/VELDA/instances");
    for (const int signal : {SIGTERM, SIGHUP}) {
        QProcessEnvironment env = Velda_Environment(home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess editor;
        editor.setProcessEnvironment(env);
        editor.setWorkingDirectory(dir.path());
        editor.start(Velda_Executable(), {});
        ASSERT_TRUE(editor.waitForStarted());
        // Running once its window is up: it has counted itself in.
        const auto count = [&ini] {
            return QSettings(ini, QSettings::IniFormat).value("System/WinCount").toString();
        };
        for (int i = 0; i < 600 && count() != QLatin1String("1"); ++i)
            QThread::msleep(50);
        ASSERT_EQ(count(), QStringLiteral("1"));
        ::kill(static_cast<pid_t>(editor.processId()), signal);
        ASSERT_TRUE(editor.waitForFinished(30000));
        EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(editor.exitCode(), 128 + signal);
        EXPECT_EQ(count(), QStringLiteral("0")) << signal;
        EXPECT_EQ(QDir(instances).entryList({QStringLiteral("*.lock")}, QDir::Files),
                  QStringList());
        // The set-up for the next start, as the exit stores it.
        EXPECT_TRUE(QSettings(ini, QSettings::IniFormat).contains("Sysinfo/sys_no")) << signal;
        QFile::remove(ini);
    }
}
