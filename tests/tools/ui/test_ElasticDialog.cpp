// The Compress/Decompress dialog on a real program and main window with a
// 1024-point waveform, driven through its controls by objectName.
#include "ProgramWindowFixture.h"
#include "TestSupport.h"

#include "app/Captions.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "document/MainWindow.h"
#include "engine/wavelb32.h"
#include "tools/ElasticDialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace velda;
using namespace velda::tools;
using velda::test::RecordingPrompts;

namespace {

class ElasticDialogTest : public test::ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        // The one-channel generator's smallest memory: 1024 points.
        const int model = static_cast<int>(program->Setup.ModelNames.indexOf(
            QRegularExpression(QStringLiteral("^AWG-1101\\s*$"))));
        ASSERT_GE(model, 0);
        const int32_t oldN = doc().N();
        program->Setup.Change_Model(model);
        program->Setup.Select_MemorySize(0);
        program->Apply_SizeChange({true, oldN, doc().N()});
        ASSERT_EQ(doc().N(), 1024);
        program->Setup.Param.XUnitMode = 0;
        program->Setup.Param.YUnitMode = 0;
        doc().Reset_Undo();
    }
    void TearDown() override {
        dialog.reset();
        ProgramWindowTest::TearDown();
    }

    void fill(int (*f)(int)) {
        auto w = engine::bufferWords(doc().CurrentBuf());
        for (int i = 0; i < doc().N(); ++i)
            w[static_cast<size_t>(i)] = static_cast<int16_t>(f(i));
    }

    ElasticDialog& open() {
        ElasticDialog::Host host;
        host.waveChanged = [this] {
            ++waveChanges;
            window->SetText_MarkA();
            window->SetText_MarkB();
        };
        host.showHelp = [this](int index) {
            helpAsked.push_back(index);
            return true;
        };
        dialog = std::make_unique<ElasticDialog>(*program, std::move(host), window.get());
        dialog->show();
        return *dialog;
    }
    void click(QPushButton* b) { test::click(b); }
    void type(QLineEdit* e, const QString& text) {
        e->setText(text);
        const int i = e->objectName().at(e->objectName().size() - 2).digitValue();
        if (e->objectName().startsWith(QLatin1String("Text_X")))
            dialog->Text_X_LostFocus(i);
        else
            dialog->Text_Y_LostFocus(i);
    }
    std::pair<int, int> areaMinMax() {
        const auto w = wave();
        const auto first = w.begin() + static_cast<long>(doc().CurArea().StartX);
        const auto last = w.begin() + static_cast<long>(doc().CurArea().EndX);
        const auto [lo, hi] = std::minmax_element(first, last);
        return {*lo, *hi};
    }

    std::unique_ptr<ElasticDialog> dialog;
    int waveChanges = 0;
    std::vector<int> helpAsked;
};

TEST_F(ElasticDialogTest, FitLengthStretchesTheAreaOverTheWholeWaveform) {
    fill([](int i) { return i * 10; });
    doc().CurArea() = WaveArea{100, 200};
    open();
    EXPECT_EQ(dialog->Text_X[0]->text(), program->Units.Point_To_XTextLong(100));
    EXPECT_EQ(dialog->Text_X[1]->text(), program->Units.Point_To_XTextLong(200));
    click(dialog->Btn_Length);
    EXPECT_EQ(doc().CurArea().StartX, 0);
    EXPECT_EQ(doc().CurArea().EndX, 1024);
    const auto w = wave();
    // First area point on the first point, last on the last, straight between.
    EXPECT_EQ(w[0], 1000);
    EXPECT_EQ(w[1023], 1990);
    for (int k = 0; k < 1024; ++k)
        ASSERT_NEAR(w[static_cast<size_t>(k)], 1000 + k * 990.0 / 1023, 1.0) << k;
    EXPECT_EQ(dialog->Text_X[0]->text(), program->Units.Point_To_XTextLong(0));
    EXPECT_EQ(dialog->Text_X[1]->text(), program->Units.Point_To_XTextLong(1024));
    EXPECT_EQ(dialog->Text_X[2]->text(), program->Units.Word_To_YText(1000));
    // The main window's marker read-outs follow live.
    EXPECT_EQ(window->Txt_End_X->text(), program->Units.Point_To_XText(1024));
    EXPECT_GE(waveChanges, 1);
    click(dialog->Btn_OK);
    EXPECT_EQ(wave(), w);
    EXPECT_TRUE(doc().UndoEnabled());
}

struct AmplitudeCase {
    int lo, hi;
    int yMin, yMax;
};

class ElasticFitAmplitude : public ElasticDialogTest,
                            public ::testing::WithParamInterface<AmplitudeCase> {};

