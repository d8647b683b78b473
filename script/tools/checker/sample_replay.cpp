#include "checker/sample_replay.h"

#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "checker/problem_text.h"

namespace {

// The rows a sample holds between its blocks, the ones drawn at random.
std::vector<uint64_t> drawnRowsOf(const std::set<uint64_t>& sample, const CutSizes& sizes) {
  auto first = sample.upper_bound(sizes.blockRows);
  return {first, std::next(first, static_cast<long>(sizes.randomRows))};
}

// The index of the first kept row that is not the drawn row in its place;
// kept.size() when none is.
size_t firstDifference(const std::vector<uint64_t>& drawn,
                       const std::vector<CutShape::DrawnRow>& kept) {
  size_t i = 0;
  while (i < kept.size() && i < drawn.size() && kept[i].rowNr == drawn[i])
    ++i;
  return i;
}

}  // namespace

void SampleReplay::wholeResult(int32_t queryNr, uint64_t rows) {
  std::set<uint64_t> skipped;
  if (inStep_ && mayTruncateOutputOfQuery(queryNr, rows, sizes_))
    generateOutputLines(skipped, rows, sequence_, sizes_);
}

SampleReplay::Outcome SampleReplay::cutResult(int32_t queryNr, const CutShape& shape, bool shapeOk,
                                              uint64_t originalRows) {
  if (!inStep_)
    return {};
  uint64_t rows = originalRows != 0 ? originalRows : shape.rows();
  if (rows == 0) {
    inStep_ = false;
    return {};
  }
  if (!mayTruncateOutputOfQuery(queryNr, rows, sizes_))
    return {};  // the tool draws nothing for a result it does not cut
  std::set<uint64_t> sample;
  generateOutputLines(sample, rows, sequence_, sizes_);
  const std::vector<uint64_t> drawn = drawnRowsOf(sample, sizes_);
  const std::vector<CutShape::DrawnRow>& kept = shape.drawnRows();
  size_t differs = firstDifference(drawn, kept);
  bool asDrawn = differs == kept.size() && kept.size() == drawn.size();
  // Drawn rows that are not those of the N the cut shows belie that N, and
  // with it how far the tool's draw went.
  if (!asDrawn && originalRows == 0)
    inStep_ = false;
  if (!shapeOk)
    return {};
  if (asDrawn)
    return {Verdict::kPassed, {}};
  // A shape that passed holds as many drawn rows as the draw: one differs.
  return {Verdict::kFailed,
          {kept[differs].line, "expected row " + number(drawn[differs]) +
                                   ", the next row of streamtrim's sample, found row " +
                                   number(kept[differs].rowNr) + joinedLogsHint(rows, shape)}};
}

// A run of the tool draws anew from the start of its sequence: a result
// whose rows are a fresh run's first draw, where the sequence had gone on,
// most likely begins a second cut log joined to the first.
std::string SampleReplay::joinedLogsHint(uint64_t rows, const CutShape& shape) const {
  RandomSequence fresh;
  std::set<uint64_t> sample;
  generateOutputLines(sample, rows, fresh, sizes_);
  if (firstDifference(drawnRowsOf(sample, sizes_), shape.drawnRows()) < shape.drawnRows().size())
    return {};
  return ": this result's rows are the ones a fresh run of streamtrim draws first, so the log may "
         "be two cut logs joined, which --any-sample accepts";
}
