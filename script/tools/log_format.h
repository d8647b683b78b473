// The lines of a query-stream log that carry meaning.
//
// A query's output starts with a header line containing "TPC-H Query" and
// the query's number; a line containing "===" separates the result's heading
// from its rows; each row is a line containing "|", and the first line
// without one ends the result. All tests are case-sensitive searches for a
// fixed string anywhere in the line; every other line is just copied.

#ifndef STREAMTRIM_LOG_FORMAT_H
#define STREAMTRIM_LOG_FORMAT_H

#include <cstdint>
#include <string_view>

bool isHeaderLine(std::string_view line);
bool isSeparatorLine(std::string_view line);
bool isRowLine(std::string_view line);

// The number after the first "TPC-H Query" in a header line: one separating
// character is skipped, then the rest is read as atoi reads (leading white
// space, an optional sign, digits up to the first non-digit), clamped to the
// range of int32_t instead of overflowing. 0 when there are no digits.
int32_t queryNumberOf(std::string_view headerLine);

#endif  // STREAMTRIM_LOG_FORMAT_H
