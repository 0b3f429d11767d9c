#include "document/WaveDocument.h"

#include "TestSupport.h"
#include "app/Messages.h"
#include "engine/file32_clipboard.h"
#include "engine/wavelb32.h"

#include <QClipboard>
#include <QGuiApplication>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using namespace velda;

namespace {

constexpr int kN = 10;
constexpr int16_t kBeyond = 999; // fills the points past N: no command may touch them

struct RecordingObserver : DocumentObserver {
    void undoItemChanged(const QString& c, bool e) override {
        caption = c;
        enabled = e;
        ++undoCalls;
    }
    void markersChanged() override { ++markerCalls; }
    void redraw() override { ++redrawCalls; }
    QString caption;
    bool enabled = true;
    int undoCalls = 0, markerCalls = 0, redrawCalls = 0;
};

class WaveDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        Set_Language(true);
        ASSERT_TRUE(doc.Alloc_WaveMemory());
        doc.Reset_Undo();
        // Current buffer 1..N, the other -4; both hold kBeyond past N.
        setWords(doc.CurrentBuf(), ramp());
        setWords(doc.WaveBuf[1], std::vector<int16_t>(kN, -4));
    }
    void TearDown() override { Set_Language(true); }

    static std::vector<int16_t> ramp() {
        std::vector<int16_t> v;
        for (int i = 0; i < kN; ++i)
            v.push_back(static_cast<int16_t>(i + 1));
        return v;
    }
    static void setWords(WaveHandle h, const std::vector<int16_t>& first) {
        auto w = engine::bufferWords(h);
        for (size_t i = 0; i < w.size(); ++i)
            w[i] = i < first.size() ? first[i] : kBeyond;
    }
    // The N points of the current waveform; fails the test if anything past
    // N has changed.
    std::vector<int16_t> current() const {
        auto w = engine::bufferWords(doc.CurrentBuf());
        for (size_t i = kN; i < w.size(); ++i) {
            EXPECT_EQ(w[i], kBeyond) << "point " << i << " past N was written";
            if (w[i] != kBeyond)
                break;
        }
        return {w.begin(), w.begin() + kN};
    }
    void setArea(double a, double b) { doc.CurArea() = {a, b}; }
    static void putText(const QString& t) { QGuiApplication::clipboard()->setText(t); }
    static QString clipText() { return QGuiApplication::clipboard()->text(); }

    static SystemParameter makeRecord() {
        SystemParameter r;
        r.MemorySize = kN;
        return r;
    }

    SystemParameter sp = makeRecord();
    RecordingObserver obs;
    WaveDocument doc{sp, &obs};
    test::RecordingPrompts boxes;
};

struct Marks {
    double a, b;
    bool operator==(const Marks&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Marks& m) {
    return os << "(" << m.a << ", " << m.b << ")";
}
Marks marks(const WaveDocument& d) {
    return {d.CurArea().StartX, d.CurArea().EndX};
}

} // namespace

TEST(WaveDocumentLife, StartsWithUntitledNamesMarkersAtTheEndsAndNoBuffers) {
    SystemParameter sp;
    sp.MemorySize = 4096;
    WaveDocument doc(sp);
    EXPECT_EQ(doc.N(), 4096);
    EXPECT_EQ(doc.CurBuf, 0);
    for (const WaveArea& a : doc.Area) {
        EXPECT_EQ(a.StartX, 0);
        EXPECT_EQ(a.EndX, 4096);
    }
    for (const QString* name :
         {&doc.WaveFileName, &doc.SetupFileName, &doc.TextFileName, &doc.FuncFileName})
        EXPECT_EQ(*name, QStringLiteral("Untitled"));
    EXPECT_EQ(doc.WaveBuf[0], 0);
    sp.MemorySize = 128; // N is read from the record, not copied
    EXPECT_EQ(doc.N(), 128);
}

TEST(WaveDocumentLife, AllocTakesFourFullBlocksAndFreeGivesThemBack) {
    SystemParameter sp;
    sp.MemorySize = 1024;
    const int before = engine::liveBuffers();
    {
        WaveDocument doc(sp);
        ASSERT_TRUE(doc.Alloc_WaveMemory());
        const WaveHandle hs[] = {doc.WaveBuf[0], doc.WaveBuf[1], doc.WorkBuf1, doc.WorkBuf2};
        for (int i = 0; i < 4; ++i) {
            EXPECT_NE(hs[i], 0);
            EXPECT_EQ(engine::bufferWords(hs[i]).size(), 65536u);
            for (int j = 0; j < i; ++j)
                EXPECT_NE(hs[i], hs[j]);
        }
        EXPECT_EQ(engine::liveBuffers(), before + 4);
        doc.Free_WaveMemory();
        EXPECT_EQ(engine::liveBuffers(), before);
        EXPECT_EQ(doc.WaveBuf[0], 0);
        EXPECT_EQ(doc.WorkBuf2, 0);
        doc.Free_WaveMemory(); // twice is harmless
        ASSERT_TRUE(doc.Alloc_WaveMemory());
    } // the destructor frees what is still held
    EXPECT_EQ(engine::liveBuffers(), before);
}

