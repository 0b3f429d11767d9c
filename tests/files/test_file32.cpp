#include "TestSupport.h"
#include "engine/DataWord.h"
#include "engine/file32.h"
#include "files/PackedRecord.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <bit>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <unistd.h>
#include <vector>

using namespace velda;

namespace {

// A document-sized buffer with a random waveform in it.
struct Buffer {
    explicit Buffer(unsigned seed = 1) : h(W_AllocMemory(kBufferPoints)) {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> d(kWordMin, kWordMax);
        for (int16_t& w : engine::bufferWords(h))
            w = static_cast<int16_t>(d(rng));
    }
    ~Buffer() { W_FreeMemory(h); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    std::vector<int16_t> words() const {
        auto w = engine::bufferWords(h);
        return {w.begin(), w.end()};
    }
    WaveHandle h;
};

PackedRecord recordFor(int32_t points, int16_t model = 2) {
    SystemParameter sp;
    sp.ModelName = QStringLiteral("GEN-2000").leftJustified(16);
    sp.ModelNo = model;
    sp.MemorySize = points;
    sp.Frequency = 1000;
    sp.Period = 0.001;
    sp.UserXUnitName = QStringLiteral("deg").leftJustified(8);
    return Pack_System_Record(sp, IfUsbTmc);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

} // namespace

// ---------------------------------------------------------------------------
// .wdb

TEST(File32Wdb, RoundTripAtSeveralSizes) {
    QTemporaryDir dir;
    for (int32_t n : {1, 1000, 1024, 4096, 32768, 65536}) {
        Buffer src(static_cast<unsigned>(n));
        const QString path = dir.filePath(QStringLiteral("w%1.wdb").arg(n));
        const PackedRecord rec = recordFor(n);
        ASSERT_LE(Save7731File(path, rec, src.h), 0) << n;
        EXPECT_EQ(QFile(path).size(), 338 + 2 * n);

        Buffer dst(999);
        PackedRecord back{};
        ASSERT_EQ(Read7731File(path, back, dst.h), 0) << n;
        EXPECT_EQ(back, rec);
        const auto a = src.words(), b = dst.words();
        EXPECT_TRUE(std::equal(a.begin(), a.begin() + n, b.begin())) << n;
        // Points beyond the file's count are cleared.
        EXPECT_TRUE(std::all_of(b.begin() + n, b.end(), [](int16_t w) { return w == 0; }));
    }
}

TEST(File32Wdb, LayoutIsMagicVersionRecordCountWords) {
    QTemporaryDir dir;
    Buffer src;
    auto w = engine::bufferWords(src.h);
    w[0] = -32767;
    w[1] = 258;
    const QString path = dir.filePath(QStringLiteral("a.wdb"));
    const PackedRecord rec = recordFor(2);
    ASSERT_EQ(Save7731File(path, rec, src.h), 0);
    const QByteArray b = readFile(path);
    ASSERT_EQ(b.size(), 8 + 326 + 4 + 4);
    EXPECT_EQ(b.left(8), QByteArray("VWDB\x01\x00\x00\x00", 8));
    EXPECT_EQ(0, std::memcmp(b.constData() + 8, rec.data(), 326));
    EXPECT_EQ(b.mid(334, 4), QByteArray("\x02\x00\x00\x00", 4));
    EXPECT_EQ(b.mid(338), QByteArray("\x01\x80\x02\x01", 4));
}

TEST(File32Wdb, WordBelowTheScaleReadsAsTheBottom) {
    Buffer src;
    engine::bufferWords(src.h)[0] = std::numeric_limits<int16_t>::min();
    QByteArray bytes = file32::wdbBytes(recordFor(1), engine::bufferWords(src.h).first(1));
    std::vector<int16_t> out(4, 5);
    PackedRecord rec{};
    ASSERT_EQ(file32::parseWdb(bytes, rec, out), 1);
    EXPECT_EQ(out[0], kWordMin);
}

TEST(File32Wdb, DamagedOrForeignFilesFailAndChangeNothing) {
    Buffer src(3);
    const QByteArray good = file32::wdbBytes(recordFor(100), engine::bufferWords(src.h).first(100));
    auto patched = [&](int offset, QByteArray bytes) {
        QByteArray b = good;
        b.replace(offset, bytes.size(), bytes);
        return b;
    };
    QByteArray nanRecord = good;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    qToLittleEndian<uint64_t>(std::bit_cast<uint64_t>(nan), nanRecord.data() + 8 + 138);
    QByteArray wrongSize = good;
    qToLittleEndian<int32_t>(99, wrongSize.data() + 8 + 90); // record's memory size
    QByteArray hugeCount = good;
    qToLittleEndian<int32_t>(70000, hugeCount.data() + 334);
    qToLittleEndian<int32_t>(70000, hugeCount.data() + 8 + 90);
    QByteArray zeroCount = good.left(338);
    qToLittleEndian<int32_t>(0, zeroCount.data() + 334);
    qToLittleEndian<int32_t>(0, zeroCount.data() + 8 + 90);

    struct Case {
        const char* what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"empty", QByteArray()},
        {"magic only", good.left(4)},
        {"header only", good.left(8)},
        {"record cut", good.left(200)},
        {"no count", good.left(334)},
        {"last word cut", good.chopped(1)},
        {"one word short", good.chopped(2)},
        {"trailing byte", good + QByteArray(1, '\0')},
        {"trailing word", good + QByteArray(2, '\0')},
        {"foreign magic", patched(0, "RIFF")},
        {"set-up file magic", patched(0, "VOCB")},
        {"version 2", patched(4, QByteArray("\x02\x00", 2))},
        {"reserved set", patched(6, QByteArray("\x01\x00", 2))},
        {"NaN in record", nanRecord},
        {"count differs from memory size", wrongSize},
        {"count beyond buffer", hugeCount},
        {"count zero", zeroCount},
        {"negative count", patched(334, QByteArray("\xff\xff\xff\xff", 4))},
        {"text file", QByteArray("1\r\n2\r\n3\r\n")},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        const QString path = dir.filePath(QStringLiteral("bad.wdb"));
        writeFile(path, c.bytes);
        Buffer dst(77);
        const auto before = dst.words();
        PackedRecord rec = recordFor(1234, 9);
        const PackedRecord recBefore = rec;
        EXPECT_EQ(Read7731File(path, rec, dst.h), 71) << c.what;
        EXPECT_EQ(rec, recBefore) << c.what;
        EXPECT_EQ(dst.words(), before) << c.what;
    }
}

TEST(File32Wdb, UnreadablePathsFail) {
    QTemporaryDir dir;
    Buffer dst;
    const auto before = dst.words();
    PackedRecord rec = recordFor(10);
    for (const QString& path :
         {dir.filePath(QStringLiteral("missing.wdb")), dir.path(), QStringLiteral("/dev/zero")}) {
        EXPECT_EQ(Read7731File(path, rec, dst.h), 71) << path.toStdString();
    }
    EXPECT_EQ(dst.words(), before);
    EXPECT_EQ(Read7731File(dir.filePath(QStringLiteral("x.wdb")), rec, 0), 71);
}

// ---------------------------------------------------------------------------
// Failed saves keep the previous file

TEST(File32Save, FailuresReport72AndKeepThePreviousFile) {
    QTemporaryDir dir;
    Buffer src;
    const QString existing = dir.filePath(QStringLiteral("keep.wdb"));
    const QByteArray old("previous contents");
    writeFile(existing, old);
    const PackedRecord rec = recordFor(1024);
    SystemParameter bad;
    bad.MemorySize = 1024;
    bad.Amplitude = std::numeric_limits<double>::infinity();
    const PackedRecord unsound = Pack_System_Record(bad, 0);

    struct Case {
        const char* what;
        std::function<int32_t()> save;
        QString path;
    };
    const QString sub = dir.filePath(QStringLiteral("sub"));
    QDir().mkdir(sub);
    const Case cases[] = {
        {"wdb to a directory", [&] { return Save7731File(sub, rec, src.h); }, sub},
        {"txt to a directory", [&] { return SaveWaveData(sub, src.h, 0, 10); }, sub},
        {"ocb to a directory", [&] { return SaveSystemFile(sub, rec); }, sub},
        {"missing folder", [&] { return Save7731File(dir.filePath("no/x.wdb"), rec, src.h); },
         QString()},
        {"invalid buffer", [&] { return Save7731File(existing, rec, 0); }, existing},
        {"memory size beyond buffer",
         [&] { return Save7731File(existing, recordFor(70000), src.h); }, existing},
        {"memory size zero", [&] { return Save7731File(existing, recordFor(0), src.h); }, existing},
        {"record with infinity", [&] { return Save7731File(existing, unsound, src.h); }, existing},
        {"set-up with infinity", [&] { return SaveSystemFile(existing, unsound); }, existing},
        {"txt run beyond buffer", [&] { return SaveWaveData(existing, src.h, 65000, 1000); },
         existing},
        {"txt empty run", [&] { return SaveWaveData(existing, src.h, 0, 0); }, existing},
        {"txt negative first", [&] { return SaveWaveData(existing, src.h, -1, 10); }, existing},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.save(), 72) << c.what;
        if (c.path == existing) {
            EXPECT_EQ(readFile(existing), old) << c.what;
        }
    }
    EXPECT_TRUE(QFileInfo(sub).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.wdb"}); // no leftovers
}

TEST(File32Save, UnwritableFolderKeepsThePreviousFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the super-user";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.ocb"));
    writeFile(path, "old");
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(SaveSystemFile(path, recordFor(10)), 72);
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(readFile(path), QByteArray("old"));
}

