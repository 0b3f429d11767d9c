// The controls of the System Setup form, their layout and their wiring to
// the handlers.
#include "setup/SystemDialog.h"

#include "app/Captions.h"
#include "app/CaptionsWidget.h"
#include "engine/CodePage.h"
#include "engine/DeviceRecord.h"
#include "print/PrintDialog.h"
#include "setup/UpDownWidget.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>

namespace velda {

namespace {

// Often enough that the dialog comes back at once when the main window is
// clicked, rarely enough to cost nothing.
constexpr int kFocusTimerMs = 250;

QLabel* label(QWidget* parent, const QString& name, QWidget* buddy) {
    auto* l = named(new QLabel(parent), name);
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

// The record keeps a name in a field of so many bytes of 8-bit text: a
// character that would not fit is refused as it is typed, instead of being
// cut off at the next check of the set-up.
class FieldBytesValidator : public QValidator {
public:
    FieldBytesValidator(size_t bytes, QObject* parent) : QValidator(parent), bytes_(bytes) {}
    State validate(QString& input, int&) const override {
        return static_cast<size_t>(toCodePage(input).size()) <= bytes_ ? Acceptable : Invalid;
    }

private:
    size_t bytes_;
};

void limitToField(QLineEdit* edit, size_t bytes) {
    edit->setMaxLength(static_cast<int>(bytes));
    edit->setValidator(new FieldBytesValidator(bytes, edit));
}

} // namespace

void SystemDialog::buildControls() {
    auto* root = new QVBoxLayout(this);

    // The set-up file menu: open, save and print of the set-up file.
    MenuBar = named(new QMenuBar(this), QStringLiteral("MenuBar"));
    Menu_File = named(MenuBar->addMenu(QString()), QStringLiteral("Menu_File"));
    Menu_FileOpen = Menu_File->addAction(QString());
    Menu_FileOpen->setObjectName(QStringLiteral("Menu_FileOpen"));
    Menu_FileSave = Menu_File->addAction(QString());
    Menu_FileSave->setObjectName(QStringLiteral("Menu_FileSave"));
    Menu_File->addSeparator();
    Menu_FilePrint = Menu_File->addAction(QString());
    Menu_FilePrint->setObjectName(QStringLiteral("Menu_FilePrint"));
    root->setMenuBar(MenuBar);

    SSTab = named(new QTabWidget(this), QStringLiteral("SSTab"));
    root->addWidget(SSTab);
    auto* page0 = named(new QWidget, indexed("SSTab_Page", 0));
    auto* page1 = named(new QWidget, indexed("SSTab_Page", 1));
    SSTab->addTab(page0, QString());
    SSTab->addTab(page1, QString());

    // [Basic Setup]: model, interface, bus address or serial number.
    Frm_Basic = named(new QGroupBox(page0), QStringLiteral("Frm_Basic"));
    {
        auto* g = new QGridLayout(Frm_Basic);
        Comb_System = named(new QComboBox(Frm_Basic), QStringLiteral("Comb_System"));
        Comb_Intfc = named(new QComboBox(Frm_Basic), QStringLiteral("Comb_Intfc"));
        Txt_GPIB[0] = named(new QLineEdit(Frm_Basic), indexed("Txt_GPIB", 0));
        UD_GPIB[0] = named(new UpDownWidget(Frm_Basic), indexed("UD_GPIB", 0));
        txtSerialNo = named(new QLineEdit(Frm_Basic), QStringLiteral("txtSerialNo"));
        Label_System = label(Frm_Basic, QStringLiteral("Label_System"), Comb_System);
        Label_Intfc = label(Frm_Basic, QStringLiteral("Label_Intfc"), Comb_Intfc);
        Label_GPIB = label(Frm_Basic, QStringLiteral("Label_GPIB"), Txt_GPIB[0]);
        Label_USB = label(Frm_Basic, QStringLiteral("Label_USB"), txtSerialNo);
        g->addWidget(Label_System, 0, 0);
        g->addWidget(Comb_System, 0, 1, 1, 3);
        g->addWidget(Label_Intfc, 1, 0);
        g->addWidget(Comb_Intfc, 1, 1, 1, 3);
        // The address and the serial number share a row; one of them shows.
        g->addWidget(Label_GPIB, 2, 0);
        g->addWidget(Label_USB, 2, 0);
        g->addWidget(Txt_GPIB[0], 2, 1);
        g->addWidget(UD_GPIB[0], 2, 2);
        g->addWidget(txtSerialNo, 2, 1, 1, 3);
        g->setColumnStretch(3, 1);
    }

    // [Wave Memory Setup]: size, name, number.
    Frm_Memory = named(new QGroupBox(page0), QStringLiteral("Frm_Memory"));
    {
        auto* g = new QGridLayout(Frm_Memory);
        Comb_MSize = named(new QComboBox(Frm_Memory), QStringLiteral("Comb_MSize"));
        Txt_MName = named(new QLineEdit(Frm_Memory), QStringLiteral("Txt_MName"));
        limitToField(Txt_MName, engine::rec::MemoryNameWidth);
        Txt_GPIB[1] = named(new QLineEdit(Frm_Memory), indexed("Txt_GPIB", 1));
        UD_GPIB[1] = named(new UpDownWidget(Frm_Memory), indexed("UD_GPIB", 1));
        Label_MSize = label(Frm_Memory, QStringLiteral("Label_MSize"), Comb_MSize);
        Label_MName = label(Frm_Memory, QStringLiteral("Label_MName"), Txt_MName);
        Label_MNumber = label(Frm_Memory, QStringLiteral("Label_MNumber"), Txt_GPIB[1]);
        g->addWidget(Label_MSize, 0, 0);
        g->addWidget(Comb_MSize, 0, 1, 1, 3);
        g->addWidget(Label_MName, 1, 0);
        g->addWidget(Txt_MName, 1, 1, 1, 3);
        g->addWidget(Label_MNumber, 2, 0);
        g->addWidget(Txt_GPIB[1], 2, 1);
        g->addWidget(UD_GPIB[1], 2, 2);
        g->setColumnStretch(3, 1);
    }
    for (QLineEdit* e : Txt_GPIB) {
        e->setMaxLength(5);
        e->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
    }
    txtSerialNo->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^ ]*")), txtSerialNo));