TEST_F(WaveDocumentTest, UndoItemFollowsTheStateMachineInBothLanguages) {
    enum Op { Save, Swap, Reset };
    struct Step {
        Op op;
        bool undoCaption; // true: the "Undo" caption, false: "Redo"
        bool enabled;
        int curBuf;
    } steps[] = {
        {Swap, true, false, 0}, // no undo yet: nothing happens
        {Save, true, true, 0},   {Swap, false, true, 1}, {Swap, false, true, 0},
        {Swap, false, true, 1},  {Save, true, true, 1},  {Swap, false, true, 0},
        {Reset, true, false, 0}, // buffers and CurBuf are left alone
        {Swap, true, false, 0},  {Save, true, true, 0},
    };
    for (bool english : {true, false}) {
        Set_Language(english);
        doc.CurBuf = 0;
        doc.Reset_Undo();
        EXPECT_EQ(obs.caption, english ? QStringLiteral("&Undo") : QStringLiteral(u"元に戻す(&U)"));
        EXPECT_FALSE(obs.enabled);
        int i = 0;
        for (const Step& s : steps) {
            switch (s.op) {
            case Save:
                doc.Save_Undo();
                break;
            case Swap:
                doc.Swap_Undo();
                break;
            case Reset:
                doc.Reset_Undo();
                break;
            }
            const QString expected =
                english ? (s.undoCaption ? QStringLiteral("&Undo") : QStringLiteral("&Redo"))
                        : (s.undoCaption ? QStringLiteral(u"元に戻す(&U)")
                                         : QStringLiteral(u"元に戻すを取り消す(&R)"));
            EXPECT_EQ(doc.UndoCaption(), expected) << "step " << i << " english " << english;
            EXPECT_EQ(obs.caption, expected) << "step " << i;
            EXPECT_EQ(obs.enabled, s.enabled) << "step " << i;
            EXPECT_EQ(doc.UndoEnabled(), s.enabled) << "step " << i;
            EXPECT_EQ(doc.CurBuf, s.curBuf) << "step " << i;
            ++i;
        }
    }
}

TEST_F(WaveDocumentTest, LanguageChangeIsShownOnTheNextCaptionUpdate) {
    doc.Save_Undo();
    doc.Swap_Undo();
    Set_Language(false);
    doc.Update_UndoCaption();
    EXPECT_EQ(obs.caption, QStringLiteral(u"元に戻すを取り消す(&R)"));
    EXPECT_TRUE(obs.enabled);
}

TEST_F(WaveDocumentTest, EditUndoUndoTogglesBetweenTheTwoStates) {
    setArea(2, 5);
    doc.Save_Undo();
    W_ClearMemory(doc.CurrentBuf(), 0, kN); // the edit
    setArea(0, 0);
    const std::vector<int16_t> edited(kN, 0);
    struct Expect {
        std::vector<int16_t> data;
        Marks m;
    } after[] = {{ramp(), {2, 5}}, {edited, {0, 0}}, {ramp(), {2, 5}}, {edited, {0, 0}}};
    for (const Expect& e : after) {
        doc.Swap_Undo();
        EXPECT_EQ(current(), e.data);
        EXPECT_EQ(marks(doc), e.m); // undo restores the markers of that state
        EXPECT_EQ(obs.caption, QStringLiteral("&Redo"));
    }
}

TEST_F(WaveDocumentTest, SaveUndoOverwritesTheOneUndoCopy) {
    doc.Save_Undo();
    W_ClearMemory(doc.CurrentBuf(), 0, 3);
    const auto first = current();
    doc.Save_Undo();
    W_ClearMemory(doc.CurrentBuf(), 0, kN);
    doc.Swap_Undo();
    EXPECT_EQ(current(), first); // not the ramp: only one level is kept
}

