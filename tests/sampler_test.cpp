#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "random_sequence.h"
#include "sampler.h"
#include "test_support.h"

namespace {

using Rows = std::set<uint64_t>;

const std::vector<uint64_t> kSizes = {10001, 10002, 12345, 100000, 50000000};

// Runs a fresh sampler_probe process; one sample per line.
std::vector<Rows> probeSamples(const std::vector<uint64_t>& sizes) {
  std::vector<std::string> args = {"sample"};
  for (uint64_t n : sizes)
    args.push_back(std::to_string(n));
  RunResult run = runSamplerProbe(args);
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<Rows> samples;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    Rows rows;
    for (uint64_t row; words >> row;)
      rows.insert(row);
    samples.push_back(rows);
  }
  return samples;
}

void expectSampleShape(const Rows& rows, uint64_t n) {
  SCOPED_TRACE("rows of query: " + std::to_string(n));
  ASSERT_EQ(rows.size(), 3 * 1000u);
  for (uint64_t row = 1; row <= 1000; ++row) {
    EXPECT_EQ(rows.count(row), 1u) << "head row " << row;
    EXPECT_EQ(rows.count(n + 1 - row), 1u) << "tail row " << n + 1 - row;
  }
  for (uint64_t row : rows) {
    if (row <= 1000 || row > n - 1000)
      continue;
    EXPECT_GE(row, 1002u);
    EXPECT_LE(row, n - 1001);
    EXPECT_EQ(rows.count(row + 1), 0u) << "rows " << row << " and " << row + 1 << " are adjacent";
  }
}

}  // namespace

TEST(Sampler, CutsOnlyLargeResultsOfQueries11_16And20) {
  for (int32_t query : {11, 16, 20}) {
    EXPECT_FALSE(mayTruncateOutputOfQuery(query, 0)) << query;
    EXPECT_FALSE(mayTruncateOutputOfQuery(query, 10000)) << query;
    EXPECT_TRUE(mayTruncateOutputOfQuery(query, 10001)) << query;
    EXPECT_TRUE(mayTruncateOutputOfQuery(query, UINT64_MAX)) << query;
  }
  for (int32_t query :
       {0, 1, 10, 12, 15, 17, 19, 21, 22, 111, 116, 120, -11, -16, -20, INT32_MIN}) {
    EXPECT_FALSE(mayTruncateOutputOfQuery(query, 10001)) << query;
    EXPECT_FALSE(mayTruncateOutputOfQuery(query, UINT64_MAX)) << query;
  }
}

TEST(Sampler, RefusesResultsThatAreNeverCut) {
  for (uint64_t n : {0u, 1u, 10000u}) {
    Rows rows;
    RandomSequence sequence;
    EXPECT_THROW(generateOutputLines(rows, n, sequence), std::invalid_argument) << n;
  }
}

// Each fresh process draws the same sample, built from the sequence's values
// in order, one per candidate row whether it is kept or not; a second result
// in the same process continues the sequence instead of restarting it.
TEST(Sampler, SampleIsReproducibleAndContinuesAcrossResults) {
  for (uint64_t n : kSizes) {
    SCOPED_TRACE("rows of query: " + std::to_string(n));
    std::vector<Rows> first = probeSamples({n});
    std::vector<Rows> again = probeSamples({n});
    std::vector<Rows> twice = probeSamples({n, n});
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(again.size(), 1u);
    ASSERT_EQ(twice.size(), 2u);
    expectSampleShape(first[0], n);
    expectSampleShape(twice[1], n);
    EXPECT_EQ(first[0], again[0]);
    EXPECT_EQ(twice[0], first[0]);
    EXPECT_NE(twice[1], first[0]);

    RandomSequence sequence;
    Rows expected;
    for (uint64_t row = 1; row <= 1000; ++row)
      expected.insert({row, n + 1 - row});
    while (expected.size() < 3000) {
      uint64_t row = scaleRandomValue(sequence.next(), 1001, n - 1000);
      if (!expected.count(row - 1) && !expected.count(row) && !expected.count(row + 1))
        expected.insert(row);
    }
    EXPECT_EQ(first[0], expected);
  }
}

TEST(Sampler, SampleReplacesWhatTheSetHeld) {
  for (uint64_t n : {10001ull, 12345ull}) {
    // None of these can be part of a valid sample of n rows.
    Rows rows = {0, 1001, n - 1000, n + 1, uint64_t{1} << 40};
    RandomSequence sequence;
    generateOutputLines(rows, n, sequence);
    expectSampleShape(rows, n);
  }
}

namespace {

// r * 2^-31 * width + min as one fused multiply-add gives it: the exact value
// rounded once to a double (to nearest, ties to even), then truncated toward
// zero. Worked out in integers, which hold the exact value for a width below
// 2^32; std::fma is no reference, since mingw-w64's rounds twice.
uint64_t fusedScaling(uint32_t r, uint64_t min, uint64_t width) {
  uint64_t scaled = uint64_t{r} * width + (min << 31);  // the exact value times 2^31
  int bits = std::bit_width(scaled);
  if (bits > 53) {
    int dropped = bits - 53;
    uint64_t rest = scaled & ((uint64_t{1} << dropped) - 1);
    uint64_t half = uint64_t{1} << (dropped - 1);
    scaled >>= dropped;
    if (rest > half || (rest == half && (scaled & 1) != 0))
      ++scaled;
    scaled <<= dropped;
  }
  return scaled >> 31;
}

}  // namespace

