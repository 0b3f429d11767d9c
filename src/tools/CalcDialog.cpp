#include "tools/CalcDialog.h"

#include "app/Captions.h"
#include "app/CaptionsWidget.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "app/Twips.h"
#include "document/SurfaceWidget.h"
#include "engine/wavelb32_draw.h"
#include "tools/CreateDialog.h"

#include <QAction>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace velda::tools {

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The previews: grey grid on white, the waveform in palette colour 9.
constexpr int32_t kGridColour = 0x808080;
const QColor kBack(Qt::white);
const QColor kWave(0, 0, 255);

QPushButton* button(QWidget* parent, const QString& name, const QString& fixedText = {}) {
    auto* b = named(new QPushButton(fixedText, parent), name);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

} // namespace

const CaptionTable& CalcCaptions() {
    static const CaptionTable table{
        {"CalcDialog", -1, u("VELDA - Operate"), u("VELDA - 波形間演算")},
        {"Label_Src", -1, u("Selected Area"), u("選択領域")},
        {"Label_Dest", -1, u("Clip Board/Created Waveform"), u("ｸﾘｯﾌﾟﾎﾞｰﾄﾞ/生成波形")},
        {"Label_Result", -1, u("Operation Result"), u("演算結果")},
        {"Btn_Cut", -1, u("Clip &Board"), u("ｸﾘｯﾌﾟﾎﾞｰﾄﾞ(&B)")},
        {"Btn_Create", -1, u("Created &Waveform"), u("生成波形(&W)")},
        {"Btn_Cancel", -1, u("Cancel"), u("ｷｬﾝｾﾙ")},
        {"Btn_Help", -1, u("Help"), u("ﾍﾙﾌﾟ")},
    };
    return table;
}

CalcDialog::CalcDialog(Program& program, Host host, QWidget* parent)
    : QDialog(parent), prog_(program), host_(std::move(host)),
      calc_(program.Document, program.Units) {
    setObjectName(QStringLiteral("CalcDialog"));
    setModal(true);
    runCreate = [this](WaveHandle operand) {
        CreateDialog::Host createHost;
        createHost.markersChanged = host_.waveChanged;
        createHost.showHelp = host_.showHelp;
        CreateDialog create(prog_, std::move(createHost), this);
        return create.Show_Create(false, operand);
    };
    buildControls();
    connectControls();
    Form_Load();
}

CalcDialog::~CalcDialog() {
    // Closed without done() (the owner destroyed it): the buffers go anyway.
    calc_.Close();
}

void CalcDialog::buildControls() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 8, 8, 8);

    // Source (op) operand = result, each preview under its label.
    auto* row = new QGridLayout;
    root->addLayout(row, 1);
    auto preview = [this](const char* name) {
        auto* p = named(new SurfaceWidget(this), QLatin1String(name));
        p->setMinimumSize(200, 150);
        p->setFocusPolicy(Qt::NoFocus);
        return p;
    };
    Label_Src = named(new QLabel(this), QStringLiteral("Label_Src"));
    Label_Dest = named(new QLabel(this), QStringLiteral("Label_Dest"));
    Label_Result = named(new QLabel(this), QStringLiteral("Label_Result"));
    Picture_Src = preview("Picture_Src");
    Picture_Dest = preview("Picture_Dest");
    Picture_Result = preview("Picture_Result");
    Comb_Comp = named(new QComboBox(this), QStringLiteral("Comb_Comp"));
    Btn_Result = button(this, QStringLiteral("Btn_Result"), QStringLiteral("="));
    row->addWidget(Label_Src, 0, 0);
    row->addWidget(Picture_Src, 1, 0);
    row->addWidget(Comb_Comp, 1, 1, Qt::AlignCenter);
    row->addWidget(Label_Dest, 0, 2);
    row->addWidget(Picture_Dest, 1, 2);
    row->addWidget(Btn_Result, 1, 3, Qt::AlignCenter);
    row->addWidget(Label_Result, 0, 4);
    row->addWidget(Picture_Result, 1, 4);
    for (int c : {0, 2, 4})
        row->setColumnStretch(c, 1);
    row->setRowStretch(1, 1);

    // Operand sources under the operand preview; closing buttons at the foot.
    auto* sources = new QHBoxLayout;
    Btn_Cut = button(this, QStringLiteral("Btn_Cut"));
    Btn_Create = button(this, QStringLiteral("Btn_Create"));
    sources->addWidget(Btn_Cut);
    sources->addWidget(Btn_Create);
    row->addLayout(sources, 2, 2);

    auto* buttons = new QHBoxLayout;
    Btn_Help = button(this, QStringLiteral("Btn_Help"));
    Btn_OK = button(this, QStringLiteral("Btn_OK"), QStringLiteral("OK"));
    Btn_Cancel = button(this, QStringLiteral("Btn_Cancel"));
    buttons->addWidget(Btn_Help);
    buttons->addStretch(1);
    buttons->addWidget(Btn_OK);
    buttons->addWidget(Btn_Cancel);
    root->addLayout(buttons);
}

