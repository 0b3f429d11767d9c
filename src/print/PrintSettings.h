#pragma once
// The print settings the dialog edits: the five margins and the printer
// font, their rules, and where they are kept between runs. No widgets here.

#include "print/PrintReport.h"

#include <QFont>
#include <QString>
#include <optional>

namespace velda {

class clsRegistry;

// A typed margin: the text read as a number and cut to a whole number;
// nothing when that lies outside 5..100 (the box then shows the stored
// margin again).
std::optional<int16_t> Margin_From_Text(const QString& text);
// One press of the up (+1) or down (-1) button: the margin moves by one while
// it stays within 5..100.
int16_t Margin_Step(int16_t margin, int direction);

// Font sizes the print-out accepts, in points.
constexpr double FontSizeMin = 1;
constexpr double FontSizeMax = 500;
bool Font_Size_Valid(double points);

// The margins and font saved in the settings ("Print" section); a value that
// is absent or out of range reads as the default (20 mm; the form font at
// 10 points).
PrintLayout Load_PrintLayout(const clsRegistry& registry);
void Save_PrintLayout(clsRegistry& registry, const PrintLayout& layout);
QFont Default_PrintFont();

} // namespace velda
