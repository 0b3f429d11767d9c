#pragma once
// Control-point lists (.prn, .tsv, .csv): one X/Y pair per line in the
// current display units, separated by a space, a tab or a comma, CR LF.

#include "engine/file32.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace velda {

// Reads typed number text (Eng_Val: SI prefix letters, non-numbers read 0).
using NumberReader = std::function<double(const QString&)>;

// Reads the next number from the front of `text` and removes it together with
// its separator: blanks, one comma, blanks, then one CR and one LF right
// after it. The number ends at a CR, comma, tab or space, or at the end of the
// text; an LF alone does not end it. False when the text is empty or the next
// character is a CR or a comma (an empty line ends a list).
bool Next_Number(double& value, QString& text, const NumberReader& engVal);
bool Next_Number(double& value, QStringView& text, const NumberReader& engVal);

// The pairs of a list's text, as read (display units); a lone X at the end is
// dropped.
struct XYPair {
    double x = 0;
    double y = 0;
};
std::vector<XYPair> Read_Point_Pairs(QStringView text, const NumberReader& engVal);

// Unit operations of the current setting that the import and export apply.
struct PointListUnits {
    NumberReader engVal;                             // Eng_Val
    std::function<bool(double&)> clampX;             // Clamp_X(x, XUnitMode)
    std::function<bool(double&)> clampY;             // Clamp_Y(y, YUnitMode, False)
    std::function<double(double)> xToPoint;          // X_To_Point
    std::function<double(double)> yToWord;           // Y_To_Word
    std::function<QString(double)> pointToXTextLong; // Point_To_XTextLong
    std::function<QString(double)> wordToYText;      // Word_To_YText
};

// A control point: position in points, level in data words.
struct ControlPoint {
    double x = 0;
    double y = 0;
};

struct PointListRead {
    int32_t result = 0; // 0, or 71 when the file cannot be read
    std::vector<ControlPoint> points;
};

// Reads a list and clamps and converts each pair to points and data words.
PointListRead Import_Point_List(const QString& path, const PointListUnits& units);

// Hands imported points to the Interpolate dialog's table as it takes them:
// all points are cleared, each point is added with True, and the last one is
// added once more with False.
void Apply_Point_List(const std::vector<ControlPoint>& points,
                      const std::function<void()>& clearAll,
                      const std::function<void(double, double, bool)>& addPoint);

// ' ' for a name ending in .prn, a tab for .tsv, a comma for anything else
// (the test is on the last four characters, case-insensitive).
QChar Point_List_Separator(const QString& path);

// Writes the points (X in points, Y in data words) in the current units. With
// no points nothing is written and 0 is returned; 72 when the write fails
// (any previous file stays).
int32_t Export_Point_List(const QString& path, std::span<const ControlPoint> points,
                          const PointListUnits& units);

} // namespace velda
