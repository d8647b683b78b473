// Where some rows of the large result tables start in the log.
//
// The gathering pass notes the offset of every stride-th row of each table
// that may be cut; the output pass then jumps from one kept row to the
// checkpoint before the next kept row, so it never reads the deleted rows
// that make up most of a large log.
//
// All tables share one stride and one fixed budget of checkpoints, so the
// index takes the same memory however many tables are cut: when the budget
// fills up, every other checkpoint of every table is dropped and the stride
// doubles. A table's first row needs no checkpoint (the output pass reads the
// table from its start anyway), which lets a table shorter than the stride
// cost nothing, and keeps each halving from being undone at once by many
// small tables.

#ifndef STREAMTRIM_ROW_INDEX_H
#define STREAMTRIM_ROW_INDEX_H

#include <cstddef>
#include <cstdint>
#include <vector>

class RowIndex {
 public:
  static constexpr unsigned kInitialStrideLog2 = 8;  // a checkpoint every 256 rows at first
  static constexpr size_t kMaxCheckpoints = size_t{1} << 19;  // 4 MiB of offsets

  struct Checkpoint {
    uint64_t rowNr;  // 1-based row number within the table; 0 for none
    uint64_t offset;
  };

  // Gathering. beginTable() starts the checkpoints of a table that may be
  // cut; noteRow() records that row rowNr starts at offset if it is a
  // checkpoint row (1 + stride, 1 + 2 * stride, ...) not recorded yet, rows
  // coming in ascending order; endTable() keeps them as the next table, or
  // forgets them when the table is not cut after all.
  void beginTable();
  void noteRow(uint64_t rowNr, uint64_t offset);
  void endTable(bool keep);

  // How many rows after rowsSoFar may pass unnoted: the rows up to, not
  // including, the next checkpoint row.
  uint64_t rowsBeforeNextCheckpoint(uint64_t rowsSoFar) const;

  // Tables kept so far; they are numbered from 0 in the order they ended.
  size_t tables() const { return tableStarts_.size(); }

  // The last checkpoint at or before rowNr of the given kept table; {0, 0}
  // when there is none.
  Checkpoint checkpointFor(size_t table, uint64_t rowNr) const;

  // Checkpoints held, of all tables together: never more than kMaxCheckpoints.
  size_t checkpoints() const { return offsets_.size(); }

 private:
  void halve();

  // The stride is a power of two, so that finding a row's checkpoint, which
  // the gathering pass does for every few hundred rows, needs no division.
  unsigned strideLog2_ = kInitialStrideLog2;
  // offsets_[tableStarts_[t] + i] is where row ((i + 1) << strideLog2_) + 1
  // of table t starts; the table being gathered begins at currentStart_.
  std::vector<uint64_t> offsets_;
  std::vector<size_t> tableStarts_;
  size_t currentStart_ = 0;
};

#endif  // STREAMTRIM_ROW_INDEX_H
