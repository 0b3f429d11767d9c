#pragma once
// The Interpolate dialog: a modeless window beside the main window that shows
// the program's control points in a grid, adds, changes and deletes them,
// reads and writes them as point lists, and fills the marked area of the
// current waveform through them (straight lines, spline, periodic spline).
//
// The points live in the program's ControlPoints and outlive the dialog; the
// dialog watches them, so a change made elsewhere (a point picked or dragged
// on the main view) shows in the grid at once.

#include "app/Captions.h"
#include "tools/ControlPoints.h"

#include <QDialog>
#include <array>
#include <functional>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QTableWidget;

namespace velda {

class Program;

namespace tools {

// Captions of the Interpolate dialog, by control name.
const CaptionTable& SplineCaptions();

class SplineDialog : public QDialog, private ControlPointObserver {
    Q_OBJECT
public:
    // What the dialog asks of the window that opened it.
    struct Host {
        // The points changed or another one is selected: draw them again.
        std::function<void()> redraw;
        // The waveform was written: marker read-outs and view again.
        std::function<void()> waveChanged;
        // Opens help file `index`; false when it could not.
        std::function<bool(int index)> showHelp;
        // The dialog was closed (the window takes its menus back).
        std::function<void()> closed;
    };

    static constexpr int HelpIndex = 2;

    SplineDialog(Program& program, Host host, QWidget* parent = nullptr);
    ~SplineDialog() override;

    // Opening: captions, font, window position (beside the parent the first
    // time), grid headers and rows from the list, both boxes empty.
    void Form_Load();

    // Adds or changes the point typed into the two boxes and selects its row.
    void Update_Point();
    // The boxes' entry checks: a value outside the range of the current
    // unit empties the box.
    void Text_LostFocus(int i);
    // A grid row was clicked (row 1-based): its texts go into the boxes.
    void flxSpread_Click(int row);
    void Btn_Add_Click();
    void Btn_Delete_Click();
    void Btn_AllClear_Click();
    void Btn_Spline_Click(int i);
    void Btn_Exit_Click();
    void Menu_FileOpen_Click();
    void Menu_FileSave_Click();

    // A point picked on the main view was dragged: the point of grid row
    // `row` moves to the position typed into the boxes (which the caller
    // filled with its X and Y texts). When the position is refused (the
    // end-point question answered No, or the list is full), the point stays
    // where it was.
    void Move_Point(int row);
    // Writes X and Y into the boxes as the grid shows them.
    void Set_Point_Text(double x, double y);

    // The grid's texts (row 1-based, column 1 "X", 2 "Y"); empty for a row
    // the grid does not have.
    QString gridText(int row, int column) const;
    int gridRowCount() const;
    // The grid's selected row, 1-based; 0 when none.
    int gridSelectedRow() const;

    // Controls, by the names the tests and the main window use.
    QMenuBar* MenuBar = nullptr;
    QMenu* Menu_File = nullptr;
    QAction* Menu_FileOpen = nullptr;
    QAction* Menu_FileSave = nullptr;
    QLabel* Label_Point = nullptr;
    QLabel* Label_X = nullptr;
    QLabel* Label_Y = nullptr;
    std::array<QLineEdit*, 2> Text{};
    QPushButton* Btn_Add = nullptr;
    QPushButton* Btn_Delete = nullptr;
    QPushButton* Btn_AllClear = nullptr;
    QGroupBox* Frame_Spline = nullptr;
    std::array<QPushButton*, 3> Btn_Spline{};
    QPushButton* Btn_Exit = nullptr;
    QPushButton* Btn_Help = nullptr;
    QTableWidget* flxSpread = nullptr;

protected:
    void done(int r) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void connectControls();
    void Set_SplineCaptions();
    void Fill_Grid();
    void Show_Selection();
    void Form_Unload();

    // ControlPointObserver
    void pointsChanged() override;
    void rowCountChanged() override;
    void selectionChanged() override;

    Program& prog_;
    ControlPoints& points_;
    Host host_;
    bool loaded_ = false;
};

} // namespace tools
} // namespace velda
