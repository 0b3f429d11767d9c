// Command scripts from any bytes: each line is a row, the key before the first
// tab and the text after it; a line starting with "!" is the model's default
// waveform-send text. The script is loaded as the transfer loads it and every
// accessor is asked.
#include "app/Prompts.h"
#include "control/clsGpibCommand.h"
#include "setup/SystemSetup.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Script faults show boxes; here they are only counted.
class QuietPrompts : public velda::PromptHandler {
public:
    velda::Answer showBox(const velda::BoxRequest&) override { return velda::Answer::Ok; }
    QString openFileName(const velda::FileRequest&) override { return {}; }
    QString saveFileName(const velda::FileRequest&) override { return {}; }
    std::optional<QString> inputText(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
};

void Require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velda;
    using namespace velda::control;
    static QuietPrompts prompts;
    setPromptHandler(&prompts);

    // Latin-1: every byte is one character, as the library's 8-bit text is.
    const QString text =
        QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CommandTable table;
    SystemParameter param;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('!'))) {
            param.DefaultArbSend = line.mid(1);
            continue;
        }
        if (table.rows == SystemSetup::CommandRows)
            continue;
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        table.keys.append(tab < 0 ? line : line.left(tab));
        table.texts.append(tab < 0 ? QString() : line.mid(tab + 1));
        ++table.rows;
    }

    clsGpibCommand script;
    Load_Script(script, table, param);

    // What was written back is stripped: stripping it again changes nothing.
    for (qsizetype i = 0; i < table.keys.size() && !table.keys[i].isEmpty(); ++i) {
        Require(Strip_Printable(table.keys[i]) == table.keys[i]);
        Require(Strip_Printable(table.texts[i]) == table.texts[i]);
    }
    // The default waveform-send text is written back whenever it was used.
    Require(Strip_Printable(param.DefaultArbSend) == param.DefaultArbSend ||
            !script.ArbSend().isEmpty());

    int32_t start = 0, length = 0;
    QString expected;
    script.Maker(start, length);
    script.Model(start, length, expected);
    script.Serial(start, length);
    script.Version(start, length);
    for (const char* key : {"maker", "model", "freq", "arbsend", "arbname", "arbbank"})
        Require(script.Row(QString::fromLatin1(key)).size() <= clsGpibCommand::Columns);
    for (const double par : {0.0, 1000.0, -1.5e300, 1e-300}) {
        script.frequency(par);
        script.AmplitudeLevel(par);
        script.AmplitudeRange(par);
        script.DcOffsetLevel(par);
        script.channel(par);
        script.ArbBank(par);
        script.ArbStartAddress(par);
        script.ArbSize(par);
    }
    Require(script.Output(2).isEmpty());
    script.DcOffset(true);
    script.ArbSend(QStringLiteral("WAVEFORM1"));
    script.ArbName(QStringLiteral("WAVEFORM1"));
    script.ArbByteSwap();
    script.ArbBitMask();
    script.ErrorMask();
    // Splitting loses only the separators (and may close an open quote).
    const QString part = text.left(256);
    const QStringList pieces = Quote_Split(part, QLatin1Char(','));
    qsizetype total = pieces.size() - 1;
    for (const QString& p : pieces)
        total += p.size();
    Require(total == part.size() || total == part.size() + 1);
    setPromptHandler(nullptr);
    return 0;
}
