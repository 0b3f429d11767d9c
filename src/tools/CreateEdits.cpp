#include "tools/CreateEdits.h"

#include "units/NumberText.h"

#include <algorithm>

namespace velda::tools {

namespace {
constexpr double kWordTop = 32767;
constexpr double kWordBottom = -32767;
constexpr double kSpan = 65534;
} // namespace

ExprUnits Expr_Units(const UnitContext& u, int32_t n) {
    const SystemParameter& sp = u.parameters();
    ExprUnits e;
    e.XUnitMode = sp.XUnitMode;
    e.N = n;
    e.Period = sp.Period;
    e.XAtStart = u.Point_To_X(0);
    e.XAtEnd = u.Point_To_X(n);
    e.UserXStart = sp.UserXStart;
    e.YUnitMode = sp.YUnitMode;
    e.YTop = u.Word_To_Y(kWordTop);
    e.YBottom = u.Word_To_Y(kWordBottom);
    return e;
}

bool Param_Visible(int funcType, int i) {
    switch (funcType) {
    case FuncSin:
        return i <= ParamPhase;
    case FuncTriangle:
        return i <= ParamSymm;
    case FuncSquare:
        return i <= ParamPhase || i == ParamDuty || i == ParamTransition;
    case FuncNoise:
        return i <= ParamAmpl;
    case FuncDC:
        return i <= ParamSize;
    default:
        return false;
    }
}

BoxEdit Param_Edit(int i, const QString& typed, const CreatePageRecord& page, const UnitContext& u,
                   int32_t n) {
    const double v = Eng_Val(typed);
    const double old = page.Param[static_cast<size_t>(std::clamp(i, 0, ParamCount - 1))];
    switch (i) {
    // A level or span beyond the full scale is a waveform's own (an offset
    // that clips it, a negative peak-to-peak that turns it over), as a drag
    // on the preview or a page file gives it too; only a number too large
    // to be one is refused.
    case ParamOffset: {
        if (Eng_Overflow(v))
            return {false, old, u.Word_To_YText(old)};
        const double w = u.Y_To_Word_Raw(v);
        return {true, w, u.Word_To_YText(w)};
    }
    case ParamSize: {
        // The size is the area's width: converted as a distance, so a user X
        // unit's start is not added to it.
        double inRange = v;
        if (u.Clamp_XSpan(inRange)) {
            const double w = u.XSpan_To_Point(v);
            if (page.AreaStart + w <= n && w >= 0)
                return {true, w, u.PointSpan_To_XText(w)};
        }
        return {false, old, u.PointSpan_To_XText(old)};
    }
    case ParamAmpl: {
        if (Eng_Overflow(v))
            return {false, old, u.WordSpan_To_YText(old)};
        const double w = u.YSpan_To_Word(v);
        return {true, w, u.WordSpan_To_YText(w)};
    }
    case ParamCycle:
        if (v < 0 || Eng_Overflow(v))
            return {false, old, Plain_Number_Text(old)};
        return {true, v, Plain_Number_Text(v)};
    default:
        if (Eng_Overflow(v))
            return {false, old, Plain_Number_Text(old)};
        return {true, v, Plain_Number_Text(v)};
    }
}

AreaEdit Area_Edit(int box, const QString& startText, const QString& endText,
                   const CreatePageRecord& page, const UnitContext& u, int32_t n) {
    // A box still showing the stored end reads as exactly that end: reading
    // the rounded text back would move the end by a fraction of a point.
    auto read = [&](const QString& text, double stored) {
        if (text.trimmed() == u.Point_To_XTextLong(stored).trimmed())
            return stored;
        return u.X_To_Point(Eng_Val(text));
    };
    double s = read(startText, page.AreaStart);
    double e = read(endText, page.AreaEnd);
    if (box == 0) {
        if (s < 0 || s > n || s == page.AreaStart)
            return {false, page.AreaStart, page.AreaEnd};
        if (e < s)
            e = s;
    } else {
        if (e < 0 || e > n || e == page.AreaEnd)
            return {false, page.AreaStart, page.AreaEnd};
        if (e < s)
            s = e;
    }
    return {true, s, e};
}

int Page_Button_Target(const CreatePages& pages, int index) {
    const int cur = pages.CurPage;
    switch (index) {
    case 0:
        if (cur == CreatePages::FirstPage)
            return cur;
        if (const int first = pages.First_Effect_Page())
            return first;
        return CreatePages::FirstPage;
    case 1:
        return cur <= CreatePages::FirstPage ? cur : cur - 1;
    case 2:
        return cur >= CreatePages::LastPage ? cur : cur + 1;
    case 3:
        if (cur == CreatePages::LastPage)
            return cur;
        if (const int last = pages.Last_Effect_Page())
            return last;
        return CreatePages::LastPage;
    default:
        return cur;
    }
}

int Typed_Page(const QString& text) {
    const QString t = text.trimmed().isEmpty() ? QStringLiteral("1") : text;
    const int32_t n = Round_Half_Up(Eng_Val(t));
    return std::clamp<int32_t>(n, CreatePages::FirstPage, CreatePages::LastPage);
}

DragZone Drag_Zone(double x, double y, int width, int height, int funcType) {
    DragZone z;
    const double w = std::max(width, 1);
    const double h = std::max(height, 1);
    z.vFactor = kSpan / h / 4;
    if (y <= h / 4 || y >= h - h / 4) {
        z.kind = 1;
        z.hFactor = 0.02;
    } else {
        z.hFactor = 360 / w / 4;
        z.kind = (x > w / 2 && (funcType == FuncTriangle || funcType == FuncSquare)) ? 3 : 2;
    }
    return z;
}

void Drag_Move(CreatePageRecord& page, const DragZone& zone, double dx, double dy) {
    switch (zone.kind) {
    case 1:
        // A negative count of periods is refused when typed; a drag stops at 0.
        page.Cycle() = std::max(0.0, page.Cycle() - dx * zone.hFactor);
        page.Ampl() += dy * zone.vFactor;
        break;
    case 2:
        page.Phase() -= dx * zone.hFactor;
        page.Offset() += dy * zone.vFactor;
        break;
    case 3:
        if (page.FuncType == FuncSquare) {
            page.Duty() += dx * zone.hFactor;
            page.Transition() += dx * zone.hFactor;
        } else if (page.FuncType == FuncTriangle) {
            page.Symm() += dx * zone.hFactor;
        }
        break;
    default:
        break;
    }
}

} // namespace velda::tools
