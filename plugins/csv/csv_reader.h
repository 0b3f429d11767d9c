#pragma once
// Text columns as data words: the reading rule of the CSV import plug-in.
//
// Lines end in LF, CR LF or CR. A line's fields are separated by commas, tabs
// or blanks; a line holding a semicolon is split at semicolons only, and a
// comma inside its fields is a decimal point (the European spreadsheet form).
// The value of a line is its last field, which must be a number; lines whose
// last field is not a number (headers, titles, units) are skipped. When every
// value is a whole number within -32767..32767 the values are the data words
// as they are; otherwise all values are scaled by one factor so that the
// largest magnitude becomes 32767 (so a scope's "time,volts" export keeps its
// shape at full scale), rounded to the nearest word. "nan" is the word 0,
// "inf", "-inf" and numbers beyond a double's range are the ends of the
// scale; neither counts in the choice or the scale. Only the first 65,536
// values are taken, the most the program reads.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velda::plugin {

inline constexpr size_t kMaxValues = 65536;

// The data words of a text. Returns false when it holds no value line.
bool Csv_Words(const char* text, size_t size, std::vector<int16_t>& words);

} // namespace velda::plugin
