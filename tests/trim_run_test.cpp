// A run touches the output only once the log has been read whole and opened
// again: every failure before that leaves an existing output byte for byte.

#include "trim_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "compressed_forms.h"
#include "decode/decoded_log.h"
#include "log/line_reader.h"
#include "system/failure.h"
#include "system/memory_file.h"
#include "test_support.h"

namespace {

const char kLog[] = "-- TPC-H Query 3\na|b\n===\n1|2\n(1 row)\n";
const char kOldOutput[] = "old output!\r\n";

// A log of one result under header: rows lines shaped like query 16's.
std::string partsLog(const std::string& header, int rows) {
  std::string log = header + "\na|b\n===\n";
  for (int row = 1; row <= rows; ++row)
    log += "Brand#11  |MEDIUM POLISHED STEEL           |" + std::to_string(row) + "\n";
  return log;
}

// A terminal that records what it is asked to do, and each status line drawn.
class RecordingTerminal : public Terminal {
 public:
  void drawStatus(std::string_view line) override {
    events += "draw ";
    lines.emplace_back(line);
  }
  void eraseStatus() override { events += "erase "; }
  void printLine(std::string_view line) override {
    events += "print ";
    printed.emplace_back(line);
  }
  int width() override { return 0; }
  std::string events;
  std::vector<std::string> lines;
  std::vector<std::string> printed;
};

// Progress timing whose every look at the clock finds a drawing due.
struct DrawingAlways {
  double now = 0;
  ProgressTiming timing{.clock = [this] { return now += 1; }};
};

}  // namespace

TEST(TrimRun, FailureBeforeTheOutputPassLeavesTheOutputAlone) {
  struct Case {
    const char* name;
    std::string log;
    int failingOpen;  // which open of the log fails, 0 for none
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"first open fails", kLog, 1, "cannot open"},
      {"second open fails", kLog, 2, "cannot open"},
      {"UTF-16 little-endian", std::string("\xff\xfe-\0-\0", 6), 0, "UTF-16"},
      {"UTF-16 big-endian", std::string("\xfe\xff\0-\0-", 6), 0, "UTF-16"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    writeFile(dir.file("out.log"), kOldOutput);
    int opens = 0;
    int outputOpens = 0;
    TrimFiles files{[&]() -> std::unique_ptr<InputFile> {
                      if (++opens == c.failingOpen)
                        throw Failure("in.log", "cannot open");
                      return std::make_unique<MemoryInputFile>("in.log", c.log);
                    },
                    [&] {
                      ++outputOpens;
                      return openOutputFile(dir.file("out.log"));
                    }};
    Progress progress(nullptr);
    try {
      trimLog(files, progress);
      ADD_FAILURE() << "the run passed";
    } catch (const Failure& failure) {
      EXPECT_NE(std::string(failure.what()).find(c.reason), std::string::npos) << failure.what();
    }
    EXPECT_EQ(outputOpens, 0);
    EXPECT_EQ(readFile(dir.file("out.log")), kOldOutput);
  }
}

TEST(TrimRun, Utf8ByteOrderMarkIsCopiedAsPartOfTheFirstLine) {
  TempDir dir;
  const std::string log = std::string("\xef\xbb\xbf") + kLog;
  writeFile(dir.file("in.log"), log);
  TrimFiles files{[&] { return openInputFile(dir.file("in.log")); },
                  [&] { return openOutputFile(dir.file("out.log")); }};
  Progress progress(nullptr);
  trimLog(files, progress);
  EXPECT_EQ(readFile(dir.file("out.log")), log);
}

// A note on a result left whole stands on a line of its own: a status line
// drawn during the gathering pass is erased before it.
TEST(TrimRun, NoteComesAfterTheStatusLineIsErased) {
  RecordingTerminal terminal;
  DrawingAlways drawing;
  Progress progress(&terminal, drawing.timing);
  const std::string log = partsLog("-- TPC-H Query #16", 10001);
  ASSERT_GT(log.size(), Progress::kCheckEvery);
  TempDir dir;
  writeFile(dir.file("in.log"), log);
  TrimFiles files{[&] { return openInputFile(dir.file("in.log")); },
                  [&] { return openOutputFile(dir.file("out.log")); }};
  std::vector<std::string> notes;
  trimLog(files, progress, [&](const std::string& line) {
    terminal.events += "note ";
    notes.push_back(line);
  });
  EXPECT_EQ(terminal.events.substr(0, 17), "draw erase note d") << terminal.events;
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind(dir.file("in.log") + ":4: note: a result of 10001 rows", 0), 0u)
      << notes[0];
  EXPECT_EQ(readFile(dir.file("out.log")), log);
}

// Each pass shows how much of the whole log it has read: its first drawing
// comes after the reader's first block of a larger log.
TEST(TrimRun, EachPassShowsItsShareOfTheWholeLog) {
  RecordingTerminal terminal;
  DrawingAlways drawing;
  Progress progress(&terminal, drawing.timing);
  const std::string log = partsLog("-- TPC-H Query 16", 40000);
  const uint64_t percent = LineReader::kBlockSize * 100 / log.size();
  ASSERT_TRUE(percent >= 10 && percent < 100) << percent;
  TempDir dir;
  writeFile(dir.file("in.log"), log);
  TrimFiles files{[&] { return openInputFile(dir.file("in.log")); },
                  [&] { return openOutputFile(dir.file("out.log")); }};
  trimLog(files, progress);
  for (const char* pass : {"streamtrim: pass 1/2  ", "streamtrim: pass 2/2  "}) {
    SCOPED_TRACE(pass);
    auto first = std::find_if(terminal.lines.begin(), terminal.lines.end(),
                              [&](const std::string& line) { return line.starts_with(pass); });
    ASSERT_NE(first, terminal.lines.end());
    EXPECT_TRUE(first->starts_with(pass + (" " + std::to_string(percent)) + "%  ")) << *first;
  }
}

// A compressed log's passes count its compressed bytes, which its size is;
// the summary gives both sizes.
TEST(TrimRun, ACompressedLogCountsItsCompressedBytes) {
  RecordingTerminal terminal;
  DrawingAlways drawing;
  Progress progress(&terminal, drawing.timing);
  const std::string log = partsLog("-- TPC-H Query 16", 100000), zstd = zstdOf(log);
  TempDir dir;
  writeFile(dir.file("in.log.zst"), zstd);
  TrimFiles files{[&] { return openLog(dir.file("in.log.zst")); },
                  [&] { return openOutputFile(dir.file("out.log")); }};
  trimLog(files, progress);
  ASSERT_FALSE(terminal.lines.empty());
  // Decoded bytes counted against the compressed size would show 100% at once.
  EXPECT_TRUE(terminal.lines.front().starts_with("streamtrim: pass 1/2  ")) << terminal.lines[0];
  EXPECT_EQ(terminal.lines.front().find("100%"), std::string::npos) << terminal.lines[0];
  ASSERT_EQ(terminal.printed.size(), 1u);
  EXPECT_NE(terminal.printed[0].find(" in (" + formatBytes(static_cast<double>(log.size())) +
                                     " decoded), "),
            std::string::npos)
      << terminal.printed[0];
}