TEST_F(WaveDocumentTest, DeleteRemovesTheAreaAndJoinsTheMarkersAtItsStart) {
    struct Case {
        Marks area;
        std::vector<int16_t> data;
        Marks after;
    } cases[] = {
        {{2, 5}, {1, 2, 6, 7, 8, 9, 10, 0, 0, 0}, {2, 2}},
        {{4, 4}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {4, 4}},
        {{0, 10}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0}},
        {{7, 10}, {1, 2, 3, 4, 5, 6, 7, 0, 0, 0}, {7, 7}},
        {{0, 1}, {2, 3, 4, 5, 6, 7, 8, 9, 10, 0}, {0, 0}},
        // Between points: the run Copy takes (first whole point, width to even).
        {{0.2, 3}, {1, 5, 6, 7, 8, 9, 10, 0, 0, 0}, {0.2, 0.2}},
        {{2.5, 6.5}, {1, 2, 3, 8, 9, 10, 0, 0, 0, 0}, {2.5, 2.5}},
    };
    for (const Case& c : cases) {
        doc.Reset_Undo();
        doc.CurBuf = 0;
        setWords(doc.CurrentBuf(), ramp());
        setArea(c.area.a, c.area.b);
        const int redraws = obs.redrawCalls, markerCalls = obs.markerCalls;
        doc.Delete_Area();
        EXPECT_EQ(current(), c.data) << c.area;
        EXPECT_EQ(marks(doc), c.after) << c.area;
        EXPECT_EQ(obs.redrawCalls, redraws + 1);
        EXPECT_EQ(obs.markerCalls, markerCalls + 1);
        doc.Swap_Undo();
        EXPECT_EQ(current(), ramp()) << c.area;
        EXPECT_EQ(marks(doc), c.area) << c.area;
    }
}

