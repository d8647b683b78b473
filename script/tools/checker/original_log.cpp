#include "checker/original_log.h"

#include <limits>

#include "system/failure.h"
#include "log/log_format.h"
#include "checker/problem_text.h"
#include "row_scan/row_scan.h"

OriginalLog::OriginalLog(const InputFile& input)
    : input_(input), opened_(input_.stamp()), reader_(input_) {}

std::string OriginalLog::copiedLine(std::string_view text) {
  if (!inStep_)
    return {};
  Line line;
  if (!read(line)) {
    inStep_ = false;
    return "expected the end of the log (the original ends at line " + number(lineNr()) +
           "), found " + quotedLine(text);
  }
  if (line.text != text) {
    inStep_ = false;
    return "expected line " + number(lineNr()) +
           " of the original: " + quotedDifference(line.text, text) +
           " (the rest is not compared with the original)";
  }
  return {};
}

bool OriginalLog::copiesFirstRow(std::string_view firstRow) {
  if (!inStep_)
    return false;
  NumberedLineReader::Mark before = reader_.mark();
  Line row;
  bool copied = reader_.next(row) && isRowLine(row.text) && row.text == firstRow;
  reader_.reset(before);
  return copied;
}

void OriginalLog::beginResult() {
  rowsMatch_ = true;
  rowsRead_ = 0;
  rowsLost_ = false;
}

std::string OriginalLog::wholeRow(uint64_t rowNr, std::string_view text) {
  if (!inStep_ || rowsLost_)
    return {};
  Line row;
  if (!nextRow(row)) {
    rowsLost_ = true;
    rowsMatch_ = false;
    return "expected the end of the result (the original's has " + number(rowNr - 1) +
           " rows), found another row";
  }
  ++rowsRead_;
  return rowProblem(rowNr, row.text, text);
}

std::string OriginalLog::keptRow(uint64_t rowNr, std::string_view text) {
  if (!inStep_ || rowsLost_ || rowNr <= rowsRead_)
    return {};
  uint64_t before = rowNr - rowsRead_ - 1;
  uint64_t skipped = skipRows(before);
  rowsRead_ += skipped;
  Line row;
  if (skipped < before || !nextRow(row)) {
    rowsLost_ = true;
    rowsMatch_ = false;
    return "expected a row the original's result has (it ends at row " + number(rowsRead_) +
           "), found row " + number(rowNr);
  }
  rowsRead_ = rowNr;
  return rowProblem(rowNr, row.text, text);
}

std::string OriginalLog::rowProblem(uint64_t rowNr, std::string_view row, std::string_view text) {
  if (row == text)
    return {};
  rowsMatch_ = false;
  return "expected row " + number(rowNr) + " of the original (line " + number(lineNr()) +
         "): " + quotedDifference(row, text);
}

// The original's remaining rows are stepped over; a result that goes on is
// reported.
std::string OriginalLog::endResult() {
  if (!inStep_ || rowsLost_)
    return {};
  uint64_t more = skipRows(std::numeric_limits<uint64_t>::max());
  if (more == 0)
    return {};
  rowsMatch_ = false;
  std::string problem = "expected the result to go on to row " + number(rowsRead_ + more) +
                        " as the original's does (line " + number(lineNr()) +
                        "), found its end after row " + number(rowsRead_);
  rowsRead_ += more;
  return problem;
}

Verdict OriginalLog::rowsVerdict() const {
  return !inStep_ ? Verdict::kNotChecked : rowsMatch_ ? Verdict::kPassed : Verdict::kFailed;
}

std::string OriginalLog::endLog(uint64_t cutLines) {
  Line extra;
  if (!inStep_ || !read(extra))
    return {};
  return "expected the end of the original (the cut log ends at line " + number(cutLines) +
         "), found " + quotedLine(extra.text);
}

void OriginalLog::refuseUnlessOriginal() {
  Line line;
  while (read(line)) {
  }
  refuseWideLogWithoutMark(path(), evidence_);
  if (evidence_.holdsDeletionMarker())
    throw Failure(path(),
                  "already a cut log (it holds a deletion marker as streamtrim writes it), not an "
                  "original; give the log it was cut from as the second argument (were the "
                  "arguments swapped?)");
}

void OriginalLog::requireUnchanged() const {
  if (!input_.stamp().sameContentAs(opened_))
    throw Failure(path(), "the log changed while it was being checked");
}

// The next line, which the evidence is given the first time it is read:
// the comparison goes back at times to read a line again.
bool OriginalLog::read(Line& line) {
  if (!reader_.next(line))
    return false;
  if (line.offset >= notedUpTo_) {
    evidence_.noteLine(line.text, line.offset);
    notedUpTo_ = reader_.offset();
  }
  return true;
}

// Steps over rows counted in bulk, which the evidence may do without.
void OriginalLog::skip(size_t bytes, uint64_t lines) {
  reader_.skip(bytes, lines);
  if (reader_.offset() > notedUpTo_) {
    evidence_.rowsLeftOut();
    notedUpTo_ = reader_.offset();
  }
}

// The next line when it is a row line; otherwise it is left to be read next.
bool OriginalLog::nextRow(Line& line) {
  NumberedLineReader::Mark before = reader_.mark();
  if (read(line) && isRowLine(line.text)) {
    reader_.release();
    return true;
  }
  reader_.reset(before);
  return false;
}

// Steps over up to maxRows row lines; returns how many, fewer when a line
// that is not a row (or the end of the log) came first.
uint64_t OriginalLog::skipRows(uint64_t maxRows) {
  uint64_t skipped = 0;
  Line line;
  while (skipped < maxRows) {
    RowRun run = countRowLines(reader_.buffered(), maxRows - skipped);
    skip(run.bytes, run.rows);
    skipped += run.rows;
    // The bulk count stops before a line that is not a row, or one that
    // reaches past the buffer; reading it decides which.
    if (skipped == maxRows || !nextRow(line))
      break;
    ++skipped;
  }
  return skipped;
}
