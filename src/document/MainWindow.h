#pragma once
// The main window: menus, the analog and digital views and their read-outs.
// Controls carry the names the rest of the program and the tests use as
// objectName; control arrays are named "Name(i)".

#include "document/Grid.h"
#include "document/WaveDocument.h"
#include "document/WaveView.h"

#include <QMainWindow>
#include <array>
#include <memory>

class QAction;
class QImage;
class QKeyEvent;
class QMouseEvent;
class QPainter;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QWidget;

namespace velda {

class HelpFiles;
class HelpWindow;
class Program;
class SystemDialog;
namespace tools {
class SplineDialog;
}

// How the window is being closed.
enum class UnloadMode { User, SessionEnd };

class MainWindow : public QMainWindow, private DocumentObserver {
    Q_OBJECT
public:
    explicit MainWindow(Program& program, QWidget* parent = nullptr);
    ~MainWindow() override;

    Program& program() { return prog_; }

    // The start-up sequence; false after a fatal failure (its box has been
    // shown) and the program must end at once.
    bool Form_Load(const QString& commandLine);
    // The exit sequence; true when the program may end (clean-up done).
    bool Form_QueryUnload(UnloadMode mode);
    // True once Form_QueryUnload agreed to end and cleaned up.
    bool unloaded() const { return unloaded_; }
    // The exit's clean-up without its question, for a stop by a signal once
    // no transfer runs.
    void End_BySignal();

    void Set_Caption();
    bool Show_Help(int index);
    HelpFiles& helpFiles();

    // Edit menu and other commands.
    void Menu_Undo_Click();
    void Menu_Cut_Click();
    void Menu_Copy_Click();
    void Menu_Paste_Click();
    void Menu_Delete_Click();
    // The pattern field's own clipboard commands (the program's text
    // clipboard, never the system's), for the Edit menu and the field's menu.
    void Text_Cut();
    void Text_Copy();
    void Text_Paste();
    void Text_Delete();
    void Menu_FileNew_Click();
    void Menu_Grid_Click();
    void Menu_Exit_Click();
    // File > Print: the print dialog, modal. Help > About: the version dialog.
    void Menu_Print_Click();
    void Menu_Version_Click();
    // File > Import: a file read through an import plug-in.
    void Menu_FileImport_Click();
    // Setup > Setup...: the System Setup dialog over the disabled window.
    void Menu_System_Click();
    // The System Setup dialog, created on first use.
    SystemDialog& systemDialog();

    // File menu: open and save of waveform files.
    void Menu_FileOpen_Click();
    void Menu_FileSave_Click();
    void Menu_FileSaveAs_Click();
    void Menu_FileSaveAs2_Click();
    // After a waveform was read: zoom lists and scroll bars back to the whole
    // waveform, marker values shown again, redrawn.
    // The whole waveform at 1:1 in both directions, read-outs refreshed.
    void Show_Whole_Wave();
    void Reset_ViewControls();
    // Tool selector 0 (and Tools > Wave Create): the Create dialog, modal.
    void Open_Create();
    // Tool selectors 1 and 3 (Tools > Compress/Decompress, Operate): modal.
    void Open_Compress();
    void Open_Operate();
    // After a modal tool: no tool active, selector `selector` cleared, the
    // markers and waveform shown again.
    void closeTool(int selector);
    // Tool selector 2 (and Tools > Interpolate): the Interpolate dialog beside
    // this window, whose menus stay disabled until it closes.
    void Open_Spline();
    // The Interpolate dialog while it exists (created on first opening).
    tools::SplineDialog* splineDialog() { return splineDialog_; }

    // Marker read-outs and drawing.
    void SetText_MarkA();
    void SetText_MarkB();
    void Draw_Wave();
    void Draw_Grid_Wave(QPainter& painter, int width, int height);
    void Draw_Marker(QImage& picture);
    void Move_Marker();
    // View handlers.
    void Comb_XZoom_Click(int index);
    void Comb_YZoom_Click();
    void Hrizontal_Scroll(int index);
    void Vertical_Scroll();
    void Opt_DspSel_Click(int index);
    // Edge and Y read-outs with unit names.
    void Set_XLabels();
    void Set_YLabels();
    // Renders the analog or digital picture now (the paint handler calls it).
    void Render_Analog();
    void Render_Digital();
    void Spline_Draw(QPainter& painter, int width, int height);

    Grid& grid() { return *grid_; }

    // Marker fields and editing.
    void Txt_Start_X_LostFocus();
    void Txt_End_X_LostFocus();
    void Txt_Scope_LostFocus();
    void Opt_Scope_Click(int index);
    void Btn_Pattern_Click(int index);
    void Pict_Wave_MouseDown(QMouseEvent* e);
    void Pict_Wave_MouseMoved(QMouseEvent* e);
    void Pict_Wave_MouseUp(QMouseEvent* e);
    void Pict_Digital_MouseDown(QMouseEvent* e);
    void Pict_Digital_MouseUp(QMouseEvent* e);

    // Drawing state.
    bool DrawEnabled = true;
    bool KeepPicture = false;
    bool TrackScope = false;
    double ScopeWidth = 0;
    int32_t DigitalMask = 0;

