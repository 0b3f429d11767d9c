#include "app/Captions.h"
#include "app/CaptionsWidget.h"
#include "app/MainCaptions.h"
#include "app/Messages.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

using namespace velda;

namespace {

struct LanguageGuard {
    explicit LanguageGuard(bool english) { Set_Language(english); }
    ~LanguageGuard() { Set_Language(true); }
};

// A main window with the controls the main caption tables name, less one
// label so a missing control shows.
struct MainForm {
    MainForm() {
        w.setObjectName(QStringLiteral("MainWindow"));
        auto* file = w.menuBar()->addMenu(QStringLiteral("x"));
        file->setObjectName(QStringLiteral("Menu_File"));
        file->addAction(QStringLiteral("x"))->setObjectName(QStringLiteral("Menu_FileNew"));
        file->addAction(QStringLiteral("x"))->setObjectName(QStringLiteral("Menu_Exit"));
        auto* central = new QWidget(&w);
        w.setCentralWidget(central);
        for (int i = 0; i < 2; ++i) {
            auto* l = new QLabel(central);
            l->setObjectName(controlName(QStringLiteral("Label_Zoom_X"), i));
            auto* o = new QRadioButton(central);
            o->setObjectName(controlName(QStringLiteral("Opt_Scope"), i));
            auto* x = new QComboBox(central);
            x->setObjectName(controlName(QStringLiteral("Comb_XZoom"), i));
            QObject::connect(x, &QComboBox::currentIndexChanged,
                             [this](int) { handlerSawFilling.push_back(ListFilling()); });
        }
        auto* y = new QComboBox(central);
        y->setObjectName(QStringLiteral("Comb_YZoom"));
        QObject::connect(y, &QComboBox::currentIndexChanged,
                         [this](int) { handlerSawFilling.push_back(ListFilling()); });
        auto* b = new QPushButton(central);
        b->setObjectName(QStringLiteral("Btn_Pattern(3)"));
        auto* frame = new QGroupBox(central);
        frame->setObjectName(QStringLiteral("Frm_Wave"));
    }
    template <class T> T* get(const char* name) { return w.findChild<T*>(QLatin1String(name)); }

    QMainWindow w;
    std::vector<bool> handlerSawFilling;
};

} // namespace

TEST(Captions, ListFillingGuardNestsAndRestores) {
    EXPECT_FALSE(ListFilling());
    {
        ListFillingGuard outer;
        EXPECT_TRUE(ListFilling());
        {
            ListFillingGuard inner;
            EXPECT_TRUE(ListFilling());
        }
        EXPECT_TRUE(ListFilling()); // the outer fill is still running
    }
    EXPECT_FALSE(ListFilling());
}

TEST(Captions, TableLooksUpByObjectNameInTheCurrentLanguage) {
    const CaptionTable t{
        {QStringLiteral("Btn_OK"), -1, QStringLiteral("OK"), QStringLiteral("了解")},
        {QStringLiteral("Opt_X"), 1, QStringLiteral("One"), QStringLiteral("一")}};
    EXPECT_EQ(t.text(QStringLiteral("Btn_OK")), QStringLiteral("OK"));
    EXPECT_EQ(t.text(QStringLiteral("Opt_X(1)")), QStringLiteral("One"));
    EXPECT_FALSE(t.text(QStringLiteral("Opt_X")).has_value());
    EXPECT_FALSE(t.text(QStringLiteral("Opt_X(0)")).has_value());
    LanguageGuard jp(false);
    EXPECT_EQ(t.text(QStringLiteral("Btn_OK")), QStringLiteral("了解"));
    EXPECT_EQ(t.text(QStringLiteral("Opt_X(1)")), QStringLiteral("一"));
}

TEST(Captions, MainTablesHoldTheirRowsInBothLanguages) {
    struct Case {
        const CaptionTable* table;
        const char* name;
        const char16_t* english;
        const char16_t* japanese;
    };
    const Case cases[] = {
        {&MainMenuCaptions(), "Menu_File", u"&File", u"ﾌｧｲﾙ(&F)"},
        {&MainMenuCaptions(), "Menu_FileSaveAs", u"Save &As(WDB)...", u"保存(独自形式)(&A)..."},
        {&MainMenuCaptions(), "Menu_FileSaveAs2", u"Save As(&TXT)...", u"保存(ﾃｷｽﾄ形式)(&T)..."},
        {&MainMenuCaptions(), "Menu_Compress", u"Com&press/Decompress", u"圧縮/伸張(&P)..."},
        {&MainMenuCaptions(), "Menu_System", u"&Setup...", u"ｼｽﾃﾑ設定(&S)..."},
        {&MainMenuCaptions(), "Menu_Version", u"&About", u"ﾊﾞｰｼﾞｮﾝ情報(&A)"},
        {&MainMenuCaptions(), "Menu_Help", u"&Contents", u"目次(&C)"},
        {&MainLabelCaptions(), "Label_Mouse_Point(1)", u"Mouse", u"ﾏｳｽ位置"},
        {&MainLabelCaptions(), "Label_MarkA_Y", u"   A(Y)", u"   A(Y)"},
        {&MainLabelCaptions(), "Label_MarkB_X", u"Mrk&B(X)", u"ﾏｰｶ&B(X)"},
        {&MainLabelCaptions(), "Opt_Scope(1)", u"t&Rack", u"連動(&R)"},
        {&MainLabelCaptions(), "Btn_Pattern(2)", u"Invert(&/)", u"反転(&/)"},
    };
    for (const Case& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        EXPECT_EQ(c.table->text(name, true), QString::fromUtf16(c.english)) << c.name;
        EXPECT_EQ(c.table->text(name, false), QString::fromUtf16(c.japanese)) << c.name;
    }
    // The 25 items of the menu tree and the main help command's own item.
    EXPECT_EQ(MainMenuCaptions().rows().size(), 26u);
    EXPECT_EQ(MainLabelCaptions().rows().size(), 16u);
    // No control is listed twice.
    for (const CaptionTable* t : {&MainMenuCaptions(), &MainLabelCaptions()}) {
        QStringList names;
        for (const CaptionRow& r : t->rows())
            names << r.objectName();
        EXPECT_EQ(names.removeDuplicates(), 0);
    }
}

