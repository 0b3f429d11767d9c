#pragma once
// The progress a transfer reports, recorded for the control tests.
#include "control/TransferProgress.h"

#include <QStringList>
#include <cstdint>
#include <vector>

namespace velda::test {

// The progress a transfer reports; asks to stop after `cancelAfter` pieces.
class RecordingProgress : public control::TransferProgress {
public:
    void Show() override { ++shown; }
    void Set_Message(const QString& text) override { messages << text; }
    void Set_Progress(int value) override {
        values.push_back(value);
        if (cancelAfter > 0 && int(values.size()) - 2 >= cancelAfter)
            exit = true;
    }
    void Set_Count(int32_t count) override { counts.push_back(count); }
    bool GpibExit() const override { return exit; }
    void Set_GpibExit(bool value) override { exit = value; }
    void Close() override { ++closed; }

    int shown = 0;
    int closed = 0;
    QStringList messages;
    std::vector<int> values;
    std::vector<int32_t> counts;
    bool exit = false;
    int cancelAfter = 0;
};

} // namespace velda::test