void CalcDialog::connectControls() {
    connect(Btn_Cut, &QPushButton::clicked, this, [this] { Btn_Cut_Click(); });
    connect(Btn_Create, &QPushButton::clicked, this, [this] { Btn_Create_Click(); });
    connect(Comb_Comp, &QComboBox::currentIndexChanged, this, [this] { Comb_Comp_Click(); });
    connect(Btn_Result, &QPushButton::clicked, this, [this] { Btn_Result_Click(); });
    connect(Btn_OK, &QPushButton::clicked, this, [this] { Btn_OK_Click(); });
    connect(Btn_Cancel, &QPushButton::clicked, this, [this] { Btn_Cancel_Click(); });
    connect(Btn_Help, &QPushButton::clicked, this, [this] {
        if (host_.showHelp)
            host_.showHelp(3);
    });
    Add_HelpShortcut(this, Btn_Help);
    // A paint draws into the picture only; asking for another paint from
    // inside one would never end.
    Picture_Src->onPaint = [this] {
        renderPreview(Picture_Src, prog_.Document.CurrentBuf(), calc_.SourceStart());
    };
    Picture_Dest->onPaint = [this] { renderPreview(Picture_Dest, calc_.OperandBuf(), 0); };
    Picture_Result->onPaint = [this] { renderPreview(Picture_Result, calc_.ResultBuf(), 0); };
}

void CalcDialog::Form_Load() {
    {
        ListFillingGuard filling;
        applyCaptions(this, CalcCaptions());
        Apply_Font(this, FormFontName(), 9);
        Comb_Comp->clear();
        Comb_Comp->addItems(CalcLogic::OperatorItems());
        QFont symbols(SymbolFontName());
        symbols.setPointSizeF(10);
        symbols.setBold(true);
        Comb_Comp->setFont(symbols);
        Btn_Result->setFont(symbols);
        Comb_Comp->setCurrentIndex(0);
    }
    if (prog_.Registry) {
        Restore_FormPosition(this, *prog_.Registry, objectName());
    }
    calc_.Open();
    Draw_Src();
    Draw_Dest();
    Draw_Result();
}

void CalcDialog::renderPreview(SurfaceWidget* picture, WaveHandle h, double first) {
    QImage& image = picture->picture();
    image.fill(kBack);
    QPainter painter(&image);
    W_DrawGrid(&painter, kGridColour, image.width(), image.height());
    painter.setPen(kWave);
    W_DrawWave2(&painter, h, first, 0, calc_.W(), 65534, image.width(), image.height());
}

void CalcDialog::Draw_Src() {
    renderPreview(Picture_Src, prog_.Document.CurrentBuf(), calc_.SourceStart());
    Picture_Src->update();
}

void CalcDialog::Draw_Dest() {
    renderPreview(Picture_Dest, calc_.OperandBuf(), 0);
    Picture_Dest->update();
}

void CalcDialog::Draw_Result() {
    renderPreview(Picture_Result, calc_.ResultBuf(), 0);
    Picture_Result->update();
}

void CalcDialog::Btn_Cut_Click() {
    calc_.Clip_Board(this);
    Draw_Dest();
}

void CalcDialog::Btn_Create_Click() {
    if (runCreate)
        runCreate(calc_.OperandBuf());
    // Generated, or cleared by the Create dialog's Cancel: shown either way.
    Draw_Dest();
}

void CalcDialog::Comb_Comp_Click() {
    if (ListFilling())
        return;
    calc_.Comb_Comp = static_cast<int>(Comb_Comp->currentIndex());
}

void CalcDialog::Btn_Result_Click() {
    calc_.Comb_Comp = static_cast<int>(Comb_Comp->currentIndex());
    calc_.Result();
    Draw_Result();
}

void CalcDialog::Btn_OK_Click() {
    calc_.OK();
    if (host_.waveChanged)
        host_.waveChanged();
    accept();
}

void CalcDialog::Btn_Cancel_Click() {
    reject();
}

void CalcDialog::done(int r) {
    if (!closed_) {
        closed_ = true;
        if (prog_.Registry && !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
            Save_FormPosition(this, *prog_.Registry, objectName());
        }
        calc_.Close();
    }
    QDialog::done(r);
}

} // namespace velda::tools
