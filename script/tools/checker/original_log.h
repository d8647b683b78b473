// The original log, read alongside a cut log to hold the cut against it.
//
// The checker walks both logs once, front to back, and tells this each line
// of the cut log it reads. Outside the results each line must be the
// original's next line, byte for byte; the first that is not ends the
// comparison, since past an added or lost line every later one would differ
// too. Inside a result each row must be the original's row of its number:
// every row of a whole result, and the kept rows of a cut one, between which
// the deleted rows are stepped over in bulk (they are most of a large log).
// Each result must end where the original's does.
//
// Each call returns what is wrong, as a message, or an empty string. The
// caller names the cut log's line; a problem at the end of the logs is at
// the original's lineNr(). The original is read by original_reader.h.

#ifndef STREAMTRIM_ORIGINAL_LOG_H
#define STREAMTRIM_ORIGINAL_LOG_H

#include <cstdint>
#include <string>
#include <string_view>

#include "checker/original_reader.h"
#include "checker/verdict.h"
#include "system/input_file.h"

class OriginalLog {
 public:
  // Reads the log input, which must outlive this; throws a Failure when it
  // cannot be read.
  explicit OriginalLog(const InputFile& input);

  const std::string& path() const { return reader_.path(); }

  // Number of the original's line read last (1-based).
  uint64_t lineNr() const { return reader_.lineNr(); }

  // A line of the cut log outside the results.
  std::string copiedLine(std::string_view text);

  // Whether a result whose first row is firstRow is copied whole: its first
  // row is the original's row 1 itself, whatever its text looks like.
  bool copiesFirstRow(std::string_view firstRow);

  // A result begins; its rows follow.
  void beginResult();

  // Row rowNr of a whole result, and a kept row of a cut result.
  std::string wholeRow(uint64_t rowNr, std::string_view text);
  std::string keptRow(uint64_t rowNr, std::string_view text);

  // The cut log's result ended: the original's must end too.
  std::string endResult();

  // The row count of the original's result just ended, once endResult() has
  // read it; 0 when the logs are out of step.
  uint64_t resultRows() const { return inStep_ ? rowsRead_ : 0; }

  // How the rows of the result just ended compare: not checked once the
  // logs are out of step.
  Verdict rowsVerdict() const;

  // The cut log, of cutLines lines, ended: so must the original.
  std::string endLog(uint64_t cutLines);

  // Reads what the comparison left of the log, so that the evidence covers
  // all of it; then throws a Failure when the log is in UTF-16 or is a cut
  // log itself, no original.
  void refuseUnlessOriginal() { reader_.refuseUnlessOriginal(); }

  // Throws a Failure when the log is not the file, size and age it had
  // when it was opened.
  void requireUnchanged() const { reader_.requireUnchanged(); }

 private:
  std::string rowProblem(uint64_t rowNr, std::string_view row, std::string_view text);

  OriginalReader reader_;
  bool inStep_ = true;  // the logs have matched line for line so far

  // The current result.
  bool rowsMatch_ = true;
  uint64_t rowsRead_ = 0;  // of the original's result, all of them once it has ended
  bool rowsLost_ = false;  // the original's result ended before the cut's
};

#endif  // STREAMTRIM_ORIGINAL_LOG_H
