#include "bus/BusContext.h"

#include "app/Registry.h"

#include <QSettings>

#include <QCoreApplication>
#include <cstdlib>

namespace velda::bus {

QStringList DefaultLibraries(const QString& key) {
    if (key == LibraryKeyNiGpib)
        return {QStringLiteral("libgpib.so.0"), QStringLiteral("libni4882.so"),
                QStringLiteral("libgpibapi.so")};
    if (key == LibraryKeyKiGpib)
        return {QStringLiteral("libieee_32m.so")};
    if (key == LibraryKeyUsb488)
        return {QStringLiteral("libusb488ps.so")};
    return {};
}

BusContext BusContext::Program_Defaults() {
    BusContext c;
    c.libraryNames = [](const QString& key) {
        // The user's settings store, read directly: the bus layer is made
        // before (and without) the program object.
        QSettings store(clsRegistry::defaultIniPath(), QSettings::IniFormat);
        const QString v = store.value(LibrarySection + QLatin1Char('/') + key).toString().trimmed();
        if (!v.isEmpty() && v != QStringLiteral("False")) {
            QStringList names;
            for (const QString& n : v.split(QLatin1Char(';'), Qt::SkipEmptyParts))
                names << n.trimmed();
            if (!names.isEmpty())
                return names;
        }
        return DefaultLibraries(key);
    };
    c.programDir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QStringLiteral(".");
    // "At once": no clean-up, as after a fatal start-up failure.
    c.endProgram = [] { std::_Exit(EXIT_SUCCESS); };
    return c;
}

} // namespace velda::bus
