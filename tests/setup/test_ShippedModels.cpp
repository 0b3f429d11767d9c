// The model files we ship and test with: they load, and together they give
// every kind of model the program must handle and every script key.
#include "TestSupport.h"
#include "app/Messages.h"
#include "engine/sysinf32.h"
#include "setup/SystemSetup.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using namespace velda;
using velda::test::RecordingPrompts;
using velda::test::sourceDataDir;
using velda::test::testDataDir;

namespace {

const QStringList kScriptKeys = {
    "maker",  "model",   "serial",  "version", "preset",        "headoff", "channel",
    "freq",   "amprng",  "amp",     "offset",  "ofson",         "ofsoff",  "outon",
    "outoff", "arbmask", "arbsend", "arbbank", "arbprecommand", "arbstt",  "arbbswap",
    "arbfmt", "arbsize", "arbname", "getsts",  "geterr",        "errmask", "gpibcmd",
};

QStringList keysOf(const CommandTable& t) {
    QStringList keys;
    for (int i = 0; i < t.rows; ++i)
        keys << t.keys[i].trimmed().toLower();
    return keys;
}

QString textOf(const CommandTable& t, const QString& key) {
    for (int i = 0; i < t.rows; ++i)
        if (t.keys[i].trimmed().toLower() == key)
            return t.texts[i].trimmed();
    return {};
}

// What one model offers, read back through the set-up operations.
struct ModelFacts {
    QString name;
    int channels = 0;
    int maxRanges = 0;
    bool offset = false;
    bool memoryNumbers = false;
    bool memoryNames = false;
    int32_t mask = 0;
    QList<int32_t> sizes;
    std::array<QStringList, 4> keys;
    QString arbMask;
    QString defaultArbSend;
};

std::vector<ModelFacts> readAll(const QString& path) {
    SysSetModelFile(path.toLocal8Bit().constData());
    SystemSetup s;
    std::vector<ModelFacts> all;
    if (s.Start_Up(0, 0, 0).has_value())
        return all;
    for (int m = 0; m < s.ModelNames.size(); ++m) {
        s.Change_Model(m);
        ModelFacts f;
        f.name = s.ModelNames[m].trimmed();
        f.channels = int(s.ChannelNames.size());
        for (int ch = 0; ch < f.channels; ++ch) {
            s.Param.ChannelNo = int16_t(ch);
            f.maxRanges = std::max(f.maxRanges, s.Get_RangeCount());
        }
        f.offset = s.Param.OffsetSettable != 0;
        f.memoryNumbers = s.Param.MemoryNoUsed != 0;
        f.memoryNames = s.Param.MemoryNameUsed != 0;
        f.mask = s.InterfaceMask;
        for (const QString& n : s.MemorySizeNames)
            f.sizes << SystemSetup::MemorySizeOfName(n);
        for (size_t t = 0; t < 4; ++t)
            f.keys[t] = keysOf(s.CommandTables[t]);
        f.arbMask = textOf(s.CommandTables[3], "arbmask");
        f.defaultArbSend = s.Param.DefaultArbSend.trimmed();
        all.push_back(f);
    }
    return all;
}

} // namespace