TEST_F(WaveDocumentTest, CopySendsTheAreaFromItsFirstWholePoint) {
    struct Case {
        Marks area;
        QString clip; // "keep": nothing was put on the clipboard
    } cases[] = {
        {{2, 5}, QStringLiteral("3\n4\n5\n")},
        {{1, 3.5}, QStringLiteral("2\n3\n")},       // width 2.5 -> 2 (halves to even)
        {{1, 4.5}, QStringLiteral("2\n3\n4\n5\n")}, // width 3.5 -> 4
        {{0.2, 3}, QStringLiteral("2\n3\n4\n")},    // first point 1, width 2.8 -> 3
        {{8, 10}, QStringLiteral("9\n10\n")},
        {{9.5, 10}, QStringLiteral("keep")}, // first point 10, width 0.5 -> 0
        {{8.5, 10}, QStringLiteral("10\n")}, // width 1.5 -> 2, but point 10 is past the end
        {{4, 4}, QStringLiteral("keep")},
    };
    for (const Case& c : cases) {
        putText(QStringLiteral("keep"));
        setArea(c.area.a, c.area.b);
        doc.Copy_To_Clipboard();
        EXPECT_EQ(clipText(), c.clip) << c.area;
        EXPECT_EQ(current(), ramp());
        EXPECT_EQ(marks(doc), c.area);
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(WaveDocumentTest, CopyThenUndoShowsTheUnchangedWaveform) {
    // The Copy command takes the undo copy before copying.
    setArea(2, 5);
    doc.Save_Undo();
    doc.Copy_To_Clipboard();
    doc.Swap_Undo();
    EXPECT_EQ(current(), ramp());
    EXPECT_EQ(marks(doc), (Marks{2, 5}));
    EXPECT_EQ(clipText(), QStringLiteral("3\n4\n5\n"));
}

TEST_F(WaveDocumentTest, PasteWritesFromTheFirstWholePointAndEndsTheAreaThere) {
    struct Case {
        Marks area;
        QString clip;
        std::vector<int16_t> data;
        Marks after;
    } cases[] = {
        {{2.5, 2.5}, QStringLiteral("100\n200\n"), {1, 2, 3, 100, 200, 6, 7, 8, 9, 10}, {2.5, 5}},
        {{2.5, 3}, QStringLiteral("100\n200\n"), {1, 2, 3, 100, 5, 6, 7, 8, 9, 10}, {2.5, 4}},
        {{2, 6}, QStringLiteral("100\n"), {1, 2, 100, 4, 5, 6, 7, 8, 9, 10}, {2, 3}},
        // markers together: everything that fits before N, never past it
        {{0, 0},
         QStringLiteral("1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n"),
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
         {0, 10}},
        {{7, 7},
         QStringLiteral("-1\n-2\n-3\n-4\n-5\n"),
         {1, 2, 3, 4, 5, 6, 7, -1, -2, -3},
         {7, 10}},
        {{8, 10}, QStringLiteral("5\n6\n7\n8\n"), {1, 2, 3, 4, 5, 6, 7, 8, 5, 6}, {8, 10}},
        {{9.5, 10}, QStringLiteral("5\n6\n"), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {9.5, 10}},
    };
    for (const Case& c : cases) {
        doc.Reset_Undo();
        doc.CurBuf = 0;
        setWords(doc.CurrentBuf(), ramp());
        setArea(c.area.a, c.area.b);
        putText(c.clip);
        const int redraws = obs.redrawCalls;
        doc.Paste_From_Clipboard();
        EXPECT_EQ(current(), c.data) << c.area;
        EXPECT_EQ(marks(doc), c.after) << c.area;
        EXPECT_EQ(obs.redrawCalls, redraws + 1);
        doc.Swap_Undo();
        EXPECT_EQ(current(), ramp()) << c.area;
        EXPECT_EQ(marks(doc), c.area);
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(WaveDocumentTest, SpreadsheetColumnWithHeaderAndCrLfPastesIn) {
    putText(QStringLiteral("Value\r\n1.5\r\n-2\r\n 300 \r\n\r\n"));
    setArea(1, 1);
    doc.Paste_From_Clipboard();
    EXPECT_EQ(current(), (std::vector<int16_t>{1, 2, -2, 300, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(marks(doc), (Marks{1, 4}));
}

TEST_F(WaveDocumentTest, CopyAndPasteRoundTripThroughTheSystemClipboard) {
    setArea(2, 6);
    doc.Copy_To_Clipboard();
    setArea(6, 6);
    doc.Paste_From_Clipboard();
    EXPECT_EQ(current(), (std::vector<int16_t>{1, 2, 3, 4, 5, 6, 3, 4, 5, 6}));
    EXPECT_EQ(marks(doc), (Marks{6, 10}));
}

TEST_F(WaveDocumentTest, ClipboardWithoutNumbersShowsReadErrorAndChangesNothing) {
    putText(QStringLiteral("Time\tValue\r\nnone\r\n"));
    setArea(2, 5);
    const int markerCalls = obs.markerCalls, redraws = obs.redrawCalls;
    doc.Paste_From_Clipboard();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Error Message"));
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("ClipBoard Read error.\r"));
    EXPECT_EQ(current(), ramp());
    EXPECT_EQ(marks(doc), (Marks{2, 5}));
    EXPECT_EQ(obs.markerCalls, markerCalls);
    EXPECT_EQ(obs.redrawCalls, redraws);
    // The undo copy was taken before the failure: Undo shows the same waveform.
    EXPECT_TRUE(doc.UndoEnabled());
    doc.Swap_Undo();
    EXPECT_EQ(current(), ramp());
    EXPECT_EQ(marks(doc), (Marks{2, 5}));
}

TEST_F(WaveDocumentTest, WorksWithoutAnObserver) {
    doc.setObserver(nullptr);
    setArea(0, 2);
    putText(QStringLiteral("5\n"));
    doc.Save_Undo();
    doc.Copy_To_Clipboard();
    doc.Paste_From_Clipboard();
    doc.Delete_Area();
    doc.Swap_Undo();
    doc.Reset_Undo();
    EXPECT_EQ(current(), ramp());
    EXPECT_EQ(obs.undoCalls, 1); // only the Reset_Undo of SetUp reached it
}

TEST_F(WaveDocumentTest, ResizeClearsGrownPointsInAllFourBlocksAndKeepsTheRest) {
    struct Case {
        int32_t oldN, newN;
        int clearedFrom, clearedTo;
    } cases[] = {
        {10, 20, 10, 20}, {20, 8, 0, 0},       {1024, 65536, 1024, 65536},
        {64, 64, 0, 0},   {65536, 1024, 0, 0}, {-5, 3, 0, 3}, // a bad old N reads as 0
    };
    for (const Case& c : cases) {
        const WaveHandle hs[] = {doc.WaveBuf[0], doc.WaveBuf[1], doc.WorkBuf1, doc.WorkBuf2};
        for (WaveHandle h : hs) {
            auto w = engine::bufferWords(h);
            std::fill(w.begin(), w.end(), int16_t{5});
        }
        sp.MemorySize = c.newN;
        doc.Resize(c.oldN);
        std::vector<int16_t> expected(65536, 5);
        std::fill(expected.begin() + c.clearedFrom, expected.begin() + c.clearedTo, int16_t{0});
        for (WaveHandle h : hs) {
            auto w = engine::bufferWords(h);
            EXPECT_TRUE(std::equal(w.begin(), w.end(), expected.begin(), expected.end()))
                << c.oldN << "->" << c.newN;
        }
    }
}

TEST_F(WaveDocumentTest, ShrinkingBringsMarkersBackWithinTheNewN) {
    doc.Area[0] = {3, 15};
    doc.Area[1] = {12, 18};
    sp.MemorySize = 20;
    doc.Resize(kN);
    EXPECT_EQ(obs.markerCalls, 0); // growing leaves them alone
    EXPECT_EQ(doc.Area[0].EndX, 15);
    sp.MemorySize = 8;
    doc.Resize(20);
    EXPECT_EQ(doc.Area[0].StartX, 3);
    EXPECT_EQ(doc.Area[0].EndX, 8);
    EXPECT_EQ(doc.Area[1].StartX, 8);
    EXPECT_EQ(doc.Area[1].EndX, 8);
    EXPECT_EQ(obs.markerCalls, 1);
}
