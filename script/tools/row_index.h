// Where some rows of a large result table start in the log.
//
// The gathering pass notes the offset of every stride-th row of each table
// that may be cut; the output pass then jumps from one kept row to the
// checkpoint before the next kept row, so it never reads the deleted rows
// that make up most of a large log. The index has a fixed maximum size: when
// it fills up, every other checkpoint is dropped and the stride doubles.

#ifndef STREAMTRIM_ROW_INDEX_H
#define STREAMTRIM_ROW_INDEX_H

#include <cstddef>
#include <cstdint>
#include <vector>

class RowIndex {
 public:
  static constexpr unsigned kInitialStrideLog2 = 8;  // a checkpoint every 256 rows at first
  static constexpr size_t kMaxCheckpoints = size_t{1} << 16;

  struct Checkpoint {
    uint64_t rowNr;  // 1-based row number within the table
    uint64_t offset;
  };

  // Records that row rowNr starts at offset if it is a checkpoint row (rows
  // 1, 1 + stride, 1 + 2 * stride, ...) not recorded yet. Rows come in
  // ascending order.
  void noteRow(uint64_t rowNr, uint64_t offset);

  // How many rows after rowsSoFar may pass unnoted: the rows up to, not
  // including, the next checkpoint row.
  uint64_t rowsBeforeNextCheckpoint(uint64_t rowsSoFar) const;

  // The last checkpoint at or before rowNr; {0, 0} when there is none.
  Checkpoint checkpointFor(uint64_t rowNr) const;

 private:
  void halve();

  // The stride is a power of two, so that finding a row's checkpoint, which
  // the gathering pass does for every few hundred rows, needs no division.
  unsigned strideLog2_ = kInitialStrideLog2;
  std::vector<uint64_t> offsets_;  // offsets_[i] is where row (i << strideLog2_) + 1 starts
};

#endif  // STREAMTRIM_ROW_INDEX_H
