#include "setup/SystemSetup.h"

#include "app/Messages.h"
#include "engine/sysinf32.h"
#include "engine/CodePage.h"
#include "setup/SystemParameterCodec.h"

#include <algorithm>

namespace velda {
namespace {

constexpr size_t TextBufferSize = 512;
constexpr size_t KeyWidth = 8;
constexpr size_t TextWidth = 64;
constexpr size_t TableBytes = SystemSetup::CommandRows * (KeyWidth + TextWidth);

QString nameFrom(const char (&buf)[SystemSetup::NameWidth]) {
    return getFixedText(reinterpret_cast<const uint8_t*>(buf), SystemSetup::NameWidth);
}

// An index kept across a list rebuild: the last entry when beyond the list.
int keepIndex(int index, int count) {
    return std::clamp(index, 0, std::max(count - 1, 0));
}

void blankTextFields(SystemParameter& p) {
    p.ModelName = QString(16, QLatin1Char(' '));
    p.MemoryName = QString(16, QLatin1Char(' '));
    p.UserXUnitName = QString(8, QLatin1Char(' '));
    p.UserYUnitName = QString(8, QLatin1Char(' '));
}

// Limits of a period typed against a frequency range. The period field shows
// 1 / FrequencyMax, which the user may type back: a few units of rounding
// must not refuse it (the module then holds the frequency at its limit).
bool withinPeriodLimits(double p, double fMin, double fMax) {
    constexpr double slack = 1e-12;
    const double lo = 1.0 / fMax;
    const double hi = 1.0 / fMin;
    return p >= lo * (1 - slack) && p <= hi * (1 + slack);
}

} // namespace

SystemSetup::SystemSetup() {
    blankTextFields(Param);
}

template <typename Fn> auto SystemSetup::withRecord(Fn&& fn) {
    LibraryForm form = toLibraryForm(Param);
    auto result = fn(form.data());
    Param = fromLibraryForm(form.data());
    return result;
}

// ---------------------------------------------------------------------------
// Calls into the model-information module.

int32_t SystemSetup::Init_ModelInfo() {
    return SysInitDeviceInfo();
}

int32_t SystemSetup::Get_ModelCount() {
    return SysGetDeviceCnt();
}

QString SystemSetup::Load_ModelName(int i) {
    char buf[NameWidth];
    SysGetDeviceName(static_cast<int16_t>(i), buf);
    return nameFrom(buf);
}

void SystemSetup::Load_ModelInfo(int i) {
    withRecord([&](uint8_t* r) { return SysGetDeviceInfo(static_cast<int16_t>(i), r); });
}

void SystemSetup::Load_InitialModelInfo(int i) {
    withRecord([&](uint8_t* r) { return SysGetInitDeviceInfo(static_cast<int16_t>(i), r); });
    DisplayStep = Display_Step(Param.MemorySize);
}

int32_t SystemSetup::Get_InterfaceMask() {
    return SysGetInterfaceInfo(Param.ModelNo);
}

int16_t SystemSetup::Change_Interface(int16_t kind) {
    return withRecord([&](uint8_t* r) { return SysChangeInterface(Param.ModelNo, kind, r); });
}

int32_t SystemSetup::Get_MemorySizeCount() {
    return SysGetMemorySizeCnt(Param.ModelNo);
}

QString SystemSetup::Load_MemorySizeName(int i) {
    char buf[NameWidth];
    SysGetMemorySizeName(Param.ModelNo, i, buf);
    return nameFrom(buf);
}

int16_t SystemSetup::Change_MemorySize(int i) {
    return withRecord([&](uint8_t* r) { return SysChangeMemorySize(Param.ModelNo, i, r); });
}

int32_t SystemSetup::Get_ChannelCount() {
    return SysGetChannelCnt(Param.ModelNo);
}

QString SystemSetup::Load_ChannelName(int i) {
    char buf[NameWidth];
    SysGetChannelName(Param.ModelNo, i, buf);
    return nameFrom(buf);
}

int16_t SystemSetup::Change_Channel(int i) {
    return withRecord(
        [&](uint8_t* r) { return SysChangeChannel(Param.ModelNo, static_cast<int16_t>(i), r); });
}

int32_t SystemSetup::Get_RangeCount() {
    return SysGetRangeCnt(Param.ModelNo, Param.ChannelNo);
}

QString SystemSetup::Load_RangeName(int i) {
    char buf[NameWidth];
    SysGetRangeName(Param.ModelNo, Param.ChannelNo, i, buf);
    return nameFrom(buf);
}

int16_t SystemSetup::Change_Range(int i) {
    return withRecord([&](uint8_t* r) {
        return SysChangeRange(Param.ModelNo, Param.ChannelNo, static_cast<int16_t>(i), r);
    });
}

int16_t SystemSetup::Change_Frequency(double f) {
    char text[TextBufferSize] = {};
    if (SysCheckFrequency(Param.ModelNo, Param.ChannelNo, English() ? 1 : 0, f, text) != 0) {
        if (ShowWarning(fromCodePage(text, sizeof text)) != Answer::Yes)
            return 0;
    }
    return withRecord(
        [&](uint8_t* r) { return SysChangeFrequency(Param.ModelNo, Param.ChannelNo, f, r); });
}

int16_t SystemSetup::Change_Amplitude(double v) {
    return withRecord([&](uint8_t* r) {
        return SysChangeAmplitude(Param.ModelNo, Param.ChannelNo, Param.RangeNo, v, r);
    });
}

int16_t SystemSetup::Change_Offset(double v) {
    return withRecord([&](uint8_t* r) {
        return SysChangeOffset(Param.ModelNo, Param.ChannelNo, Param.RangeNo, v, r);
    });
}

void SystemSetup::Load_CommandTables() {
    uint8_t buf[TableBytes];
    for (int item = 0; item < 4; ++item) {
        CommandTable& t = CommandTables[static_cast<size_t>(item)];
        t.rows = SysGetGPIBInfo(Param.ModelNo, item, buf);
        t.keys.clear();
        t.texts.clear();
        const uint8_t* texts = buf + CommandRows * KeyWidth;
        for (int i = 0; i < CommandRows; ++i) {
            t.keys << getFixedText(buf + i * KeyWidth, KeyWidth);
            t.texts << getFixedText(texts + i * TextWidth, TextWidth);
        }
    }
}

void SystemSetup::Load_ModelList() {
    ModelNames.clear();
    const int n = Get_ModelCount();
    for (int i = 0; i < n; ++i)
        ModelNames << Load_ModelName(i);
}

void SystemSetup::Load_MemorySizeList() {
    MemorySizeNames.clear();
    const int n = Get_MemorySizeCount();
    for (int i = 0; i < n; ++i)
        MemorySizeNames << Load_MemorySizeName(i);
}

void SystemSetup::Load_ChannelList() {
    ChannelNames.clear();
    const int n = Get_ChannelCount();
    for (int i = 0; i < n; ++i)
        ChannelNames << Load_ChannelName(i);
}

void SystemSetup::Load_RangeList() {
    RangeNames.clear();
    const int n = Get_RangeCount();
    for (int i = 0; i < n; ++i)
        RangeNames << Load_RangeName(i);
}

// ---------------------------------------------------------------------------
// Algorithms.

QString SystemSetup::InitFailureText(int32_t code, const QString& fileName, int32_t line) {
    const QString where = QStringLiteral("(") + fileName + QStringLiteral(")");
    const QString at = where + QStringLiteral(" Line[") + QString::number(line) +
                       QStringLiteral("]") + QLatin1Char('\r');
    switch (code) {
    case -30:
        return GetMessage(2) + GetMessage(0);
    case -20:
        return GetMessage(3) + where + QLatin1Char('\r') + GetMessage(0);
    case -10:
        return GetMessage(10) + GetMessage(0);
    case -2:
        return GetMessage(11) + at + GetMessage(0);
    case -1:
        return GetMessage(12) + at + GetMessage(0);
    default:
        return {};
    }
}

void SystemSetup::ShowStartupFailure(const StartupFailure& failure) {
    if (!failure.text.isEmpty())
        ShowErrorText(failure.text);
}

std::optional<StartupFailure> SystemSetup::Start_Up(int sysNo, int gpibAddress, int memoryWidthNo) {
    // 1. Blank text fields, open the model information.
    blankTextFields(Param);
    const int32_t init = Init_ModelInfo();
    if (init < 0) {
        char file[TextBufferSize] = {};
        SysGetSysErrorFileName(file);
        const QString name = fromCodePage(file, sizeof file).trimmed();
        return StartupFailure{init, InitFailureText(init, name, SysGetSysErrorLineNo())};
    }

    // 2. The model list.
    const int models = Get_ModelCount();
    if (models < 1)
        return StartupFailure{0, GetMessage(2) + GetMessage(0)};
    Load_ModelList();

    // 3.-4. Lists and initial values of the record's model (0).
    Param.ModelNo = 0;
    Param.ChannelNo = 0;
    Load_MemorySizeList();
    Load_ChannelList();
    Load_RangeList();
    Load_InitialModelInfo(Param.ModelNo);

    // 6. User-unit defaults.
    Param.UserXStart = 0;
    Param.UserXEnd = 1.0;
    Param.UserYMin = -1.0;
    Param.UserYMax = 1.0;

    // 7. The saved model; a number that is not a model of the list is model 0.
    const int model = (sysNo >= 0 && sysNo < models) ? sysNo : 0;
    Load_InitialModelInfo(model);
    // The saved address is taken when the model allows it; an address outside
    // the model's limits (a hand-edited or never written setting) keeps the
    // model's initial address instead of reaching the bus.
    if (gpibAddress >= Param.GpibAddressMin && gpibAddress <= Param.GpibAddressMax)
        Param.GpibAddress = static_cast<int16_t>(gpibAddress);
    Param.ModelNo = static_cast<int16_t>(model);
    Param.ModelName = fixedWidth(ModelNames.value(model), 16);
    // The lists follow the selected model.
    Load_MemorySizeList();
    Load_ChannelList();
    Load_RangeList();
    InterfaceMask = Get_InterfaceMask();
    MemorySizeSelection = Param.MemorySizeNo;

    // 8. The saved memory size: selected (and so applied) when it is an entry
    // of the list; stored in any case.
    if (memoryWidthNo >= 0 && memoryWidthNo < MemorySizeNames.size()) {
        MemorySizeSelection = memoryWidthNo;
        Param.MemorySizeNo = static_cast<int16_t>(memoryWidthNo);
        Change_MemorySize(memoryWidthNo);
        DisplayStep = Display_Step(Param.MemorySize);
    }
    Param.MemorySizeNo = static_cast<int16_t>(std::clamp(memoryWidthNo, INT16_MIN, INT16_MAX));

    // 9. Command scripts of the model.
    Load_CommandTables();
    return std::nullopt;
}

SizeChange SystemSetup::Change_Model(int index) {
    SizeChange change;
    change.oldSize = Param.MemorySize;
    if (index < 0 || index >= ModelNames.size()) {
        change.newSize = Param.MemorySize;
        return change;
    }
    const int16_t memorySizeNo = Param.MemorySizeNo;
    const int16_t channelNo = Param.ChannelNo;
    const int16_t rangeNo = Param.RangeNo;
    const int16_t outputState = Param.OutputState;
    const int16_t offsetOn = Param.OffsetOn;

    Param.ModelNo = static_cast<int16_t>(index);
    Param.ModelName = fixedWidth(ModelNames[index], 16);
    Load_ModelInfo(Param.ModelNo);

    Load_MemorySizeList();
    Param.MemorySizeNo = static_cast<int16_t>(keepIndex(memorySizeNo, MemorySizeNames.size()));
    MemorySizeSelection = MemorySizeNames.isEmpty() ? -1 : Param.MemorySizeNo;
    if (MemorySizeSelection >= 0)
        Param.MemorySize = MemorySizeOfName(MemorySizeNames[MemorySizeSelection]);

    Load_ChannelList();
    Param.ChannelNo = static_cast<int16_t>(keepIndex(channelNo, ChannelNames.size()));

    Load_RangeList();
    if (rangeNo >= RangeNames.size() && !RangeNames.isEmpty()) {
        Param.RangeNo = static_cast<int16_t>(RangeNames.size() - 1);
        Change_Range(Param.RangeNo);
    } else {
        Param.RangeNo = static_cast<int16_t>(std::max<int>(rangeNo, 0));
    }

    Param.OutputState = outputState;
    Param.OffsetOn = offsetOn;
    InterfaceMask = Get_InterfaceMask();
    Load_CommandTables();
    DisplayStep = Display_Step(Param.MemorySize);

    change.newSize = Param.MemorySize;
    change.changed = change.newSize != change.oldSize;
    return change;
}

SizeChange SystemSetup::Select_MemorySize(int index) {
    SizeChange change;
    change.oldSize = Param.MemorySize;
    Param.MemorySizeNo = static_cast<int16_t>(index);
    if (Change_MemorySize(index) != 0)
        MemorySizeSelection = index;
    DisplayStep = Display_Step(Param.MemorySize);
    change.newSize = Param.MemorySize;
    change.changed = change.newSize != change.oldSize;
    return change;
}

OscilOutcome SystemSetup::Check_Txt_Oscil(int index, double value, double previousFrequency,
                                          double previousPeriod) {
    OscilOutcome out;
    SystemParameter& p = Param;
    switch (index) {
    case 0:
        out.showFrequency = out.showPeriod = true;
        if (value >= p.FrequencyMin && value <= p.FrequencyMax && value != previousFrequency) {
            out.applied = true;
            out.result = Change_Frequency(value);
            p.Period = 1.0 / p.Frequency;
        }
        break;
    case 1:
        out.showFrequency = out.showPeriod = true;
        if (withinPeriodLimits(value, p.FrequencyMin, p.FrequencyMax) && value != previousPeriod) {
            out.applied = true;
            out.result = Change_Frequency(1.0 / value);
            p.Period = 1.0 / p.Frequency;
        }
        break;
    case 2:
        out.showAmplitude = true;
        if (value >= p.AmplitudeMin && value <= p.AmplitudeMax && value != p.Amplitude) {
            out.applied = true;
            out.result = Change_Amplitude(value);
            // A refusal leaves the record as the module returned it.
            if (out.result != 0)
                p.Amplitude = value;
        }
        break;
    case 3:
        out.showOffset = true;
        if (value >= p.OffsetMin && value <= p.OffsetMax && value != p.Offset) {
            out.applied = true;
            out.result = Change_Offset(value);
            if (out.result != 0)
                p.Offset = value;
        }
        break;
    default:
        break;
    }
    return out;
}

int32_t SystemSetup::Display_Step(int32_t memorySize) {
    constexpr int32_t unit = 32768;
    if (memorySize < unit + 1)
        return 1;
    const int32_t q = memorySize / unit;
    const int32_t r = memorySize % unit;
    if (2 * r > unit || (2 * r == unit && (q % 2) != 0))
        return q + 1;
    return q;
}

int32_t SystemSetup::MemorySizeOfName(const QString& name) {
    const QString t = name.trimmed();
    int64_t v = 0;
    int i = 0;
    for (; i < t.size() && t[i].isDigit() && t[i].unicode() < 128 && v <= 1'000'000'000; ++i)
        v = v * 10 + (t[i].unicode() - '0');
    return i == 0 || v > INT32_MAX ? 0 : static_cast<int32_t>(v);
}

std::vector<InterfaceEntry> SystemSetup::Interface_List(int32_t mask) {
    std::vector<InterfaceEntry> list;
    if (mask & 0x8)
        list.push_back({QStringLiteral("USB(TMC)"), IfUsbTmc});
    if (mask & 0x5)
        list.push_back({QStringLiteral("NI GPIB"), IfNiGpib});
    if (mask & 0x2)
        list.push_back({QStringLiteral("KI GPIB"), IfKiGpib});
    return list;
}

int SystemSetup::Interface_ListIndex() const {
    const auto list = Interface_List();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].kind == InterfaceKind)
            return static_cast<int>(i);
    return 0;
}

} // namespace velda
