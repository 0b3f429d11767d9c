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

namespace {

QAction* addItem(QMenu* menu, const char* name) {
    QAction* a = menu->addAction(QString());
    a->setObjectName(QLatin1String(name));
    return a;
}

QLabel* buddyLabel(QWidget* parent, const QString& name, QWidget* buddy) {
    auto* l = named(new QLabel(parent), name);
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

QLineEdit* readOut(QWidget* parent, const QString& name, bool readOnly) {
    auto* e = named(new QLineEdit(parent), name);
    e->setReadOnly(readOnly);
    if (readOnly)
        e->setFocusPolicy(Qt::NoFocus);
    e->setMinimumWidth(90);
    return e;
}

} // namespace

MainWindow::MainWindow(Program& program, QWidget* parent) : QMainWindow(parent), prog_(program) {
    setObjectName(QStringLiteral("MainWindow"));
    buildMenus();
    buildControls();
    connectCommands();
    connectView();
    connectEdit();
    // Below this size the panels would overlap (9200 x 6230 twips).
    setMinimumSize(twipsToPixels(9200, screenDpiX()), twipsToPixels(6230, screenDpiY()));
    resize(minimumSize().expandedTo(QSize(960, 640)));
}

MainWindow::~MainWindow() {
    prog_.Document.setObserver(nullptr);
}

HelpFiles& MainWindow::helpFiles() {
    if (!helpFiles_) {
        helpWindow_ = std::make_unique<HelpWindow>();
        helpFiles_ = std::make_unique<HelpFiles>(prog_.dataFile(QStringLiteral("help")),
                                                 helpWindow_->opener());
        helpFiles_->Set_HelpFiles();
    }
    return *helpFiles_;
}

bool MainWindow::Show_Help(int index) {
    return helpFiles().Show_Help(index);
}

bool MainWindow::Form_Load(const QString& commandLine) {
    Program& p = prog_;
    WaveDocument& doc = p.Document;

    // The program's own steps (settings, set-up, file names, undo) come first;
    // the window's own steps follow.
    if (!p.Start_Up(commandLine))
        return false;
    grid_ = std::make_unique<Grid>();
    KeepPicture = false;
    TrackScope = false;
    Opt_Scope[0]->setChecked(true);
    Restore_FormPosition(this, *p.Registry, objectName());
    Set_MainMenus(this);
    Set_MainLabels(this);
    Apply_Font(this, FormFontName(), 9);
    // The System Setup dialog is created when it is first shown; its lists
    // are filled from the set-up's name lists then.
    helpFiles().Set_HelpFiles();
    Set_Caption();
    doc.setObserver(this);
    doc.Update_UndoCaption(); // the undo item shows the reset the start-up made

    Frm_Digital->hide();
    Frm_Wave->hide();
    Opt_DspSel[0]->setChecked(true);
    Frm_Wave->show();

    Reset_ViewControls();

    const int32_t n = doc.N();
    if (doc.WaveFileName == QLatin1String("Untitled"))
        W_ClearMemory(doc.CurrentBuf(), 0, n);
    SetText_MarkA();
    SetText_MarkB();
    ScopeWidth = doc.Area_Width();
    Set_XLabels();
    Set_YLabels();
    return true;
}

void MainWindow::Keep_WindowState() {
    Program& p = prog_;
    if (!p.Registry)
        return;
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)))
        Save_FormPosition(this, *p.Registry, objectName());
    p.Registry->setSerialNum(p.SerialNumber);
}

void MainWindow::Unload_All(UnloadMode mode) {
    if (splineDialog_ && splineDialog_->isVisible())
        splineDialog_->close();
    Unload_SystemDialog(mode);
    prog_.Shut_Down();
    if (helpWindow_)
        helpWindow_->close();
    unloaded_ = true;
}

