#include "app/Program.h"
#include "setup/SetupSession.h"

#include "app/InstallPaths.h"
#include "app/Messages.h"
#include "app/Twips.h"
#include "control/GPIBLib.h"
#include "control/GpibIO.h"
#include "engine/sysinf32.h"
#include "engine/wavelb32.h"
#include "files/FileCommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace velda {

Program::Program(ProgramOptions options) : options_(std::move(options)) {
    if (options_.dataDir.isEmpty())
        options_.dataDir = programDataDir();
    if (options_.modelFile.isEmpty()) {
        // A user's own model file beside the settings file is read instead
        // of the shipped one, so an instrument can be added without
        // touching the installation.
        const QString settings =
            options_.iniPath.isEmpty() ? clsRegistry::defaultIniPath() : options_.iniPath;
        const QString own = QFileInfo(settings).dir().filePath(QStringLiteral("models.toml"));
        options_.modelFile = QFileInfo::exists(own) ? own : dataFile(QStringLiteral("models.toml"));
    }
}

Program::~Program() {
    Release_Registry();
}

QString Program::dataFile(const QString& name) const {
    return QDir(options_.dataDir).filePath(name);
}

QStringList Program::Bus_KeptFiles() const {
    QStringList files{options_.modelFile, dataFile(QStringLiteral("USBTMC.ID"))};
    for (const QString* name : {&Document.WaveFileName, &Document.SetupFileName,
                                &Document.TextFileName, &Document.FuncFileName})
        if (*name != QLatin1String("Untitled"))
            files << *name;
    files.removeAll(QString());
    return files;
}

bool Program::Start_Up(const QString& fileToOpen) {
    WaveDocument& doc = Document;
    SerialNumber.clear();
    Create_Registry();
    Set_Language(true);
    doc.CurBuf = 0;
    Setup.InterfaceKind = static_cast<int16_t>(Registry->GpibBoard());
    SerialNumber = Registry->SerialNum();
    if (!Init_System())
        return false;
    if (!Load_DeviceIds())
        return false;
    // The stored interface may be one the stored model lacks (a model
    // taken from another copy's settings) or no kind at all.
    SetupSession(*this).Fit_InterfaceKind();

    const QString untitled = QStringLiteral("Untitled");
    doc.WaveFileName = doc.SetupFileName = doc.TextFileName = doc.FuncFileName = untitled;
    if (!fileToOpen.isEmpty())
        FileCommands(*this).Open_By_Name(fileToOpen);

    const int32_t n = doc.N();
    View.reset(n);
    doc.Area[doc.CurBuf] = {0.0, static_cast<double>(n)};
    doc.Area[1 - doc.CurBuf] = doc.Area[doc.CurBuf];
    ActiveTool = ToolNone;
    doc.Reset_Undo();
    // The controller address now comes from the bus through the interface
    // front, for the dialog's address rules and the transfer alike.
    Front = std::make_unique<control::InterfaceFront>(*this);
    control::Install_ControllerAddress(*this, *Front);
    return true;
}

void Program::Shut_Down() {
    Document.Free_WaveMemory();
    if (Registry) {
        Write_Sysinfo();
        Registry->setSerialNum(SerialNumber);
    }
    Release_Registry();
}

void Program::Write_Sysinfo() {
    if (!Registry)
        return;
    velda::Write_Sysinfo(*Registry, Setup.Param);
}

void Program::Create_Registry() {
    Registry = std::make_unique<clsRegistry>(
        options_.iniPath.isEmpty() ? clsRegistry::defaultIniPath() : options_.iniPath,
        options_.command ? clsRegistry::Role::Command : clsRegistry::Role::Editor);
    Registry->setScreenTwips(primaryScreenTwips);
}

void Program::Release_Registry() {
    Registry.reset();
}

bool Program::Check_GpibBusy() {
    if (!Registry)
        return false;
    // A transfer of ours still running (a loop test may be waiting for a bus
    // another copy holds) counts as busy too: ending now would pull the
    // program out from under it.
    if (RunningTransfers == 0 && !(Registry->GpibBusy() && Registry->GpibHost()))
        return false;
    ShowCautionStop(GetMessage(226));
    return true;
}

bool Program::Init_System() {
    Init_Message();

    const SavedSysinfo saved = Registry ? Read_Sysinfo(*Registry) : SavedSysinfo{};
    const QByteArray modelPath = QDir::toNativeSeparators(options_.modelFile).toLocal8Bit();
    SysSetModelFile(modelPath.constData());
    if (auto failure = Setup.Start_Up(saved.model, saved.address, saved.memorySize)) {
        SystemSetup::ShowStartupFailure(*failure);
        return false;
    }

    if (!Document.Alloc_WaveMemory()) {
        ShowErrorText(GetMessage(10) + GetMessage(0));
        return false;
    }

    View.reset(Document.N());
    Pages.AllClear();
    return true;
}

bool Program::Load_DeviceIds() {
    if (DeviceIds.Load_DeviceIds(dataFile(QStringLiteral("USBTMC.ID"))) != 0) {
        ShowStop(QStringLiteral("VELDA"), QStringLiteral("Lost the file of USBTMC.ID"));
        return false;
    }
    return true;
}

int Program::Read_ControllerAddress() const {
    // A bus that cannot be asked (no board, no library) leaves the stored
    // address of the bus, or 0, the usual controller address.
    if (ControllerAddress) {
        const int address = ControllerAddress();
        if (address >= 0)
            return address;
    }
    return Registry ? std::max(0, Registry->GpibAddress()) : 0;
}

void Program::Apply_SizeChange(const SizeChange& change) {
    if (!change.changed)
        return;
    Document.Resize(change.oldSize);
    View.reset(Document.N());
}

} // namespace velda
