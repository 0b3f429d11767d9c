#include "bus/TraceLog.h"

#include "engine/CodePage.h"

#include <QFile>

namespace velda::bus {

namespace {
const QString Q = QStringLiteral("\"");
} // namespace

bool TraceLog::Empty() const {
    if (!Enabled())
        return true;
    QFile f(path_);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

void TraceLog::Append(const QString& line, Status status) const {
    if (!Enabled())
        return;
    QFile f(path_);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    f.write(toCodePage(line + LogSuffix(status) + QStringLiteral("\r\n")));
    f.close();
}

QString TraceLog::InitLine() {
    return QStringLiteral("GP_INIT");
}

QString TraceLog::SendLine(const QString& adrs, const QString& text) {
    return adrs + QStringLiteral(" < ") + QStringLiteral(" GP_Send_Str ") + Q + text + Q;
}

QString TraceLog::ReceiveLine(const QString& adrs, const QString& text) {
    return adrs + QStringLiteral(" > ") + QStringLiteral("GP_Receive_Str") + Q + text + Q;
}

QString TraceLog::DebugReceiveLine(const QString& adrs, const QString& text) {
    return adrs + QStringLiteral(" > ") + QStringLiteral(" GP_Receive_Str ") + Q + text + Q;
}

QString TraceLog::AllLine(const QString& operation) {
    return QStringLiteral("ALL") + QStringLiteral(" < ") + operation;
}

QString TraceLog::SdcLine(const QString& adrs) {
    return adrs + QStringLiteral(" < ") + QStringLiteral("GP_SDC");
}

QString TraceLog::TimeOutLine(const QString& name) {
    return AllLine(QStringLiteral("GP_Time_Out")) + Q + name + Q;
}

QString TraceLog::MTermLine(const QString& name) {
    return AllLine(QStringLiteral("GP_MTerm")) + Q + name + Q;
}

QString TraceLog::BinaryLine(const QString& adrs, const QString& operation,
                             const QString& dataList) {
    return adrs + QStringLiteral(" < ") + QLatin1Char(' ') + operation + QLatin1Char(' ') + Q +
           dataList + Q;
}

QString TraceLog::LibraryLine(const QString& library, const QString& error) {
    return QStringLiteral("LIBRARY ") + Q + library + Q + QLatin1Char(' ') + error;
}

QString TraceLog::DataList(const BusArray& data) {
    return std::visit(
        [](const auto& span) {
            const size_t n = span.size() < 16 ? span.size() : 15;
            QStringList values;
            values.reserve(qsizetype(n));
            for (size_t i = 0; i < n; ++i)
                values << QString::number(span[i]);
            return values.join(QLatin1Char(','));
        },
        data);
}

} // namespace velda::bus
