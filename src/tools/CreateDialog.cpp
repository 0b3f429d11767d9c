#include "tools/CreateDialog.h"

#include "files/FileCommands.h"
#include "tools/CreatePagesFile.h"

#include "app/Captions.h"
#include "app/CaptionsWidget.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "app/Twips.h"
#include "document/SurfaceWidget.h"
#include "engine/eval32.h"
#include "engine/wavelb32_make.h"
#include "print/PrintDialog.h"
#include "tools/CreateCaptions.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSizePolicy>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace velda::tools {

namespace {

// A text box that takes no more than its page keeps: a pasted megabyte
// would take the box half a minute to lay out, only to be cut on storing.
class CappedTextEdit final : public QPlainTextEdit {
public:
    CappedTextEdit(int cap, QWidget* parent) : QPlainTextEdit(parent), cap_(cap) {}

protected:
    void insertFromMimeData(const QMimeData* source) override {
        if (!source || !source->hasText())
            return;
        QTextCursor cursor = textCursor();
        const qsizetype kept = toPlainText().size() - cursor.selectedText().size();
        cursor.insertText(source->text().left(std::max<qsizetype>(cap_ - kept, 0)));
        setTextCursor(cursor);
    }

private:
    int cap_;
};

QLabel* buddyLabel(QWidget* parent, const QString& name, QWidget* buddy) {
    auto* l = named(new QLabel(parent), name);
    l->setBuddy(buddy);
    return l;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& fixedText = {}) {
    auto* b = named(new QPushButton(fixedText, parent), name);
    // Enter in an entry field applies the field; it must not press a button.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

} // namespace

CreateDialog::CreateDialog(Program& program, Host host, QWidget* parent)
    : QDialog(parent), prog_(program), pages_(program.Pages), host_(std::move(host)) {
    setObjectName(QStringLiteral("CreateDialog"));
    setModal(true);
    buildControls();
    connectControls();
    Form_Load();
}

CreateDialog::~CreateDialog() {
    // The text boxes outlive this object's own members while the dialog is
    // taken down; they must not call back into it.
    Txt_Const->removeEventFilter(this);
    Txt_Expr->removeEventFilter(this);
}

void CreateDialog::buildControls() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    // The dialog is always the size of what it shows: switching between the
    // parameter and the expression frame never leaves an empty band, and it
    // opens at the same size each time.
    root->setSizeConstraint(QLayout::SetFixedSize);

    MenuBar = named(new QMenuBar(this), QStringLiteral("MenuBar"));
    Menu_File = named(MenuBar->addMenu(QString()), QStringLiteral("Menu_File"));
    Menu_FileOpen = named(Menu_File->addAction(QString()), QStringLiteral("Menu_FileOpen"));
    Menu_FileSave = named(Menu_File->addAction(QString()), QStringLiteral("Menu_FileSave"));
    Menu_File->addSeparator();
    Menu_Print = named(Menu_File->addAction(QString()), QStringLiteral("Menu_Print"));
    Menu_Edit = named(MenuBar->addMenu(QString()), QStringLiteral("Menu_Edit"));
    Menu_Clear = named(Menu_Edit->addAction(QString()), QStringLiteral("Menu_Clear"));
    Menu_AllClear = named(Menu_Edit->addAction(QString()), QStringLiteral("Menu_AllClear"));
    root->setMenuBar(MenuBar);

    auto* body = new QHBoxLayout;
    root->addLayout(body, 1);

    // Left: function, page panel, area, parameters or expression.
    auto* left = new QVBoxLayout;
    body->addLayout(left, 0);

    auto* funcRow = new QHBoxLayout;
    Comb_Wave = named(new QComboBox(this), QStringLiteral("Comb_Wave"));
    Label_Wave = buddyLabel(this, QStringLiteral("Label_Wave"), Comb_Wave);
    funcRow->addWidget(Label_Wave);
    funcRow->addWidget(Comb_Wave, 1);
    left->addLayout(funcRow);

