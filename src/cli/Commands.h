#pragma once
// The work of each command, apart from argument parsing: every function runs
// on a started program object, shows its failures through the message boxes
// (on a terminal: "velda: <text>" lines) and returns the exit code.

#include "cli/ExitCodes.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace velda {
class Program;
}

namespace velda::cli {

// The point count, smallest, largest and mean data word of the current
// waveform.
struct WaveStats {
    int32_t points = 0;
    int minimum = 0;
    int maximum = 0;
    double mean = 0;
};
WaveStats Wave_Stats(const Program& program);
// "Points", "Minimum", "Maximum", "Mean" as label, tab, value.
QStringList Wave_Stats_Lines(const WaveStats& stats);

// Waveform files the commands read and write: .wdb and .txt.
bool Is_Wave_File(const QString& path);

// Reads IN and writes OUT (.wdb or .txt each; IN also in any format an
// installed import plug-in reads). A .wdb keeps its set-up; the others take
// the set-up of the last saved settings.
int Run_Convert(Program& program, const QString& in, const QString& out);

// The set-up section of the print-out as text lines, then (for a waveform
// file) the waveform's figures; a .ocb gives the set-up and its point count.
int Run_Info(Program& program, const QString& file, QStringList& lines);

// Picks the model whose list name is `name` (blanks and case ignored);
// false when there is none.
bool Select_Model(Program& program, const QString& name);
// Picks the memory size of `points` points of the current model; false when
// the model has none.
bool Select_Points(Program& program, int32_t points);

// Builds the waveform from the expression file's pages as "All Page OK" does
// and writes it to OUT. `model` empty and `points` 0 keep the saved choice.
int Run_Create(Program& program, const QString& pagesFile, const QString& out, const QString& model,
               int32_t points);

// Every model of the model file: its interfaces, memory sizes, channels and
// each channel's ranges.
QStringList Models_Report();

// The print-out of FILE (waveform and set-up) as a PDF file.
int Run_Print_Pdf(Program& program, const QString& file, const QString& pdf, bool digital);

} // namespace velda::cli
