// The Create dialog driven through its controls by objectName on a real
// program and main window; boxes are answered and recorded by the test.
#include "ProgramWindowFixture.h"
#include "TestSupport.h"

#include "app/Captions.h"
#include "app/CaptionsWidget.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "app/Twips.h"
#include "document/MainWindow.h"
#include "engine/eval32.h"
#include "engine/wavelb32.h"
#include "engine/wavelb32_make.h"
#include "tools/CreateCaptions.h"
#include "tools/CreateDialog.h"
#include "tools/CreateEdits.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

using namespace velda;
using namespace velda::tools;
using velda::test::RecordingPrompts;

namespace {

constexpr int16_t kSentinel = 1234;

class CreateDialogTest : public test::ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        n = doc().N();
        ASSERT_GE(n, 4000);
    }
    void TearDown() override {
        dialog.reset();
        ProgramWindowTest::TearDown();
    }

    CreatePages& pages() { return program->Pages; }
    const UnitContext& units() { return program->Units; }

    CreateDialog& open(bool toWave = true, WaveHandle operand = 0) {
        CreateDialog::Host host;
        host.markersChanged = [this] { ++markerRedraws; };
        host.showHelp = [this](int index) {
            helpAsked.push_back(index);
            return true;
        };
        dialog = std::make_unique<CreateDialog>(*program, std::move(host), window.get());
        dialog->Prepare(toWave, operand);
        dialog->show();
        return *dialog;
    }

    template <typename T> T* find(const QString& name) {
        return test::control<T>(dialog.get(), name);
    }
    QLineEdit* box(const char* name, int i = -1) {
        return find<QLineEdit>(controlName(QLatin1String(name), i));
    }
    QPushButton* button(const char* name, int i = -1) {
        return test::button(dialog.get(), name, i);
    }

    // Types into a field and leaves it with Enter.
    void type(QLineEdit* e, const QString& text) {
        e->clear();
        QTest::keyClicks(e, text);
        QTest::keyClick(e, Qt::Key_Return);
    }
    // Types into a text box and takes the focus away from it.
    void type(QPlainTextEdit* e, const QString& text) {
        e->clear();
        QTest::keyClicks(e, text);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(e, &out);
    }
    void click(QPushButton* b) { test::click(b); }

    void fillDocument(int16_t value) {
        auto w = engine::bufferWords(doc().CurrentBuf());
        std::fill(w.begin(), w.end(), value);
    }
    int16_t docWord(int i) {
        return engine::bufferWords(doc().CurrentBuf())[static_cast<size_t>(i)];
    }
    int16_t workWord(int i) { return engine::bufferWords(doc().WorkBuf1)[static_cast<size_t>(i)]; }

    // The sine W_MakeSin writes for a run, as reference.
    std::vector<int16_t> referenceSine(double count, double offset, double ampl, double cycle,
                                       double phase) {
        const WaveHandle h = W_AllocMemory(n);
        W_MakeSin(h, 0, count, offset, ampl, cycle, phase);
        auto w = engine::bufferWords(h);
        std::vector<int16_t> out(w.begin(), w.begin() + static_cast<qsizetype>(count));
        W_FreeMemory(h);
        return out;
    }

    void setPage(int page, int func, double start, double end, bool on = true) {
        CreatePageRecord& p = pages().CreatePage(page);
        p.FuncType = static_cast<int16_t>(func);
        p.AreaStart = start;
        p.AreaEnd = end;
        p.Size() = end - start;
        p.Effect = on ? PageTrue : PageFalse;
        p.Visited = on ? PageTrue : PageFalse;
    }

    std::unique_ptr<CreateDialog> dialog;
    int n = 0;
    int markerRedraws = 0;
    std::vector<int> helpAsked;
};

} // namespace

TEST_F(CreateDialogTest, EveryCaptionedControlExistsAndLabelsNameTheirFields) {
    open();
    EXPECT_TRUE(applyCaptions(dialog.get(), CreateCaptions()).isEmpty())
        << applyCaptions(dialog.get(), CreateCaptions()).join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("VELDA - Waveform Create"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("Label_Param(3)"))->text(), QStringLiteral("&Period"));
    EXPECT_EQ(button("Btn_Confirm")->text(), QStringLiteral("All Page O&K"));
    for (int i = 0; i < ParamCount; ++i)
        EXPECT_EQ(find<QLabel>(controlName(QStringLiteral("Label_Param"), i))->buddy(),
                  box("Text", i));
    EXPECT_EQ(find<QLabel>(QStringLiteral("Label_Wave"))->buddy(), dialog->Comb_Wave);
    EXPECT_EQ(find<QLabel>(QStringLiteral("Label_Const"))->buddy(), dialog->Txt_Const);
    EXPECT_EQ(find<QLabel>(QStringLiteral("Label_Scope_X"))->buddy(), box("Text_X", 0));
    const QStringList items = {QStringLiteral("Sin"),      QStringLiteral("Triangle"),
                               QStringLiteral("Square"),   QStringLiteral("Noise"),
                               QStringLiteral("DC Volts"), QStringLiteral("Expression")};
    ASSERT_EQ(dialog->Comb_Wave->count(), items.size());
    for (int i = 0; i < items.size(); ++i)
        EXPECT_EQ(dialog->Comb_Wave->itemText(i), items[i]);
    for (int i = 0; i < UnitTextCount; ++i)
        EXPECT_EQ(pages().UnitText[static_cast<size_t>(i)], UnitTextItem(i, true));
    // The expression-file items and printing work.
    EXPECT_TRUE(dialog->Menu_FileOpen->isEnabled());
    EXPECT_TRUE(dialog->Menu_FileSave->isEnabled());
    EXPECT_TRUE(dialog->Menu_Print->isEnabled());
    EXPECT_TRUE(dialog->Menu_Clear->isEnabled());
}

