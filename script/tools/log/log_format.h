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

#include "system/input_file.h"

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

// Which byte order a line that starts at lineOffset in a file without a
// byte-order mark holds "TPC-H Query" in, encoded as UTF-16 (each character
// two bytes, a zero byte and its ASCII code): kNone when it holds no such
// text. Lines are split at the byte 0A, which no byte of that text is, so
// the whole of it always stands in one line.
enum class Utf16Order { kNone, kLittleEndian, kBigEndian };
Utf16Order utf16HeaderOrder(std::string_view line, uint64_t lineOffset);

// Whether line is the middle line of a deletion marker exactly as the cutter
// writes it: "----------- deleted G rows -----------", G a plain decimal
// number (digits only, no leading zero). A cut log holds each such line
// between two empty lines.
bool isDeletionMarkerLine(std::string_view line);

// A compressed file or an archive, told by the signature it starts with: a
// log kept packed is no log until unpacked, and no line test above could
// match in it.
struct PackedFormat {
  const char* name;     // as the message shows it, e.g. "a gzip-compressed file"
  const char* command;  // that unpacks the file given after it, keeping it
};

// The format whose signature firstBytes start with (gzip, bzip2, xz, zstd,
// lz4, zip or 7z), or null when none.
const PackedFormat* packedFormatOf(std::string_view firstBytes);

// Throws a Failure naming log, with the command that unpacks it, when it
// starts with the signature of a compressed file or an archive.
void refusePackedFile(const InputFile& log);

#endif  // STREAMTRIM_LOG_FORMAT_H
