#include "files/FileCommands.h"

#include "app/Messages.h"
#include "app/Program.h"
#include "app/Prompts.h"
#include "engine/DataWord.h"
#include "engine/file32.h"
#include "engine/wavelb32.h"
#include "files/FileNames.h"
#include "files/PackedRecord.h"
#include "setup/SetupSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>

namespace velda {
namespace {

const QString kUntitled = QStringLiteral("Untitled");

// A buffer of the engine for one read, given back on every path.
class ScratchBuffer {
public:
    ScratchBuffer() : h_(W_AllocMemory(kBufferPoints)) {}
    ~ScratchBuffer() {
        if (h_ != 0)
            W_FreeMemory(h_);
    }
    ScratchBuffer(const ScratchBuffer&) = delete;
    ScratchBuffer& operator=(const ScratchBuffer&) = delete;
    WaveHandle handle() const { return h_; }

private:
    WaveHandle h_;
};

QString fileLabel(const QString& path) {
    return QLatin1Char('[') + path + QStringLiteral("] ");
}

bool isPointListName(const QString& path) {
    return Has_Extension(path, QStringLiteral("csv")) ||
           Has_Extension(path, QStringLiteral("tsv")) || Has_Extension(path, QStringLiteral("prn"));
}

QString folderOf(const QString& path) {
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return slash < 0 ? QString() : path.left(slash);
}

QString fileOf(const QString& path) {
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(slash + 1);
}

// An open dialog finds "name.ext" for a typed "name" that does not exist.
QString openedName(const QString& path, const QString& ext) {
    if (path.isEmpty() || fileOf(path).contains(QLatin1Char('.')) || QFileInfo::exists(path))
        return path;
    const QString withExt = path + QLatin1Char('.') + ext;
    return QFileInfo::exists(withExt) ? withExt : path;
}

} // namespace

QString Default_Document_Folder() {
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // The location is named even where the folder was never made; a dialog
    // given a folder that is not there starts in the working directory.
    if (!docs.isEmpty() && QFileInfo(docs).isDir())
        return docs;
    // Never the program's folder: an installed program's folder is not the
    // user's to write in.
    return QDir::homePath();
}

QString Qt_Filter_Text(const QString& list) {
    const QStringList parts = list.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i];
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << p.trimmed();
        // Qt takes the patterns from the label's last parentheses.
        if (label.endsWith(QLatin1Char(')'))) {
            const qsizetype open = label.lastIndexOf(QLatin1Char('('));
            if (open >= 0)
                label.truncate(open);
        }
        filters << label + QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QString File_Filter_List(int kind, bool save, bool asText, bool english) {
    switch (kind) {
    case KindExpression:
        if (save)
            return english ? QStringLiteral("Expression files(*.wfn)|*.wfn")
                           : QStringLiteral(u"ﾃｷｽﾄ独自形式(*.wfn)|*.wfn");
        return english ? QStringLiteral("Expression files(*.wfn)|*.wfn|All files(*.*)|*.*")
                       : QStringLiteral(u"ﾃｷｽﾄ独自形式(*.wfn)|*.wfn|全てのﾌｧｲﾙ(*.*)|*.*");
    case KindPointList:
        if (save)
            return english ? QStringLiteral("Text files(Space delimited)(*.prn)|*.prn|"
                                            "Text files(Tab delimited)(*.tsv)|*.tsv|"
                                            "Text files(Comma delimited)(*.csv)|*.csv")
                           : QStringLiteral(u"ﾃｷｽﾄﾌｧｲﾙ（ｽﾍﾟｰｽ区切り）(*.prn)|*.prn|"
                                            u"ﾃｷｽﾄﾌｧｲﾙ（ﾀﾌﾞ区切り）(*.tsv)|*.tsv|"
                                            u"ﾃｷｽﾄﾌｧｲﾙ（ｶﾝﾏ区切り）(*.csv)|*.csv");
        return english ? QStringLiteral("Text files(*.prn; *.tsv; *.csv)|*.prn;*.tsv;*.csv|"
                                        "All files(*.*)|*.*")
                       : QStringLiteral(u"ﾃｷｽﾄﾌｧｲﾙ(*.prn; *.tsv; *.csv)|*.prn;*.tsv;*.csv|"
                                        u"全てのﾌｧｲﾙ(*.*)|*.*");
    case KindSetup:
        if (save)
            return english ? QStringLiteral("System files(*.ocb)|*.ocb")
                           : QStringLiteral(u"ｼｽﾃﾑﾌｧｲﾙ(*.ocb)|*.ocb");
        return english ? QStringLiteral("System files(*.ocb)|*.ocb|All files(*.*)|*.*")
                       : QStringLiteral(u"ｼｽﾃﾑﾌｧｲﾙ(*.ocb)|*.ocb|全てのﾌｧｲﾙ(*.*)|*.*");
    case KindWave:
        if (save && asText)
            return english ? QStringLiteral("Text files(*.txt)|*.txt")
                           : QStringLiteral(u"ﾃｷｽﾄ形式(*.txt)|*.txt");
        if (save)
            return english ? QStringLiteral("Binary files(*.wdb)|*.wdb")
                           : QStringLiteral(u"ﾊﾞｲﾅﾘ独自形式(*.wdb)|*.wdb");
        return english ? QStringLiteral(
                             "Binary files(*.wdb)|*.wdb|Text files(*.txt)|*.txt|All files(*.*)|*.*")
                       : QStringLiteral(u"ﾊﾞｲﾅﾘ独自形式(*.wdb)|*.wdb|ﾃｷｽﾄ形式(*.txt)|*.txt|"
                                        u"全てのﾌｧｲﾙ(*.*)|*.*");
    default:
        return {};
    }
}

QString File_Filter(int kind, bool save, bool asText, bool english) {
    return Qt_Filter_Text(File_Filter_List(kind, save, asText, english));
}

QString With_Default_Extension(const QString& path, const QString& ext) {
    if (path.isEmpty() || fileOf(path).contains(QLatin1Char('.')))
        return path;
    return path + QLatin1Char('.') + ext;
}

FileCommands::FileCommands(Program& program, FileHooks hooks)
    : prog_(program), hooks_(std::move(hooks)) {}

void FileCommands::call(const std::function<void()>& hook) const {
    if (hook)
        hook();
}

QString FileCommands::askOpen(const QString& remembered, const QString& ext, int kind,
                              int filterIndex) {
    const StartName start = Dialog_Start_Name(remembered, ext, Default_Document_Folder());
    if (kind == KindWave)
        filterIndex = start.defaultExtension == QLatin1String("wdb") ? 0 : 1;
    FileRequest r;
    r.caption = English() ? QStringLiteral("Open") : QStringLiteral(u"ファイルを開く");
    r.directory = folderOf(start.fileName);
    r.fileName = start.fileName;
    r.filter = File_Filter(kind, false, false, English());
    r.filterIndex = filterIndex;
    r.defaultSuffix = start.defaultExtension;
    const QString path = openedName(prompts().openFileName(r), start.defaultExtension);
    // A FIFO or a device typed into the dialog would hold the editor in
    // its read until a writer comes; only a file is read from here (the
    // command line still reads any of them, where a pipe is meant).
    if (!path.isEmpty() && !file32::fileOrNothing(path)) {
        ShowErrorText((kind == KindSetup ? fileLabel(path) : QString()) + GetMessage(71));
        return {};
    }
    return path;
}

QString FileCommands::askSave(const QString& startName, const QString& ext, int kind, bool asText,
                              int filterIndex) {
    FileRequest r;
    r.caption = English() ? QStringLiteral("Save As") : QStringLiteral(u"名前を付けて保存");
    r.directory = folderOf(startName);
    r.fileName = startName;
    r.filter = File_Filter(kind, true, asText, English());
    r.filterIndex = filterIndex;
    // No to the overwrite question goes back to the dialog, with the name
    // and file type chosen.
    for (;;) {
        int chosen = r.filterIndex;
        const QString name = prompts().saveFileNameWithFilter(r, chosen);
        // A name typed without an extension takes the one of the file type
        // the user chose ("*.*" leaves the kind's own).
        const QStringList filters = r.filter.split(QStringLiteral(";;"));
        static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.([A-Za-z0-9]+)\\)\\s*$"));
        const QRegularExpressionMatch typeExt = chosen >= 0 && chosen < filters.size()
                                                    ? pattern.match(filters[chosen])
                                                    : QRegularExpressionMatch();
        const QString path =
            With_Default_Extension(name, typeExt.hasMatch() ? typeExt.captured(1) : ext);
        if (path.isEmpty() || Overwrite_Or_Ask_Again(path, r))
            return path;
        r.filterIndex = chosen;
    }
}

