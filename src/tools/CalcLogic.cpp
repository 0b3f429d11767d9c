#include "tools/CalcLogic.h"

#include "units/NumberText.h"

#include "document/WaveDocument.h"
#include "engine/file32_clipboard.h"
#include "engine/wavelb32_calc.h"
#include "units/Units.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velda {

CalcLogic::CalcLogic(WaveDocument& doc, const UnitContext& units) : doc_(doc), units_(units) {}

CalcLogic::~CalcLogic() {
    Close();
}

QStringList CalcLogic::OperatorItems() {
    return {QStringLiteral("+"), QStringLiteral("-"), QStringLiteral("*"), QStringLiteral("/")};
}

void CalcLogic::Open() {
    Close();
    w_ = std::max(Round_Even(doc_.Area_Width()), 0);
    // An empty area gets no buffers (handle 0); every call below then does
    // nothing, so OK writes nothing.
    CalcBuf[0] = W_AllocMemory(w_);
    CalcBuf[1] = W_AllocMemory(w_);
    W_ClearMemory(CalcBuf[0], 0, w_);
    W_ClearMemory(CalcBuf[1], 0, w_);
    Comb_Comp = 0;
    open_ = true;
}

void CalcLogic::Close() {
    W_FreeMemory(CalcBuf[0]);
    W_FreeMemory(CalcBuf[1]);
    CalcBuf[0] = CalcBuf[1] = 0;
    open_ = false;
}

double CalcLogic::SourceStart() const {
    return first();
}

void CalcLogic::Clip_Board(void* window) {
    int32_t count = 0;
    GetClipBoard(window, CalcBuf[0], 0, w_, w_, count);
}

int32_t CalcLogic::first() const {
    // One rounding for both: the engine, given the raw start, would round a
    // half the other way, and the result would land one point off.
    return Round_Even(doc_.CurArea().StartX);
}

void CalcLogic::Result() {
    W_CalcWave(doc_.CurrentBuf(), CalcBuf[0], CalcBuf[1], first(), w_, units_.Word_To_Y(-32767),
               units_.Word_To_Y(32767), Comb_Comp);
}

void CalcLogic::OK() {
    if (!open_)
        return;
    doc_.Save_Undo();
    const int32_t start = first();
    // Never past the points in use, whatever the rounding of start and width.
    const int32_t count = std::clamp(std::min(w_, doc_.N() - start), 0, w_);
    W_CopyMemory(CalcBuf[1], doc_.CurrentBuf(), 0, start, count);
}

} // namespace velda
