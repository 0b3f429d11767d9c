#include "control/clsGpibCommand.h"

#include "app/Messages.h"
#include "app/Registry.h"
#include "setup/SystemSetup.h"
#include "units/NumberText.h"

#include <array>
#include <limits>

namespace velda::control {

namespace {

const std::array<const char*, 29> kKeys = {
    "maker",   "model",   "serial",  "version", "preset",   "headoff", "channel", "freq",
    "amprng",  "amp",     "offset",  "ofson",   "ofsoff",   "outon",   "outoff",  "arbprecommand",
    "arbmask", "arbsend", "arbbank", "arbstt",  "arbbswap", "arbfmt",  "arbsize", "arbname",
    "getsts",  "geterr",  "errmask", "gpibcmd", "arbfunc",
};

bool isQuote(QChar c) {
    return c == QLatin1Char('\'') || c == QLatin1Char('"');
}

// A whole-number column; empty or non-numeric text reads as 0.
int32_t wholeNumber(const QString& text) {
    return leadingNumber(text);
}

} // namespace

bool Is_Printable(QChar c) {
    const char16_t u = c.unicode();
    return !(u <= 32 || u == 96 || u == 127 || u == 160 || (u >= 248 && u <= 255));
}

QString Strip_Printable(const QString& text) {
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && !Is_Printable(text[first]))
        ++first;
    while (end > first && !Is_Printable(text[end - 1]))
        --end;
    return text.mid(first, end - first);
}

QString Unquote(const QString& text) {
    QString s = text;
    if (!s.isEmpty() && isQuote(s.front()))
        s.remove(0, 1);
    if (!s.isEmpty() && isQuote(s.back()))
        s.chop(1);
    return s;
}

QStringList Quote_Split(const QString& text, QChar separator) {
    const bool blank = separator == QLatin1Char(' ') || separator == QLatin1Char('\t');
    QStringList pieces;
    QString piece;
    bool inside = false;
    bool lastWasSeparator = false;
    for (const QChar c : text) {
        if (isQuote(c))
            inside = !inside;
        if (!inside && c == separator) {
            if (!(blank && lastWasSeparator))
                pieces.append(piece);
            piece.clear();
            lastWasSeparator = true;
            continue;
        }
        lastWasSeparator = false;
        piece.append(c);
    }
    if (!piece.isEmpty() && isQuote(piece.front()) && piece.back() != piece.front())
        piece.append(piece.front());
    if (!(blank && lastWasSeparator))
        pieces.append(piece);
    return pieces;
}

QStringList Row_Columns(const QString& text) {
    QStringList columns = Quote_Split(Unquote(text), QLatin1Char(','));
    for (QString& c : columns)
        c = Unquote(Strip_Printable(c));
    return columns;
}

int64_t Read_Mask(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    qlonglong v = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = t.mid(2).toLongLong(&ok, 16);
    else
        v = t.toLongLong(&ok, 10);
    return ok ? v : 0;
}

QString Hex_Tokens(const QString& templ) {
    // Only blanks are trimmed: the template is a command, control characters
    // in it come from the tokens.
    qsizetype first = 0;
    qsizetype end = templ.size();
    while (first < end && templ[first] == QLatin1Char(' '))
        ++first;
    while (end > first && templ[end - 1] == QLatin1Char(' '))
        --end;
    const QStringList tokens = templ.mid(first, end - first).split(QLatin1Char(' '));
    QString out;
    bool afterHex = true; // no blank before the first token
    for (const QString& token : tokens) {
        if (token.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
            bool ok = false;
            const uint code = token.mid(2).toUInt(&ok, 16);
            if (ok && code <= 0xFFFF) {
                out.append(QChar(char16_t(code)));
                afterHex = true;
                continue;
            }
        }
        if (!afterHex)
            out.append(QLatin1Char(' '));
        out.append(token);
        afterHex = false;
    }
    return out;
}

QString Pattern_Text(double value, const QString& pattern) {
    return Fmt_Pattern(value, pattern);
}

