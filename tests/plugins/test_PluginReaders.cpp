// The shipped plug-ins' reading rules: text columns and sound files written
// here with libsndfile, read back through the loaded plug-in libraries.
#include "TestSupport.h"

#include "csv_reader.h"
#include "files/PluginImport.h"
#include "files/PluginLoader.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <string>
#include <vector>

using namespace velda;

namespace {

class ShippedPlugins : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(set.load({QStringLiteral(VELDA_BINARY_DIR "/PlugIn")}), 2); }
    const ImportPlugin& csv() { return set.plugins()[0]; }
    const ImportPlugin& sound() { return set.plugins()[1]; }
    QString path(const char* name) { return dir.filePath(QLatin1String(name)); }

    PluginSet set;
    QTemporaryDir dir;
};

std::vector<int16_t> csvWords(const std::string& text) {
    std::vector<int16_t> w;
    velda::plugin::Csv_Words(text.data(), text.size(), w);
    return w;
}

// Writes frames (channels interleaved) with libsndfile.
template <typename T>
bool writeSound(const QString& path, int format, int channels, const std::vector<T>& frames) {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f)
        return false;
    const sf_count_t n = static_cast<sf_count_t>(frames.size()) / channels;
    sf_count_t written = 0;
    if constexpr (std::is_same_v<T, short>)
        written = sf_writef_short(f, frames.data(), n);
    else
        written = sf_writef_double(f, frames.data(), n);
    sf_close(f);
    return written == n;
}

} // namespace

