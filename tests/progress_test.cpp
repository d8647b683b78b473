// The progress display: the wording of its lines, when it draws them, and on
// how it keeps to one row of the window.

#include "run/progress.h"

#include <gtest/gtest.h>

#include "log/line_reader.h"
#include "system/memory_file.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

TEST(ProgressText, StatusLine) {
  struct Case {
    int pass;
    uint64_t done, total;
    double elapsed;
    std::string line;
  };
  const Case cases[] = {
      {1, 0, 1000000, 1.5, "streamtrim: pass 1/2    0%  -- B/s  --:-- left"},
      {1, 500000, 1000000, 0, "streamtrim: pass 1/2   50%  -- B/s  --:-- left"},
      {1, 250000000, 1000000000, 2.0, "streamtrim: pass 1/2   25%  125 MB/s  0:06 left"},
      // The time left is rounded up, so it shows 0:00 only at the end.
      {2, 999999999, 1000000000, 10.0, "streamtrim: pass 2/2   99%  100 MB/s  0:01 left"},
      {2, 1000000000, 1000000000, 10.0, "streamtrim: pass 2/2  100%  100 MB/s  0:00 left"},
      // A log that grew under the reader does not pass 100%.
      {2, 3000, 2000, 1.0, "streamtrim: pass 2/2  100%  2.00 kB/s  0:00 left"},
      {1, 10000000, 40000000000, 1.0, "streamtrim: pass 1/2    0%  10.0 MB/s  1:06:39 left"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(statusLine(c.pass, c.done, c.total, c.elapsed), c.line) << c.done << " " << c.total;
}

// Three significant digits, the unit and the digits chosen by the figure
// as rounded: each boundary, and the figures just below it.
TEST(ProgressText, FiguresRoundAtTheBoundariesOfTheirUnitsAndDigits) {
  struct Case {
    double bytes;
    const char* shown;
  };
  const Case sizes[] = {
      {0, "0 B"},           {999.4, "999 B"},      {999.5, "1.00 kB"},  {1000, "1.00 kB"},
      {9994, "9.99 kB"},    {9995, "10.0 kB"},     {9999, "10.0 kB"},   {99949, "99.9 kB"},
      {99950, "100 kB"},    {999499, "999 kB"},    {999500, "1.00 MB"}, {999700, "1.00 MB"},
      {9.995e9, "10.0 GB"}, {9.995e14, "1.00 PB"}, {1e18, "1000 PB"},
  };
  for (const Case& c : sizes)
    EXPECT_EQ(formatBytes(c.bytes), c.shown) << c.bytes;
  struct Time {
    double seconds;
    const char* shown;
  };
  const Time times[] = {{59.994, "59.99 s"},
                        {59.995, "1:00"},
                        {3599.4, "59:59"},
                        {3599.5, "1:00:00"},
                        {-0.001, "0.00 s"}};
  for (const Time& t : times)
    EXPECT_EQ(formatSeconds(t.seconds), t.shown) << t.seconds;
}

TEST(ProgressText, SummaryLine) {
  struct Case {
    uint64_t seen;
    std::vector<uint64_t> cut;
    uint64_t in, out;
    double seconds;
    std::string line;
    uint64_t decoded = 0;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {0, {}, 0, 0, 0.004, "0 results seen, none cut; 0 B in, 0 B out; 0.00 s"},
      {1, {}, 120, 120, 0.5, "1 result seen, none cut; 120 B in, 120 B out; 0.50 s"},
      {22, {18314}, 2080000, 1210000, 1.234,
       "22 results seen, 1 cut (18314 rows); 2.08 MB in, 1.21 MB out; 1.23 s"},
      {66, {3000000, 5830000}, 1, 2, 61,
       "66 results seen, 2 cut (3000000 and 5830000 rows); 1 B in, 2 B out; 1:01"},
      {9, {1, 2, 3, 4, 5}, 0, 0, 0,
       "9 results seen, 5 cut (1, 2, 3, 4 and 5 rows); 0 B in, 0 B out; 0.00 s"},
      {9, {10001, 10002, 10003, 10004, 10005, 10006}, 0, 0, 0,
       "9 results seen, 6 cut (60021 rows in all); 0 B in, 0 B out; 0.00 s"},
      {22, {18314}, 512000, 1210000, 1.234,
       "22 results seen, 1 cut (18314 rows); 512 kB in (2.08 MB decoded), 1.21 MB out; 1.23 s",
       2080000},
  };
  // clang-format on
  for (const Case& c : cases)
    EXPECT_EQ(summaryLine({c.seen, c.cut, c.in, c.out, c.seconds, c.decoded}),
              "streamtrim: " + c.line);
}

namespace {

// A terminal that keeps what is done on it, written as "draw(line)",
// "erase" and "print(line)", in a window of a width the test sets.
class CapturedTerminal : public Terminal {
 public:
  void drawStatus(std::string_view line) override { drawn_.append("draw(").append(line) += ')'; }
  void eraseStatus() override { drawn_ += "erase"; }
  void printLine(std::string_view line) override { drawn_.append("print(").append(line) += ')'; }
  int width() override { return width_; }

  // What was drawn since the last call.
  std::string drawn() { return std::exchange(drawn_, {}); }

  int width_ = 0;

 private:
  std::string drawn_;
};

// A display drawing on a captured terminal, on a clock the test sets.
struct Display {
  Display() {
    ProgressTiming timing;
    timing.clock = [this] { return now; };
    progress.emplace(&terminal, timing);
  }
  std::string drawn() { return terminal.drawn(); }

  CapturedTerminal terminal;
  double now = 1000;
  std::optional<Progress> progress;
};

std::string drawing(int pass, uint64_t done, uint64_t total, double elapsed) {
  return "draw(" + statusLine(pass, done, total, elapsed) + ")";
}

}  // namespace

TEST(ProgressDisplay, DrawsAfterTheDelayAtMostTenTimesASecondAndErasesForTheSummary) {
  constexpr uint64_t kBlock = Progress::kCheckEvery;
  constexpr uint64_t kLog = 40 * kBlock;
  Display display;
  Progress& progress = *display.progress;
  ASSERT_EQ(progress.readObserver(), &progress);
  progress.erase();  // a line never drawn
  EXPECT_EQ(display.drawn(), "");

  struct Step {
    double now;
    int beginsPass;  // 0 when the step only reads
    uint64_t end;    // offset reached by the block read
    uint64_t bytes;
    std::string drawn;
  };
  const Step steps[] = {
      {1000.0, 1, kBlock, kBlock, ""},       // the run is too young
      {1000.9, 0, 2 * kBlock, kBlock, ""},   // still
      {1001.0, 0, 2 * kBlock + 10, 10, ""},  // a second old, but the clock is not read yet
      {1001.0, 0, 3 * kBlock, kBlock - 10, drawing(1, 3 * kBlock, kLog, 1.0)},
      {1001.05, 0, 4 * kBlock, kBlock, ""},  // too soon after the last drawing
      {1001.25, 0, 5 * kBlock, kBlock, drawing(1, 5 * kBlock, kLog, 1.25)},
      {1002.0, 2, kBlock, kBlock, drawing(2, kBlock, kLog, 0)},  // the new pass shows at once
      {1002.05, 0, 2 * kBlock, kBlock, ""},
      {1002.5, 0, 30 * kBlock, kBlock, drawing(2, 30 * kBlock, kLog, 0.5)},  // after a jump
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.now);
    display.now = step.now;
    if (step.beginsPass != 0)
      progress.beginPass(step.beginsPass, kLog);
    progress.blockRead(step.end, step.bytes);
    EXPECT_EQ(display.drawn(), step.drawn);
  }

  display.now = 1010.5;
  EXPECT_DOUBLE_EQ(progress.elapsed(), 10.5);
  RunSummary summary{3, {20000}, kLog, 1234, progress.elapsed()};
  progress.finish(summary);
  EXPECT_EQ(display.drawn(), "erase" + ("print(" + summaryLine(summary) + ")"));
  progress.erase();  // a line erased already
  EXPECT_EQ(display.drawn(), "");
}

TEST(ProgressDisplay, StatusLineStaysWithinOneRowOfTheWindow) {
  const std::string full = statusLine(1, 2 * Progress::kCheckEvery, 4 * Progress::kCheckEvery, 1.0);
  struct Case {
    int width;
    std::string shown;
  };
  const Case cases[] = {
      {0, full},  // unknown: drawn whole
      {static_cast<int>(full.size()) + 1, full},
      {static_cast<int>(full.size()), full.substr(0, full.size() - 1)},
      {20, full.substr(0, 19)},
      {1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    Display display;
    display.terminal.width_ = c.width;
    display.progress->beginPass(1, 4 * Progress::kCheckEvery);
    display.now = 1001;
    display.progress->blockRead(2 * Progress::kCheckEvery, 2 * Progress::kCheckEvery);
    EXPECT_EQ(display.drawn(), "draw(" + c.shown + ")");
  }
}

// Fed by the log's reader, the line shows how far it has read the whole log,
// also once the reader's buffer has been refilled: lines of 64 bytes make
// every read end at a whole MiB.
TEST(ProgressDisplay, ShowsHowFarTheReaderIsPastItsFirstBuffer) {
  std::string log;
  for (int line = 0; line < 52429; ++line)
    log += std::string(63, 'a' + line % 26) + "\n";
  ASSERT_EQ(LineReader::kBlockSize % 64, 0u);
  CapturedTerminal terminal;
  ProgressTiming timing;
  double now = 0;
  timing.clock = [&] { return now += 1; };  // a drawing due at every look
  Progress progress(&terminal, timing);
  MemoryInputFile input("log", log);
  LineReader reader(input);
  reader.observeReads(progress.readObserver());
  progress.beginPass(1, log.size());
  Line line;
  while (reader.next(line)) {
  }
  EXPECT_EQ(terminal.drawn(),
            "draw(streamtrim: pass 1/2   31%  1.05 MB/s  0:03 left)"
            "draw(streamtrim: pass 1/2   62%  1.05 MB/s  0:02 left)"
            "draw(streamtrim: pass 1/2   93%  1.05 MB/s  0:01 left)");
}