TEST_F(CreateDialogTest, JapaneseCaptionsWhenTheLanguageIsJapanese) {
    Set_Language(false);
    open();
    Set_Language(true);
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("VELDA - 波形生成"));
    EXPECT_EQ(dialog->Comb_Wave->itemText(4), QStringLiteral("DC"));
    EXPECT_EQ(button("Btn_OK")->text(), QString::fromUtf8("ﾍﾟｰｼﾞOK(&G)"));
    EXPECT_EQ(pages().UnitText[0], QString::fromUtf8("<単位設定>"));
}

TEST_F(CreateDialogTest, OpeningWithNoPageOnTakesTheMarkedArea) {
    doc().CurArea() = {100, 300};
    open();
    const CreatePageRecord& p = pages().CreatePage(1);
    EXPECT_EQ(pages().CurPage, 1);
    EXPECT_EQ(p.AreaStart, 100);
    EXPECT_EQ(p.AreaEnd, 300);
    EXPECT_EQ(p.Size(), 200);
    EXPECT_TRUE(p.Effect);
    EXPECT_TRUE(dialog->Opt_effect[0]->isChecked());
    EXPECT_EQ(box("Txt_Page")->text(), QStringLiteral("1"));
    EXPECT_EQ(box("Text_X", 0)->text(), units().Point_To_XTextLong(100));
    EXPECT_EQ(box("Text_X", 1)->text(), units().Point_To_XTextLong(300));
    EXPECT_EQ(box("Text", 1)->text(), units().Point_To_XText(200));
    EXPECT_EQ(dialog->CreateBuf, doc().WorkBuf1);
    // The default page is a full-scale sine, generated at once.
    EXPECT_EQ(workWord(100), 0);
    EXPECT_GT(workWord(150), 32000);
    EXPECT_LT(workWord(250), -32000);
}

TEST_F(CreateDialogTest, OpeningShowsTheFirstPageSwitchedOn) {
    setPage(4, FuncSquare, 10, 20);
    setPage(9, FuncDC, 30, 40);
    doc().CurArea() = {0, 5};
    open();
    EXPECT_EQ(pages().CurPage, 4);
    EXPECT_EQ(dialog->Comb_Wave->currentIndex(), FuncSquare);
    EXPECT_EQ(doc().CurArea().StartX, 10);
    EXPECT_EQ(doc().CurArea().EndX, 20);
    EXPECT_FALSE(pages().CreatePage(1).Effect) << "page 1 must not take the area";
}

