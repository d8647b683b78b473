#include "checker/cut_result_check.h"

#include <string>

#include "checker/cut_log_syntax.h"
#include "checker/problem_text.h"

namespace {

// A line the cutter wrote whose line end was converted to CRLF.
std::string convertedLineEnd(const char* line) {
  return std::string("expected ") + line +
         " to end in a newline alone, as streamtrim writes it, found a carriage return before "
         "the newline (a line-end conversion to CRLF after the cut)";
}

}  // namespace

void CutResultCheck::start(uint64_t line, int32_t queryNr) {
  line_ = line;
  queryNr_ = queryNr;
  shape_ = CutShape(sizes_);
  shapeOk_ = true;
  if (!isCuttableQuery(queryNr)) {
    shapeOk_ = false;
    problems_.inResult(line, "expected a cut result of query 11, 16 or 20, found one of query " +
                                 std::to_string(queryNr));
  }
}

void CutResultCheck::keptRow(std::string_view row, uint64_t line) {
  std::string_view text;
  uint64_t rowNr = 0;
  bool converted = false;
  if (!parseKeptRow(row, text, rowNr, converted)) {
    shapeOk_ = false;
    problems_.inResult(line,
                       "expected a kept row ending in \" [row: N]\", found " + quotedLine(row));
    return;
  }
  if (converted)
    shapeProblem({line, convertedLineEnd("a kept row")});
  shapeProblem(shape_.row(rowNr, line));
  if (original_)
    problems_.inResult(line, original_->keptRow(rowNr, text));
}

void CutResultCheck::marker(uint64_t deletedRows, uint64_t line, const bool (&converted)[3]) {
  const char* const kLines[] = {"the empty line before a deletion marker", "a deletion marker",
                                "the empty line after a deletion marker"};
  for (int i = 0; i < 3; ++i) {
    if (converted[i]) {
      shapeProblem({line - 1 + i, convertedLineEnd(kLines[i])});
      break;
    }
  }
  shapeProblem(shape_.marker(deletedRows, line));
}

void CutResultCheck::finish(bool atEnd, uint64_t line) {
  shapeProblem(shape_.finish(atEnd, line));
  if (original_)
    problems_.inResult(line, original_->endResult());
  CutResultReport report;
  report.line = line_;
  report.queryNr = queryNr_;
  report.rows = shape_.rows();
  report.shape = shapeOk_ ? Verdict::kPassed : Verdict::kFailed;
  if (replay_) {
    SampleReplay::Outcome sample =
        replay_->cutResult(queryNr_, shape_, shapeOk_, original_ ? original_->resultRows() : 0);
    report.sample = sample.verdict;
    problems_.inResult(sample.problem);
  }
  if (original_)
    report.original = original_->rowsVerdict();
  problems_.cutResult(report);
}

void CutResultCheck::shapeProblem(const ShapeProblem& wrong) {
  if (!wrong)
    return;
  shapeOk_ = false;
  problems_.inResult(wrong);
}
