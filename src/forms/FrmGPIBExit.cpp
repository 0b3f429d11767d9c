#include "forms/FrmGPIBExit.h"

#include "app/CaptionsWidget.h"
#include "app/Messages.h"
#include "app/Registry.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace velda {

namespace {
const QString kFormName = QStringLiteral("FrmGPIBExit");
constexpr double kFontSize = 10;
} // namespace

const CaptionTable& GpibExitCaptions() {
    static const CaptionTable table{
        {"FrmGPIBExit", -1, QStringLiteral("Copy wave data"), QString::fromUtf8("波形データ転送")},
        {"CmdGpibExit", -1, QStringLiteral("Cancel"), QString::fromUtf8("ｷｬﾝｾﾙ")},
    };
    return table;
}

QString GpibExitCountText(int32_t count) {
    return (English() ? QStringLiteral("Count: %1") : QString::fromUtf8("回数: %1")).arg(count);
}

FrmGPIBExit::FrmGPIBExit(clsRegistry* registry, QWidget* parent)
    : QDialog(parent), registry_(registry) {
    setObjectName(kFormName);
    // A tool window of the transfer: no help button, no resizing worth having.
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* root = new QVBoxLayout(this);
    LblMsg = named(new QLabel(this), QStringLiteral("LblMsg"));
    LblMsg->setMinimumWidth(280);
    root->addWidget(LblMsg);
    PrgGPIB = named(new QProgressBar(this), QStringLiteral("PrgGPIB"));
    PrgGPIB->setRange(0, 1000);
    PrgGPIB->setValue(0);
    PrgGPIB->setTextVisible(false);
    root->addWidget(PrgGPIB);
    LblCount = named(new QLabel(this), QStringLiteral("LblCount"));
    LblCount->setVisible(false);
    root->addWidget(LblCount);
    CmdGpibExit = named(new QPushButton(this), QStringLiteral("CmdGpibExit"));
    CmdGpibExit->setAutoDefault(false);
    root->addWidget(CmdGpibExit, 0, Qt::AlignHCenter);
    connect(CmdGpibExit, &QPushButton::clicked, this, &FrmGPIBExit::CmdGpibExit_Click);
    Form_Load();
}

FrmGPIBExit::~FrmGPIBExit() = default;

void FrmGPIBExit::Form_Load() {
    Apply_Font(this, FormFontName(), kFontSize);
    gpibExit_ = false;
    Set_GpibExitLabel();
    if (registry_)
        Restore_FormPosition(this, *registry_, kFormName);
}

void FrmGPIBExit::Set_GpibExitLabel() {
    applyCaptions(this, GpibExitCaptions());
}

void FrmGPIBExit::CmdGpibExit_Click() {
    gpibExit_ = true;
}

void FrmGPIBExit::Form_Unload() {
    const bool normal =
        !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    if (registry_ && normal)
        Save_FormPosition(this, *registry_, kFormName);
    gpibExit_ = true;
}

void FrmGPIBExit::closeEvent(QCloseEvent* e) {
    Form_Unload();
    // QDialog would turn the close into reject(), which here only asks to
    // cancel: the window really closes.
    e->accept();
}

void FrmGPIBExit::reject() {
    CmdGpibExit_Click();
}

void FrmGPIBExit::Show() {
    // Each transfer starts as a freshly loaded window: no cancel request,
    // no message, no count, and the place the user last left it.
    Form_Load();
    LblMsg->clear();
    PrgGPIB->setValue(0);
    LblCount->clear();
    LblCount->setVisible(false);
    show();
    raise();
    Turn();
}

void FrmGPIBExit::Turn() {
    // The transfer runs on this thread and blocks in its bus calls: without
    // a turn of the event loop at each change the window would not even be
    // drawn on a LAN or USB instrument, nor a press of Cancel be seen.
    QCoreApplication::processEvents();
}

void FrmGPIBExit::Set_Message(const QString& text) {
    LblMsg->setText(text);
    Turn();
}

void FrmGPIBExit::Set_Progress(int value) {
    PrgGPIB->setValue(std::clamp(value, PrgGPIB->minimum(), PrgGPIB->maximum()));
    Turn();
}

void FrmGPIBExit::Set_Count(int32_t count) {
    LblCount->setText(GpibExitCountText(count));
    LblCount->setVisible(true);
    Turn();
}

void FrmGPIBExit::Close() {
    if (isVisible())
        close();
}

} // namespace velda