bool clsGpibCommand::Known_Key(const QString& lowerKey) {
    for (const char* k : kKeys)
        if (lowerKey == QLatin1String(k))
            return true;
    return false;
}

void clsGpibCommand::SetUp(bool clear, const QStringList& keys, const QList<QStringList>& values) {
    if (clear)
        rows_.clear();
    for (qsizetype i = 0; i < keys.size() && !keys[i].isEmpty(); ++i) {
        const QString key = keys[i].toLower();
        if (!Known_Key(key)) {
            ShowStop(QStringLiteral("GPIB System Error"),
                     QStringLiteral("Script Error\n") + keys[i]);
            continue;
        }
        QStringList columns = i < values.size() ? values[i] : QStringList();
        if (columns.size() > Columns)
            columns = columns.mid(0, Columns);
        rows_.insert(key, columns);
    }
}

QStringList clsGpibCommand::Row(const QString& key) const {
    return rows_.value(key.toLower());
}

QString clsGpibCommand::column(const char* key, int index) const {
    const auto it = rows_.constFind(QLatin1String(key));
    if (it == rows_.constEnd() || index < 1 || index > it->size())
        return {};
    return it->at(index - 1);
}

QString clsGpibCommand::expand(const char* key, std::optional<double> par) const {
    return withPattern(column(key, 1), key, par);
}

QString clsGpibCommand::withPattern(const QString& text, const char* key,
                                    std::optional<double> par) const {
    const QString pattern = column(key, 2);
    if (pattern.isEmpty() || !par)
        return text;
    return text + QLatin1Char(' ') + Pattern_Text(*par, pattern);
}

QString clsGpibCommand::query(const char* key, int32_t& start, int32_t& length) const {
    start = wholeNumber(column(key, 2));
    length = wholeNumber(column(key, 3));
    return column(key, 1);
}

QString clsGpibCommand::Maker(int32_t& start, int32_t& length) const {
    return query("maker", start, length);
}
QString clsGpibCommand::Model(int32_t& start, int32_t& length, QString& expected) const {
    expected = column("model", 4);
    return query("model", start, length);
}
QString clsGpibCommand::Serial(int32_t& start, int32_t& length) const {
    return query("serial", start, length);
}
QString clsGpibCommand::Version(int32_t& start, int32_t& length) const {
    return query("version", start, length);
}

QString clsGpibCommand::Preset() const {
    return column("preset", 1);
}
QString clsGpibCommand::HeaderOff() const {
    return column("headoff", 1);
}
QString clsGpibCommand::DcOffsetOn() const {
    return column("ofson", 1);
}
QString clsGpibCommand::DcOffsetOff() const {
    return column("ofsoff", 1);
}
QString clsGpibCommand::OutputOn() const {
    return column("outon", 1);
}
QString clsGpibCommand::OutputOff() const {
    return column("outoff", 1);
}
QString clsGpibCommand::ArbPreCommand() const {
    return column("arbprecommand", 1);
}
QString clsGpibCommand::ArbFormat() const {
    return column("arbfmt", 1);
}
QString clsGpibCommand::GetStatus() const {
    return column("getsts", 1);
}
QString clsGpibCommand::GetErrorMessage() const {
    return column("geterr", 1);
}
QString clsGpibCommand::SendGpibCommand() const {
    return column("gpibcmd", 1);
}

QString clsGpibCommand::frequency(std::optional<double> par) const {
    return expand("freq", par);
}
QString clsGpibCommand::DcOffsetLevel(std::optional<double> par) const {
    return expand("offset", par);
}
QString clsGpibCommand::channel(std::optional<double> par) const {
    return expand("channel", par);
}
QString clsGpibCommand::AmplitudeLevel(std::optional<double> par) const {
    return expand("amp", par);
}
QString clsGpibCommand::AmplitudeRange(std::optional<double> par) const {
    return expand("amprng", par);
}
QString clsGpibCommand::ArbStartAddress(std::optional<double> par) const {
    return expand("arbstt", par);
}
QString clsGpibCommand::ArbSize(std::optional<double> par) const {
    return expand("arbsize", par);
}
QString clsGpibCommand::ArbBank(std::optional<double> par) const {
    const QString offset = column("arbbank", 3);
    if (!offset.isEmpty() && par)
        par = *par + wholeNumber(offset);
    return expand("arbbank", par);
}

