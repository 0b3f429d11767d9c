#pragma once
// One instrument command script: keyed command templates of the current model
// as the model information gives them, and the command texts and data-format
// facts built from them. The transfer fills one object per script it uses.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace velda {
struct CommandTable;
struct SystemParameter;
} // namespace velda

namespace velda::control {

// Space, control characters, "`", 127, 160 and 248..255 are not printable.
bool Is_Printable(QChar c);
// The text without its leading and trailing non-printable characters.
QString Strip_Printable(const QString& text);
// Drops one apostrophe or double quote at the start, then one at the end
// (of the text left); the two need not match.
QString Unquote(const QString& text);
// Splits at `separator` outside apostrophes and double quotes. A blank or tab
// separator takes a run as one and drops an empty last piece; a last piece
// that opens a quote it does not close gets the quote appended.
QStringList Quote_Split(const QString& text, QChar separator);
// The columns of a row text: one enclosing quote lost at each end, split at
// "," outside quotes, each column stripped and unquoted again.
QStringList Row_Columns(const QString& text);

class clsGpibCommand {
public:
    static constexpr int Columns = 4;

    // Reads rows until an empty key (or the end of `keys`); `values[i]` holds
    // the columns of row i. With `clear` every field is emptied first. An
    // unknown key shows the "Script Error" box and its row is skipped. A later
    // row with the same key replaces the earlier one.
    void SetUp(bool clear, const QStringList& keys, const QList<QStringList>& values);

    // Query commands; the reply's start position and length (and the
    // expected model text) come back through the references.
    QString Maker(int32_t& start, int32_t& length) const;
    QString Model(int32_t& start, int32_t& length, QString& expected) const;
    QString Serial(int32_t& start, int32_t& length) const;
    QString Version(int32_t& start, int32_t& length) const;

    // Commands as written.
    QString Preset() const;
    QString HeaderOff() const;
    QString DcOffsetOn() const;
    QString DcOffsetOff() const;
    QString OutputOn() const;
    QString OutputOff() const;
    QString ArbPreCommand() const;
    QString ArbFormat() const;
    QString GetStatus() const;
    QString GetErrorMessage() const;
    QString SendGpibCommand() const;

    // Templates: the bare template, or with a pattern and `par` the template,
    // a blank and `par` written with the pattern.
    QString frequency(std::optional<double> par = {}) const;
    QString DcOffsetLevel(std::optional<double> par = {}) const;
    QString channel(std::optional<double> par = {}) const;
    QString AmplitudeLevel(std::optional<double> par = {}) const;
    QString AmplitudeRange(std::optional<double> par = {}) const;
    QString ArbStartAddress(std::optional<double> par = {}) const;
    QString ArbSize(std::optional<double> par = {}) const;
    // `par` plus the bank offset of column 3 (when set), then expanded.
    QString ArbBank(std::optional<double> par = {}) const;

    QString DcOffset(bool on) const;
    // 0 on, 1 off, anything else (no change) empty text.
    QString Output(int16_t state) const;

    // The waveform-send and name templates with their "0x.." tokens turned
    // into characters and the first "_$Name" replaced by `name` cut to the
    // "arbname" length. "_$Block" passes through unchanged.
    QString ArbSend(const QString& name = {}) const;
    QString ArbName(const QString& name = {}) const;
    // The command that plays the waveform once it is stored, when the script
    // has an "arbfunc" row: its template as ArbName's, with a pattern the
    // memory number after a blank; empty text sends none. Without the row
    // the model's number chooses the command.
    std::optional<QString> ArbFunction(const QString& name = {},
                                       std::optional<double> memoryNo = {}) const;

    // "arbbswap" is "true" in any case; another text shows the
    // "ArbByteSwap Command Error" box and gives false.
    bool ArbByteSwap() const;

    int32_t ArbBitMask() const;
    void setArbBitMask(int32_t mask);
    int16_t ErrorMask() const;

    // The columns stored for a key (empty when never set).
    QStringList Row(const QString& key) const;
    static bool Known_Key(const QString& lowerKey);

private:
    QString column(const char* key, int index) const;
    QString expand(const char* key, std::optional<double> par) const;
    // `text`, then with `key`'s pattern (column 2) and `par` a blank and
    // `par` written with it.
    QString withPattern(const QString& text, const char* key, std::optional<double> par) const;
    QString query(const char* key, int32_t& start, int32_t& length) const;
    QString named(const QString& templ, const QString& name) const;

    QHash<QString, QStringList> rows_;
};

// "0x"-prefixed hexadecimal or decimal; 0 when it is not a number.
int64_t Read_Mask(const QString& text);
// Hexadecimal tokens to characters (see ArbSend).
QString Hex_Tokens(const QString& templ);
// `value` with a numeric pattern such as "0.000" or "0.##".
QString Pattern_Text(double value, const QString& pattern);

// Fills `script` from one command table of the model: key and text of every
// row stripped (and written back stripped), the rows split into columns,
// SetUp(true). When the script has no "arbsend", the record's DefaultArbSend
// (written back stripped) gives "arbsend", or "arbprecommand" and "arbsend"
// when it holds a ",".
void Load_Script(clsGpibCommand& script, CommandTable& table, SystemParameter& param);

} // namespace velda::control
