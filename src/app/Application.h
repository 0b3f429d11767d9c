#pragma once

namespace velda {

// Entry point: builds the application and the main window, runs the event loop.
int runProgram(int argc, char** argv);

} // namespace velda
