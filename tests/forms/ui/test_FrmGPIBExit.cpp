// The transfer's progress window driven as a user and a transfer drive it:
// the button, the close box, Escape, the position kept between runs, and a
// transfer loop that polls the cancel request while the event loop runs.
#include "TestSupport.h"

#include "app/Messages.h"
#include "app/Registry.h"
#include "app/Twips.h"
#include "control/TransferProgress.h"
#include "forms/FrmGPIBExit.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace velda;

namespace {

struct LanguageGuard {
    explicit LanguageGuard(bool english) { Set_Language(english); }
    ~LanguageGuard() { Set_Language(true); }
};

class FrmGPIBExitTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString ini() const { return dir.filePath(QStringLiteral("VELDA.ini")); }

    QTemporaryDir dir;
    test::RecordingPrompts prompts;
};

// What a transfer does with the window: pieces of work, progress after each,
// the event loop's turn, then the cancel request polled. Returns the pieces sent.
int runPieces(control::TransferProgress& p, int pieces) {
    p.Show();
    p.Set_Message(QStringLiteral("Send data"));
    int sent = 0;
    for (int i = 0; i < pieces; ++i) {
        ++sent;
        p.Set_Progress(sent * 1000 / pieces);
        QCoreApplication::processEvents();
        if (p.GpibExit())
            break;
    }
    p.Close();
    return sent;
}

} // namespace

TEST_F(FrmGPIBExitTest, CaptionsByLanguageAndFontOnEveryControl) {
    struct Row {
        bool english;
        QString title, cancel;
    };
    const Row rows[] = {
        {true, QStringLiteral("Copy wave data"), QStringLiteral("Cancel")},
        {false, QString::fromUtf8("波形データ転送"), QString::fromUtf8("ｷｬﾝｾﾙ")},
    };
    for (const Row& r : rows) {
        LanguageGuard language(r.english);
        FrmGPIBExit w(nullptr);
        EXPECT_EQ(w.windowTitle(), r.title);
        EXPECT_EQ(w.CmdGpibExit->text(), r.cancel);
        EXPECT_FALSE(w.GpibExit());
        for (QWidget* c :
             std::initializer_list<QWidget*>{&w, w.LblMsg, w.PrgGPIB, w.LblCount, w.CmdGpibExit}) {
            EXPECT_EQ(c->font().family(), FormFontName()) << qPrintable(c->objectName());
            EXPECT_EQ(c->font().pointSizeF(), 10.0) << qPrintable(c->objectName());
        }
        EXPECT_EQ(w.PrgGPIB->minimum(), 0);
        EXPECT_EQ(w.PrgGPIB->maximum(), 1000);
    }
}

TEST_F(FrmGPIBExitTest, EveryWayOfLeavingIsACancelRequest) {
    struct Row {
        const char* how;
        std::function<void(FrmGPIBExit&)> act;
        bool visibleAfter;
    };
    const Row rows[] = {
        {"button", [](FrmGPIBExit& w) { QTest::mouseClick(w.CmdGpibExit, Qt::LeftButton); }, true},
        {"space on the button",
         [](FrmGPIBExit& w) {
             w.CmdGpibExit->setFocus();
             QTest::keyClick(w.CmdGpibExit, Qt::Key_Space);
         },
         true},
        {"close box", [](FrmGPIBExit& w) { w.close(); }, false},
        {"Escape", [](FrmGPIBExit& w) { QTest::keyClick(&w, Qt::Key_Escape); }, true},
    };
    for (const Row& r : rows) {
        FrmGPIBExit w(nullptr);
        w.Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        ASSERT_FALSE(w.GpibExit()) << r.how;
        r.act(w);
        EXPECT_TRUE(w.GpibExit()) << r.how;
        // Only the transfer closes the window; the button just asks.
        EXPECT_EQ(w.isVisible(), r.visibleAfter) << r.how;
        // The next transfer starts with no request.
        w.Show();
        EXPECT_FALSE(w.GpibExit()) << r.how;
    }
}