bool MainWindow::Form_QueryUnload(UnloadMode mode) {
    Program& p = prog_;
    Keep_WindowState();
    if (p.Check_GpibBusy())
        return false;
    if (mode == UnloadMode::SessionEnd) {
        ShowCautionStop(GetMessage(4));
        return false;
    }
    if (AskCaution(98) != Answer::Yes)
        return false;
    Unload_All(mode);
    return true;
}

void MainWindow::End_BySignal() {
    if (unloaded_)
        return;
    // An open System Setup's changes were never confirmed: they go as on
    // its Cancel before the exit's steps store the set-up.
    if (systemDialog_ && systemDialog_->isVisible())
        systemDialog_->reject();
    Keep_WindowState();
    Unload_All(UnloadMode::User);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    // The System Setup dialog stands over a disabled window, which a window
    // manager's close box still reaches: no exit until the dialog is closed,
    // or its unconfirmed changes would be stored as the set-up.
    if (!unloaded_ && !isEnabled()) {
        e->ignore();
        if (systemDialog_ && systemDialog_->isVisible()) {
            systemDialog_->raise();
            systemDialog_->activateWindow();
        }
        return;
    }
    if (unloaded_ || Form_QueryUnload(UnloadMode::User)) {
        e->accept();
        QCoreApplication::quit();
    } else {
        e->ignore();
    }
}

void MainWindow::Set_Caption() {
    setWindowTitle(QStringLiteral("VELDA <") + prog_.Document.WaveFileName + QLatin1Char('>'));
}

void MainWindow::connectCommands() {
    connect(Menu_Undo, &QAction::triggered, this, &MainWindow::Menu_Undo_Click);
    connect(Menu_Cut, &QAction::triggered, this, &MainWindow::Menu_Cut_Click);
    connect(Menu_Copy, &QAction::triggered, this, &MainWindow::Menu_Copy_Click);
    connect(Menu_Paste, &QAction::triggered, this, &MainWindow::Menu_Paste_Click);
    connect(Menu_Delete, &QAction::triggered, this, &MainWindow::Menu_Delete_Click);
    connect(Menu_FileNew, &QAction::triggered, this, &MainWindow::Menu_FileNew_Click);
    connect(Menu_Grid, &QAction::triggered, this, &MainWindow::Menu_Grid_Click);
    connect(Menu_Exit, &QAction::triggered, this, &MainWindow::Menu_Exit_Click);
    connect(Menu_System, &QAction::triggered, this, &MainWindow::Menu_System_Click);
    connect(Menu_FileOpen, &QAction::triggered, this, &MainWindow::Menu_FileOpen_Click);
    connect(Menu_FileSave, &QAction::triggered, this, &MainWindow::Menu_FileSave_Click);
    connect(Menu_FileSaveAs, &QAction::triggered, this, &MainWindow::Menu_FileSaveAs_Click);
    connect(Menu_FileSaveAs2, &QAction::triggered, this, &MainWindow::Menu_FileSaveAs2_Click);
    connect(Menu_Print, &QAction::triggered, this, &MainWindow::Menu_Print_Click);
    connect(Menu_FileImport, &QAction::triggered, this, &MainWindow::Menu_FileImport_Click);
    connect(Menu_Version, &QAction::triggered, this, &MainWindow::Menu_Version_Click);
    connect(Menu_Help, &QAction::triggered, this, [this] { Show_Help(HelpFiles::MainHelp); });
    connect(Menu_Create, &QAction::triggered, Opt_DlgSel[0], &QRadioButton::click);
    connect(Opt_DlgSel[0], &QRadioButton::clicked, this, &MainWindow::Open_Create);
    connect(Menu_Compress, &QAction::triggered, Opt_DlgSel[1], &QRadioButton::click);
    connect(Opt_DlgSel[1], &QRadioButton::clicked, this, &MainWindow::Open_Compress);
    connect(Menu_Compute, &QAction::triggered, Opt_DlgSel[3], &QRadioButton::click);
    connect(Opt_DlgSel[3], &QRadioButton::clicked, this, &MainWindow::Open_Operate);
    connect(Menu_Spline, &QAction::triggered, Opt_DlgSel[2], &QRadioButton::click);
    connect(Opt_DlgSel[2], &QRadioButton::clicked, this, &MainWindow::Open_Spline);
}

