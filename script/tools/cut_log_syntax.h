// What the cutter adds to the lines it copies, as the checker reads it.
//
// A kept row is the original row's bytes followed by " [row: N]"; a deletion
// marker is an empty line, "----------- deleted G rows -----------" and
// another empty line. N and G are plain decimal numbers, as the cutter writes
// them: digits only, no sign, no leading zero. The checker parses these
// itself rather than share the cutter's writing, so that a fault in the
// cutter is not repeated in its judge.

#ifndef STREAMTRIM_CUT_LOG_SYNTAX_H
#define STREAMTRIM_CUT_LOG_SYNTAX_H

#include <cstdint>
#include <string_view>

// A plain decimal number: digits only, no leading zero, within 64 bits.
bool parsePlainNumber(std::string_view digits, uint64_t& value);

// A kept row: text, then " [row: N]" at the line's end. On success text is
// the original row's bytes.
bool parseKeptRow(std::string_view line, std::string_view& text, uint64_t& rowNr);

// The middle line of a deletion marker: "----------- deleted G rows -----------".
bool parseMarker(std::string_view line, uint64_t& deletedRows);

#endif  // STREAMTRIM_CUT_LOG_SYNTAX_H
