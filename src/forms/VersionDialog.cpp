#include "forms/VersionDialog.h"

#include "app/CaptionsWidget.h"
#include "app/Messages.h"
#include "forms/VersionInfo.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velda {

const CaptionTable& VersionCaptions() {
    static const CaptionTable table{
        {"VersionDialog", -1, QStringLiteral("Version Information"),
         QString::fromUtf8("ﾊﾞｰｼﾞｮﾝ情報")},
        {"Label", 0, QStringLiteral("VELDA ARBITRARY WAVEFORM EDITOR"),
         QString::fromUtf8("VELDA 任意波形作成ｿﾌﾄｳｴｱ")},
        {"Command1", -1, QStringLiteral("OK"), QStringLiteral("OK")},
    };
    return table;
}

VersionDialog::VersionDialog(QWidget* mainWindow) : QDialog(mainWindow), main_(mainWindow) {
    setObjectName(QStringLiteral("VersionDialog"));
    setModal(true);
    auto* root = new QVBoxLayout(this);
    for (int i = 0; i < 2; ++i) {
        Label[static_cast<size_t>(i)] = named(new QLabel(this), indexed("Label", i));
        Label[static_cast<size_t>(i)]->setAlignment(Qt::AlignCenter);
        root->addWidget(Label[static_cast<size_t>(i)]);
    }
    Txt_Libraries = named(new QPlainTextEdit(this), QStringLiteral("Txt_Libraries"));
    Txt_Libraries->setReadOnly(true);
    root->addWidget(Txt_Libraries);
    Command1 = named(new QPushButton(this), QStringLiteral("Command1"));
    Command1->setDefault(true);
    root->addWidget(Command1, 0, Qt::AlignHCenter);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    Form_Load();
}

void VersionDialog::Form_Load() {
    applyCaptions(this, VersionCaptions());
    Apply_Font(this, FormFontName(), 9);
    Label[1]->setText(Version_Line(Program_Version_Major(), Program_Version_Minor(),
                                   Program_Version_Revision(), Program_File_Date()));
    Txt_Libraries->setPlainText(Library_Versions().join(QLatin1Char('\n')));
    adjustSize();
    if (main_) {
        const QRect m = main_->frameGeometry();
        move(m.left() + m.width() / 2 - width() / 2, m.top() + m.height() / 2 - height() / 2);
    }
}

void VersionDialog::Command1_Click() {
    Form_QueryUnload();
    accept();
}

void VersionDialog::Form_QueryUnload() {
    if (main_)
        main_->setEnabled(true);
}

void VersionDialog::closeEvent(QCloseEvent* e) {
    Form_QueryUnload();
    QDialog::closeEvent(e);
}

} // namespace velda
