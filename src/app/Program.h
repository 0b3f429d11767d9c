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
#include <memory>

namespace velda {

struct ProgramOptions {
    // Folder of models.toml, USBTMC.ID and help/. Empty: data/ beside the
    // executable, else the installed data folder (app/InstallPaths.h).
    QString dataDir;
    // Settings file. Empty: the user's store.
    QString iniPath;
    // Model information file. Empty: <dataDir>/models.toml.
    QString modelFile;
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

    // The program object of this run (the most recently created one).
    static Program& current();
    static bool exists();

    const ProgramOptions& options() const { return options_; }
    QString dataFile(const QString& name) const;

    // Creates the settings object (start-up step 2); releases it at exit.
    void Create_Registry();
    void Release_Registry();
    // The bus is in use by a transfer of this or another copy: shows message
    // 226 in a stop-icon "Caution Message" box and returns true.
    bool Check_GpibBusy();

    // System initialisation: message table, model information and name
    // lists, the four waveform buffers, saved model, address and memory size,
    // user-unit defaults, Create pages. False after a fatal failure, whose
    // box has been shown.
    bool Init_System();
    // Reads "USBTMC.ID"; false after its fatal box.
    bool Load_DeviceIds();

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
    std::unique_ptr<bus::GP_common> Bus = std::make_unique<bus::GP_common>();

    QString SerialNumber;
    int16_t ActiveTool = ToolNone;
    // The program's own clipboard of the pattern field, apart from the
    // system clipboard the waveform commands use.
    QString TextClipboard;

private:
    ProgramOptions options_;
    Program* previous_ = nullptr;
};

} // namespace velda
