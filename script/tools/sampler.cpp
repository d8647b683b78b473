#include "sampler.h"

#include <stdexcept>
#include <string>

namespace {

RandomSequence& processSequence() {
  static RandomSequence sequence;
  return sequence;
}

bool hasNeighbourOrSelf(const std::set<uint64_t>& rows, uint64_t row) {
  return rows.count(row - 1) != 0 || rows.count(row) != 0 || rows.count(row + 1) != 0;
}

}  // namespace

bool mayTruncateOutputOfQuery(int32_t queryNr, uint64_t rowsOfQuery) {
  bool cuttable = queryNr == 11 || queryNr == 16 || queryNr == 20;
  return cuttable && rowsOfQuery > kMaxUncutRows;
}

uint64_t generateRandomNumber(uint64_t min, uint64_t max) {
  return generateRandomNumber(min, max, processSequence());
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

void generateOutputLines(std::set<uint64_t>& outputLines, uint64_t rowsOfQuery) {
  generateOutputLines(outputLines, rowsOfQuery, processSequence());
}

void generateOutputLines(std::set<uint64_t>& outputLines, uint64_t rowsOfQuery,
                         RandomSequence& sequence) {
  if (rowsOfQuery <= kMaxUncutRows) {
    throw std::invalid_argument("generateOutputLines: a result of " + std::to_string(rowsOfQuery) +
                                " rows is never cut");
  }
  outputLines.clear();
  for (uint64_t curLineNr = 0; curLineNr < kBlockRows; ++curLineNr) {
    outputLines.insert(curLineNr + 1);
    outputLines.insert(rowsOfQuery - curLineNr);
  }
  uint64_t generated = 0;
  while (generated < kRandomRows) {
    uint64_t curLineNr = generateRandomNumber(kBlockRows + 1, rowsOfQuery - kBlockRows, sequence);
    if (!hasNeighbourOrSelf(outputLines, curLineNr)) {
      outputLines.insert(curLineNr);
      ++generated;
    }
  }
}