TEST(Captions, ZoomListItems) {
    EXPECT_EQ(YZoomItems(),
              QStringList({"1:1", "1:2", "1:4", "1:8", "1:16", "1:32", "1:64", "1:128", "1:256"}));
    EXPECT_EQ(XZoomItems(),
              QStringList({"1:1", "1:2", "1:4", "1:8", "1:16", "1:32", "1:64", "1:128"}));
}

TEST(CaptionsWidget, MainMenusSetCaptionsAndFillListsWithoutRunningHandlers) {
    MainForm f;
    const QStringList missing = Set_MainMenus(&f.w);
    EXPECT_EQ(f.get<QMenu>("Menu_File")->title(), QStringLiteral("&File"));
    auto actions = f.w.findChildren<QAction*>(QStringLiteral("Menu_FileNew"));
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("&New"));
    EXPECT_TRUE(missing.contains(QStringLiteral("Menu_Version")));
    EXPECT_FALSE(missing.contains(QStringLiteral("Menu_Exit")));

    auto* y = f.get<QComboBox>("Comb_YZoom");
    EXPECT_EQ(y->count(), 9);
    EXPECT_EQ(y->currentIndex(), 0);
    EXPECT_EQ(f.get<QComboBox>("Comb_XZoom(1)")->count(), 8);
    EXPECT_EQ(f.get<QComboBox>("Comb_XZoom(1)")->itemText(7), QStringLiteral("1:128"));
    ASSERT_FALSE(f.handlerSawFilling.empty());
    for (bool filling : f.handlerSawFilling)
        EXPECT_TRUE(filling);
    EXPECT_FALSE(ListFilling());

    // Filling again replaces the items rather than adding more.
    Set_MainMenus(&f.w);
    EXPECT_EQ(y->count(), 9);
}

TEST(CaptionsWidget, MainLabelsInEitherLanguage) {
    for (bool english : {true, false}) {
        LanguageGuard lang(english);
        MainForm f;
        const QStringList missing = Set_MainLabels(&f.w);
        EXPECT_EQ(f.get<QLabel>("Label_Zoom_X(1)")->text(),
                  english ? QStringLiteral("&Horiz") : QStringLiteral("横(&H)"));
        EXPECT_EQ(f.get<QRadioButton>("Opt_Scope(0)")->text(),
                  english ? QStringLiteral("&Indep") : QStringLiteral("独立(&I)"));
        EXPECT_EQ(f.get<QPushButton>("Btn_Pattern(3)")->text(),
                  english ? QStringLiteral("Pattern(&*)") : QStringLiteral("ﾊﾟﾀｰﾝ(&*)"));
        EXPECT_TRUE(missing.contains(QStringLiteral("Label_MarkA_X")));
        EXPECT_FALSE(missing.contains(QStringLiteral("Opt_Scope(1)")));
    }
}

TEST(CaptionsWidget, GroupBoxesAndTheFormItselfGetTitles) {
    MainForm f;
    const CaptionTable t{
        {QStringLiteral("Frm_Wave"), -1, QStringLiteral("Wave"), QStringLiteral("波形")},
        {QStringLiteral("MainWindow"), -1, QStringLiteral("Main"), QStringLiteral("主")}};
    EXPECT_TRUE(applyCaptions(&f.w, t).isEmpty());
    EXPECT_EQ(f.get<QGroupBox>("Frm_Wave")->title(), QStringLiteral("Wave"));
    EXPECT_EQ(f.w.windowTitle(), QStringLiteral("Main"));
}

TEST(CaptionsWidget, ApplyFontReachesEveryControlAndClearsBold) {
    MainForm f;
    auto* label = f.get<QLabel>("Label_Zoom_X(0)");
    QFont bold = label->font();
    bold.setBold(true);
    bold.setPointSize(20);
    label->setFont(bold);
    Apply_Font(&f.w, QStringLiteral("Arial"), 9);
    for (QWidget* w : f.w.findChildren<QWidget*>()) {
        EXPECT_EQ(w->font().family(), QStringLiteral("Arial")) << w->objectName().toStdString();
        EXPECT_EQ(w->font().pointSizeF(), 9.0) << w->objectName().toStdString();
        EXPECT_FALSE(w->font().bold()) << w->objectName().toStdString();
    }
    EXPECT_EQ(f.w.font().pointSizeF(), 9.0);
}