bool MainWindow::patternHasFocus() const {
    return Txt_Pattern->hasFocus();
}

void MainWindow::Menu_Undo_Click() {
    prog_.Document.Swap_Undo();
    // The other buffer brings its own markers and values: both positions,
    // their distance and the levels at A and B are shown again.
    markersChanged();
    Draw_Wave();
}

void MainWindow::Text_Cut() {
    if (Txt_Pattern->hasSelectedText()) {
        prog_.TextClipboard = Txt_Pattern->selectedText();
        Txt_Pattern->del();
    }
}

void MainWindow::Text_Copy() {
    if (Txt_Pattern->hasSelectedText())
        prog_.TextClipboard = Txt_Pattern->selectedText();
}

void MainWindow::Text_Paste() {
    Txt_Pattern->insert(prog_.TextClipboard);
}

void MainWindow::Text_Delete() {
    if (Txt_Pattern->hasSelectedText())
        Txt_Pattern->del();
}

void MainWindow::Menu_Cut_Click() {
    if (patternHasFocus())
        return Text_Cut();
    prog_.Document.Copy_To_Clipboard();
    prog_.Document.Delete_Area();
}

void MainWindow::Menu_Copy_Click() {
    if (patternHasFocus())
        return Text_Copy();
    prog_.Document.Save_Undo();
    prog_.Document.Copy_To_Clipboard();
}

void MainWindow::Menu_Paste_Click() {
    if (patternHasFocus())
        return Text_Paste();
    prog_.Document.Paste_From_Clipboard();
}

void MainWindow::Menu_Delete_Click() {
    if (patternHasFocus())
        return Text_Delete();
    prog_.Document.Delete_Area();
}

// The field's own menu would take and give the system clipboard, which holds
// the waveform's points; this one offers the Edit menu's commands on the
// field's text clipboard, under the Edit menu's captions.
void MainWindow::Txt_Pattern_ContextMenu(const QPoint& pos) {
    QMenu menu(Txt_Pattern);
    const bool editable = Menu_Edit->isEnabled();
    const bool selected = Txt_Pattern->hasSelectedText();
    const struct {
        QAction* like;
        void (MainWindow::*run)();
        bool enabled;
    } items[] = {
        {Menu_Cut, &MainWindow::Text_Cut, selected},
        {Menu_Copy, &MainWindow::Text_Copy, selected},
        {Menu_Paste, &MainWindow::Text_Paste, !prog_.TextClipboard.isEmpty()},
        {Menu_Delete, &MainWindow::Text_Delete, selected},
    };
    for (const auto& item : items) {
        QAction* a = menu.addAction(item.like->text(), this, item.run);
        a->setObjectName(item.like->objectName());
        a->setEnabled(editable && item.like->isEnabled() && item.enabled);
    }
    menu.exec(Txt_Pattern->mapToGlobal(pos));
}

void MainWindow::Menu_FileNew_Click() {
    // A second copy of the program; this one's working folder is left alone.
    QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
}

void MainWindow::Menu_Grid_Click() {
    if (Frm_Digital->isHidden())
        Draw_Wave();
}

void MainWindow::Menu_Exit_Click() {
    close();
}

void MainWindow::SetText_MarkA() {
    const WaveDocument& doc = prog_.Document;
    const UnitContext& u = prog_.Units;
    Txt_Scope->setText(u.PointSpan_To_XText(doc.Area_Width()));
    Txt_Start_Y->setText(
        u.Word_To_YText(W_GetWaveData(doc.CurrentBuf(), doc.CurArea().StartX, doc.N())));
    Txt_Start_X->setText(u.Point_To_XText(doc.CurArea().StartX));
}