TEST_P(ElasticFitAmplitude, KeepsTheCentreAndReachesTheNearerLimit) {
    static AmplitudeCase c;
    c = GetParam();
    // lo over the first half of the area 200..400, hi over the second.
    fill([](int i) { return i < 200 || i >= 400 ? 0 : (i < 300 ? c.lo : c.hi); });
    doc().CurArea() = WaveArea{200, 400};
    open();
    EXPECT_EQ(dialog->Text_Y[0]->text(), program->Units.Word_To_YText_Raw(c.hi));
    EXPECT_EQ(dialog->Text_Y[1]->text(), program->Units.Word_To_YText_Raw(c.lo));
    click(dialog->Btn_Ampl);
    EXPECT_EQ(dialog->logic().YMax, c.yMax);
    EXPECT_EQ(dialog->logic().YMin, c.yMin);
    EXPECT_EQ(areaMinMax(), std::make_pair(c.yMin, c.yMax));
    EXPECT_EQ(dialog->Text_Y[0]->text(), program->Units.Word_To_YText_Raw(c.yMax));
    EXPECT_EQ(dialog->Text_Y[1]->text(), program->Units.Word_To_YText_Raw(c.yMin));
    EXPECT_EQ(dialog->Text_Y[2]->text(), program->Units.WordSpan_To_YText(c.yMax - c.yMin));
    // Outside the area nothing moved.
    EXPECT_EQ(wave()[199], 0);
    EXPECT_EQ(wave()[400], 0);
}

INSTANTIATE_TEST_SUITE_P(Examples, ElasticFitAmplitude,
                         ::testing::Values(AmplitudeCase{-1000, 3000, -30767, 32767},
                                           AmplitudeCase{-3000, 1000, -32767, 30767}));

TEST_F(ElasticDialogTest, CancelAfterSeveralEditsRestoresWaveformAreaAndUndo) {
    fill([](int i) { return static_cast<int>(8000 * std::sin(i / 40.0)); });
    doc().CurArea() = WaveArea{300.5, 611};
    const std::vector<int16_t> before = wave();
    for (const char* closeBy : {"Btn_Cancel", "escape"}) {
        open();
        type(dialog->Text_X[0], QStringLiteral("10"));
        type(dialog->Text_X[1], QStringLiteral("900"));
        type(dialog->Text_Y[0], QStringLiteral("20000"));
        click(dialog->Btn_Peak);
        dialog->Opt_Y[1]->click();
        type(dialog->Text_Y[3], QStringLiteral("-500"));
        ASSERT_NE(wave(), before);
        ASSERT_EQ(doc().CurArea().StartX, 10);
        if (QLatin1String(closeBy) == QLatin1String("escape"))
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        else
            click(dialog->Btn_Cancel);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(wave(), before) << closeBy;
        EXPECT_EQ(doc().CurArea().StartX, 300.5) << closeBy;
        EXPECT_EQ(doc().CurArea().EndX, 611) << closeBy;
        EXPECT_FALSE(doc().UndoEnabled()) << closeBy;
        EXPECT_EQ(window->Txt_Start_X->text(), program->Units.Point_To_XText(300.5));
        dialog.reset();
        EXPECT_EQ(wave(), before);
    }
}

TEST_F(ElasticDialogTest, XOutsideTheWaveformIsRefused) {
    fill([](int i) { return i; });
    doc().CurArea() = WaveArea{100, 200};
    const std::vector<int16_t> before = wave();
    open();
    for (const char* text : {"-1", "1025", "99999"}) {
        type(dialog->Text_X[1], QLatin1String(text));
        EXPECT_EQ(dialog->Text_X[1]->text(), program->Units.Point_To_XTextLong(200)) << text;
        EXPECT_EQ(dialog->logic().NewEndX, 200) << text;
    }
    EXPECT_EQ(wave(), before);
}

TEST_F(ElasticDialogTest, KeyboardEntryRecomputesOnEnterAndOnLeavingTheBox) {
    fill([](int i) { return i; });
    doc().CurArea() = WaveArea{100, 200};
    open();
    QApplication::setActiveWindow(dialog.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get(), 30000));
    QLineEdit* end = dialog->Text_X[1];
    end->setFocus();
    end->selectAll();
    QTest::keyClicks(end, QStringLiteral("300"));
    QTest::keyClick(end, Qt::Key_Return);
    EXPECT_EQ(dialog->logic().NewEndX, 300);
    EXPECT_EQ(doc().CurArea().EndX, 300);
    // Enter pressed no button: the dialog is still open.
    EXPECT_TRUE(dialog->isVisible());
    // A maximum typed and left by a click on OK is applied before OK keeps it.
    QLineEdit* max = dialog->Text_Y[0];
    max->setFocus();
    max->selectAll();
    QTest::keyClicks(max, QStringLiteral("5000"));
    click(dialog->Btn_OK);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(areaMinMax().second, 5000);
    EXPECT_TRUE(doc().UndoEnabled());
}

