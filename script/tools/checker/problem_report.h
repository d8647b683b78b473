// What the checker finds, passed on to its listener (verifier.h) as it is
// found, with the problems counted for the summary: every problem outside
// the results, and only the first of each result, since past one wrong row
// or marker the rest of a result says little more.

#ifndef STREAMTRIM_PROBLEM_REPORT_H
#define STREAMTRIM_PROBLEM_REPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "checker/cut_shape.h"
#include "checker/verifier.h"
#include "large_results.h"

class ProblemReport {
 public:
  // Reports to listener; the cut log is named cutPath, which must outlive
  // this.
  ProblemReport(VerifyListener& listener, const std::string& cutPath)
      : listener_(listener), cutPath_(cutPath) {}

  uint64_t count() const { return count_; }

  // A problem at line `line` of file, the cut log or the original.
  void problem(const std::string& file, uint64_t line, const std::string& what);

  // A problem at a line of the cut log; an empty what is none.
  void atLine(uint64_t line, const std::string& what) {
    if (!what.empty())
      problem(cutPath_, line, what);
  }

  // A result begins: its first problem, given to inResult(), is reported.
  void beginResult() { reported_ = false; }
  void inResult(uint64_t line, const std::string& what);
  void inResult(const ShapeProblem& wrong) { inResult(wrong.line, wrong.what); }

  void cutResult(const CutResultReport& report) { listener_.cutResult(report); }

  // The notes on the results found too large to stay whole, of the cut log.
  void notes(std::vector<LargeResult> results);

 private:
  VerifyListener& listener_;
  const std::string& cutPath_;
  uint64_t count_ = 0;
  bool reported_ = false;  // the current result's first problem
};

#endif  // STREAMTRIM_PROBLEM_REPORT_H
