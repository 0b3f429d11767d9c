#pragma once
// The transfer's progress window: a message line, a progress bar (0..1000)
// and Cancel. It runs nothing itself; it carries the user's cancel request,
// which the transfer polls between data pieces. Closing it with its close
// box is a cancel request too. The loop test's count shows on a line below
// the bar once the transfer reports one.

#include "app/Captions.h"
#include "control/TransferProgress.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace velda {

class clsRegistry;

const CaptionTable& GpibExitCaptions();
// The loop-test count line, in the current language.
QString GpibExitCountText(int32_t count);

class FrmGPIBExit : public QDialog, public control::TransferProgress {
    Q_OBJECT
public:
    // `registry` keeps the window's position between runs; without one the
    // window opens where the window system puts it.
    explicit FrmGPIBExit(clsRegistry* registry, QWidget* parent = nullptr);
    ~FrmGPIBExit() override;

    // Font, captions, no cancel request, the saved position.
    void Form_Load();
    void Set_GpibExitLabel();
    void CmdGpibExit_Click();
    // Saves the position when the window is neither minimised nor maximised,
    // then asks to cancel.
    void Form_Unload();

    // control::TransferProgress
    void Show() override;
    void Set_Message(const QString& text) override;
    void Set_Progress(int value) override;
    void Set_Count(int32_t count) override;
    bool GpibExit() const override { return gpibExit_; }
    void Set_GpibExit(bool value) override { gpibExit_ = value; }
    void Close() override;
    void Waiting() override { Turn(); }

    QLabel* LblMsg = nullptr;
    QProgressBar* PrgGPIB = nullptr;
    QLabel* LblCount = nullptr;
    QPushButton* CmdGpibExit = nullptr;

protected:
    void closeEvent(QCloseEvent* e) override;

public slots:
    // Escape asks to cancel as the button does; the transfer closes the window.
    void reject() override;

private:
    // Lets the event loop draw the window and take a press of Cancel.
    void Turn();
    clsRegistry* registry_ = nullptr;
    bool gpibExit_ = false;
};

} // namespace velda
