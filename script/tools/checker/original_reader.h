// Reading the original log for the checker's comparison (original_log.h):
// once, front to back, going back at times to read a line again (a pipe
// cannot be read twice), and stepping over rows counted in bulk where the
// comparison only needs their number (the deleted rows, most of a large
// log). Each line read is given to the log's evidence the first time, so
// that an original in UTF-16 or one that is a cut log itself is told once
// the log has been read to its end.

#ifndef STREAMTRIM_ORIGINAL_READER_H
#define STREAMTRIM_ORIGINAL_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "checker/numbered_line_reader.h"
#include "log/log_evidence.h"
#include "system/input_file.h"

class OriginalReader {
 public:
  // Reads the log input, which must outlive this.
  explicit OriginalReader(const InputFile& input);

  const std::string& path() const { return input_.path(); }

  // Number of the line read last (1-based).
  uint64_t lineNr() const { return reader_.lineNr(); }

  // Reads the next line; false at the end of the log.
  bool read(Line& line);

  // Whether the next line is a row line whose text is text; it is left to be
  // read next.
  bool nextRowIs(std::string_view text);

  // The next line when it is a row line; otherwise it is left to be read
  // next.
  bool nextRow(Line& line);

  // Steps over up to maxRows row lines; returns how many, fewer when a line
  // that is not a row (or the end of the log) came first.
  uint64_t skipRows(uint64_t maxRows);

  // Reads what is left of the log, so that the evidence covers all of it;
  // then throws a Failure when the log is in UTF-16 or is a cut log itself,
  // no original.
  void refuseUnlessOriginal();

  // Throws a Failure when the log is not the file, size and age it had
  // when it was opened.
  void requireUnchanged() const;

 private:
  void skip(size_t bytes, uint64_t lines);

  const InputFile& input_;
  FileStamp opened_;
  NumberedLineReader reader_;
  LogEvidence evidence_;
  uint64_t notedUpTo_ = 0;  // the evidence has every line before this offset
};

#endif  // STREAMTRIM_ORIGINAL_READER_H
