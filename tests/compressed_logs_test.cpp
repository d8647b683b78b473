// Both programs read zstd and gzip logs directly: each compressed form of a
// log cuts to the plain log's cut and is checked as it; a damaged one, or one
// holding no log to cut, fails in one line with no output touched.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compressed_forms.h"
#include "stream_log.h"
#include "test_support.h"

TEST(CompressedLogs, CutAndCheckedAsThePlainLog) {
  TempDir dir;
  const std::string log = readFile(SAMPLE_LOG), half = log.substr(0, log.size() / 2),
                    rest = log.substr(log.size() / 2);
  writeFile(dir.file("plain.log"), log);
  ASSERT_EQ(runStreamtrim({dir.file("plain.log"), dir.file("plain.cut")}).status, 0);
  const std::string cut = readFile(dir.file("plain.cut"));
  writeFile(dir.file("cut.zst"), zstdOf(cut));
  writeFile(dir.file("cut.gz"), gzipOf(cut));
  struct Case {
    const char* name;
    std::string compressed;
  };
  const std::vector<Case> cases = {
      {"zstd", zstdOf(log)},
      {"zstd at level 19 in two frames after a skippable one",
       skippableFrame(4) + zstdOf(half, 19) + zstdOf(rest, 19)},
      {"gzip", gzipOf(log)},
      {"gzip in two members", gzipOf(half) + gzipOf(rest)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string packed = dir.file("stream.log.packed"), out = dir.file("out.log");
    writeFile(packed, c.compressed);
    RunResult run = runStreamtrim({packed, out});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(readFile(out) == cut);
    for (const std::string& cutLog : {out, dir.file("cut.zst"), dir.file("cut.gz")}) {
      RunResult verify = runVerify({cutLog, packed});
      EXPECT_EQ(verify.status, 0) << verify.out << verify.err;
    }
  }
}

TEST(CompressedLogs, UndecodableOrNoLogTouchesNoOutput) {
  TempDir dir;
  const std::string log = StreamLog().query(3, 20).query(16, 12000).text();
  writeFile(dir.file("plain.log"), log);
  ASSERT_EQ(runStreamtrim({dir.file("plain.log"), dir.file("plain.cut")}).status, 0);
  const std::string zstd = zstdOf(log), gzip = gzipOf(log);
  std::string flipped = gzip;
  flipped[gzip.size() / 2] ^= 0x10;
  struct Case {
    const char* name;
    std::string compressed;
    std::string says;  // how the message goes on after the file's name; the checker's alike
  };
  const std::vector<Case> cases = {
      {"zstd a byte short", zstd.substr(0, zstd.size() - 1),
       "cut short at offset " + std::to_string(zstd.size() - 1) + " of the compressed file"},
      {"gzip with a byte changed", flipped, "damaged gzip data at offset "},
      {"gzip and a line after it", gzip + "\n",
       "trailing data at offset " + std::to_string(gzip.size())},
      {"zstd of a UTF-16 log", zstdOf(utf16(log, false)), "a UTF-16 log (UTF-16LE"},
      {"gzip of a zstd log", gzipOf(zstd), "a zstd-compressed file, not a log"},
      {"zstd of a cut log", zstdOf(readFile(dir.file("plain.cut"))), "already a cut log"},
  };
  const std::string packed = dir.file("stream.log.packed"), old = dir.file("old.log");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(packed, c.compressed);
    writeFile(old, "previous output\n");
    RunResult run = runStreamtrim({packed, old});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("streamtrim: " + packed + ": " + c.says, 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(readFile(old), "previous output\n");
    RunResult verify = runVerify({dir.file("plain.cut"), packed});
    EXPECT_EQ(verify.status, 2) << verify.out << verify.err;
  }
  // The cut is written plain: a compressed name is refused, whatever the log.
  writeFile(packed, zstd);
  RunResult named = runStreamtrim({packed, dir.file("cut.log.Zst")});
  EXPECT_EQ(named.status, 1);
  EXPECT_EQ(named.err, "streamtrim: " + dir.file("cut.log.Zst") +
                           ": a compressed file's name, but the cut log is written uncompressed; "
                           "name the output without .zst, then compress it if you wish, for "
                           "example with zstd --rm\n");
  EXPECT_FALSE(fileExists(dir.file("cut.log.Zst")));
}
