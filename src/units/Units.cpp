#include "units/Units.h"

#include "units/NumberText.h"

#include <algorithm>
#include <cmath>

namespace velda {

namespace {

constexpr double kSpan = 65534.0;     // word steps of the full peak-to-peak range
constexpr double kRawYMin = -32768.0; // one below the bottom of the scale
constexpr double kRawYMax = 32767.0;
constexpr double kWordBottom = -32767.0;
constexpr double kWordTop = 32767.0;

// x / step, or 0 when the step is 0 (no points, or an empty user range: the
// set-up never leaves either, but a division must not spread inf or NaN).
double over(double x, double step) {
    return step == 0 ? 0.0 : x / step;
}

bool clampTo(double& v, double lo, double hi) {
    if (std::isnan(v)) {
        v = lo;
        return false;
    }
    if (v < lo) {
        v = lo;
        return false;
    }
    if (v > hi) {
        v = hi;
        return false;
    }
    return true;
}

bool isUnitMode(int mode) {
    return mode == 1 || mode == 2;
}

} // namespace

double UnitContext::timePerPoint() const {
    return sp_.MemorySize > 0 ? sp_.Period / sp_.MemorySize : 0.0;
}

double UnitContext::userXPerPoint() const {
    return sp_.MemorySize > 0 ? (sp_.UserXEnd - sp_.UserXStart) / sp_.MemorySize : 0.0;
}

double UnitContext::voltsPerWord() const {
    return sp_.Amplitude / kSpan;
}

double UnitContext::userYPerWord() const {
    return (sp_.UserYMax - sp_.UserYMin) / kSpan;
}

double UnitContext::userYCentre() const {
    return (sp_.UserYMin + sp_.UserYMax) / 2;
}

bool Offset_Counts(const SystemParameter& sp) {
    return sp.OffsetSettable == 0 || sp.OffsetOn != 0 ||
           (sp.ModelNo == 0 && sp.OffsetSettable == 1);
}

double UnitContext::offsetTerm() const {
    return Offset_Counts(sp_) ? sp_.Offset : 0.0;
}

double UnitContext::Point_To_Time(double p) const {
    return p * timePerPoint();
}

double UnitContext::Time_To_Point(double t) const {
    return over(t, timePerPoint());
}

double UnitContext::Point_To_UserX(double p) const {
    return p * userXPerPoint() + sp_.UserXStart;
}

double UnitContext::UserX_To_Point(double x) const {
    return over(x - sp_.UserXStart, userXPerPoint());
}

double UnitContext::Word_To_Volt(double w) const {
    return w * voltsPerWord() + offsetTerm();
}

double UnitContext::Volt_To_Word(double v) const {
    const double step = voltsPerWord();
    return step == 0 ? kSpan : (v - offsetTerm()) / step;
}

double UnitContext::WordSpan_To_Volt(double d) const {
    return d * voltsPerWord();
}

double UnitContext::VoltSpan_To_Word(double v) const {
    const double step = voltsPerWord();
    return step == 0 ? kSpan : v / step;
}

double UnitContext::Word_To_UserY(double w) const {
    return w * userYPerWord() + userYCentre();
}

double UnitContext::UserY_To_Word(double y) const {
    return over(y - userYCentre(), userYPerWord());
}

double UnitContext::WordSpan_To_UserY(double d) const {
    return d * userYPerWord();
}

double UnitContext::UserYSpan_To_Word(double y) const {
    return over(y, userYPerWord());
}

double UnitContext::Point_To_X(double p) const {
    Clamp_X(p, XUnitWord);
    switch (sp_.XUnitMode) {
    case XUnitSec:
        return Point_To_Time(p);
    case XUnitUser:
        return Point_To_UserX(p);
    default:
        return p;
    }
}

double UnitContext::X_To_Point(double x) const {
    Clamp_X(x, sp_.XUnitMode);
    double p = x;
    switch (sp_.XUnitMode) {
    case XUnitSec:
        p = Time_To_Point(x < 0 ? 0.0 : x);
        break;
    case XUnitUser:
        p = UserX_To_Point(x);
        break;
    default:
        break;
    }
    // A position inside the range is a point of the waveform; the division
    // may miss an end by a rounding step.
    return std::clamp(p, 0.0, static_cast<double>(std::max(sp_.MemorySize, 0)));
}

double UnitContext::Word_To_Y(double w) const {
    Clamp_Y(w, YUnitRaw, false);
    return Word_To_Y_Raw(w);
}

double UnitContext::Word_To_Y_Raw(double w) const {
    switch (sp_.YUnitMode) {
    case YUnitVolt:
        return Word_To_Volt(w);
    case YUnitUser:
        return Word_To_UserY(w);
    default:
        return w;
    }
}

double UnitContext::Y_To_Word(double y) const {
    Clamp_Y(y, sp_.YUnitMode, false);
    return Y_To_Word_Raw(y);
}

double UnitContext::Y_To_Word_Raw(double y) const {
    switch (sp_.YUnitMode) {
    case YUnitVolt:
        return Volt_To_Word(y);
    case YUnitUser:
        return UserY_To_Word(y);
    default:
        return y;
    }
}

double UnitContext::WordSpan_To_Y(double d) const {
    switch (sp_.YUnitMode) {
    case YUnitVolt:
        return WordSpan_To_Volt(d);
    case YUnitUser:
        return WordSpan_To_UserY(d);
    default:
        return d;
    }
}

double UnitContext::YSpan_To_Word(double d) const {
    switch (sp_.YUnitMode) {
    case YUnitVolt:
        return VoltSpan_To_Word(d);
    case YUnitUser:
        return UserYSpan_To_Word(d);
    default:
        return d;
    }
}

double UnitContext::PointSpan_To_X(double d) const {
    Clamp_X(d, XUnitWord);
    switch (sp_.XUnitMode) {
    case XUnitSec:
        return Point_To_Time(d);
    case XUnitUser:
        return d * userXPerPoint();
    default:
        return d;
    }
}

double UnitContext::XSpan_To_Point(double x) const {
    Clamp_XSpan(x);
    switch (sp_.XUnitMode) {
    case XUnitSec:
        return Time_To_Point(x);
    case XUnitUser:
        return x / userXPerPoint();
    default:
        return x;
    }
}

bool UnitContext::Clamp_XSpan(double& x) const {
    if (sp_.XUnitMode < XUnitWord || sp_.XUnitMode > XUnitUser)
        return true; // an unknown mode, as Clamp_X
    return clampTo(x, 0.0, PointSpan_To_X(sp_.MemorySize));
}

bool UnitContext::Clamp_X(double& x, int mode) const {
    switch (mode) {
    case XUnitWord:
        return clampTo(x, 0.0, sp_.MemorySize);
    case XUnitSec:
        return clampTo(x, 0.0, 1.0 / sp_.Frequency);
    case XUnitUser:
        return clampTo(x, sp_.UserXStart, sp_.UserXEnd);
    default:
        return true;
    }
}

bool UnitContext::YLevel_Inside(double y) const {
    return !Eng_Overflow(y) && Clamp_Y(y, sp_.YUnitMode, false);
}

bool UnitContext::YSpan_To_Word_Inside(double d, double& words) const {
    if (Eng_Overflow(d))
        return false;
    const double w = YSpan_To_Word(d);
    constexpr double kHair = 1e-9 * kSpan;
    if (!(w >= -kHair && w <= kSpan + kHair))
        return false;
    words = std::clamp(w, 0.0, kSpan);
    return true;
}

bool UnitContext::Clamp_Y(double& y, int mode, bool isSpan) const {
    switch (mode) {
    case YUnitRaw:
        return isSpan ? clampTo(y, 0.0, kSpan) : clampTo(y, kRawYMin, kRawYMax);
    case YUnitVolt:
        return isSpan ? clampTo(y, sp_.AmplitudeMin, sp_.AmplitudeMax)
                      : clampTo(y, Word_To_Volt(kWordBottom), Word_To_Volt(kWordTop));
    case YUnitUser:
        return clampTo(y, sp_.UserYMin, sp_.UserYMax);
    default:
        return true;
    }
}

QString UnitContext::X_Unit_Name() const {
    switch (sp_.XUnitMode) {
    case XUnitWord:
        return QStringLiteral("Word");
    case XUnitSec:
        return QStringLiteral("sec");
    case XUnitUser:
        return sp_.UserXUnitName.trimmed();
    default:
        return QString();
    }
}

QString UnitContext::Y_Unit_Name() const {
    switch (sp_.YUnitMode) {
    case YUnitVolt:
        return QStringLiteral("V");
    case YUnitUser:
        return sp_.UserYUnitName.trimmed();
    default:
        return QString();
    }
}

QString UnitContext::Point_To_XText(double p) const {
    const double x = Point_To_X(p);
    return isUnitMode(sp_.XUnitMode) ? Eng_StrN(x, 7) : Fmt_Fixed(x, 8);
}

QString UnitContext::PointSpan_To_XText(double d) const {
    const double x = PointSpan_To_X(d);
    return isUnitMode(sp_.XUnitMode) ? Eng_StrN(x, 7) : Fmt_Fixed(x, 8);
}

QString UnitContext::Point_To_XTextLong(double p) const {
    const double x = Point_To_X(p);
    return isUnitMode(sp_.XUnitMode) ? Eng_StrN(x, 10) : Fmt_Fixed(x, 11);
}

QString UnitContext::Word_To_YText(double w) const {
    const double y = Word_To_Y(w);
    return isUnitMode(sp_.YUnitMode) ? Eng_StrN(y, 7) : Fmt_Fixed(y, 8);
}

QString UnitContext::Word_To_YText_Raw(double w) const {
    return isUnitMode(sp_.YUnitMode) ? Eng_StrN(Word_To_Y_Raw(w), 7) : Fmt_Fixed(w, 8);
}

QString UnitContext::WordSpan_To_YText(double d) const {
    return isUnitMode(sp_.YUnitMode) ? Eng_StrN(WordSpan_To_Y(d), 7) : Fmt_Fixed(d, 8);
}

} // namespace velda
