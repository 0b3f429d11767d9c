#include "TestSupport.h"
#include "app/Prompts.h"
#include "app/TerminalPrompts.h"

#include "bus/WaitTurn.h"

#include <QBuffer>
#include <QFile>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace velda;

namespace {

// A terminal: what the user types, and what the program wrote.
struct Terminal {
    explicit Terminal(const QByteArray& typed) : in(typed) {
        inDevice.setData(in);
        inDevice.open(QIODevice::ReadOnly);
        outDevice.open(QIODevice::WriteOnly);
    }
    QString written() const { return QString::fromUtf8(outDevice.data()); }
    QByteArray in;
    QBuffer inDevice;
    QBuffer outDevice;
};

BoxRequest yesNo(const QString& text) {
    return {QStringLiteral("Caution Message"), text, BoxIcon::Question, BoxButtons::YesNo};
}

} // namespace

TEST(Prompts, MessageTextsBecomeLines) {
    const std::pair<const char*, const char*> cases[] = {
        {"one\r", "one"},       {"one\rtwo\r", "one\ntwo"}, {"one\r\ntwo\r\n", "one\ntwo"},
        {"one\r\r\r", "one"},   {"no end", "no end"},       {"", ""},
        {"\rafter", "\nafter"},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(promptLines(QString::fromLatin1(text)), QString::fromLatin1(lines)) << text;
}

TEST(TerminalPrompts, MessagesGoToTheTerminalOneLineEach) {
    Terminal t("");
    TerminalPrompts p({}, &t.inDevice, &t.outDevice, false);
    EXPECT_EQ(
        p.showBox({QStringLiteral("Error Message"), QStringLiteral("Cannot open.\rTry again.\r"),
                   BoxIcon::None, BoxButtons::Ok}),
        Answer::Ok);
    EXPECT_EQ(t.written(), QStringLiteral("velda: Cannot open.\nvelda: Try again.\n"));
    // An instrument's text holding escape sequences (a title, a clear, a C1 one).
    t.outDevice.buffer().clear();
    t.outDevice.seek(0);
    p.showBox({QString(), QString::fromUtf8("-222,\"x\x1b]0;T\x07\x1b[2J\tz\xc2\x9b\x7f\""),
               BoxIcon::None, BoxButtons::Ok});
    EXPECT_EQ(t.written(), QStringLiteral("velda: -222,\"x?]0;T??[2J\tz??\"\n"));
}

TEST(TerminalPrompts, QuestionsAreAnsweredByPolicyOrOnTheTerminal) {
    struct Case {
        bool interactive;
        bool ask;
        Answer policy;
        const char* typed;
        Answer want;
        bool asked; // the [y/n] prompt was written
    };
    const Case cases[] = {
        {false, true, Answer::No, "y\n", Answer::No, false}, // not a terminal: policy
        {false, true, Answer::Yes, "", Answer::Yes, false},  // policy Yes
        {true, false, Answer::No, "y\n", Answer::No, false}, // asking switched off
        {true, true, Answer::No, "y\n", Answer::Yes, true},  // typed yes
        {true, true, Answer::Yes, "NO\n", Answer::No, true}, // any case
        {true, true, Answer::Yes, " yes \r\n", Answer::Yes, true},
        {true, true, Answer::Yes, "\n", Answer::Yes, true}, // empty line: default
        {true, true, Answer::No, "maybe\nn\n", Answer::No, true},
        {true, true, Answer::No, "x\nx\nx\ny\n", Answer::No, true}, // gives up after three
        {true, true, Answer::No, "", Answer::No, true},             // end of input: default
    };
    for (const Case& c : cases) {
        Terminal t(c.typed);
        TerminalPolicy policy;
        policy.answer = c.policy;
        policy.askWhenInteractive = c.ask;
        TerminalPrompts p(policy, &t.inDevice, &t.outDevice, c.interactive);
        EXPECT_EQ(p.showBox(yesNo(QStringLiteral("Exit Program. Are you sure?\r"))), c.want)
            << c.typed;
        const QString out = t.written();
        EXPECT_TRUE(out.startsWith(QStringLiteral("velda: Exit Program. Are you sure?\n")))
            << out.toStdString();
        EXPECT_EQ(out.contains(QStringLiteral("[y/n")), c.asked) << c.typed;
    }
}

TEST(TerminalPrompts, InputBoxesAskOrFollowThePolicy) {
    struct Case {
        bool interactive;
        bool acceptProposed;
        const char* typed;
        std::optional<QString> want;
    };
    const Case cases[] = {
        {true, false, "42\n", QStringLiteral("42")},
        {true, false, "\n", QStringLiteral("proposed")}, // empty line keeps the proposal
        {true, true, "", std::nullopt},                  // end of input cancels
        {false, true, "42\n", QStringLiteral("proposed")},
        {false, false, "42\n", std::nullopt},
    };
    for (const Case& c : cases) {
        Terminal t(c.typed);
        TerminalPolicy policy;
        policy.acceptProposedText = c.acceptProposed;
        TerminalPrompts p(policy, &t.inDevice, &t.outDevice, c.interactive);
        EXPECT_EQ(p.inputText(QStringLiteral("Title"), QStringLiteral("Number:"),
                              QStringLiteral("proposed")),
                  c.want)
            << c.typed;
    }
}

// A reply asked for during a bus operation (the simulated bus) waits on the
// terminal taking the thread's turns: a stop ends it as no answer, where a
// blocking read would wait for Enter however often Ctrl-C was pressed.
TEST(TerminalPrompts, AnInputWaitOnATerminalEndsWhenATurnAsksToStop) {
    for (const char* typed : {"", "42\n"}) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        ASSERT_EQ(::write(fds[1], typed, std::strlen(typed)), std::ssize(std::string(typed)));
        QFile in;
        ASSERT_TRUE(in.open(fds[0], QIODevice::ReadOnly, QFileDevice::DontCloseHandle));
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        TerminalPrompts p({}, &in, &out, true);
        int turns = 0;
        std::optional<QString> got;
        {
            const bus::WaitTurnScope scope([&turns] { return ++turns < 3; });
            got = p.inputText(QString(), QStringLiteral("*IDN?"), QString());
        }
        if (*typed) {
            EXPECT_EQ(got, QStringLiteral("42"));
        } else {
            EXPECT_EQ(got, std::nullopt);
            EXPECT_EQ(turns, 3);
        }
        in.close();
        ::close(fds[0]);
        ::close(fds[1]);
    }
}