// A write cut off half way (here by a file-size limit, as a full disk would)
// leaves the previous file and no partial one: a large file, whose writes
// fail as they go, and a small one, held in the write buffer until the end.
TEST(File32Save, WriteCutOffHalfWayKeepsThePreviousFile) {
    QTemporaryDir dir;
    Buffer src;
    struct Case {
        const char* name;
        std::function<int32_t(const QString&)> save;
    } cases[] = {
        {"large.wdb", [&](const QString& p) { return Save7731File(p, recordFor(65536), src.h); }},
        {"small.wdb", [&](const QString& p) { return Save7731File(p, recordFor(1024), src.h); }},
        {"large.txt", [&](const QString& p) { return SaveWaveData(p, src.h, 0, 65536); }},
        {"small.txt", [&](const QString& p) { return SaveWaveData(p, src.h, 0, 600); }},
    };
    for (const Case& c : cases)
        writeFile(dir.filePath(QLatin1String(c.name)), c.name);
    std::vector<int32_t> results;
    ASSERT_TRUE(test::With_File_Size_Limit(1024, [&] {
        for (const Case& c : cases)
            results.push_back(c.save(dir.filePath(QLatin1String(c.name))));
    }));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(results[i], 72) << cases[i].name;
        EXPECT_EQ(readFile(dir.filePath(QLatin1String(cases[i].name))), QByteArray(cases[i].name));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), std::size(cases));
}