bool Overwrite_Or_Ask_Again(const QString& path, FileRequest& request) {
    if (!QFileInfo::exists(path) || AskCaution(5) == Answer::Yes)
        return true;
    request.directory = folderOf(path);
    request.fileName = path;
    return false;
}

// Runs the owning dialog's reader or writer; false after showing its message.
static bool runAction(const FileAction& action, const QString& path) {
    if (!action)
        return true;
    const int32_t r = action(path);
    if (r > 0) {
        ShowError(r);
        return false;
    }
    return true;
}

QString FileCommands::File_Open(int kind, const FileAction& read) {
    WaveDocument& doc = prog_.Document;
    switch (kind) {
    case KindExpression: {
        const QString path = askOpen(doc.FuncFileName, QStringLiteral("wfn"), kind, 0);
        if (path.isEmpty() || !Has_Extension(path, QStringLiteral("wfn")))
            return {};
        if (!runAction(read, path))
            return {};
        return path;
    }
    case KindPointList: {
        const QString path = askOpen(doc.TextFileName, QStringLiteral("prn"), kind, 0);
        if (path.isEmpty())
            return {};
        if (!isPointListName(path)) {
            ShowError(7);
            return {};
        }
        if (!runAction(read, path))
            return {};
        doc.TextFileName = path;
        return path;
    }
    case KindSetup: {
        const QString path = askOpen(doc.SetupFileName, QStringLiteral("ocb"), kind, 0);
        if (path.isEmpty() || !Has_Extension(path, QStringLiteral("ocb")))
            return {};
        return Load_Setup_File(path) ? path : QString();
    }
    case KindWave: {
        const QString path = askOpen(doc.WaveFileName, QStringLiteral("wdb"), kind, 0);
        if (path.isEmpty())
            return {};
        return Load_Wave_File(path) ? path : QString();
    }
    default:
        return {};
    }
}