    // [Oscillator Setup] / [Power Setup].
    Frm_Oscil = named(new QGroupBox(page0), QStringLiteral("Frm_Oscil"));
    {
        auto* g = new QGridLayout(Frm_Oscil);
        Comb_Channel = named(new QComboBox(Frm_Oscil), QStringLiteral("Comb_Channel"));
        Comb_Range = named(new QComboBox(Frm_Oscil), QStringLiteral("Comb_Range"));
        Label_Channel = label(Frm_Oscil, QStringLiteral("Label_Channel"), Comb_Channel);
        Label_Range = label(Frm_Oscil, QStringLiteral("Label_Range"), Comb_Range);
        g->addWidget(Label_Channel, 0, 0);
        g->addWidget(Comb_Channel, 0, 1, 1, 2);
        g->addWidget(Label_Range, 1, 0);
        g->addWidget(Comb_Range, 1, 1, 1, 2);

        Panel_Output = named(new QWidget(Frm_Oscil), QStringLiteral("Panel_Output"));
        auto* out = new QHBoxLayout(Panel_Output);
        out->setContentsMargins(0, 0, 0, 0);
        for (int i = 0; i < 3; ++i) {
            Opt_Output[static_cast<size_t>(i)] =
                named(new QRadioButton(Panel_Output), indexed("Opt_Output", i));
            out->addWidget(Opt_Output[static_cast<size_t>(i)]);
        }
        out->addStretch(1);
        Label_Output = label(Frm_Oscil, QStringLiteral("Label_Output"), Opt_Output[0]);
        g->addWidget(Label_Output, 2, 0);
        g->addWidget(Panel_Output, 2, 1, 1, 2);

        const char* labels[4] = {"Label_Freq", "Label_Cycle", "Label_Ampl", "Label_Offs"};
        const char* units[4] = {"Label_Freq_Unit", "Label_Cycle_Unit", "Label_Ampl_Unit",
                                "Label_Offs_Unit"};
        for (int i = 0; i < 4; ++i) {
            auto* e = named(new QLineEdit(Frm_Oscil), indexed("Txt_Oscil", i));
            Txt_Oscil[static_cast<size_t>(i)] = e;
            auto* l = label(Frm_Oscil, QLatin1String(labels[i]), e);
            auto* u = label(Frm_Oscil, QLatin1String(units[i]), nullptr);
            g->addWidget(l, 3 + i, 0);
            g->addWidget(e, 3 + i, 1);
            g->addWidget(u, 3 + i, 2);
            (i == 0 ? Label_Freq : i == 1 ? Label_Cycle : i == 2 ? Label_Ampl : Label_Offs) = l;
            if (i == 2)
                Label_Ampl_Unit = u;
        }

        Panel_Offs = named(new QWidget(Frm_Oscil), QStringLiteral("Panel_Offs"));
        auto* offs = new QHBoxLayout(Panel_Offs);
        offs->setContentsMargins(0, 0, 0, 0);
        for (int i = 0; i < 2; ++i)
            Opt_Offs[static_cast<size_t>(i)] =
                named(new QRadioButton(Panel_Offs), indexed("Opt_Offs", i));
        Label_Offs_Btn = label(Panel_Offs, QStringLiteral("Label_Offs_Btn"), Opt_Offs[0]);
        offs->addWidget(Label_Offs_Btn);
        offs->addWidget(Opt_Offs[0]);
        offs->addWidget(Opt_Offs[1]);
        offs->addStretch(1);
        g->addWidget(Panel_Offs, 7, 0, 1, 3);
        g->setRowStretch(8, 1);
    }

