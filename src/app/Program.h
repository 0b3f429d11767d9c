#pragma once
// The program object: owns every program-wide object for one run and is the
// one way to reach them. Members are declared in creation order and so are
// destroyed in reverse.

#include "app/DeviceIds.h"
#include "app/Registry.h"
#include "bus/GP_common.h"
#include "document/WaveDocument.h"
#include "document/WaveView.h"
#include "setup/SystemSetup.h"
#include "tools/ControlPoints.h"
#include "tools/CreatePages.h"
#include "units/Units.h"

#include <QString>
#include <functional>
#include <memory>

namespace velda {
namespace control {
struct InterfaceFront;
}

struct ProgramOptions {
    // Folder of models.toml, USBTMC.ID and help/. Empty: data/ beside the
    // executable, else the installed data folder (app/InstallPaths.h).
    QString dataDir;
    // Settings file. Empty: the user's store.
    QString iniPath;
    // Model information file. Empty: <dataDir>/models.toml.
    QString modelFile;
    // A command of the command line: the store is only read (see
    // clsRegistry::Role).
    bool command = false;
};

// Tool windows, as recorded in ActiveTool.
enum ToolIndex : int16_t {
    ToolCreate = 0,
    ToolCompress = 1,
    ToolSpline = 2,
    ToolOperate = 3,
    ToolSystem = 4,
    ToolNone = 5,
};

class Program {
public:
    explicit Program(ProgramOptions options = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    const ProgramOptions& options() const { return options_; }
    QString dataFile(const QString& name) const;
    // Files of this copy that a bus trace log must never be written over:
    // the model information, the device identifiers and the document's files.
    QStringList Bus_KeptFiles() const;

    // The program's start-up, for a window and a command line alike: the
    // settings object, language, interface kind and serial number, system
    // initialisation, device identifiers, file names ("Untitled", or
    // `fileToOpen` read when given), the whole waveform in view, no tool, no
    // undo. False after a fatal failure, whose box has been shown; the
    // program must then end.
    bool Start_Up(const QString& fileToOpen = {});
    // The program's exit steps once the user agreed: the waveform memory
    // freed, the set-up and serial number saved for the next start, the
    // settings object released.
    void Shut_Down();
    // The three "Sysinfo" settings that bring the set-up back at the next start.
    void Write_Sysinfo();

    // Creates the settings object (start-up step 2); releases it at exit.
    void Create_Registry();
    void Release_Registry();
    // This copy holds the bus or runs a transfer: shows message 226 in a
    // stop-icon "Caution Message" box and returns true.
    bool Check_GpibBusy();

    // System initialisation: message table, model information and name
    // lists, the four waveform buffers, saved model, address and memory size,
    // user-unit defaults, Create pages. False after a fatal failure, whose
    // box has been shown.
    bool Init_System();
    // Reads "USBTMC.ID"; false after its fatal box.
    bool Load_DeviceIds();

    // The bus controller's own address, which no instrument may take. The
    // bus layer installs the real lookup; until then (and when it is unset)
    // it is the stored address of the bus in use, or 0 when none is stored.
    std::function<int()> ControllerAddress;
    int Read_ControllerAddress() const;

    // A memory-size or model change altered N: resize the document and show
    // the whole new waveform.
    void Apply_SizeChange(const SizeChange& change);

    std::unique_ptr<clsRegistry> Registry;
    SystemSetup Setup;
    WaveDocument Document{Setup.Param};
    UnitContext Units{Setup.Param};
    ViewState View;
    tools::CreatePages Pages;
    // The Interpolate tool's control points, drawn and picked on the view.
    ControlPoints Spline{Setup.Param};
    DeviceIdTable DeviceIds;
    // The bus layer: the common interface and its back ends.
    std::unique_ptr<bus::GP_common> Bus =
        std::make_unique<bus::GP_common>(bus::BusContext::Program_Defaults(
            [this] { return Registry.get(); }, [this] { return Bus_KeptFiles(); }));
    // The interface front over Bus, made by Start_Up.
    std::unique_ptr<control::InterfaceFront> Front;

    QString SerialNumber;
    // Sending operations of this copy under way (the event loop runs during
    // them, so a window may ask to end the program meanwhile).
    int RunningTransfers = 0;
    // The process was asked to end (SIGTERM, SIGINT, SIGHUP): a transfer
    // under way stops as on Cancel.
    bool EndRequested = false;
    int16_t ActiveTool = ToolNone;
    // The program's own clipboard of the pattern field, apart from the
    // system clipboard the waveform commands use.
    QString TextClipboard;

private:
    ProgramOptions options_;
};

} // namespace velda
