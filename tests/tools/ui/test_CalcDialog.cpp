// The Operate dialog on a real program and main window, driven through its
// controls by objectName.
#include "ProgramWindowFixture.h"
#include "TestSupport.h"

#include "app/Captions.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "document/MainWindow.h"
#include "engine/wavelb32.h"
#include "tools/CalcDialog.h"
#include "tools/CreateDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace velda;
using namespace velda::tools;
using velda::test::RecordingPrompts;

namespace {

constexpr int kStart = 100;
constexpr int kWidth = 10;

class CalcDialogTest : public test::ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        // Raw data words: the displayed values are the words themselves.
        program->Setup.Param.YUnitMode = 0;
        auto w = engine::bufferWords(doc().CurrentBuf());
        for (size_t i = 0; i < w.size(); ++i)
            w[i] = static_cast<int16_t>(i < static_cast<size_t>(doc().N()) ? 600 : 0);
        doc().CurArea() = WaveArea{kStart, kStart + kWidth};
        doc().Reset_Undo();
    }
    void TearDown() override {
        dialog.reset();
        ProgramWindowTest::TearDown();
    }

    CalcDialog& open() {
        CalcDialog::Host host;
        host.waveChanged = [this] { ++waveChanges; };
        host.showHelp = [this](int index) {
            helpAsked.push_back(index);
            return true;
        };
        dialog = std::make_unique<CalcDialog>(*program, std::move(host), window.get());
        dialog->show();
        return *dialog;
    }
    QPushButton* button(const char* name) { return test::button(dialog.get(), name); }
    void click(const char* name) { test::click(button(name)); }

    std::unique_ptr<CalcDialog> dialog;
    int waveChanges = 0;
    std::vector<int> helpAsked;
};

struct OperatorCase {
    int index;
    int expected; // 600 (op) 3
};

class CalcOperators : public CalcDialogTest, public ::testing::WithParamInterface<OperatorCase> {};

TEST_P(CalcOperators, ClipBoardOperandCombinedIntoTheMarkedArea) {
    QString words;
    for (int k = 0; k < kWidth; ++k)
        words += QStringLiteral("3\n");
    QGuiApplication::clipboard()->setText(words);
    const std::vector<int16_t> before = wave();
    open();
    click("Btn_Cut");
    dialog->Comb_Comp->setCurrentIndex(GetParam().index);
    click("Btn_Result");
    EXPECT_EQ(engine::bufferWords(dialog->logic().ResultBuf())[0], GetParam().expected);
    // Nothing reaches the document before OK.
    EXPECT_EQ(wave(), before);
    click("Btn_OK");
    EXPECT_FALSE(dialog->isVisible());
    const std::vector<int16_t> after = wave();
    for (int i = 0; i < doc().N(); ++i) {
        const bool inArea = i >= kStart && i < kStart + kWidth;
        ASSERT_EQ(after[static_cast<size_t>(i)], inArea ? GetParam().expected : 600) << i;
    }
    EXPECT_TRUE(doc().UndoEnabled());
    EXPECT_EQ(wave(), after);
    EXPECT_GE(waveChanges, 1);
}

INSTANTIATE_TEST_SUITE_P(AllFour, CalcOperators,
                         ::testing::Values(OperatorCase{0, 603}, OperatorCase{1, 597},
                                           OperatorCase{2, 1800}, OperatorCase{3, 200}));

TEST_F(CalcDialogTest, OkWithoutResultWritesZerosIntoTheArea) {
    QGuiApplication::clipboard()->setText(QStringLiteral("5\n5\n5\n"));
    open();
    click("Btn_Cut"); // an operand alone is no result
    click("Btn_OK");
    const std::vector<int16_t> after = wave();
    EXPECT_EQ(after[kStart - 1], 600);
    for (int i = kStart; i < kStart + kWidth; ++i)
        EXPECT_EQ(after[static_cast<size_t>(i)], 0) << i;
    EXPECT_EQ(after[kStart + kWidth], 600);
}

TEST_F(CalcDialogTest, CancelLeavesTheDocumentAsItWas) {
    QGuiApplication::clipboard()->setText(QStringLiteral("5\n"));
    const std::vector<int16_t> before = wave();
    open();
    click("Btn_Cut");
    click("Btn_Result");
    click("Btn_Cancel");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(wave(), before);
    EXPECT_FALSE(doc().UndoEnabled());
    EXPECT_EQ(doc().CurArea().StartX, kStart);
    EXPECT_EQ(doc().CurArea().EndX, kStart + kWidth);
}

TEST_F(CalcDialogTest, BuffersLiveExactlyWhileTheDialogIsOpen) {
    for (const char* closeBy : {"Btn_OK", "Btn_Cancel", "escape"}) {
        const int live = engine::liveBuffers();
        open();
        EXPECT_EQ(engine::liveBuffers(), live + 2) << closeBy;
        EXPECT_EQ(dialog->logic().W(), kWidth);
        if (QLatin1String(closeBy) == QLatin1String("escape"))
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        else
            click(closeBy);
        EXPECT_EQ(engine::liveBuffers(), live) << closeBy;
        dialog.reset();
        EXPECT_EQ(engine::liveBuffers(), live) << closeBy;
    }
}

