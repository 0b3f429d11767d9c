// The main window's file menu and the tools and dialogs it opens.
#include "document/MainWindow.h"

#include "app/Captions.h"
#include "app/CaptionsWidget.h"
#include "app/Help.h"
#include "app/HelpWindow.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "app/Twips.h"
#include "document/SurfaceWidget.h"
#include "engine/wavelb32.h"
#include "files/FileCommands.h"
#include "setup/SystemDialog.h"
#include "tools/CalcDialog.h"
#include "tools/CreateDialog.h"
#include "tools/ElasticDialog.h"
#include "tools/SplineDialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace velda {

// ---------------------------------------------------------------------------
// The System Setup dialog.

SystemDialog& MainWindow::systemDialog() {
    if (!systemDialog_) {
        // Its lists come from the set-up's name lists, so it is built after
        // the system initialisation.
        systemDialog_ = new SystemDialog(prog_, this);
        systemDialog_->setMainRefresh([this] { Show_Whole_Wave(); });
        systemDialog_->setShowHelp([this](int index) { return Show_Help(index); });
        connect(systemDialog_, &SystemDialog::closed, this, [this] {
            setEnabled(true);
            activateWindow();
        });
    }
    return *systemDialog_;
}

void MainWindow::Menu_System_Click() {
    SystemDialog& dlg = systemDialog();
    prog_.ActiveTool = ToolSystem;
    dlg.Take_Backup();
    // A wave file read since the last open may have brought another model.
    dlg.Show_Setup();
    dlg.show();
    dlg.Start_FocusTimer();
    setEnabled(false);
    // Disabling a window disables the windows it owns; the dialog stays usable.
    dlg.setEnabled(true);
    dlg.raise();
    dlg.activateWindow();
}

// --- File menu -----------------------------------------------------------

namespace {

// The file front with this window's caption and view.
FileCommands windowFileCommands(MainWindow& w) {
    FileHooks hooks;
    hooks.setCaption = [&w] { w.Set_Caption(); };
    hooks.showWholeWave = [&w] { w.Show_Whole_Wave(); };
    return FileCommands(w.program(), std::move(hooks));
}

} // namespace

void MainWindow::Menu_FileOpen_Click() {
    windowFileCommands(*this).File_Open(KindWave);
}

void MainWindow::Menu_FileSave_Click() {
    windowFileCommands(*this).Save_Current();
}

void MainWindow::Menu_FileSaveAs_Click() {
    windowFileCommands(*this).File_Save(KindWave, false);
}

void MainWindow::Menu_FileSaveAs2_Click() {
    windowFileCommands(*this).File_Save(KindWave, true);
}

void MainWindow::Show_Whole_Wave() {
    Program& p = prog_;
    p.View.reset(p.Document.N());
    {
        ListFillingGuard filling;
        for (QComboBox* c : {Comb_XZoom[0], Comb_XZoom[1], Comb_YZoom})
            c->setCurrentIndex(0);
    }
    Reset_ViewControls();
    Set_XLabels();
    Set_YLabels();
    SetText_MarkA();
    SetText_MarkB();
    ScopeWidth = p.Document.Area_Width();
    Draw_Wave();
}

// Zoom 1:1 in both directions: scroll bars at 0 and disabled.
void MainWindow::Reset_ViewControls() {
    Program& p = prog_;
    p.View.XZoom = 1;
    p.View.YZoom = 1;
    const QSignalBlocker blockV(VScroll);
    VScroll->setRange(0, 32767);
    VScroll->setValue(0);
    VScroll->setSingleStep(1);
    VScroll->setEnabled(false);
    const ScrollBarSetting h = ViewState::initialHScroll(p.Document.N());
    for (QScrollBar* bar : HScroll) {
        const QSignalBlocker block(bar);
        bar->setRange(0, h.maximum);
        bar->setValue(0);
        bar->setSingleStep(1);
        bar->setEnabled(false);
    }
}

void MainWindow::Unload_SystemDialog(UnloadMode mode) {
    // The set-up itself is saved by the program's exit steps.
    if (systemDialog_) {
        systemDialog_->Form_Unload(mode == UnloadMode::SessionEnd);
        systemDialog_->hide();
    }
}

namespace {
// The tool selectors show no tool again after a tool closes.
void clearToolSelector(QRadioButton* r) {
    // An exclusive button cannot be cleared while exclusive.
    r->setAutoExclusive(false);
    r->setChecked(false);
    r->setAutoExclusive(true);
}
} // namespace

