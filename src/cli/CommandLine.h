#pragma once
// The program's command line: `velda [FILE]` is the editor; `velda COMMAND
// ...`, `velda --help` and `velda --version` run here, with no window and no
// display.

#include <QString>
#include <QStringList>

namespace velda::cli {

// True when the arguments name a command or one of the program's own long
// options (anything "--..."), so the command line and not the editor runs.
// Qt's one-dash options (-platform ...) and file names go to the editor.
bool Is_Command_Line(const QStringList& arguments);

// With no display to open windows on (no DISPLAY or WAYLAND_DISPLAY, and no
// platform chosen with QT_QPA_PLATFORM or -platform), the text that says so,
// for arguments that would start the editor; empty when it can start.
QString No_Display_Text(const QStringList& arguments);

// The command names, in the order the help lists them.
QStringList Command_Names();

// Help texts: the program's and each command's (empty for an unknown one).
QString Program_Help();
QString Command_Help(const QString& command);
QString Version_Text();

// Parses and runs one command line (arguments[0] the program), creating the
// application object the command needs. Returns the exit code.
int Run_Command_Line(int argc, char** argv);

} // namespace velda::cli
