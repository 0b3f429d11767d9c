#pragma once
// The Create dialog's rules that need no window: reading a typed parameter or
// area, the page buttons and the typed page number, the drag zones of the
// preview, which parameters a function shows, and the unit setting an
// expression is written in.

#include "tools/CreatePages.h"
#include "units/Units.h"

#include <QString>

namespace velda::tools {

// The unit setting of the expressions, taken from the set-up now.
ExprUnits Expr_Units(const UnitContext& u, int32_t n);

// Whether Text(i) is shown for a function (Expression shows none).
bool Param_Visible(int funcType, int i);

// A typed box read back: accepted with the value to store and the text to
// show, or refused with the text of the stored value.
struct BoxEdit {
    bool accepted = false;
    double value = 0;
    QString text;
};

// Text(i) losing the focus: the typed text converted from its display unit.
// Refused: a Size outside the X range or beyond N from AreaStart, a negative
// Period.
BoxEdit Param_Edit(int i, const QString& typed, const CreatePageRecord& page, const UnitContext& u,
                   int32_t n);

// Text_X(box) losing the focus, with the texts of both area boxes. Refused
// when the edited end is outside 0..N or unchanged; otherwise the other end
// follows so that start <= end.
struct AreaEdit {
    bool accepted = false;
    double start = 0;
    double end = 0;
};
AreaEdit Area_Edit(int box, const QString& startText, const QString& endText,
                   const CreatePageRecord& page, const UnitContext& u, int32_t n);

// The page Cmd_Page(index) shows (first, previous, next, last); CurPage when
// the button does nothing.
int Page_Button_Target(const CreatePages& pages, int index);
// A typed page number: empty reads 1, rounded, brought into 1..200.
int Typed_Page(const QString& text);

// Dragging on the preview: kind 1 period and amplitude (top and bottom
// quarter), kind 2 phase and offset, kind 3 symmetry or duty and transition
// (right half of a Triangle or Square page).
struct DragZone {
    int kind = 0;
    double hFactor = 0;
    double vFactor = 0;
};
DragZone Drag_Zone(double x, double y, int width, int height, int funcType);
// Applies one mouse movement (dx to the right, dy upwards, in pixels).
void Drag_Move(CreatePageRecord& page, const DragZone& zone, double dx, double dy);

} // namespace velda::tools
