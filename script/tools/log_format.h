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

#include "input_file.h"

bool isHeaderLine(std::string_view line);
bool isSeparatorLine(std::string_view line);
bool isRowLine(std::string_view line);

// The number after the first "TPC-H Query" in a header line: one separating
// character is skipped, then the rest is read as atoi reads (leading white
// space, an optional sign, digits up to the first non-digit), clamped to the
// range of int32_t instead of overflowing. 0 when there are no digits.
int32_t queryNumberOf(std::string_view headerLine);

// Whether a file's first bytes are a UTF-16 byte-order mark (FF FE or FE FF).
// In a UTF-16 log no line test above can ever match, so such a log is
// refused rather than copied uncut; only the mark decides. A UTF-8 mark is
// no reason to refuse: it is just the first bytes of the first line.
bool startsWithUtf16ByteOrderMark(std::string_view firstBytes);

// Throws a Failure naming log, with the conversion to make, when it starts
// with a UTF-16 byte-order mark.
void refuseUtf16Log(const InputFile& log);

#endif  // STREAMTRIM_LOG_FORMAT_H