TEST(ShippedModels, CoverEveryKindOfModelAndEveryScriptKey) {
    RecordingPrompts prompts;
    const auto models = readAll(sourceDataDir() + "/models.toml");
    ASSERT_GE(models.size(), 7u) << "a power source and at least six oscillators";

    bool one = false, two = false, severalRanges = false, withOffset = false, withoutOffset = false,
         numbers = false, noNumbers = false, names = false, noNames = false, usbOnly = false,
         gpibOnly = false, both = false;
    int32_t smallest = INT32_MAX, largest = 0;
    QSet<QString> used;
    for (size_t i = 1; i < models.size(); ++i) { // the oscillators
        const ModelFacts& f = models[i];
        one |= f.channels == 1;
        two |= f.channels == 2;
        severalRanges |= f.maxRanges >= 3;
        withOffset |= f.offset;
        withoutOffset |= !f.offset;
        numbers |= f.memoryNumbers;
        noNumbers |= !f.memoryNumbers;
        names |= f.memoryNames;
        noNames |= !f.memoryNames;
        const bool usb = f.mask & 0x8, gpib = f.mask & 0x7;
        usbOnly |= usb && !gpib;
        gpibOnly |= gpib && !usb;
        both |= usb && gpib;
        for (int32_t n : f.sizes) {
            smallest = std::min(smallest, n);
            largest = std::max(largest, n);
        }
    }
    EXPECT_TRUE(one && two) << "one- and two-channel models";
    EXPECT_TRUE(severalRanges);
    EXPECT_TRUE(withOffset && withoutOffset);
    EXPECT_TRUE(numbers && noNumbers);
    EXPECT_TRUE(names && noNames);
    EXPECT_TRUE(usbOnly && gpibOnly && both);
    EXPECT_EQ(smallest, 1024);
    EXPECT_EQ(largest, 65536);

    for (const ModelFacts& f : models) {
        for (const QStringList& keys : f.keys)
            for (const QString& k : keys) {
                EXPECT_TRUE(kScriptKeys.contains(k)) << "unknown key " << k.toStdString();
                used << k;
            }
        // The transfer divides by the mask's lowest bit: every model needs one.
        EXPECT_FALSE(f.arbMask.isEmpty()) << f.name.toStdString();
        EXPECT_TRUE(f.keys[0].contains("model")) << f.name.toStdString();
        // Without "arbsend" the default send text takes its place ("pre,send"
        // also gives the pre-command).
        if (!f.keys[3].contains("arbsend") && f.name != models[0].name) {
            EXPECT_FALSE(f.defaultArbSend.isEmpty()) << f.name.toStdString();
            if (f.defaultArbSend.contains(','))
                used << "arbprecommand"
                     << "arbsend";
        }
    }
    for (const QString& k : kScriptKeys)
        EXPECT_TRUE(used.contains(k)) << "no model uses " << k.toStdString();
}

TEST(ShippedModels, NamesArePlainAndTheFirstModelIsThePowerSource) {
    RecordingPrompts prompts;
    Set_Language(true);
    SysSetModelFile((sourceDataDir() + "/models.toml").toLocal8Bit().constData());
    SystemSetup s;
    ASSERT_FALSE(s.Start_Up(0, 0, 0).has_value());
    const QRegularExpression plain(QStringLiteral("^[A-Z]{2,3}-\\d{4}$"));
    for (const QString& n : s.ModelNames)
        EXPECT_TRUE(plain.match(n.trimmed()).hasMatch()) << n.toStdString();
    EXPECT_TRUE(s.IsPowerSource());
    const QStringList modes = {"AC-INT", "AC-ADD", "ACDC-INT", "ACDC-ADD"};
    QStringList shown;
    for (const QString& c : s.ChannelNames)
        shown << c.trimmed();
    EXPECT_EQ(shown, modes) << "the power source's modes, in the transfer's order";
    QStringList ranges;
    for (const QString& r : s.RangeNames)
        ranges << r.trimmed();
    EXPECT_EQ(ranges, (QStringList{"100V", "200V"}));
    EXPECT_EQ(s.Param.MemorySize, 4096) << "the power source's block holds 4096 points";
}

TEST(ShippedModels, DeviceIdentifiersListEveryUsbModel) {
    RecordingPrompts prompts;
    const auto models = readAll(sourceDataDir() + "/models.toml");
    ASSERT_FALSE(models.empty());
    QFile f(sourceDataDir() + "/USBTMC.ID");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
    QSet<QString> listed;
    const QRegularExpression resource(QStringLiteral("^USB0::0x[0-9A-F]{4}::0x[0-9A-F]{4}::$"));
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList parts = line.split(QLatin1Char(','));
        ASSERT_EQ(parts.size(), 2) << line.toStdString();
        EXPECT_TRUE(resource.match(parts[1]).hasMatch()) << line.toStdString();
        EXPECT_FALSE(listed.contains(parts[0])) << "listed twice: " << line.toStdString();
        listed << parts[0];
    }
    QSet<QString> usb;
    for (const ModelFacts& m : models)
        if (m.mask & 0x8)
            usb << m.name;
    EXPECT_EQ(listed, usb);
}

TEST(ShippedModels, LongTestListReachesEveryTransferBranch) {
    RecordingPrompts prompts;
    const auto models = readAll(testDataDir() + "/models_many.toml");
    // Model numbers 1-20, 21, 22 and 23 and above are sent different
    // function commands after the waveform: at least one model for each.
    ASSERT_GE(models.size(), 25u);
    for (const ModelFacts& m : models) {
        EXPECT_FALSE(m.arbMask.isEmpty()) << m.name.toStdString();
        EXPECT_FALSE(m.sizes.isEmpty());
    }
}
