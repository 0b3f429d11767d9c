#include "tools/ElasticDialog.h"

#include "app/Captions.h"
#include "app/CaptionsWidget.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "app/Twips.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velda::tools {

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QPushButton* button(QWidget* parent, const QString& name, const QString& fixedText = {}) {
    auto* b = named(new QPushButton(fixedText, parent), name);
    // Enter in a box applies the box; it must not press a button.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

} // namespace

const CaptionTable& ElasticCaptions() {
    static const CaptionTable table{
        {"ElasticDialog", -1, u("VELDA - Compress/Decompress"), u("VELDA - 圧縮/伸張")},
        {"Frame_X", -1, u("X"), u("X軸")},
        {"Label", 0, u("&Start X="), u("開始点(&S)X=")},
        {"Label", 1, u("&End   X="), u("終了点(&E)X=")},
        {"Label", 2, u("        Y="), u("　　　   Y=")},
        {"Label", 3, u("        Y="), u("　　　   Y=")},
        {"Btn_Length", -1, u("Fit Length"), u("全長に伸張")},
        {"Frame_Y", -1, u("Y"), u("Y軸")},
        {"Opt_Y", 0, u("&Max/Min"), u("最大/最小(&M)")},
        {"Opt_Y", 1, u("Amp/&Offs"), u("振幅/ｵﾌｾｯﾄ(&O)")},
        {"Label_Y", 0, u("Ma&x"), u("最大(&X)")},
        {"Label_Y", 1, u("Mi&n"), u("最小(&N)")},
        {"Label_Y", 2, u("Ampli&tude"), u("振幅(&T)")},
        {"Label_Y", 3, u("&DC Offset"), u("DCｵﾌｾｯﾄ(&D)")},
        {"Btn_Peak", -1, u("Fit Peak-Peak"), u("最大振幅")},
        {"Btn_Ampl", -1, u("Fit Amplitude"), u("ｵﾌｾｯﾄ固定最大振幅")},
        {"Btn_OK", -1, u("OK"), u("OK")},
        {"Btn_Cancel", -1, u("Cancel"), u("ｷｬﾝｾﾙ")},
        {"Btn_Help", -1, u("Help"), u("ﾍﾙﾌﾟ")},
    };
    return table;
}

ElasticDialog::ElasticDialog(Program& program, Host host, QWidget* parent)
    : QDialog(parent), prog_(program), host_(std::move(host)),
      elastic_(program.Document, program.Units) {
    setObjectName(QStringLiteral("ElasticDialog"));
    setModal(true);
    buildControls();
    connectControls();
    Form_Load();
}

ElasticDialog::~ElasticDialog() {
    // Taken down without closing: the logic restores the initial waveform on
    // its own, but must not call back into this half-destroyed window.
    elastic_.onChanged = nullptr;
}

void ElasticDialog::buildControls() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 8, 8, 8);

    Frame_X = named(new QGroupBox(this), QStringLiteral("Frame_X"));
    {
        auto* g = new QGridLayout(Frame_X);
        for (int i = 0; i < 4; ++i) {
            const auto k = static_cast<size_t>(i);
            Text_X[k] = named(new QLineEdit(Frame_X), indexed("Text_X", i));
            Text_X[k]->setMinimumWidth(110);
            Label[k] = named(new QLabel(Frame_X), indexed("Label", i));
            Label[k]->setBuddy(Text_X[k]);
            // The result's values at the two ends are shown only.
            if (i >= 2) {
                Text_X[k]->setReadOnly(true);
                Text_X[k]->setFocusPolicy(Qt::NoFocus);
            }
            g->addWidget(Label[k], i % 2, (i / 2) * 2);
            g->addWidget(Text_X[k], i % 2, (i / 2) * 2 + 1);
        }
        Btn_Length = button(Frame_X, QStringLiteral("Btn_Length"));
        g->addWidget(Btn_Length, 2, 0, 1, 4, Qt::AlignRight);
    }
    root->addWidget(Frame_X);

    Frame_Y = named(new QGroupBox(this), QStringLiteral("Frame_Y"));
    {
        auto* g = new QGridLayout(Frame_Y);
        for (int i = 0; i < 2; ++i) {
            Opt_Y[static_cast<size_t>(i)] = named(new QRadioButton(Frame_Y), indexed("Opt_Y", i));
            g->addWidget(Opt_Y[static_cast<size_t>(i)], 0, i * 2, 1, 2);
        }
        // Both pairs of boxes share the rows; only one pair is shown.
        for (int i = 0; i < 4; ++i) {
            const auto k = static_cast<size_t>(i);
            Text_Y[k] = named(new QLineEdit(Frame_Y), indexed("Text_Y", i));
            Text_Y[k]->setMinimumWidth(110);
            Label_Y[k] = named(new QLabel(Frame_Y), indexed("Label_Y", i));
            Label_Y[k]->setBuddy(Text_Y[k]);
            g->addWidget(Label_Y[k], 1 + i % 2, 0);
            g->addWidget(Text_Y[k], 1 + i % 2, 1, 1, 3);
        }
        auto* fits = new QHBoxLayout;
        Btn_Peak = button(Frame_Y, QStringLiteral("Btn_Peak"));
        Btn_Ampl = button(Frame_Y, QStringLiteral("Btn_Ampl"));
        fits->addStretch(1);
        fits->addWidget(Btn_Peak);
        fits->addWidget(Btn_Ampl);
        g->addLayout(fits, 3, 0, 1, 4);
    }
    root->addWidget(Frame_Y);

    auto* buttons = new QHBoxLayout;
    Btn_Help = button(this, QStringLiteral("Btn_Help"));
    Btn_OK = button(this, QStringLiteral("Btn_OK"));
    Btn_Cancel = button(this, QStringLiteral("Btn_Cancel"));
    buttons->addWidget(Btn_Help);
    buttons->addStretch(1);
    buttons->addWidget(Btn_OK);
    buttons->addWidget(Btn_Cancel);
    root->addLayout(buttons);

    setTabOrder(Text_X[0], Text_X[1]);
    setTabOrder(Text_X[1], Btn_Length);
    setTabOrder(Btn_Length, Opt_Y[0]);
    setTabOrder(Opt_Y[0], Opt_Y[1]);
    setTabOrder(Opt_Y[1], Text_Y[0]);
    setTabOrder(Text_Y[0], Text_Y[1]);
    setTabOrder(Text_Y[1], Text_Y[2]);
    setTabOrder(Text_Y[2], Text_Y[3]);
}

