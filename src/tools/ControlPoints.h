#pragma once
// The program-wide control-point list of the Interpolate tool and the tool's
// operations on it: adding, changing and deleting points, the picking of a
// point with the mouse on the main view, and the three interpolations into
// the marked area.
//
// The list keeps its points sorted by X with no two at the same X, and the
// point at X = 0 and the point at X = N (the same point of the periodic
// waveform) always carry the same Y. Those who show the list (the tool's grid,
// the main view) watch it through ControlPointObserver.

#include "engine/wavelb32.h"
#include "setup/SystemParameter.h"

#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace velda {

class UnitContext;
class WaveDocument;

inline constexpr int kSplineCapacity = 2004; // points the list can hold
inline constexpr int kSplineGridRows = 2000; // points the grid shows at most

class ControlPointObserver {
public:
    virtual ~ControlPointObserver() = default;
    // The list changed and is sorted: refill the grid, redraw the main view.
    virtual void pointsChanged() {}
    // Part of a batch of additions: only the grid's row count follows
    // SplineCount; the list is sorted when the batch ends.
    virtual void rowCountChanged() {}
    // Another point (or none) is selected.
    virtual void selectionChanged() {}
};

// Maps a point position and a data word to unrounded pixel coordinates of
// the main view, for picking.
struct PixelMapping {
    std::function<double(double)> pointToPixelX;
    std::function<double(double)> wordToPixelY;
};

class ControlPoints {
public:
    enum class Update {
        Added,    // a new point was stored
        Changed,  // an existing point (or the periodic end pair) took the new Y
        Declined, // the user answered No to the end-point question
        Full,     // no room for another point; the user was told
        Invalid,  // X or Y not a finite number
    };

    // N is read from the set-up record at every use; it must outlive the list.
    explicit ControlPoints(const SystemParameter& sp);

    void addObserver(ControlPointObserver* o);
    void removeObserver(ControlPointObserver* o);

    int16_t SplineCount() const { return count_; }
    double SplineX(int i) const { return x_[static_cast<size_t>(i)]; }
    double SplineY(int i) const { return y_[static_cast<size_t>(i)]; }
    std::span<const double> xs() const { return {x_.data(), static_cast<size_t>(count_)}; }
    std::span<const double> ys() const { return {y_.data(), static_cast<size_t>(count_)}; }
    bool full() const { return count_ >= kSplineCapacity; }

    // Inserts the point or changes the Y of the point at that X, with the
    // end-point rule. X is brought within 0..N first (a value that misses an
    // end only by rounding is that end). gridOnly: one of a batch (all but
    // the last of a list being read) - the list is not sorted and observers
    // only hear rowCountChanged. A point refused because the list is full
    // ends a batch: the list is sorted and refilled, so a reader that stops
    // at the first refusal leaves a proper list behind.
    Update Spline_Update(double x, double y, bool gridOnly);
    // Removes every point; the selection returns to the first row.
    void Spline_AllClear();
    // Removes the point of grid row `row` (1-based). False, and nothing
    // changes, when the row holds no point. The selection stays on the row.
    bool Delete_Point(int row);

    // Grid rows that show points (header row not counted).
    int GridPointRows() const;
    // The grid's texts of point i: column "X" and column "Y" in the current
    // units (also what a click on the row copies into the two boxes).
    QString GridXText(int i, const UnitContext& units) const;
    QString GridYText(int i, const UnitContext& units) const;
    // The grid's selected row, 1-based; 0 when none.
    int SelectedRow() const { return selectedRow_; }
    // Selects a row (clipped to 1..kSplineGridRows; 0 clears the selection).
    void GridRowSelect(int row);
    // Index of the selected point, or -1 when the selected row shows none.
    int SelectedIndex() const;

    // The first point (in list order) whose pixel column and row are each
    // within half a pixel of those of (point, word); -1 when none.
    int Find_Spline_Point(double point, double word, const PixelMapping& map) const;
    // Selects that point's row; found becomes 1 when there was one, else
    // stays as it was.
    void Change_Spline_Select(double point, double word, const PixelMapping& map, int& found);

    // The tool's Add: nothing unless both texts hold something; otherwise the
    // texts are read in the current units and the point is stored, and its
    // row selected. Returns what Spline_Update did, or Invalid for an empty
    // text.
    Update Update_Point(QStringView textX, QStringView textY, const UnitContext& units);
    // Entry checks for the two boxes: false when the typed value is outside
    // the range of the current unit (the box is then emptied).
    static bool X_Text_Valid(QStringView text, const UnitContext& units);
    static bool Y_Text_Valid(QStringView text, const UnitContext& units);

    // The variant of the library call for interpolation button 0 (Linear),
    // 1 (Spline) or 2 (Cont Spline) over the area [S, E) of N points: -1 for
    // the straight lines, otherwise the spline variant. Cont Spline is
    // periodic over the whole waveform (2) only when the area is all of it.
    static int SplineVariant(int button, double S, double E, int32_t N);
    // Interpolation button `button`: with no points, message 20 and nothing
    // else (no undo copy); otherwise the undo copy and the curve written into
    // the marked area. True when the waveform changed (the caller redraws).
    bool Interpolate(int button, WaveDocument& doc);

private:
    int32_t N() const { return sp_.MemorySize; }
    double snapX(double x) const;
    int indexOf(double x) const;
    void sortAndNotify();
    void notify(void (ControlPointObserver::*what)());

    const SystemParameter& sp_;
    std::array<double, kSplineCapacity> x_{};
    std::array<double, kSplineCapacity> y_{};
    int16_t count_ = 0;
    int selectedRow_ = 1;
    std::vector<ControlPointObserver*> observers_;
};

// The text shown when the list has no room for another point.
QString SplineFullText();

} // namespace velda