void MainWindow::Open_Create() {
    prog_.ActiveTool = ToolCreate;
    Opt_DlgSel[0]->setChecked(true);
    tools::CreateDialog::Host host;
    host.markersChanged = [this] {
        SetText_MarkA();
        SetText_MarkB();
        Draw_Wave();
    };
    host.showHelp = [this](int index) { return Show_Help(index); };
    {
        tools::CreateDialog dialog(prog_, std::move(host), this);
        dialog.Show_Create(true);
    }
    prog_.ActiveTool = ToolNone;
    // The dialog may have moved the markers and written the waveform.
    closeTool(0);
}

// The Compress/Decompress and Operate tools: modal, the selector cleared
// and the waveform and markers shown again after.
void MainWindow::Open_Compress() {
    prog_.ActiveTool = ToolCompress;
    Opt_DlgSel[1]->setChecked(true);
    tools::ElasticDialog::Host host;
    host.waveChanged = [this] {
        SetText_MarkA();
        SetText_MarkB();
        Draw_Wave();
    };
    host.showHelp = [this](int index) { return Show_Help(index); };
    {
        tools::ElasticDialog dialog(prog_, std::move(host), this);
        dialog.exec();
    }
    closeTool(1);
}

void MainWindow::Open_Operate() {
    prog_.ActiveTool = ToolOperate;
    Opt_DlgSel[3]->setChecked(true);
    tools::CalcDialog::Host host;
    host.waveChanged = [this] {
        SetText_MarkA();
        SetText_MarkB();
        Draw_Wave();
    };
    host.showHelp = [this](int index) { return Show_Help(index); };
    {
        tools::CalcDialog dialog(prog_, std::move(host), this);
        dialog.exec();
    }
    closeTool(3);
}

void MainWindow::closeTool(int selector) {
    prog_.ActiveTool = ToolNone;
    clearToolSelector(Opt_DlgSel[static_cast<size_t>(selector)]);
    ScopeWidth = prog_.Document.Area_Width();
    SetText_MarkA();
    SetText_MarkB();
    Draw_Wave();
}

// --- The Interpolate tool ----------------------------------------------------

namespace {
// The menus and the display selector that stay disabled while the
// Interpolate dialog is open, so no other command changes the document.
void setSplineLocked(MainWindow& w, bool locked) {
    for (QMenu* m : {w.Menu_Tools, w.Menu_Set, w.Menu_File, w.Menu_Edit}) {
        m->menuAction()->setEnabled(!locked);
        m->setEnabled(!locked);
    }
    for (QRadioButton* r : w.Opt_DspSel)
        r->setEnabled(!locked);
    w.Panel_Dlg->setEnabled(!locked);
}

} // namespace

void MainWindow::Open_Spline() {
    if (splineDialog_ && splineDialog_->isVisible()) {
        splineDialog_->raise();
        splineDialog_->activateWindow();
        return;
    }
    if (!Frm_Digital->isHidden()) {
        // No interpolation in the digital view: the selection is undone and
        // no tool counts as active.
        clearToolSelector(Opt_DlgSel[2]);
        Panel_Dlg->setEnabled(true);
        return;
    }
    prog_.ActiveTool = ToolSpline;
    Opt_DlgSel[2]->setChecked(true);
    setSplineLocked(*this, true);
    Pict_Wave->setCursor(Qt::CrossCursor);
    splineDrag_ = {};
    if (!splineDialog_) {
        tools::SplineDialog::Host host;
        host.redraw = [this] { Draw_Wave(); };
        host.waveChanged = [this] {
            SetText_MarkA();
            SetText_MarkB();
            Draw_Wave();
        };
        host.showHelp = [this](int index) { return Show_Help(index); };
        host.closed = [this] { Close_Spline(); };
        splineDialog_ = new tools::SplineDialog(prog_, std::move(host), this);
    }
    splineDialog_->Form_Load();
    splineDialog_->show();
    splineDialog_->raise();
    splineDialog_->activateWindow();
    Draw_Wave();
}

void MainWindow::Close_Spline() {
    setSplineLocked(*this, false);
    prog_.ActiveTool = ToolNone;
    clearToolSelector(Opt_DlgSel[2]);
    Pict_Wave->setCursor(Qt::ArrowCursor);
    splineDrag_ = {};
    Draw_Wave();
}

} // namespace velda
