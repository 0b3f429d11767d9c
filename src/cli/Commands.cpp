#include "cli/Commands.h"

#include "app/Messages.h"
#include "app/Program.h"
#include "engine/file32.h"
#include "engine/sysinf32.h"
#include "engine/wavelb32.h"
#include "files/FileCommands.h"
#include "files/FileNames.h"
#include "files/PluginImport.h"
#include "files/PluginLoader.h"
#include "print/PrintReport.h"
#include "print/PrintSettings.h"
#include "setup/SetupSession.h"
#include "tools/CreateEdits.h"
#include "tools/CreatePagesFile.h"

#include <QFileInfo>
#include <algorithm>

namespace velda::cli {

namespace {

QString suffixOf(const QString& path) {
    return QFileInfo(path).suffix().toLower();
}

// A waveform file name the file front takes; otherwise message 7, as the
// file front shows it, and a usage failure.
bool checkWaveName(const QString& path) {
    if (Is_Wave_File(path))
        return true;
    ShowErrorText(QStringLiteral("[") + path + QStringLiteral("] ") + GetMessage(7));
    return false;
}

QString trimmedName(const char* name20) {
    return QString::fromUtf8(name20, SystemSetup::NameWidth).trimmed();
}

QString namesOf(int32_t count, const std::function<void(int32_t, char*)>& load) {
    QStringList names;
    for (int32_t i = 0; i < count; ++i) {
        char buf[SystemSetup::NameWidth + 1] = {};
        load(i, buf);
        names << trimmedName(buf);
    }
    return names.join(QStringLiteral(", "));
}

} // namespace

bool Is_Wave_File(const QString& path) {
    // As the file front tells them, so a name it refuses is refused here.
    return Has_Extension(path, QStringLiteral("wdb")) || Has_Extension(path, QStringLiteral("txt"));
}

WaveStats Wave_Stats(const Program& program) {
    WaveStats s;
    const std::span<int16_t> words = engine::bufferWords(program.Document.CurrentBuf());
    const auto n = std::min<size_t>(words.size(), static_cast<size_t>(program.Document.N()));
    s.points = static_cast<int32_t>(n);
    if (n == 0)
        return s;
    const auto [lo, hi] = std::minmax_element(words.begin(), words.begin() + n);
    s.minimum = *lo;
    s.maximum = *hi;
    double sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum += words[i];
    s.mean = sum / static_cast<double>(n);
    return s;
}

QStringList Wave_Stats_Lines(const WaveStats& s) {
    const auto line = [](const char* label, const QString& value) {
        return QString::fromLatin1(label) + QLatin1Char('\t') + value;
    };
    return {line("Points", QString::number(s.points)), line("Minimum", QString::number(s.minimum)),
            line("Maximum", QString::number(s.maximum)),
            line("Mean", QString::number(s.mean, 'f', 3))};
}

namespace {

// IN read into the current waveform, as File > Import reads it (at most the
// set-up's point count), by the first installed plug-in for its extension
// that takes it: a user's own reader of a format a shipped plug-in also
// claims is tried after it, with nothing to choose it by here.
int importThroughPlugin(Program& program, const QString& in) {
    PluginSet set;
    set.load(Plugin_Folders());
    const QString suffix = suffixOf(in);
    int32_t error = 7;
    for (const ImportPlugin& plugin : set.plugins()) {
        if (!plugin.extensions.contains(suffix, Qt::CaseInsensitive))
            continue;
        error = Import_Through_Plugin(program, plugin, in);
        if (error == 0)
            return ExitDone;
    }
    ShowErrorText(QStringLiteral("[") + in + QStringLiteral("] ") + GetMessage(error));
    return error == 7 ? ExitUsage : ExitFile;
}

} // namespace

int Run_Convert(Program& program, const QString& in, const QString& out) {
    if (!checkWaveName(out))
        return ExitUsage;
    FileCommands files(program);
    if (!Is_Wave_File(in)) {
        if (const int r = importThroughPlugin(program, in); r != ExitDone)
            return r;
    } else if (!files.Load_Wave_File(in)) {
        return ExitFile;
    }
    return files.Save_Wave_File(out) ? ExitDone : ExitFile;
}

int Run_Info(Program& program, const QString& file, QStringList& lines) {
    FileCommands files(program);
    const bool setupOnly = Has_Extension(file, QStringLiteral("ocb"));
    if (setupOnly) {
        if (!files.Load_Setup_File(file))
            return ExitFile;
    } else {
        if (!checkWaveName(file))
            return ExitUsage;
        if (!files.Load_Wave_File(file))
            return ExitFile;
    }
    lines = Setup_Report_Lines(program.Setup, English());
    if (setupOnly)
        lines << QStringLiteral("Points\t") + QString::number(program.Setup.Param.MemorySize);
    else
        lines << Wave_Stats_Lines(Wave_Stats(program));
    return ExitDone;
}

bool Select_Model(Program& program, const QString& name) {
    SystemSetup& setup = program.Setup;
    const QString wanted = name.trimmed();
    for (int i = 0; i < setup.ModelNames.size(); ++i) {
        if (setup.ModelNames[i].trimmed().compare(wanted, Qt::CaseInsensitive) != 0)
            continue;
        if (i != setup.Param.ModelNo) {
            program.Apply_SizeChange(setup.Change_Model(i));
            // As the dialog does: never an interface the model does not have.
            SetupSession(program).Fit_InterfaceKind();
        }
        return true;
    }
    return false;
}

bool Select_Points(Program& program, int32_t points) {
    SystemSetup& setup = program.Setup;
    for (int i = 0; i < setup.MemorySizeNames.size(); ++i) {
        if (SystemSetup::MemorySizeOfName(setup.MemorySizeNames[i]) != points)
            continue;
        program.Apply_SizeChange(setup.Select_MemorySize(i));
        return true;
    }
    return false;
}

int Run_Create(Program& program, const QString& pagesFile, const QString& out, const QString& model,
               int32_t points) {
    if (!checkWaveName(out))
        return ExitUsage;
    if (!model.isEmpty() && !Select_Model(program, model)) {
        ShowErrorText(QStringLiteral("no model named \"%1\" (velda models lists them)").arg(model));
        return ExitUsage;
    }
    if (points != 0 && !Select_Points(program, points)) {
        QStringList sizes;
        for (const QString& s : program.Setup.MemorySizeNames)
            sizes << s.trimmed();
        ShowErrorText(QStringLiteral("%1 points is not a memory size of this model (%2)")
                          .arg(points)
                          .arg(sizes.join(QStringLiteral(", "))));
        return ExitUsage;
    }
    // The pages are read for the point count and units now in force, as the
    // dialog reads them.
    if (const int32_t r = tools::Read_Pages_File(pagesFile, program.Pages, program.Units); r != 0) {
        ShowErrorText(QStringLiteral("[") + pagesFile + QStringLiteral("] ") + GetMessage(r));
        return ExitFile;
    }
    WaveDocument& doc = program.Document;
    const tools::AllPagesResult r = tools::Make_All_Pages(
        program.Pages, doc.WorkBuf1, doc.CurrentBuf(), tools::Expr_Units(program.Units, doc.N()));
    if (r.error != 0) {
        // The page the dialog would show, then the text it shows.
        ShowErrorText(QStringLiteral("[%1 page %2] ").arg(pagesFile).arg(r.errorPage) +
                      GetMessage(r.error));
        return ExitFile;
    }
    return FileCommands(program).Save_Wave_File(out) ? ExitDone : ExitFile;
}

QStringList Models_Report() {
    QStringList lines;
    const int32_t count = SysGetDeviceCnt();
    for (int16_t m = 0; m < count; ++m) {
        char name[SystemSetup::NameWidth + 1] = {};
        SysGetDeviceName(m, name);
        lines << trimmedName(name);
        QStringList interfaces;
        // The model's own interfaces; every model also runs on the simulated
        // bus, which `send --interface sim` chooses.
        for (const InterfaceEntry& e : SystemSetup::Interface_List(SysGetInterfaceInfo(m)))
            if (e.kind != IfSimulated)
                interfaces << e.text.trimmed();
        lines << QStringLiteral("  interfaces\t") + interfaces.join(QStringLiteral(", "));
        lines << QStringLiteral("  memory sizes\t") +
                     namesOf(SysGetMemorySizeCnt(m),
                             [m](int32_t i, char* b) { SysGetMemorySizeName(m, i, b); });
        const int32_t channels = SysGetChannelCnt(m);
        lines << QStringLiteral("  channels\t") +
                     namesOf(channels, [m](int32_t i, char* b) { SysGetChannelName(m, i, b); });
        for (int16_t c = 0; c < channels; ++c) {
            char channel[SystemSetup::NameWidth + 1] = {};
            SysGetChannelName(m, c, channel);
            lines << QStringLiteral("  ranges %1\t").arg(trimmedName(channel)) +
                         namesOf(SysGetRangeCnt(m, c),
                                 [m, c](int32_t i, char* b) { SysGetRangeName(m, c, i, b); });
        }
    }
    return lines;
}

int Run_Print_Pdf(Program& program, const QString& file, const QString& pdf, bool digital) {
    if (!checkWaveName(file))
        return ExitUsage;
    // The PDF replaces whatever stands under its name: only a PDF file, never
    // the waveform read (through a link either), a folder or a device.
    const QFileInfo target(pdf);
    const auto isPdfName = [](const QFileInfo& f) {
        return f.suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
    };
    if (!isPdfName(target)) {
        ShowErrorText(QStringLiteral("print: --pdf takes a file name ending in .pdf"));
        return ExitUsage;
    }
    // A link is written through: the file it leads to must be a PDF too.
    if (!file32::saveTargetOk(pdf) || (target.exists() && file32::sameFile(pdf, file))) {
        ShowErrorText(QStringLiteral("print: %1 is not a PDF file it may replace").arg(pdf));
        return ExitUsage;
    }
    if (!FileCommands(program).Load_Wave_File(file))
        return ExitFile;
    // The margins and font the Print dialog saved, as its Save as PDF uses
    // (a started program always has its settings).
    if (!Write_Report_Pdf(pdf, Report_Content(program, English(), digital),
                          Load_PrintLayout(*program.Registry))) {
        ShowErrorText(QStringLiteral("[") + pdf + QStringLiteral("] ") + GetMessage(72));
        return ExitFile;
    }
    return ExitDone;
}

} // namespace velda::cli
