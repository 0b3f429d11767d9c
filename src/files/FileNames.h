#pragma once
// Name rules of the open and save dialogs: extension test and start names.

#include <QString>

namespace velda {

// The extension after the FIRST dot of the file name (the part after the last
// "/" or "\"), lower-cased, equals `ext`. "a.b.wdb" has the extension "b.wdb".
bool Has_Extension(const QString& path, const QString& ext);

struct StartName {
    QString fileName;
    QString defaultExtension;
};

// Open dialogs and the point-list save: a remembered name with a 3-letter
// extension is offered without it (its extension becomes the default); an
// "Untitled" name becomes folder + "/Untitled".
StartName Dialog_Start_Name(const QString& remembered, const QString& ext, const QString& folder);

// Saves of expression and set-up files: the remembered name as it is, or
// folder + "/Untitled".
StartName Save_Start_Name(const QString& remembered, const QString& ext, const QString& folder);

// Waveform saves: wave.wdb is offered as wave.txt for a text save and the
// other way round.
StartName Wave_Save_Start_Name(const QString& remembered, bool asText, const QString& folder);

} // namespace velda
