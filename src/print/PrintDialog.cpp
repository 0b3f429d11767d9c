#include "print/PrintDialog.h"

#include "app/CaptionsWidget.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "app/Prompts.h"
#include "files/FileCommands.h"
#include "print/PrintSettings.h"
#include "setup/UpDownWidget.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QFontDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace velda {

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QPushButton* button(QWidget* parent, const QString& name) {
    auto* b = named(new QPushButton(parent), name);
    // Enter in a margin box applies the box; it must not press a button.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

} // namespace

const CaptionTable& PrintCaptions() {
    static const CaptionTable table{
        {"PrintDialog", -1, u("VELDA - Print"), u("VELDA - 印刷")},
        {"Btn_OK", -1, u("OK"), u("OK")},
        {"Btn_Cancel", -1, u("Cancel"), u("ｷｬﾝｾﾙ")},
        {"Label", 0, u("&Top Margin"), u("上ﾏｰｼﾞﾝ(&T)")},
        {"Label", 1, u("&Bottom Margin"), u("下ﾏｰｼﾞﾝ(&B)")},
        {"Label", 2, u("&Left Margin"), u("左ﾏｰｼﾞﾝ(&L)")},
        {"Label_mm", 0, u("mm"), u("mm")},
        {"Label_mm", 1, u("mm"), u("mm")},
        {"Label_mm", 2, u("mm"), u("mm")},
        {"Btn_Printer", -1, u("&Printer Setup..."), u("ﾌﾟﾘﾝﾀの設定(&P)...")},
        {"Btn_Font", -1, u("Select &Font..."), u("ﾌｫﾝﾄの指定(&F)...")},
        {"Btn_Preview", -1, u("Pre&view..."), u("印刷ﾌﾟﾚﾋﾞｭｰ(&V)...")},
        {"Btn_Pdf", -1, u("Save as P&DF..."), u("PDFで保存(&D)...")},
    };
    return table;
}

bool Main_Shows_Digital(const QWidget* from) {
    const QWidget* top = from;
    while (top && top->parentWidget())
        top = top->parentWidget();
    if (!top)
        return false;
    const auto* opt = top->findChild<const QAbstractButton*>(QStringLiteral("Opt_DspSel(1)"));
    return opt && opt->isChecked();
}

void Show_PrintDialog(Program& program, QWidget* parent) {
    PrintDialog d(program, Main_Shows_Digital(parent), parent);
    d.exec();
}

PrintDialog::PrintDialog(Program& program, bool digitalView, QWidget* parent)
    : QDialog(parent), prog_(program), digital_(digitalView),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName(QStringLiteral("PrintDialog"));
    setModal(true);
    // Margins are measured from the paper's edge.
    printer_->setFullPage(true);
    runPrinterDialog = [this](QPrinter& p) {
        QPrintDialog d(&p, this);
        return d.exec() == QDialog::Accepted;
    };
    runFontDialog = [this](const QFont& current) -> std::optional<QFont> {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, current, this);
        if (!ok)
            return std::nullopt;
        return f;
    };
    runPreview = [](QDialog& d) { d.exec(); };
    buildControls();
    connectControls();
    Form_Load();
}

PrintDialog::~PrintDialog() = default;

void PrintDialog::buildControls() {
    auto* root = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        const auto k = static_cast<size_t>(i);
        Label[k] = named(new QLabel(this), indexed("Label", i));
        Text[k] = named(new QLineEdit(this), indexed("Text", i));
        Text[k]->setMaximumWidth(60);
        Label[k]->setBuddy(Text[k]);
        UD_Margin[k] = named(new UpDownWidget(this), indexed("UD_Margin", i));
        Label_mm[k] = named(new QLabel(this), indexed("Label_mm", i));
        grid->addWidget(Label[k], i, 0);
        grid->addWidget(Text[k], i, 1);
        grid->addWidget(UD_Margin[k], i, 2);
        grid->addWidget(Label_mm[k], i, 3);
    }
    root->addLayout(grid);
    Label_Font = named(new QLabel(this), QStringLiteral("Label_Font"));
    root->addWidget(Label_Font);
    auto* setup = new QHBoxLayout;
    Btn_Printer = button(this, QStringLiteral("Btn_Printer"));
    Btn_Font = button(this, QStringLiteral("Btn_Font"));
    setup->addWidget(Btn_Printer);
    setup->addWidget(Btn_Font);
    root->addLayout(setup);
    auto* extra = new QHBoxLayout;
    Btn_Preview = button(this, QStringLiteral("Btn_Preview"));
    Btn_Pdf = button(this, QStringLiteral("Btn_Pdf"));
    extra->addWidget(Btn_Preview);
    extra->addWidget(Btn_Pdf);
    root->addLayout(extra);
    auto* buttons = new QHBoxLayout;
    Btn_OK = button(this, QStringLiteral("Btn_OK"));
    Btn_Cancel = button(this, QStringLiteral("Btn_Cancel"));
    buttons->addStretch(1);
    buttons->addWidget(Btn_OK);
    buttons->addWidget(Btn_Cancel);
    root->addLayout(buttons);
}

