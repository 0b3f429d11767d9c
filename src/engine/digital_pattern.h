#pragma once
// The digital-pattern language: writes bit patterns into a run of points.
//
//   pattern  := [ "Mask" word ] element { element }
//   element  := "{" count "}" element      repeat the element count times;
//                                          {0} repeats until the area is full
//             | "[" element { element } "]"   a group
//             | [ count ] value            count points of one value; no count
//                                          is one point, 0 is the rest of the area
//   value    := "L" | "H" | "N" | word     selected bits low, high, inverted,
//                                          or taken from the word
//   word     := "$" hex | "0x" hex | "%" binary   (at most 16 bits; "_" may
//                                          separate digits)
//   count    := decimal whole number 0 .. 65536
//
// Letters may be of either case; blanks, tabs, line ends and commas separate
// elements. The mask selects the bits of each point that the pattern writes
// (default $FFFF, all bits); the other bits keep their value. The pattern runs
// from the first point of the area and stops at its end; points after a
// shorter pattern stay as they were. A word that would become -32768 (only the
// top bit set) is clipped to -32767, the bottom of the full scale.
//
// Examples: "Mask $8000 0L" clears bit 15 over the area; "Mask $0001 {0}[5H 5L]"
// puts a clock of period 10 points on bit 0; "{4}[$00FF %1111_0000_0000_0000]"
// writes eight points of two alternating words.

#include "engine/wavelb32.h"

#include <cstdint>

namespace velda::engine {

// Error numbers, as the message table names them.
enum PatternError : int32_t {
    PatternOk = 0,
    PatternTooLong = 110,       // the text is longer than kMaxPatternText characters
    PatternBrackets = 111,      // a "[" without "]" or a "]" without "["
    PatternNestTooDeep = 112,   // groups and repeats nested deeper than kMaxPatternNesting
    PatternCountTooLarge = 113, // a repeat count or a point count above kMaxPatternCount
    PatternBraces = 114,        // a "{" without "}" or a "}" without "{"
    PatternBadRepeat = 115,     // the text inside "{}" is not a whole decimal number
    PatternUnknownText = 116,   // a character or a name the language does not know
    PatternBadWord = 117,       // "$", "0x" or "%" without digits, a wrong digit, over 16 bits
    PatternMisplaced = 118,     // an element out of place or missing: "Mask" not first or
                                // without its word, a count without a value, "{n}" with
                                // nothing to repeat, an empty group, no value at all
};

constexpr int kMaxPatternText = 1024;
constexpr int kMaxPatternNesting = 16;
constexpr int32_t kMaxPatternCount = 65536;

} // namespace velda::engine

// Writes `pattern` into points [first, first + count) of buffer h (clipped to
// the buffer). Returns 0 or one of the errors 110..118 above; on an error no
// point is changed. result2 receives the number of points the pattern covered,
// or on an error the offset (from 0) of the character where it was found.
int32_t DigitalPattern(const char* pattern, int32_t first, WaveHandle h, int32_t count,
                       int32_t& result2);
