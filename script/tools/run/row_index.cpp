#include "run/row_index.h"

#include <algorithm>

void RowIndex::beginTable() {
  offsets_.resize(currentStart_);
}

void RowIndex::noteRow(uint64_t rowNr, uint64_t offset) {
  uint64_t stride = uint64_t{1} << strideLog2_;
  if (rowNr == 0 || ((rowNr - 1) & (stride - 1)) != 0 ||
      ((rowNr - 1) >> strideLog2_) != offsets_.size() - currentStart_ + 1)
    return;
  // While they are few, the offsets grow as a vector does; past that they
  // take the whole budget at once and, filled up to it, never move to a
  // larger copy. An index of a few checkpoints (the fuzz targets' thousands
  // of small logs a second) costs a few bytes, one of none nothing.
  constexpr size_t kFewCheckpoints = 4096;
  if (offsets_.size() == offsets_.capacity() && offsets_.capacity() >= kFewCheckpoints)
    offsets_.reserve(kMaxCheckpoints + 1);
  offsets_.push_back(offset);
  if (offsets_.size() > kMaxCheckpoints)
    halve();
}

void RowIndex::endTable(bool keep) {
  if (!keep) {
    offsets_.resize(currentStart_);
    return;
  }
  tableStarts_.push_back(currentStart_);
  currentStart_ = offsets_.size();
}

uint64_t RowIndex::rowsBeforeNextCheckpoint(uint64_t rowsSoFar) const {
  uint64_t stride = uint64_t{1} << strideLog2_;
  uint64_t nextCheckpointRow =
      ((std::max<uint64_t>(rowsSoFar, 1) + stride - 1) & ~(stride - 1)) + 1;
  return nextCheckpointRow - 1 - rowsSoFar;
}

RowIndex::Checkpoint RowIndex::checkpointFor(size_t table, uint64_t rowNr) const {
  if (table >= tables() || rowNr == 0)
    return {0, 0};
  size_t start = tableStarts_[table];
  size_t end = table + 1 < tables() ? tableStarts_[table + 1] : currentStart_;
  uint64_t k = std::min<uint64_t>((rowNr - 1) >> strideLog2_, end - start);
  if (k == 0)
    return {0, 0};
  return {(k << strideLog2_) + 1, offsets_[start + k - 1]};
}

// Keeps the checkpoints of even multiples of the stride, which are the
// second, fourth, ... of each table.
void RowIndex::halve() {
  size_t kept = 0;
  auto keepEveryOther = [&](size_t from, size_t to) {
    size_t newStart = kept;
    for (size_t i = from + 1; i < to; i += 2)
      offsets_[kept++] = offsets_[i];
    return newStart;
  };
  for (size_t t = 0; t < tableStarts_.size(); ++t) {
    size_t end = t + 1 < tableStarts_.size() ? tableStarts_[t + 1] : currentStart_;
    tableStarts_[t] = keepEveryOther(tableStarts_[t], end);
  }
  currentStart_ = keepEveryOther(currentStart_, offsets_.size());
  offsets_.resize(kept);
  ++strideLog2_;
}
