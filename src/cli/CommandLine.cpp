#include "cli/CommandLine.h"

#include "app/Messages.h"
#include "app/Program.h"
#include "app/TerminalPrompts.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/SendCommand.h"
#include "forms/VersionInfo.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

namespace velda::cli {

namespace {

// The work of a command on the started program: its parsed options and its
// positional arguments (already counted). Returns the exit code.
using Runner = int (*)(Program& program, const QCommandLineParser& parser,
                       const QStringList& arguments);

struct CommandDef {
    QString name;
    QString synopsis;    // after "velda NAME "
    QString summary;     // one line, for the program's help
    QString description; // the command's help
    int positionals = 0;
    std::vector<QCommandLineOption> options;
    bool draws = false; // needs a (offscreen) QGuiApplication
    Runner run = nullptr;
};

QCommandLineOption langOption() {
    return {QStringLiteral("lang"), QStringLiteral("Message language: en (default) or ja."),
            QStringLiteral("LANG")};
}

void say(const QString& text) {
    std::fputs(qPrintable(QStringLiteral("velda: ") + text + QLatin1Char('\n')), stderr);
}

int usageError(const QString& text) {
    say(text + QStringLiteral(" (velda --help)"));
    return ExitUsage;
}

void print(const QString& text, std::FILE* to = stdout) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
    std::fflush(to);
}

int runSend(Program& program, const QCommandLineParser& parser, const QStringList& pos) {
    SendOptions options;
    if (const QString error = Read_Send_Options(parser, pos, options); !error.isEmpty())
        return usageError(error);
    return Run_Send(program, options);
}

int runConvert(Program& program, const QCommandLineParser&, const QStringList& pos) {
    return Run_Convert(program, pos[0], pos[1]);
}

int runInfo(Program& program, const QCommandLineParser&, const QStringList& pos) {
    QStringList lines;
    const int r = Run_Info(program, pos[0], lines);
    if (r == ExitDone)
        print(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    return r;
}

int runCreate(Program& program, const QCommandLineParser& parser, const QStringList& pos) {
    int32_t points = 0;
    if (parser.isSet(QStringLiteral("points"))) {
        bool ok = false;
        points = parser.value(QStringLiteral("points")).toInt(&ok);
        if (!ok || points <= 0)
            return usageError(QStringLiteral("create: --points takes a whole number of points"));
    }
    return Run_Create(program, pos[0], pos[1], parser.value(QStringLiteral("model")), points);
}

int runModels(Program&, const QCommandLineParser&, const QStringList&) {
    print(Models_Report().join(QLatin1Char('\n')) + QLatin1Char('\n'));
    return ExitDone;
}

int runPrint(Program& program, const QCommandLineParser& parser, const QStringList& pos) {
    return Run_Print_Pdf(program, pos[0], parser.value(QStringLiteral("pdf")),
                         parser.isSet(QStringLiteral("digital")));
}

const std::vector<CommandDef>& commands() {
    static const std::vector<CommandDef> table = [] {
        std::vector<CommandDef> t;
        t.push_back({QStringLiteral("send"), Send_Synopsis(),
                     QStringLiteral("Send the set-up and the waveform of FILE to the instrument."),
                     Send_Description(), 1, Send_Options(), false, runSend});
        t.push_back({QStringLiteral("convert"),
                     QStringLiteral("[options] IN OUT"),
                     QStringLiteral("Convert a waveform between .wdb and .txt."),
                     QStringLiteral("Reads IN and writes OUT, each .wdb or .txt; IN may also be "
                                    "any format an\ninstalled import plug-in reads (as File > "
                                    "Import reads it). A .wdb keeps its\nset-up; the others take "
                                    "the set-up of the last saved settings."),
                     2,
                     {},
                     false,
                     runConvert});
        t.push_back({QStringLiteral("info"),
                     QStringLiteral("[options] FILE"),
                     QStringLiteral("Show the set-up and the waveform's figures of a file."),
                     QStringLiteral("For a .wdb, .ocb or .txt: the set-up as the print-out's "
                                    "labelled lines, then the\npoint count, minimum, maximum "
                                    "and mean data word (a .ocb: the point count)."),
                     1,
                     {},
                     false,
                     runInfo});
        t.push_back(
            {QStringLiteral("create"),
             QStringLiteral("[options] PAGES.wfn OUT"),
             QStringLiteral("Build a waveform from an expression file's pages."),
             QStringLiteral("Generates every page of PAGES.wfn that takes part, as \"All Page OK\" "
                            "does, and\nwrites the waveform to OUT (.wdb or .txt)."),
             2,
             {{QStringLiteral("model"), QStringLiteral("The model to build for (velda models)."),
               QStringLiteral("NAME")},
              {QStringLiteral("points"), QStringLiteral("The memory size in points."),
               QStringLiteral("N")}},
             false,
             runCreate});
        t.push_back({QStringLiteral("models"),
                     QStringLiteral("[options]"),
                     QStringLiteral("List the models with their interfaces, sizes, channels "
                                    "and ranges."),
                     QStringLiteral("Every model of the model file with its interfaces, memory "
                                    "sizes, channels and\neach channel's ranges."),
                     0,
                     {},
                     false,
                     runModels});
        t.push_back({QStringLiteral("print"),
                     QStringLiteral("[options] FILE --pdf OUT.pdf"),
                     QStringLiteral("Write the print-out of a waveform file as PDF."),
                     QStringLiteral("The print-out of FILE (.wdb or .txt): the waveform's graph "
                                    "and the set-up, as\nPrint's \"Save as PDF\" writes it."),
                     1,
                     {{QStringLiteral("pdf"), QStringLiteral("The PDF file to write."),
                       QStringLiteral("OUT.pdf")},
                      {QStringLiteral("digital"),
                       QStringLiteral("Draw the digital-bit view instead of the curve.")}},
                     true,
                     runPrint});
        for (CommandDef& c : t)
            c.options.push_back(langOption());
        return t;
    }();
    return table;
}

const CommandDef* findCommand(const QString& name) {
    for (const CommandDef& c : commands())
        if (c.name == name)
            return &c;
    return nullptr;
}

QString exitCodeText() {
    return QStringLiteral("Exit codes:\n"
                          "  0    done\n"
                          "  2    usage: unknown option, missing or wrong argument\n"
                          "  3    a file cannot be read or written\n"
                          "  4    a bus failure (time-out, no device, connection lost)\n"
                          "  5    the instrument reported an error or is another model\n"
                          "  6    the bus is busy in another running copy\n"
                          "  130  cancelled (Ctrl-C, SIGTERM or SIGHUP)\n");
}

QString optionsText(const std::vector<QCommandLineOption>& options) {
    QStringList rows;
    std::vector<QString> heads;
    int width = 0;
    for (const QCommandLineOption& o : options) {
        QStringList names;
        for (const QString& n : o.names())
            names << (n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n;
        QString head = names.join(QStringLiteral(", "));
        if (!o.valueName().isEmpty())
            head += QLatin1Char(' ') + o.valueName();
        width = std::max(width, static_cast<int>(head.size()));
        heads.push_back(head);
    }
    QString text;
    for (size_t i = 0; i < options.size(); ++i)
        text += QStringLiteral("  ") + heads[i].leftJustified(width + 2) +
                options[i].description() + QLatin1Char('\n');
    return text;
}

// The arguments as text, and the first one that is not UTF-8 (the text
// Qt takes file names in): such a name would reach the files as another.
QStringList argumentsOf(int argc, char** argv, QString* unreadable) {
    QStringList args;
    for (int i = 0; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (unreadable->isEmpty() && arg.toLocal8Bit() != QByteArray(argv[i]))
            *unreadable = arg;
        args << arg;
    }
    return args;
}

// What went to standard output reached it: a full disk or a reader gone
// is a failed command, not a done one.
int outputChecked(int code) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return code;
    say(QStringLiteral("standard output could not be written"));
    return code == ExitDone ? ExitFile : code;
}

int runCommand(const CommandDef& command, QCommandLineParser& parser) {
    const QStringList pos = parser.positionalArguments();
    TerminalPrompts terminal;
    setPromptHandler(&terminal);
    struct Uninstall {
        ~Uninstall() { setPromptHandler(nullptr); }
    } uninstall;

    ProgramOptions options;
    options.command = true;
    Program program(options);
    // The settings are only read: nothing of the run goes back to the store
    // unless the command's work itself changes it (the bus's busy flag and
    // controller address during a send).
    if (!program.Start_Up())
        return ExitFile; // the start-up box has been shown
    Set_Language(parser.value(QStringLiteral("lang")) != QLatin1String("ja"));

    return command.run(program, parser, pos);
}

} // namespace

QStringList Command_Names() {
    QStringList names;
    for (const CommandDef& c : commands())
        names << c.name;
    return names;
}

bool Is_Command_Line(const QStringList& arguments) {
    if (arguments.size() < 2)
        return false;
    const QString& first = arguments[1];
    return findCommand(first) || first.startsWith(QLatin1String("--")) ||
           first == QLatin1String("-h") || first == QLatin1String("-v");
}

QString No_Display_Text(const QStringList& arguments) {
    const auto set = [](const char* name) { return !qEnvironmentVariableIsEmpty(name); };
    if (set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM") ||
        arguments.contains(QLatin1String("-platform")))
        return {};
    // Qt would end the program with an abort and a core file; a mistyped
    // command or option lands here too.
    return QStringLiteral("velda: no display to open the editor on; the commands that need none "
                          "are listed by velda --help\n");
}

QString Version_Text() {
    return QStringLiteral("velda %1.%2.%3\n")
        .arg(Program_Version_Major())
        .arg(Program_Version_Minor())
        .arg(Program_Version_Revision());
}

QString Program_Help() {
    QString text = QStringLiteral("Usage: velda [FILE]\n"
                                  "       velda COMMAND [options] ARGUMENTS\n"
                                  "       velda COMMAND --help\n\n"
                                  "Without a command, the editor starts (and opens FILE).\n\n"
                                  "Commands:\n");
    int width = 0;
    for (const CommandDef& c : commands())
        width = std::max(width, static_cast<int>(c.name.size()));
    for (const CommandDef& c : commands())
        text +=
            QStringLiteral("  ") + c.name.leftJustified(width + 2) + c.summary + QLatin1Char('\n');
    text += QStringLiteral("\nOptions:\n") +
            optionsText(
                {{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")},
                 {{QStringLiteral("v"), QStringLiteral("version")},
                  QStringLiteral("Show the version.")}});
    return text + QLatin1Char('\n') + exitCodeText();
}

QString Command_Help(const QString& command) {
    const CommandDef* c = findCommand(command);
    if (!c)
        return {};
    std::vector<QCommandLineOption> options = c->options;
    options.push_back(
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")});
    return QStringLiteral("Usage: velda ") + c->name + QLatin1Char(' ') + c->synopsis +
           QStringLiteral("\n\n") + c->description + QStringLiteral("\n\nOptions:\n") +
           optionsText(options) + QLatin1Char('\n') + exitCodeText();
}

int Run_Command_Line(int argc, char** argv) {
    // A reader of the output that goes away (a pipe into head, a dropped
    // session) makes writes fail instead of ending the run mid-transfer
    // with the bus marked busy.
    std::signal(SIGPIPE, SIG_IGN);
    QString unreadable;
    const QStringList args = argumentsOf(argc, argv, &unreadable);
    if (!unreadable.isEmpty())
        return usageError(
            QStringLiteral("'%1' is not UTF-8 text: rename the file").arg(unreadable));
    const QString first = args.value(1);
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        print(Program_Help());
        return outputChecked(ExitDone);
    }
    if (first == QLatin1String("--version") || first == QLatin1String("-v")) {
        print(Version_Text());
        return outputChecked(ExitDone);
    }
    const CommandDef* def = findCommand(first);
    if (!def)
        return usageError(QStringLiteral("unknown option '%1'").arg(first));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QCommandLineOption& o : def->options)
        parser.addOption(o);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    // The command name is not one of its arguments.
    QStringList commandArgs = args;
    commandArgs.removeAt(1);
    if (!parser.parse(commandArgs))
        return usageError(def->name + QStringLiteral(": ") + parser.errorText());
    if (parser.isSet(help)) {
        print(Command_Help(def->name));
        return outputChecked(ExitDone);
    }
    const qsizetype given = parser.positionalArguments().size();
    if (given < def->positionals)
        return usageError(def->name + QStringLiteral(": missing argument (") + def->synopsis +
                          QLatin1Char(')'));
    if (given > def->positionals)
        return usageError(def->name + QStringLiteral(": unexpected argument '") +
                          parser.positionalArguments().at(def->positionals) + QLatin1Char('\''));
    const QString lang = parser.value(QStringLiteral("lang"));
    if (!lang.isEmpty() && lang != QLatin1String("en") && lang != QLatin1String("ja"))
        return usageError(def->name + QStringLiteral(": --lang takes en or ja"));
    if (def->name == QLatin1String("print") && parser.value(QStringLiteral("pdf")).isEmpty())
        return usageError(QStringLiteral("print: --pdf OUT.pdf is missing"));

    // No display is ever opened: a command that draws does so offscreen.
    std::unique_ptr<QTemporaryDir> runtimeDir; // outlives the application
    std::unique_ptr<QCoreApplication> app;
    if (def->draws) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Run from cron or a bare session there is no runtime folder: Qt
        // would warn on the terminal and leave one of its own in /tmp.
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            runtimeDir = std::make_unique<QTemporaryDir>();
            if (runtimeDir->isValid())
                qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir->path()));
        }
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("VELDA"));
    return outputChecked(runCommand(*def, parser));
}

} // namespace velda::cli
