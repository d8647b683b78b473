// Whether a cut may replace the file its output path holds already.
//
// A second log named where the output goes (`streamtrim stream*.log` in a
// folder of two logs) or an archive beside the log (`streamtrim
// stream0.log*` beside stream0.log.gz) would be lost to the cut. So a file
// the output path holds is looked at before the first pass, and kept when it
// is a file no run of streamtrim leaves there:
//
// - a packed file or an archive, a file in UTF-16 or UTF-32, or a binary
//   file: what the tool refuses as a log for its format, told by the first
//   block (kFirstBlockBytes);
// - an uncut query-stream log: a query header in its first block and no
//   deletion marker in the whole file, unless it is byte for byte the log
//   (a log with nothing to cut has such a copy for its output).
//
// Any other file is replaced, as cp replaces it: an empty file, a previous
// cut (a deletion marker as the cutter writes it), a file without a query
// header in its first block. A previous cut is read only up to its first
// marker, and the log is compared only with a file of its size, up to the
// first difference; an uncut log is read whole, as its marker could stand
// anywhere, once, before it is refused.

#ifndef STREAMTRIM_EXISTING_OUTPUT_H
#define STREAMTRIM_EXISTING_OUTPUT_H

#include <string>

#include "system/input_file.h"

// Why the cut of log may not replace existing, the regular file the output
// path holds (a reason for a Failure naming it, with what to do); empty when
// it may.
std::string whyNotReplaceable(const InputFile& existing, const InputFile& log);

#endif  // STREAMTRIM_EXISTING_OUTPUT_H
