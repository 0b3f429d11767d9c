#pragma once
// The program's own help viewer: one top-level window with a browser that
// shows a help page (HTML) and follows its links.

#include "app/Help.h"

#include <QWidget>

class QTextBrowser;

namespace velda {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the window on the file, scrolled to its start; false when the
    // file cannot be read.
    bool openFile(const QString& path);
    // An opener for HelpFiles that shows pages in this window.
    HelpFiles::Opener opener();

    QTextBrowser* browser() const { return browser_; }

private:
    void showPageTitle();
    QTextBrowser* browser_;
};

} // namespace velda
