#include "app/HelpWindow.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

namespace velda {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("VELDA Help"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("Help_Browser"));
    browser_->setOpenExternalLinks(true);
    layout->addWidget(browser_);
    // The title names the page shown, also after a link was followed.
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::showPageTitle);
    resize(720, 640);
}

void HelpWindow::showPageTitle() {
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("VELDA Help") : title);
}

bool HelpWindow::openFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    f.close();
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    // Help pages are HTML whatever their extension says.
    if (browser_->source() == url)
        browser_->reload(); // read again: the file may have changed
    else
        browser_->setSource(url, QTextDocument::HtmlResource);
    // Every opening starts at the top of the page.
    browser_->moveCursor(QTextCursor::Start);
    browser_->verticalScrollBar()->setValue(0);
    showPageTitle();
    // A modal dialog blocks every window outside its own family; the help it
    // opens joins that family, so it can be read, scrolled and closed while
    // the dialog is still open. Opened from elsewhere it stands on its own.
    const QWidget* modal = QApplication::activeModalWidget();
    createWinId();
    windowHandle()->setTransientParent(modal && modal != this ? modal->window()->windowHandle()
                                                              : nullptr);
    show();
    raise();
    activateWindow();
    return true;
}

HelpFiles::Opener HelpWindow::opener() {
    return [this](const QString& path) { return openFile(path); };
}

} // namespace velda
