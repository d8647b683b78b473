// What the cutter adds to the lines it copies, as the checker reads it.
//
// A kept row is the original row's bytes followed by " [row: N]"; a deletion
// marker is an empty line, "----------- deleted G rows -----------" and
// another empty line. N and G are plain decimal numbers, as the cutter writes
// them: digits only, no sign, no leading zero. The checker parses these
// itself rather than share the cutter's writing, so that a fault in the
// cutter is not repeated in its judge.
//
// The cutter ends each of these lines with a newline alone: a log with CRLF
// line ends has its carriage return in the row's bytes, before the row tag.
// Line ends converted to CRLF after the cut (a text-mode transfer, an
// editor, a version control system) leave a carriage return at the very end
// instead; the parsers taking `converted` accept such a line and tell so.

#ifndef STREAMTRIM_CUT_LOG_SYNTAX_H
#define STREAMTRIM_CUT_LOG_SYNTAX_H

#include <cstdint>
#include <string_view>

// A plain decimal number: digits only, no leading zero, within 64 bits.
bool parsePlainNumber(std::string_view digits, uint64_t& value);

// The middle line of a deletion marker: "----------- deleted G rows -----------".
bool parseMarker(std::string_view line, uint64_t& deletedRows);

// A kept row: text, then " [row: N]" at the line's end, and a marker's
// middle line, each also with a converted line end (converted then tells
// so). On success text is the original row's bytes.
bool parseKeptRow(std::string_view line, std::string_view& text, uint64_t& rowNr, bool& converted);
bool parseMarker(std::string_view line, uint64_t& deletedRows, bool& converted);

// The empty line before and after a marker's middle line.
bool isMarkerEmptyLine(std::string_view line, bool& converted);

#endif  // STREAMTRIM_CUT_LOG_SYNTAX_H