void MainWindow::SetText_MarkB() {
    const WaveDocument& doc = prog_.Document;
    const UnitContext& u = prog_.Units;
    Txt_Scope->setText(u.PointSpan_To_XText(doc.Area_Width()));
    Txt_End_Y->setText(
        u.Word_To_YText(W_GetWaveData(doc.CurrentBuf(), doc.CurArea().EndX, doc.N())));
    Txt_End_X->setText(u.Point_To_XText(doc.CurArea().EndX));
}

void MainWindow::undoItemChanged(const QString& caption, bool enabled) {
    Menu_Undo->setText(caption);
    Menu_Undo->setEnabled(enabled);
}

void MainWindow::markersChanged() {
    // Tracking keeps the distance the markers have now (after a Delete, a
    // Paste or an Undo too), not one left from before.
    ScopeWidth = prog_.Document.Area_Width();
    SetText_MarkA();
    SetText_MarkB();
}

void MainWindow::redraw() {
    Draw_Wave();
}

void MainWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    Menu_File = named(bar->addMenu(QString()), QStringLiteral("Menu_File"));
    Menu_FileNew = addItem(Menu_File, "Menu_FileNew");
    Menu_FileOpen = addItem(Menu_File, "Menu_FileOpen");
    Menu_FileSave = addItem(Menu_File, "Menu_FileSave");
    Menu_FileSaveAs = addItem(Menu_File, "Menu_FileSaveAs");
    Menu_FileSaveAs2 = addItem(Menu_File, "Menu_FileSaveAs2");
    Menu_File->addSeparator();
    Menu_FileImport = addItem(Menu_File, "Menu_FileImport");
    Menu_File->addSeparator();
    Menu_Print = addItem(Menu_File, "Menu_Print");
    Menu_File->addSeparator();
    Menu_Exit = addItem(Menu_File, "Menu_Exit");

    Menu_Edit = named(bar->addMenu(QString()), QStringLiteral("Menu_Edit"));
    Menu_Undo = addItem(Menu_Edit, "Menu_Undo");
    Menu_Edit->addSeparator();
    Menu_Cut = addItem(Menu_Edit, "Menu_Cut");
    Menu_Copy = addItem(Menu_Edit, "Menu_Copy");
    Menu_Paste = addItem(Menu_Edit, "Menu_Paste");
    Menu_Delete = addItem(Menu_Edit, "Menu_Delete");

    Menu_Tools = named(bar->addMenu(QString()), QStringLiteral("Menu_Tools"));
    Menu_Create = addItem(Menu_Tools, "Menu_Create");
    Menu_Compress = addItem(Menu_Tools, "Menu_Compress");
    Menu_Spline = addItem(Menu_Tools, "Menu_Spline");
    Menu_Compute = addItem(Menu_Tools, "Menu_Compute");

    Menu_Set = named(bar->addMenu(QString()), QStringLiteral("Menu_Set"));
    Menu_System = addItem(Menu_Set, "Menu_System");
    Menu_Set->addSeparator();
    Menu_Grid = addItem(Menu_Set, "Menu_Grid");
    Menu_Grid->setCheckable(true);

    Menu_MHelp = named(bar->addMenu(QString()), QStringLiteral("Menu_MHelp"));
    // The main help command is bound to a Help menu item of its own.
    Menu_Help = addItem(Menu_MHelp, "Menu_Help");
    Menu_Help->setShortcut(QKeySequence::HelpContents);
    Menu_Version = addItem(Menu_MHelp, "Menu_Version");

    Menu_Undo->setShortcut(QKeySequence::Undo);
    Menu_Cut->setShortcut(QKeySequence::Cut);
    Menu_Copy->setShortcut(QKeySequence::Copy);
    Menu_Paste->setShortcut(QKeySequence::Paste);
    Menu_Delete->setShortcut(QKeySequence::Delete);
    Menu_FileOpen->setShortcut(QKeySequence::Open);
    Menu_FileSave->setShortcut(QKeySequence::Save);
    // Edit shortcuts act on the window as a whole; the handlers look at the
    // focused control themselves.
    for (QAction* a : {Menu_Undo, Menu_Cut, Menu_Copy, Menu_Paste, Menu_Delete})
        a->setShortcutContext(Qt::WindowShortcut);
}