TEST_F(ElasticDialogTest, OptYShowsOnePairOfBoxes) {
    open();
    EXPECT_TRUE(dialog->Opt_Y[0]->isChecked());
    EXPECT_TRUE(dialog->Text_Y[0]->isVisible());
    EXPECT_FALSE(dialog->Text_Y[2]->isVisible());
    dialog->Opt_Y[1]->click();
    EXPECT_FALSE(dialog->Text_Y[0]->isVisible());
    EXPECT_TRUE(dialog->Text_Y[2]->isVisible());
    EXPECT_TRUE(dialog->Text_Y[3]->isVisible());
}

TEST_F(ElasticDialogTest, CaptionsInBothLanguagesAndHelp) {
    for (bool english : {true, false}) {
        Set_Language(english);
        open();
        EXPECT_EQ(dialog->windowTitle(), english ? QStringLiteral("VELDA - Compress/Decompress")
                                                 : QString::fromUtf8("VELDA - 圧縮/伸張"));
        EXPECT_EQ(dialog->Btn_Ampl->text(), english ? QStringLiteral("Fit Amplitude")
                                                    : QString::fromUtf8("ｵﾌｾｯﾄ固定最大振幅"));
        EXPECT_FALSE(dialog->Btn_Length->text().isEmpty());
        EXPECT_EQ(dialog->Frame_Y->title(),
                  english ? QStringLiteral("Y") : QString::fromUtf8("Y軸"));
        click(dialog->Btn_Help);
        click(dialog->Btn_Cancel);
    }
    EXPECT_EQ(helpAsked, (std::vector<int>{1, 1}));
}

TEST_F(ElasticDialogTest, MainWindowOpensCompressAsToolOne) {
    fill([](int i) { return i * 5; });
    doc().CurArea() = WaveArea{0, 512};
    int activeInside = -1;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<ElasticDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        activeInside = program->ActiveTool;
        EXPECT_TRUE(window->Opt_DlgSel[1]->isChecked());
        QTest::mouseClick(d->Btn_Length, Qt::LeftButton);
        QTest::mouseClick(d->Btn_OK, Qt::LeftButton);
    });
    window->Menu_Compress->trigger();
    EXPECT_EQ(activeInside, ToolCompress);
    EXPECT_EQ(program->ActiveTool, ToolNone);
    EXPECT_FALSE(window->Opt_DlgSel[1]->isChecked());
    EXPECT_EQ(doc().CurArea().EndX, 1024);
    EXPECT_EQ(wave()[1023], 511 * 5);
    EXPECT_EQ(window->Txt_End_X->text(), program->Units.Point_To_XText(1024));
}

TEST_F(ElasticDialogTest, ShotWithRealData) {
    const QString folder = qEnvironmentVariable("VELDA_SHOT_DIR");
    if (folder.isEmpty())
        GTEST_SKIP() << "VELDA_SHOT_DIR not set";
    fill([](int i) { return static_cast<int>(12000 * std::sin(2 * M_PI * 4 * i / 1024)); });
    doc().CurArea() = WaveArea{256, 512};
    window->Draw_Wave();
    open();
    type(dialog->Text_X[1], QStringLiteral("900"));
    click(dialog->Btn_Ampl);
    window->Draw_Wave();
    QApplication::processEvents();
    test::shot(dialog.get(), "elastic.png");
    test::shot(window.get(), "elastic_main.png");
    Set_Language(false);
    dialog.reset();
    open();
    dialog->Opt_Y[1]->click();
    QApplication::processEvents();
    test::shot(dialog.get(), "elastic_ja.png");
}

} // namespace

// Y targets outside the full scale (or too large for a number) are refused
// like an X outside the waveform: the box shows the stored value again and
// the waveform stays as it was.
TEST_F(ElasticDialogTest, YOutsideTheScaleIsRefused) {
    fill([](int i) { return i - 500; });
    doc().CurArea() = WaveArea{100, 200};
    const std::vector<int16_t> before = wave();
    open();
    struct Row {
        int box;
        const char* typed;
    };
    const Row rows[] = {{0, "1e400"}, {0, "40000"}, {1, "-1e400"}, {1, "-40000"},
                        {2, "1e400"}, {2, "70000"}, {2, "-1"},     {3, "1e400"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.box) + " " + r.typed);
        QLineEdit* e = dialog->Text_Y[static_cast<size_t>(r.box)];
        const QString shown = e->text();
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, QLatin1String(r.typed));
        QTest::keyClick(e, Qt::Key_Return);
        EXPECT_EQ(e->text().toStdString(), shown.toStdString());
        EXPECT_EQ(wave(), before);
    }
    // An in-range value still applies.
    type(dialog->Text_Y[0], QStringLiteral("1000"));
    EXPECT_EQ(dialog->logic().YMax, 1000);
}
