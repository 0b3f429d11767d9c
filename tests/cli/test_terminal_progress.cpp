// The transfer's progress line on a terminal and the Ctrl-C flag it reads.
#include "cli/TerminalProgress.h"

#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>

using namespace velda::cli;

namespace {

std::string str(const QString& s) {
    return s.toStdString();
}

// What the progress wrote to a scratch file.
std::string written(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    for (int c; (c = std::fgetc(f)) != EOF;)
        s += static_cast<char>(c);
    return s;
}

} // namespace

TEST(TerminalProgress, ProgressLineFigures) {
    struct Row {
        QString message;
        int value;
        int64_t total;
        int64_t ms;
        int32_t count;
        const char* want;
    };
    const Row rows[] = {
        {"Send data", 0, 0, 0, -1, "Send data    0.0%"},
        {" Send data ", 500, 262144, 2000, -1, "Send data   50.0%  131072/262144 bytes  65.5 kB/s"},
        {"Send data", 1000, 2048, 1000, -1, "Send data  100.0%  2048/2048 bytes  2.0 kB/s"},
        {"Send data", 1, 1000, 1, -1, "Send data    0.1%  1/1000 bytes  1.0 kB/s"},
        {"Send data", 250, 8000000, 500, -1, "Send data   25.0%  2000000/8000000 bytes  4.00 MB/s"},
        {"Send data", 999, 100, 10000, -1, "Send data   99.9%  99/100 bytes  9 B/s"},
        // Out-of-range values are held to 0 .. 100 %.
        {"Send data", 1500, 100, 0, -1, "Send data  100.0%  100/100 bytes"},
        {"Send data", -5, 100, 100, -1, "Send data    0.0%  0/100 bytes  0 B/s"},
        {"Data convert", 0, 0, 0, 7, "Data convert    0.0%  count 7"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(str(Progress_Line(r.message, r.value, r.total, r.ms, r.count)), r.want)
            << r.value << " " << r.total;
}

TEST(TerminalProgress, DrawsOneLineInPlaceOnlyWhenEnabled) {
    for (const bool enabled : {true, false}) {
        std::FILE* f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        {
            TerminalProgress p(f, enabled);
            p.Set_Message("Data convert"); // before Show: nothing yet
            p.Show();
            p.Set_Message("Send data");
            p.Set_Progress(1000);
            p.Close();
        }
        const std::string s = written(f);
        std::fclose(f);
        if (!enabled) {
            EXPECT_TRUE(s.empty()) << s;
            continue;
        }
        // Each redraw goes back to the line's start and blanks what is left
        // of a longer line before it; one line end, at the close.
        EXPECT_EQ(s, "\rData convert    0.0%\rSend data    0.0%   \rSend data  100.0%\n");
    }
}

namespace {
// The handlers a test installs are its own: the test program gets its own
// back, so a stop sent to it afterwards still ends it.
struct SavedHandlers {
    static constexpr int Signals[3] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction old[3]{};
    SavedHandlers() {
        for (int i = 0; i < 3; ++i)
            sigaction(Signals[i], nullptr, &old[i]);
    }
    ~SavedHandlers() {
        for (int i = 0; i < 3; ++i)
            sigaction(Signals[i], &old[i], nullptr);
    }
};
} // namespace

TEST(TerminalProgress, CtrlCFlagAsksEveryProgressToStop) {
    const SavedHandlers saved;
    struct Row {
        bool interrupted;
        bool asked;
        bool want;
    };
    for (const Row& r : {Row{false, false, false}, Row{true, false, true}, Row{false, true, true},
                         Row{true, true, true}}) {
        Install_Interrupt_Handler();
        TerminalProgress p(nullptr, false);
        if (r.asked)
            p.Set_GpibExit(true);
        Set_Interrupted(r.interrupted);
        EXPECT_EQ(p.GpibExit(), r.want) << r.interrupted << r.asked;
        // Clearing it, as a new transfer does, also forgets an old Ctrl-C.
        p.Set_GpibExit(false);
        EXPECT_FALSE(p.GpibExit());
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        Install_Interrupt_Handler();
        std::raise(signal); // caught: the process goes on, flagged
        EXPECT_TRUE(Interrupted()) << signal;
        Set_Interrupted(false);
    }
}
