#include "sample_replay.h"

#include <set>
#include <string>

#include "problem_text.h"

void SampleReplay::wholeResult(int32_t queryNr, uint64_t rows) {
  std::set<uint64_t> skipped;
  if (inStep_ && mayTruncateOutputOfQuery(queryNr, rows, sizes_))
    generateOutputLines(skipped, rows, sequence_, sizes_);
}

SampleReplay::Outcome SampleReplay::cutResult(int32_t queryNr, const CutShape& shape,
                                              bool shapeOk) {
  uint64_t rows = shape.rows();
  if (rows == 0) {
    inStep_ = false;
    return {};
  }
  if (!inStep_ || !mayTruncateOutputOfQuery(queryNr, rows, sizes_))
    return {};  // the tool draws nothing for a result it does not cut
  std::set<uint64_t> sample;
  generateOutputLines(sample, rows, sequence_, sizes_);
  if (!shapeOk)
    return {};
  auto drawn = sample.upper_bound(sizes_.blockRows);
  for (const CutShape::DrawnRow& kept : shape.drawnRows()) {
    if (kept.rowNr != *drawn)
      return {Verdict::kFailed,
              {kept.line, "expected row " + number(*drawn) +
                              ", the next row of streamtrim's sample, found row " +
                              number(kept.rowNr) + joinedLogsHint(rows, shape)}};
    ++drawn;
  }
  return {Verdict::kPassed, {}};
}

// A run of the tool draws anew from the start of its sequence: a result
// whose rows are a fresh run's first draw, where the sequence had gone on,
// most likely begins a second cut log joined to the first.
std::string SampleReplay::joinedLogsHint(uint64_t rows, const CutShape& shape) const {
  RandomSequence fresh;
  std::set<uint64_t> sample;
  generateOutputLines(sample, rows, fresh, sizes_);
  auto drawn = sample.upper_bound(sizes_.blockRows);
  for (const CutShape::DrawnRow& kept : shape.drawnRows()) {
    if (kept.rowNr != *drawn++)
      return {};
  }
  return ": this result's rows are the ones a fresh run of streamtrim draws first, so the log may "
         "be two cut logs joined, which --any-sample accepts";
}
