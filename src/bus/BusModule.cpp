#include "bus/BusModule.h"

#include "app/Prompts.h"
#include "engine/file32.h"

#include <QDir>
#include <algorithm>

namespace velda::bus {

bool BusModule::Error_Check(const QString& functionName, Status status) {
    const QString error = DialogErrorText(status);
    if (error.isEmpty())
        return true;
    if (state_.ViewErrDialog) {
        BoxRequest box;
        box.title = QStringLiteral("NI_GPIB");
        box.text = functionName + QStringLiteral("\r\n") + error + QStringLiteral("\r\n") +
                   QStringLiteral("アプリケーションを終了しますか?");
        box.buttons = BoxButtons::YesNo;
        if (prompts().showBox(box) == Answer::Yes && context_.endProgram)
            context_.endProgram();
    }
    return false;
}

Status BusModule::Check_And_Log(const QString& functionName, Status status, const QString& line) {
    Error_Check(functionName, status);
    Log(line, status);
    return status;
}

Status BusModule::GP_IFC() {
    Log(TraceLog::AllLine(QStringLiteral("GP_IFC")), StatusOk);
    return StatusOk;
}

Status BusModule::GP_EOI(int16_t flag) {
    state_.EoiOn = flag;
    Log(TraceLog::AllLine(QStringLiteral("GP_EOI")), StatusOk);
    return StatusOk;
}

Status BusModule::GP_Send_AsciiBinary_Data(const QString&, const BusArray&, int16_t, int32_t,
                                           int16_t, int16_t, int16_t) {
    return StatusOk;
}

Status BusModule::Init_Defaults() {
    Status st = GP_REN(-1);
    st |= GP_MTerm(1);
    st |= GP_EOI(1);
    st |= GP_Time_Out(10);
    return st;
}

void BusModule::Log(const QString& line, Status status) const {
    log_.Append(line, status);
}

void BusModule::Read_Log_Keys(const InitParams& params) {
    QString log = params.Text(QStringLiteral("LOG_FILE"));
    // The log starts empty: under the name of a file the program reads (the
    // settings, the simulated bus's replies) it would wipe that file. Such a
    // log is left out, as one that cannot be written is, and named nowhere.
    QStringList kept = context_.keptFiles ? context_.keptFiles() : QStringList();
    if (const QString replies = params.Text(QStringLiteral("INI_FILE")); !replies.isEmpty())
        kept << QDir(context_.programDir).filePath(replies);
    if (std::any_of(kept.begin(), kept.end(),
                    [&log](const QString& file) { return file32::sameFile(log, file); }))
        log.clear();
    log_.Set_File(log);
    if (!log_.Empty()) {
        log.clear();
        log_.Set_File(log);
    }
    state_.LogFile = log;
    state_.ViewErrDialog = params.Has(QStringLiteral("VIEW_ERR_DIALOG"));
}

bool LibraryBusModule::Load_Library() {
    if (lib_.Loaded())
        return true;
    const QStringList names =
        context_.libraryNames ? context_.libraryNames(libraryKey_) : QStringList();
    if (!lib_.Load(names)) {
        log_.Append(TraceLog::LibraryLine(lib_.Name(), lib_.ErrorText()), StatusNoBoard);
        errorText_ = lib_.ErrorText();
        return false;
    }
    Resolve_Functions();
    return true;
}

Status LibraryBusModule::Missing(const char* function) {
    if (lib_.Loaded())
        lib_.Symbol(function); // leaves dlerror's text, which names the function
    log_.Append(TraceLog::LibraryLine(lib_.Name(), lib_.ErrorText()), StatusNoBoard);
    errorText_ = lib_.ErrorText();
    return StatusNoBoard;
}

} // namespace velda::bus
