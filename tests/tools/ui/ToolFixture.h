#pragma once
// A 1000-point document in raw units with the prompts recorded, shared by the
// tool tests.

#include "TestSupport.h"
#include "app/Messages.h"
#include "document/WaveDocument.h"
#include "engine/wavelb32.h"
#include "setup/SystemParameter.h"
#include "units/Units.h"

#include <gtest/gtest.h>
#include <vector>

namespace velda::test {

class ToolFixture : public ::testing::Test {
protected:
    static constexpr int kN = 1000;
    static constexpr int16_t kBeyond = 4321; // past N: no tool may write there

    ToolFixture() : doc(sp), units(sp) {}

    void SetUp() override {
        Set_Language(true);
        sp.MemorySize = kN;
        ASSERT_TRUE(doc.Alloc_WaveMemory());
        doc.Reset_Undo();
        doc.CurArea() = WaveArea{0, static_cast<double>(kN)};
        for (WaveHandle h : {doc.WaveBuf[0], doc.WaveBuf[1], doc.WorkBuf2}) {
            auto w = engine::bufferWords(h);
            std::fill(w.begin(), w.end(), kBeyond);
        }
    }

    // Sets the first points of the current waveform; the rest of 0..N is 0.
    void setWave(const std::vector<int16_t>& first) {
        auto w = engine::bufferWords(doc.CurrentBuf());
        for (size_t i = 0; i < kN; ++i)
            w[i] = i < first.size() ? first[i] : 0;
    }
    void fillWave(int (*f)(int)) {
        auto w = engine::bufferWords(doc.CurrentBuf());
        for (int i = 0; i < kN; ++i)
            w[static_cast<size_t>(i)] = static_cast<int16_t>(f(i));
    }
    // The N points of the current waveform; fails if anything past N changed.
    std::vector<int16_t> wave() const { return points(doc.CurrentBuf()); }
    std::vector<int16_t> points(WaveHandle h) const {
        auto w = engine::bufferWords(h);
        for (size_t i = kN; i < w.size(); ++i) {
            if (w[i] != kBeyond) {
                ADD_FAILURE() << "point " << i << " past N was written";
                break;
            }
        }
        return {w.begin(), w.begin() + kN};
    }

    SystemParameter sp;
    WaveDocument doc;
    UnitContext units;
    RecordingPrompts prompts;
};

} // namespace velda::test
