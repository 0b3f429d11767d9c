#pragma once
// How a command-line run ends, as the help text and the README list them.

namespace velda::cli {

enum ExitCode : int {
    ExitDone = 0,
    ExitUsage = 2,       // unknown option, missing or wrong argument
    ExitFile = 3,        // a file cannot be read or written
    ExitBus = 4,         // time-out, no device, connection lost
    ExitInstrument = 5,  // the instrument reported an error or is another model
    ExitBusy = 6,        // the bus is in use by another running copy
    ExitCancelled = 130, // Ctrl-C
};

} // namespace velda::cli
