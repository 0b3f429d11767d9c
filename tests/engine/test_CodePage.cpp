#include "engine/CodePage.h"
#include "engine/FixedText.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

using namespace velda;

namespace {

std::string bytes(const uint8_t* p, size_t n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

} // namespace

TEST(CodePage, FixedFieldsArePaddedAndNeverEndInHalfACharacter) {
    struct Case {
        QString text;
        size_t width;
        std::string expected;
    } cases[] = {
        {QStringLiteral("AB"), 5, "AB   "},
        {QString(), 3, "   "},
        {QStringLiteral("ABCDEFG"), 4, "ABCD"},
        // "ä" is two bytes: the third byte of the field cannot hold it.
        {QStringLiteral(u"äöü"), 5, "\xC3\xA4\xC3\xB6 "},
        {QStringLiteral(u"äöü"), 6, "\xC3\xA4\xC3\xB6\xC3\xBC"},
        // Three-byte Japanese characters in eight bytes: two fit.
        {QStringLiteral(u"電源設定"), 8, "\xE9\x9B\xBB\xE6\xBA\x90  "},
        // A four-byte character (surrogate pair) never splits.
        {QStringLiteral(u"A😀"), 4, "A   "},
        {QStringLiteral(u"A😀"), 5, "A\xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) {
        std::array<uint8_t, 16> field;
        field.fill(0xEE);
        putFixedText(field.data(), c.width, c.text);
        EXPECT_EQ(bytes(field.data(), c.width), c.expected) << c.text.toStdString();
        EXPECT_EQ(field[c.width], 0xEE) << "wrote past the field";
    }
}

TEST(CodePage, ReadingStopsAtNulAndKeepsTheWidth) {
    struct Case {
        std::string field;
        QString expected;
    } cases[] = {
        {std::string("AB\0CD", 5), QStringLiteral("AB   ")},
        {"ABCDE", QStringLiteral("ABCDE")},
        {std::string("\0BCDE", 5), QStringLiteral("     ")},
        {"\xC3\xA4\xC3\xB6 ", QStringLiteral(u"äö   ")},
        // A cut multi-byte character reads as one replacement, never more
        // characters than the field is wide.
        {"AB\xC3", QStringLiteral(u"AB\uFFFD")},
    };
    for (const Case& c : cases) {
        const QString s =
            getFixedText(reinterpret_cast<const uint8_t*>(c.field.data()), c.field.size());
        EXPECT_EQ(s, c.expected) << c.field;
        EXPECT_EQ(s.size(), qsizetype(c.field.size()));
    }
}

TEST(CodePage, RoundTripKeepsTextThatFits) {
    const QString texts[] = {QStringLiteral("WAVE1"), QStringLiteral(u"波形1"), QStringLiteral("")};
    for (const QString& t : texts) {
        uint8_t field[16];
        putFixedText(field, sizeof field, t);
        EXPECT_EQ(getFixedText(field, sizeof field).trimmed(), t);
    }
}

TEST(CodePage, FromCodePageStopsAtTheFirstNul) {
    const char buf[8] = {'d', 'a', 't', 'a', '\0', 'x', 'y', 'z'};
    EXPECT_EQ(fromCodePage(buf, sizeof buf), QStringLiteral("data"));
    EXPECT_EQ(fromCodePage("abc", 3), QStringLiteral("abc"));
    EXPECT_EQ(toCodePage(QStringLiteral(u"ä")), QByteArray("\xC3\xA4"));
}

TEST(CodePage, FixedWidthCutsOrPads) {
    EXPECT_EQ(fixedWidth(QStringLiteral("AB"), 4), QStringLiteral("AB  "));
    EXPECT_EQ(fixedWidth(QStringLiteral("ABCDEF"), 4), QStringLiteral("ABCD"));
    EXPECT_EQ(fixedWidth(QStringLiteral(u"AB😀"), 3), QStringLiteral("AB "));
}

TEST(FixedText, ConversionKeepsWidthForAnyInput) {
    const QString inputs[] = {QString(), QStringLiteral("x"), QString(40, QChar(0x65E5)),
                              QStringLiteral("a\U0001F600bcdefgh")};
    for (int width : {1, 2, 3, 8, 16}) {
        for (const QString& s : inputs) {
            const QByteArray b = toFixed8Bit(s, width);
            ASSERT_EQ(b.size(), width);
            // The bytes decode without a broken character.
            EXPECT_FALSE(QString::fromUtf8(b).contains(QChar::ReplacementCharacter));
            EXPECT_EQ(fromFixed8Bit(b.constData(), width).size(), width);
        }
    }
}
