#include "setup/SystemDialog.h"

#include "files/FileCommands.h"

#include "app/Captions.h"
#include "app/CaptionsWidget.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "app/Registry.h"
#include "app/Twips.h"
#include "control/Transfer.h"
#include "engine/CodePage.h"
#include "engine/wavelb32.h"
#include "forms/FrmGPIBExit.h"
#include "setup/SystemCaptions.h"
#include "setup/UpDownWidget.h"
#include "units/NumberText.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <optional>

namespace velda {

namespace {

const QString kFormName = QStringLiteral("SystemDialog");

// Sets Updating to -1 for its lifetime, so that filling a list or selecting
// an entry from the record does not run the list's handler.
class UpdatingGuard {
public:
    explicit UpdatingGuard(int16_t& flag) : flag_(flag), previous_(flag) { flag_ = -1; }
    ~UpdatingGuard() { flag_ = previous_; }
    UpdatingGuard(const UpdatingGuard&) = delete;
    UpdatingGuard& operator=(const UpdatingGuard&) = delete;

private:
    int16_t& flag_;
    int16_t previous_;
};

void fillCombo(QComboBox* combo, const QStringList& names) {
    combo->clear();
    for (const QString& n : names)
        combo->addItem(n.trimmed());
}

void selectIndex(QComboBox* combo, int index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

// A typed whole number, or nothing when the text is none or too large.
std::optional<int> wholeNumber(const QString& text) {
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok);
    if (!ok || v < INT16_MIN || v > INT16_MAX)
        return std::nullopt;
    return static_cast<int>(v);
}

int fieldWidth(const QWidget* w, int characters) {
    return w->fontMetrics().horizontalAdvance(QString(characters, QLatin1Char('0'))) + 12;
}

} // namespace

SystemDialog::SystemDialog(Program& program, QWidget* parent)
    : QDialog(parent), prog_(program), session_(program) {
    setObjectName(kFormName);
    buildControls();
    connectControls();
    Form_Load();
}

SystemDialog::~SystemDialog() = default;

void SystemDialog::Btn_Trans_Click(int index) {
    if (!progress_)
        progress_ = std::make_unique<FrmGPIBExit>(prog_.Registry.get(), this);
    if (transferRunning_) {
        // A press while a transfer runs: the loop test's second press ends
        // the loop; any other is refused as busy before it touches anything
        // (a transfer of its own would switch the shared bus's kind and
        // resource under the running one, or wait for it forever).
        if (transfer_ && transfer_->LoopRunning() && index == control::Transfer::WaveButton)
            transfer_->Btn_Trans_Click(index, txtSerialNo->text());
        else
            ShowError(223);
        return;
    }
    transfer_ = std::make_unique<control::Transfer>(prog_, *progress_);
    transfer_->Set_StopAsked([program = &prog_] { return program->EndRequested; });
    transferRunning_ = true;
    transfer_->Btn_Trans_Click(index, txtSerialNo->text());
    transferRunning_ = false;
}

int SystemDialog::Read_ControllerAddress() const {
    return session_.ControllerAddress();
}

// ---------------------------------------------------------------------------
// Form life.

void SystemDialog::Form_Load() {
    Take_Backup();
    applyCaptions(this, SystemDialogCaptions());
    for (int i = 0; i < SSTab->count(); ++i)
        SSTab->setTabText(i, SSTab->widget(i)->windowTitle());
    {
        ListFillingGuard filling;
        UpdatingGuard updating(Updating);
        for (int axis = 0; axis < 2; ++axis)
            Comb_Unit[axis]->addItems(SystemUnitItems(axis, English()));
    }
    Apply_Font(this, FormFontName(), 9);
    for (QLineEdit* e : Txt_Oscil)
        e->setMinimumWidth(fieldWidth(e, 17));
    for (QLineEdit* e : Txt_Unit)
        e->setMinimumWidth(fieldWidth(e, 13));
    for (QLineEdit* e : Txt_GPIB)
        e->setFixedWidth(fieldWidth(e, 4));
    for (QLineEdit* e : Txt_Unit_Name)
        e->setMinimumWidth(fieldWidth(e, 9));
    Txt_MName->setMinimumWidth(fieldWidth(Txt_MName, 16));
    txtSerialNo->setMinimumWidth(fieldWidth(txtSerialNo, 14));

    if (clsRegistry* r = prog_.Registry.get())
        Restore_FormPosition(this, *r, kFormName);
    txtSerialNo->setText(prog_.SerialNumber);

    Fill_ModelList();
    Show_Setup();
    SSTab->setCurrentIndex(0);
    SSTab_Click(0);
}

void SystemDialog::Take_Backup() {
    session_.Take_Backup();
}

void SystemDialog::Start_FocusTimer() {
    timSetFocus->start();
}

void SystemDialog::Form_Unload(bool systemEnding) {
    clsRegistry* r = prog_.Registry.get();
    if (r && !systemEnding)
        Save_FormPosition(this, *r, kFormName);
}

void SystemDialog::Close_Dialog() {
    closing_ = true;
    timSetFocus->stop();
    prog_.ActiveTool = ToolNone;
    hide();
    closing_ = false;
    emit closed();
}

void SystemDialog::reject() {
    // Escape and the close box leave the dialog as Cancel does.
    Btn_Cancel_Click();
}

// ---------------------------------------------------------------------------
// Lists and captions.

void SystemDialog::Fill_ModelList() {
    ListFillingGuard filling;
    UpdatingGuard updating(Updating);
    fillCombo(Comb_System, prog_.Setup.ModelNames);
}

void SystemDialog::Fill_SetupLists() {
    ListFillingGuard filling;
    UpdatingGuard updating(Updating);
    const SystemSetup& s = prog_.Setup;
    fillCombo(Comb_MSize, s.MemorySizeNames);
    fillCombo(Comb_Channel, s.ChannelNames);
    fillCombo(Comb_Range, s.RangeNames);
    Comb_Intfc->clear();
    for (const InterfaceEntry& e : s.Interface_List())
        Comb_Intfc->addItem(e.text, static_cast<int>(e.kind));
}

void SystemDialog::Fill_RangeList() {
    ListFillingGuard filling;
    UpdatingGuard updating(Updating);
    fillCombo(Comb_Range, prog_.Setup.RangeNames);
}

void SystemDialog::Set_ModelCaptions() {
    const bool power = prog_.Setup.IsPowerSource();
    const ModelKindCaptions c = SystemModelKindCaptions(power, English());
    Frm_Oscil->setTitle(c.frame);
    Label_Channel->setText(c.channel);
    Label_Ampl_Unit->setText(c.amplitudeUnit);
    // The power source has no output switch.
    Label_Output->setVisible(!power);
    Panel_Output->setVisible(!power);
}

void SystemDialog::Show_InterfaceFields() {
    const bool usb = prog_.Setup.InterfaceKind == IfUsbTmc;
    Label_GPIB->setVisible(!usb);
    Txt_GPIB[0]->setVisible(!usb);
    UD_GPIB[0]->setVisible(!usb);
    Label_USB->setVisible(usb);
    txtSerialNo->setVisible(usb);
}

// ---------------------------------------------------------------------------
// Show.

void SystemDialog::Show_Setup() {
    Fill_SetupLists();
    Show_Record();
    Set_ModelCaptions();
    Show_InterfaceFields();
}

void SystemDialog::Show_Record() {
    const SystemSetup& s = prog_.Setup;
    const SystemParameter& p = s.Param;
    {
        UpdatingGuard updating(Updating);
        selectIndex(Comb_System, p.ModelNo);
        selectIndex(Comb_Intfc, s.Interface_ListIndex());
        selectIndex(Comb_MSize, s.MemorySizeSelection);
        Txt_MName->setText(p.MemoryName.trimmed());
        Txt_GPIB[0]->setText(QString::number(p.GpibAddress));
        Txt_GPIB[1]->setText(QString::number(p.MemoryNo));
        Show_OscilFields(true, true, true, true);
        selectIndex(Comb_Channel, p.ChannelNo);
        selectIndex(Comb_Range, p.RangeNo);
        selectIndex(Comb_Unit[0], p.XUnitMode);
        selectIndex(Comb_Unit[1], p.YUnitMode);
        Txt_Unit_Name[0]->setText(p.UserXUnitName.trimmed());
        Txt_Unit_Name[1]->setText(p.UserYUnitName.trimmed());
        Show_UnitFields(0);
        Show_UnitFields(1);
    }
    PreviousFrequency = Eng_Val(Txt_Oscil[0]->text());
    PreviousPeriod = Eng_Val(Txt_Oscil[1]->text());

    Panel_Offs->setVisible(p.ModelNo != 0 && p.OffsetSettable != 0);
    Opt_Offs[p.OffsetOn != 0 ? 0 : 1]->setChecked(true);
    const bool memoryNo = p.MemoryNoUsed != 0;
    Label_MNumber->setEnabled(memoryNo);
    Txt_GPIB[1]->setEnabled(memoryNo);
    UD_GPIB[1]->setEnabled(memoryNo);
    const bool channel = p.ChannelUsed != 0;
    Label_Channel->setEnabled(channel);
    Comb_Channel->setEnabled(channel);
    const bool range = s.RangeNames.size() > 1;
    Label_Range->setEnabled(range);
    Comb_Range->setEnabled(range);
    const bool memoryName = p.MemoryNameUsed != 0;
    Label_MName->setEnabled(memoryName);
    Txt_MName->setEnabled(memoryName);
    if (p.OutputState >= 0 && p.OutputState < static_cast<int>(Opt_Output.size()))
        Opt_Output[static_cast<size_t>(p.OutputState)]->setChecked(true);
    Enable_UnitFields(0);
    Enable_UnitFields(1);
}

void SystemDialog::Show_OscilFields(bool frequency, bool period, bool amplitude, bool offset) {
    static const NumberFormats formats;
    const SystemParameter& p = prog_.Setup.Param;
    if (frequency)
        Txt_Oscil[0]->setText(Eng_Str(p.Frequency, formats.FrequencyFormat));
    if (period)
        Txt_Oscil[1]->setText(Eng_Str(p.Period, formats.PeriodFormat));
    if (amplitude)
        Txt_Oscil[2]->setText(Eng_Str(p.Amplitude, formats.AmplitudeFormat));
    if (offset)
        Txt_Oscil[3]->setText(Eng_Str(p.Offset, formats.OffsetFormat));
}

void SystemDialog::Show_UnitFields(int axis) {
    static const NumberFormats formats;
    const SystemParameter& p = prog_.Setup.Param;
    if (axis == 0) {
        Txt_Unit[0]->setText(Eng_Str(p.UserXStart, formats.UserXFormat));
        Txt_Unit[1]->setText(Eng_Str(p.UserXEnd, formats.UserXFormat));
    } else {
        Txt_Unit[2]->setText(Eng_Str(p.UserYMin, formats.UserYFormat));
        Txt_Unit[3]->setText(Eng_Str(p.UserYMax, formats.UserYFormat));
    }
}

void SystemDialog::Enable_UnitFields(int axis) {
    const bool user = Comb_Unit[static_cast<size_t>(axis)]->currentIndex() == 2;
    QLabel* name = axis == 0 ? Label_Unit_Name_X : Label_Unit_Name_Y;
    name->setEnabled(user);
    Txt_Unit_Name[static_cast<size_t>(axis)]->setEnabled(user);
    Label_Unit_VUser[static_cast<size_t>(axis)]->setEnabled(user);
    Label_To[static_cast<size_t>(axis)]->setEnabled(user);
    Txt_Unit[static_cast<size_t>(2 * axis)]->setEnabled(user);
    Txt_Unit[static_cast<size_t>(2 * axis + 1)]->setEnabled(user);
}

// ---------------------------------------------------------------------------
// List handlers.

void SystemDialog::Comb_System_Click() {
    if (Updating != 0 || ListFilling())
        return;
    Apply_SizeChange(prog_.Setup.Change_Model(Comb_System->currentIndex()));
    Fit_InterfaceKind();
    Show_Setup();
}

void SystemDialog::Comb_Intfc_Click() {
    if (Updating != 0 || ListFilling())
        return;
    const QVariant kind = Comb_Intfc->currentData();
    if (!kind.isValid())
        return;
    Apply_Interface(static_cast<int16_t>(kind.toInt()));
}

void SystemDialog::Apply_Interface(int16_t kind) {
    session_.Apply_Interface(kind);
    Show_InterfaceFields();
    Txt_GPIB[0]->setText(QString::number(prog_.Setup.Param.GpibAddress));
}

void SystemDialog::Fit_InterfaceKind() {
    if (session_.Fit_InterfaceKind()) {
        Show_InterfaceFields();
        Txt_GPIB[0]->setText(QString::number(prog_.Setup.Param.GpibAddress));
    }
}

void SystemDialog::Comb_MSize_Click() {
    if (Updating != 0 || ListFilling())
        return;
    const int index = Comb_MSize->currentIndex();
    if (index < 0)
        return;
    Apply_SizeChange(prog_.Setup.Select_MemorySize(index));
    Show_Record();
}

void SystemDialog::Comb_Channel_Click() {
    if (Updating != 0 || ListFilling())
        return;
    const int index = Comb_Channel->currentIndex();
    if (index < 0)
        return;
    SystemSetup& s = prog_.Setup;
    s.Param.ChannelNo = static_cast<int16_t>(index);
    s.Change_Channel(index);
    s.Load_RangeList();
    Fill_RangeList();
    // The channel may bring other limits, values and ranges: show all of it.
    Show_Record();
}

void SystemDialog::Comb_Range_Click() {
    if (Updating != 0 || ListFilling())
        return;
    const int index = Comb_Range->currentIndex();
    if (index < 0)
        return;
    prog_.Setup.Param.RangeNo = static_cast<int16_t>(index);
    prog_.Setup.Change_Range(index);
    Show_Record();
}

void SystemDialog::Opt_Output_Click(int index) {
    prog_.Setup.Param.OutputState = static_cast<int16_t>(index);
}

void SystemDialog::Opt_Offs_Click(int index) {
    prog_.Setup.Param.OffsetOn = index == 0 ? -1 : 0;
}

void SystemDialog::Comb_Unit_Click(int index) {
    if (Updating != 0 || ListFilling())
        return;
    const int mode = Comb_Unit[static_cast<size_t>(index)]->currentIndex();
    if (mode < 0)
        return;
    SystemParameter& p = prog_.Setup.Param;
    (index == 0 ? p.XUnitMode : p.YUnitMode) = static_cast<int16_t>(mode);
    Enable_UnitFields(index);
}

void SystemDialog::SSTab_Click(int index) {
    for (QGroupBox* f : {Frm_Basic, Frm_Memory, Frm_Oscil, Frm_Trans})
        f->setEnabled(index == 0);
    for (QGroupBox* f : {Frm_XUnit, Frm_YUnit})
        f->setEnabled(index == 1);
}

// ---------------------------------------------------------------------------
// Entry fields.

void SystemDialog::Txt_Oscil_LostFocus(int index) {
    QLineEdit* e = Txt_Oscil[static_cast<size_t>(index)];
    if (e->text().trimmed().isEmpty())
        e->setText(QStringLiteral("0"));
    const OscilOutcome out =
        prog_.Setup.Check_Txt_Oscil(index, Eng_Val(e->text()), PreviousFrequency, PreviousPeriod);
    Show_OscilFields(out.showFrequency, out.showPeriod, out.showAmplitude, out.showOffset);
    PreviousFrequency = Eng_Val(Txt_Oscil[0]->text());
    PreviousPeriod = Eng_Val(Txt_Oscil[1]->text());
}

void SystemDialog::Txt_GPIB_LostFocus(int index) {
    QLineEdit* e = Txt_GPIB[static_cast<size_t>(index)];
    if (e->text().isEmpty())
        e->setText(QStringLiteral("0"));
    const std::optional<int> v = wholeNumber(e->text());
    const SystemParameter& p = prog_.Setup.Param;
    if (index == 0) {
        session_.Set_GpibAddress(v);
        e->setText(QString::number(p.GpibAddress));
    } else {
        session_.Set_MemoryNo(v);
        e->setText(QString::number(p.MemoryNo));
    }
}

void SystemDialog::UD_GPIB_Change(int index, int steps) {
    const SystemParameter& p = prog_.Setup.Param;
    if (index == 0) {
        session_.Step_GpibAddress(steps);
        Txt_GPIB[0]->setText(QString::number(p.GpibAddress));
    } else {
        session_.Step_MemoryNo(steps);
        Txt_GPIB[1]->setText(QString::number(p.MemoryNo));
    }
}

void SystemDialog::Txt_MName_LostFocus() {
    prog_.Setup.Param.MemoryName = fixedWidth(Txt_MName->text().trimmed(), 16);
}

void SystemDialog::Txt_Unit_Name_LostFocus(int index) {
    SystemParameter& p = prog_.Setup.Param;
    const QString name = fixedWidth(Txt_Unit_Name[static_cast<size_t>(index)]->text().trimmed(), 8);
    (index == 0 ? p.UserXUnitName : p.UserYUnitName) = name;
}

void SystemDialog::Txt_Unit_LostFocus(int index) {
    const int axis = index / 2;
    const double start = Eng_Val(Txt_Unit[static_cast<size_t>(2 * axis)]->text());
    const double end = Eng_Val(Txt_Unit[static_cast<size_t>(2 * axis + 1)]->text());
    if (start < end) {
        SystemParameter& p = prog_.Setup.Param;
        (axis == 0 ? p.UserXStart : p.UserYMin) = start;
        (axis == 0 ? p.UserXEnd : p.UserYMax) = end;
    }
    // Accepted or not, the fields show what the record now holds.
    Show_UnitFields(axis);
}

// ---------------------------------------------------------------------------
// Size changes and the waveform.

void SystemDialog::Apply_SizeChange(const SizeChange& change) {
    session_.Apply_SizeChange(change);
}

// ---------------------------------------------------------------------------
// Buttons and the focus timer.

void SystemDialog::Btn_OK_Click() {
    session_.Commit(txtSerialNo->text());
    Show_Record();
    if (mainRefresh_)
        mainRefresh_();
    Close_Dialog();
}

void SystemDialog::Btn_Cancel_Click() {
    session_.Restore();
    txtSerialNo->setText(prog_.SerialNumber);
    Show_Setup();
    if (mainRefresh_)
        mainRefresh_();
    Close_Dialog();
}

void SystemDialog::timSetFocus_Timer() {
    if (!isVisible() || !isEnabled() || prog_.ActiveTool != ToolSystem)
        return;
    // Only the main window's own activation is undone: a box or another
    // program keeps the focus it was given.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return;
    QWidget* active = QApplication::activeWindow();
    if (!active || active == this || active != parentWidget())
        return;
    raise();
    activateWindow();
}

// ---------------------------------------------------------------------------
// Keys and focus of the entry fields.

void SystemDialog::addField(QLineEdit* edit, std::function<void()> apply, bool dropSpaces,
                            bool digitsOnly) {
    edit->installEventFilter(this);
    fields_.push_back({edit, std::move(apply), dropSpaces, digitsOnly});
}

bool SystemDialog::eventFilter(QObject* watched, QEvent* event) {
    const auto it = std::find_if(fields_.begin(), fields_.end(),
                                 [watched](const Field& f) { return f.edit == watched; });
    if (it == fields_.end())
        return QDialog::eventFilter(watched, event);
    const Field& f = *it;

    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Switching to another window or opening a menu is not leaving the field.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            isVisible() && !closing_ && Updating == 0)
            f.apply();
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;

    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        f.apply();
        return false; // the focus moves on as usual
    case Qt::Key_Return:
    case Qt::Key_Enter:
        f.apply();
        f.edit->selectAll();
        return true; // never the dialog's buttons
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return false;
    default:
        break;
    }
    const QString text = key->text();
    if (text.isEmpty() || text.at(0).unicode() < 0x20 || text.at(0).unicode() == 0x7F)
        return false; // control keys and shortcuts
    if (f.dropSpaces && text.at(0) == QLatin1Char(' '))
        return true;
    if (f.digitsOnly && !std::all_of(text.begin(), text.end(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        }))
        return true;
    return false;
}

// --- System Setup File ---------------------------------------------------

void SystemDialog::Menu_FileOpen_Click() {
    FileHooks hooks;
    hooks.setupChanged = [this] { Show_Setup(); };
    hooks.applySizeChange = [this](const SizeChange& change) { session_.Apply_SizeChange(change); };
    hooks.showWholeWave = [this] {
        if (mainRefresh_)
            mainRefresh_();
    };
    FileCommands(prog_, std::move(hooks)).File_Open(KindSetup);
}

void SystemDialog::Menu_FileSave_Click() {
    FileCommands(prog_).File_Save(KindSetup);
}

} // namespace velda
