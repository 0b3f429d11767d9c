#pragma once
// What the bus layer needs from the program around it, in one replaceable
// object: where bus libraries are found, the program's folder, and how the
// program ends when the user answers Yes in the error dialog.

#include <QString>
#include <QStringList>
#include <functional>

namespace velda {
class clsRegistry;
}

namespace velda::bus {

// Library setting keys in section "Libraries" of the settings store.
inline const QString LibraryKeyNiGpib = QStringLiteral("NI_GPIB");
inline const QString LibraryKeyKiGpib = QStringLiteral("KI_GPIB");
inline const QString LibraryKeyUsb488 = QStringLiteral("USB488");
inline const QString LibrarySection = QStringLiteral("Libraries");

// Default file names, tried in order.
QStringList DefaultLibraries(const QString& key);

struct BusContext {
    // File names to try for a library key, in order.
    std::function<QStringList(const QString& key)> libraryNames;
    // Folder that relative file names of the initialisation text start from.
    QString programDir;
    // Ends the program at once (error dialog answered Yes). Tests replace it;
    // when it returns, the operation stops as after No.
    std::function<void()> endProgram;
    // Files the program reads (its settings, the model information): a
    // trace log, which starts empty, is never written over one of them.
    std::function<QStringList()> keptFiles;

    // The running program's: library names from the settings store (one
    // setting per key, names separated by ";", the defaults when absent),
    // the executable's folder, and an immediate exit.
    // Library names from the settings store the function gives (none: the
    // defaults), the program's folder, and an exit at once.
    // The settings store is one of the kept files, with those `kept` gives.
    static BusContext Program_Defaults(std::function<clsRegistry*()> registry = {},
                                       std::function<QStringList()> kept = {});
};

} // namespace velda::bus
