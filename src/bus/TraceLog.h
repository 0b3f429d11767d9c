#pragma once
// The trace log of the bus layer: one line per operation, appended to a file
// that is opened, written and closed for every line, so the log survives a
// crash of the program or of a bus library. A log that cannot be written
// never changes the result of the bus operation: the line is dropped.

#include "bus/BusStatus.h"

#include <QString>

namespace velda::bus {

class TraceLog {
public:
    // "" = no log.
    void Set_File(const QString& path) { path_ = path; }
    const QString& File() const { return path_; }
    bool Enabled() const { return !path_.isEmpty(); }

    // Creates or empties the file (at initialisation).
    // False when the log is on but its file cannot be made or emptied.
    bool Empty() const;
    // Appends `line`, the suffix of `status` and CR LF.
    void Append(const QString& line, Status status) const;

    // Line texts. `adrs` is the device shown: the decimal address, or for
    // the USB-TMC back end the resource name.
    static QString InitLine();                                         // GP_INIT
    static QString SendLine(const QString& adrs, const QString& text); // GP_Send_Str
    static QString ReceiveLine(const QString& adrs, const QString& text);
    // The simulated bus writes blanks on both sides of the name.
    static QString DebugReceiveLine(const QString& adrs, const QString& text);
    static QString AllLine(const QString& operation); // GP_LLO, GP_REN, GP_IFC, GP_EOI
    static QString SdcLine(const QString& adrs);
    static QString TimeOutLine(const QString& name);
    static QString MTermLine(const QString& name);
    // GP_Send_Binary_Data / GP_Send_AsciiBinary_Data with the data list.
    static QString BinaryLine(const QString& adrs, const QString& operation,
                              const QString& dataList);
    // A bus library or one of its functions could not be loaded.
    static QString LibraryLine(const QString& library, const QString& error);

    // The first values of the array joined by ",": all when fewer than 16,
    // otherwise the first 15.
    static QString DataList(const BusArray& data);

private:
    QString path_;
};

} // namespace velda::bus