    // [Transfer]
    Frm_Trans = named(new QGroupBox(page0), QStringLiteral("Frm_Trans"));
    {
        auto* h = new QHBoxLayout(Frm_Trans);
        for (int i = 0; i < 2; ++i) {
            auto* b = named(new QPushButton(Frm_Trans), indexed("Btn_Trans", i));
            b->setAutoDefault(false);
            Btn_Trans[static_cast<size_t>(i)] = b;
            h->addWidget(b);
        }
    }

    {
        auto* g = new QGridLayout(page0);
        g->addWidget(Frm_Basic, 0, 0);
        g->addWidget(Frm_Memory, 1, 0);
        g->addWidget(Frm_Trans, 2, 0);
        g->addWidget(Frm_Oscil, 0, 1, 3, 1);
        g->setRowStretch(3, 1);
    }

    // Second tab: the X and Y units.
    for (int axis = 0; axis < 2; ++axis) {
        auto* frame = named(new QGroupBox(page1),
                            axis == 0 ? QStringLiteral("Frm_XUnit") : QStringLiteral("Frm_YUnit"));
        auto* g = new QGridLayout(frame);
        const size_t a = static_cast<size_t>(axis);
        Comb_Unit[a] = named(new QComboBox(frame), indexed("Comb_Unit", axis));
        Txt_Unit_Name[a] = named(new QLineEdit(frame), indexed("Txt_Unit_Name", axis));
        limitToField(Txt_Unit_Name[a], engine::rec::UnitNameWidth);
        Txt_Unit[2 * a] = named(new QLineEdit(frame), indexed("Txt_Unit", 2 * axis));
        Txt_Unit[2 * a + 1] = named(new QLineEdit(frame), indexed("Txt_Unit", 2 * axis + 1));
        auto* unit =
            label(frame,
                  axis == 0 ? QStringLiteral("Label_Unit_Time") : QStringLiteral("Label_Unit_Volt"),
                  Comb_Unit[a]);
        auto* name = label(frame,
                           axis == 0 ? QStringLiteral("Label_Unit_Name_X")
                                     : QStringLiteral("Label_Unit_Name_Y"),
                           Txt_Unit_Name[a]);
        Label_Unit_VUser[a] = label(frame, indexed("Label_Unit_VUser", axis), Txt_Unit[2 * a]);
        Label_To[a] = label(frame, indexed("Label_To", axis), Txt_Unit[2 * a + 1]);
        g->addWidget(unit, 0, 0);
        g->addWidget(Comb_Unit[a], 0, 1);
        g->addWidget(name, 1, 0);
        g->addWidget(Txt_Unit_Name[a], 1, 1);
        g->addWidget(Label_Unit_VUser[a], 2, 0);
        g->addWidget(Txt_Unit[2 * a], 2, 1);
        g->addWidget(Label_To[a], 2, 2);
        g->addWidget(Txt_Unit[2 * a + 1], 2, 3);
        g->setColumnStretch(4, 1);
        if (axis == 0) {
            Frm_XUnit = frame;
            Label_Unit_Time = unit;
            Label_Unit_Name_X = name;
        } else {
            Frm_YUnit = frame;
            Label_Unit_Volt = unit;
            Label_Unit_Name_Y = name;
        }
    }
    {
        auto* v = new QVBoxLayout(page1);
        v->addWidget(Frm_XUnit);
        v->addWidget(Frm_YUnit);
        v->addStretch(1);
    }

