#pragma once
// `velda send`: the set-up and the waveform of a file through the transfer
// the System Setup buttons run, with the bus chosen on the command line.

#include "cli/ExitCodes.h"

#include <QCommandLineOption>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class QCommandLineParser;

namespace velda {
class Program;
}
namespace velda::control {
enum class TransferResult;
}

namespace velda::cli {

struct SendOptions {
    QString file;
    bool settings = false; // only the set-up
    bool wave = false;     // only the waveform
    QString model;
    std::optional<int16_t> interfaceKind;
    std::optional<int16_t> address;
    QString resource;
    QString serial;
    QString setupFile;
    QString logFile;
    QString repliesFile;
    int64_t loops = 0;
    std::optional<double> timeOut; // seconds, for every bus operation
    bool quiet = false;
};

QString Send_Synopsis();
QString Send_Description();
std::vector<QCommandLineOption> Send_Options();

// The interface kind of an --interface name; nothing for an unknown one.
std::optional<int16_t> Interface_Kind_Of(const QString& name);
// The options of a parsed send command line; an empty text, or the usage
// error.
QString Read_Send_Options(const QCommandLineParser& parser, const QStringList& positionals,
                          SendOptions& options);

// The exit code of a transfer's end. A failure is the instrument's (5) when
// the transfer tells it was (Transfer::Instrument_Fault), else the bus's (4).
int Exit_Code_Of(control::TransferResult result, bool instrumentFault);

int Run_Send(Program& program, const SendOptions& options);

} // namespace velda::cli
