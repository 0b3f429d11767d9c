#include "TestSupport.h"
#include "app/Messages.h"

#include <gtest/gtest.h>
#include <set>

using namespace velda;

namespace {

// The numbers that carry a text; every other number in 0..250 has none.
const std::set<int> kListed = {0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  18,
                               20,  21,  30,  71,  72,  80,  81,  82,  83,  98,  99,  100, 101, 102,
                               103, 104, 105, 106, 107, 108, 110, 111, 112, 113, 114, 115, 116, 117,
                               118, 200, 201, 202, 203, 204, 205, 206, 207, 208, 210, 212, 214, 215,
                               216, 220, 221, 223, 224, 225, 226, 227, 228, 230, 240, 241};

struct LanguageGuard {
    explicit LanguageGuard(bool english) { Set_Language(english); }
    ~LanguageGuard() { Set_Language(true); }
};

} // namespace

TEST(Messages, EveryNumberEndsWithOneCarriageReturnInBothLanguages) {
    for (bool english : {true, false}) {
        LanguageGuard lang(english);
        for (int n = -2; n <= 252; ++n) {
            const QString m = GetMessage(n);
            ASSERT_TRUE(m.endsWith(QLatin1Char('\r'))) << n << " english=" << english;
            const bool listed = n >= 0 && n <= 250 && kListed.count(n);
            if (!listed)
                EXPECT_EQ(m, QStringLiteral("\r")) << n << " english=" << english;
            else
                EXPECT_GT(m.size(), 1) << n << " english=" << english;
        }
    }
}

TEST(Messages, ListedNumbersHaveTextsInBothLanguagesAndOthersNone) {
    for (int n = 0; n < MessageCount; ++n) {
        const bool listed = kListed.count(n) > 0;
        EXPECT_EQ(!MessageText(n, true).isEmpty(), listed) << n;
        EXPECT_EQ(!MessageText(n, false).isEmpty(), listed) << n;
    }
}

TEST(Messages, TextsAreTheTableTexts) {
    struct Row {
        int n;
        const char16_t* english;
        const char16_t* japanese;
    };
    const Row rows[] = {
        {0, u"System Exit.", u"システムを終了します。"},
        {10, u"Memory Allocation Failed.", u"メモリを獲得できませんでした。"},
        {98, u"Exit Program. Are you sure?", u"プログラムを終了します。よろしいですか？"},
        {99, u"Cannot find help file.", u"ヘルプファイルが見つかりません。"},
        {111, u"Unbalance of parenthesis.", u"[]が不揃いです。"},
        {226, u"Interface Busy. Press 'Copy Wave Data' Cancel button.",
         u"Interface は使用中です。波形転送を中断、\rまたは完了してから終了してください。"},
        {241, u"Invalid file format.", u"ファイルフォーマットが不正です。"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(MessageText(r.n, true), QString::fromUtf16(r.english)) << r.n;
        EXPECT_EQ(MessageText(r.n, false), QString::fromUtf16(r.japanese)) << r.n;
        LanguageGuard jp(false);
        EXPECT_EQ(GetMessage(r.n), QString::fromUtf16(r.japanese) + QLatin1Char('\r'));
    }
}

TEST(Messages, ComposedTextKeepsEachMessageOnItsOwnLine) {
    const QString text = GetMessage(10) + GetMessage(0);
    EXPECT_EQ(text, QStringLiteral("Memory Allocation Failed.\rSystem Exit.\r"));
}

TEST(Messages, BoxesCarryTheirTitleIconAndButtons) {
    struct Case {
        const char* what;
        std::function<Answer()> show;
        QString title;
        QString text;
        BoxIcon icon;
        BoxButtons buttons;
    };
    const std::vector<Case> cases = {
        {"ShowError",
         [] {
             ShowError(99);
             return Answer::Ok;
         },
         QStringLiteral("Error Message"), QStringLiteral("Cannot find help file.\r"), BoxIcon::None,
         BoxButtons::Ok},
        {"ShowErrorText",
         [] {
             ShowErrorText(QStringLiteral("free text"));
             return Answer::Ok;
         },
         QStringLiteral("Error Message"), QStringLiteral("free text"), BoxIcon::None,
         BoxButtons::Ok},
        {"ShowWarning", [] { return ShowWarning(QStringLiteral("careful")); },
         QStringLiteral("Warning Message"), QStringLiteral("careful"), BoxIcon::Stop,
         BoxButtons::YesNo},
        {"AskCaution", [] { return AskCaution(98); }, QStringLiteral("Caution Message"),
         QStringLiteral("Exit Program. Are you sure?\r"), BoxIcon::Question, BoxButtons::YesNo},
        {"ShowCautionStop",
         [] {
             ShowCautionStop(GetMessage(226));
             return Answer::Ok;
         },
         QStringLiteral("Caution Message"), GetMessage(226), BoxIcon::Stop, BoxButtons::Ok},
        {"ShowStop",
         [] {
             ShowStop(QStringLiteral("VELDA"), QStringLiteral("Lost the file of USBTMC.ID"));
             return Answer::Ok;
         },
         QStringLiteral("VELDA"), QStringLiteral("Lost the file of USBTMC.ID"), BoxIcon::Stop,
         BoxButtons::Ok},
    };
    for (const Case& c : cases) {
        test::RecordingPrompts rec;
        c.show();
        ASSERT_EQ(rec.boxes.size(), 1u) << c.what;
        EXPECT_EQ(rec.boxes[0].title, c.title) << c.what;
        EXPECT_EQ(rec.boxes[0].text, c.text) << c.what;
        EXPECT_EQ(rec.boxes[0].icon, c.icon) << c.what;
        EXPECT_EQ(rec.boxes[0].buttons, c.buttons) << c.what;
    }
}

TEST(Messages, YesNoBoxesReturnTheUsersAnswer) {
    for (Answer a : {Answer::Yes, Answer::No}) {
        test::RecordingPrompts rec;
        rec.answers = {a, a};
        EXPECT_EQ(AskCaution(98), a);
        EXPECT_EQ(ShowWarning(QStringLiteral("w")), a);
    }
}

TEST(Messages, TitlesStayTheSameInJapanese) {
    LanguageGuard jp(false);
    test::RecordingPrompts rec;
    ShowError(99);
    AskCaution(98);
    ASSERT_EQ(rec.boxes.size(), 2u);
    EXPECT_EQ(rec.boxes[0].title, QStringLiteral("Error Message"));
    EXPECT_EQ(rec.boxes[0].text, QStringLiteral("ヘルプファイルが見つかりません。\r"));
    EXPECT_EQ(rec.boxes[1].title, QStringLiteral("Caution Message"));
}

TEST(Messages, FontsFollowTheLanguage) {
    EXPECT_EQ(FormFontName(), QStringLiteral("Arial"));
    EXPECT_EQ(SymbolFontName(), QStringLiteral("Arial"));
    LanguageGuard jp(false);
    EXPECT_EQ(FormFontName(), QStringLiteral("ＭＳ ゴシック"));
    EXPECT_EQ(SymbolFontName(), QStringLiteral("Symbol"));
}
