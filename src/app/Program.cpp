#include "app/Program.h"

#include "app/InstallPaths.h"
#include "app/Messages.h"
#include "app/Twips.h"
#include "engine/sysinf32.h"
#include "engine/wavelb32.h"

#include <QCoreApplication>
#include <QDir>
#include <cassert>

namespace velda {

namespace {
Program* g_current = nullptr;
} // namespace

Program::Program(ProgramOptions options) : options_(std::move(options)) {
    if (options_.dataDir.isEmpty())
        options_.dataDir = programDataDir();
    if (options_.modelFile.isEmpty())
        options_.modelFile = dataFile(QStringLiteral("models.toml"));
    previous_ = g_current;
    g_current = this;
}

Program::~Program() {
    Release_Registry();
    if (g_current == this)
        g_current = previous_;
}

Program& Program::current() {
    assert(g_current);
    return *g_current;
}

bool Program::exists() {
    return g_current != nullptr;
}

QString Program::dataFile(const QString& name) const {
    return QDir(options_.dataDir).filePath(name);
}

void Program::Create_Registry() {
    Registry = options_.iniPath.isEmpty() ? std::make_unique<clsRegistry>()
                                          : std::make_unique<clsRegistry>(options_.iniPath);
    Registry->setScreenTwips(primaryScreenTwips);
}

void Program::Release_Registry() {
    Registry.reset();
}

bool Program::Check_GpibBusy() {
    if (!Registry || !(Registry->GpibBusy() && Registry->GpibHost()))
        return false;
    ShowCautionStop(GetMessage(226));
    return true;
}

bool Program::Init_System() {
    Init_Message();

    // Saved model, address and memory size; "False" (absent) reads as 0.
    auto saved = [this](const char* key) {
        return Registry ? leadingNumber(Registry->Setting(QStringLiteral("Sysinfo"),
                                                          QString::fromLatin1(key)))
                        : 0;
    };
    const QByteArray modelPath = QDir::toNativeSeparators(options_.modelFile).toLocal8Bit();
    SysSetModelFile(modelPath.constData());
    if (auto failure =
            Setup.Start_Up(saved("sys_no"), saved("Gpib_Address"), saved("memory_width_no"))) {
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

void Program::Apply_SizeChange(const SizeChange& change) {
    if (!change.changed)
        return;
    Document.Resize(change.oldSize);
    View.reset(Document.N());
}

} // namespace velda
