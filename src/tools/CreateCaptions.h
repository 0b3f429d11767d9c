#pragma once
// The Create dialog's captions in both languages, its function list and the
// unit-description texts the print-out of the pages uses.

#include "app/Captions.h"

#include <QStringList>

namespace velda::tools {

// Captions of the Create dialog, by control name.
const CaptionTable& CreateCaptions();

// Items of Comb_Wave in list order (the FuncType values).
QStringList CreateWaveItems(bool english);

// UnitText(0..8): the headings of the unit set-up in the print-out.
constexpr int UnitTextCount = 9;
QString UnitTextItem(int index, bool english);

} // namespace velda::tools
