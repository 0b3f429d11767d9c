#include "setup/SetupSession.h"

#include "app/Messages.h"
#include "app/Program.h"
#include "app/Registry.h"
#include "engine/wavelb32.h"

#include <algorithm>
#include <cstdlib>

namespace velda {

namespace {
const QString kSysinfo = QStringLiteral("Sysinfo");
} // namespace

SavedSysinfo Read_Sysinfo(clsRegistry& registry) {
    auto saved = [&registry](const char* key) {
        return leadingNumber(registry.Setting(kSysinfo, QString::fromLatin1(key)));
    };
    return {saved("sys_no"), saved("Gpib_Address"), saved("memory_width_no")};
}

void Write_Sysinfo(clsRegistry& registry, const SystemParameter& p) {
    registry.setSetting(kSysinfo, QStringLiteral("Gpib_Address"), QString::number(p.GpibAddress));
    registry.setSetting(kSysinfo, QStringLiteral("sys_no"), QString::number(p.ModelNo));
    registry.setSetting(kSysinfo, QStringLiteral("memory_width_no"),
                        QString::number(p.MemorySizeNo));
}

SetupSession::SetupSession(Program& program) : prog_(program) {
    Take_Backup();
}

void SetupSession::Take_Backup() {
    backup_ = prog_.Setup.Param;
    backupMemorySizeSelection_ = prog_.Setup.MemorySizeSelection;
    snapshot_ = DocumentSnapshot{};
}

// ---------------------------------------------------------------------------
// The waveform across size changes.

void SetupSession::Apply_SizeChange(const SizeChange& change) {
    if (!change.changed)
        return;
    if (!snapshot_.taken) {
        const WaveDocument& doc = prog_.Document;
        const WaveHandle handles[4] = {doc.WaveBuf[0], doc.WaveBuf[1], doc.WorkBuf1, doc.WorkBuf2};
        for (size_t i = 0; i < 4; ++i) {
            const std::span<int16_t> w = engine::bufferWords(handles[i]);
            snapshot_.words[i].assign(w.begin(), w.end());
        }
        snapshot_.area = {doc.Area[0], doc.Area[1]};
        snapshot_.taken = true;
    }
    prog_.Apply_SizeChange(change);
}

void SetupSession::Restore_Document() {
    if (!snapshot_.taken)
        return;
    WaveDocument& doc = prog_.Document;
    const WaveHandle handles[4] = {doc.WaveBuf[0], doc.WaveBuf[1], doc.WorkBuf1, doc.WorkBuf2};
    for (size_t i = 0; i < 4; ++i) {
        const std::span<int16_t> w = engine::bufferWords(handles[i]);
        std::copy_n(snapshot_.words[i].begin(), std::min(w.size(), snapshot_.words[i].size()),
                    w.begin());
    }
    doc.Area[0] = snapshot_.area[0];
    doc.Area[1] = snapshot_.area[1];
    prog_.View.reset(doc.N());
    snapshot_ = DocumentSnapshot{};
}

// ---------------------------------------------------------------------------
// OK and Cancel.

void SetupSession::Commit(const QString& serialNumber) {
    if (clsRegistry* r = prog_.Registry.get())
        r->setGpibBoard(prog_.Setup.InterfaceKind);
    prog_.SerialNumber = serialNumber;
    snapshot_ = DocumentSnapshot{};
    prog_.Document.Reset_Undo();
}

void SetupSession::Restore() {
    SystemSetup& s = prog_.Setup;
    s.Param = backup_;
    if (clsRegistry* r = prog_.Registry.get())
        s.InterfaceKind = static_cast<int16_t>(r->GpibBoard());
    // The model change reloads the lists, the interface mask and the command
    // tables of the restored model. It fits the record into the model's
    // limits, which the copy already was; taking the copy again keeps every
    // field exactly as it was shown.
    s.Change_Model(backup_.ModelNo);
    s.Param = backup_;
    s.MemorySizeSelection = backupMemorySizeSelection_;
    s.DisplayStep = SystemSetup::Display_Step(s.Param.MemorySize);
    // The stored kind is the one the start-up fitted, not always the one it
    // found.
    Fit_InterfaceKind();
    Restore_Document();
}

// ---------------------------------------------------------------------------
// Addresses.

int SetupSession::ControllerAddress() const {
    return prog_.Read_ControllerAddress();
}

bool SetupSession::Check_ControllerAddress(int address) const {
    if (address != ControllerAddress())
        return true;
    ShowErrorText(GetMessage(228) + QStringLiteral("   Address: ") + QString::number(address));
    return false;
}

bool SetupSession::Set_GpibAddress(std::optional<int> value) {
    SystemParameter& p = prog_.Setup.Param;
    if (!value || *value < p.GpibAddressMin || *value > p.GpibAddressMax ||
        !Check_ControllerAddress(*value))
        return false;
    p.GpibAddress = static_cast<int16_t>(*value);
    return true;
}

bool SetupSession::Set_MemoryNo(std::optional<int> value) {
    SystemParameter& p = prog_.Setup.Param;
    if (!value || *value < p.MemoryNoMin || *value > p.MemoryNoMax)
        return false;
    p.MemoryNo = static_cast<int16_t>(*value);
    return true;
}

void SetupSession::Step_GpibAddress(int steps) {
    SystemParameter& p = prog_.Setup.Param;
    const int dir = steps > 0 ? 1 : -1;
    const int controller = ControllerAddress();
    int a = p.GpibAddress;
    for (int n = 0; n < std::abs(steps); ++n) {
        int next = a + dir;
        if (next == controller)
            next += dir;
        if (next < p.GpibAddressMin || next > p.GpibAddressMax)
            break;
        a = next;
    }
    p.GpibAddress = static_cast<int16_t>(a);
}

void SetupSession::Step_MemoryNo(int steps) {
    SystemParameter& p = prog_.Setup.Param;
    const int dir = steps > 0 ? 1 : -1;
    const int n = std::clamp(p.MemoryNo + steps, static_cast<int>(p.MemoryNoMin),
                             static_cast<int>(p.MemoryNoMax));
    // A record already outside its limits is only ever moved towards them.
    if ((dir > 0 && n > p.MemoryNo) || (dir < 0 && n < p.MemoryNo))
        p.MemoryNo = static_cast<int16_t>(n);
}

void SetupSession::Apply_Interface(int16_t kind) {
    SystemSetup& s = prog_.Setup;
    s.InterfaceKind = kind;
    s.Change_Interface(kind);
    // On a bus the instrument cannot share the controller's address: let the
    // model information choose another.
    if (kind != IfUsbTmc && s.Param.GpibAddress == ControllerAddress()) {
        s.Param.GpibAddress = -1;
        s.Change_Interface(kind);
    }
}

bool SetupSession::Fit_InterfaceKind() {
    // A model that cannot be reached over the interface in use would show
    // its first interface while the transfer still used the old one: take
    // the first interface the model offers. Kinds the list never offers
    // (USB488, the simulated bus) are chosen in the settings and stay; a
    // number that is no kind at all (a damaged setting) is fitted too.
    SystemSetup& s = prog_.Setup;
    const int16_t kind = s.InterfaceKind;
    if (kind == IfUsb488 || kind == IfSimulated)
        return false;
    const auto list = s.Interface_List();
    if (list.empty())
        return false;
    if (std::any_of(list.begin(), list.end(),
                    [kind](const InterfaceEntry& e) { return e.kind == kind; }))
        return false;
    Apply_Interface(list.front().kind);
    return true;
}

} // namespace velda