QString clsGpibCommand::DcOffset(bool on) const {
    return on ? DcOffsetOn() : DcOffsetOff();
}

QString clsGpibCommand::Output(int16_t state) const {
    if (state == 0)
        return OutputOn();
    if (state == 1)
        return OutputOff();
    return {};
}

QString clsGpibCommand::named(const QString& templ, const QString& name) const {
    QString text = Hex_Tokens(templ);
    static const QString token = QStringLiteral("_$Name");
    const qsizetype at = text.indexOf(token);
    if (name.isEmpty() || at < 0)
        return text;
    // A script that gives no name length keeps the whole name rather than
    // sending an empty one.
    const QString lengthText = column("arbname", 2);
    const QString cut =
        lengthText.isEmpty() ? name : name.left(std::max(0, wholeNumber(lengthText)));
    return text.replace(at, token.size(), cut);
}

QString clsGpibCommand::ArbSend(const QString& name) const {
    return named(column("arbsend", 1), name);
}

QString clsGpibCommand::ArbName(const QString& name) const {
    return named(column("arbname", 1), name);
}

std::optional<QString> clsGpibCommand::ArbFunction(const QString& name,
                                                   std::optional<double> memoryNo) const {
    if (!rows_.contains(QStringLiteral("arbfunc")))
        return std::nullopt;
    const QString text = named(column("arbfunc", 1), name);
    return text.isEmpty() ? text : withPattern(text, "arbfunc", memoryNo);
}

bool clsGpibCommand::ArbByteSwap() const {
    if (!rows_.contains(QStringLiteral("arbbswap")))
        return false;
    const QString text = column("arbbswap", 1);
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    ShowStop(QStringLiteral("Interface System Error"),
             QStringLiteral("ArbByteSwap Command Error\n") + text);
    return false;
}

int32_t clsGpibCommand::ArbBitMask() const {
    return static_cast<int32_t>(Read_Mask(column("arbmask", 1)));
}

void clsGpibCommand::setArbBitMask(int32_t mask) {
    rows_.insert(QStringLiteral("arbmask"), {QString::number(mask)});
}

int16_t clsGpibCommand::ErrorMask() const {
    return static_cast<int16_t>(Read_Mask(column("errmask", 1)));
}

void Load_Script(clsGpibCommand& script, CommandTable& table, SystemParameter& param) {
    QStringList keys;
    QList<QStringList> values;
    const qsizetype rows =
        std::min<qsizetype>({qsizetype(table.rows), table.keys.size(), table.texts.size()});
    for (qsizetype i = 0; i < rows; ++i) {
        table.keys[i] = Strip_Printable(table.keys[i]);
        table.texts[i] = Strip_Printable(table.texts[i]);
        if (table.keys[i].isEmpty())
            break;
        keys.append(table.keys[i]);
        values.append(Row_Columns(table.texts[i]));
    }
    keys.append(QString());
    script.SetUp(true, keys, values);
    if (!script.ArbSend().isEmpty())
        return;

    param.DefaultArbSend = Strip_Printable(param.DefaultArbSend);
    if (param.DefaultArbSend.isEmpty())
        return;
    QStringList pieces = Quote_Split(param.DefaultArbSend, QLatin1Char(','));
    for (QString& p : pieces)
        p = Unquote(Strip_Printable(p));
    if (pieces.size() >= 2)
        script.SetUp(false, {QStringLiteral("arbprecommand"), QStringLiteral("arbsend"), {}},
                     {{pieces[0]}, {pieces[1]}});
    else
        script.SetUp(false, {QStringLiteral("arbsend"), {}}, {{pieces[0]}});
}

} // namespace velda::control
