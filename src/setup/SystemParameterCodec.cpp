#include "setup/SystemParameterCodec.h"

#include "engine/DeviceRecord.h"
#include "engine/CodePage.h"

namespace velda {

namespace r = engine::rec;
static_assert(r::RecordSize == LibraryFormSize);

LibraryForm toLibraryForm(const SystemParameter& p) {
    LibraryForm f{};
    uint8_t* b = f.data();
    putFixedText(b + r::ModelName, r::ModelNameWidth, p.ModelName);
    r::putI16(b, r::ModelNo, p.ModelNo);
    r::putI16(b, r::GpibAddress, p.GpibAddress);
    r::putI16(b, r::GpibAddressMin, p.GpibAddressMin);
    r::putI16(b, r::GpibAddressMax, p.GpibAddressMax);
    putFixedText(b + r::DefaultArbSend, r::DefaultArbSendWidth, p.DefaultArbSend);
    putFixedText(b + r::MemoryName, r::MemoryNameWidth, p.MemoryName);
    r::putI32(b, r::MemorySize, p.MemorySize);
    r::putI32(b, r::ModelWord108, p.ModelWord108);
    r::putI16(b, r::ModelWord112, p.ModelWord112);
    r::putI16(b, r::ModelWord114, p.ModelWord114);
    r::putI32(b, r::ModelWord116, p.ModelWord116);
    r::putI16(b, r::MemoryNoUsed, p.MemoryNoUsed);
    r::putI16(b, r::MemoryNo, p.MemoryNo);
    r::putI16(b, r::MemoryNoMin, p.MemoryNoMin);
    r::putI16(b, r::MemoryNoMax, p.MemoryNoMax);
    r::putI16(b, r::MemoryNameUsed, p.MemoryNameUsed);
    r::putI16(b, r::MemorySizeNo, p.MemorySizeNo);
    r::putI16(b, r::ChannelUsed, p.ChannelUsed);
    r::putI16(b, r::ChannelNo, p.ChannelNo);
    r::putF64(b, r::Frequency, p.Frequency);
    r::putF64(b, r::FrequencyMin, p.FrequencyMin);
    r::putF64(b, r::FrequencyMax, p.FrequencyMax);
    r::putF64(b, r::ModelReal160, p.ModelReal160);
    r::putF64(b, r::Period, p.Period);
    r::putF64(b, r::ModelReal176, p.ModelReal176);
    r::putF64(b, r::ModelReal184, p.ModelReal184);
    r::putF64(b, r::ModelReal192, p.ModelReal192);
    r::putF64(b, r::Amplitude, p.Amplitude);
    r::putF64(b, r::AmplitudeMin, p.AmplitudeMin);
    r::putF64(b, r::AmplitudeMax, p.AmplitudeMax);
    r::putF64(b, r::ModelReal224, p.ModelReal224);
    r::putF64(b, r::Offset, p.Offset);
    r::putF64(b, r::OffsetMin, p.OffsetMin);
    r::putF64(b, r::OffsetMax, p.OffsetMax);
    r::putF64(b, r::ModelReal256, p.ModelReal256);
    r::putI16(b, r::OffsetSettable, p.OffsetSettable);
    r::putI16(b, r::OffsetOn, p.OffsetOn);
    r::putI16(b, r::XUnitMode, p.XUnitMode);
    r::putI16(b, r::YUnitMode, p.YUnitMode);
    r::putF64(b, r::UserXStart, p.UserXStart);
    r::putF64(b, r::UserXEnd, p.UserXEnd);
    r::putF64(b, r::UserYMin, p.UserYMin);
    r::putF64(b, r::UserYMax, p.UserYMax);
    r::putI16(b, r::OutputState, p.OutputState);
    r::putI16(b, r::RangeNo, p.RangeNo);
    r::putI16(b, r::ModelWord308, p.ModelWord308);
    putFixedText(b + r::UserXUnitName, r::UnitNameWidth, p.UserXUnitName);
    putFixedText(b + r::UserYUnitName, r::UnitNameWidth, p.UserYUnitName);
    r::putI16(b, r::ModelWord326, p.ModelWord326);
    return f;
}

SystemParameter fromLibraryForm(const uint8_t* b) {
    SystemParameter p;
    p.ModelName = getFixedText(b + r::ModelName, r::ModelNameWidth);
    p.ModelNo = r::getI16(b, r::ModelNo);
    p.GpibAddress = r::getI16(b, r::GpibAddress);
    p.GpibAddressMin = r::getI16(b, r::GpibAddressMin);
    p.GpibAddressMax = r::getI16(b, r::GpibAddressMax);
    p.DefaultArbSend = getFixedText(b + r::DefaultArbSend, r::DefaultArbSendWidth);
    p.MemoryName = getFixedText(b + r::MemoryName, r::MemoryNameWidth);
    p.MemorySize = r::getI32(b, r::MemorySize);
    p.ModelWord108 = r::getI32(b, r::ModelWord108);
    p.ModelWord112 = r::getI16(b, r::ModelWord112);
    p.ModelWord114 = r::getI16(b, r::ModelWord114);
    p.ModelWord116 = r::getI32(b, r::ModelWord116);
    p.MemoryNoUsed = r::getI16(b, r::MemoryNoUsed);
    p.MemoryNo = r::getI16(b, r::MemoryNo);
    p.MemoryNoMin = r::getI16(b, r::MemoryNoMin);
    p.MemoryNoMax = r::getI16(b, r::MemoryNoMax);
    p.MemoryNameUsed = r::getI16(b, r::MemoryNameUsed);
    p.MemorySizeNo = r::getI16(b, r::MemorySizeNo);
    p.ChannelUsed = r::getI16(b, r::ChannelUsed);
    p.ChannelNo = r::getI16(b, r::ChannelNo);
    p.Frequency = r::getF64(b, r::Frequency);
    p.FrequencyMin = r::getF64(b, r::FrequencyMin);
    p.FrequencyMax = r::getF64(b, r::FrequencyMax);
    p.ModelReal160 = r::getF64(b, r::ModelReal160);
    p.Period = r::getF64(b, r::Period);
    p.ModelReal176 = r::getF64(b, r::ModelReal176);
    p.ModelReal184 = r::getF64(b, r::ModelReal184);
    p.ModelReal192 = r::getF64(b, r::ModelReal192);
    p.Amplitude = r::getF64(b, r::Amplitude);
    p.AmplitudeMin = r::getF64(b, r::AmplitudeMin);
    p.AmplitudeMax = r::getF64(b, r::AmplitudeMax);
    p.ModelReal224 = r::getF64(b, r::ModelReal224);
    p.Offset = r::getF64(b, r::Offset);
    p.OffsetMin = r::getF64(b, r::OffsetMin);
    p.OffsetMax = r::getF64(b, r::OffsetMax);
    p.ModelReal256 = r::getF64(b, r::ModelReal256);
    p.OffsetSettable = r::getI16(b, r::OffsetSettable);
    p.OffsetOn = r::getI16(b, r::OffsetOn);
    p.XUnitMode = r::getI16(b, r::XUnitMode);
    p.YUnitMode = r::getI16(b, r::YUnitMode);
    p.UserXStart = r::getF64(b, r::UserXStart);
    p.UserXEnd = r::getF64(b, r::UserXEnd);
    p.UserYMin = r::getF64(b, r::UserYMin);
    p.UserYMax = r::getF64(b, r::UserYMax);
    p.OutputState = r::getI16(b, r::OutputState);
    p.RangeNo = r::getI16(b, r::RangeNo);
    p.ModelWord308 = r::getI16(b, r::ModelWord308);
    p.UserXUnitName = getFixedText(b + r::UserXUnitName, r::UnitNameWidth);
    p.UserYUnitName = getFixedText(b + r::UserYUnitName, r::UnitNameWidth);
    p.ModelWord326 = r::getI16(b, r::ModelWord326);
    return p;
}

} // namespace velda
