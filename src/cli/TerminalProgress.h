#pragma once
// The transfer's progress on a terminal: one line on standard error with the
// step, percent, bytes sent and rate, redrawn in place; nothing when quiet or
// when standard error is not a terminal. Ctrl-C asks the transfer to stop,
// as the progress window's Cancel does.

#include "control/TransferProgress.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <cstdio>

namespace velda::cli {

// The progress line: "<message>  <percent>%  <sent>/<total> bytes  <rate>",
// the rate from the bytes sent so far over the time taken; the loop test's
// count when there is one. `value` is 0 .. 1000.
QString Progress_Line(const QString& message, int value, int64_t totalBytes, int64_t elapsedMs,
                      int32_t count);
// Bytes per second as "512 B/s", "12.5 kB/s", "3.20 MB/s".
QString Rate_Text(double bytesPerSecond);

class TerminalProgress final : public control::TransferProgress {
public:
    // Draws on `out` when `enabled`; the run's own progress draws on
    // standard error when it is a terminal and the user did not ask quiet.
    TerminalProgress(std::FILE* out, bool enabled);
    static bool Wanted(bool quiet);

    // The bytes the whole transfer sends, for the byte and rate figures.
    void Set_TotalBytes(int64_t bytes) { totalBytes_ = bytes; }

    void Show() override;
    void Set_Message(const QString& text) override;
    void Set_Progress(int value) override;
    void Set_Count(int32_t count) override;
    bool GpibExit() const override;
    void Set_GpibExit(bool value) override;
    void Close() override;

    int32_t Count() const { return count_; }

private:
    void redraw();

    std::FILE* out_;
    bool enabled_;
    bool shown_ = false;
    bool exit_ = false;
    QString message_;
    int value_ = 0;
    int32_t count_ = -1;
    int64_t totalBytes_ = 0;
    int lastWidth_ = 0;
    QElapsedTimer clock_;
};

// Ctrl-C (SIGINT), SIGTERM and SIGHUP from now on set a flag instead of
// ending the process, so a running transfer can stop cleanly; every
// TerminalProgress reads it as GpibExit. Cleared when installed. `notice` (kept by the caller for
// the life of the handler), when given, is written to standard error at each Ctrl-C, so the user
// sees it was taken while a bus operation still waits.
void Install_Interrupt_Handler(const char* notice = nullptr);
bool Interrupted();
// The flag as a signal would set it (for tests of the cancel path).
void Set_Interrupted(bool value);

} // namespace velda::cli
