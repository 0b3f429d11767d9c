#pragma once
// File > Import: a file read through one of the import plug-ins into the
// current waveform. The points are read into a scratch buffer and reach the
// document only when every block was read, so a plug-in that fails half way
// changes nothing. There is no undo copy: Undo does not bring the previous
// waveform back.

#include "engine/wavelb32.h"

#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

namespace velda {

class Program;
struct ImportPlugin;

// Reads at most `limit` points through the plug-in; fills `words` and returns
// 0, or 241 when the plug-in refuses the file or fails while reading.
int32_t Read_Through_Plugin(const ImportPlugin& plugin, const QString& path, int32_t limit,
                            std::vector<int16_t>& words);

// The file read through the plug-in into the current waveform (at most its
// point count); nothing changes unless every point was read. 0, or the
// message number of the failure (241 refused, 10 no memory), not shown.
int32_t Import_Through_Plugin(Program& program, const ImportPlugin& plugin, const QString& path,
                              int32_t* points = nullptr);

// The whole command with its dialog and messages, over the plug-ins of
// `folders`. 240 when there is no plug-in, 241 when the chosen one refuses
// the file. On success the points are in the current waveform, WaveFileName
// is "Untitled" and `setCaption` has run. Returns the number of points
// imported (0 when nothing changed).
int32_t File_Import(Program& program, const QStringList& folders,
                    const std::function<void()>& setCaption = {});

} // namespace velda
