// The command script: row parsing, the accessors and the default waveform-send
// fallback, driven through the loader as the transfer uses it.
#include "control/clsGpibCommand.h"

#include "TestSupport.h"
#include "setup/SystemSetup.h"

#include <functional>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace velda::control {
namespace {

using Rows = std::vector<std::pair<QString, QString>>;

CommandTable Table(const Rows& rows) {
    CommandTable t;
    for (const auto& [key, text] : rows) {
        t.keys.append(key);
        t.texts.append(text);
    }
    t.rows = int32_t(rows.size());
    return t;
}

struct Loaded {
    clsGpibCommand script;
    QStringList boxes; // "title|text" of every box shown
};

Loaded Load(const Rows& rows, const QString& defaultArbSend = {}) {
    test::RecordingPrompts prompts;
    Loaded out;
    CommandTable table = Table(rows);
    SystemParameter param;
    param.DefaultArbSend = defaultArbSend.leftJustified(64, QLatin1Char(' '));
    Load_Script(out.script, table, param);
    for (const BoxRequest& b : prompts.boxes)
        out.boxes.append(b.title + QLatin1Char('|') + b.text);
    return out;
}

QString Joined(const QStringList& l) {
    return l.join(QLatin1Char('|'));
}

struct ScriptCase {
    const char* name;
    Rows rows;
    QString defaultArbSend;
    std::function<QString(clsGpibCommand&)> get;
    QString expected;
    QStringList boxes = {};
};

// The script's documented edge cases, one row each.
TEST(GpibCommand, EdgeCases) {
    const std::vector<ScriptCase> cases = {
        {"key in capitals",
         {{"FREQ", ":FREQ,0.0"}},
         {},
         [](clsGpibCommand& s) { return s.frequency(5); },
         ":FREQ 5.0"},
        {"blanks around columns stripped",
         {{"freq", " :FREQ , 0.0 "}},
         {},
         [](clsGpibCommand& s) { return Joined(s.Row("freq")); },
         ":FREQ|0.0"},
        {"enclosing quotes lost, inner quotes keep one column",
         {{"freq", "\":FREQ\",\"0.0\""}},
         {},
         [](clsGpibCommand& s) { return Joined(s.Row("freq")); },
         ":FREQ\",\"0.0"},
        {"quoted last column keeps its comma",
         {{"preset", "X,'A,B'"}},
         {},
         [](clsGpibCommand& s) { return Joined(s.Row("preset")); },
         "X|A,B"},
        {"template without parameter is bare",
         {{"freq", ":FREQ,0.000"}},
         {},
         [](clsGpibCommand& s) { return s.frequency(); },
         ":FREQ"},
        {"output no change is empty",
         {{"outon", "OUTP ON"}, {"outoff", "OUTP OFF"}},
         {},
         [](clsGpibCommand& s) { return s.Output(2); },
         ""},
        {"name cut to the name length",
         {{"arbsend", "TRAC _$Name"}, {"arbname", ":DATA:CAT _$Name,4"}},
         {},
         [](clsGpibCommand& s) { return s.ArbSend(QStringLiteral("WAVEFORM1")); },
         "TRAC WAVE"},
        {"default waveform-send with a pre-command",
         {{"freq", ":FREQ,0.0"}},
         QStringLiteral("INIT,SEND"),
         [](clsGpibCommand& s) { return s.ArbPreCommand() + QLatin1Char('|') + s.ArbSend(); },
         "INIT|SEND"},
        {"byte swap TRUE",
         {{"arbbswap", "TRUE"}},
         {},
         [](clsGpibCommand& s) { return s.ArbByteSwap() ? "true" : "false"; },
         "true"},
        {"byte swap false is refused",
         {{"arbbswap", "false"}},
         {},
         [](clsGpibCommand& s) { return s.ArbByteSwap() ? "true" : "false"; },
         "false",
         {"Interface System Error|ArbByteSwap Command Error\nfalse"}},
    };
    for (const ScriptCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::RecordingPrompts prompts;
        Loaded l = Load(c.rows, c.defaultArbSend);
        EXPECT_EQ(c.get(l.script), c.expected);
        QStringList boxes = l.boxes;
        for (const BoxRequest& b : prompts.boxes)
            boxes.append(b.title + QLatin1Char('|') + b.text);
        EXPECT_EQ(boxes, c.boxes);
    }
}

// What the accessors build from a script, beyond the edge cases.
TEST(GpibCommand, Accessors) {
    const Rows script = {
        {"maker", "*IDN?,1,8"},
        {"model", "*IDN?,10,7,AWG-1101"},
        {"freq", ":FREQ,0.000"},
        {"amp", ":VOLT"},
        {"arbbank", ":TRAC:BANK,0,10"},
        {"arbstt", ":DATA:STAR,0"},
        {"ofson", "OFFS ON"},
        {"ofsoff", "OFFS OFF"},
        {"outon", "OUTP ON"},
        {"outoff", "OUTP OFF"},
        {"arbsend", "ARB 0x0A"},
        {"arbname", "NAME _$Name"},
        {"arbmask", "0xFFFC"},
        {"errmask", "60"},
        {"outon", "OUTP 1"}, // a later row replaces the earlier one
    };
    const std::vector<std::pair<const char*, std::function<QString(clsGpibCommand&)>>> cases;
    struct Case {
        const char* name;
        std::function<QString(clsGpibCommand&)> get;
        QString expected;
    };
    const std::vector<Case> table = {
        {"expand with pattern", [](auto& s) { return s.frequency(1000); }, ":FREQ 1000.000"},
        {"expand rounds to the pattern", [](auto& s) { return s.frequency(0.0005); },
         ":FREQ 0.001"},
        {"no pattern, parameter ignored", [](auto& s) { return s.AmplitudeLevel(2.5); }, ":VOLT"},
        {"bank offset added", [](auto& s) { return s.ArbBank(3); }, ":TRAC:BANK 13"},
        {"bank without parameter", [](auto& s) { return s.ArbBank(); }, ":TRAC:BANK"},
        {"start address", [](auto& s) { return s.ArbStartAddress(0); }, ":DATA:STAR 0"},
        {"unset key is empty", [](auto& s) { return s.Preset() + s.channel(1); }, ""},
        {"offset on", [](auto& s) { return s.DcOffset(true); }, "OFFS ON"},
        {"offset off", [](auto& s) { return s.DcOffset(false); }, "OFFS OFF"},
        {"output on, later row wins", [](auto& s) { return s.Output(0); }, "OUTP 1"},
        {"output off", [](auto& s) { return s.Output(1); }, "OUTP OFF"},
        {"hex token", [](auto& s) { return s.ArbSend(); }, "ARB\n"},
        {"name without a length keeps the name",
         [](auto& s) { return s.ArbName(QStringLiteral("WAVEFORM1")); }, "NAME WAVEFORM1"},
        {"bit mask", [](auto& s) { return QString::number(s.ArbBitMask()); }, "65532"},
        {"error mask", [](auto& s) { return QString::number(s.ErrorMask()); }, "60"},
        {"maker query",
         [](auto& s) {
             int32_t a = -1, b = -1;
             const QString q = s.Maker(a, b);
             return q + QStringLiteral("|%1|%2").arg(a).arg(b);
         },
         "*IDN?|1|8"},
        {"model query",
         [](auto& s) {
             int32_t a = -1, b = -1;
             QString expected;
             const QString q = s.Model(a, b, expected);
             return q + QStringLiteral("|%1|%2|").arg(a).arg(b) + expected;
         },
         "*IDN?|10|7|AWG-1101"},
        {"mask set",
         [](auto& s) {
             s.setArbBitMask(0x0FFF);
             return QString::number(s.ArbBitMask());
         },
         "4095"},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        Loaded l = Load(script);
        EXPECT_TRUE(l.boxes.isEmpty());
        EXPECT_EQ(c.get(l.script), c.expected);
    }
}

TEST(GpibCommand, QuoteAwareSplit) {
    struct Case {
        QString text;
        QChar separator;
        QStringList pieces;
    };
    const std::vector<Case> cases = {
        {"a,b,c", ',', {"a", "b", "c"}},
        {"a,,b", ',', {"a", "", "b"}},
        {"a,", ',', {"a", ""}},
        {"", ',', {""}},
        {"'a,b',c", ',', {"'a,b'", "c"}},
        {"\"a,b\",'c,d'", ',', {"\"a,b\"", "'c,d'"}},
        {"x,'open", ',', {"x", "'open'"}},
        {"x,\"open", ',', {"x", "\"open\""}},
        {"a  b\tc", ' ', {"a", "b\tc"}},
        {"a   b", ' ', {"a", "b"}},
        {"a b  ", ' ', {"a", "b"}},
        {"a\t\tb\t", '\t', {"a", "b"}},
        {"'a b' c", ' ', {"'a b'", "c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(Quote_Split(c.text, c.separator), c.pieces);
    }
}

TEST(GpibCommand, StripAndUnquote) {
    struct Case {
        QString text;
        QString stripped;
        QString unquoted;
    };
    const QString odd = QString(QChar(160)) + QChar(127) + QLatin1Char('`') + QChar(248) +
                        QChar(255) + QChar(9) + QChar(0);
    const std::vector<Case> cases = {
        {"  abc  ", "abc", "  abc  "},
        {odd + "a b" + odd, "a b", odd + "a b" + odd},
        {odd, "", odd},
        {"\x01\x1f"
         "x"
         "\x7f",
         "x",
         "\x01\x1f"
         "x"
         "\x7f"},
        {QString(QChar(247)) + "y" + QChar(161), QString(QChar(247)) + "y" + QChar(161),
         QString(QChar(247)) + "y" + QChar(161)},
        {"'a'", "'a'", "a"},
        {"'a\"", "'a\"", "a"},
        {"\"", "\"", ""},
        {"a'", "a'", "a"},
        {"''x''", "''x''", "'x'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(Strip_Printable(c.text), c.stripped);
        EXPECT_EQ(Unquote(c.text), c.unquoted);
    }
}

TEST(GpibCommand, HexTokens) {
    const std::vector<std::pair<QString, QString>> cases = {
        {"DATA 0x0A", "DATA\n"},
        {"A 0x41 B", "AAB"},
        {"  ARB  0X0d ", "ARB \r"},
        {"0x23 0x34", "#4"},
        {"DATA _$Block", "DATA _$Block"},
        {"DATA:ARB _$Name 0x2C _$Block", "DATA:ARB _$Name,_$Block"},
        {"LOAD 0xZZ END", "LOAD 0xZZ END"},
        {"", ""},
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in.toStdString());
        EXPECT_EQ(Hex_Tokens(in), out);
    }
}

TEST(GpibCommand, Masks) {
    const std::vector<std::pair<QString, int64_t>> cases = {
        {"0xFF", 255}, {"0XfFfC", 65532}, {"4095", 4095}, {" 12 ", 12},
        {"", 0},       {"0x", 0},         {"mask", 0},
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in.toStdString());
        EXPECT_EQ(Read_Mask(in), out);
    }
}

TEST(GpibCommand, UnknownKeyIsReportedAndSkipped) {
    Loaded l = Load({{"freq", ":FREQ,0.0"}, {"Frqe", ":FRQ"}, {"amp", ":VOLT"}});
    EXPECT_EQ(l.boxes, QStringList{"GPIB System Error|Script Error\nFrqe"});
    EXPECT_EQ(l.script.frequency(), ":FREQ");
    EXPECT_EQ(l.script.AmplitudeLevel(), ":VOLT");
}

TEST(GpibCommand, EmptyKeyEndsTheScript) {
    Loaded l = Load({{"freq", ":FREQ"}, {"  ", "ignored"}, {"amp", ":VOLT"}});
    EXPECT_EQ(l.script.frequency(), ":FREQ");
    EXPECT_EQ(l.script.AmplitudeLevel(), "");
}

TEST(GpibCommand, LoaderWritesStrippedRowsBack) {
    test::RecordingPrompts prompts;
    CommandTable table = Table({{"  freq\t", "\t:FREQ,0.0   "}, {"amp     ", ":VOLT"}});
    SystemParameter param;
    param.DefaultArbSend = QStringLiteral(" 'INIT' , \"SEND _$Block\" ").leftJustified(64);
    clsGpibCommand script;
    Load_Script(script, table, param);
    EXPECT_EQ(table.keys, (QStringList{"freq", "amp"}));
    EXPECT_EQ(table.texts, (QStringList{":FREQ,0.0", ":VOLT"}));
    EXPECT_EQ(param.DefaultArbSend, "'INIT' , \"SEND _$Block\"");
    EXPECT_EQ(script.ArbPreCommand(), "INIT");
    EXPECT_EQ(script.ArbSend(), "SEND _$Block");
}

TEST(GpibCommand, DefaultArbSendOnlyWhenScriptHasNone) {
    struct Case {
        const char* name;
        Rows rows;
        QString defaultArbSend;
        QString pre;
        QString send;
    };
    const std::vector<Case> cases = {
        {"script's own send kept",
         {{"arbsend", "TRAC"}, {"arbprecommand", "P"}},
         "INIT,SEND",
         "P",
         "TRAC"},
        {"one piece", {}, "SEND", "", "SEND"},
        {"pre-command replaced", {{"arbprecommand", "OLD"}}, "NEW,SEND", "NEW", "SEND"},
        {"one piece keeps pre-command", {{"arbprecommand", "OLD"}}, "SEND", "OLD", "SEND"},
        {"three pieces use the first two", {}, "A,B,C", "A", "B"},
        {"nothing to fall back on", {{"freq", ":FREQ"}}, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded l = Load(c.rows, c.defaultArbSend);
        EXPECT_EQ(l.script.ArbPreCommand(), c.pre);
        EXPECT_EQ(l.script.ArbSend(), c.send);
    }
}

TEST(GpibCommand, ClearOnlyWhenAsked) {
    test::RecordingPrompts prompts;
    clsGpibCommand s;
    s.SetUp(true, {"freq", "amp", ""}, {{":FREQ", "0"}, {":VOLT"}});
    s.SetUp(false, {"amp", ""}, {{":AMPL"}});
    EXPECT_EQ(s.frequency(1), ":FREQ 1");
    EXPECT_EQ(s.AmplitudeLevel(), ":AMPL");
    s.SetUp(true, {"amp", ""}, {{":VOLT"}});
    EXPECT_EQ(s.frequency(1), "");
    // Columns past the fourth are not kept.
    s.SetUp(true, {"model"}, {{"a", "1", "2", "m", "extra"}});
    EXPECT_EQ(s.Row("model").size(), 4);
}

} // namespace
} // namespace velda::control
