#include "app/DeviceIds.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velda;

namespace {

using Pairs = std::vector<std::pair<QString, QString>>;

QString writeFile(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("USBTMC.ID"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

} // namespace

TEST(DeviceIds, LinesSplitIntoKeyAndValue) {
    struct Case {
        const char* name;
        QByteArray text;
        Pairs pairs;
    };
    const Case cases[] = {
        {"crlf",
         "GEN-2 ,USB0::0x0D4A::0x000E::\r\nGEN-4,USB0::0x0D4A::0x0010::\r\n",
         {{"GEN-2 ", "USB0::0x0D4A::0x000E::"}, {"GEN-4", "USB0::0x0D4A::0x0010::"}}},
        {"lf, no final line end", "A,1\nB,2", {{"A", "1"}, {"B", "2"}}},
        {"cr only", "A,1\rB,2\r", {{"A", "1"}, {"B", "2"}}},
        {"no comma", "WholeLine\n", {{"WholeLine", ""}}},
        {"further pieces ignored", "A,B,C,D\n", {{"A", "B"}}},
        {"empty pieces", ",X\nY,\n", {{"", "X"}, {"Y", ""}}},
        {"blank line kept as a pair", "A,1\n\nB,2\n", {{"A", "1"}, {"", ""}, {"B", "2"}}},
        {"one empty line", "\n", {{"", ""}}},
    };
    for (const Case& c : cases) {
        DeviceIdTable t;
        EXPECT_EQ(t.loadText(c.text), 0) << c.name;
        EXPECT_EQ(t.pairs(), c.pairs) << c.name;
    }
}

TEST(DeviceIds, LookupIsExactAndTakesTheFirstMatch) {
    DeviceIdTable t;
    ASSERT_EQ(t.loadText("GEN-2,first\nGEN-2,second\ngen-4,lower\n"), 0);
    const std::pair<const char*, const char*> cases[] = {{"GEN-2", "first"}, {"gen-4", "lower"},
                                                         {"GEN-4", ""},      {"GEN-2 ", ""},
                                                         {"GEN", ""},        {"", ""}};
    for (const auto& [key, want] : cases)
        EXPECT_EQ(t.Find_DeviceId(QString::fromLatin1(key)), QString::fromLatin1(want)) << key;
}

TEST(DeviceIds, MissingOrEmptyFileFailsAndLeavesNoPairs) {
    QTemporaryDir dir;
    DeviceIdTable t;
    ASSERT_EQ(t.Load_DeviceIds(writeFile(dir, "A,1\n")), 0);
    EXPECT_EQ(t.Find_DeviceId(QStringLiteral("A")), QStringLiteral("1"));

    EXPECT_NE(t.Load_DeviceIds(writeFile(dir, "")), 0);
    EXPECT_TRUE(t.pairs().empty());

    ASSERT_EQ(t.Load_DeviceIds(writeFile(dir, "A,1\n")), 0);
    EXPECT_NE(t.Load_DeviceIds(dir.filePath(QStringLiteral("missing.ID"))), 0);
    EXPECT_TRUE(t.pairs().empty());
    EXPECT_EQ(t.Find_DeviceId(QStringLiteral("A")), QString());

    EXPECT_NE(t.Load_DeviceIds(dir.path()), 0); // a folder is not readable as a file
    // A file without end is refused, not read until memory runs out.
    EXPECT_NE(t.Load_DeviceIds(QStringLiteral("/dev/zero")), 0);
}
