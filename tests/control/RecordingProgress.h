#pragma once
// The progress a transfer reports, recorded for the control tests.
#include "control/TransferProgress.h"

#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

namespace velda::test {

// The progress a transfer reports; asks to stop after `cancelAfter` data
// pieces, or as soon as the message `cancelAt` is shown.
class RecordingProgress : public control::TransferProgress {
public:
    void Show() override { ++shown; }
    void Set_Message(const QString& text) override {
        messages << text;
        sending = text == QLatin1String("Send data");
        // What the window shows as the block starts.
        if (sending && !values.empty())
            firstSendValue = values.back();
        if (!cancelAt.isEmpty() && text == cancelAt)
            exit = true;
    }
    void Set_Progress(int value) override {
        values.push_back(value);
        if (sending && ++pieces >= cancelAfter && cancelAfter > 0)
            exit = true;
    }
    void Set_Count(int32_t count) override { counts.push_back(count); }
    bool GpibExit() const override { return exit; }
    void Set_GpibExit(bool value) override { exit = value; }
    void Close() override {
        ++closed;
        if (onClose)
            onClose();
    }

    int shown = 0;
    int closed = 0;
    QStringList messages;
    std::vector<int> values;
    std::vector<int32_t> counts;
    bool exit = false;
    int cancelAfter = 0;
    QString cancelAt;
    std::function<void()> onClose;
    bool sending = false;
    int pieces = 0;
    int firstSendValue = -1;
};

} // namespace velda::test
