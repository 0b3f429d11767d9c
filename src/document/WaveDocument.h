#pragma once
// The one waveform of this program: its buffers, the markers of each buffer,
// the one-level undo shared by every editing command, the clipboard transfer
// of the marked area, and the names of the files last used.
//
// Widgets never appear here: the main window watches the document through a
// DocumentObserver. The document reads N from the set-up record it is given,
// so a memory-size change is seen at once; the record must outlive it.

#include "engine/wavelb32.h"
#include "setup/SystemParameter.h"

#include <QString>
#include <cstdint>

namespace velda {

// What the main window shows of the document.
class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;
    // The Edit menu's undo item: its caption and whether it can be used.
    virtual void undoItemChanged(const QString& caption, bool enabled) = 0;
    // The markers moved: show the values at marker A and marker B.
    virtual void markersChanged() = 0;
    // The waveform changed: draw it again.
    virtual void redraw() = 0;
};

// Marker A (StartX) and marker B (EndX), in points; 0 <= StartX <= EndX <= N.
struct WaveArea {
    double StartX = 0;
    double EndX = 0;
};

class WaveDocument {
public:
    // `observer` may be null (no window yet, or a test that does not care).
    explicit WaveDocument(const SystemParameter& sp, DocumentObserver* observer = nullptr);
    ~WaveDocument(); // frees whatever buffers are still held
    WaveDocument(const WaveDocument&) = delete;
    WaveDocument& operator=(const WaveDocument&) = delete;

    void setObserver(DocumentObserver* observer) { observer_ = observer; }

    // Number of points in use: the set-up record's memory size.
    int32_t N() const { return sp_.MemorySize; }

    // Takes the four blocks of kBufferPoints words in the order WaveBuf[0],
    // WaveBuf[1], WorkBuf1, WorkBuf2. False when any of them could not be had;
    // the caller shows the fatal box (blocks already taken are freed later by
    // Free_WaveMemory or the destructor).
    bool Alloc_WaveMemory();
    // Gives the four blocks back in the same order; the handles become 0.
    void Free_WaveMemory();

    // The buffer and markers of the current waveform.
    WaveHandle CurrentBuf() const { return WaveBuf[cur()]; }
    WaveArea& CurArea() { return Area[cur()]; }
    const WaveArea& CurArea() const { return Area[cur()]; }
    double Area_Width() const { return CurArea().EndX - CurArea().StartX; }

    // Undo copy before an edit; every command that changes the current buffer
    // calls this first.
    void Save_Undo();
    // Undo or redo: the current and the undo buffer change places. The caller
    // refreshes the entry fields and the drawing. Does nothing while there is
    // no undo copy yet (the item is disabled then).
    void Swap_Undo();
    // Forgets the undo state; the buffers keep their contents.
    void Reset_Undo();
    // Sets the undo item's caption from UndoMode and the language.
    void Update_UndoCaption();
    QString UndoCaption() const;
    bool UndoEnabled() const { return !NoUndoYet; }

    // Puts the marked area on the clipboard; failures show their message.
    void Copy_To_Clipboard();
    // Takes the undo copy, then writes the clipboard's points from the first
    // point of the area on; EndX then ends the pasted run.
    void Paste_From_Clipboard();
    // Takes the undo copy and removes the area; the markers meet at its start.
    void Delete_Area();

    // N has changed from oldN (the record already holds the new value): the
    // first points of all four blocks stay, and when N grew the points from
    // oldN up to N are cleared. Markers beyond the new N are brought back to it.
    void Resize(int32_t oldN);

    WaveHandle WaveBuf[2] = {0, 0};
    WaveHandle WorkBuf1 = 0; // scratch block of the Create tool
    WaveHandle WorkBuf2 = 0; // scratch block of the Compress/Decompress tool
    int16_t CurBuf = 0;      // 0 or 1: which WaveBuf holds the current waveform
    WaveArea Area[2];        // markers per buffer, so undo restores them with the data
    bool UndoMode = true;    // true: the item offers "Undo"; false: "Redo"
    bool NoUndoYet = true;   // no undo copy since the last Reset_Undo

    QString WaveFileName = QStringLiteral("Untitled");
    QString SetupFileName = QStringLiteral("Untitled");
    QString TextFileName = QStringLiteral("Untitled");
    QString FuncFileName = QStringLiteral("Untitled");

private:
    int cur() const { return CurBuf != 0 ? 1 : 0; }
    // The points Copy sends and Cut removes: from the area's first whole
    // point, the width rounded to even.
    struct Run {
        int32_t first;
        int32_t count;
    };
    Run Copied_Run() const;
    void notifyMarkersAndDrawing();

    const SystemParameter& sp_;
    DocumentObserver* observer_ = nullptr;
};

} // namespace velda