TEST_F(CalcDialogTest, CaptionsAndOperatorsInBothLanguages) {
    for (bool english : {true, false}) {
        Set_Language(english);
        open();
        EXPECT_EQ(dialog->windowTitle(), english ? QStringLiteral("VELDA - Operate")
                                                 : QString::fromUtf8("VELDA - 波形間演算"));
        EXPECT_EQ(dialog->Label_Dest->text(), english
                                                  ? QStringLiteral("Clip Board/Created Waveform")
                                                  : QString::fromUtf8("ｸﾘｯﾌﾟﾎﾞｰﾄﾞ/生成波形"));
        QStringList items;
        for (int i = 0; i < dialog->Comb_Comp->count(); ++i)
            items << dialog->Comb_Comp->itemText(i);
        EXPECT_EQ(items, (QStringList{"+", "-", "*", "/"}));
        EXPECT_EQ(dialog->Comb_Comp->currentIndex(), 0);
        EXPECT_EQ(dialog->Comb_Comp->font().family(), SymbolFontName());
        EXPECT_TRUE(dialog->Comb_Comp->font().bold());
        click("Btn_Cancel");
    }
}

TEST_F(CalcDialogTest, HelpButtonOpensTheOperateHelp) {
    open();
    click("Btn_Help");
    EXPECT_EQ(helpAsked, std::vector<int>{3});
}

TEST_F(CalcDialogTest, CreatedWaveformFillsTheOperandFromPointZero) {
    doc().CurArea() = WaveArea{2000, 2000 + 64};
    const std::vector<int16_t> before = wave();
    open();
    bool createSeen = false;
    QTimer::singleShot(0, [&] {
        auto* create = qobject_cast<CreateDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(create, nullptr);
        createSeen = true;
        EXPECT_FALSE(create->CreateToWave);
        EXPECT_EQ(create->CreateBuf, dialog->logic().OperandBuf());
        QTest::mouseClick(create->Btn_OK, Qt::LeftButton);
    });
    click("Btn_Create");
    EXPECT_TRUE(createSeen);
    // Back in this dialog, which is still open.
    EXPECT_TRUE(dialog->isVisible());
    auto operand = engine::bufferWords(dialog->logic().OperandBuf());
    ASSERT_EQ(operand.size(), size_t{64});
    EXPECT_TRUE(std::any_of(operand.begin(), operand.end(), [](int16_t w) { return w != 0; }));
    EXPECT_EQ(wave(), before);
    test::shot(dialog.get(), "operate_created.png");
}

TEST_F(CalcDialogTest, MainWindowOpensOperateAsToolThree) {
    QGuiApplication::clipboard()->setText(QStringLiteral("2\n"));
    int activeInside = -1;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<CalcDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        activeInside = program->ActiveTool;
        EXPECT_TRUE(window->Opt_DlgSel[3]->isChecked());
        QTest::mouseClick(d->Btn_Cut, Qt::LeftButton);
        d->Comb_Comp->setCurrentIndex(2);
        QTest::mouseClick(d->Btn_Result, Qt::LeftButton);
        QTest::mouseClick(d->Btn_OK, Qt::LeftButton);
    });
    const int live = engine::liveBuffers();
    window->Menu_Compute->trigger();
    EXPECT_EQ(activeInside, ToolOperate);
    EXPECT_EQ(program->ActiveTool, ToolNone);
    EXPECT_FALSE(window->Opt_DlgSel[3]->isChecked());
    EXPECT_EQ(engine::liveBuffers(), live);
    EXPECT_EQ(wave()[kStart], 1200); // 600 * 2 at the first point only
    EXPECT_EQ(wave()[kStart + 1], 0);
}

TEST_F(CalcDialogTest, ShotWithRealData) {
    const QString folder = qEnvironmentVariable("VELDA_SHOT_DIR");
    if (folder.isEmpty())
        GTEST_SKIP() << "VELDA_SHOT_DIR not set";
    const int n = doc().N();
    auto w = engine::bufferWords(doc().CurrentBuf());
    for (int i = 0; i < n; ++i)
        w[static_cast<size_t>(i)] =
            static_cast<int16_t>(std::lround(20000 * std::sin(2 * M_PI * 3 * i / n)));
    doc().CurArea() = WaveArea{0, static_cast<double>(n)};
    QString words;
    for (int i = 0; i < n; ++i)
        words += QString::number(i * 30000 / n - 15000) + QLatin1Char('\n');
    QGuiApplication::clipboard()->setText(words);
    open();
    click("Btn_Cut");
    dialog->Comb_Comp->setCurrentIndex(0);
    click("Btn_Result");
    dialog->resize(900, 320);
    QApplication::processEvents();
    test::shot(dialog.get(), "operate.png");
}

} // namespace