// These inputs were found by searching the sampler's ranges (results of
// millions to billions of rows, where the product is no longer exact): for
// them, rounding the product before adding min gives another row than one
// fused multiply-add, so a build that contracts the scaling (or a machine that
// fuses it) fails here. They cannot be derived at test time without restating
// the computation under test, hence the literals.
TEST(Sampler, ScalingRoundsEachStepOnItsOwn) {
  struct Case {
    uint32_t r;
    uint64_t rowsOfQuery;
    uint64_t unfused;
  };
  const Case kCases[] = {{2144050755u, 16805817, 16777956},
                         {1152908973u, 500007269, 268436368},
                         {1537226127u, 3000006003ull, 2147483958ull}};
  for (const Case& c : kCases) {
    SCOPED_TRACE("r = " + std::to_string(c.r) + ", rows = " + std::to_string(c.rowsOfQuery));
    uint64_t min = 1001, max = c.rowsOfQuery - 1000;
    ASSERT_LT(max - min + 1, uint64_t{1} << 32);
    EXPECT_NE(fusedScaling(c.r, min, max - min + 1), c.unfused)
        << "this case does not tell fused from unfused scaling";
    EXPECT_EQ(scaleRandomValue(c.r, min, max), c.unfused);
  }
}

TEST(Sampler, ScalingStaysWithinBounds) {
  constexpr uint32_t kMaxRandom = 0x7fffffff;
  const uint64_t kRowCounts[] = {10001,          10002,      (1u << 22) + 1999, (1u << 22) + 2000,
                                 50000000,       1ull << 32, (1ull << 53) + 1,  1ull << 63,
                                 UINT64_MAX - 1, UINT64_MAX};
  for (uint64_t n : kRowCounts) {
    EXPECT_EQ(scaleRandomValue(0, 1001, n - 1000), 1001u) << n;
    uint64_t top = scaleRandomValue(kMaxRandom, 1001, n - 1000);
    EXPECT_LE(top, n - 1000) << n;
    EXPECT_GE(top, 1001u) << n;
  }
  for (uint64_t m : {0ull, 1ull, 1001ull, 123456ull, (1ull << 22) - 1}) {
    for (uint32_t r : {0u, 1u, 1u << 30, kMaxRandom - 1, kMaxRandom})
      EXPECT_EQ(scaleRandomValue(r, m, m), m) << "r = " << r << ", m = " << m;
  }
}

// Smaller sizes (for the fuzz targets) are valid only when every draw can
// finish: with one row of room too few, a draw can rule out every candidate
// before it has its rows, and would never end.
TEST(Sampler, CutSizesAreValidOnlyWhenEveryDrawFinishes) {
  struct Case {
    CutSizes sizes;
    bool valid;
  };
  const Case kCases[] = {{{}, true},
                         {{4, 1, 1}, true},
                         {{3, 1, 1}, false},
                         {{12, 2, 3}, true},
                         {{11, 2, 3}, false},
                         {{6, 1, 2}, false},
                         {{100, 0, 1}, false},
                         {{100, 1, 0}, false},
                         {{UINT64_MAX, 1, 1}, false},
                         {{10, 5, 1}, false},
                         {{1ull << 61, 1ull << 59, 1}, true}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.sizes.maxUncutRows) + "/" + std::to_string(c.sizes.blockRows) +
                 "/" + std::to_string(c.sizes.randomRows));
    EXPECT_EQ(c.sizes.valid(), c.valid);
    Rows rows;
    RandomSequence sequence;
    if (!c.valid) {
      EXPECT_THROW(generateOutputLines(rows, c.sizes.maxUncutRows + 1, sequence, c.sizes),
                   std::invalid_argument);
    }
  }
}

// Each size steers its own part of the cut: the limit, the blocks at both
// ends and the count of drawn rows, also in the tightest results.
TEST(Sampler, SmallerSizesShapeTheCutAlike) {
  const CutSizes kSizes[] = {{4, 1, 1}, {12, 2, 3}, {14, 3, 2}, {40, 5, 7}};
  RandomSequence sequence;
  for (const CutSizes& sizes : kSizes) {
    EXPECT_FALSE(mayTruncateOutputOfQuery(16, sizes.maxUncutRows, sizes));
    EXPECT_TRUE(mayTruncateOutputOfQuery(16, sizes.maxUncutRows + 1, sizes));
    for (uint64_t n = sizes.maxUncutRows + 1; n <= sizes.maxUncutRows + 30; ++n) {
      SCOPED_TRACE("limit " + std::to_string(sizes.maxUncutRows) + ", rows " + std::to_string(n));
      Rows rows;
      generateOutputLines(rows, n, sequence, sizes);
      ASSERT_EQ(rows.size(), sizes.keptRows());
      uint64_t b = sizes.blockRows;
      EXPECT_EQ(*std::next(rows.begin(), static_cast<long>(b - 1)), b);
      EXPECT_EQ(*std::prev(rows.end(), static_cast<long>(b)), n - b + 1);
      for (auto row = std::next(rows.begin(), static_cast<long>(b)); *row < n - b + 1; ++row) {
        EXPECT_GE(*row, b + 2);
        EXPECT_LE(*row, n - b - 1);
        EXPECT_EQ(rows.count(*row + 1), 0u) << "rows " << *row << " and " << *row + 1;
      }
    }
  }
}