    // Menus (QMenu) and their items (QAction), by the names of the menu tree.
    QMenu* Menu_File = nullptr;
    QMenu* Menu_Edit = nullptr;
    QMenu* Menu_Tools = nullptr;
    QMenu* Menu_Set = nullptr;
    QMenu* Menu_MHelp = nullptr;
    QAction* Menu_FileNew = nullptr;
    QAction* Menu_FileOpen = nullptr;
    QAction* Menu_FileSave = nullptr;
    QAction* Menu_FileSaveAs = nullptr;
    QAction* Menu_FileSaveAs2 = nullptr;
    QAction* Menu_FileImport = nullptr;
    QAction* Menu_Print = nullptr;
    QAction* Menu_Exit = nullptr;
    QAction* Menu_Undo = nullptr;
    QAction* Menu_Cut = nullptr;
    QAction* Menu_Copy = nullptr;
    QAction* Menu_Paste = nullptr;
    QAction* Menu_Delete = nullptr;
    QAction* Menu_Create = nullptr;
    QAction* Menu_Compress = nullptr;
    QAction* Menu_Spline = nullptr;
    QAction* Menu_Compute = nullptr;
    QAction* Menu_System = nullptr;
    QAction* Menu_Grid = nullptr;
    QAction* Menu_Help = nullptr;
    QAction* Menu_Version = nullptr;

    // Views.
    QFrame* Frm_Wave = nullptr;
    QFrame* Frm_Digital = nullptr;
    QWidget* Pict_Wave = nullptr;
    QWidget* Pict_Digital = nullptr;
    QScrollBar* VScroll = nullptr;
    std::array<QScrollBar*, 2> HScroll{};
    std::array<QComboBox*, 2> Comb_XZoom{};
    QComboBox* Comb_YZoom = nullptr;

    // Read-outs and entry fields.
    std::array<QLabel*, 2> Label_Start{};
    std::array<QLabel*, 2> Label_End{};
    QLabel* Label_W_Max = nullptr;
    QLabel* Label_W_Offs = nullptr;
    QLabel* Label_W_Min = nullptr;
    std::array<QLineEdit*, 2> Txt_Cur_X{};
    QLineEdit* Txt_Cur_Y = nullptr;
    QLineEdit* Txt_Start_X = nullptr;
    QLineEdit* Txt_End_X = nullptr;
    QLineEdit* Txt_Scope = nullptr;
    QLineEdit* Txt_Start_Y = nullptr;
    QLineEdit* Txt_End_Y = nullptr;
    QLineEdit* Txt_Pattern = nullptr;

    // Captioned labels.
    std::array<QLabel*, 2> Label_Mouse_Point{};
    std::array<QLabel*, 2> Label_Zoom{};
    std::array<QLabel*, 2> Label_Zoom_X{};
    QLabel* Label_Zoom_Y = nullptr;
    QLabel* Label_Scope_AB = nullptr;
    QLabel* Label_MarkA_X = nullptr;
    QLabel* Label_MarkA_Y = nullptr;
    QLabel* Label_MarkB_X = nullptr;
    QLabel* Label_MarkB_Y = nullptr;

    // Selectors and buttons.
    QFrame* Panel_Dlg = nullptr;
    std::array<QRadioButton*, 4> Opt_DlgSel{};
    std::array<QRadioButton*, 2> Opt_DspSel{};
    std::array<QRadioButton*, 2> Opt_Scope{};
    std::array<QPushButton*, 4> Btn_Pattern{};

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildControls();
    void connectCommands();
    void connectView();
    void connectEdit();
    // Bit (0..15, top trace 0) under a row of the digital view; -1 above the traces.
    int digitalBitAt(int y) const;
    bool patternHasFocus() const;
    void Txt_Pattern_ContextMenu(const QPoint& pos);
    // The Edit menu item whose shortcut the key is (cut, copy, paste, undo).
    QAction* editCommandFor(const QKeyEvent* key) const;
    // After the System Setup dialog: whole waveform, unit read-outs redrawn.
    // Exit: the dialog's settings (saved model, address, memory size).
    void Unload_SystemDialog(UnloadMode mode);
    void Keep_WindowState();
    void Unload_All(UnloadMode mode);

    // DocumentObserver
    void undoItemChanged(const QString& caption, bool enabled) override;
    void markersChanged() override;
    void redraw() override;

    void applyScrollSetting(QScrollBar* bar, const ScrollBarSetting& s);
    void Pict_Wave_MouseMove(QMouseEvent* e);

    Program& prog_;
    std::unique_ptr<Grid> grid_;
    // Columns at which markers A and B were last drawn (-1: not drawn).
    int markColumnA_ = -1;
    int markColumnB_ = -1;
    // Marker armed by the pointer (1 A, 2 B) and the one being dragged.
    int armedMarker_ = 0;
    int dragMarker_ = 0;
    // The bit a drag in the digital view started on (one-bit mask).
    int32_t digitalSource_ = 0;
    bool analogDirty_ = true;
    bool digitalDirty_ = true;
    std::unique_ptr<HelpWindow> helpWindow_;
    std::unique_ptr<HelpFiles> helpFiles_;
    SystemDialog* systemDialog_ = nullptr; // child of this window
    // The Interpolate tool: its dialog (child of this window), the end of its
    // session, and the control point being dragged on the analog view (row 0:
    // none) with where it is being dragged to.
    void Close_Spline();
    tools::SplineDialog* splineDialog_ = nullptr;
    struct SplineDrag {
        int row = 0;
        bool moved = false;
        double x = 0;
        double y = 0;
    } splineDrag_;
    bool unloaded_ = false;
};

} // namespace velda
