#include "run/row_index.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr uint64_t kStride = uint64_t{1} << RowIndex::kInitialStrideLog2;

// Distinct, irregular offsets, so that a checkpoint paired with the wrong
// offset, or with another table's, shows. offsetOf(t, 0) is 0, what a lookup
// without a checkpoint returns.
uint64_t offsetOf(uint64_t table, uint64_t row) {
  return row == 0 ? 0 : row * 37 + (row % 5) * 1000003 + table * 7919;
}

// Feeds one table of rows rows as the scanner does: noting the next row,
// then skipping the rows before the next checkpoint. Returns the stride the
// index used at the end.
uint64_t feedTable(RowIndex& index, uint64_t table, uint64_t rows, bool keep) {
  index.beginTable();
  uint64_t seen = 0;
  while (seen < rows) {
    index.noteRow(seen + 1, offsetOf(table, seen + 1));
    seen += 1 + index.rowsBeforeNextCheckpoint(seen + 1);
  }
  index.endTable(keep);
  return index.rowsBeforeNextCheckpoint(1) + 1;
}

// The checkpoint a lookup of row must give with this stride, for a table of
// rows rows: the last stride multiple plus one at or before it, never row 1.
uint64_t expectedCheckpoint(uint64_t row, uint64_t rows, uint64_t stride) {
  uint64_t last = (std::min(row, rows) - 1) / stride * stride + 1;
  return last == 1 ? 0 : last;
}

}  // namespace

TEST(RowIndex, NotesOnlyCheckpointRowsOnce) {
  RowIndex index;
  EXPECT_EQ(index.checkpointFor(0, 1).rowNr, 0u);  // empty index
  index.beginTable();
  for (uint64_t row = 1; row <= 3 * kStride; ++row) {
    index.noteRow(row, offsetOf(0, row));
    index.noteRow(row, 999);  // a duplicate must not replace the first note
  }
  index.endTable(true);

  EXPECT_EQ(index.checkpointFor(0, 0).rowNr, 0u);
  struct Case {
    uint64_t row, checkpoint;
  };
  const Case cases[] = {{1, 0},  // the table's start needs none
                        {kStride, 0},
                        {kStride + 1, kStride + 1},
                        {2 * kStride, kStride + 1},
                        {2 * kStride + 1, 2 * kStride + 1},
                        {1000 * kStride, 2 * kStride + 1}};  // beyond the last one noted
  for (const Case& c : cases) {
    RowIndex::Checkpoint found = index.checkpointFor(0, c.row);
    EXPECT_EQ(found.rowNr, c.checkpoint) << "row " << c.row;
    EXPECT_EQ(found.offset, offsetOf(0, c.checkpoint)) << "row " << c.row;
  }
}

TEST(RowIndex, RowsBeforeNextCheckpoint) {
  RowIndex index;
  EXPECT_EQ(index.rowsBeforeNextCheckpoint(0), kStride);  // row 1 is no checkpoint
  EXPECT_EQ(index.rowsBeforeNextCheckpoint(1), kStride - 1);
  EXPECT_EQ(index.rowsBeforeNextCheckpoint(kStride - 1), 1u);
  EXPECT_EQ(index.rowsBeforeNextCheckpoint(kStride), 0u);
  EXPECT_EQ(index.rowsBeforeNextCheckpoint(kStride + 1), kStride - 1);
}

TEST(RowIndex, DoublesStrideWhenFull) {
  RowIndex index;
  // Enough rows for two halvings.
  const uint64_t rows = (RowIndex::kMaxCheckpoints * 3 + 5) * kStride;
  uint64_t stride = feedTable(index, 0, rows, true);
  EXPECT_EQ(stride, 4 * kStride);
  for (uint64_t row :
       {uint64_t{1}, uint64_t{2}, stride, stride + 1, 7 * stride + 3, rows / 2, rows - 1, rows}) {
    RowIndex::Checkpoint found = index.checkpointFor(0, row);
    uint64_t expected = expectedCheckpoint(row, rows, stride);
    EXPECT_EQ(found.rowNr, expected) << "row " << row;
    EXPECT_EQ(found.offset, offsetOf(0, expected)) << "row " << row;
  }
}

// However many tables are cut, and however large, their checkpoints together
// stay within the one budget, each table keeps its own, and a table that
// turns out not to be cut leaves none behind.
TEST(RowIndex, AllTablesShareOneBudget) {
  struct Case {
    const char* shape;
    uint64_t tables, rows;
  };
  const Case cases[] = {
      {"a few huge tables", 3, RowIndex::kMaxCheckpoints * kStride},
      {"many tables just over the cut limit", 200000, 10001},
      {"tables of many strides each", 20000, 50 * kStride},
  };
  for (const Case& c : cases) {
    RowIndex index;
    uint64_t stride = 0;
    for (uint64_t t = 0; t < c.tables; ++t) {
      stride = feedTable(index, t, c.rows, true);
      feedTable(index, 1u << 30, 9 * kStride, false);  // indexed, then not cut
      ASSERT_LE(index.checkpoints(), RowIndex::kMaxCheckpoints) << c.shape << ", table " << t;
    }
    ASSERT_EQ(index.tables(), c.tables) << c.shape;
    for (uint64_t t : {uint64_t{0}, c.tables / 2, c.tables - 1}) {
      for (uint64_t row : {c.rows / 3, c.rows - 1, c.rows}) {
        RowIndex::Checkpoint found = index.checkpointFor(t, row);
        uint64_t expected = expectedCheckpoint(row, c.rows, stride);
        EXPECT_EQ(found.rowNr, expected) << c.shape << ", table " << t << ", row " << row;
        EXPECT_EQ(found.offset, offsetOf(t, expected)) << c.shape << ", table " << t;
      }
    }
  }
}
