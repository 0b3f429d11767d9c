#pragma once
// The pages of the Create dialog and the page work that needs no window:
// generating a page into a buffer and turning a page's expression, written in
// the user's X and Y units, into the evaluator's text.

#include "engine/wavelb32.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace velda::tools {

// Boolean fields of a page record hold -1 for True and 0 for False, as the
// expression file does.
constexpr int16_t PageTrue = -1;
constexpr int16_t PageFalse = 0;

// FuncType values: the list index of the function list.
enum CreateFunc : int16_t {
    FuncSin = 0,
    FuncTriangle = 1,
    FuncSquare = 2,
    FuncNoise = 3,
    FuncDC = 4,
    FuncExpression = 5,
};

// Indexes of Param.
enum CreateParam : int {
    ParamOffset = 0,
    ParamSize = 1,
    ParamAmpl = 2,
    ParamCycle = 3,
    ParamPhase = 4,
    ParamSymm = 5,
    ParamDuty = 6,
    ParamTransition = 7,
    ParamCount = 8,
};

constexpr int ConstTextLength = 944;
constexpr int ExprTextLength = 1024;

struct CreatePageRecord {
    int16_t PageNo = 0;
    int16_t Visited = PageFalse; // edited since last cleared
    int16_t Effect = PageFalse;  // takes part in "All Page OK"
    int16_t FuncType = FuncSin;
    double AreaStart = 0; // points, 0 <= AreaStart <= AreaEnd <= N
    double AreaEnd = 0;
    // Offset (data word), Size (points), Ampl (word span), Cycle, Phase
    // (degrees), Symm, Duty, Transition (percent).
    std::array<double, ParamCount> Param{0, 0, 65534, 1, 0, 50, 50, 0};
    QString ConstText; // without surrounding blanks, at most ConstTextLength
    QString ExprText;  // without surrounding blanks, at most ExprTextLength

    double& Offset() { return Param[ParamOffset]; }
    double& Size() { return Param[ParamSize]; }
    double& Ampl() { return Param[ParamAmpl]; }
    double& Cycle() { return Param[ParamCycle]; }
    double& Phase() { return Param[ParamPhase]; }
    double& Symm() { return Param[ParamSymm]; }
    double& Duty() { return Param[ParamDuty]; }
    double& Transition() { return Param[ParamTransition]; }
    double Offset() const { return Param[ParamOffset]; }
    double Size() const { return Param[ParamSize]; }
    double Ampl() const { return Param[ParamAmpl]; }
    double Cycle() const { return Param[ParamCycle]; }
    double Phase() const { return Param[ParamPhase]; }
    double Symm() const { return Param[ParamSymm]; }
    double Duty() const { return Param[ParamDuty]; }
    double Transition() const { return Param[ParamTransition]; }

    // Stores a text box's text, cut to the field's length; true when the
    // stored text changed (comparing both without surrounding blanks).
    bool Store_ConstText(const QString& boxText);
    bool Store_ExprText(const QString& boxText);

    // "Page Clear": a fresh page keeping its function, area and size.
    void Page_Clear();
    // "All Page Clear" of one record: everything back to the defaults.
    void Reset();
};

// The page store CreatePage(0..202): record 0 is the page of the
// create-for-operate mode, 1..200 the pages the user sees, 201 and 202 are
// never shown. It lives as long as the program.
class CreatePages {
public:
    static constexpr int RecordCount = 203;
    static constexpr int FirstPage = 1;
    static constexpr int LastPage = 200;

    CreatePages();

    // n outside 0..202 is brought to the nearest record.
    CreatePageRecord& CreatePage(int n);
    const CreatePageRecord& CreatePage(int n) const;

    // The page shown by the dialog.
    int16_t CurPage = FirstPage;
    // The unit headings of the print-out of the pages, in the language of
    // the dialog's captions; filled when the dialog loads.
    std::array<QString, 9> UnitText;

    // Resets every record and shows page 1 again.
    void AllClear();
    // Brings every page's area within 0..n points (a shorter memory chosen
    // since the page was made), its size with it.
    void Fit_To(double n);
    // If page n is neither Visited nor Effect, makes it both; true when it
    // did (the dialog then selects "Effect").
    bool Check_Visit(int n);
    // Lowest / highest page of 1..200 with Effect True, or 0 when none.
    int First_Effect_Page() const;
    int Last_Effect_Page() const;

private:
    std::array<CreatePageRecord, RecordCount> pages_;
};

// The unit setting an expression is written in, as the unit module gives it.
struct ExprUnits {
    int XUnitMode = 0;     // 0 points, 1 time over Period, 2 the user X unit
    int64_t N = 0;         // points in use
    double Period = 0;     // time of the N points (mode 1)
    double XAtStart = 0;   // Point_To_X(0) (mode 2)
    double XAtEnd = 0;     // Point_To_X(N) (mode 2)
    double UserXStart = 0; // UserXStart (mode 2)
    int YUnitMode = 0;     // 0 data words, otherwise a Y unit
    double YTop = 0;       // Word_To_Y(32767)
    double YBottom = 0;    // Word_To_Y(-32767)
};

// Shortest decimal text of a double, at most 15 significant digits, "." as
// the point, exponent form (1E-05) for very small or large values.
QString Plain_Number_Text(double v);

// The expression's Y value turned into data words (used when YUnitMode != 0).
QString Y_To_Word_Expression(const QString& e, const ExprUnits& u);
// Gives every "rnd(" the position as its first argument: rnd(5) becomes
// rnd(x,5), rnd() becomes rnd(x).
QString Insert_Rnd(const QString& text);
// Replaces each free-standing "x" (not part of a name or number) by the point
// number converted to the current X unit.
QString Insert_x(const QString& text, const ExprUnits& u);
// The text EvalArray1 receives for an expression page.
QByteArray Build_Expression(const CreatePageRecord& page, const ExprUnits& u);

// Where and how Make_Wave generates.
struct MakeWaveTarget {
    WaveHandle CreateBuf = 0;
    bool CreateToWave = true; // false: create-for-operate, from point 0
    bool EvalNow = false;     // evaluate expressions (else clear their area)
};

// Generates one page; 0 or a message number.
int Make_Wave(const CreatePageRecord& page, const MakeWaveTarget& target, const ExprUnits& u);

// What "All Page OK" did: 0 when every page was generated, else the message
// number of the first page that failed and that page.
struct AllPagesResult {
    int error = 0;
    int errorPage = 0;
};

// "All Page OK": clears `target.CreateBuf`, generates every page that takes
// part (expressions evaluated), in page order, and copies each page's area
// into `waveBuf`. A page that fails leaves its area of `waveBuf` as it was
// and the others still go in. The constants are cleared before and, on
// success, after (on failure they stay for the page the dialog shows).
AllPagesResult Make_All_Pages(const CreatePages& pages, WaveHandle createBuf, WaveHandle waveBuf,
                              const ExprUnits& u);

// Lower-cases the page's constants (storing them so) and checks them by
// evaluating them at the page's two ends; on failure shows message 18 and
// returns false.
bool Check_Const(CreatePageRecord& page);

} // namespace velda::tools
