#include "row_scan/row_scan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace {

constexpr uint64_t kUnlimited = std::numeric_limits<uint64_t>::max();

// The obvious definition: complete lines containing '|', from the start.
RowRun naiveCount(std::string_view text, uint64_t maxRows) {
  RowRun run;
  while (run.rows < maxRows) {
    size_t newline = text.find('\n', run.bytes);
    if (newline == text.npos)
      break;
    std::string_view line = text.substr(run.bytes, newline - run.bytes);
    if (line.find('|') == line.npos)
      break;
    run.bytes = newline + 1;
    ++run.rows;
  }
  return run;
}

void expectSame(const RowRun& actual, const RowRun& expected, const std::string& what) {
  EXPECT_TRUE(actual.rows == expected.rows && actual.bytes == expected.bytes)
      << what << ": " << actual.rows << " rows, " << actual.bytes << " bytes instead of "
      << expected.rows << ", " << expected.bytes;
}

// Mostly row lines, so that runs get long enough to cross several 64-byte
// blocks, with an occasional line without '|' to end a run anywhere. A row
// has either many bars or a single one anywhere, so that a line's only bar
// may lie in a block without newlines.
std::string randomText(std::mt19937& random) {
  std::string text;
  for (size_t n = random() % 41; n > 0; --n) {
    size_t kind = random() % 10;
    size_t length = kind < 1   ? 0
                    : kind < 5 ? random() % 20
                    : kind < 9 ? 40 + random() % 50
                               : 100 + random() % 101;
    bool dense = random() % 2 == 0;
    std::string line(length, 'x');
    for (char& c : line)
      c = (dense ? "ab |\r\0=" : "ab \r\0=x")[random() % 7];
    if (random() % 100 < 8)
      std::erase(line, '|');
    else if (line.find('|') == line.npos)
      line.insert(random() % (line.size() + 1), 1, '|');
    text += line + '\n';
  }
  if (!text.empty() && random() % 2 == 0)
    text.pop_back();  // no final newline
  return text;
}

}  // namespace

TEST(RowScan, ExplicitCases) {
  for (uint64_t maxRows : {uint64_t{0}, uint64_t{1}, kUnlimited}) {
    expectSame(countRowLines("", maxRows), {}, "empty");
    expectSame(countRowLines("plain\na|b\n", maxRows), {}, "first line without '|'");
  }
  expectSame(countRowLines("a|b\nc|d\ne|f", kUnlimited), {2, 8}, "incomplete last line");
  expectSame(countRowLines("a|b\nc|d\nend\ng|h\n", kUnlimited), {2, 8}, "row after end");
  expectSame(countRowLines("a|b\nc|d\n", 1), {1, 4}, "maxRows");

  // A '|' in the previous line must not make a following line a row, even
  // when both share a 64-byte block.
  std::string text = std::string(60, '|') + "\nno bar\n" + std::string(100, '|') + "\n";
  expectSame(countRowLines(text, kUnlimited), {1, 61}, "bar only before the line");
}

TEST(RowScan, AgreesWithReferencesOnRandomInputs) {
  std::mt19937 random(20240611);
  const uint64_t maxRowsChoices[] = {0, 1, 2, 3, 7, 20};
  for (int round = 0; round < 200; ++round) {
    std::string text = randomText(random);
    // The text is placed at every offset from a 64-byte boundary and followed
    // by row lines, which reading beyond the view would count.
    std::string storage(text.size() + 192, '|');
    for (size_t i = 1; i < storage.size(); i += 2)
      storage[i] = '\n';
    char* aligned = storage.data() + (64 - reinterpret_cast<uintptr_t>(storage.data()) % 64);
    for (size_t start = 0; start < 64; ++start) {
      text.copy(aligned + start, text.size());
      std::string_view at(aligned + start, text.size());
      for (uint64_t maxRows : {maxRowsChoices[random() % 6], kUnlimited}) {
        std::string what = "round " + std::to_string(round) + ", offset " + std::to_string(start) +
                           ", maxRows " + std::to_string(maxRows);
        RowRun expected = naiveCount(at, maxRows);
        expectSame(countRowLines(at, maxRows), expected, what);
        for (const auto& [name, counter] : rowCountersForThisCpu())
          expectSame(counter(at, maxRows), expected, what + " (" + name + ")");
      }
    }
    if (HasFailure())
      return;
  }
}
