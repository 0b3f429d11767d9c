#include "bus/BusModule.h"

#include "app/Prompts.h"

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

void BusModule::Log(const QString& line, Status status) const {
    log_.Append(line, status);
}

void BusModule::Read_Log_Keys(const InitParams& params) {
    state_.LogFile = params.Text(QStringLiteral("LOG_FILE"));
    log_.Set_File(state_.LogFile);
    log_.Empty();
    state_.ViewErrDialog = params.Has(QStringLiteral("VIEW_ERR_DIALOG"));
}

void BusModule::Log_Library_Failure(const QString& library, const QString& error) const {
    log_.Append(TraceLog::LibraryLine(library, error), StatusNoBoard);
}

Status BusModule::Missing_Function(SharedLibrary& library, const char* function) const {
    if (library.Loaded())
        library.Symbol(function); // leaves dlerror's text, which names the function
    Log_Library_Failure(library.Name(), library.ErrorText());
    return StatusNoBoard;
}

} // namespace velda::bus
