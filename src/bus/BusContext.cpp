#include "bus/BusContext.h"

#include "app/Registry.h"

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

BusContext BusContext::Program_Defaults(std::function<clsRegistry*()> registry,
                                        std::function<QStringList()> kept) {
    BusContext c;
    c.libraryNames = [registry](const QString& key) {
        if (clsRegistry* store = registry ? registry() : nullptr) {
            // The store answers "False" for a key it does not hold.
            const QString v = store->Setting(LibrarySection, key).trimmed();
            if (!v.isEmpty() && v != QStringLiteral("False")) {
                QStringList names;
                for (const QString& n : v.split(QLatin1Char(';'), Qt::SkipEmptyParts))
                    names << n.trimmed();
                if (!names.isEmpty())
                    return names;
            }
        }
        return DefaultLibraries(key);
    };
    c.programDir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QStringLiteral(".");
    // "At once": no clean-up, as after a fatal start-up failure.
    c.endProgram = [] { std::_Exit(EXIT_SUCCESS); };
    c.keptFiles = [registry, kept] {
        QStringList files = kept ? kept() : QStringList();
        if (clsRegistry* store = registry ? registry() : nullptr)
            files << store->iniPath();
        return files;
    };
    return c;
}

} // namespace velda::bus
