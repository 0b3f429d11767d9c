#include "cli/SendCommand.h"

#include "app/Messages.h"
#include "app/Program.h"
#include "app/Prompts.h"
#include "bus/InitParams.h"
#include "cli/Commands.h"
#include "cli/TerminalProgress.h"
#include "control/GPIBLib.h"
#include "control/Transfer.h"
#include "engine/file32.h"
#include "files/FileCommands.h"
#include "files/FileNames.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <cstdio>

namespace velda::cli {

namespace {

using control::TransferResult;

QCommandLineOption opt(const char* name, const char* text, const char* value = nullptr) {
    return value ? QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(text),
                                      QString::fromLatin1(value))
                 : QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(text));
}

QString absolute(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

QString Send_Synopsis() {
    return QStringLiteral("[options] FILE");
}

QString Send_Description() {
    return QStringLiteral(
        "Sends the set-up and then the waveform of FILE (.wdb; or .txt with the set-up of\n"
        "--setup, else of the last saved settings) through the transfer of the System\n"
        "Setup window; only one of them with --settings or --wave. The bus, model and\n"
        "address are those of the set-up (a .wdb carries its own, as File > Open\n"
        "reads it), the instrument the saved one, unless given here. Ctrl-C cancels\n"
        "the transfer as the progress window's Cancel does, once the bus operation\n"
        "under way has ended (on the LAN at once, else at the latest at its\n"
        "time-out).\n"
        "Without --timeout each operation has its own bus time-out (1 s; from the\n"
        "waveform's send line on, 30 s); --timeout sets one for all of them, rounded to\n"
        "the nearest of the bus's steps (..., 0.1, 0.3, 1, 3, 10, 30, 100, 300, 1000 s).\n"
        "It holds for this run only; the saved settings are not changed.");
}

std::vector<QCommandLineOption> Send_Options() {
    return {opt("settings", "Send only the set-up."),
            opt("wave", "Send only the waveform."),
            opt("model", "The model (velda models).", "NAME"),
            opt("interface", "usbtmc, gpib, kigpib, usb488 or sim (the simulated bus).", "KIND"),
            opt("address", "The instrument's bus address.", "N"),
            opt("resource", "The instrument's VISA resource (takes the USB(TMC) bus).", "RSRC"),
            opt("serial", "The instrument's serial number (USB(TMC), with USBTMC.ID).", "SN"),
            opt("setup", "The set-up file for a .txt waveform.", "FILE.ocb"),
            opt("log", "Trace every bus operation into this file.", "TRACE"),
            opt("replies", "The simulated bus's replies file.", "FILE.ini"),
            opt("loops", "Run the loop test N times and report the count.", "N"),
            opt("timeout", "The bus time-out of every operation, in seconds.", "SECONDS"),
            opt("quiet", "No progress line.")};
}

std::optional<int16_t> Interface_Kind_Of(const QString& name) {
    static const std::pair<const char*, int16_t> kinds[] = {
        {"gpib", 0}, {"kigpib", 1}, {"usb488", 2}, {"usbtmc", 3}, {"sim", 4}};
    for (const auto& [n, k] : kinds)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return k;
    return std::nullopt;
}

QString Read_Send_Options(const QCommandLineParser& p, const QStringList& pos, SendOptions& o) {
    const auto value = [&p](const char* name) { return p.value(QString::fromLatin1(name)); };
    const auto set = [&p](const char* name) { return p.isSet(QString::fromLatin1(name)); };
    o.file = pos.value(0);
    o.settings = set("settings");
    o.wave = set("wave");
    if (o.settings && o.wave)
        return QStringLiteral("send: --settings and --wave exclude each other");
    o.model = value("model");
    if (set("interface")) {
        o.interfaceKind = Interface_Kind_Of(value("interface"));
        if (!o.interfaceKind)
            return QStringLiteral("send: --interface takes usbtmc, gpib, kigpib, usb488 or sim");
    }
    if (set("address")) {
        bool ok = false;
        const int a = value("address").toInt(&ok);
        if (!ok || a < 0 || a > 30)
            return QStringLiteral("send: --address takes a bus address 0 .. 30");
        o.address = static_cast<int16_t>(a);
    }
    o.resource = value("resource");
    o.serial = value("serial");
    if (!o.resource.isEmpty() && !o.serial.isEmpty())
        return QStringLiteral("send: --resource and --serial exclude each other");
    if (set("resource") && !o.resource.contains(QLatin1String("::")))
        return QStringLiteral("send: --resource takes a VISA resource such as "
                              "TCPIP0::host::5025::SOCKET");
    // They name the instrument on the USB(TMC) bus, whatever bus the set-up
    // was saved with; only that bus opens a resource, so beside another the
    // instrument named would quietly not be the one reached.
    if (!o.resource.isEmpty() || !o.serial.isEmpty()) {
        if (o.interfaceKind && *o.interfaceKind != IfUsbTmc)
            return QStringLiteral("send: --resource and --serial go with --interface usbtmc");
        o.interfaceKind = IfUsbTmc;
    }
    o.setupFile = value("setup");
    o.logFile = value("log");
    o.repliesFile = value("replies");
    if (set("loops")) {
        bool ok = false;
        o.loops = value("loops").toLongLong(&ok);
        if (!ok || o.loops <= 0)
            return QStringLiteral("send: --loops takes a count above 0");
        if (o.settings)
            return QStringLiteral("send: --loops sends the waveform, not --settings");
    }
    if (set("timeout")) {
        bool ok = false;
        const double seconds = value("timeout").toDouble(&ok);
        // Above the longest time-out the bus has, a number would be cut short.
        if (!ok || !(seconds > 0) || seconds > 1000)
            return QStringLiteral("send: --timeout takes seconds above 0, up to 1000");
        o.timeOut = seconds;
    }
    o.quiet = set("quiet");
    return {};
}

int Exit_Code_Of(TransferResult result, bool instrument) {
    switch (result) {
    case TransferResult::Done:
        return ExitDone;
    case TransferResult::Busy:
        return ExitBusy;
    case TransferResult::NothingSent:
        return ExitUsage;
    case TransferResult::Cancelled:
        return ExitCancelled;
    case TransferResult::Failed:
        break;
    }
    return instrument ? ExitInstrument : ExitBus;
}

int Run_Send(Program& program, const SendOptions& o) {
    FileCommands files(program);
    if (!Is_Wave_File(o.file)) {
        ShowErrorText(QStringLiteral("[") + o.file + QStringLiteral("] ") + GetMessage(7));
        return ExitUsage;
    }
    // The bus empties its trace log when it starts: never one of the files
    // this run reads. And a log or replies file the bus could not use would
    // only be found out as a silent log or a wrong answer.
    if (!o.logFile.isEmpty()) {
        const QString log = QFileInfo(o.logFile).absoluteFilePath();
        for (const QString& input :
             QStringList{o.file, o.setupFile, o.repliesFile, program.Registry->iniPath()} +
                 program.Bus_KeptFiles())
            if (!input.isEmpty() && file32::sameFile(input, log)) {
                ShowErrorText(QStringLiteral("send: --log %1 is a file this run reads").arg(input));
                return ExitUsage;
            }
        // Tried, and taken away again when it was not there: the bus makes
        // it when it starts, and a run refused before that leaves nothing.
        const bool existed = QFileInfo::exists(log);
        QFile probe(log);
        // A pipe or a device would hold the run in its opening until a
        // reader came, and again at every line.
        if (!file32::fileOrNothing(log) || !probe.open(QIODevice::Append)) {
            ShowErrorText(QStringLiteral("[") + log + QStringLiteral("] ") + GetMessage(72));
            return ExitFile;
        }
        probe.close();
        if (!existed)
            probe.remove();
    }
    if (!o.repliesFile.isEmpty() &&
        (!QFileInfo(o.repliesFile).isFile() || !QFile(o.repliesFile).open(QIODevice::ReadOnly))) {
        ShowErrorText(QStringLiteral("[") + absolute(o.repliesFile) + QStringLiteral("] ") +
                      GetMessage(71));
        return ExitFile;
    }
    // A .wdb brings its own set-up, which --setup and --model then change;
    // a .txt holds points only and is read at the count of the set-up it
    // goes with, so that set-up comes first (read after, a larger count
    // would be filled with zeros, a smaller one would cut the points).
    const bool pointsOnly = Has_Extension(o.file, QStringLiteral("txt"));
    if (!pointsOnly && !files.Load_Wave_File(o.file))
        return ExitFile;
    if (!o.setupFile.isEmpty() && !files.Load_Setup_File(o.setupFile))
        return ExitFile;
    if (!o.model.isEmpty() && !Select_Model(program, o.model)) {
        ShowErrorText(
            QStringLiteral("no model named \"%1\" (velda models lists them)").arg(o.model));
        return ExitUsage;
    }
    if (pointsOnly && !files.Load_Wave_File(o.file))
        return ExitFile;
    SystemSetup& setup = program.Setup;
    if (const std::optional<int16_t> kind = o.interfaceKind) {
        setup.InterfaceKind = *kind;
        if (setup.Change_Interface(*kind) == 0) {
            ShowErrorText(QStringLiteral("the model %1 has no such interface")
                              .arg(setup.Param.ModelName.trimmed()));
            return ExitUsage;
        }
    }
    if (o.address)
        setup.Param.GpibAddress = *o.address;

    // The trace log and the replies file go to the bus's initialisation for
    // this run only, before the saved items (the first of a key counts).
    QStringList items;
    for (const auto& [key, file] : {std::pair{QStringLiteral("LOG_FILE"), o.logFile},
                                    {QStringLiteral("INI_FILE"), o.repliesFile}}) {
        if (file.isEmpty())
            continue;
        const auto item = bus::InitParams::Item(key, absolute(file));
        if (!item) {
            ShowErrorText(QStringLiteral("the bus cannot be given the file name %1 (it holds a "
                                         "comma or a key word of the bus settings)")
                              .arg(absolute(file)));
            return ExitUsage;
        }
        items << *item;
    }
    if (!items.isEmpty()) {
        if (const QString saved = control::GPIBLib::BusInit_Setting(program.Registry.get());
            !saved.isEmpty())
            items << saved;
        program.Registry->setRunSetting(QStringLiteral("System"), QStringLiteral("BusInit"),
                                        items.join(QStringLiteral(", ")));
    }
    const QString instrument = !o.resource.isEmpty()
                                   ? o.resource
                                   : (!o.serial.isEmpty() ? o.serial : program.SerialNumber);

    // Ctrl-C, a stop from the service manager or a lost terminal alike.
    Install_Interrupt_Handler(English() ? "velda: stopping after the bus operation under way\n"
                                        : "velda: 実行中のバス動作の後で停止します\n");
    TerminalProgress progress(stderr, TerminalProgress::Wanted(o.quiet));
    progress.Set_TotalBytes(2 * static_cast<int64_t>(setup.Param.MemorySize));
    control::Transfer transfer(program, progress);
    transfer.Set_TimeOut(o.timeOut);
    transfer.Set_StopAsked(Interrupted);
    // The set-up and the waveform go as one: no other copy's transfer may
    // come between them (its set-up would play with this waveform).
    clsRegistry& store = *program.Registry;
    store.Reserve_GpibBus();
    const auto reserved = qScopeGuard([&store] { store.End_GpibReservation(); });
    TransferResult r = transfer.Select_Instrument(instrument);
    // A Ctrl-C between the steps ends the run before the next one.
    const auto goOn = [&r] {
        if (r == TransferResult::Done && Interrupted())
            r = TransferResult::Cancelled;
        return r == TransferResult::Done;
    };
    // The bus empties its log as each operation starts it: the set-up's
    // part is kept here and put back in front of the waveform's.
    QByteArray setUpLog;
    const QString logPath = o.logFile.isEmpty() ? QString() : absolute(o.logFile);
    if (!o.wave && goOn()) {
        r = transfer.Send_Settings();
        QFile log(logPath);
        if (!logPath.isEmpty() && log.open(QIODevice::ReadOnly))
            setUpLog = log.readAll();
    }
    if (!o.settings && goOn()) {
        // Emptied here too: a waveform step that ends before the bus starts
        // would otherwise find the set-up's lines and keep them twice.
        if (!setUpLog.isEmpty())
            QFile::resize(logPath, 0);
        r = o.loops > 0 ? transfer.Loop_Test(o.loops) : transfer.Send_Wave();
        QFile log(logPath);
        if (!setUpLog.isEmpty() && log.open(QIODevice::ReadOnly)) {
            const QByteArray waveLog = log.readAll();
            log.close();
            // A log that cannot be written whole stays as the bus left it.
            file32::saveBytes(logPath, setUpLog + waveLog);
        }
    }
    if (o.loops > 0)
        std::printf("Loops\t%d\n", transfer.LoopCount());
    if (Interrupted() && r != TransferResult::Done)
        r = TransferResult::Cancelled;
    return Exit_Code_Of(r, transfer.Instrument_Fault());
}

} // namespace velda::cli
