#include "cli/TerminalProgress.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace velda::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
const char* volatile g_notice = nullptr;
volatile std::size_t g_noticeSize = 0;

extern "C" void onInterrupt(int) {
    g_interrupted = 1;
    if (const char* notice = g_notice) {
        const int saved = errno; // write may change it under the interrupted code
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, notice, g_noticeSize);
        errno = saved;
    }
}

} // namespace

void Install_Interrupt_Handler(const char* notice) {
    g_interrupted = 0;
    g_noticeSize = notice ? std::strlen(notice) : 0;
    g_notice = notice;
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    // A blocking bus call returns to its time-out loop rather than failing.
    sa.sa_flags = SA_RESTART;
    // A stop from the service manager, `timeout` or a lost terminal ends the
    // transfer as Ctrl-C does; dying on it would leave the bus marked busy
    // for every other copy.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &sa, nullptr);
}

bool Interrupted() {
    return g_interrupted != 0;
}

void Set_Interrupted(bool value) {
    g_interrupted = value ? 1 : 0;
}

QString Rate_Text(double bps) {
    if (!(bps > 0))
        return QStringLiteral("0 B/s");
    if (bps < 1000)
        return QStringLiteral("%1 B/s").arg(static_cast<int64_t>(bps));
    if (bps < 1e6)
        return QStringLiteral("%1 kB/s").arg(bps / 1e3, 0, 'f', 1);
    return QStringLiteral("%1 MB/s").arg(bps / 1e6, 0, 'f', 2);
}

QString Progress_Line(const QString& message, int value, int64_t totalBytes, int64_t elapsedMs,
                      int32_t count) {
    value = std::clamp(value, 0, 1000);
    const int64_t sent = totalBytes * value / 1000;
    QString line = message.trimmed();
    line += QStringLiteral("  %1%").arg(value / 10.0, 5, 'f', 1);
    if (totalBytes > 0) {
        line += QStringLiteral("  %1/%2 bytes").arg(sent).arg(totalBytes);
        if (elapsedMs > 0)
            line +=
                QStringLiteral("  ") + Rate_Text(sent * 1000.0 / static_cast<double>(elapsedMs));
    }
    if (count >= 0)
        line += QStringLiteral("  count %1").arg(count);
    return line;
}

TerminalProgress::TerminalProgress(std::FILE* out, bool enabled) : out_(out), enabled_(enabled) {}

bool TerminalProgress::Wanted(bool quiet) {
    return !quiet && ::isatty(STDERR_FILENO) != 0;
}

void TerminalProgress::Show() {
    shown_ = true;
    value_ = 0;
    clock_.start();
    redraw();
}

void TerminalProgress::Set_Message(const QString& text) {
    message_ = text;
    redraw();
}

void TerminalProgress::Set_Progress(int value) {
    if (value == value_)
        return;
    value_ = value;
    redraw();
}

void TerminalProgress::Set_Count(int32_t count) {
    count_ = count;
    redraw();
}

bool TerminalProgress::GpibExit() const {
    return exit_ || Interrupted();
}

void TerminalProgress::Set_GpibExit(bool value) {
    exit_ = value;
    if (!value)
        Set_Interrupted(false);
}

void TerminalProgress::Close() {
    if (shown_ && enabled_ && out_ && lastWidth_ > 0) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
    shown_ = false;
    lastWidth_ = 0;
}

void TerminalProgress::redraw() {
    if (!shown_ || !enabled_ || !out_)
        return;
    const QString line = Progress_Line(message_, value_, totalBytes_,
                                       clock_.isValid() ? clock_.elapsed() : 0, count_);
    // Back to the line's start, the new text, blanks over what is left of a
    // longer old line.
    const QByteArray text = line.toUtf8();
    const int width = static_cast<int>(line.size());
    std::fputc('\r', out_);
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), out_);
    for (int i = width; i < lastWidth_; ++i)
        std::fputc(' ', out_);
    lastWidth_ = width;
    std::fflush(out_);
}

} // namespace velda::cli