void MainWindow::buildControls() {
    auto* central = named(new QWidget(this), QStringLiteral("Central"));
    setCentralWidget(central);
    auto* root = new QVBoxLayout(central);
    root->setContentsMargins(4, 4, 4, 4);
    root->setSpacing(4);

    // Tool selectors and display selectors.
    auto* top = new QHBoxLayout;
    Panel_Dlg = named(new QFrame(central), QStringLiteral("Panel_Dlg"));
    auto* dlg = new QHBoxLayout(Panel_Dlg);
    dlg->setContentsMargins(0, 0, 0, 0);
    const char* toolCaptions[4] = {"Create", "Compress", "Interpolate", "Operate"};
    for (int i = 0; i < 4; ++i) {
        Opt_DlgSel[i] = named(new QRadioButton(QString::fromLatin1(toolCaptions[i]), Panel_Dlg),
                              indexed("Opt_DlgSel", i));
        Opt_DlgSel[i]->setFocusPolicy(Qt::NoFocus);
        dlg->addWidget(Opt_DlgSel[i]);
    }
    top->addWidget(Panel_Dlg);
    top->addStretch(1);
    auto* dsp = named(new QFrame(central), QStringLiteral("Panel_Dsp"));
    auto* dspLayout = new QHBoxLayout(dsp);
    dspLayout->setContentsMargins(0, 0, 0, 0);
    const char* dspCaptions[2] = {"Analog", "Digital"};
    for (int i = 0; i < 2; ++i) {
        Opt_DspSel[i] = named(new QRadioButton(QString::fromLatin1(dspCaptions[i]), dsp),
                              indexed("Opt_DspSel", i));
        dspLayout->addWidget(Opt_DspSel[i]);
    }
    top->addWidget(dsp);
    root->addLayout(top);

    // Analog view: Y read-outs, surface with vertical scroll bar, X read-outs.
    Frm_Wave = named(new QFrame(central), QStringLiteral("Frm_Wave"));
    {
        auto* g = new QGridLayout(Frm_Wave);
        g->setContentsMargins(0, 0, 0, 0);
        g->setSpacing(2);
        Label_W_Max = named(new QLabel(Frm_Wave), QStringLiteral("Label_W_Max"));
        Label_W_Offs = named(new QLabel(Frm_Wave), QStringLiteral("Label_W_Offs"));
        Label_W_Min = named(new QLabel(Frm_Wave), QStringLiteral("Label_W_Min"));
        auto* yCol = new QVBoxLayout;
        yCol->addWidget(Label_W_Max);
        yCol->addStretch(1);
        yCol->addWidget(Label_W_Offs);
        yCol->addStretch(1);
        yCol->addWidget(Label_W_Min);
        g->addLayout(yCol, 0, 0);
        Pict_Wave = named(new SurfaceWidget(Frm_Wave), QStringLiteral("Pict_Wave"));
        Pict_Wave->setMinimumSize(200, 120);
        g->addWidget(Pict_Wave, 0, 1);
        VScroll = named(new QScrollBar(Qt::Vertical, Frm_Wave), QStringLiteral("VScroll"));
        g->addWidget(VScroll, 0, 2);
        HScroll[0] = named(new QScrollBar(Qt::Horizontal, Frm_Wave), indexed("HScroll", 0));
        g->addWidget(HScroll[0], 1, 1);
        auto* xRow = new QHBoxLayout;
        Label_Start[0] = named(new QLabel(Frm_Wave), indexed("Label_Start", 0));
        Label_End[0] = named(new QLabel(Frm_Wave), indexed("Label_End", 0));
        Label_End[0]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        xRow->addWidget(Label_Start[0]);
        xRow->addStretch(1);
        xRow->addWidget(Label_End[0]);
        g->addLayout(xRow, 2, 1);
        g->setColumnStretch(1, 1);
        g->setRowStretch(0, 1);
    }
    root->addWidget(Frm_Wave, 1);

    // Digital view.
    Frm_Digital = named(new QFrame(central), QStringLiteral("Frm_Digital"));
    {
        auto* g = new QGridLayout(Frm_Digital);
        g->setContentsMargins(0, 0, 0, 0);
        g->setSpacing(2);
        Pict_Digital = named(new SurfaceWidget(Frm_Digital), QStringLiteral("Pict_Digital"));
        Pict_Digital->setMinimumSize(200, 120);
        g->addWidget(Pict_Digital, 0, 0);
        HScroll[1] = named(new QScrollBar(Qt::Horizontal, Frm_Digital), indexed("HScroll", 1));
        g->addWidget(HScroll[1], 1, 0);
        auto* xRow = new QHBoxLayout;
        Label_Start[1] = named(new QLabel(Frm_Digital), indexed("Label_Start", 1));
        Label_End[1] = named(new QLabel(Frm_Digital), indexed("Label_End", 1));
        Label_End[1]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        xRow->addWidget(Label_Start[1]);
        xRow->addStretch(1);
        xRow->addWidget(Label_End[1]);
        g->addLayout(xRow, 2, 0);
        g->setRowStretch(0, 1);
    }
    root->addWidget(Frm_Digital, 1);

    // Bottom panel: zoom, mouse position, markers, digital-bit commands.
    auto* bottom = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        Comb_XZoom[i] = named(new QComboBox(central), indexed("Comb_XZoom", i));
        Txt_Cur_X[i] = readOut(central, indexed("Txt_Cur_X", i), true);
        Label_Zoom[i] = named(new QLabel(central), indexed("Label_Zoom", i));
        Label_Zoom_X[i] = buddyLabel(central, indexed("Label_Zoom_X", i), Comb_XZoom[i]);
        Label_Mouse_Point[i] = named(new QLabel(central), indexed("Label_Mouse_Point", i));
    }
    Comb_YZoom = named(new QComboBox(central), QStringLiteral("Comb_YZoom"));
    Label_Zoom_Y = buddyLabel(central, QStringLiteral("Label_Zoom_Y"), Comb_YZoom);
    Txt_Cur_Y = readOut(central, QStringLiteral("Txt_Cur_Y"), true);

    // Analog panel (zoom 0, mouse 0).
    auto* analogPanel = named(new QFrame(central), QStringLiteral("Panel_Analog"));
    {
        auto* g = new QGridLayout(analogPanel);
        g->setContentsMargins(0, 0, 0, 0);
        Label_Zoom[0]->setParent(analogPanel);
        g->addWidget(Label_Zoom[0], 0, 0, 1, 2);
        g->addWidget(Label_Zoom_X[0], 1, 0);
        g->addWidget(Comb_XZoom[0], 1, 1);
        g->addWidget(Label_Zoom_Y, 2, 0);
        g->addWidget(Comb_YZoom, 2, 1);
        g->addWidget(Label_Mouse_Point[0], 0, 2, 1, 2);
        g->addWidget(Txt_Cur_X[0], 1, 2, 1, 2);
        g->addWidget(Txt_Cur_Y, 2, 2, 1, 2);
    }
    // Digital panel (zoom 1, mouse 1, pattern buttons).
    auto* digitalPanel = named(new QFrame(central), QStringLiteral("Panel_Digital"));
    {
        auto* g = new QGridLayout(digitalPanel);
        g->setContentsMargins(0, 0, 0, 0);
        g->addWidget(Label_Zoom[1], 0, 0, 1, 2);
        g->addWidget(Label_Zoom_X[1], 1, 0);
        g->addWidget(Comb_XZoom[1], 1, 1);
        g->addWidget(Label_Mouse_Point[1], 0, 2);
        g->addWidget(Txt_Cur_X[1], 1, 2);
        const char* fixedCaptions[2] = {"Low(&0)", "High(&1)"};
        for (int i = 0; i < 4; ++i) {
            Btn_Pattern[i] = named(new QPushButton(digitalPanel), indexed("Btn_Pattern", i));
            if (i < 2)
                Btn_Pattern[i]->setText(QString::fromLatin1(fixedCaptions[i]));
            g->addWidget(Btn_Pattern[i], 2, i);
        }
        Txt_Pattern = named(new QLineEdit(digitalPanel), QStringLiteral("Txt_Pattern"));
        Txt_Pattern->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(Txt_Pattern, &QWidget::customContextMenuRequested, this,
                &MainWindow::Txt_Pattern_ContextMenu);
        g->addWidget(Txt_Pattern, 3, 0, 1, 4);
    }
    bottom->addWidget(analogPanel);
    bottom->addWidget(digitalPanel);
    digitalPanel->hide();

    // Markers.
    auto* markers = named(new QFrame(central), QStringLiteral("Panel_Marker"));
    {
        auto* g = new QGridLayout(markers);
        g->setContentsMargins(0, 0, 0, 0);
        Txt_Start_X = readOut(markers, QStringLiteral("Txt_Start_X"), false);
        Txt_End_X = readOut(markers, QStringLiteral("Txt_End_X"), false);
        Txt_Scope = readOut(markers, QStringLiteral("Txt_Scope"), false);
        Txt_Start_Y = readOut(markers, QStringLiteral("Txt_Start_Y"), true);
        Txt_End_Y = readOut(markers, QStringLiteral("Txt_End_Y"), true);
        Label_MarkA_X = buddyLabel(markers, QStringLiteral("Label_MarkA_X"), Txt_Start_X);
        Label_MarkA_Y = buddyLabel(markers, QStringLiteral("Label_MarkA_Y"), nullptr);
        Label_MarkB_X = buddyLabel(markers, QStringLiteral("Label_MarkB_X"), Txt_End_X);
        Label_MarkB_Y = buddyLabel(markers, QStringLiteral("Label_MarkB_Y"), nullptr);
        Label_Scope_AB = buddyLabel(markers, QStringLiteral("Label_Scope_AB"), Txt_Scope);
        g->addWidget(Label_MarkA_X, 0, 0);
        g->addWidget(Txt_Start_X, 0, 1);
        g->addWidget(Label_MarkA_Y, 0, 2);
        g->addWidget(Txt_Start_Y, 0, 3);
        g->addWidget(Label_MarkB_X, 1, 0);
        g->addWidget(Txt_End_X, 1, 1);
        g->addWidget(Label_MarkB_Y, 1, 2);
        g->addWidget(Txt_End_Y, 1, 3);
        g->addWidget(Label_Scope_AB, 2, 0);
        g->addWidget(Txt_Scope, 2, 1);
        for (int i = 0; i < 2; ++i) {
            Opt_Scope[i] = named(new QRadioButton(markers), indexed("Opt_Scope", i));
            g->addWidget(Opt_Scope[i], 2, 2 + i);
        }
    }
    bottom->addWidget(markers);
    bottom->addStretch(1);
    root->addLayout(bottom);

    // The analog and digital panels follow the frames they belong to.
    connect(Opt_DspSel[1], &QRadioButton::toggled, digitalPanel, &QWidget::setVisible);
    connect(Opt_DspSel[1], &QRadioButton::toggled, analogPanel, &QWidget::setHidden);
}

} // namespace velda
