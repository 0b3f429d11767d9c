// The windows' file dialogs as the file commands use them.
#include "app/PromptWidget.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace velda;

// The open dialog is offered a name without its extension (the start-name
// rule takes it off); accepted as offered, it opens the file with the
// default extension, instead of refusing the name as not found.
TEST(PromptWidget, AnOfferedNameWithoutItsExtensionOpensTheFile) {
    // Qt's own dialog, whatever desktop the tests run on: a desktop's
    // dialog is out of this test's reach and would never be answered.
    const bool native = !QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
    const auto restore = qScopeGuard(
        [native] { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, !native); });
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile wave(dir.filePath(QStringLiteral("wave.wdb")));
    ASSERT_TRUE(wave.open(QIODevice::WriteOnly));
    wave.close();
    FileRequest r;
    r.caption = QStringLiteral("Open");
    r.directory = dir.path();
    r.fileName = dir.filePath(QStringLiteral("wave"));
    // The dialog gives the chosen entry back with its runs of blanks made one.
    r.filter = QStringLiteral("Text (*.txt);;Wave  Data (*.wdb)");
    r.filterIndex = 1;
    r.defaultSuffix = QStringLiteral("wdb");

    // Accepts the dialog as it comes up; a refusal box is closed, and a
    // dialog still open after that is cancelled, so the test always ends.
    int ticks = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&ticks] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            box->done(QMessageBox::Ok);
        else if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog && ++ticks == 1)
            // As Open does, its checks included; queued, so that a box it
            // shows does not hold up this timer.
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        else if (dialog)
            dialog->reject();
    });
    driver.start(50);
    WidgetPromptHandler handler;
    int chosen = -1;
    const QString opened = handler.openFileNameWithFilter(r, chosen);
    driver.stop();
    EXPECT_EQ(opened, dir.filePath(QStringLiteral("wave.wdb")));
    EXPECT_EQ(chosen, 1);
}