QString FileCommands::File_Save(int kind, bool asText, const FileAction& write) {
    WaveDocument& doc = prog_.Document;
    const QString folder = Default_Document_Folder();
    switch (kind) {
    case KindExpression: {
        const StartName start = Save_Start_Name(doc.FuncFileName, QStringLiteral("wfn"), folder);
        const QString path = askSave(start.fileName, start.defaultExtension, kind, false, 0);
        if (path.isEmpty())
            return {};
        if (!Has_Extension(path, QStringLiteral("wfn"))) {
            ShowError(8);
            return {};
        }
        if (!runAction(write, path))
            return {};
        doc.FuncFileName = path;
        return path;
    }
    case KindPointList: {
        const StartName start = Dialog_Start_Name(doc.TextFileName, QStringLiteral("prn"), folder);
        const int index = start.defaultExtension == QLatin1String("prn")   ? 0
                          : start.defaultExtension == QLatin1String("tsv") ? 1
                                                                           : 2;
        const QString path = askSave(start.fileName, start.defaultExtension, kind, false, index);
        if (path.isEmpty())
            return {};
        if (!isPointListName(path)) {
            ShowError(8);
            return {};
        }
        if (!runAction(write, path))
            return {};
        doc.TextFileName = path;
        return path;
    }
    case KindSetup: {
        const StartName start = Save_Start_Name(doc.SetupFileName, QStringLiteral("ocb"), folder);
        const QString path = askSave(start.fileName, start.defaultExtension, kind, false, 0);
        if (path.isEmpty())
            return {};
        if (!Has_Extension(path, QStringLiteral("ocb"))) {
            ShowError(8);
            return {};
        }
        return Save_Setup_File(path) ? path : QString();
    }
    case KindWave: {
        const StartName start = Wave_Save_Start_Name(doc.WaveFileName, asText, folder);
        const QString path = askSave(start.fileName, start.defaultExtension, kind, asText, 0);
        if (path.isEmpty())
            return {};
        const bool saved = Save_Wave_File(path);
        call(hooks_.setCaption);
        return saved ? path : QString();
    }
    default:
        return {};
    }
}

void FileCommands::rememberWaveNames(const QString& path) {
    WaveDocument& doc = prog_.Document;
    doc.WaveFileName = path;
    doc.FuncFileName = path.chopped(std::min<qsizetype>(4, path.size()));
    doc.SetupFileName = doc.FuncFileName;
    doc.TextFileName = doc.FuncFileName;
}

void FileCommands::sizeChanged(int32_t oldN) {
    const int32_t n = prog_.Document.N();
    if (n == oldN)
        return;
    const SizeChange change{true, oldN, n};
    if (hooks_.applySizeChange)
        hooks_.applySizeChange(change);
    else
        prog_.Apply_SizeChange(change);
}

