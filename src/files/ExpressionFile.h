#pragma once
// The expression file (.wfn): the Create dialog's pages with the X and Y
// ranges they were made in, so a page set made for one memory size and unit
// setting lands at the same relative place under another. Text, UTF-8, CR LF.

#include "engine/file32.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class QIODevice;

namespace velda {

// One page as the file carries it. Positions and the size are in points, the
// amplitude (Param[2]) in data words; texts are held trimmed.
struct WaveListPage {
    int16_t PageNo = 0;
    int16_t Visited = 0; // -1 for every page read from a file
    int16_t Effect = 0;  // non-zero: the page is written
    int16_t FuncType = 0;
    double AreaStart = 0;
    double AreaEnd = 0;
    // Offset, Size, Ampl, Cycle, Phase, Symm, Duty, Transition.
    std::array<double, 8> Param{};
    QString ConstText;
    QString ExprText;
};

// What the writer needs of the current unit setting.
struct ExpressionUnits {
    bool english = true;
    int32_t points = 0;                        // N
    QString xUnitText;                         // entry XUnitMode of the X unit list
    QString xUnitName;                         // X_Unit_Name()
    QString yUnitText;                         // entry YUnitMode of the Y unit list
    QString yUnitName;                         // Y_Unit_Name()
    std::function<double(double)> pointToX;    // Point_To_X
    std::function<double(double)> wordToY;     // Word_To_Y
    std::function<double(double)> wordSpanToY; // WordSpan_To_Y
};

// The file's text. `pages` is indexed by page number (the page store 0..202);
// pages 1..200 whose Effect is set are written, numbered by their index.
QByteArray Expression_File_Bytes(std::span<const WaveListPage> pages, const ExpressionUnits& units);
// 0, or 72 when the file cannot be written (any previous file stays).
int32_t Write_Expression_File(const QString& path, std::span<const WaveListPage> pages,
                              const ExpressionUnits& units);

// The current X and Y ranges (Point_To_X(0), Point_To_X(N), Word_To_Y(-32767),
// Word_To_Y(32767)) and N.
struct ExpressionRanges {
    int32_t points = 0;
    double xMin = 0;
    double xMax = 0;
    double yMin = 0;
    double yMax = 0;
};

struct ExpressionRead {
    int32_t result = 0;              // 0, or 71 (then nothing may change)
    std::vector<WaveListPage> pages; // ascending page numbers, each once
    int refused = 0;                 // pages left out: number or type out of range
};

// Reads the pages, rescaled from the file's own ranges to the current N and Y
// range. The caller clears its pages and takes these only when result is 0.
ExpressionRead Read_Expression_File(const QString& path, const ExpressionRanges& current);
ExpressionRead Read_Expression_Data(QIODevice& file, const ExpressionRanges& current);

// A double as the file writes it: up to 15 significant digits, "." as the
// point, exponent form (1E-05, 1.5E+16) for very small or large magnitudes.
QString Plain_Number_Text(double v);

} // namespace velda