TEST(CsvRule, ColumnsHeadersAndScaling) {
    struct Row {
        const char* name;
        std::string text;
        std::vector<int16_t> words;
    };
    const Row rows[] = {
        {"one column of words", "1\n-2\n32767\n-32767\n", {1, -2, 32767, -32767}},
        {"header skipped, last column taken", "index,value\n0,10\n1,20\n2,-30\n", {10, 20, -30}},
        {"scope export: time,volts scaled to full scale",
         "\"Time\",\"Volts\"\ns,V\n-0.001,0.5\n0,-1\n0.001,0.25\n",
         {16384, -32767, 8192}},
        {"tabs and CR LF", "t\tv\r\n0\t100\r\n1\t-100\r\n", {100, -100}},
        {"blanks and CR alone", "  0   5\r 1   6\r", {5, 6}},
        {"semicolons with decimal commas", "x;y\n0;0,5\n1;-0,25\n", {32767, -16384}},
        {"a word beyond the scale scales the column", "0\n32768\n-16384\n", {0, 32767, -16384}},
        {"a trailing separator is ignored", "1,7,\n2,8,\n", {7, 8}},
        {"byte-order mark",
         "\xEF\xBB\xBF"
         "3\n4\n",
         {3, 4}},
        {"all zero decimals stay zero", "0.0\n0.0\n", {0, 0}},
        {"the tiniest values scale like any",
         "0\n1e-310\n-1e-310\n5e-311\n",
         {0, 32767, -32767, 16384}},
        {"text only: nothing", "a,b\nc,d\n", {}},
        // A sample the instrument could not give keeps its place.
        {"nan and the infinities in a column of words",
         "1\nnan\ninf\n-inf\n2\n",
         {1, 0, 32767, -32767, 2}},
        {"beyond a double: the ends of the scale, or zero",
         "t,v\n0,0.5\n1,1e400\n2,-1e400\n3,1e-400\n4,-1\n",
         {16384, 32767, -32767, 0, -32767}},
        // The magnitude counts the digits as well as the exponent.
        {"beyond a double without the exponent's sign saying so",
         "0.5\n0." + std::string(400, '0') + "1\n-1" + std::string(500, '0') + "e-100\n1" +
             std::string(400, '0') + "e-400\n",
         {16384, 0, -32767, 32767}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(csvWords(r.text), r.words) << r.name;
}

// Only as many values as the program can take decide the scale: a large
// value after the first 65,536 lines changes nothing.
TEST(CsvRule, LinesPastTheLargestMemoryAreNotRead) {
    std::string text;
    for (int i = 0; i < 65536; ++i)
        text += std::to_string(i % 100) + "\n";
    const std::string longer = text + "1e9\n";
    std::vector<int16_t> words;
    ASSERT_TRUE(velda::plugin::Csv_Words(longer.data(), longer.size(), words));
    ASSERT_EQ(words.size(), 65536u);
    EXPECT_EQ(words[99], 99);
    EXPECT_EQ(words, csvWords(text));
}

TEST_F(ShippedPlugins, CsvFileReadsThroughThePlugin) {
    QFile f(path("scope.csv"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Model,Scope\nUnit,s,V\n");
    std::vector<int16_t> expected;
    for (int i = 0; i < 1300; ++i) {
        const double v = (i % 100 - 50) / 25.0; // -2 .. 1.96 V
        f.write(QByteArray::number(i * 1e-6) + "," + QByteArray::number(v) + "\n");
        expected.push_back(static_cast<int16_t>(std::lround(v * 32767 / 2.0)));
    }
    f.close();
    std::vector<int16_t> words;
    ASSERT_EQ(Read_Through_Plugin(csv(), path("scope.csv"), 65536, words), 0);
    EXPECT_EQ(words, expected);
    // At most the limit.
    ASSERT_EQ(Read_Through_Plugin(csv(), path("scope.csv"), 700, words), 0);
    EXPECT_EQ(words, std::vector<int16_t>(expected.begin(), expected.begin() + 700));
    // Not a column: refused.
    QFile g(path("words.csv"));
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write("nothing here\n");
    g.close();
    EXPECT_EQ(Read_Through_Plugin(csv(), path("words.csv"), 100, words), 241);
    // A file too long to be a column is read no further than its size limit:
    // taken when its values end before it, else refused.
    for (const bool complete : {true, false}) {
        QFile h(path("long.csv"));
        ASSERT_TRUE(h.open(QIODevice::WriteOnly | QIODevice::Truncate));
        h.write(QByteArray("7\n").repeated(complete ? 65536 : 1000));
        h.write(QByteArray(1 << 20, '#').append('\n').repeated(65));
        h.close();
        EXPECT_EQ(Read_Through_Plugin(csv(), path("long.csv"), 65536, words), complete ? 0 : 241);
        if (complete) {
            EXPECT_EQ(words, std::vector<int16_t>(65536, 7));
        }
    }
    EXPECT_EQ(Read_Through_Plugin(csv(), path("absent.csv"), 100, words), 241);
}

// 16-bit sounds come back exactly (first channel only, -32768 as -32767);
// other formats are scaled to the full scale.
TEST_F(ShippedPlugins, SoundFilesReadBackExactly) {
    std::vector<short> stereo;
    std::vector<int16_t> expected;
    for (int i = 0; i < 1777; ++i) {
        const auto s = static_cast<short>((i * 37) % 65536 - 32768);
        stereo.push_back(s);
        stereo.push_back(static_cast<short>(i)); // second channel, ignored
        expected.push_back(static_cast<int16_t>(std::max<int>(s, -32767)));
    }
    struct Row {
        const char* name;
        int format;
    };
    for (const Row r : {Row{"t.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                        Row{"t.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                        Row{"t.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16}}) {
        SCOPED_TRACE(r.name);
        ASSERT_TRUE(writeSound(path(r.name), r.format, 2, stereo));
        std::vector<int16_t> words;
        ASSERT_EQ(Read_Through_Plugin(sound(), path(r.name), 65536, words), 0);
        EXPECT_EQ(words, expected);
    }
    // NaN is no sample (0); the infinities are the ends of the scale.
    std::vector<double> floats = {0.0,  0.5,  -0.5, 1.0,      -1.0,     1.5,
                                  -2.0, 0.25, NAN,  HUGE_VAL, -HUGE_VAL};
    ASSERT_TRUE(writeSound(path("f.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, floats));
    std::vector<int16_t> words;
    ASSERT_EQ(Read_Through_Plugin(sound(), path("f.wav"), 65536, words), 0);
    EXPECT_EQ(words, (std::vector<int16_t>{0, 16384, -16384, 32767, -32767, 32767, -32767, 8192, 0,
                                           32767, -32767}));
    // Not a sound.
    QFile g(path("noise.wav"));
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write("RIFF but not really");
    g.close();
    EXPECT_EQ(Read_Through_Plugin(sound(), path("noise.wav"), 100, words), 241);
}
