#pragma once
// The 326-byte packed form of the set-up record that .wdb and .ocb files
// carry. Little-endian; 2-byte fields are signed 16-bit, 4-byte fields signed
// 32-bit, 8-byte numbers IEEE doubles, text fields 8-bit space-padded.

#include "engine/file32.h"
#include "setup/SystemParameter.h"

#include <QStringList>

namespace velda {

// Builds the record. The first word carries the interface kind in its high
// byte: (kind + 1) * 256 + ModelNo.
PackedRecord Pack_System_Record(const SystemParameter& sp, int16_t interfaceKind);

// Takes every field of the record into `sp`. A first word of 256 or more also
// sets `interfaceKind` (when it names one of the five kinds); a smaller one
// leaves it as it was.
void Unpack_System_Record(const PackedRecord& record, SystemParameter& sp, int16_t& interfaceKind);

// After an unpack: finds the stored model name in the model list (entries cut
// at their first NUL; a match is the entry's name followed only by spaces) and
// sets ModelNo to it. Without a match model 0 is taken and its name stored.
// Returns true when the name matched.
bool Match_Model(SystemParameter& sp, const QStringList& modelNames);

} // namespace velda
