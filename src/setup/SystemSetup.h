#pragma once
// The instrument set-up: the system-parameter record, the name lists and
// command tables of the current model, and the operations that change one
// setting through the model-information module and keep the record
// consistent. The System Setup dialog, the transfer, the file commands and
// printing all work on the one instance the program owns.

#include "setup/SystemParameter.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace velda {

// One command script of the current model: 50 rows of a key (8 characters)
// and a text (64 characters), kept at full width, and the rows in use.
struct CommandTable {
    QStringList keys;
    QStringList texts;
    int32_t rows = 0;
};

// An entry of the interface list: the text shown and the interface kind.
struct InterfaceEntry {
    QString text;
    int16_t kind = 0;
    bool operator==(const InterfaceEntry&) const = default;
};

// What a memory-size or model change did to the point count. When `changed`,
// the caller resizes the waveform document (giving it `oldSize`) and resets
// the view to the whole new waveform.
struct SizeChange {
    bool changed = false;
    int32_t oldSize = 0;
    int32_t newSize = 0;
};

// A start-up that must end the program: the box text to show (empty when the
// failure has no message) and the result that caused it.
struct StartupFailure {
    int32_t code = 0;
    QString text;
};

// What applying a typed set-up field did: whether the value went to the
// module, its result, and which fields to show again from the record.
struct OscilOutcome {
    bool applied = false;
    int16_t result = 0;
    bool showFrequency = false;
    bool showPeriod = false;
    bool showAmplitude = false;
    bool showOffset = false;
};

class SystemSetup {
public:
    static constexpr int NameWidth = 20;
    static constexpr int CommandRows = 50;

    SystemSetup();

    SystemParameter Param;
    // Kept beside the record, saved with the model number in set-up files.
    int16_t InterfaceKind = IfUsbTmc;
    // The four name lists, 20-character entries as the module wrote them.
    QStringList ModelNames;
    QStringList MemorySizeNames;
    QStringList ChannelNames;
    QStringList RangeNames;
    int32_t InterfaceMask = 0;
    // 0 main script, 1 final script, 2 set-up steps, 3 waveform steps.
    std::array<CommandTable, 4> CommandTables;
    int32_t DisplayStep = 1;
    // The entry the memory-size list shows (-1 none). Usually MemorySizeNo,
    // but a saved number beyond the list is stored without being selected.
    int MemorySizeSelection = -1;

    // --- One call each into the model-information module. Calls that pass
    // the record convert it to the library form and take the result back.
    int32_t Init_ModelInfo();
    int32_t Get_ModelCount();
    QString Load_ModelName(int i);
    void Load_ModelInfo(int i);
    void Load_InitialModelInfo(int i); // also recomputes the display step
    int32_t Get_InterfaceMask();
    int16_t Change_Interface(int16_t kind);
    int32_t Get_MemorySizeCount();
    QString Load_MemorySizeName(int i);
    int16_t Change_MemorySize(int i);
    int32_t Get_ChannelCount();
    QString Load_ChannelName(int i);
    int16_t Change_Channel(int i);
    int32_t Get_RangeCount();
    QString Load_RangeName(int i);
    int16_t Change_Range(int i);
    // Asks the module whether the frequency is too high for the point count
    // and, when it warns, the user (Yes/No); No returns 0 and changes nothing.
    int16_t Change_Frequency(double f);
    int16_t Change_Amplitude(double v);
    int16_t Change_Offset(double v);
    void Load_CommandTables();

    // Rebuild one name list from the module (the memory-size, channel and
    // range lists belong to the current model and channel).
    void Load_ModelList();
    void Load_MemorySizeList();
    void Load_ChannelList();
    void Load_RangeList();

    // --- Algorithms.

    // Start-up after the message table exists, with the three saved settings
    // ("sys_no", "Gpib_Address", "memory_width_no"; unset reads as 0).
    // Returns the failure that must end the program, or nothing on success;
    // the record's MemorySize is then the document's point count.
    std::optional<StartupFailure> Start_Up(int sysNo, int gpibAddress, int memoryWidthNo);
    // The box text for a failing SysInitDeviceInfo result (empty: no box).
    static QString InitFailureText(int32_t code, const QString& fileName, int32_t line);
    // Shows a start-up failure box (nothing for a failure without text).
    static void ShowStartupFailure(const StartupFailure& failure);

    // Model list selection changed to `index`.
    SizeChange Change_Model(int index);
    // Memory-size list selection changed to `index`.
    SizeChange Select_MemorySize(int index);

    // Applies a typed set-up value: index 0 frequency, 1 period, 2 amplitude,
    // 3 DC offset. `previousFrequency` and `previousPeriod` are the values the
    // fields showed before; a value equal to them is not applied.
    OscilOutcome Check_Txt_Oscil(int index, double value, double previousFrequency,
                                 double previousPeriod);

    // 1 up to 32768 points, else points / 32768 rounded to nearest, ties even.
    static int32_t Display_Step(int32_t memorySize);
    // The whole number a memory-size name starts with, 0 when none.
    static int32_t MemorySizeOfName(const QString& name);

    // Model 0 is the power source, every other model an oscillator.
    bool IsPowerSource() const { return Param.ModelNo == 0; }
    // "USB(TMC)" (3) when bit 3, "NI GPIB" (0) when bit 0 or 2, "KI GPIB" (1)
    // when bit 1, in that order.
    static std::vector<InterfaceEntry> Interface_List(int32_t mask);
    std::vector<InterfaceEntry> Interface_List() const { return Interface_List(InterfaceMask); }
    // Position of the current interface kind in the list, 0 when absent.
    int Interface_ListIndex() const;

private:
    template <typename Fn> auto withRecord(Fn&& fn);
};

} // namespace velda