    Panel_Page = named(new QWidget(this), QStringLiteral("Panel_Page"));
    {
        auto* g = new QHBoxLayout(Panel_Page);
        g->setContentsMargins(0, 0, 0, 0);
        const char* arrows[4] = {"|<", "<", ">", ">|"};
        for (int i = 0; i < 2; ++i) {
            Cmd_Page[i] = button(Panel_Page, indexed("Cmd_Page", i), QLatin1String(arrows[i]));
            g->addWidget(Cmd_Page[i]);
        }
        Txt_Page = named(new QLineEdit(Panel_Page), QStringLiteral("Txt_Page"));
        Txt_Page->setAlignment(Qt::AlignCenter);
        Txt_Page->setMaximumWidth(48);
        g->addWidget(Txt_Page);
        for (int i = 2; i < 4; ++i) {
            Cmd_Page[i] = button(Panel_Page, indexed("Cmd_Page", i), QLatin1String(arrows[i]));
            g->addWidget(Cmd_Page[i]);
        }
        for (QPushButton* b : Cmd_Page)
            b->setMaximumWidth(36);
        g->addSpacing(12);
        for (int i = 0; i < 2; ++i) {
            Opt_effect[i] = named(new QRadioButton(Panel_Page), indexed("Opt_effect", i));
            g->addWidget(Opt_effect[i]);
        }
        g->addStretch(1);
    }
    left->addWidget(Panel_Page);

    auto* areaRow = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        Text_X[i] = named(new QLineEdit(this), indexed("Text_X", i));
        Text_X[i]->setMinimumWidth(100);
    }
    Label_Scope_X = buddyLabel(this, QStringLiteral("Label_Scope_X"), Text_X[0]);
    Label_To = named(new QLabel(this), QStringLiteral("Label_To"));
    Label_XUnit = named(new QLabel(this), QStringLiteral("Label_XUnit"));
    areaRow->addWidget(Label_Scope_X);
    areaRow->addWidget(Text_X[0], 1);
    areaRow->addWidget(Label_To);
    areaRow->addWidget(Text_X[1], 1);
    areaRow->addWidget(Label_XUnit);
    left->addLayout(areaRow);

    Frame_Std = named(new QGroupBox(this), QStringLiteral("Frame_Std"));
    {
        auto* g = new QGridLayout(Frame_Std);
        for (int i = 0; i < ParamCount; ++i) {
            Text[static_cast<size_t>(i)] = named(new QLineEdit(Frame_Std), indexed("Text", i));
            Label_Param[static_cast<size_t>(i)] =
                buddyLabel(Frame_Std, indexed("Label_Param", i), Text[static_cast<size_t>(i)]);
            Label_Unit[static_cast<size_t>(i)] =
                named(new QLabel(Frame_Std), indexed("Label_Unit", i));
            // Hidden parameters keep their room, so the dialog does not
            // jump in size when the function changes.
            for (QWidget* w : std::initializer_list<QWidget*>{Label_Param[static_cast<size_t>(i)],
                                                              Text[static_cast<size_t>(i)],
                                                              Label_Unit[static_cast<size_t>(i)]}) {
                QSizePolicy sp = w->sizePolicy();
                sp.setRetainSizeWhenHidden(true);
                w->setSizePolicy(sp);
            }
            g->addWidget(Label_Param[static_cast<size_t>(i)], i, 0);
            g->addWidget(Text[static_cast<size_t>(i)], i, 1);
            g->addWidget(Label_Unit[static_cast<size_t>(i)], i, 2);
        }
        g->setColumnStretch(1, 1);
        g->setRowStretch(ParamCount, 1);
    }
    left->addWidget(Frame_Std, 1);

    Frame_Expr = named(new QGroupBox(this), QStringLiteral("Frame_Expr"));
    {
        auto* g = new QVBoxLayout(Frame_Expr);
        Txt_Const =
            named(new CappedTextEdit(ConstTextLength, Frame_Expr), QStringLiteral("Txt_Const"));
        Txt_Const->setTabChangesFocus(true);
        Txt_Const->setMaximumHeight(80);
        Label_Const = buddyLabel(Frame_Expr, QStringLiteral("Label_Const"), Txt_Const);
        Txt_Expr =
            named(new CappedTextEdit(ExprTextLength, Frame_Expr), QStringLiteral("Txt_Expr"));
        Txt_Expr->setTabChangesFocus(true);
        // The expression's own label is fixed: it names the result.
        Label_Expr = buddyLabel(Frame_Expr, QStringLiteral("Label_Expr"), Txt_Expr);
        Label_Expr->setText(QStringLiteral("f(x) ="));
        Btn_Comp = button(Frame_Expr, QStringLiteral("Btn_Comp"));
        g->addWidget(Label_Const);
        g->addWidget(Txt_Const);
        g->addWidget(Label_Expr);
        g->addWidget(Txt_Expr, 1);
        auto* r = new QHBoxLayout;
        r->addStretch(1);
        r->addWidget(Btn_Comp);
        g->addLayout(r);
    }
    left->addWidget(Frame_Expr, 1);
    Frame_Expr->hide();

    // Right: the preview with its scale, then the buttons.
    auto* right = new QVBoxLayout;
    body->addLayout(right, 1);
    auto* preview = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        Label_Scale[static_cast<size_t>(i)] = named(new QLabel(this), indexed("Label_Scale", i));
        Label_Scale[static_cast<size_t>(i)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    auto* scale = new QVBoxLayout;
    scale->addWidget(Label_Scale[0]);
    scale->addStretch(1);
    scale->addWidget(Label_Scale[2]);
    scale->addStretch(1);
    scale->addWidget(Label_Scale[1]);
    preview->addLayout(scale, 0, 0);
    PictWave = named(new SurfaceWidget(this), QStringLiteral("PictWave"));
    PictWave->setMinimumSize(360, 240);
    PictWave->setFocusPolicy(Qt::NoFocus);
    preview->addWidget(PictWave, 0, 1);
    preview->setColumnStretch(1, 1);
    right->addLayout(preview, 1);

    auto* buttons = new QHBoxLayout;
    Btn_Help = button(this, QStringLiteral("Btn_Help"), QStringLiteral("Help"));
    Btn_OK = button(this, QStringLiteral("Btn_OK"));
    Btn_Confirm = button(this, QStringLiteral("Btn_Confirm"));
    Btn_Cancel = button(this, QStringLiteral("Btn_Cancel"));
    buttons->addWidget(Btn_Help);
    buttons->addStretch(1);
    buttons->addWidget(Btn_OK);
    buttons->addWidget(Btn_Confirm);
    buttons->addWidget(Btn_Cancel);
    right->addLayout(buttons);

    // Tab order: function, page, area, parameters, buttons.
    setTabOrder(Comb_Wave, Txt_Page);
    setTabOrder(Txt_Page, Text_X[0]);
    setTabOrder(Text_X[0], Text_X[1]);
    QWidget* prev = Text_X[1];
    for (QLineEdit* t : Text) {
        setTabOrder(prev, t);
        prev = t;
    }
}

