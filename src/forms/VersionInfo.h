#pragma once
// What the version dialog shows: the version line with the date of the
// program file, and the libraries the program uses with their versions.

#include <QDate>
#include <QString>
#include <QStringList>

namespace velda {

// The month rules of the version line: May and a blank; June and July in
// full and a blank; "Sept."; any other month abbreviated with a point. Then
// the day without a leading zero, a comma and the four-digit year. Month names
// are English whatever the locale.
QString Version_Date_Text(const QDate& date);

// "Ver." + major, minor and revision (each at least one digit) joined by ".",
// then ".0  " and the date text.
QString Version_Line(int major, int minor, int revision, const QDate& date);

// The program's own version numbers.
int Program_Version_Major();
int Program_Version_Minor();
int Program_Version_Revision();

// The modification date of the running program file (today when unknown).
QDate Program_File_Date();

// "name version" per library the program is built with, then one line per
// bus library that could be loaded now ("not found" when absent).
QStringList Library_Versions();
// The bus libraries the bus layer loads, in the order it tries them.
QStringList Bus_Library_Names();

} // namespace velda
