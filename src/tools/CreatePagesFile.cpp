#include "tools/CreatePagesFile.h"

#include "setup/SystemCaptions.h"
#include "units/Units.h"

namespace velda::tools {

std::vector<WaveListPage> Pages_To_WaveList(const CreatePages& pages) {
    std::vector<WaveListPage> list(CreatePages::RecordCount);
    for (int n = 0; n < CreatePages::RecordCount; ++n) {
        const CreatePageRecord& r = pages.CreatePage(n);
        WaveListPage& p = list[static_cast<size_t>(n)];
        p.PageNo = static_cast<int16_t>(n);
        p.Visited = r.Visited;
        p.Effect = r.Effect;
        p.FuncType = r.FuncType;
        p.AreaStart = r.AreaStart;
        p.AreaEnd = r.AreaEnd;
        p.Param = r.Param;
        p.ConstText = r.ConstText;
        p.ExprText = r.ExprText;
    }
    return list;
}

void WaveList_To_Pages(const std::vector<WaveListPage>& read, CreatePages& pages) {
    for (int n = CreatePages::FirstPage; n <= CreatePages::LastPage; ++n)
        pages.CreatePage(n).Reset();
    for (const WaveListPage& p : read) {
        if (p.PageNo < CreatePages::FirstPage || p.PageNo > CreatePages::LastPage)
            continue;
        CreatePageRecord& r = pages.CreatePage(p.PageNo);
        r.Visited = -1;
        r.Effect = -1;
        r.FuncType = p.FuncType;
        r.AreaStart = p.AreaStart;
        r.AreaEnd = p.AreaEnd;
        r.Param = p.Param;
        r.Store_ConstText(p.ConstText);
        r.Store_ExprText(p.ExprText);
    }
}

ExpressionRanges Current_Ranges(const UnitContext& units) {
    ExpressionRanges r;
    r.points = units.parameters().MemorySize;
    r.xMin = units.Point_To_X(0);
    r.xMax = units.Point_To_X(r.points);
    r.yMin = units.Word_To_Y(-32767);
    r.yMax = units.Word_To_Y(32767);
    return r;
}

ExpressionUnits Current_ExpressionUnits(const UnitContext& units, bool english) {
    const SystemParameter& sp = units.parameters();
    ExpressionUnits u;
    u.english = english;
    u.points = sp.MemorySize;
    u.xUnitText = SystemUnitItems(0, english).value(sp.XUnitMode).trimmed();
    u.xUnitName = units.X_Unit_Name();
    u.yUnitText = SystemUnitItems(1, english).value(sp.YUnitMode).trimmed();
    u.yUnitName = units.Y_Unit_Name();
    u.pointToX = [&units](double p) { return units.Point_To_X(p); };
    u.wordToY = [&units](double w) { return units.Word_To_Y(w); };
    u.wordSpanToY = [&units](double d) { return units.WordSpan_To_Y(d); };
    return u;
}

int32_t Write_Pages_File(const QString& path, const CreatePages& pages, const UnitContext& units,
                         bool english) {
    const std::vector<WaveListPage> list = Pages_To_WaveList(pages);
    return Write_Expression_File(path, list, Current_ExpressionUnits(units, english));
}

int32_t Read_Pages_File(const QString& path, CreatePages& pages, const UnitContext& units) {
    const ExpressionRead read = Read_Expression_File(path, Current_Ranges(units));
    if (read.result != 0)
        return read.result;
    WaveList_To_Pages(read.pages, pages);
    return 0;
}

} // namespace velda::tools
