#pragma once
// The print dialog: margins, printer, font; OK prints the report, Cancel
// closes. Beyond printing it previews the report and saves it as a PDF, both
// through the same report code.
//
// The margins and the font come from the settings when the dialog opens and
// go back to them when it closes.

#include "app/Captions.h"
#include "print/PrintReport.h"

#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;

namespace velda {

class Program;
class UpDownWidget;

const CaptionTable& PrintCaptions();

// Whether the main window that `from` belongs to shows the digital-bit view.
bool Main_Shows_Digital(const QWidget* from);
// The print dialog over `parent`, modal, for the program's current work.
void Show_PrintDialog(Program& program, QWidget* parent);

class PrintDialog : public QDialog {
    Q_OBJECT
public:
    // `digitalView`: the main window shows the digital-bit view, so the
    // graph shows the bits.
    PrintDialog(Program& program, bool digitalView, QWidget* parent = nullptr);
    ~PrintDialog() override;

    // Event handlers.
    void Text_LostFocus(int i);
    void UD_Margin_Change(int i, int direction);
    void Btn_Printer_Click();
    void Btn_Font_Click();
    void Btn_OK_Click();
    void Btn_Cancel_Click();
    void Btn_Preview_Click();
    void Btn_Pdf_Click();
    // Saves the margins and font and closes the dialog.
    void Close_Print();

    const PrintLayout& layout() const { return layout_; }
    QPrinter& printer() { return *printer_; }
    // Paints the report on the printer; false after its message was shown.
    bool Print_Report(QPrinter& printer);
    // Asks for a file name and writes the report there; false when cancelled
    // or after the failure's message.
    bool Save_Pdf();

    // The platform dialogs, replaceable so tests can answer them. The printer
    // dialog returns whether the user accepted; the font dialog the chosen
    // font, or nothing on cancel; the preview runs the dialog it is given.
    std::function<bool(QPrinter&)> runPrinterDialog;
    std::function<std::optional<QFont>(const QFont&)> runFontDialog;
    std::function<void(QDialog&)> runPreview;

    std::array<QLabel*, 3> Label{};
    std::array<QLineEdit*, 3> Text{};
    std::array<UpDownWidget*, 3> UD_Margin{};
    std::array<QLabel*, 3> Label_mm{};
    QLabel* Label_Font = nullptr;
    QPushButton* Btn_Printer = nullptr;
    QPushButton* Btn_Font = nullptr;
    QPushButton* Btn_Preview = nullptr;
    QPushButton* Btn_Pdf = nullptr;
    QPushButton* Btn_OK = nullptr;
    QPushButton* Btn_Cancel = nullptr;

protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    void buildControls();
    void connectControls();
    void Form_Load();
    void showMargin(int i);
    void showFont();
    ReportContent content() const;

    Program& prog_;
    bool digital_ = false;
    PrintLayout layout_;
    std::unique_ptr<QPrinter> printer_;
    bool closed_ = false;
};

} // namespace velda
