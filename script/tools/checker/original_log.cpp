#include "checker/original_log.h"

#include <limits>

#include "checker/problem_text.h"

OriginalLog::OriginalLog(const InputFile& input) : reader_(input) {}

std::string OriginalLog::copiedLine(std::string_view text) {
  if (!inStep_)
    return {};
  Line line;
  if (!reader_.read(line)) {
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
  return reader_.nextRowIs(firstRow);
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
  if (!reader_.nextRow(row)) {
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
  uint64_t skipped = reader_.skipRows(before);
  rowsRead_ += skipped;
  Line row;
  if (skipped < before || !reader_.nextRow(row)) {
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
  uint64_t more = reader_.skipRows(std::numeric_limits<uint64_t>::max());
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
  if (!inStep_ || !reader_.read(extra))
    return {};
  return "expected the end of the original (the cut log ends at line " + number(cutLines) +
         "), found " + quotedLine(extra.text);
}
