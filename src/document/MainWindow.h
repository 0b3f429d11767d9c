#pragma once
// The main window: menus, the analog and digital views and their read-outs.
// Controls carry the names the rest of the program and the tests use as
// objectName; control arrays are named "Name(i)".

#include "document/WaveDocument.h"

#include <QMainWindow>
#include <array>
#include <memory>

class QAction;
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

    void Set_Caption();
    bool Show_Help(int index);
    HelpFiles& helpFiles();

    // Edit menu and other commands.
    void Menu_Undo_Click();
    void Menu_Cut_Click();
    void Menu_Copy_Click();
    void Menu_Paste_Click();
    void Menu_Delete_Click();
    void Menu_FileNew_Click();
    void Menu_Grid_Click();
    void Menu_Exit_Click();
    // Tool selector 0 (and Tools > Wave Create): the Create dialog, modal.
    void Open_Create();

    // Marker read-outs and drawing.
    void SetText_MarkA();
    void SetText_MarkB();
    void Draw_Wave();

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

private:
    void buildMenus();
    void buildControls();
    void connectCommands();
    bool patternHasFocus() const;

    // DocumentObserver
    void undoItemChanged(const QString& caption, bool enabled) override;
    void markersChanged() override;
    void redraw() override;

    Program& prog_;
    std::unique_ptr<HelpWindow> helpWindow_;
    std::unique_ptr<HelpFiles> helpFiles_;
    bool unloaded_ = false;
};

} // namespace velda
