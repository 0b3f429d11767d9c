#include "document/WaveDocument.h"

#include "units/NumberText.h"

#include "app/Messages.h"
#include "engine/DataWord.h"
#include "engine/file32_clipboard.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velda {

WaveDocument::WaveDocument(const SystemParameter& sp, DocumentObserver* observer)
    : sp_(sp), observer_(observer) {
    Area[0] = Area[1] = WaveArea{0, static_cast<double>(N())};
}

WaveDocument::~WaveDocument() {
    Free_WaveMemory();
}

bool WaveDocument::Alloc_WaveMemory() {
    WaveBuf[0] = W_AllocMemory(kBufferPoints);
    WaveBuf[1] = W_AllocMemory(kBufferPoints);
    WorkBuf1 = W_AllocMemory(kBufferPoints);
    WorkBuf2 = W_AllocMemory(kBufferPoints);
    return WaveBuf[0] != 0 && WaveBuf[1] != 0 && WorkBuf1 != 0 && WorkBuf2 != 0;
}

void WaveDocument::Free_WaveMemory() {
    for (WaveHandle* h : {&WaveBuf[0], &WaveBuf[1], &WorkBuf1, &WorkBuf2}) {
        W_FreeMemory(*h);
        *h = 0;
    }
}

void WaveDocument::Save_Undo() {
    const int other = 1 - cur();
    W_CopyMemory(WaveBuf[cur()], WaveBuf[other], 0, 0, N());
    Area[other] = Area[cur()];
    UndoMode = true;
    NoUndoYet = false; // the item becomes usable with this first copy
    Update_UndoCaption();
}

void WaveDocument::Swap_Undo() {
    // Without an undo copy the other buffer holds whatever an earlier
    // document left there; showing it would not be an undo.
    if (NoUndoYet)
        return;
    UndoMode = false;
    CurBuf = static_cast<int16_t>(1 - cur());
    Update_UndoCaption();
}

void WaveDocument::Reset_Undo() {
    NoUndoYet = true;
    UndoMode = true;
    Update_UndoCaption();
}

QString WaveDocument::UndoCaption() const {
    if (English())
        return UndoMode ? QStringLiteral("&Undo") : QStringLiteral("&Redo");
    return UndoMode ? QStringLiteral(u"元に戻す(&U)") : QStringLiteral(u"元に戻すを取り消す(&R)");
}

void WaveDocument::Update_UndoCaption() {
    if (observer_)
        observer_->undoItemChanged(UndoCaption(), UndoEnabled());
}

WaveDocument::Run WaveDocument::Copied_Run() const {
    const int32_t first = Round_Up(CurArea().StartX);
    // A marker between the last two points rounds the run up to the point
    // behind the end, which is not part of the waveform.
    const int32_t count = Round_Even(Area_Width());
    return {first, std::clamp(count, 0, std::max(N() - first, 0))};
}

void WaveDocument::Copy_To_Clipboard() {
    const Run run = Copied_Run();
    const int32_t result = SetClipBoard(nullptr, CurrentBuf(), run.first, run.count);
    if (result > 0)
        ShowError(result);
}

void WaveDocument::Paste_From_Clipboard() {
    Save_Undo();
    const int32_t first = Round_Up(CurArea().StartX);
    const int32_t count = Round_Up(Area_Width());
    int32_t pasted = 0;
    const int32_t result = GetClipBoard(nullptr, CurrentBuf(), first, count, N(), pasted);
    if (result != 0) {
        if (result > 0)
            ShowError(result);
        return;
    }
    // The clipboard call never writes past N, so the area stays within it.
    CurArea().EndX = std::min(static_cast<double>(first) + pasted, static_cast<double>(N()));
    notifyMarkersAndDrawing();
}

void WaveDocument::Delete_Area() {
    Save_Undo();
    // The run Copy takes, so that Cut removes exactly what it put on the
    // clipboard, also with a marker between two points.
    const Run run = Copied_Run();
    W_DeleteWave(CurrentBuf(), run.first, run.count, N());
    CurArea().EndX = CurArea().StartX;
    notifyMarkersAndDrawing();
}

void WaveDocument::Resize(int32_t oldN) {
    const int32_t newN = std::clamp<int32_t>(N(), 0, kBufferPoints);
    oldN = std::clamp<int32_t>(oldN, 0, kBufferPoints);
    if (newN > oldN) {
        for (WaveHandle h : {WaveBuf[0], WaveBuf[1], WorkBuf1, WorkBuf2})
            W_ClearMemory(h, oldN, newN - oldN);
    }
    // A shorter waveform must not leave a marker behind its end.
    bool moved = false;
    for (WaveArea& a : Area) {
        const double end = newN;
        if (a.EndX > end || a.StartX > end) {
            a.EndX = std::min(a.EndX, end);
            a.StartX = std::min(a.StartX, end);
            moved = true;
        }
    }
    if (moved && observer_)
        observer_->markersChanged();
}

void WaveDocument::notifyMarkersAndDrawing() {
    if (!observer_)
        return;
    observer_->markersChanged();
    observer_->redraw();
}

} // namespace velda
