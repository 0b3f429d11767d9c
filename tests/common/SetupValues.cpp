#include "SetupValues.h"

namespace velda::test {

void Apply_Setup_Values(SystemParameter& sp, const SetupValues& v) {
    sp.Frequency = v.Frequency;
    sp.Period = v.Period;
    sp.Amplitude = v.Amplitude;
    sp.Offset = v.Offset;
    sp.GpibAddress = v.GpibAddress;
    sp.OutputState = v.OutputState;
    sp.XUnitMode = v.XUnitMode;
    sp.YUnitMode = v.YUnitMode;
    sp.UserXStart = v.UserXStart;
    sp.UserXEnd = v.UserXEnd;
    sp.UserYMin = v.UserYMin;
    sp.UserYMax = v.UserYMax;
}

} // namespace velda::test
