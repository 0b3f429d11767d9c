// How the test instrument cuts what it receives into lines and blocks,
// whatever pieces the bytes arrive in.
#include "ScpiFramer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using velda::test::ScpiFramer;
using velda::test::ScpiLine;

namespace {

struct Framed {
    std::vector<std::string> texts;
    std::vector<std::vector<std::string>> blocks; // per line
    std::vector<std::string> blockEvents;
    std::string pending;
};

Framed frame(const std::string& input, std::size_t piece) {
    Framed f;
    ScpiFramer framer;
    framer.onLine = [&](const ScpiLine& l) {
        f.texts.push_back(l.text);
        f.blocks.push_back(l.blocks);
    };
    framer.onBlock = [&](const std::string& b) { f.blockEvents.push_back(b); };
    for (std::size_t i = 0; i < input.size(); i += piece)
        framer.feed(input.data() + i, std::min(piece, input.size() - i));
    f.pending = framer.pendingText();
    return f;
}

using Blocks = std::vector<std::vector<std::string>>;

} // namespace

TEST(ScpiFramer, LinesAndBlocksInAnyPieces) {
    const std::string lf1 = std::string("A\nB\r\n", 5);
    struct Case {
        const char* name;
        std::string input;
        std::vector<std::string> texts;
        Blocks blocks;
        std::string pending;
    } cases[] = {
        {"one line", "*CLS\n", {"*CLS"}, {{}}, ""},
        {"CR before LF dropped", "*IDN?\r\n", {"*IDN?"}, {{}}, ""},
        {"CR inside kept", "A\rB\n", {"A\rB"}, {{}}, ""},
        {"empty lines", "\n\n", {"", ""}, {{}, {}}, ""},
        {"unended line pending", "X\nFREQ 1", {"X"}, {{}}, "FREQ 1"},
        {"block holds LF and CR LF",
         ":TRAC:DATA #15" + lf1 + "\n",
         {":TRAC:DATA #15"},
         {{lf1}},
         ""},
        {"text after block stays in line",
         "DATA #13abc;:FUNC ARB1\n",
         {"DATA #13;:FUNC ARB1"},
         {{"abc"}},
         ""},
        {"block holds #", "D #14#1#1\n", {"D #14"}, {{"#1#1"}}, ""},
        {"two blocks in one line",
         "#12ab,#210\n\n\n\n\n\n\n\n\n\n\n",
         {"#12,#210"},
         {{"ab", std::string(10, '\n')}},
         ""},
        {"empty block", "X #10\n", {"X #10"}, {{""}}, ""},
        {"#0 is text", "A #0\nB\n", {"A #0", "B"}, {{}, {}}, ""},
        {"# and a letter is text", "#H1F\n", {"#H1F"}, {{}}, ""},
        {"count cut by a letter is text", "#3a\n", {"#3a"}, {{}}, ""},
        {"count cut by LF is text", "#21\nX\n", {"#21", "X"}, {{}, {}}, ""},
        {"# at line end", "V #\n", {"V #"}, {{}}, ""},
        {"block not ended", "X #15ab", {}, {}, "X #15"},
    };
    for (const auto& c : cases) {
        for (std::size_t piece : {c.input.size(), std::size_t(1), std::size_t(3)}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            Framed f = frame(c.input, piece ? piece : 1);
            EXPECT_EQ(f.texts, c.texts);
            EXPECT_EQ(f.blocks, c.blocks);
            EXPECT_EQ(f.pending, c.pending);
            std::vector<std::string> all;
            for (const auto& l : c.blocks)
                all.insert(all.end(), l.begin(), l.end());
            EXPECT_EQ(f.blockEvents, all);
        }
    }
}

TEST(ScpiFramer, TellsHowFarABlockHasCome) {
    ScpiFramer framer;
    const std::string head = "D #3100";
    framer.feed(head.data(), head.size());
    EXPECT_TRUE(framer.inBlock());
    EXPECT_EQ(framer.blockBytesSoFar(), 0u);
    const std::string part(40, '\n');
    framer.feed(part.data(), part.size());
    EXPECT_EQ(framer.blockBytesSoFar(), 40u);
    const std::string rest(60, 'x');
    framer.feed(rest.data(), rest.size());
    EXPECT_FALSE(framer.inBlock());
    EXPECT_EQ(framer.blockBytesSoFar(), 0u);
}
