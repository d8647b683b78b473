#include "sampler.h"

#include <stdexcept>
#include <string>

namespace {

bool hasNeighbourOrSelf(const std::set<uint64_t>& rows, uint64_t row) {
  return rows.count(row - 1) != 0 || rows.count(row) != 0 || rows.count(row + 1) != 0;
}

}  // namespace

bool CutSizes::valid() const {
  // The candidates of a result of maxUncutRows + 1 rows lie strictly between
  // the blocks and apart from them: maxUncutRows - 1 - 2 * blockRows of them.
  // A set of drawn rows that no further row fits beside holds at least a
  // third of them, rounded up.
  // The first three conditions only keep the sum below from overflowing.
  return maxUncutRows < (uint64_t{1} << 62) && blockRows <= maxUncutRows / 2 &&
         randomRows <= maxUncutRows / 3 && blockRows >= 1 && randomRows >= 1 &&
         maxUncutRows + 1 >= 2 * blockRows + 3 * randomRows;
}

bool mayTruncateOutputOfQuery(int32_t queryNr, uint64_t rowsOfQuery, const CutSizes& sizes) {
  return isCuttableQuery(queryNr) && rowsOfQuery > sizes.maxUncutRows;
}

uint64_t generateRandomNumber(uint64_t min, uint64_t max, RandomSequence& sequence) {
  return scaleRandomValue(sequence.next(), min, max);
}

uint64_t scaleRandomValue(uint32_t r, uint64_t min, uint64_t max) {
  uint64_t width = max - min + 1;
  // volatile makes each product a rounded double in memory, so that no
  // compiler setting can contract the steps into one fused multiply-add,
  // which would round once and pick other rows on some machines.
  volatile double fraction = static_cast<double>(r) * 0x1p-31;
  volatile double scaled = fraction * static_cast<double>(width);
  double dval = scaled + static_cast<double>(min);
  if (dval >= 0x1p64)
    return UINT64_MAX;  // only for bounds near 2^64, where rounding reaches it
  return static_cast<uint64_t>(dval);
}

void generateOutputLines(std::set<uint64_t>& outputLines, uint64_t rowsOfQuery,
                         RandomSequence& sequence, const CutSizes& sizes) {
  if (!sizes.valid())
    throw std::invalid_argument("generateOutputLines: no sample fits these cut sizes");
  if (rowsOfQuery <= sizes.maxUncutRows) {
    throw std::invalid_argument("generateOutputLines: a result of " + std::to_string(rowsOfQuery) +
                                " rows is never cut");
  }
  outputLines.clear();
  for (uint64_t curLineNr = 0; curLineNr < sizes.blockRows; ++curLineNr) {
    outputLines.insert(curLineNr + 1);
    outputLines.insert(rowsOfQuery - curLineNr);
  }
  uint64_t generated = 0;
  while (generated < sizes.randomRows) {
    uint64_t curLineNr =
        generateRandomNumber(sizes.blockRows + 1, rowsOfQuery - sizes.blockRows, sequence);
    if (!hasNeighbourOrSelf(outputLines, curLineNr)) {
      outputLines.insert(curLineNr);
      ++generated;
    }
  }
}
