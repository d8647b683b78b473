#include "row_index.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr uint64_t kStride = uint64_t{1} << RowIndex::kInitialStrideLog2;

// Distinct, irregular offsets, so that a checkpoint paired with the wrong
// offset shows.
uint64_t offsetOf(uint64_t row) {
  return row * 37 + (row % 5) * 1000003;
}

}  // namespace

TEST(RowIndex, NotesOnlyCheckpointRowsOnce) {
  RowIndex index;
  EXPECT_EQ(index.checkpointFor(1).rowNr, 0u);  // empty index
  for (uint64_t row = 1; row <= 3 * kStride; ++row) {
    index.noteRow(row, offsetOf(row));
    index.noteRow(row, 999);  // a duplicate must not replace the first note
  }

  EXPECT_EQ(index.checkpointFor(0).rowNr, 0u);
  struct Case {
    uint64_t row, checkpoint;
  };
  const Case cases[] = {{1, 1},
                        {kStride, 1},
                        {kStride + 1, kStride + 1},
                        {2 * kStride, kStride + 1},
                        {2 * kStride + 1, 2 * kStride + 1},
                        {1000 * kStride, 2 * kStride + 1}};  // beyond the last one noted
  for (const Case& c : cases) {
    RowIndex::Checkpoint found = index.checkpointFor(c.row);
    EXPECT_EQ(found.rowNr, c.checkpoint) << "row " << c.row;
    EXPECT_EQ(found.offset, offsetOf(c.checkpoint)) << "row " << c.row;
  }
}

TEST(RowIndex, RowsBeforeNextCheckpoint) {
  RowIndex index;
  EXPECT_EQ(index.rowsBeforeNextCheckpoint(0), 0u);  // row 1 is a checkpoint
  EXPECT_EQ(index.rowsBeforeNextCheckpoint(1), kStride - 1);
  EXPECT_EQ(index.rowsBeforeNextCheckpoint(kStride - 1), 1u);
  EXPECT_EQ(index.rowsBeforeNextCheckpoint(kStride), 0u);
  EXPECT_EQ(index.rowsBeforeNextCheckpoint(kStride + 1), kStride - 1);
}

TEST(RowIndex, DoublesStrideWhenFull) {
  RowIndex index;
  // Enough rows for two halvings; rows are fed as the scanner does, skipping
  // from one checkpoint row to the next.
  const uint64_t rows = (RowIndex::kMaxCheckpoints * 3 + 5) * kStride;
  uint64_t seen = 0;
  uint64_t stride = kStride;
  while (seen < rows) {
    index.noteRow(seen + 1, offsetOf(seen + 1));
    uint64_t skip = index.rowsBeforeNextCheckpoint(seen + 1);
    if (skip + 1 > stride)
      stride = skip + 1;  // the index has widened its stride
    ASSERT_EQ((seen + 1 + skip) % stride, 0u) << "after row " << seen + 1;
    seen += 1 + skip;
  }
  EXPECT_EQ(stride, 4 * kStride);
  for (uint64_t row :
       {uint64_t{1}, uint64_t{2}, stride, stride + 1, 7 * stride + 3, rows / 2, rows - 1, rows}) {
    RowIndex::Checkpoint found = index.checkpointFor(row);
    uint64_t expected = (row - 1) / stride * stride + 1;
    EXPECT_EQ(found.rowNr, expected) << "row " << row;
    EXPECT_EQ(found.offset, offsetOf(expected)) << "row " << row;
  }
}