TEST_F(CreateDialogTest, SinePageIsWrittenBetweenTheMarkers) {
    fillDocument(kSentinel);
    doc().CurArea() = {1000, 2000};
    open();
    type(box("Text", ParamAmpl), QStringLiteral("20000"));
    type(box("Text", ParamCycle), QStringLiteral("2"));
    type(box("Text", ParamPhase), QStringLiteral("90"));
    click(button("Btn_OK"));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(prompts.boxes.empty());
    const auto ref = referenceSine(1000, 0, 20000, 2, 90);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(docWord(1000 + i), ref[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(docWord(1000), 10000) << "a sine at 90 degrees starts at its top";
    EXPECT_EQ(docWord(1250), -10000) << "two periods: a quarter of the area is half a period";
    EXPECT_EQ(docWord(999), kSentinel);
    EXPECT_EQ(docWord(2000), kSentinel);
    EXPECT_TRUE(doc().UndoEnabled());
}

TEST_F(CreateDialogTest, AllPageOkKeepsEarlierPagesAndShowsThePageInError) {
    fillDocument(kSentinel);
    setPage(3, FuncSin, 0, 100);
    pages().CreatePage(3).Ampl() = 20000;
    setPage(7, FuncExpression, 200, 300);
    pages().CreatePage(7).ExprText = QStringLiteral("x+*2");
    setPage(9, FuncDC, 400, 450);
    pages().CreatePage(9).Offset() = 777;
    open();
    EXPECT_EQ(pages().CurPage, 3);
    click(button("Btn_Confirm"));

    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, GetMessage(100));
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("Error Message"));
    EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open";
    EXPECT_EQ(pages().CurPage, 7);
    EXPECT_EQ(box("Txt_Page")->text(), QStringLiteral("7"));
    EXPECT_EQ(dialog->Comb_Wave->currentIndex(), FuncExpression);
    EXPECT_EQ(dialog->Txt_Expr->toPlainText(), QStringLiteral("x+*2"));
    const auto ref = referenceSine(100, 0, 20000, 1, 0);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(docWord(i), ref[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(docWord(425), 777) << "later pages still run";
    EXPECT_EQ(docWord(250), kSentinel) << "the failed page writes nothing";
    EXPECT_EQ(docWord(150), kSentinel);
    EXPECT_EQ(doc().CurArea().StartX, 200);
}

TEST_F(CreateDialogTest, AllPageOkOverlappingPagesLaterWins) {
    fillDocument(kSentinel);
    setPage(2, FuncDC, 0, 200);
    pages().CreatePage(2).Offset() = 100;
    setPage(5, FuncDC, 150, 300);
    pages().CreatePage(5).Offset() = -300;
    open();
    click(button("Btn_Confirm"));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(docWord(149), 100);
    EXPECT_EQ(docWord(150), -300);
    EXPECT_EQ(docWord(299), -300);
    EXPECT_EQ(docWord(300), kSentinel);
}

TEST_F(CreateDialogTest, AllPageOkWithNoPageOnJustCloses) {
    fillDocument(kSentinel);
    open();
    pages().CreatePage(1).Effect = PageFalse;
    click(button("Btn_Confirm"));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(docWord(10), kSentinel);
    EXPECT_FALSE(doc().UndoEnabled());
}

TEST_F(CreateDialogTest, CancelLeavesTheDocumentUnchanged) {
    fillDocument(kSentinel);
    doc().CurArea() = {0, 500};
    open();
    type(box("Text", ParamAmpl), QStringLiteral("30000"));
    dialog->Comb_Wave->setCurrentIndex(FuncNoise);
    click(button("Btn_Cancel"));
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(dialog->Cancelled);
    for (int i = 0; i < n; i += 97)
        ASSERT_EQ(docWord(i), kSentinel) << i;
    EXPECT_FALSE(doc().UndoEnabled());
    // The page store keeps the edits for the next opening.
    EXPECT_EQ(pages().CreatePage(1).FuncType, FuncNoise);
    EXPECT_EQ(pages().CreatePage(1).Ampl(), 30000);
}

TEST_F(CreateDialogTest, PageOkOfAPageSwitchedOffCopiesNothing) {
    fillDocument(kSentinel);
    doc().CurArea() = {0, 500};
    open();
    type(box("Text", ParamAmpl), QStringLiteral("30000"));
    QTest::mouseClick(dialog->Opt_effect[1], Qt::LeftButton);
    EXPECT_FALSE(pages().CreatePage(1).Effect);
    click(button("Btn_OK"));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(docWord(100), kSentinel);
}

TEST_F(CreateDialogTest, PageClearResetsTheValuesButKeepsFunctionAndArea) {
    doc().CurArea() = {100, 400};
    open();
    dialog->Comb_Wave->setCurrentIndex(FuncSquare);
    type(box("Text", ParamOffset), QStringLiteral("500"));
    type(box("Text", ParamDuty), QStringLiteral("25"));
    dialog->Menu_Clear->trigger();
    const CreatePageRecord& p = pages().CreatePage(1);
    EXPECT_EQ(p.FuncType, FuncSquare);
    EXPECT_EQ(p.AreaStart, 100);
    EXPECT_EQ(p.AreaEnd, 400);
    EXPECT_EQ(p.Size(), 300);
    EXPECT_EQ(p.Offset(), 0);
    EXPECT_EQ(p.Duty(), 50);
    EXPECT_EQ(p.Ampl(), 65534);
    EXPECT_FALSE(p.Effect);
    EXPECT_FALSE(p.Visited);
    EXPECT_EQ(box("Text", ParamDuty)->text(), QStringLiteral("50"));
    EXPECT_EQ(box("Text", ParamOffset)->text(), units().Word_To_YText(0));
    EXPECT_TRUE(dialog->Opt_effect[1]->isChecked()) << "the cleared page is shown switched off";
    // The preview shows the default square again: a quarter in is high.
    EXPECT_GT(workWord(100 + 75), 32000);
}

TEST_F(CreateDialogTest, AllPageClearResetsEveryPage) {
    setPage(4, FuncSquare, 10, 20);
    setPage(120, FuncDC, 30, 40);
    open();
    dialog->Menu_AllClear->trigger();
    EXPECT_EQ(pages().CurPage, 1);
    EXPECT_EQ(pages().First_Effect_Page(), 0);
    EXPECT_EQ(pages().CreatePage(4).FuncType, FuncSin);
    EXPECT_EQ(pages().CreatePage(120).AreaEnd, 0);
    EXPECT_EQ(box("Txt_Page")->text(), QStringLiteral("1"));
    EXPECT_EQ(dialog->Comb_Wave->currentIndex(), FuncSin);
}

TEST_F(CreateDialogTest, PageButtonsGiveAFreshPageThePreviousFunction) {
    open();
    dialog->Comb_Wave->setCurrentIndex(FuncTriangle);
    click(button("Cmd_Page", 2)); // next: fresh page 2
    EXPECT_EQ(pages().CurPage, 2);
    EXPECT_EQ(pages().CreatePage(2).FuncType, FuncTriangle);
    EXPECT_EQ(dialog->Comb_Wave->currentIndex(), FuncTriangle);
    EXPECT_TRUE(box("Text", ParamSymm)->isVisibleTo(dialog.get()));
    EXPECT_TRUE(dialog->Regenerate);
    EXPECT_TRUE(dialog->Opt_effect[1]->isChecked());
    EXPECT_FALSE(pages().CreatePage(2).Effect) << "looking at a page does not switch it on";

    // A typed page number does not carry the function.
    type(box("Txt_Page"), QStringLiteral("6"));
    EXPECT_EQ(pages().CurPage, 6);
    EXPECT_EQ(pages().CreatePage(6).FuncType, FuncSin);

    // A visited page keeps its own function.
    setPage(7, FuncDC, 0, 10);
    dialog->Comb_Wave->setCurrentIndex(FuncNoise); // page 6 becomes a visited noise page
    click(button("Cmd_Page", 2));
    EXPECT_EQ(pages().CurPage, 7);
    EXPECT_EQ(pages().CreatePage(7).FuncType, FuncDC);
    EXPECT_EQ(doc().CurArea().EndX, 10);
}

TEST_F(CreateDialogTest, FirstAndLastButtonsAndTypedNumbers) {
    setPage(5, FuncSin, 0, 10);
    setPage(60, FuncSin, 0, 10);
    open();
    ASSERT_EQ(pages().CurPage, 5);
    click(button("Cmd_Page", 3));
    EXPECT_EQ(pages().CurPage, 60);
    click(button("Cmd_Page", 0));
    EXPECT_EQ(pages().CurPage, 5);
    type(box("Txt_Page"), QStringLiteral("1"));
    ASSERT_EQ(pages().CurPage, 1);
    click(button("Cmd_Page", 0)); // nothing at page 1, though page 1 is off
    EXPECT_EQ(pages().CurPage, 1);
    click(button("Cmd_Page", 1));
    EXPECT_EQ(pages().CurPage, 1);
    type(box("Txt_Page"), QStringLiteral("999"));
    EXPECT_EQ(pages().CurPage, 200);
    EXPECT_EQ(box("Txt_Page")->text(), QStringLiteral("200"));
    click(button("Cmd_Page", 2));
    EXPECT_EQ(pages().CurPage, 200);
    type(box("Txt_Page"), QString());
    EXPECT_EQ(pages().CurPage, 1);
}

TEST_F(CreateDialogTest, EditingAFreshPageSwitchesItOn) {
    open();
    type(box("Txt_Page"), QStringLiteral("2"));
    ASSERT_TRUE(dialog->Opt_effect[1]->isChecked());
    type(box("Text", ParamOffset), QStringLiteral("100"));
    EXPECT_TRUE(pages().CreatePage(2).Effect);
    EXPECT_TRUE(pages().CreatePage(2).Visited);
    EXPECT_TRUE(dialog->Opt_effect[0]->isChecked());
}

TEST_F(CreateDialogTest, RefusedValuesShowTheStoredValueAgain) {
    doc().CurArea() = {100, 300};
    open();
    struct Case {
        int i;
        QString typed;
        QString shown;
    };
    const Case cases[] = {
        {ParamSize, QString::number(n), units().Point_To_XText(200)}, // end beyond N
        {ParamSize, QStringLiteral("-5"), units().Point_To_XText(200)},
        {ParamCycle, QStringLiteral("-3"), QStringLiteral("1")},
    };
    for (const Case& c : cases) {
        type(box("Text", c.i), c.typed);
        EXPECT_EQ(box("Text", c.i)->text(), c.shown) << c.i << " " << c.typed.toStdString();
    }
    const CreatePageRecord& p = pages().CreatePage(1);
    EXPECT_EQ(p.AreaEnd, 300);
    EXPECT_EQ(p.Size(), 200);
    EXPECT_EQ(p.Cycle(), 1);
    EXPECT_EQ(doc().CurArea().EndX, 300);
}

TEST_F(CreateDialogTest, SizeMovesTheEndAndTheMarker) {
    doc().CurArea() = {100, 300};
    open();
    const int before = markerRedraws;
    type(box("Text", ParamSize), QStringLiteral("50"));
    EXPECT_TRUE(dialog->isVisible()) << "Enter in a field applies it and presses no button";
    const CreatePageRecord& p = pages().CreatePage(1);
    EXPECT_EQ(p.AreaEnd, 150);
    EXPECT_EQ(p.Size(), 50);
    EXPECT_EQ(doc().CurArea().EndX, 150);
    EXPECT_EQ(box("Text_X", 1)->text(), units().Point_To_XTextLong(150));
    EXPECT_GT(markerRedraws, before);
}

TEST_F(CreateDialogTest, AreaEditsMoveBothEndsAndTheMarkers) {
    doc().CurArea() = {100, 300};
    open();
    type(box("Text_X", 0), QStringLiteral("500"));
    const CreatePageRecord& p = pages().CreatePage(1);
    EXPECT_EQ(p.AreaStart, 500);
    EXPECT_EQ(p.AreaEnd, 500) << "the end is raised to the start";
    EXPECT_EQ(p.Size(), 0);
    type(box("Text_X", 1), QStringLiteral("900"));
    EXPECT_EQ(p.AreaEnd, 900);
    EXPECT_EQ(p.Size(), 400);
    EXPECT_EQ(box("Text", ParamSize)->text(), units().Point_To_XText(400));
    EXPECT_EQ(doc().CurArea().StartX, 500);
    EXPECT_EQ(doc().CurArea().EndX, 900);
    EXPECT_TRUE(dialog->Regenerate);
    EXPECT_GT(workWord(500 + 100), 32000) << "the page is generated on its new area";
}

TEST_F(CreateDialogTest, FunctionChoiceShowsItsParameters) {
    open();
    for (int f = FuncSin; f <= FuncExpression; ++f) {
        dialog->Comb_Wave->setCurrentIndex(f);
        EXPECT_EQ(pages().CreatePage(1).FuncType, f);
        EXPECT_EQ(dialog->Frame_Expr->isVisibleTo(dialog.get()), f == FuncExpression);
        EXPECT_EQ(dialog->Frame_Std->isVisibleTo(dialog.get()), f != FuncExpression);
        for (int i = 0; i < ParamCount; ++i)
            EXPECT_EQ(box("Text", i)->isVisibleTo(dialog.get()), Param_Visible(f, i))
                << "func " << f << " param " << i;
    }
    EXPECT_TRUE(dialog->Regenerate);
}

TEST_F(CreateDialogTest, ExpressionPageComputesAndIsWrittenByPageOk) {
    fillDocument(kSentinel);
    doc().CurArea() = {0, 1000};
    open();
    dialog->Comb_Wave->setCurrentIndex(FuncExpression);
    EXPECT_EQ(workWord(300), 0) << "an expression page is cleared until it is computed";
    type(dialog->Txt_Const, QStringLiteral("K = 1000"));
    type(dialog->Txt_Expr, QStringLiteral("int(x/100)*k"));
    EXPECT_TRUE(dialog->Regenerate);
    click(button("Btn_Comp"));
    EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(dialog->Regenerate);
    EXPECT_EQ(dialog->Txt_Const->toPlainText(), QStringLiteral("k = 1000"));
    EXPECT_EQ(workWord(250), 2000);
    click(button("Btn_OK"));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(docWord(250), 2000);
    EXPECT_EQ(docWord(999), 9000);
    EXPECT_EQ(docWord(1000), kSentinel);
}

// A paste takes no more than the page keeps, in place of the selection.
TEST_F(CreateDialogTest, APasteIntoTheExpressionBoxesTakesNoMoreThanThePageKeeps) {
    open();
    dialog->Comb_Wave->setCurrentIndex(FuncExpression);
    for (auto [edit, cap] : {std::pair{dialog->Txt_Expr, ExprTextLength},
                             std::pair{dialog->Txt_Const, ConstTextLength}}) {
        edit->setFocus();
        edit->setPlainText(QStringLiteral("ab"));
        QTextCursor c = edit->textCursor();
        c.setPosition(1);
        c.setPosition(2, QTextCursor::KeepAnchor); // "b" selected
        edit->setTextCursor(c);
        QGuiApplication::clipboard()->setText(QString(100000, QLatin1Char('x')));
        edit->paste();
        EXPECT_EQ(edit->toPlainText(), QLatin1Char('a') + QString(cap - 1, QLatin1Char('x')))
            << edit->objectName().toStdString();
    }
}

TEST_F(CreateDialogTest, PageOkEvaluatesAnExpressionNotYetComputed) {
    fillDocument(kSentinel);
    doc().CurArea() = {10, 20};
    open();
    dialog->Comb_Wave->setCurrentIndex(FuncExpression);
    type(dialog->Txt_Expr, QStringLiteral("x*100"));
    click(button("Btn_OK"));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(docWord(15), 1500);
    EXPECT_EQ(docWord(20), kSentinel);
}

TEST_F(CreateDialogTest, ExpressionErrorsShowTheirMessageAndWriteNothing) {
    struct Case {
        const char* constants;
        const char* expr;
        int message;
    };
    const Case cases[] = {
        {"a = ", "x", 18},        // a bad constant block
        {"", "1000/(x-15)", 104}, // a division by zero at one point only
        {"", "x+*2", 100},        // syntax
        {"", "sin(x", 102},       // parentheses
    };
    for (const Case& c : cases) {
        prompts.clear();
        doc().CurArea() = {10, 20};
        pages().AllClear();
        open();
        dialog->Comb_Wave->setCurrentIndex(FuncExpression);
        type(dialog->Txt_Const, QLatin1String(c.constants));
        type(dialog->Txt_Expr, QLatin1String(c.expr));
        auto work = engine::bufferWords(doc().WorkBuf1);
        std::fill(work.begin() + 10, work.begin() + 20, kSentinel);
        click(button("Btn_Comp"));
        ASSERT_EQ(prompts.boxes.size(), 1u) << c.expr;
        EXPECT_EQ(prompts.boxes[0].text, GetMessage(c.message)) << c.expr;
        EXPECT_EQ(workWord(12), kSentinel) << c.expr;
        EXPECT_TRUE(dialog->Regenerate) << c.expr;
        // Page OK fails the same way and keeps the dialog open.
        prompts.clear();
        click(button("Btn_OK"));
        EXPECT_TRUE(dialog->isVisible()) << c.expr;
        EXPECT_EQ(prompts.boxes.size(), 1u) << c.expr;
    }
}

TEST_F(CreateDialogTest, ExpressionInSecondsAndVolts) {
    SystemParameter& sp = program->Setup.Param;
    sp.XUnitMode = XUnitSec;
    sp.YUnitMode = YUnitVolt;
    sp.Amplitude = 10;
    sp.Offset = 0;
    fillDocument(kSentinel);
    doc().CurArea() = {0, static_cast<double>(n)};
    open();
    dialog->Comb_Wave->setCurrentIndex(FuncExpression);
    // Half the period in: x is a time; the level is in volts.
    type(dialog->Txt_Expr, QStringLiteral("1"));
    click(button("Btn_Comp"));
    ASSERT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(QLatin1Char('|')).toStdString();
    const int expected = static_cast<int>(std::lround(units().Y_To_Word(1)));
    EXPECT_EQ(workWord(n / 2), expected);
    type(dialog->Txt_Expr, QStringLiteral("x/") + Plain_Number_Text(sp.Period));
    click(button("Btn_Comp"));
    // x / Period runs 0..1 over the area: V at point n/2 is 0.5 V.
    EXPECT_NEAR(workWord(n / 2), units().Y_To_Word(0.5), 1.0);
}

TEST_F(CreateDialogTest, DraggingOnThePreviewChangesTheShape) {
    doc().CurArea() = {0, 1000};
    open();
    dialog->Comb_Wave->setCurrentIndex(FuncTriangle);
    QWidget* pict = find<QWidget>(QStringLiteral("PictWave"));
    const int w = pict->width();
    const int h = pict->height();
    auto drag = [&](QPointF from, QPointF to) {
        QMouseEvent press(QEvent::MouseButtonPress, from, pict->mapToGlobal(from), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pict, &press);
        QMouseEvent move(QEvent::MouseMove, to, pict->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(pict, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, to, pict->mapToGlobal(to), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(pict, &release);
    };
    const CreatePageRecord& p = pages().CreatePage(1);
    // Top quarter: 10 px right, 8 px up.
    drag(QPointF(w / 4.0, 2), QPointF(w / 4.0 + 10, -6));
    EXPECT_NEAR(p.Cycle(), 1 - 10 * 0.02, 1e-12);
    EXPECT_NEAR(p.Ampl(), 65534 + 8 * 65534.0 / h / 4, 1e-9);
    EXPECT_EQ(box("Text", ParamCycle)->text(), Plain_Number_Text(p.Cycle()));
    // Middle, left half: phase and offset.
    drag(QPointF(10, h / 2.0), QPointF(30, h / 2.0 + 4));
    EXPECT_NEAR(p.Phase(), -20 * 360.0 / w / 4, 1e-9);
    EXPECT_NEAR(p.Offset(), -4 * 65534.0 / h / 4, 1e-9);
    // Middle, right half of a triangle: symmetry.
    drag(QPointF(w - 30, h / 2.0), QPointF(w - 10, h / 2.0));
    EXPECT_NEAR(p.Symm(), 50 + 20 * 360.0 / w / 4, 1e-9);
    EXPECT_EQ(box("Text", ParamSymm)->text(), Plain_Number_Text(p.Symm()));
    // Shift held: no drag.
    const double symm = p.Symm();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(w - 30, h / 2.0), QPointF(), Qt::LeftButton,
                      Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(pict, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(w - 5, h / 2.0), QPointF(), Qt::NoButton,
                     Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(pict, &move);
    EXPECT_EQ(p.Symm(), symm);
}

TEST_F(CreateDialogTest, BothRandomGeneratorsTakeTheSameSeedAtStart) {
    open(); // a sine page: nothing random is drawn while the dialog starts
    const int32_t seed = dialog->Seed();
    EXPECT_GE(seed, 0);
    EXPECT_LE(seed, 100);
    auto draw = [](WaveHandle h) {
        W_MakeNoise(h, 0, 500, 0, 20000);
        int32_t pos = 0;
        EXPECT_EQ(EvalArray1(500, 500, h, pos, "rnd(x,10000)"), 0);
        auto w = engine::bufferWords(h);
        return std::vector<int16_t>(w.begin(), w.begin() + 1000);
    };
    const WaveHandle a = W_AllocMemory(1000);
    const WaveHandle b = W_AllocMemory(1000);
    const auto afterStart = draw(a);
    W_InitRand(seed);
    EvalInitRandom(seed);
    const auto reseeded = draw(b);
    EXPECT_EQ(afterStart, reseeded);
    W_InitRand(seed + 1);
    EvalInitRandom(seed + 1);
    EXPECT_NE(draw(b), reseeded) << "another seed gives other noise";
    W_FreeMemory(a);
    W_FreeMemory(b);
}

TEST_F(CreateDialogTest, WindowPositionIsRememberedInTwips) {
    open();
    dialog->move(140, 90);
    click(button("Btn_Cancel"));
    EXPECT_EQ(program->Registry->FormLeft(QStringLiteral("CreateDialog")),
              pixelsToTwips(dialog->x(), screenDpiX()));
    EXPECT_EQ(program->Registry->FormTop(QStringLiteral("CreateDialog")),
              pixelsToTwips(dialog->y(), screenDpiY()));
    const QPoint was = dialog->pos();
    dialog.reset();
    open();
    EXPECT_EQ(dialog->pos(), was);
}

TEST_F(CreateDialogTest, HelpButtonAsksForTheCreateHelp) {
    open();
    click(button("Btn_Help"));
    ASSERT_EQ(helpAsked.size(), 1u);
    EXPECT_EQ(helpAsked[0], 0);
}

// Pages made for a longer memory end at this one's last point.
TEST_F(CreateDialogTest, PagesBeyondTheWaveformAreCutToIt) {
    ASSERT_LT(n, 65000);
    for (const auto& [page, start, end] : {std::tuple{1, 100.0, 65536.0}, {2, 65000.0, 65536.0}}) {
        CreatePageRecord& p = pages().CreatePage(page);
        p.Effect = p.Visited = -1;
        p.AreaStart = start;
        p.AreaEnd = end;
        p.Size() = end - start;
    }
    open();
    EXPECT_EQ(doc().CurArea().EndX, n);
    EXPECT_EQ(pages().CreatePage(1).Size(), n - 100);
    EXPECT_EQ(pages().CreatePage(2).AreaStart, n);
    EXPECT_EQ(pages().CreatePage(2).Size(), 0);
}

TEST_F(CreateDialogTest, CreateForOperateUsesPageZeroFromPointZero) {
    const WaveHandle operand = W_AllocMemory(n);
    {
        auto w = engine::bufferWords(operand);
        std::fill(w.begin(), w.end(), kSentinel);
    }
    fillDocument(kSentinel);
    doc().CurArea() = {1000, 1100};
    open(false, operand);
    EXPECT_EQ(pages().CurPage, 0);
    EXPECT_FALSE(dialog->Panel_Page->isVisibleTo(dialog.get()));
    EXPECT_FALSE(button("Btn_Confirm")->isVisibleTo(dialog.get()));
    EXPECT_FALSE(box("Text", ParamSize)->isEnabled());
    EXPECT_TRUE(box("Text_X", 0)->isReadOnly());
    EXPECT_EQ(pages().CreatePage(0).AreaStart, 1000);
    EXPECT_EQ(pages().CreatePage(0).AreaEnd, 1100);
    dialog->Comb_Wave->setCurrentIndex(FuncDC);
    type(box("Text", ParamOffset), QStringLiteral("321"));
    EXPECT_EQ(engine::bufferWords(operand)[0], 321);
    EXPECT_EQ(engine::bufferWords(operand)[99], 321);
    EXPECT_EQ(engine::bufferWords(operand)[100], kSentinel);
    click(button("Btn_OK"));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(docWord(1050), kSentinel) << "the waveform is not written in this mode";
    EXPECT_FALSE(doc().UndoEnabled());

    // Cancel clears the created run.
    dialog.reset();
    open(false, operand);
    click(button("Btn_Cancel"));
    EXPECT_EQ(engine::bufferWords(operand)[50], 0);
    EXPECT_EQ(engine::bufferWords(operand)[100], kSentinel);
    EXPECT_EQ(pages().CreatePage(1).Effect, PageFalse) << "page 1 is not touched";
    W_FreeMemory(operand);
}

TEST_F(CreateDialogTest, ToolsMenuOpensTheDialogModally) {
    int16_t toolWhileOpen = -1;
    bool sawDialog = false;
    fillDocument(kSentinel);
    doc().CurArea() = {0, 100};
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<CreateDialog*>(QApplication::activeModalWidget());
        sawDialog = d != nullptr;
        toolWhileOpen = program->ActiveTool;
        if (d) {
            auto* amp = d->findChild<QLineEdit*>(QStringLiteral("Text(2)"));
            amp->clear();
            QTest::keyClicks(amp, QStringLiteral("1000"));
            QTest::keyClick(amp, Qt::Key_Return);
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("Btn_OK")), Qt::LeftButton);
        }
    });
    window->Menu_Create->trigger();
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(toolWhileOpen, ToolCreate);
    EXPECT_EQ(program->ActiveTool, ToolNone);
    EXPECT_FALSE(window->Opt_DlgSel[0]->isChecked());
    EXPECT_EQ(docWord(25), 500);
    EXPECT_EQ(window->Txt_Start_Y->text(), units().Word_To_YText(0));
    EXPECT_TRUE(window->Menu_Undo->isEnabled());
}

TEST_F(CreateDialogTest, ExpressionTooLongIsStoredCutAndShownSo) {
    open();
    dialog->Comb_Wave->setCurrentIndex(FuncExpression);
    const QString longText = QStringLiteral("x+").repeated(600) + QStringLiteral("1");
    dialog->Txt_Expr->setPlainText(longText);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(dialog->Txt_Expr, &out);
    EXPECT_EQ(pages().CreatePage(1).ExprText.size(), ExprTextLength);
    EXPECT_EQ(dialog->Txt_Expr->toPlainText(), pages().CreatePage(1).ExprText);
    EXPECT_TRUE(dialog->Regenerate);
}

TEST_F(CreateDialogTest, FileMenuSavesAndReadsThePagesAsAnExpressionFile) {
    CreateDialog& d = open();
    CreatePageRecord& p3 = pages().CreatePage(3);
    p3.Effect = p3.Visited = -1;
    p3.FuncType = FuncSquare;
    p3.AreaStart = 100;
    p3.AreaEnd = 900;
    p3.Ampl() = 30000;
    p3.Duty() = 25;
    CreatePageRecord& p7 = pages().CreatePage(7);
    p7.Effect = p7.Visited = -1;
    p7.FuncType = FuncExpression;
    p7.AreaStart = 0;
    p7.AreaEnd = 50;
    p7.Store_ConstText(QStringLiteral("f = 5"));
    p7.Store_ExprText(QStringLiteral("sin(2*pi*f*x/1000)*20000"));
    const CreatePageRecord saved3 = p3;
    const CreatePageRecord saved7 = p7;

    const QString path = dir.filePath(QStringLiteral("pages.wfn"));
    prompts.fileNames = {path};
    d.Menu_FileSave->trigger();
    ASSERT_TRUE(QFile::exists(path)) << prompts.boxTexts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(doc().FuncFileName, path);

    pages().AllClear();
    pages().CreatePage(12).Effect = -1; // a page the file does not have is cleared
    pages().CurPage = 12;
    prompts.fileNames = {path};
    d.Menu_FileOpen->trigger();
    EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(QLatin1Char('|')).toStdString();
    const CreatePageRecord& r3 = pages().CreatePage(3);
    EXPECT_EQ(r3.FuncType, saved3.FuncType);
    EXPECT_EQ(r3.Effect, -1);
    EXPECT_NEAR(r3.AreaStart, saved3.AreaStart, 1e-6);
    EXPECT_NEAR(r3.AreaEnd, saved3.AreaEnd, 1e-6);
    EXPECT_NEAR(r3.Ampl(), saved3.Ampl(), 1e-6);
    EXPECT_NEAR(r3.Duty(), saved3.Duty(), 1e-9);
    const CreatePageRecord& r7 = pages().CreatePage(7);
    EXPECT_EQ(r7.ConstText, saved7.ConstText);
    EXPECT_EQ(r7.ExprText, saved7.ExprText);
    EXPECT_EQ(pages().CreatePage(12).Effect, 0);
    EXPECT_EQ(pages().CurPage, CreatePages::FirstPage);

    // Opened from Operate the dialog stays on the marked area.
    const WaveHandle operand = W_AllocMemory(n);
    dialog.reset();
    doc().CurArea() = {1000, 1100};
    CreateDialog& op = open(false, operand);
    prompts.fileNames = {path};
    op.Menu_FileOpen->trigger();
    EXPECT_EQ(pages().CurPage, 0);
    EXPECT_EQ(doc().CurArea().StartX, 1000);
    EXPECT_EQ(doc().CurArea().EndX, 1100);
    EXPECT_EQ(pages().CreatePage(3).FuncType, saved3.FuncType);
    dialog.reset();
    W_FreeMemory(operand);
    CreateDialog& d2 = open();

    // A foreign file leaves the pages as they were and says so.
    QFile junk(dir.filePath(QStringLiteral("junk.wfn")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("\x01\x02 not pages");
    junk.close();
    prompts.fileNames = {junk.fileName()};
    d2.Menu_FileOpen->trigger();
    ASSERT_FALSE(prompts.boxes.empty());
    EXPECT_EQ(prompts.boxes.back().text, QStringLiteral("File Read error.\r"));
    EXPECT_EQ(pages().CreatePage(7).ExprText, saved7.ExprText);
}

// Size is the page's width: in a user X unit it is shown and typed as a
// distance, so the unit's start is never added to it.
TEST_F(CreateDialogTest, SizeIsAWidthInUserXUnits) {
    SystemParameter& sp = program->Setup.Param;
    sp.XUnitMode = 2;
    struct Row {
        double start, end;  // the user X range
        const char* shown;  // Size of a quarter of the waveform
        const char* typed;  // a width typed into Size
        const char* echoed; // the box afterwards
    };
    const Row rows[] = {
        {-180, 180, "90.00000", "45", "45.00000"},
        {10, 20, "2.500000", "1.25", "1.250000"},
        {100, 900, "200.0000", "100", "100.0000"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.shown);
        sp.UserXStart = r.start;
        sp.UserXEnd = r.end;
        pages().AllClear();
        doc().CurArea() = {n / 2.0, n * 3 / 4.0};
        open();
        EXPECT_EQ(box("Text", ParamSize)->text().toStdString(), r.shown);
        type(box("Text", ParamSize), QLatin1String(r.typed));
        const CreatePageRecord& p = pages().CreatePage(1);
        EXPECT_DOUBLE_EQ(p.AreaStart, n / 2.0);
        EXPECT_NEAR(p.AreaEnd, n / 2.0 + n / 8.0, 1e-6);
        EXPECT_EQ(box("Text", ParamSize)->text().toStdString(), r.echoed);
        dialog.reset();
    }
}

// A typed value too large for a number is refused: the box shows the stored
// value again and the page keeps it. A level beyond the full scale and a
// negative peak-to-peak are taken, as a drag or a page file gives them.
TEST_F(CreateDialogTest, OnlyValuesTooLargeForANumberAreRefused) {
    struct Row {
        int field;
        const char* typed;
        bool accepted;
        double value; // stored afterwards
    };
    const Row rows[] = {
        {ParamOffset, "1e400", false, 0},      {ParamOffset, "40000", true, 40000},
        {ParamOffset, "-40000", true, -40000}, {ParamOffset, "-32767", true, -32767},
        {ParamAmpl, "1e400", false, 65534},    {ParamAmpl, "70000", true, 70000},
        {ParamAmpl, "-5", true, -5},           {ParamAmpl, "30000", true, 30000},
        {ParamCycle, "1e400", false, 1},       {ParamCycle, "2", true, 2},
        {ParamPhase, "-1e400", false, 0},      {ParamPhase, "90", true, 90},
    };
    doc().CurArea() = {100, 300};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.field) + " " + r.typed);
        pages().AllClear();
        open();
        QLineEdit* field = box("Text", r.field);
        const QString before = field->text();
        type(field, QLatin1String(r.typed));
        const CreatePageRecord& p = pages().CreatePage(1);
        EXPECT_DOUBLE_EQ(p.Param[static_cast<size_t>(r.field)], r.value);
        if (!r.accepted) {
            EXPECT_EQ(field->text().toStdString(), before.toStdString());
        }
        dialog.reset();
    }
}

