#include "bus/Debug_Mdl.h"

#include "app/Prompts.h"
#include "bus/IniProfile.h"

#include <QDir>
#include <QFileInfo>

namespace velda::bus {

Debug_Mdl::Debug_Mdl(BusContext& context) : BusModule(context) {}

QString Debug_Mdl::Extract_Queries(const QString& text) {
    QStringList queries;
    for (const QString& command : text.trimmed().split(QLatin1Char(';')))
        if (command.contains(QLatin1Char('?')))
            queries << command.trimmed();
    return queries.join(QLatin1Char(','));
}

void Debug_Mdl::Address_Rule(int16_t adrs) {
    if (adrs != LastAddress)
        state_.CurrentAddress = adrs;
}

QString Debug_Mdl::Replies_Path() const {
    // An absolute name is taken as it is: an installed program's folder is
    // not where the user keeps replies files.
    if (QFileInfo(iniFile_).isAbsolute())
        return iniFile_;
    return QDir(context_.programDir).filePath(iniFile_);
}

Status Debug_Mdl::GP_Init(const QString& params) {
    const InitParams p(params);
    Read_Log_Keys(p);
    state_.MyAddress = p.Number(QStringLiteral("MYADRS="), 0);
    responseDialog_ = p.Has(QStringLiteral("RESPONSE_DIALOG"));
    iniFile_ = p.Text(QStringLiteral("INI_FILE"));
    state_.BufferSize = 256;
    const Status st = Init_Defaults();
    Log(TraceLog::InitLine(), st);
    return st;
}

Status Debug_Mdl::GP_Send_Str(int16_t adrs, QString text) {
    Address_Rule(adrs);
    lastQueries_ = Extract_Queries(text);
    pendingReply_.clear();
    if (!iniFile_.isEmpty() && !lastQueries_.isEmpty()) {
        const QString query = lastQueries_.section(QLatin1Char(','), -1);
        const IniProfile profile = IniProfile::Load(Replies_Path());
        QString value;
        const int n = profile.Get_String(QStringLiteral("ADRS%1").arg(state_.CurrentAddress), query,
                                         QString(), value, 100);
        pendingReply_ = n == 99 ? QStringLiteral("Buffer Over") : value;
    }
    Log(TraceLog::SendLine(Adrs(), text), StatusOk);
    return StatusOk;
}

Status Debug_Mdl::GP_Receive_Str(int16_t adrs, QString& text) {
    Address_Rule(adrs);
    if ((pendingReply_.isEmpty() || pendingReply_ == QStringLiteral("Buffer Over")) &&
        responseDialog_) {
        const auto answer = prompts().inputText(
            QString(), lastQueries_ + QStringLiteral("の応答メッセージを入力してください"),
            QString());
        pendingReply_ = answer.value_or(QString());
    }
    text = pendingReply_;
    state_.LastReceivedCount = int32_t(text.size());
    Log(TraceLog::DebugReceiveLine(Adrs(), text), StatusOk);
    pendingReply_.clear();
    return StatusOk;
}

Status Debug_Mdl::GP_LLO() {
    Log(TraceLog::AllLine(QStringLiteral("GP_LLO")), StatusOk);
    return StatusOk;
}

Status Debug_Mdl::GP_REN(int16_t) {
    Log(TraceLog::AllLine(QStringLiteral("GP_REN")), StatusOk);
    return StatusOk;
}

Status Debug_Mdl::GP_SDC(int16_t adrs) {
    Address_Rule(adrs);
    Log(TraceLog::SdcLine(QString::number(adrs)), StatusOk);
    return StatusOk;
}

Status Debug_Mdl::GP_Time_Out(int16_t code) {
    state_.TimeOutCode = code;
    Log(TraceLog::TimeOutLine(TimeOutName(code)), StatusOk);
    return StatusOk;
}

Status Debug_Mdl::GP_MTerm(int16_t code) {
    if (!bus::TermName(code).isEmpty()) {
        termName_ = bus::TermName(code);
        state_.TermCode = code;
        state_.SendTerminator = TermText(code);
    }
    Log(TraceLog::MTermLine(termName_), StatusOk);
    return StatusOk;
}

Status Debug_Mdl::GP_Send_Binary_Data(const BusArray& data, int16_t adrs, int32_t, int16_t, int16_t,
                                      int32_t) {
    Address_Rule(adrs);
    Log(TraceLog::BinaryLine(Adrs(), QStringLiteral("GP_Send_Binary_Data"),
                             TraceLog::DataList(data)),
        StatusOk);
    return StatusOk;
}

Status Debug_Mdl::GP_Send_AsciiBinary_Data(const QString&, const BusArray& data, int16_t adrs,
                                           int32_t, int16_t, int16_t, int16_t) {
    Address_Rule(adrs);
    Log(TraceLog::BinaryLine(Adrs(), QStringLiteral("GP_Send_AsciiBinary_Data"),
                             TraceLog::DataList(data)),
        StatusOk);
    return StatusOk;
}

} // namespace velda::bus
