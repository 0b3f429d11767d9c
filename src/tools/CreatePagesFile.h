#pragma once
// The Create pages as the expression file carries them, and back.

#include "files/ExpressionFile.h"
#include "tools/CreatePages.h"

#include <vector>

namespace velda {

class UnitContext;

namespace tools {

// Every record of the store, indexed by page number.
std::vector<WaveListPage> Pages_To_WaveList(const CreatePages& pages);
// Clears pages 1..200 and takes the pages read (each becomes visited and on).
void WaveList_To_Pages(const std::vector<WaveListPage>& read, CreatePages& pages);

// The ranges the reader rescales to, and the unit texts the writer puts in
// the header, for the current unit setting.
ExpressionRanges Current_Ranges(const UnitContext& units);
ExpressionUnits Current_ExpressionUnits(const UnitContext& units, bool english);

// Writes / reads the store; 0 or the message number (72 / 71). A failed read
// leaves the pages as they were.
int32_t Write_Pages_File(const QString& path, const CreatePages& pages, const UnitContext& units,
                         bool english);
int32_t Read_Pages_File(const QString& path, CreatePages& pages, const UnitContext& units);

} // namespace tools
} // namespace velda
