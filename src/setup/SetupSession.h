#pragma once
// One editing session of the program's set-up record, as the System Setup
// dialog, the transfer and the command line run it: a backup taken when the
// session starts, Cancel putting the record, the interface kind and the
// waveform back, OK keeping the edits, the bus-address rules (no instrument
// on the controller's own address), and the "Sysinfo" settings that bring
// the set-up back at the next start. No widget: the dialog shows what the
// session decides.

#include "document/WaveDocument.h"
#include "setup/SystemParameter.h"
#include "setup/SystemSetup.h"

#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace velda {

class Program;
class clsRegistry;

// The three settings kept for the next start.
struct SavedSysinfo {
    int model = 0;
    int address = 0;
    int memorySize = 0;
};
// "False" (absent) and text without a leading number read as 0.
SavedSysinfo Read_Sysinfo(clsRegistry& registry);
void Write_Sysinfo(clsRegistry& registry, const SystemParameter& p);

class SetupSession {
public:
    explicit SetupSession(Program& program);

    // Copies the record and the memory-size selection; forgets the waveform
    // snapshot of an earlier opening.
    void Take_Backup();
    const SystemParameter& Backup() const { return backup_; }

    // A memory-size or model change: the waveform is copied once per
    // session before the first change, so Cancel can give back the points a
    // shorter memory hid; then the document is resized.
    void Apply_SizeChange(const SizeChange& change);
    bool HasSnapshot() const { return snapshot_.taken; }

    // OK: the interface kind is stored for the next start, the serial number
    // kept, the snapshot dropped and the undo history reset (the waveform may
    // have changed size under it).
    void Commit(const QString& serialNumber);
    // Cancel: the record, its model's lists and limits, the interface kind
    // stored at the last OK, and the waveform of the session's start.
    void Restore();

    // The controller's own address, from the program object.
    int ControllerAddress() const;
    // False, after message 228, when `address` is the controller's.
    bool Check_ControllerAddress(int address) const;
    // A typed address or memory number (nothing: not a number). Out of the
    // limits, or the controller's address (message 228), keeps the old value.
    // Returns whether the value was taken.
    bool Set_GpibAddress(std::optional<int> value);
    bool Set_MemoryNo(std::optional<int> value);
    // Steps within the limits; the address steps over the controller's.
    void Step_GpibAddress(int steps);
    void Step_MemoryNo(int steps);

    // The interface kind chosen: the model information picks an address, and
    // on a bus never the controller's.
    void Apply_Interface(int16_t kind);
    // After a model change: when the model cannot be reached over the kind
    // in use, its first interface is taken. Returns whether it changed.
    bool Fit_InterfaceKind();

private:
    struct DocumentSnapshot {
        bool taken = false;
        std::array<std::vector<int16_t>, 4> words;
        std::array<WaveArea, 2> area{};
    };
    void Restore_Document();

    Program& prog_;
    SystemParameter backup_;
    int backupMemorySizeSelection_ = -1;
    DocumentSnapshot snapshot_;
};

} // namespace velda
