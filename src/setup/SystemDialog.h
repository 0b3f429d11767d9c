#pragma once
// The System Setup dialog: model, interface, bus address, waveform memory,
// the instrument's basic set-up and the display units, all edited in the
// program's one set-up record. Every list change goes through the set-up
// operations at once; Cancel puts back the copy taken when the dialog was
// shown. The dialog is modeless and stays over the disabled main window.
//
// Controls carry their names as objectName; control arrays are "Name(i)".
// The frames are Frm_Basic, Frm_Memory, Frm_Oscil, Frm_Trans (first tab)
// and Frm_XUnit, Frm_YUnit (second tab, pages SSTab_Page(0..1)). The unit
// frames' range captions are the arrays Label_Unit_VUser(0..1) and
// Label_To(0..1), index 0 for X and 1 for Y.

#include "document/WaveDocument.h"
#include "setup/SetupSession.h"
#include "setup/SystemParameter.h"
#include "setup/SystemSetup.h"

#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class QWidget;

namespace velda {

class Program;
class UpDownWidget;
class clsRegistry;
class FrmGPIBExit;
namespace control {
class Transfer;
}

class SystemDialog : public QDialog {
    Q_OBJECT
public:
    // Builds the form and runs its load step: captions, position, lists from
    // the set-up's name lists, the record shown. Call after the system
    // initialisation.
    explicit SystemDialog(Program& program, QWidget* parent = nullptr);
    ~SystemDialog() override;

    // The bus controller's own address (the address field refuses it and
    // the up-down steps over it), from the program object.
    int Read_ControllerAddress() const;
    // Resets the main window's view to the whole waveform and rewrites its
    // unit read-outs; set by the main window, run by OK and Cancel.
    void setMainRefresh(std::function<void()> fn) { mainRefresh_ = std::move(fn); }
    // Opens a help file by its index (the main window's help command); the
    // Help button and F1 open this dialog's own, kHelpIndex.
    static constexpr int kHelpIndex = 4;
    void setShowHelp(std::function<bool(int)> fn) { showHelp_ = std::move(fn); }

    // Copies the record (and what the dialog needs to undo a size change)
    // for Cancel. Taken at load and each time the dialog is opened.
    void Take_Backup();
    // Starts timSetFocus, which gives the dialog the focus back while it is open.
    void Start_FocusTimer();
    const SystemParameter& Backup() const { return session_.Backup(); }
    SetupSession& Session() { return session_; }

    // Btn_Trans(0) sends the set-up, Btn_Trans(1) the waveform (or runs the
    // loop test; a second press during the loop ends it).
    void Btn_Trans_Click(int index);
    // The progress window of the transfers started here (created on first use).
    FrmGPIBExit* Progress() const { return progress_.get(); }

    // Writes the record into the controls (Updating is -1 meanwhile) and
    // applies the enable rules.
    void Show_Record();
    // The model's lists, captions and interface fields, then the record:
    // for a record that changed as a whole (a file read, Cancel, a new open).
    void Show_Setup();

    // Stores the form position unless the system is ending. The set-up and
    // serial number are saved by the program's exit steps.
    void Form_Unload(bool systemEnding);

    // Event handlers.
    void Comb_System_Click();
    void Comb_Intfc_Click();
    void Comb_MSize_Click();
    void Comb_Channel_Click();
    void Comb_Range_Click();
    void Opt_Output_Click(int index);
    void Opt_Offs_Click(int index);
    void Txt_Oscil_LostFocus(int index);
    void Txt_GPIB_LostFocus(int index);
    void UD_GPIB_Change(int index, int steps);
    void Txt_MName_LostFocus();
    void Txt_Unit_Name_LostFocus(int index);
    void Txt_Unit_LostFocus(int index);
    void Comb_Unit_Click(int index);
    void SSTab_Click(int index);
    void timSetFocus_Timer();
    void Btn_OK_Click();
    // "System Setup File": open and save the set-up as a .ocb file.
    void Menu_FileOpen_Click();
    void Menu_FileSave_Click();
    void Btn_Cancel_Click();

    // -1 while Show_Record fills the controls; list handlers then do nothing.
    int16_t Updating = 0;
    // Frequency and period as last shown; typing them again applies nothing.
    double PreviousFrequency = 0;
    double PreviousPeriod = 0;

    QTimer* timSetFocus = nullptr;

