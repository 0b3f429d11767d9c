#pragma once
// The Waveform Create dialog: pages of standard functions and expressions,
// each previewed on its own, written into the current waveform by "Page OK"
// or, for every page switched on, by "All Page OK". In create-for-operate
// mode it has the single page 0 and generates into the Operate dialog's
// buffer from point 0.
//
// The pages live in the program's page store and outlive the dialog; the
// dialog keeps only its controls and its scratch state.

#include "engine/wavelb32.h"
#include "tools/CreatePages.h"

#include <QDialog>
#include <QPointF>
#include <array>
#include <functional>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QMouseEvent;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace velda {

class Program;
class SurfaceWidget;

namespace tools {

struct DragZone;

class CreateDialog : public QDialog {
    Q_OBJECT
public:
    // What the dialog asks of the window that opened it.
    struct Host {
        // The markers of the current waveform moved: show them again.
        std::function<void()> markersChanged;
        // Opens help file `index`; false when it could not.
        std::function<bool(int index)> showHelp;
    };

    // Form start: captions, font, window position, random seeds.
    CreateDialog(Program& program, Host host, QWidget* parent = nullptr);
    ~CreateDialog() override;

    // Prepares the dialog for a mode and runs it modal. createToWave false:
    // create-for-operate mode, generating into `operandBuf` from point 0.
    // Returns QDialog::Accepted after "Page OK" or "All Page OK".
    int Show_Create(bool createToWave, WaveHandle operandBuf = 0);
    // The preparation of Show_Create without running the dialog.
    void Prepare(bool createToWave, WaveHandle operandBuf = 0);

    // Procedures of the dialog.
    void Change_Parameter();
    void Check_Visit();
    int Make_Wave(int page);
    void Draw_Wave_Create();
    // Shows page n; `fromButtons` applies the rule that a fresh page takes
    // the function of the page shown before.
    void Goto_Page(int n, bool fromButtons = false);
    // File menu: the pages as an expression file.
    void Menu_FileOpen_Click();
    void Menu_FileSave_Click();
    void Page_To_Area();
    void AllClear();

    // Event handlers.
    void Comb_Wave_Click();
    void Text_LostFocus(int i);
    void Text_X_LostFocus(int i);
    void Txt_Const_LostFocus();
    void Txt_Expr_LostFocus();
    void Btn_Comp_Click();
    void Opt_effect_Click(int i);
    void Cmd_Page_Click(int i);
    void Txt_Page_LostFocus();
    void Btn_OK_Click();
    void Btn_Confirm_Click();
    void Btn_Cancel_Click();
    void Menu_Clear_Click();
    void Menu_AllClear_Click();
    void PictWave_MouseDown(QMouseEvent* e);
    void PictWave_MouseMove(QMouseEvent* e);
    void PictWave_MouseUp(QMouseEvent* e);

    // The escape key and the close box cancel.
    void reject() override;

    // Dialog state.
    bool CreateToWave = true;
    WaveHandle CreateBuf = 0;
    bool Loading = false;
    bool Regenerate = false;
    bool EvalNow = false;
    bool ShowEffect = true;
    bool Cancelled = false;
    // The seed given to both random generators at form start.
    int32_t Seed() const { return seed_; }

    // Controls, by the names the tests and the rest of the program use.
    QMenuBar* MenuBar = nullptr;
    QMenu* Menu_File = nullptr;
    QMenu* Menu_Edit = nullptr;
    QAction* Menu_FileOpen = nullptr;
    QAction* Menu_FileSave = nullptr;
    QAction* Menu_Print = nullptr;
    QAction* Menu_Clear = nullptr;
    QAction* Menu_AllClear = nullptr;
    QLabel* Label_Wave = nullptr;
    QComboBox* Comb_Wave = nullptr;
    QWidget* Panel_Page = nullptr;
    std::array<QPushButton*, 4> Cmd_Page{};
    QLineEdit* Txt_Page = nullptr;
    std::array<QRadioButton*, 2> Opt_effect{};
    QLabel* Label_Scope_X = nullptr;
    std::array<QLineEdit*, 2> Text_X{};
    QLabel* Label_To = nullptr;
    QLabel* Label_XUnit = nullptr;
    QGroupBox* Frame_Std = nullptr;
    std::array<QLabel*, ParamCount> Label_Param{};
    std::array<QLineEdit*, ParamCount> Text{};
    std::array<QLabel*, ParamCount> Label_Unit{};
    QGroupBox* Frame_Expr = nullptr;
    QLabel* Label_Const = nullptr;
    QPlainTextEdit* Txt_Const = nullptr;
    QLabel* Label_Expr = nullptr;
    QPlainTextEdit* Txt_Expr = nullptr;
    QPushButton* Btn_Comp = nullptr;
    SurfaceWidget* PictWave = nullptr;
    std::array<QLabel*, 3> Label_Scale{}; // top, bottom, centre of the preview
    QPushButton* Btn_OK = nullptr;
    QPushButton* Btn_Confirm = nullptr;
    QPushButton* Btn_Cancel = nullptr;
    QPushButton* Btn_Help = nullptr;

protected:
    void done(int r) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void connectControls();
    void Form_Load();
    void Set_CreateCaptions();
    void showFunction(int funcType);
    void showEffect();
    void showUnits();
    void commitPendingEdits();
    bool regenerateForOk();
    void renderPreview();
    void refreshAfterChange();
    CreatePageRecord& page();
    double pageStart(const CreatePageRecord& p) const;

    Program& prog_;
    CreatePages& pages_;
    Host host_;
    int32_t seed_ = 0;
    // Drag on the preview: kind 0 when none.
    int dragKind_ = 0;
    double dragH_ = 0;
    double dragV_ = 0;
    QPointF dragFrom_;
};

} // namespace tools
} // namespace velda
