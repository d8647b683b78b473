#include "log/line_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace {

constexpr size_t kMiB = size_t{1} << 20;
constexpr size_t kLarge = LineBuffer::kLargeBuffer;

}  // namespace

TEST(LineBuffer, DoublesWhileSmallThenGrowsByAnEighth) {
  struct Case {
    size_t capacity, needed, grown;
  };
  const Case cases[] = {
      {0, 1, 4096},
      {kMiB, kMiB, kMiB},  // room enough already
      {kMiB, kMiB + 1, 2 * kMiB},
      {kMiB, 5 * kMiB, 8 * kMiB},
      {kLarge / 2, kLarge, kLarge},
      {kLarge, kLarge + 1, kLarge + kLarge / 8},
      {8 * kLarge, 8 * kLarge + 1, 9 * kLarge},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LineBuffer::grownCapacity(c.capacity, c.needed), c.grown)
        << c.capacity << " for " << c.needed;
}

// A line read a block at a time into a growing buffer never leaves it much
// larger than the line.
TEST(LineBuffer, HoldsALongLineInLittleMoreThanItsLength) {
  const size_t block = kMiB;
  for (size_t line : {size_t{3} * kMiB, 130 * kMiB, size_t{200'000'000}, size_t{5} << 30}) {
    size_t capacity = block;
    for (size_t held = 0; held < line; held += std::min(block, capacity - held)) {
      if (capacity - held < block / 2)
        capacity = LineBuffer::grownCapacity(capacity, held + block);
      ASSERT_GE(capacity, held + block / 2);
    }
    EXPECT_LE(capacity, kLarge + line * 13 / 10) << line;
  }
}
