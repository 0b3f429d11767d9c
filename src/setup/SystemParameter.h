#pragma once
// The one record of the instrument set-up. Text fields are held at their full
// fixed width, space-padded; they are trimmed only for display and comparison.
// The 328-byte form exchanged with the model-information module is built by
// toLibraryForm()/fromLibraryForm() in SystemParameterCodec.h.

#include <QString>
#include <cstdint>

namespace velda {

struct SystemParameter {
    QString ModelName = QString(16, QLatin1Char(' '));
    int16_t ModelNo = 0;
    int16_t GpibAddress = 0;
    int16_t GpibAddressMin = 0;
    int16_t GpibAddressMax = 0;
    QString DefaultArbSend = QString(64, QLatin1Char(' '));
    QString MemoryName = QString(16, QLatin1Char(' '));
    int32_t MemorySize = 0;
    int32_t ModelWord108 = 0;
    int16_t ModelWord112 = 0;
    int16_t ModelWord114 = 0;
    int32_t ModelWord116 = 0;
    int16_t MemoryNoUsed = 0;
    int16_t MemoryNo = 0;
    int16_t MemoryNoMin = 0;
    int16_t MemoryNoMax = 0;
    int16_t MemoryNameUsed = 0;
    int16_t MemorySizeNo = 0;
    int16_t ChannelUsed = 0;
    int16_t ChannelNo = 0;
    double Frequency = 0;
    double FrequencyMin = 0;
    double FrequencyMax = 0;
    double ModelReal160 = 0;
    double Period = 0;
    double ModelReal176 = 0;
    double ModelReal184 = 0;
    double ModelReal192 = 0;
    double Amplitude = 0;
    double AmplitudeMin = 0;
    double AmplitudeMax = 0;
    double ModelReal224 = 0;
    double Offset = 0;
    double OffsetMin = 0;
    double OffsetMax = 0;
    double ModelReal256 = 0;
    int16_t OffsetSettable = 0;
    int16_t OffsetOn = 0;
    int16_t XUnitMode = 0; // 0 "Word", 1 "sec", 2 user unit
    int16_t YUnitMode = 0; // 0 raw data, 1 "V", 2 user unit
    double UserXStart = 0;
    double UserXEnd = 1.0;
    double UserYMin = -1.0;
    double UserYMax = 1.0;
    int16_t OutputState = 0; // 0 "ON", 1 "OFF", 2 "NO CHANGE"
    int16_t RangeNo = 0;
    int16_t ModelWord308 = 0;
    QString UserXUnitName = QString(8, QLatin1Char(' '));
    QString UserYUnitName = QString(8, QLatin1Char(' '));
    int16_t ModelWord326 = 0;
};

// Interface kinds, as numbered by the bus layer.
enum InterfaceKind : int16_t {
    IfNiGpib = 0,
    IfKiGpib = 1,
    IfUsb488 = 2,
    IfUsbTmc = 3,
    IfSimulated = 4,
};

} // namespace velda