void ElasticDialog::connectControls() {
    for (int i = 0; i < 2; ++i) {
        connect(Text_X[static_cast<size_t>(i)], &QLineEdit::editingFinished, this,
                [this, i] { Text_X_LostFocus(i); });
        connect(Opt_Y[static_cast<size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { Opt_Y_Click(i); });
    }
    for (int i = 0; i < 4; ++i)
        connect(Text_Y[static_cast<size_t>(i)], &QLineEdit::editingFinished, this,
                [this, i] { Text_Y_LostFocus(i); });
    connect(Btn_Length, &QPushButton::clicked, this, [this] { Btn_Length_Click(); });
    connect(Btn_Peak, &QPushButton::clicked, this, [this] { Btn_Peak_Click(); });
    connect(Btn_Ampl, &QPushButton::clicked, this, [this] { Btn_Ampl_Click(); });
    connect(Btn_OK, &QPushButton::clicked, this, [this] { Btn_OK_Click(); });
    connect(Btn_Cancel, &QPushButton::clicked, this, [this] { Btn_Cancel_Click(); });
    connect(Btn_Help, &QPushButton::clicked, this, [this] {
        if (host_.showHelp)
            host_.showHelp(1);
    });
    Add_HelpShortcut(this, Btn_Help);
    elastic_.onChanged = [this] {
        if (host_.waveChanged)
            host_.waveChanged();
    };
}

void ElasticDialog::Form_Load() {
    applyCaptions(this, ElasticCaptions());
    Apply_Font(this, FormFontName(), 9);
    if (prog_.Registry) {
        Restore_FormPosition(this, *prog_.Registry, objectName());
    }
    elastic_.Open();
    Fill_X();
    Fill_Y();
    Opt_Y[0]->setChecked(true);
    Opt_Y_Click(0);
}

void ElasticDialog::Fill_X() {
    for (int i = 0; i < 4; ++i)
        Text_X[static_cast<size_t>(i)]->setText(elastic_.XText(i));
}

void ElasticDialog::Fill_Y() {
    for (int i = 0; i < 4; ++i)
        Text_Y[static_cast<size_t>(i)]->setText(elastic_.YText(i));
}

void ElasticDialog::Text_X_LostFocus(int i) {
    if (closed_)
        return;
    if (elastic_.Set_X(i, Text_X[static_cast<size_t>(i)]->text()))
        Fill_X();
    else
        Text_X[static_cast<size_t>(i)]->setText(elastic_.XText(i));
}

void ElasticDialog::Text_Y_LostFocus(int i) {
    if (closed_)
        return;
    if (elastic_.Set_Y(i, Text_Y[static_cast<size_t>(i)]->text())) {
        Fill_Y();
        // The result's values at the two ends moved with it.
        Fill_X();
    } else {
        Text_Y[static_cast<size_t>(i)]->setText(elastic_.YText(i));
    }
}

void ElasticDialog::Opt_Y_Click(int i) {
    const bool maxMin = i == 0;
    for (int k = 0; k < 4; ++k) {
        const bool shown = (k < 2) == maxMin;
        Label_Y[static_cast<size_t>(k)]->setVisible(shown);
        Text_Y[static_cast<size_t>(k)]->setVisible(shown);
    }
}

void ElasticDialog::Btn_Length_Click() {
    elastic_.Fit_Length();
    Fill_X();
}

void ElasticDialog::Btn_Peak_Click() {
    elastic_.Fit_PeakPeak();
    Fill_Y();
    Fill_X();
}

void ElasticDialog::Btn_Ampl_Click() {
    elastic_.Fit_Amplitude();
    Fill_Y();
    Fill_X();
}

void ElasticDialog::Btn_OK_Click() {
    accept();
}

void ElasticDialog::Btn_Cancel_Click() {
    reject();
}

void ElasticDialog::done(int r) {
    if (!closed_) {
        closed_ = true;
        if (r == QDialog::Accepted)
            elastic_.OK();
        else
            elastic_.Cancel();
        if (prog_.Registry && !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
            Save_FormPosition(this, *prog_.Registry, objectName());
        }
        elastic_.Close();
    }
    QDialog::done(r);
}

} // namespace velda::tools
