#include "app/InstallPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

// Set by the build from the install layout; these are the defaults.
#ifndef VELDA_DATA_RELDIR
#define VELDA_DATA_RELDIR "../share/velda"
#endif
#ifndef VELDA_PLUGIN_RELDIR
#define VELDA_PLUGIN_RELDIR "../lib/velda/PlugIn"
#endif

namespace velda {

namespace {
QString under(const QString& exeDir, const char* relative) {
    return QDir::cleanPath(exeDir + QLatin1Char('/') + QLatin1String(relative));
}
bool hasModels(const QString& dir) {
    return QFileInfo(QDir(dir).filePath(QStringLiteral("models.toml"))).isFile();
}
} // namespace

QString findDataDir(const QString& exeDir) {
    const QString beside = under(exeDir, "data");
    if (hasModels(beside))
        return beside;
    const QString installed = under(exeDir, VELDA_DATA_RELDIR);
    if (hasModels(installed))
        return installed;
    return beside;
}

QString programDataDir() {
    return findDataDir(QCoreApplication::applicationDirPath());
}

QStringList pluginDirs(const QString& exeDir) {
    QStringList dirs{under(exeDir, "PlugIn"), under(exeDir, VELDA_PLUGIN_RELDIR)};
    const QString user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!user.isEmpty())
        dirs << QDir::cleanPath(user + QStringLiteral("/PlugIn"));
    dirs.removeDuplicates();
    return dirs;
}

} // namespace velda
