#pragma once
// The Operate dialog: the marked area of the current waveform, an operand of
// the same length (from the clipboard or made by the Create dialog) and their
// point-by-point combination side by side; OK writes the result into the area.
//
// The arithmetic and the two area-sized buffers belong to CalcLogic; the
// dialog owns them from opening to closing.

#include "app/Captions.h"
#include "tools/CalcLogic.h"

#include <QDialog>
#include <array>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

namespace velda {

class Program;
class SurfaceWidget;

namespace tools {

class CalcDialog : public QDialog {
    Q_OBJECT
public:
    // What the dialog asks of the window that opened it.
    struct Host {
        // The current waveform or its markers changed: show them again.
        std::function<void()> waveChanged;
        // Opens help file `index`; false when it could not.
        std::function<bool(int index)> showHelp;
    };

    // Opening: captions, font, window position, operator list, both buffers
    // allocated and cleared, the three previews drawn.
    CalcDialog(Program& program, Host host, QWidget* parent = nullptr);
    ~CalcDialog() override;

    // Event handlers.
    void Btn_Cut_Click();    // operand from the clipboard
    void Btn_Create_Click(); // operand from the Create dialog
    void Comb_Comp_Click();
    void Btn_Result_Click();
    void Btn_OK_Click();
    void Btn_Cancel_Click();

    // Redraw one preview: source, operand, result.
    void Draw_Src();
    void Draw_Dest();
    void Draw_Result();

    CalcLogic& logic() { return calc_; }

    // Runs the Create dialog in its create-for-operate mode into the operand
    // buffer and returns its result. Replaceable so tests can stand in for
    // the user of that dialog.
    std::function<int(WaveHandle operand)> runCreate;

    QLabel* Label_Src = nullptr;
    QLabel* Label_Dest = nullptr;
    QLabel* Label_Result = nullptr;
    SurfaceWidget* Picture_Src = nullptr;
    SurfaceWidget* Picture_Dest = nullptr;
    SurfaceWidget* Picture_Result = nullptr;
    QComboBox* Comb_Comp = nullptr;
    QPushButton* Btn_Cut = nullptr;
    QPushButton* Btn_Create = nullptr;
    QPushButton* Btn_Result = nullptr;
    QPushButton* Btn_OK = nullptr;
    QPushButton* Btn_Cancel = nullptr;
    QPushButton* Btn_Help = nullptr;

protected:
    void done(int r) override;

private:
    void buildControls();
    void connectControls();
    void Form_Load();
    void renderPreview(SurfaceWidget* picture, WaveHandle h, double first);

    Program& prog_;
    Host host_;
    CalcLogic calc_;
    bool closed_ = false;
};

// The dialog's captions in both languages, by control name.
const CaptionTable& CalcCaptions();

} // namespace tools
} // namespace velda
