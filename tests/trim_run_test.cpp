// A run touches the output only once the log has been read whole and opened
// again: every failure before that leaves an existing output byte for byte.

#include "trim_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "failure.h"
#include "memory_file.h"
#include "test_support.h"

namespace {

const char kLog[] = "-- TPC-H Query 3\na|b\n===\n1|2\n(1 row)\n";
const char kOldOutput[] = "old output!\r\n";

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
