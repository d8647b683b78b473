#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "random_sequence.h"
#include "test_support.h"

namespace {

std::vector<uint32_t> parseNumbers(const std::string& text) {
  std::vector<uint32_t> values;
  const char* cursor = text.c_str();
  for (char* end = nullptr;; cursor = end) {
    unsigned long value = std::strtoul(cursor, &end, 10);
    if (end == cursor)
      break;
    values.push_back(static_cast<uint32_t>(value));
  }
  return values;
}

}  // namespace

// glibc's unseeded rand() is the reference the sample must keep matching, so
// compare a long stretch against the real thing in a process of its own.
// STREAMTRIM_C_LIBRARY_IS_GLIBC is 1 where the build found glibc.
TEST(RandomSequence, MatchesTheCLibrarysUnseededRand) {
  if (!STREAMTRIM_C_LIBRARY_IS_GLIBC)
    GTEST_SKIP() << "the C library is not glibc, whose rand() is the reference sequence";
  constexpr size_t kCount = 1000000;
  RunResult run = runSamplerProbe({"rand", std::to_string(kCount)});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<uint32_t> expected = parseNumbers(run.out);
  ASSERT_EQ(expected.size(), kCount);
  RandomSequence sequence;
  for (size_t i = 0; i < kCount; ++i) {
    uint32_t value = sequence.next();
    ASSERT_EQ(value, expected[i]) << "first difference at value " << i;
  }
}

// The first values of glibc's unseeded rand(), as widely published, so that
// platforms with another C library still check the start of the sequence.
// Every instance starts afresh, whatever other instances have drawn.
TEST(RandomSequence, StartsWithGlibcsFirstValuesInEveryInstance) {
  const uint32_t kFirst[] = {1804289383, 846930886, 1681692777, 1714636915, 1957747793};
  RandomSequence advanced;
  for (int i = 0; i < 1000; ++i)
    advanced.next();
  RandomSequence fresh;
  for (uint32_t value : kFirst)
    EXPECT_EQ(fresh.next(), value);
}
