#pragma once
// The Compress/Decompress dialog: the marked area stretched or squeezed in X
// and refitted in Y, shown live in the main window. OK keeps the result with
// the initial waveform as the undo copy; Cancel, Escape or the close box bring
// the initial waveform and marked area back.
//
// The target values and the recomputation belong to ElasticLogic.

#include "app/Captions.h"
#include "tools/ElasticLogic.h"

#include <QDialog>
#include <array>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velda {

class Program;

namespace tools {

// Escape and the close box end the dialog as Cancel does (done() with
// Rejected restores the initial waveform).
class ElasticDialog : public QDialog {
    Q_OBJECT
public:
    struct Host {
        // The current waveform or its markers changed: show them again.
        std::function<void()> waveChanged;
        // Opens help file `index`; false when it could not.
        std::function<bool(int index)> showHelp;
    };

    // Opening: captions, font, window position, target values from the marked
    // area, the undo copy of the initial waveform, the boxes filled.
    ElasticDialog(Program& program, Host host, QWidget* parent = nullptr);
    ~ElasticDialog() override;

    // Event handlers.
    void Text_X_LostFocus(int i); // 0 start, 1 end
    void Text_Y_LostFocus(int i); // 0 max, 1 min, 2 amplitude, 3 offset
    void Opt_Y_Click(int i);      // 0 max/min boxes, 1 amplitude/offset boxes
    void Btn_Length_Click();
    void Btn_Peak_Click();
    void Btn_Ampl_Click();
    void Btn_OK_Click();
    void Btn_Cancel_Click();

    // Box contents from the logic's values.
    void Fill_X();
    void Fill_Y();

    ElasticLogic& logic() { return elastic_; }

    QGroupBox* Frame_X = nullptr;
    std::array<QLabel*, 4> Label{};
    std::array<QLineEdit*, 4> Text_X{};
    QPushButton* Btn_Length = nullptr;
    QGroupBox* Frame_Y = nullptr;
    std::array<QRadioButton*, 2> Opt_Y{};
    std::array<QLabel*, 4> Label_Y{}; // the captions of Text_Y(0..3)
    std::array<QLineEdit*, 4> Text_Y{};
    QPushButton* Btn_Peak = nullptr;
    QPushButton* Btn_Ampl = nullptr;
    QPushButton* Btn_OK = nullptr;
    QPushButton* Btn_Cancel = nullptr;
    QPushButton* Btn_Help = nullptr;

protected:
    void done(int r) override;

private:
    void buildControls();
    void connectControls();
    void Form_Load();

    Program& prog_;
    Host host_;
    ElasticLogic elastic_;
    bool closed_ = false;
};

// The dialog's captions in both languages, by control name.
const CaptionTable& ElasticCaptions();

} // namespace tools
} // namespace velda