// The question as one line: the title before the prompt, when there is one.
TEST(TerminalPrompts, InputBoxesShowTheTitleOnlyWhenThereIsOne) {
    for (const bool interactive : {true, false}) {
        for (const char* title : {"Title", ""}) {
            Terminal t("\n");
            TerminalPrompts p({}, &t.inDevice, &t.outDevice, interactive);
            p.inputText(QString::fromLatin1(title), QStringLiteral("Number:"), QStringLiteral("7"));
            const QString asked = QStringLiteral("velda: ") +
                                  (*title ? QStringLiteral("Title: ") : QString()) +
                                  QStringLiteral("Number:");
            EXPECT_TRUE(t.written().startsWith(asked + QLatin1Char(' ')))
                << title << " " << interactive << ": " << t.written().toStdString();
        }
    }
}

TEST(TerminalPrompts, FileDialogsFailCleanly) {
    Terminal t("/tmp/typed.wdb\n");
    TerminalPrompts p({}, &t.inDevice, &t.outDevice, true);
    const FileRequest r{QStringLiteral("Open"),
                        QStringLiteral("/tmp"),
                        QStringLiteral("a.wdb"),
                        QStringLiteral("All (*)"),
                        0,
                        {}};
    EXPECT_EQ(p.openFileName(r), QString());
    EXPECT_EQ(p.saveFileName(r), QString());
    // Nothing typed was taken for a file name.
    EXPECT_EQ(t.inDevice.pos(), 0);
    EXPECT_TRUE(t.written().startsWith(QStringLiteral("velda: Open: no file chosen")));
}

namespace {
QStringList g_unhandled;
void recordUnhandled(const QString& what) {
    g_unhandled << what;
}
} // namespace

TEST(Prompts, AnythingShownWithNoHandlerIsReportedAndRefused) {
    g_unhandled.clear();
    // This test removes the handler on purpose; its own hook records instead of failing.
    const UnhandledPromptHook previousHook = setUnhandledPromptHook(recordUnhandled);
    PromptHandler* previous = promptHandlerInstalled() ? &prompts() : nullptr;
    setPromptHandler(nullptr);
    ASSERT_FALSE(promptHandlerInstalled());
    const int before = unhandledPromptCount();

    EXPECT_EQ(prompts().showBox(yesNo(QStringLiteral("Delete?\r"))), Answer::No);
    EXPECT_EQ(prompts().showBox(
                  {QStringLiteral("T"), QStringLiteral("x"), BoxIcon::None, BoxButtons::Ok}),
              Answer::Ok);
    EXPECT_EQ(prompts().saveFileName(FileRequest{QStringLiteral("Save As"), {}, {}, {}, 0, {}}),
              QString());
    EXPECT_EQ(prompts().inputText(QStringLiteral("C"), QStringLiteral("P"), QStringLiteral("i")),
              std::nullopt);

    setPromptHandler(previous);
    setUnhandledPromptHook(previousHook);
    EXPECT_EQ(unhandledPromptCount() - before, 4);
    ASSERT_EQ(g_unhandled.size(), 4);
    EXPECT_TRUE(g_unhandled[0].contains(QStringLiteral("Delete?")));
    EXPECT_TRUE(g_unhandled[2].contains(QStringLiteral("Save As")));
}
