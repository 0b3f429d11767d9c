#pragma once
// Conversions between the raw scale (point index, data word) and the three
// unit systems of each axis, the range checks for typed values, the unit names
// and the read-out texts.
//
// A UnitContext keeps no values of its own: it reads the set-up record it was
// given at every call, so a change of unit, frequency, amplitude or offset is
// seen by the next call. The record must outlive the context.

#include "setup/SystemParameter.h"

#include <QString>

namespace velda {

// X unit modes (SystemParameter::XUnitMode).
enum XUnit : int { XUnitWord = 0, XUnitSec = 1, XUnitUser = 2 };
// Y unit modes (SystemParameter::YUnitMode).
enum YUnit : int { YUnitRaw = 0, YUnitVolt = 1, YUnitUser = 2 };

// Whether the record's offset level counts in its voltages: always for a
// model without an offset switch of its own, else as the switch is set.
// The power source shows no switch and the transfer always sends its
// level, so for it the level counts whatever an oscillator chosen before
// left in the switch.
bool Offset_Counts(const SystemParameter& sp);

class UnitContext {
public:
    explicit UnitContext(const SystemParameter& sp) : sp_(sp) {}

    const SystemParameter& parameters() const { return sp_; }

    // One unit, no clamping. "Span" conversions take a difference or a
    // peak-to-peak size and never add or remove the offset or centre.
    double Point_To_Time(double p) const;
    double Time_To_Point(double t) const;
    double Point_To_UserX(double p) const;
    double UserX_To_Point(double x) const;
    double Word_To_Volt(double w) const;
    double Volt_To_Word(double v) const; // 65534 when the amplitude is 0
    double WordSpan_To_Volt(double d) const;
    double VoltSpan_To_Word(double v) const; // 65534 when the amplitude is 0
    double Word_To_UserY(double w) const;
    double UserY_To_Word(double y) const;
    double WordSpan_To_UserY(double d) const;
    double UserYSpan_To_Word(double y) const;

    // The current unit of the axis; the point or word is clamped first (not
    // in the _Raw forms). Results are not rounded.
    double Point_To_X(double p) const;
    double X_To_Point(double x) const;
    double Word_To_Y(double w) const;
    double Word_To_Y_Raw(double w) const;
    double Y_To_Word(double y) const;
    double Y_To_Word_Raw(double y) const;
    double WordSpan_To_Y(double d) const;
    double YSpan_To_Word(double d) const;
    // A width along X (a distance between two positions) in the current unit
    // and back: scaled like a position but without the unit's start, so a
    // width of user X units is d x (UserXEnd - UserXStart) / N. The width in
    // points is clamped to [0, N] first; a typed width to [0, the width of N
    // points].
    double PointSpan_To_X(double d) const;
    double XSpan_To_Point(double x) const;

    // Bring the value to the nearest bound of the mode's range; false when it
    // had to be changed. An unknown mode leaves it alone and returns true. A
    // NaN is outside every range: it becomes the lower bound.
    bool Clamp_X(double& x, int mode) const;
    bool Clamp_Y(double& y, int mode, bool isSpan) const;
    // The same for a typed width in the current X unit: [0, width of N points].
    bool Clamp_XSpan(double& x) const;

    // Typed Y values checked against the scale they describe. A level (an
    // offset, a maximum or minimum) must lie inside the Y range of the current
    // unit (Clamp_Y, not a span). A peak-to-peak size is returned as a word
    // span when it lies within 0..65534 (a rounding hair over the full span
    // counts as the full span), otherwise false.
    bool YLevel_Inside(double y) const;
    bool YSpan_To_Word_Inside(double d, double& words) const;

    QString X_Unit_Name() const;
    QString Y_Unit_Name() const;

    // Read-outs: raw modes as Fmt_Fixed, time, volts and user units as Eng_StrN.
    QString Point_To_XText(double p) const;
    QString Point_To_XTextLong(double p) const;
    QString PointSpan_To_XText(double d) const;
    QString Word_To_YText(double w) const;
    QString Word_To_YText_Raw(double w) const;
    QString WordSpan_To_YText(double d) const;

private:
    double timePerPoint() const;
    double userXPerPoint() const;
    double voltsPerWord() const;
    double userYPerWord() const;
    double userYCentre() const;
    double offsetTerm() const;

    const SystemParameter& sp_;
};

} // namespace velda
