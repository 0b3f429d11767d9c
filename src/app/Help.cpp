#include "app/Help.h"

#include "app/Messages.h"

#include <QDir>
#include <QFileInfo>

namespace velda {
namespace {

struct HelpName {
    const char* english;
    const char* japanese;
};

// 0 Create, 1 Compress/Decompress, 2 Interpolate, 3 Operate, 4 System Setup,
// 5 the main window.
constexpr HelpName kNames[HelpFiles::Count] = {
    {"7731CRTE.hlp", "7731CRTJ.hlp"}, {"7731ELSE.hlp", "7731ELSJ.hlp"},
    {"7731SPNE.hlp", "7731SPNJ.hlp"}, {"7731CALE.hlp", "7731CALJ.hlp"},
    {"7731SYSE.hlp", "7731SYSJ.hlp"}, {"7731E.hlp", "7731J.hlp"},
};

} // namespace

HelpFiles::HelpFiles(QString folder, Opener opener)
    : folder_(std::move(folder)), opener_(std::move(opener)) {
    Set_HelpFiles();
}

QString HelpFiles::fileName(int index, bool english) {
    if (index < 0 || index >= Count)
        return {};
    return QString::fromLatin1(english ? kNames[index].english : kNames[index].japanese);
}

void HelpFiles::Set_HelpFiles() {
    for (int i = 0; i < Count; ++i)
        files_[i] = fileName(i, English());
}

QString HelpFiles::HelpFile(int index) const {
    return index >= 0 && index < Count ? files_[index] : QString();
}

bool HelpFiles::Show_Help(int index) {
    if (index < 0 || index >= 7)
        return false;
    const QString name = HelpFile(index); // index 6 names no file
    const QString path = QDir(folder_).filePath(name);
    if (name.isEmpty() || !QFileInfo(path).isFile()) {
        ShowError(99);
        return false;
    }
    if (!opener_)
        return false; // no viewer wired: nothing to show it in
    if (!opener_(QFileInfo(path).absoluteFilePath())) {
        ShowError(99);
        return false;
    }
    return true;
}

} // namespace velda
