#include "checker/problem_report.h"

void ProblemReport::problem(const std::string& file, uint64_t line, const std::string& what) {
  ++count_;
  listener_.problem(file, line, what);
}

void ProblemReport::inResult(uint64_t line, const std::string& what) {
  if (what.empty() || reported_)
    return;
  reported_ = true;
  problem(cutPath_, line, what);
}

void ProblemReport::notes(std::vector<LargeResult> results) {
  for (const LargeResult& result : results)
    listener_.note(cutPath_, result.line, largeResultNote(result));
}