// The dialog's size follows its content: changing the function and back
// gives the same size again with no empty band, and a reopened dialog has
// the size of the first opening at its saved position.
TEST_F(CreateDialogTest, SizeFollowsTheContentAndReopensAsSaved) {
    open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    QComboBox* function = find<QComboBox>(QStringLiteral("Comb_Wave"));
    auto settle = [] {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    };
    settle();
    std::map<int, QSize> first; // the size each function was first shown at
    const int sequence[] = {FuncSin,        FuncExpression, FuncSin, FuncSquare,
                            FuncExpression, FuncDC,         FuncSin};
    for (int f : sequence) {
        SCOPED_TRACE(f);
        function->setCurrentIndex(f);
        settle();
        const QSize now = dialog->size();
        EXPECT_EQ(now, dialog->sizeHint().expandedTo(dialog->minimumSizeHint()))
            << now.width() << "x" << now.height() << " against the content's "
            << dialog->sizeHint().width() << "x" << dialog->sizeHint().height();
        if (first.count(f))
            EXPECT_EQ(now, first[f]);
        else
            first[f] = now;
    }
    function->setCurrentIndex(FuncSin);
    settle();
    dialog->move(dialog->pos() + QPoint(30, 20));
    settle();
    const QPoint placed = dialog->pos();
    click(button("Btn_Cancel"));
    dialog.reset();
    open();
    settle();
    EXPECT_EQ(dialog->size(), first[FuncSin]);
    EXPECT_EQ(dialog->pos(), placed);
}
