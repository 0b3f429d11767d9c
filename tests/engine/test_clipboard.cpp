#include "engine/file32_clipboard.h"
#include "engine/wavelb32.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QtEndian>
#include <climits>
#include <gtest/gtest.h>
#include <vector>

using namespace velda;

namespace {

// A buffer of `n` points holding the given words, the rest `fill`.
struct Buf {
    explicit Buf(int n, std::vector<int16_t> start = {}, int16_t fill = 0) : h(W_AllocMemory(n)) {
        auto w = engine::bufferWords(h);
        for (size_t i = 0; i < w.size(); ++i)
            w[i] = i < start.size() ? start[i] : fill;
    }
    ~Buf() { W_FreeMemory(h); }
    std::vector<int16_t> words() const {
        auto w = engine::bufferWords(h);
        return {w.begin(), w.end()};
    }
    WaveHandle h;
};

QClipboard& clipboard() {
    return *QGuiApplication::clipboard();
}

void putText(const QString& text) {
    clipboard().setText(text);
}

QByteArray littleEndian(const std::vector<int16_t>& words) {
    QByteArray raw(static_cast<qsizetype>(words.size() * 2), Qt::Uninitialized);
    for (size_t i = 0; i < words.size(); ++i)
        qToLittleEndian<qint16>(words[i], raw.data() + 2 * i);
    return raw;
}

void putMime(const QByteArray& raw, const QString& text) {
    auto* m = new QMimeData;
    if (!raw.isNull())
        m->setData(QString::fromLatin1(kWordsMimeType), raw);
    if (!text.isNull())
        m->setText(text);
    clipboard().setMimeData(m);
}

std::vector<int16_t> ramp(int n, int from = 1) {
    std::vector<int16_t> v;
    for (int i = 0; i < n; ++i)
        v.push_back(static_cast<int16_t>(from + i));
    return v;
}

} // namespace

TEST(Clipboard, SetPutsTextLinesAndRawWords) {
    Buf b(8, {5, -32767, 32767, 0, -1, 12, 7, 9});
    ASSERT_EQ(SetClipBoard(nullptr, b.h, 1, 4), 0);
    const QMimeData* m = clipboard().mimeData();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->text(), QStringLiteral("-32767\n32767\n0\n-1\n"));
    EXPECT_EQ(m->data(QString::fromLatin1(kWordsMimeType)), littleEndian({-32767, 32767, 0, -1}));
}

TEST(Clipboard, SetClipsItsRunAndLeavesTheClipboardAloneWhenNothingRemains) {
    struct Case {
        int32_t first, count;
        QString expected; // "keep": the clipboard was not touched
    } cases[] = {
        {8, 5, QStringLiteral("9\n10\n")},
        {-3, 2, QStringLiteral("1\n2\n")},
        {0, INT32_MAX, QStringLiteral("1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n")},
        {INT32_MIN, 1, QStringLiteral("1\n")},
        {3, 0, QStringLiteral("keep")},
        {3, -2, QStringLiteral("keep")},
        {10, 4, QStringLiteral("keep")},
        {INT32_MAX, INT32_MAX, QStringLiteral("keep")},
    };
    Buf b(10, ramp(10));
    for (const Case& c : cases) {
        putText(QStringLiteral("keep"));
        EXPECT_EQ(SetClipBoard(nullptr, b.h, c.first, c.count), 0) << c.first << "," << c.count;
        EXPECT_EQ(clipboard().text(), c.expected) << c.first << "," << c.count;
    }
}

TEST(Clipboard, InvalidHandlesFailWithTheGeneralMessage) {
    for (WaveHandle h : {0, -1, INT32_MIN, INT32_MAX}) {
        putText(QStringLiteral("4\n"));
        EXPECT_EQ(SetClipBoard(nullptr, h, 0, 5), 83);
        EXPECT_EQ(clipboard().text(), QStringLiteral("4\n"));
        int32_t pasted = -1;
        EXPECT_EQ(GetClipBoard(nullptr, h, 0, 5, 10, pasted), 83);
        EXPECT_EQ(pasted, 0);
    }
}

TEST(Clipboard, RoundTripKeepsEveryWord) {
    std::vector<int16_t> words;
    for (int i = 0; i < 65536; ++i)
        words.push_back(static_cast<int16_t>(i % 65535 - 32767));
    Buf src(65536, words);
    Buf dst(65536);
    ASSERT_EQ(SetClipBoard(nullptr, src.h, 0, 65536), 0);
    int32_t pasted = 0;
    ASSERT_EQ(GetClipBoard(nullptr, dst.h, 0, 0, 65536, pasted), 0);
    EXPECT_EQ(pasted, 65536);
    EXPECT_EQ(dst.words(), words);
}

TEST(Clipboard, TextAloneRoundTripsToo) {
    // What another program sees of our copy is the text; pasting that text
    // back must give the same words.
    Buf src(5, {-32767, -1, 0, 1, 32767});
    ASSERT_EQ(SetClipBoard(nullptr, src.h, 0, 5), 0);
    putText(clipboard().text());
    Buf dst(5, {}, 3);
    int32_t pasted = 0;
    ASSERT_EQ(GetClipBoard(nullptr, dst.h, 0, 0, 5, pasted), 0);
    EXPECT_EQ(pasted, 5);
    EXPECT_EQ(dst.words(), src.words());
}

