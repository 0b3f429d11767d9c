#pragma once
// The Compress/Decompress tool without its window: the marked area of the
// current waveform stretched or squeezed in X onto a new start and end, and
// refitted in Y to a new maximum and minimum or amplitude and offset.
//
// Every change recomputes the whole result from the initial waveform (kept as
// the undo copy from the opening on), so edits never accumulate. OK keeps the
// result; Cancel, or closing in any other way, brings back the initial
// waveform and marked area exactly.

#include <QString>
#include <QStringView>
#include <cstdint>
#include <functional>

namespace velda {

class UnitContext;
class WaveDocument;

class ElasticLogic {
public:
    // The document's WorkBuf2 holds the result while it is built.
    ElasticLogic(WaveDocument& doc, const UnitContext& units);
    ~ElasticLogic(); // restores the initial waveform if the tool is still open

    ElasticLogic(const ElasticLogic&) = delete;
    ElasticLogic& operator=(const ElasticLogic&) = delete;

    // Called after every recomputation and after a restore: the current
    // waveform and its markers changed (the main window redraws them).
    std::function<void()> onChanged;

    // Target values from the marked area, then the undo copy of the initial
    // waveform.
    void Open();
    bool isOpen() const { return open_; }

    // Recomputes the result from the initial waveform into the current one.
    void Apply_Elastic();

    // A box lost the focus with `text`. False when nothing changed: the value
    // is outside 0..N (X only), or equals the stored one; the form then
    // rewrites that box from XText/YText. True after a recomputation; the
    // form then refills the X boxes (Set_X) or the Y boxes (Set_Y).
    bool Set_X(int i, QStringView text); // 0 start, 1 end
    bool Set_Y(int i, QStringView text); // 0 max, 1 min, 2 amplitude, 3 offset

    void Fit_Length();    // target area = the whole waveform
    void Fit_PeakPeak();  // Y to the full data range
    void Fit_Amplitude(); // largest Y span that keeps the centre

    // Keeps the result; the initial waveform stays the undo copy.
    void OK();
    // Restores the initial waveform and area and resets the undo state.
    void Cancel();
    // The window closes: restores unless OK was pressed.
    void Close();

    // Texts of the boxes: Text_X(0..3) and Text_Y(0..3).
    QString XText(int i) const;
    QString YText(int i) const;

    double NewStartX = 0;
    double NewEndX = 0;
    double YMax = 0;
    double YMin = 0;
    double YAmp = 0;
    double YOffs = 0;
    int16_t YRule = 0; // 0 amplitude/offset, 2 fit, 3 minimum typed, 4 maximum typed
    bool KeepOnClose = false;

private:
    void changed();
    void restoreInitial();

    WaveDocument& doc_;
    const UnitContext& units_;
    bool open_ = false;
};

} // namespace velda