TEST(File32Save, SuccessfulSaveReplacesThePreviousFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("w.wdb"));
    writeFile(path, "old");
    Buffer src;
    ASSERT_EQ(Save7731File(path, recordFor(16), src.h), 0);
    EXPECT_EQ(QFile(path).size(), 338 + 32);
}

// ---------------------------------------------------------------------------
// .ocb

TEST(File32Ocb, RoundTripAndLayout) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.ocb"));
    const PackedRecord rec = recordFor(4096, 5);
    ASSERT_LE(SaveSystemFile(path, rec), 0);
    const QByteArray b = readFile(path);
    ASSERT_EQ(b.size(), 334);
    EXPECT_EQ(b.left(8), QByteArray("VOCB\x01\x00\x00\x00", 8));
    PackedRecord back{};
    ASSERT_EQ(ReadSystemFile(path, back), 0);
    EXPECT_EQ(back, rec);
}

TEST(File32Ocb, DamagedOrForeignFilesFailAndChangeNothing) {
    const QByteArray good = file32::ocbBytes(recordFor(100));
    QByteArray nanRecord = good;
    qToLittleEndian<uint64_t>(std::bit_cast<uint64_t>(std::numeric_limits<double>::quiet_NaN()),
                              nanRecord.data() + 8 + 302);
    QByteArray version = good;
    version[4] = 2;
    QByteArray wdbMagic = good;
    wdbMagic.replace(0, 4, "VWDB");
    const QByteArray cases[] = {QByteArray(), good.left(8), good.chopped(1), good + 'x',
                                nanRecord,    version,      wdbMagic,        QByteArray(334, 'A')};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.ocb"));
    int i = 0;
    for (const QByteArray& bytes : cases) {
        writeFile(path, bytes);
        PackedRecord rec = recordFor(7, 1);
        const PackedRecord before = rec;
        EXPECT_EQ(ReadSystemFile(path, rec), 71) << "case " << i;
        EXPECT_EQ(rec, before) << "case " << i;
        ++i;
    }
    PackedRecord rec{};
    EXPECT_EQ(ReadSystemFile(dir.filePath(QStringLiteral("none.ocb")), rec), 71);
}

// ---------------------------------------------------------------------------
// .txt

TEST(File32Txt, RoundTripAtSeveralSizes) {
    QTemporaryDir dir;
    for (int32_t n : {1, 1024, 4096, 65536}) {
        Buffer src(static_cast<unsigned>(n) + 5);
        const QString path = dir.filePath(QStringLiteral("t%1.txt").arg(n));
        ASSERT_LE(SaveWaveData(path, src.h, 0, n), 0);
        Buffer dst(8);
        const auto before = dst.words();
        ASSERT_LE(LoadWaveData(path, dst.h, 0, n), 0);
        const auto a = src.words(), b = dst.words();
        EXPECT_TRUE(std::equal(a.begin(), a.begin() + n, b.begin())) << n;
        // Outside the run the buffer is untouched.
        EXPECT_TRUE(std::equal(b.begin() + n, b.end(), before.begin() + n)) << n;
    }
}

