#pragma once
// What a running transfer tells the user and asks of them: a message line, a
// progress value, the loop test's count, and whether to stop. The progress
// window implements it, and so does the command line's progress line; the
// transfer itself uses no widget.

#include <QString>
#include <cstdint>

namespace velda::control {

class TransferProgress {
public:
    virtual ~TransferProgress() = default;

    // The transfer starts: show the window (or the line) with progress 0.
    virtual void Show() = 0;
    // "Data convert", "Send data".
    virtual void Set_Message(const QString& text) = 0;
    // 0 .. 1000.
    virtual void Set_Progress(int value) = 0;
    // The loop test's count of finished transfers.
    virtual void Set_Count(int32_t count) = 0;
    // True once the user has asked to stop; polled between data pieces,
    // right after Set_Progress (where a window lets the event loop run).
    virtual bool GpibExit() const = 0;
    virtual void Set_GpibExit(bool value) = 0;
    // The transfer has ended: close the window (or end the line).
    virtual void Close() = 0;
    // Called every few tens of milliseconds while a bus operation waits for
    // the instrument: a window lets its event loop run. Nothing by default.
    virtual void Waiting() {}
};

// Shows nothing and is never asked to stop: for transfers nobody watches.
class SilentProgress : public TransferProgress {
public:
    void Show() override {}
    void Set_Message(const QString&) override {}
    void Set_Progress(int) override {}
    void Set_Count(int32_t) override {}
    bool GpibExit() const override { return false; }
    void Set_GpibExit(bool) override {}
    void Close() override {}
};

} // namespace velda::control