void PrintDialog::connectControls() {
    for (int i = 0; i < 3; ++i) {
        const auto k = static_cast<size_t>(i);
        connect(Text[k], &QLineEdit::editingFinished, this, [this, i] { Text_LostFocus(i); });
        UD_Margin[k]->onStep = [this, i](int steps) { UD_Margin_Change(i, steps); };
    }
    connect(Btn_Printer, &QPushButton::clicked, this, [this] { Btn_Printer_Click(); });
    connect(Btn_Font, &QPushButton::clicked, this, [this] { Btn_Font_Click(); });
    connect(Btn_Preview, &QPushButton::clicked, this, [this] { Btn_Preview_Click(); });
    connect(Btn_Pdf, &QPushButton::clicked, this, [this] { Btn_Pdf_Click(); });
    connect(Btn_OK, &QPushButton::clicked, this, [this] { Btn_OK_Click(); });
    connect(Btn_Cancel, &QPushButton::clicked, this, [this] { Btn_Cancel_Click(); });
}

void PrintDialog::Form_Load() {
    applyCaptions(this, PrintCaptions());
    Apply_Font(this, FormFontName(), 9);
    if (prog_.Registry) {
        layout_ = Load_PrintLayout(*prog_.Registry);
        Restore_FormPosition(this, *prog_.Registry, objectName());
    } else {
        layout_.font = Default_PrintFont();
    }
    for (int i = 0; i < 3; ++i)
        showMargin(i);
    showFont();
}

void PrintDialog::showMargin(int i) {
    Text[static_cast<size_t>(i)]->setText(QString::number(layout_.margins[static_cast<size_t>(i)]));
}

void PrintDialog::showFont() {
    Label_Font->setText(QStringLiteral("%1, %2 pt%3%4")
                            .arg(layout_.font.family())
                            .arg(layout_.font.pointSizeF())
                            .arg(layout_.font.bold() ? QStringLiteral(", bold") : QString())
                            .arg(layout_.font.italic() ? QStringLiteral(", italic") : QString()));
}

void PrintDialog::Text_LostFocus(int i) {
    if (i < 0 || i >= 3)
        return;
    if (const auto m = Margin_From_Text(Text[static_cast<size_t>(i)]->text()))
        layout_.margins[static_cast<size_t>(i)] = *m;
    showMargin(i);
}

void PrintDialog::UD_Margin_Change(int i, int direction) {
    if (i < 0 || i >= 3)
        return;
    auto& m = layout_.margins[static_cast<size_t>(i)];
    for (int s = 0; s < std::abs(direction); ++s)
        m = Margin_Step(m, direction);
    showMargin(i);
}

void PrintDialog::Btn_Printer_Click() {
    if (runPrinterDialog)
        runPrinterDialog(*printer_);
}

void PrintDialog::Btn_Font_Click() {
    if (!runFontDialog)
        return;
    const std::optional<QFont> f = runFontDialog(layout_.font);
    if (!f)
        return;
    if (!Font_Size_Valid(f->pointSizeF())) {
        ShowError(30);
        return;
    }
    layout_.font = *f;
    showFont();
}

ReportContent PrintDialog::content() const {
    return Report_Content(prog_, English(), digital_);
}

bool PrintDialog::Print_Report(QPrinter& printer) {
    // Qt leaves the pages chosen in its print dialog to the program.
    PageSpan pages;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        pages.first = printer.fromPage();
        pages.last = printer.toPage() > 0 ? printer.toPage() : INT_MAX;
    }
    if (Paint_Report(printer, content(), layout_, nullptr, pages))
        return true;
    const QString where =
        printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
    ShowErrorText(QStringLiteral("[") + where + QStringLiteral("] ") + GetMessage(72));
    return false;
}

void PrintDialog::Btn_OK_Click() {
    // Without a printer the report can still go to a PDF file.
    const bool noPrinter =
        printer_->outputFormat() == QPrinter::NativeFormat && printer_->printerName().isEmpty();
    if (noPrinter ? !Save_Pdf() : !Print_Report(*printer_))
        return;
    Close_Print();
}

void PrintDialog::Btn_Cancel_Click() {
    Close_Print();
}

void PrintDialog::Btn_Preview_Click() {
    QPrintPreviewDialog preview(printer_.get(), this);
    preview.setObjectName(QStringLiteral("PrintPreview"));
    preview.setWindowTitle(windowTitle());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* p) { Paint_Report(*p, content(), layout_); });
    if (runPreview)
        runPreview(preview);
}

void PrintDialog::Btn_Pdf_Click() {
    Save_Pdf();
}

bool PrintDialog::Save_Pdf() {
    FileRequest r;
    r.caption = windowTitle();
    r.directory = Default_Document_Folder();
    r.fileName = QStringLiteral("Untitled.pdf");
    r.filter = QStringLiteral("PDF (*.pdf)");
    // No to the overwrite question goes back to the dialog, as in Save As.
    QString path;
    for (;;) {
        path = With_Default_Extension(prompts().saveFileName(r), QStringLiteral("pdf"));
        if (path.isEmpty())
            return false;
        if (Overwrite_Or_Ask_Again(path, r))
            break;
    }
    if (Write_Report_Pdf(path, content(), layout_))
        return true;
    ShowErrorText(QStringLiteral("[") + path + QStringLiteral("] ") + GetMessage(72));
    return false;
}

void PrintDialog::Close_Print() {
    if (!closed_) {
        closed_ = true;
        if (prog_.Registry) {
            Save_PrintLayout(*prog_.Registry, layout_);
            Save_FormPosition(this, *prog_.Registry, objectName());
        }
    }
    QDialog::done(QDialog::Rejected);
}

void PrintDialog::closeEvent(QCloseEvent* e) {
    Close_Print();
    e->accept();
}

void PrintDialog::reject() {
    Close_Print();
}

} // namespace velda