void CreateDialog::connectControls() {
    connect(Comb_Wave, &QComboBox::currentIndexChanged, this, [this] { Comb_Wave_Click(); });
    for (int i = 0; i < ParamCount; ++i)
        connect(Text[static_cast<size_t>(i)], &QLineEdit::editingFinished, this,
                [this, i] { Text_LostFocus(i); });
    for (int i = 0; i < 2; ++i) {
        connect(Text_X[static_cast<size_t>(i)], &QLineEdit::editingFinished, this,
                [this, i] { Text_X_LostFocus(i); });
        connect(Opt_effect[static_cast<size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { Opt_effect_Click(i); });
    }
    for (int i = 0; i < 4; ++i)
        connect(Cmd_Page[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { Cmd_Page_Click(i); });
    connect(Txt_Page, &QLineEdit::editingFinished, this, [this] { Txt_Page_LostFocus(); });
    Txt_Const->installEventFilter(this);
    Txt_Expr->installEventFilter(this);
    connect(Btn_Comp, &QPushButton::clicked, this, [this] { Btn_Comp_Click(); });
    connect(Btn_OK, &QPushButton::clicked, this, [this] { Btn_OK_Click(); });
    connect(Btn_Confirm, &QPushButton::clicked, this, [this] { Btn_Confirm_Click(); });
    connect(Btn_Cancel, &QPushButton::clicked, this, [this] { Btn_Cancel_Click(); });
    connect(Btn_Help, &QPushButton::clicked, this, [this] {
        if (host_.showHelp)
            host_.showHelp(0);
    });
    Add_HelpShortcut(this, Btn_Help);
    connect(Menu_Clear, &QAction::triggered, this, [this] { Menu_Clear_Click(); });
    connect(Menu_FileOpen, &QAction::triggered, this, [this] { Menu_FileOpen_Click(); });
    connect(Menu_FileSave, &QAction::triggered, this, [this] { Menu_FileSave_Click(); });
    connect(Menu_Print, &QAction::triggered, this, [this] { Show_PrintDialog(prog_, this); });
    connect(Menu_AllClear, &QAction::triggered, this, [this] { Menu_AllClear_Click(); });
    connect(PictWave, &SurfaceWidget::mousePressed, this, &CreateDialog::PictWave_MouseDown);
    connect(PictWave, &SurfaceWidget::mouseMoved, this, &CreateDialog::PictWave_MouseMove);
    connect(PictWave, &SurfaceWidget::mouseReleased, this, &CreateDialog::PictWave_MouseUp);
    PictWave->onPaint = [this] { renderPreview(); };
}

bool CreateDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        if (watched == Txt_Const)
            Txt_Const_LostFocus();
        else if (watched == Txt_Expr)
            Txt_Expr_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}

void CreateDialog::Form_Load() {
    Set_CreateCaptions();
    Apply_Font(this, FormFontName(), 9);
    if (prog_.Registry) {
        Restore_FormPosition(this, *prog_.Registry, objectName());
    }
    // Both random generators take the same seed, 0..100, new at every start.
    seed_ = static_cast<int32_t>(std::lround(QRandomGenerator::global()->generateDouble() * 100));
    W_InitRand(seed_);
    EvalInitRandom(seed_);
}

void CreateDialog::Set_CreateCaptions() {
    ListFillingGuard filling;
    applyCaptions(this, CreateCaptions());
    const bool english = English();
    Comb_Wave->clear();
    Comb_Wave->addItems(CreateWaveItems(english));
    Comb_Wave->setCurrentIndex(0);
    // The help button's caption is fixed per language.
    Btn_Help->setText(english ? QStringLiteral("Help") : QString::fromUtf8("ﾍﾙﾌﾟ"));
    for (int i = 0; i < UnitTextCount; ++i)
        pages_.UnitText[static_cast<size_t>(i)] = UnitTextItem(i, english);
}

int CreateDialog::Show_Create(bool createToWave, WaveHandle operandBuf) {
    Prepare(createToWave, operandBuf);
    return exec();
}

void CreateDialog::done(int r) {
    if (prog_.Registry && !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
        Save_FormPosition(this, *prog_.Registry, objectName());
    }
    // Constants defined by this session's expressions are not carried into
    // the next one.
    ClearConstant();
    if (!CreateToWave && Cancelled) {
        const CreatePageRecord& p = page();
        W_ClearMemory(CreateBuf, 0, p.AreaEnd - p.AreaStart);
    }
    QDialog::done(r);
}

void CreateDialog::reject() {
    Btn_Cancel_Click();
}

// --- Expression files --------------------------------------------------------

void CreateDialog::Menu_FileOpen_Click() {
    const QString path = FileCommands(prog_).File_Open(KindExpression, [this](const QString& p) {
        return Read_Pages_File(p, prog_.Pages, prog_.Units);
    });
    if (path.isEmpty())
        return;
    // Opened from Operate the dialog works on page 0, the marked area, which
    // a file never holds: the pages read wait for the page mode.
    if (!CreateToWave)
        return;
    // As after "All Page Clear": nothing generated before stays, page 1 shows.
    W_ClearMemory(CreateBuf, 0, prog_.Document.N());
    Goto_Page(CreatePages::FirstPage);
}

void CreateDialog::Menu_FileSave_Click() {
    FileCommands(prog_).File_Save(KindExpression, false, [this](const QString& p) {
        return Write_Pages_File(p, prog_.Pages, prog_.Units, English());
    });
}

} // namespace velda::tools
