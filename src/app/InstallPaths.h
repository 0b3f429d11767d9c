#pragma once
// Where the program finds what it ships with. A build folder has data/ and
// PlugIn/ beside the executable; an installed program finds them relative to
// its bin folder (../share/velda, ../lib/velda/PlugIn), wherever it is
// started from. Nothing of the user's is ever written to these folders.

#include <QString>
#include <QStringList>

namespace velda {

// Folder of models.toml, USBTMC.ID and help/ for an executable in exeDir:
// data/ beside it when that holds models.toml, else the installed data
// folder when that does; else data/ beside it, so a failure names it.
QString findDataDir(const QString& exeDir);
// findDataDir for this program's executable.
QString programDataDir();

// Folders searched for import plug-ins, in order: PlugIn/ beside the
// executable, the installed plug-in folder, PlugIn/ in the user's data folder.
QStringList pluginDirs(const QString& exeDir);

} // namespace velda
