#pragma once
// The Operate tool without its window: the marked area of the current
// waveform combined point by point with an operand of the same length by
// +, -, * or /, the result written into the area on OK.
//
// While the tool is open it owns two buffers sized to the marked area:
// CalcBuf[0] the operand, CalcBuf[1] the result, both cleared at opening. The
// marked area must not change while it is open.

#include "engine/wavelb32.h"

#include <QStringList>
#include <cstdint>

namespace velda {

class UnitContext;
class WaveDocument;

class CalcLogic {
public:
    CalcLogic(WaveDocument& doc, const UnitContext& units);
    ~CalcLogic(); // frees the buffers if Close was not called
    CalcLogic(const CalcLogic&) = delete;
    CalcLogic& operator=(const CalcLogic&) = delete;

    // The operator list's items, the same in both languages.
    static QStringList OperatorItems();

    // Allocates and clears both buffers for the area's width W (to the
    // nearest whole point) and selects "+". Opening again first frees the
    // buffers of the earlier opening.
    void Open();
    // Frees both buffers (the form calls this as it closes).
    void Close();
    bool isOpen() const { return open_; }

    // Number of points of the area, the operand and the result.
    int32_t W() const { return w_; }
    // First point of the area in the current waveform (the source preview).
    double SourceStart() const;

    // Clip Board: the clipboard's words into the operand from point 0, at
    // most W of them. `window` is handed on to the clipboard call.
    void Clip_Board(void* window = nullptr);
    // The buffer the Create tool fills in its create-for-operate mode
    // (from point 0, W points).
    WaveHandle OperandBuf() const { return CalcBuf[0]; }
    WaveHandle ResultBuf() const { return CalcBuf[1]; }

    // Result: source point StartX + k with operand point k into result
    // point k, by Comb_Comp, on the displayed values of the current Y unit.
    void Result();
    // OK: the undo copy, then the result (whatever it holds: without Result
    // the cleared buffer, data word 0) into the marked area.
    void OK();
    // Cancel changes nothing; the form only closes.

    // Selected operator: 0 "+", 1 "-", 2 "*", 3 "/".
    int Comb_Comp = 0;
    WaveHandle CalcBuf[2] = {0, 0};

private:
    // The area's first point, read by Result and written back by OK.
    int32_t first() const;

    WaveDocument& doc_;
    const UnitContext& units_;
    int32_t w_ = 0;
    bool open_ = false;
};

} // namespace velda
