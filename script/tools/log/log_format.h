// log/: what a line of a query-stream log is and how the log is read line
// by line (log_format, log_evidence, line_reader, line_buffer); it builds
// on system/ only.
//
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
#include <string>
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

// A log saved in UTF-16 or UTF-32, in which no line test above can ever
// match, so that a cut would be a mere copy: such a log is refused.
enum class WideEncoding { kNone, kUtf16LE, kUtf16BE, kUtf32LE, kUtf32BE };

// "UTF-16" or "UTF-32": what the messages call a log in it.
const char* wideFamilyOf(WideEncoding encoding);
// As iconv names it, with its byte order: "UTF-16LE", "UTF-32BE", ...
const char* wideNameOf(WideEncoding encoding);

// The encoding a file's byte-order mark names: FF FE 00 00 and 00 00 FE FF
// for UTF-32 (the former begins as UTF-16's FF FE, so UTF-32 is looked for
// first), FF FE and FE FF for UTF-16; kNone for any other start. Only the
// mark decides. A UTF-8 mark is no reason to refuse: it is just the first
// bytes of the first line.
WideEncoding byteOrderMarkOf(std::string_view firstBytes);

// Throws a Failure naming log, with the conversion to make, when it starts
// with a UTF-16 or UTF-32 byte-order mark.
void refuseWideLog(const InputFile& log);

// The encoding in which a line that starts at lineOffset in a file without
// a byte-order mark holds "TPC-H Query" in UTF-16 or UTF-32 (each character
// two or four bytes, its ASCII code and zero bytes): kNone when it holds no
// such text. Lines are split at the byte 0A, which no byte of that text is,
// so the whole of it always stands in one line. The byte order is told by
// where the 'T' stands: a character's units start at offsets that are a
// multiple of its size.
WideEncoding wideHeaderEncoding(std::string_view line, uint64_t lineOffset);

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

// The format whose signature firstBytes hold (gzip, bzip2, xz, lzma, lzip,
// lzop, zstd and its skippable frame, lz4 and its legacy format, compress,
// zlib, zip, 7z, tar, cpio or ar), or null when none. The signatures are the
// formats' own, whole: "BZh" alone, "ustar" at the tar header's offset
// without the zero byte after it, "070701" without the header's digits,
// "!<arch>" without its member's header, or a zlib-like first byte pair
// followed by text, can begin a line of text, and none is taken for an
// archive. The list names the formats it knows, for their messages; any
// other binary file is told by the zero bytes of its first block
// (refuseNonTextLog in log_evidence.h).
const PackedFormat* packedFormatOf(std::string_view firstBytes);

// Throws a Failure naming log, with the command that unpacks it, when it
// starts with the signature of a compressed file or an archive.
void refusePackedFile(const InputFile& log);

// How much of a file's start is looked at to tell a text log from a binary
// file: all a pipe keeps of its start (pipe_input_file.h), and more than the
// 8000 bytes git looks at.
inline constexpr size_t kFirstBlockBytes = 64 * 1024;

// The file's first kFirstBlockBytes bytes, fewer only when it is shorter.
std::string firstBlockOf(const InputFile& file);

#endif  // STREAMTRIM_LOG_FORMAT_H