TEST_F(FrmGPIBExitTest, ProgressStaysInItsRangeAndShowStartsAfresh) {
    struct Row {
        int given, shown;
    };
    FrmGPIBExit w(nullptr);
    w.Show();
    for (const Row r : {Row{0, 0}, Row{1, 1}, Row{999, 999}, Row{1000, 1000}, Row{1001, 1000},
                        Row{-3, 0}, Row{INT32_MAX, 1000}}) {
        w.Set_Progress(r.given);
        EXPECT_EQ(w.PrgGPIB->value(), r.shown) << r.given;
    }
    w.Set_Message(QStringLiteral("Data convert"));
    EXPECT_EQ(w.LblMsg->text(), QStringLiteral("Data convert"));
    EXPECT_FALSE(w.LblCount->isVisible());
    w.Set_Count(2147483647);
    EXPECT_TRUE(w.LblCount->isVisible());
    EXPECT_EQ(w.LblCount->text(), GpibExitCountText(2147483647));
    EXPECT_TRUE(w.LblCount->text().contains(QStringLiteral("2147483647")));
    w.Set_Progress(700);
    w.Close();
    EXPECT_FALSE(w.isVisible());
    w.Show();
    EXPECT_EQ(w.PrgGPIB->value(), 0);
    EXPECT_TRUE(w.LblMsg->text().isEmpty());
    EXPECT_FALSE(w.LblCount->isVisible());
}

TEST_F(FrmGPIBExitTest, ATransferPollingTheRequestStopsAtThePieceTheUserCancelled) {
    struct Row {
        const char* how;
        bool cancel;
        int pieces, sent;
    };
    for (const Row r : {Row{"left alone", false, 8, 8}, Row{"cancelled", true, 8, 1}}) {
        FrmGPIBExit w(nullptr);
        if (r.cancel)
            // The click waits in the event queue until the transfer's first turn.
            QMetaObject::invokeMethod(w.CmdGpibExit, "click", Qt::QueuedConnection);
        EXPECT_EQ(runPieces(w, r.pieces), r.sent) << r.how;
        EXPECT_EQ(w.PrgGPIB->value(), r.sent * 1000 / r.pieces) << r.how;
        EXPECT_FALSE(w.isVisible()) << r.how;
    }
}

// A transfer blocks in its bus calls between the updates: each update, and
// each turn of a bus wait, gives the event loop a turn of its own, so the
// window is drawn and Cancel seen.
TEST_F(FrmGPIBExitTest, EveryUpdateLetsTheEventLoopRun) {
    FrmGPIBExit form(nullptr);
    const std::pair<const char*, std::function<void()>> updates[] = {
        {"Show", [&] { form.Show(); }},
        {"Set_Message", [&] { form.Set_Message(QStringLiteral("Send data")); }},
        {"Set_Progress", [&] { form.Set_Progress(500); }},
        {"Set_Count", [&] { form.Set_Count(3); }},
        {"Waiting", [&] { form.Waiting(); }},
    };
    for (const auto& [name, update] : updates) {
        SCOPED_TRACE(name);
        bool ran = false;
        QTimer::singleShot(0, &form, [&ran] { ran = true; });
        update();
        EXPECT_TRUE(ran);
    }
    form.Close();
}

TEST_F(FrmGPIBExitTest, PositionIsRememberedAcrossRunsOnlyFromTheNormalState) {
    // Twips of a place every screen has; the seeded slot is another place.
    const QPoint moved(48, 36);
    const int seededTop = 150, seededLeft = 300;
    struct Row {
        const char* state;
        Qt::WindowState windowState;
        bool saved;
    };
    const Row rows[] = {
        {"normal", Qt::WindowNoState, true},
        {"minimised", Qt::WindowMinimized, false},
        {"maximised", Qt::WindowMaximized, false},
    };
    for (const Row& r : rows) {
        QFile::remove(ini());
        {
            clsRegistry reg(ini());
            reg.setFormTop(QStringLiteral("FrmGPIBExit"), seededTop);
            reg.setFormLeft(QStringLiteral("FrmGPIBExit"), seededLeft);
            FrmGPIBExit w(&reg);
            w.Show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
            w.move(moved);
            w.setWindowState(r.windowState);
            w.close();
        }
        // The next run reads the table the last copy wrote at its end.
        clsRegistry next(ini());
        const int top = next.FormTop(QStringLiteral("FrmGPIBExit"));
        const int left = next.FormLeft(QStringLiteral("FrmGPIBExit"));
        if (r.saved) {
            EXPECT_EQ(top, pixelsToTwips(moved.y(), screenDpiY())) << r.state;
            EXPECT_EQ(left, pixelsToTwips(moved.x(), screenDpiX())) << r.state;
        } else {
            EXPECT_EQ(top, seededTop) << r.state;
            EXPECT_EQ(left, seededLeft) << r.state;
        }
        FrmGPIBExit again(&next);
        again.Show();
        EXPECT_EQ(again.pos(),
                  QPoint(twipsToPixels(left, screenDpiX()), twipsToPixels(top, screenDpiY())))
            << r.state;
        again.Close();
    }
}