bool FileCommands::Load_Wave_File(const QString& path) {
    WaveDocument& doc = prog_.Document;
    SystemSetup& setup = prog_.Setup;
    const bool binary = Has_Extension(path, QStringLiteral("wdb"));
    if (!binary && !Has_Extension(path, QStringLiteral("txt"))) {
        ShowError(7);
        return false;
    }
    // Read aside: the document is touched only once the whole file was read.
    ScratchBuffer scratch;
    const int32_t oldN = doc.N();
    PackedRecord record{};
    int32_t result = kFileReadError;
    if (scratch.handle() != 0) {
        result = binary ? Read7731File(path, record, scratch.handle())
                        : LoadWaveData(path, scratch.handle(), 0, oldN);
    }
    if (result != kFileOk) {
        ShowError(71);
        return false;
    }

    if (binary) {
        // Put back whole if the file is refused: the model's lists, the size
        // chosen and its display step with the record.
        const SystemSetup before = setup;
        Unpack_System_Record(record, setup.Param, setup.InterfaceKind);
        const int32_t points = setup.Param.MemorySize; // as many as the file holds
        Match_Model(setup.Param, setup.ModelNames);
        // The model change loads the model's defaults; the file's own
        // waveform-send text is kept.
        const QString arbSend = setup.Param.DefaultArbSend;
        setup.Change_Model(setup.Param.ModelNo);
        setup.Param.DefaultArbSend = arbSend;
        SetupSession(prog_).Fit_InterfaceKind();
        // The memory size comes from the record's size entry; one naming
        // another size than the file's points would cut or pad them: the
        // entry of the file's own size is taken. Without one (a file of
        // another model) a larger memory holds the points with zeros after
        // them, and a smaller one cannot hold the file.
        if (setup.Param.MemorySize != points) {
            const auto fit =
                std::find_if(setup.MemorySizeNames.begin(), setup.MemorySizeNames.end(),
                             [points](const QString& name) {
                                 return SystemSetup::MemorySizeOfName(name) == points;
                             });
            if (fit != setup.MemorySizeNames.end()) {
                setup.Select_MemorySize(static_cast<int>(fit - setup.MemorySizeNames.begin()));
            } else if (setup.Param.MemorySize < points) {
                setup = before;
                ShowError(71);
                return false;
            }
        }
        doc.Reset_Undo();
        sizeChanged(oldN);
        call(hooks_.setupChanged);
    } else {
        doc.Save_Undo();
    }
    W_CopyMemory(scratch.handle(), doc.CurrentBuf(), 0, 0, doc.N());

    rememberWaveNames(path);
    prog_.View.reset(doc.N());
    prog_.View.XZoom = 1;
    prog_.View.YZoom = 1;
    call(hooks_.showWholeWave);
    call(hooks_.setCaption);
    return true;
}

bool FileCommands::Save_Wave_File(const QString& path) {
    WaveDocument& doc = prog_.Document;
    SystemSetup& setup = prog_.Setup;
    if (setup.MemorySizeSelection >= 0) {
        const SizeChange change = setup.Select_MemorySize(setup.MemorySizeSelection);
        prog_.Apply_SizeChange(change);
        if (change.changed)
            call(hooks_.showWholeWave);
    }
    int32_t result = kFileWriteError;
    if (Has_Extension(path, QStringLiteral("wdb"))) {
        result = Save7731File(path, Pack_System_Record(setup.Param, setup.InterfaceKind),
                              doc.CurrentBuf());
    } else if (Has_Extension(path, QStringLiteral("txt"))) {
        result = SaveWaveData(path, doc.CurrentBuf(), 0, doc.N());
    } else {
        ShowError(7);
        return false;
    }
    if (result > kFileOk) {
        ShowError(72);
        return false;
    }
    rememberWaveNames(path);
    return true;
}

bool FileCommands::Load_Setup_File(const QString& path) {
    SystemSetup& setup = prog_.Setup;
    PackedRecord record{};
    if (ReadSystemFile(path, record) != kFileOk) {
        ShowErrorText(fileLabel(path) + GetMessage(71));
        return false;
    }
    const int32_t oldN = prog_.Document.N();
    Unpack_System_Record(record, setup.Param, setup.InterfaceKind);
    Match_Model(setup.Param, setup.ModelNames);
    setup.Change_Model(setup.Param.ModelNo);
    // The file's model may lack the interface in use (a file that names
    // none keeps it).
    SetupSession(prog_).Fit_InterfaceKind();
    if (prog_.Document.N() != oldN) {
        sizeChanged(oldN);
        call(hooks_.showWholeWave);
    }
    call(hooks_.setupChanged);
    prog_.Document.SetupFileName = path;
    return true;
}

bool FileCommands::Save_Setup_File(const QString& path) {
    const SystemSetup& setup = prog_.Setup;
    if (SaveSystemFile(path, Pack_System_Record(setup.Param, setup.InterfaceKind)) != kFileOk) {
        ShowErrorText(fileLabel(path) + GetMessage(72));
        return false;
    }
    prog_.Document.SetupFileName = path;
    return true;
}

void FileCommands::Save_Current() {
    const QString& name = prog_.Document.WaveFileName;
    if (name != kUntitled) {
        Save_Wave_File(name);
        call(hooks_.setCaption);
    } else {
        File_Save(KindWave, false);
    }
}

} // namespace velda