    QMenuBar* MenuBar = nullptr;
    QMenu* Menu_File = nullptr;
    QAction* Menu_FileOpen = nullptr;
    QAction* Menu_FileSave = nullptr;
    QAction* Menu_FilePrint = nullptr;

    QTabWidget* SSTab = nullptr;
    QGroupBox* Frm_Basic = nullptr;
    QGroupBox* Frm_Memory = nullptr;
    QGroupBox* Frm_Oscil = nullptr;
    QGroupBox* Frm_Trans = nullptr;
    QGroupBox* Frm_XUnit = nullptr;
    QGroupBox* Frm_YUnit = nullptr;

    QLabel* Label_System = nullptr;
    QComboBox* Comb_System = nullptr;
    QLabel* Label_Intfc = nullptr;
    QComboBox* Comb_Intfc = nullptr;
    QLabel* Label_GPIB = nullptr;
    QLabel* Label_USB = nullptr;
    QLineEdit* txtSerialNo = nullptr;
    std::array<QLineEdit*, 2> Txt_GPIB{};
    std::array<UpDownWidget*, 2> UD_GPIB{};

    QLabel* Label_MSize = nullptr;
    QComboBox* Comb_MSize = nullptr;
    QLabel* Label_MName = nullptr;
    QLineEdit* Txt_MName = nullptr;
    QLabel* Label_MNumber = nullptr;

    QLabel* Label_Channel = nullptr;
    QComboBox* Comb_Channel = nullptr;
    QLabel* Label_Range = nullptr;
    QComboBox* Comb_Range = nullptr;
    QLabel* Label_Output = nullptr;
    QWidget* Panel_Output = nullptr;
    std::array<QRadioButton*, 3> Opt_Output{};
    QLabel* Label_Freq = nullptr;
    QLabel* Label_Cycle = nullptr;
    QLabel* Label_Ampl = nullptr;
    QLabel* Label_Offs = nullptr;
    QLabel* Label_Ampl_Unit = nullptr;
    std::array<QLineEdit*, 4> Txt_Oscil{};
    QWidget* Panel_Offs = nullptr;
    QLabel* Label_Offs_Btn = nullptr;
    std::array<QRadioButton*, 2> Opt_Offs{};
    std::array<QPushButton*, 2> Btn_Trans{};

    QLabel* Label_Unit_Time = nullptr;
    QLabel* Label_Unit_Volt = nullptr;
    std::array<QComboBox*, 2> Comb_Unit{};
    QLabel* Label_Unit_Name_X = nullptr;
    QLabel* Label_Unit_Name_Y = nullptr;
    std::array<QLineEdit*, 2> Txt_Unit_Name{};
    std::array<QLabel*, 2> Label_Unit_VUser{};
    std::array<QLabel*, 2> Label_To{};
    std::array<QLineEdit*, 4> Txt_Unit{};

    QPushButton* Btn_OK = nullptr;
    QPushButton* Btn_Cancel = nullptr;
    QPushButton* Btn_Help = nullptr;

signals:
    // The dialog was closed by OK or Cancel (ActiveTool is back to none).
    void closed();

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // An entry field: how it applies its value and which keys it refuses.
    struct Field {
        QLineEdit* edit = nullptr;
        std::function<void()> apply;
        bool dropSpaces = false;
        bool digitsOnly = false;
    };

    void buildControls();
    void connectControls();
    void Form_Load();
    void addField(QLineEdit* edit, std::function<void()> apply, bool dropSpaces, bool digitsOnly);
    void Fill_ModelList();
    void Fill_SetupLists();
    void Fill_RangeList();
    void Set_ModelCaptions();
    void Show_InterfaceFields();
    void Apply_Interface(int16_t kind);
    void Fit_InterfaceKind();
    void Show_OscilFields(bool frequency, bool period, bool amplitude, bool offset);
    void Show_UnitFields(int axis);
    void Enable_UnitFields(int axis);
    void Apply_SizeChange(const SizeChange& change);
    void Close_Dialog();

    Program& prog_;
    SetupSession session_;
    std::vector<Field> fields_;
    std::function<void()> mainRefresh_;
    std::function<bool(int)> showHelp_;
    bool closing_ = false;
    std::unique_ptr<FrmGPIBExit> progress_;
    std::unique_ptr<control::Transfer> transfer_;
    bool transferRunning_ = false;
};

} // namespace velda