    auto* buttons = new QHBoxLayout;
    Btn_Help = named(new QPushButton(this), QStringLiteral("Btn_Help"));
    Btn_OK = named(new QPushButton(this), QStringLiteral("Btn_OK"));
    Btn_Cancel = named(new QPushButton(this), QStringLiteral("Btn_Cancel"));
    for (QPushButton* b : {Btn_Help, Btn_OK, Btn_Cancel}) {
        // Enter applies the field being typed in; it never closes the dialog.
        b->setAutoDefault(false);
        b->setDefault(false);
        buttons->addWidget(b);
        if (b == Btn_Help)
            buttons->addStretch(1);
    }
    root->addLayout(buttons);

    timSetFocus = named(new QTimer(this), QStringLiteral("timSetFocus"));
    timSetFocus->setInterval(kFocusTimerMs);
}

void SystemDialog::connectControls() {
    for (int i = 0; i < 2; ++i)
        connect(Btn_Trans[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { Btn_Trans_Click(i); });
    connect(Comb_System, &QComboBox::currentIndexChanged, this, [this] { Comb_System_Click(); });
    connect(Comb_Intfc, &QComboBox::currentIndexChanged, this, [this] { Comb_Intfc_Click(); });
    connect(Comb_MSize, &QComboBox::currentIndexChanged, this, [this] { Comb_MSize_Click(); });
    connect(Comb_Channel, &QComboBox::currentIndexChanged, this, [this] { Comb_Channel_Click(); });
    connect(Comb_Range, &QComboBox::currentIndexChanged, this, [this] { Comb_Range_Click(); });
    for (int i = 0; i < 2; ++i)
        connect(Comb_Unit[static_cast<size_t>(i)], &QComboBox::currentIndexChanged, this,
                [this, i] { Comb_Unit_Click(i); });
    for (int i = 0; i < 3; ++i)
        connect(Opt_Output[static_cast<size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { Opt_Output_Click(i); });
    for (int i = 0; i < 2; ++i)
        connect(Opt_Offs[static_cast<size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { Opt_Offs_Click(i); });
    for (int i = 0; i < 2; ++i)
        UD_GPIB[static_cast<size_t>(i)]->onStep = [this, i](int steps) {
            UD_GPIB_Change(i, steps);
        };
    connect(SSTab, &QTabWidget::currentChanged, this, [this](int i) { SSTab_Click(i); });
    connect(Btn_OK, &QPushButton::clicked, this, [this] { Btn_OK_Click(); });
    connect(Menu_FileOpen, &QAction::triggered, this, [this] { Menu_FileOpen_Click(); });
    connect(Menu_FileSave, &QAction::triggered, this, [this] { Menu_FileSave_Click(); });
    connect(Menu_FilePrint, &QAction::triggered, this, [this] { Show_PrintDialog(prog_, this); });
    connect(Btn_Cancel, &QPushButton::clicked, this, [this] { Btn_Cancel_Click(); });
    connect(Btn_Help, &QPushButton::clicked, this, [this] {
        if (showHelp_)
            showHelp_(kHelpIndex);
    });
    Add_HelpShortcut(this, Btn_Help);
    connect(timSetFocus, &QTimer::timeout, this, [this] { timSetFocus_Timer(); });

    for (int i = 0; i < 4; ++i)
        addField(
            Txt_Oscil[static_cast<size_t>(i)], [this, i] { Txt_Oscil_LostFocus(i); }, true, false);
    for (int i = 0; i < 2; ++i)
        addField(
            Txt_GPIB[static_cast<size_t>(i)], [this, i] { Txt_GPIB_LostFocus(i); }, false, true);
    // The serial number is applied by OK; Tab and Enter only move on.
    addField(
        txtSerialNo, [] {}, true, false);
    addField(
        Txt_MName, [this] { Txt_MName_LostFocus(); }, false, false);
    for (int i = 0; i < 4; ++i)
        addField(
            Txt_Unit[static_cast<size_t>(i)], [this, i] { Txt_Unit_LostFocus(i); }, false, false);
    for (int i = 0; i < 2; ++i)
        addField(
            Txt_Unit_Name[static_cast<size_t>(i)], [this, i] { Txt_Unit_Name_LostFocus(i); }, false,
            false);
}

} // namespace velda
