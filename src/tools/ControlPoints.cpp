#include "tools/ControlPoints.h"

#include "app/Messages.h"
#include "document/WaveDocument.h"
#include "engine/spline32.h"
#include "units/NumberText.h"
#include "units/Units.h"

#include <algorithm>
#include <cmath>

namespace velda {

QString SplineFullText() {
    return English() ? QStringLiteral("Cannot add more than 2004 Spline points.")
                     : QStringLiteral(u"制御点は2004点までしか設定できません。");
}

ControlPoints::ControlPoints(const SystemParameter& sp) : sp_(sp) {}

void ControlPoints::addObserver(ControlPointObserver* o) {
    if (o && std::find(observers_.begin(), observers_.end(), o) == observers_.end())
        observers_.push_back(o);
}

void ControlPoints::removeObserver(ControlPointObserver* o) {
    std::erase(observers_, o);
}

void ControlPoints::notify(void (ControlPointObserver::*what)()) {
    // A copy: an observer may remove itself while being told.
    const auto observers = observers_;
    for (ControlPointObserver* o : observers)
        (o->*what)();
}

double ControlPoints::snapX(double x) const {
    const double n = std::max(N(), 0);
    // A typed time or user unit converted to points may miss an end by a
    // rounding step; it is meant as that end.
    const double tolerance = 1e-9 * std::max(1.0, n);
    x = std::clamp(x, 0.0, n);
    if (x <= tolerance)
        return 0;
    if (x >= n - tolerance)
        return n;
    return x;
}

int ControlPoints::indexOf(double x) const {
    for (int i = 0; i < count_; ++i) {
        if (x_[static_cast<size_t>(i)] == x)
            return i;
    }
    return -1;
}

void ControlPoints::sortAndNotify() {
    if (count_ > 1)
        Q_Sort(x_, y_, 0, count_ - 1);
    notify(&ControlPointObserver::pointsChanged);
}

ControlPoints::Update ControlPoints::Spline_Update(double x, double y, bool gridOnly) {
    if (!std::isfinite(x) || !std::isfinite(y))
        return Update::Invalid;
    const double n = N();
    x = snapX(x);

    const int existing = indexOf(x);
    if (existing < 0 && full()) {
        ShowErrorText(SplineFullText());
        sortAndNotify();
        return Update::Full;
    }

    // The point at 0 and the point at N are one point of the periodic
    // waveform: changing one changes the other. The points are looked up by
    // X, not by place, because a batch leaves the list unsorted.
    if (count_ > 0 && (x == 0 || x == n)) {
        const int other = indexOf(x == 0 ? n : 0.0);
        if (other >= 0) {
            if (y != y_[static_cast<size_t>(other)] && ShowWarning(GetMessage(21)) != Answer::Yes) {
                // Declining a batch's last point still ends the batch.
                if (!gridOnly)
                    sortAndNotify();
                return Update::Declined;
            }
            y_[static_cast<size_t>(other)] = y;
        }
    }

    Update result;
    if (existing >= 0) {
        y_[static_cast<size_t>(existing)] = y;
        result = Update::Changed;
    } else {
        x_[static_cast<size_t>(count_)] = x;
        y_[static_cast<size_t>(count_)] = y;
        ++count_;
        result = Update::Added;
    }

    if (gridOnly) {
        notify(&ControlPointObserver::rowCountChanged);
        return result;
    }
    sortAndNotify();
    return result;
}

void ControlPoints::Spline_AllClear() {
    count_ = 0;
    selectedRow_ = 1;
    notify(&ControlPointObserver::pointsChanged);
    notify(&ControlPointObserver::selectionChanged);
}

bool ControlPoints::Delete_Point(int row) {
    if (row < 1 || row > count_)
        return false;
    const auto i = static_cast<size_t>(row - 1);
    std::copy(x_.begin() + i + 1, x_.begin() + count_, x_.begin() + i);
    std::copy(y_.begin() + i + 1, y_.begin() + count_, y_.begin() + i);
    --count_;
    selectedRow_ = row;
    notify(&ControlPointObserver::pointsChanged);
    notify(&ControlPointObserver::selectionChanged);
    return true;
}

int ControlPoints::GridPointRows() const {
    return std::min<int>(count_, kSplineGridRows);
}

QString ControlPoints::GridXText(int i, const UnitContext& units) const {
    return i >= 0 && i < count_ ? units.Point_To_XTextLong(x_[static_cast<size_t>(i)]) : QString();
}

QString ControlPoints::GridYText(int i, const UnitContext& units) const {
    return i >= 0 && i < count_ ? units.Word_To_YText(y_[static_cast<size_t>(i)]) : QString();
}

void ControlPoints::GridRowSelect(int row) {
    selectedRow_ = std::clamp(row, 0, kSplineGridRows);
    notify(&ControlPointObserver::selectionChanged);
}

int ControlPoints::SelectedIndex() const {
    return selectedRow_ >= 1 && selectedRow_ <= count_ ? selectedRow_ - 1 : -1;
}

int ControlPoints::Find_Spline_Point(double point, double word, const PixelMapping& map) const {
    if (!map.pointToPixelX || !map.wordToPixelY)
        return -1;
    const double px = map.pointToPixelX(point);
    const double py = map.wordToPixelY(word);
    for (int i = 0; i < count_; ++i) {
        const auto k = static_cast<size_t>(i);
        if (std::fabs(map.pointToPixelX(x_[k]) - px) <= 0.5 &&
            std::fabs(map.wordToPixelY(y_[k]) - py) <= 0.5)
            return i;
    }
    return -1;
}

void ControlPoints::Change_Spline_Select(double point, double word, const PixelMapping& map,
                                         int& found) {
    const int i = Find_Spline_Point(point, word, map);
    if (i < 0)
        return;
    GridRowSelect(i + 1);
    found = 1;
}

ControlPoints::Update ControlPoints::Update_Point(QStringView textX, QStringView textY,
                                                  const UnitContext& units) {
    if (textX.trimmed().isEmpty() || textY.trimmed().isEmpty())
        return Update::Invalid;
    const double x = units.X_To_Point(Eng_Val(textX));
    const double y = units.Y_To_Word(Eng_Val(textY));
    const Update u = Spline_Update(x, y, false);
    if (u == Update::Added || u == Update::Changed) {
        const int i = indexOf(snapX(x));
        if (i >= 0)
            GridRowSelect(std::min(i + 1, kSplineGridRows));
    }
    return u;
}

bool ControlPoints::X_Text_Valid(QStringView text, const UnitContext& units) {
    double v = Eng_Val(text);
    return units.Clamp_X(v, units.parameters().XUnitMode);
}

bool ControlPoints::Y_Text_Valid(QStringView text, const UnitContext& units) {
    double v = Eng_Val(text);
    return units.Clamp_Y(v, units.parameters().YUnitMode, false);
}

int ControlPoints::SplineVariant(int button, double S, double E, int32_t N) {
    switch (button) {
    case 0:
        return -1;
    case 1:
        return 0;
    default:
        return (E >= N && S == 0) ? 2 : 1;
    }
}

bool ControlPoints::Interpolate(int button, WaveDocument& doc) {
    if (count_ < 1) {
        ShowError(20);
        return false;
    }
    doc.Save_Undo();
    const double S = doc.CurArea().StartX;
    const double E = doc.CurArea().EndX;
    const int variant = SplineVariant(button, S, E, doc.N());
    if (variant < 0)
        Spline_Hokan_Line(doc.CurrentBuf(), S, E, xs(), ys(), count_, doc.N(), 32767);
    else
        Spline_Hokan_Spline(variant, doc.CurrentBuf(), S, E, xs(), ys(), count_, doc.N(), 32767);
    return true;
}

} // namespace velda
