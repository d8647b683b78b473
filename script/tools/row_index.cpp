#include "row_index.h"

void RowIndex::noteRow(uint64_t rowNr, uint64_t offset) {
  uint64_t stride = uint64_t{1} << strideLog2_;
  if (rowNr == 0 || ((rowNr - 1) & (stride - 1)) != 0 ||
      ((rowNr - 1) >> strideLog2_) != offsets_.size())
    return;
  offsets_.push_back(offset);
  if (offsets_.size() > kMaxCheckpoints)
    halve();
}

uint64_t RowIndex::rowsBeforeNextCheckpoint(uint64_t rowsSoFar) const {
  uint64_t stride = uint64_t{1} << strideLog2_;
  uint64_t nextCheckpointRow = ((rowsSoFar + stride - 1) & ~(stride - 1)) + 1;
  return nextCheckpointRow - 1 - rowsSoFar;
}

RowIndex::Checkpoint RowIndex::checkpointFor(uint64_t rowNr) const {
  if (rowNr == 0 || offsets_.empty())
    return {0, 0};
  uint64_t i = (rowNr - 1) >> strideLog2_;
  if (i >= offsets_.size())
    i = offsets_.size() - 1;
  return {(i << strideLog2_) + 1, offsets_[i]};
}

void RowIndex::halve() {
  size_t kept = 0;
  for (size_t i = 0; i < offsets_.size(); i += 2)
    offsets_[kept++] = offsets_[i];
  offsets_.resize(kept);
  ++strideLog2_;
}
