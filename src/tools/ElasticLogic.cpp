#include "tools/ElasticLogic.h"

#include "document/WaveDocument.h"
#include "engine/DataWord.h"
#include "engine/wavelb32.h"
#include "engine/wavelb32_calc.h"
#include "units/NumberText.h"
#include "units/Units.h"

#include <algorithm>
#include <cmath>

namespace velda {

ElasticLogic::ElasticLogic(WaveDocument& doc, const UnitContext& units)
    : doc_(doc), units_(units) {}

ElasticLogic::~ElasticLogic() {
    // No callback from a destructor: the window may already be gone.
    onChanged = nullptr;
    Close();
}

void ElasticLogic::changed() {
    if (onChanged)
        onChanged();
}

void ElasticLogic::Open() {
    const int32_t n = doc_.N();
    W_CopyMemory(doc_.CurrentBuf(), doc_.WorkBuf2, 0, 0, n);
    NewStartX = doc_.CurArea().StartX;
    NewEndX = doc_.CurArea().EndX;
    YMin = W_GetMaxMin(doc_.WorkBuf2, NewStartX, doc_.Area_Width(), 0);
    YMax = W_GetMaxMin(doc_.WorkBuf2, NewStartX, doc_.Area_Width(), 1);
    YAmp = YMax - YMin;
    YOffs = (YMax + YMin) / 2;
    doc_.Save_Undo();
    YRule = 0;
    KeepOnClose = false;
    open_ = true;
}

void ElasticLogic::Apply_Elastic() {
    const int32_t n = doc_.N();
    const int initial = 1 - (doc_.CurBuf != 0 ? 1 : 0);
    W_CopyMemory(doc_.WaveBuf[initial], doc_.WorkBuf2, 0, 0, n);
    doc_.CurArea() = doc_.Area[initial];
    if (doc_.Area_Width() > 0 && std::fabs(NewEndX - NewStartX) > 0) {
        W_CompWaveX(doc_.WorkBuf2, doc_.CurArea().StartX, doc_.Area_Width(), n, NewStartX,
                    NewEndX - NewStartX);
        doc_.CurArea().StartX = std::min(NewStartX, NewEndX);
        doc_.CurArea().EndX = std::max(NewStartX, NewEndX);
        if (doc_.Area_Width() > 1) {
            if (YRule != 0 && YMax != YMin)
                W_CompYMaxMin(doc_.WorkBuf2, doc_.CurArea().StartX, doc_.Area_Width(), YMax, YMin);
            else if (YRule == 0)
                W_CompYAmpOff(doc_.WorkBuf2, doc_.CurArea().StartX, doc_.Area_Width(), YAmp, YOffs);
        }
    }
    YRule = 0;
    W_CopyMemory(doc_.WorkBuf2, doc_.CurrentBuf(), 0, 0, n);
    changed();
}

bool ElasticLogic::Set_X(int i, QStringView text) {
    if (i < 0 || i > 1)
        return false;
    double& target = i == 0 ? NewStartX : NewEndX;
    if (text.trimmed() == XText(i).trimmed())
        return false;
    double typed = Eng_Val(text);
    if (!units_.Clamp_X(typed, units_.parameters().XUnitMode))
        return false;
    const double v = units_.X_To_Point(typed);
    if (v == target)
        return false;
    target = v;
    Apply_Elastic();
    return true;
}

bool ElasticLogic::Set_Y(int i, QStringView text) {
    if (i < 0 || i > 3)
        return false;
    // An unedited box read back through its rounded text must not count as
    // a new value.
    if (text.trimmed() == YText(i).trimmed())
        return false;
    // Targets beyond the full scale (or too large for a number) are refused
    // like an X outside the waveform.
    const double typed = Eng_Val(text);
    double v = 0;
    if (i == 2) {
        if (!units_.YSpan_To_Word_Inside(typed, v))
            return false;
    } else {
        if (!units_.YLevel_Inside(typed))
            return false;
        v = units_.Y_To_Word_Raw(typed);
    }
    switch (i) {
    case 0:
        if (v == YMax)
            return false;
        YMax = v;
        YAmp = v - YMin;
        YOffs = (v + YMin) / 2;
        YRule = 4;
        break;
    case 1:
        if (v == YMin)
            return false;
        YMin = v;
        YAmp = YMax - v;
        YOffs = (v + YMax) / 2;
        YRule = 3;
        break;
    case 2:
        if (v == YAmp)
            return false;
        YAmp = v;
        YMax = v / 2 + YOffs;
        YMin = YMax - v;
        break;
    default:
        if (v == YOffs)
            return false;
        YOffs = v;
        YMax = YAmp / 2 + v;
        YMin = YMax - YAmp;
        break;
    }
    Apply_Elastic();
    return true;
}

void ElasticLogic::Fit_Length() {
    NewStartX = 0;
    NewEndX = doc_.N();
    Apply_Elastic();
}

void ElasticLogic::Fit_PeakPeak() {
    YMax = kWordMax;
    YMin = kWordMin;
    YRule = 2;
    Apply_Elastic();
    YAmp = kFullSpan;
    YOffs = 0;
}

void ElasticLogic::Fit_Amplitude() {
    const double lo = W_GetMaxMin(doc_.WorkBuf2, doc_.CurArea().StartX, doc_.Area_Width(), 0);
    const double hi = W_GetMaxMin(doc_.WorkBuf2, doc_.CurArea().StartX, doc_.Area_Width(), 1);
    if (std::fabs(lo) <= std::fabs(hi)) {
        YMax = kWordMax;
        YMin = lo - (kWordMax - hi);
    } else {
        YMin = kWordMin;
        YMax = (kWordMax - std::fabs(lo)) + hi;
    }
    YRule = 2;
    YAmp = YMax - YMin;
    // The offset box shows the kept centre; a later amplitude edit builds on it.
    YOffs = (YMax + YMin) / 2;
    Apply_Elastic();
}

void ElasticLogic::OK() {
    KeepOnClose = true;
    open_ = false;
}

void ElasticLogic::Cancel() {
    if (!open_)
        return;
    restoreInitial();
    open_ = false;
}

void ElasticLogic::Close() {
    if (open_ && !KeepOnClose)
        Cancel();
    open_ = false;
}

void ElasticLogic::restoreInitial() {
    const int initial = 1 - (doc_.CurBuf != 0 ? 1 : 0);
    W_CopyMemory(doc_.WaveBuf[initial], doc_.CurrentBuf(), 0, 0, doc_.N());
    doc_.CurArea() = doc_.Area[initial];
    doc_.Reset_Undo();
    changed();
}

QString ElasticLogic::XText(int i) const {
    switch (i) {
    case 0:
        return units_.Point_To_XTextLong(NewStartX);
    case 1:
        return units_.Point_To_XTextLong(NewEndX);
    case 2:
        return units_.Word_To_YText(W_GetWaveData(doc_.WorkBuf2, NewStartX, doc_.N()));
    case 3:
        return units_.Word_To_YText(W_GetWaveData(doc_.WorkBuf2, NewEndX, doc_.N()));
    default:
        return {};
    }
}

QString ElasticLogic::YText(int i) const {
    switch (i) {
    case 0:
        return units_.Word_To_YText_Raw(YMax);
    case 1:
        return units_.Word_To_YText_Raw(YMin);
    case 2:
        return units_.WordSpan_To_YText(YAmp);
    case 3:
        return units_.Word_To_YText_Raw(YOffs);
    default:
        return {};
    }
}

} // namespace velda