TEST(File32Txt, WritesOneDecimalWordPerCrLfLine) {
    QTemporaryDir dir;
    Buffer src;
    auto w = engine::bufferWords(src.h);
    w[10] = -32767;
    w[11] = 0;
    w[12] = 32767;
    w[13] = 5;
    const QString path = dir.filePath(QStringLiteral("t.txt"));
    ASSERT_EQ(SaveWaveData(path, src.h, 10, 4), 0);
    EXPECT_EQ(readFile(path), QByteArray("-32767\r\n0\r\n32767\r\n5\r\n"));
}

TEST(File32Txt, ReadingAcceptsWhatSpreadsheetsAndScriptsWrite) {
    struct Case {
        const char* what;
        QByteArray text;
        std::vector<int16_t> expected; // for N = 4
    };
    const Case cases[] = {
        {"CR LF", "1\r\n2\r\n3\r\n4\r\n", {1, 2, 3, 4}},
        {"LF", "1\n2\n3\n4\n", {1, 2, 3, 4}},
        {"CR alone", "1\r2\r3\r4", {1, 2, 3, 4}},
        {"no final line end", "1\n2\n3\n4", {1, 2, 3, 4}},
        {"header line", "Data\r\n1\r\n2\r\n3\r\n4\r\n", {1, 2, 3, 4}},
        {"header after blanks", "\r\n\r\nvalue (words)\n1\n2\n3\n4", {1, 2, 3, 4}},
        {"blank lines", "1\n\n  \n2\n\t\n3\n4\n\n", {1, 2, 3, 4}},
        {"surrounding blanks", "  1\t\n\t-2 \n 3\n4  ", {1, -2, 3, 4}},
        {"byte-order mark", "\xEF\xBB\xBFWave\r\n1\r\n2\r\n3\r\n4\r\n", {1, 2, 3, 4}},
        {"fewer points clear the rest", "7\n8\n", {7, 8, 0, 0}},
        {"more points give the first N", "1\n2\n3\n4\n5\n6\nnot read\n", {1, 2, 3, 4}},
        {"decimals round to nearest", "1.4\n1.5\n-2.5\n1e3\n", {1, 2, -3, 1000}},
        {"plus sign", "+5\n+0\n-0\n3\n", {5, 0, 0, 3}},
        {"values beyond the scale clip",
         "40000\n-40000\n-32768\n32767\n",
         {32767, -32767, -32767, 32767}},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.txt"));
    for (const Case& c : cases) {
        writeFile(path, c.text);
        Buffer dst(4);
        auto w = engine::bufferWords(dst.h);
        const int16_t beyond = w[104];
        ASSERT_EQ(LoadWaveData(path, dst.h, 100, 4), 0) << c.what;
        EXPECT_EQ(std::vector<int16_t>(w.begin() + 100, w.begin() + 104), c.expected) << c.what;
        EXPECT_EQ(w[104], beyond) << c.what;
    }
}

TEST(File32Txt, DamagedTextFailsAndChangesNothing) {
    struct Case {
        const char* what;
        QByteArray text;
    };
    const Case cases[] = {
        {"empty", ""},
        {"only blanks", "\r\n  \r\n\t"},
        {"only a header", "Data\r\n"},
        {"two header lines", "Title\nUnit\n1\n2\n"},
        {"text between numbers", "1\n2\nabc\n4\n"},
        {"two columns", "1,2\n3,4\n"},
        {"comma decimal", "1\n2,5\n"},
        {"hexadecimal", "1\n0x10\n"},
        {"not a number", "1\nnan\n"},
        {"infinity", "1\ninf\n"},
        {"number with unit", "1\n5V\n"},
        {"binary", QByteArray("\x00\x01\x02\x03", 4)},
        {"double sign", "1\n+-3\n"},
        {"out of double range", "1\n1e999\n"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.txt"));
    for (const Case& c : cases) {
        writeFile(path, c.text);
        Buffer dst(11);
        const auto before = dst.words();
        EXPECT_EQ(LoadWaveData(path, dst.h, 0, 4), 71) << c.what;
        EXPECT_EQ(dst.words(), before) << c.what;
    }
}

TEST(File32Txt, BadArgumentsAndPathsFail) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ok.txt"));
    writeFile(path, "1\n2\n");
    Buffer dst;
    const auto before = dst.words();
    EXPECT_EQ(LoadWaveData(path, 0, 0, 2), 71);
    EXPECT_EQ(LoadWaveData(path, dst.h, 0, 0), 71);
    EXPECT_EQ(LoadWaveData(path, dst.h, -5, 2), 71);
    EXPECT_EQ(LoadWaveData(path, dst.h, 65535, 2), 71);
    EXPECT_EQ(LoadWaveData(dir.filePath(QStringLiteral("missing.txt")), dst.h, 0, 2), 71);
    EXPECT_EQ(LoadWaveData(dir.path(), dst.h, 0, 2), 71);
    EXPECT_EQ(dst.words(), before);
}
