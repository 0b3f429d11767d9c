#pragma once
// The set-up values a test fills in one go: the ones the print-out shows and
// the packed record carries, each a field of SystemParameter.

#include "setup/SystemParameter.h"

#include <cstdint>

namespace velda::test {

// Given in this order: frequency, period, amplitude, offset, address,
// output, X and Y unit modes, user X start and end, user Y min and max.
struct SetupValues {
    double Frequency = 0;
    double Period = 0;
    double Amplitude = 0;
    double Offset = 0;
    int16_t GpibAddress = 0;
    int16_t OutputState = 0;
    int16_t XUnitMode = 0;
    int16_t YUnitMode = 0;
    double UserXStart = 0;
    double UserXEnd = 1;
    double UserYMin = -1;
    double UserYMax = 1;
};

// Writes every value into its field of `sp`; the other fields keep theirs.
void Apply_Setup_Values(SystemParameter& sp, const SetupValues& v);

} // namespace velda::test
