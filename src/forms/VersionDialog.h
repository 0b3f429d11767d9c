#pragma once
// The About box: the program's title, its version with the date of the
// program file, and the libraries in use. Modal over the main window.

#include "app/Captions.h"

#include <QDialog>
#include <array>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace velda {

const CaptionTable& VersionCaptions();

class VersionDialog : public QDialog {
    Q_OBJECT
public:
    explicit VersionDialog(QWidget* mainWindow = nullptr);

    // Captions, font, centred over the main window.
    void Form_Load();
    // Enables the main window and closes.
    void Command1_Click();

    std::array<QLabel*, 2> Label{};
    QPlainTextEdit* Txt_Libraries = nullptr;
    QPushButton* Command1 = nullptr;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    // Form_QueryUnload: the main window is enabled again.
    void Form_QueryUnload();
    QWidget* main_ = nullptr;
};

} // namespace velda