TEST(Clipboard, ReadingPrefersRawWordsAndFallsBackToTextWhenTheyAreMalformed) {
    struct Case {
        const char* name;
        QByteArray raw;
        QString text;
        std::vector<int16_t> expected;
    } cases[] = {
        {"raw wins", littleEndian({1, 2, 3}), QStringLiteral("9\n9\n9\n"), {1, 2, 3, 0, 0}},
        {"odd byte count",
         QByteArray("\x01\x00\x02", 3),
         QStringLiteral("7\n8\n"),
         {7, 8, 0, 0, 0}},
        {"empty raw", QByteArray(""), QStringLiteral("6\n"), {6, 0, 0, 0, 0}},
        {"off-scale raw", littleEndian({-32768, 32767}), QString(), {-32767, 32767, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        putMime(c.raw, c.text);
        Buf b(5);
        int32_t pasted = 0;
        EXPECT_EQ(GetClipBoard(nullptr, b.h, 0, 0, 5, pasted), 0) << c.name;
        EXPECT_EQ(b.words(), c.expected) << c.name;
    }
}

TEST(Clipboard, TextIsReadOneNumberPerLine) {
    struct Case {
        QString text;
        std::vector<int16_t> expected; // followed by the untouched 7s
    } cases[] = {
        {QStringLiteral("1\n2\n3\n"), {1, 2, 3}},
        {QStringLiteral("Voltage\r\n\r\n 10 \r\n-20\r\n30\r\n\r\n\n"), {10, -20, 30}},
        {QStringLiteral("1.5\n-1.5\n2.4\n-2.6"), {2, -2, 2, -3}},
        {QStringLiteral("40000\n-1e9\n"), {32767, -32767}},
        {QStringLiteral("x\n1e2\n+7\n"), {100, 7}},
        {QStringLiteral("\t4\t\n"), {4}},
        {QStringLiteral("12\t34\n5\n"), {5}}, // two columns are not one number: a heading
        {QStringLiteral("\uFEFF8\n9"), {8, 9}},
        {QStringLiteral("1\r2\r\n3"), {1, 2, 3}}, // a lone CR ends a line too
    };
    for (const Case& c : cases) {
        putText(c.text);
        Buf b(8, {}, 7);
        int32_t pasted = 0;
        ASSERT_EQ(GetClipBoard(nullptr, b.h, 0, 0, 8, pasted), 0) << c.text.toStdString();
        std::vector<int16_t> expected = c.expected;
        expected.resize(8, 7);
        EXPECT_EQ(pasted, static_cast<int32_t>(c.expected.size())) << c.text.toStdString();
        EXPECT_EQ(b.words(), expected) << c.text.toStdString();
    }
}

TEST(Clipboard, TextThatIsNotAColumnOfNumbersIsAReadErrorAndChangesNothing) {
    const QString texts[] = {
        QString(),
        QStringLiteral("abc\r\ndef\r\n"),
        QStringLiteral("\r\n\r\n  \n"),
        QStringLiteral("1,5\n"),
        QStringLiteral("nan\n"),
        QStringLiteral("Time;Value\n"),
        // After the first number, a line that is not one would move every
        // point after it.
        QStringLiteral("11\n\n33\n"),
        QStringLiteral("11\r\n2,5\r\n33\r\n"),
        QStringLiteral("1\n2\t3\n"),
        QStringLiteral("5\nnan\n6\n"),
        QStringLiteral("inf\n5\n"),
    };
    for (const QString& t : texts) {
        putMime(QByteArray(), t);
        for (int32_t first : {0, 4, 9}) { // also where nothing would fit
            Buf b(8, ramp(8));
            int32_t pasted = -1;
            EXPECT_EQ(GetClipBoard(nullptr, b.h, first, 0, 8, pasted), 81) << t.toStdString();
            EXPECT_EQ(pasted, 0);
            EXPECT_EQ(b.words(), ramp(8));
        }
    }
}

TEST(Clipboard, PasteStaysWithinCountPointsInUseAndBuffer) {
    // Twelve points on the clipboard, a buffer of ten filled with -5.
    Buf src(12, ramp(12));
    ASSERT_EQ(SetClipBoard(nullptr, src.h, 0, 12), 0);
    struct Case {
        int32_t first, count, inUse;
        int32_t pasted;
        int32_t writtenFrom; // the pasted points land here, 1, 2, 3...
    } cases[] = {
        {0, 0, 10, 10, 0},                        // markers together: fill to the points in use
        {7, 0, 10, 3, 7},                         //
        {2, 3, 10, 3, 2},                         // the area limits it
        {2, 20, 10, 8, 2},                        // the points in use limit it
        {0, 0, 4, 4, 0},                          //
        {8, 0, 6, 0, 0},                          // starts beyond the points in use
        {-3, 2, 10, 2, 0},                        // negative start reads as 0
        {0, 0, 1000, 10, 0},                      // points in use beyond the buffer
        {0, -1, 10, 0, 0},                        // negative count writes nothing
        {5, 0, -7, 0, 0},                         // negative points in use
        {INT32_MAX, 0, INT32_MAX, 0, 0},          //
        {INT32_MIN, INT32_MAX, INT32_MAX, 10, 0}, //
        {9, INT32_MAX, 10, 1, 9},                 //
    };
    for (const Case& c : cases) {
        Buf b(10, {}, -5);
        int32_t pasted = -1;
        ASSERT_EQ(GetClipBoard(nullptr, b.h, c.first, c.count, c.inUse, pasted), 0)
            << c.first << "," << c.count << "," << c.inUse;
        EXPECT_EQ(pasted, c.pasted) << c.first << "," << c.count << "," << c.inUse;
        std::vector<int16_t> expected(10, -5);
        for (int i = 0; i < c.pasted; ++i)
            expected[static_cast<size_t>(c.writtenFrom + i)] = static_cast<int16_t>(i + 1);
        EXPECT_EQ(b.words(), expected) << c.first << "," << c.count << "," << c.inUse;
    }
}
