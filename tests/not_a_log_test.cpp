// Files that are no log to cut are refused by both programs with one line,
// before any output is touched: compressed files and archives, logs in UTF-16
// or UTF-32 with or without a byte-order mark, and, as the log to cut or the
// original to check against, logs that streamtrim has cut already, their line
// ends LF or CRLF. Near-misses are logs.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "decode/decoded_log.h"
#include "stream_log.h"
#include "test_support.h"

namespace {

// The same log with CRLF line ends, as git, an editor or a transfer makes it.
std::string withCrlf(const std::string& text) {
  std::string converted;
  for (char c : text)
    converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return converted;
}

const std::string kHeader = "-- TPC-H Query 16 (stream 0)\n";
const std::string kMarker = "----------- deleted 7 rows -----------";
const std::string kNotText = "not a text log (it holds a NUL byte at offset ";
const std::string kUndecodable = "; the log cannot be read whole";
constexpr size_t kFirstBlock = 64 * 1024;

// The last line of text, without its line break.
std::string lastLine(const std::string& text) {
  std::string_view lines(text.data(), text.ends_with('\n') ? text.size() - 1 : text.size());
  return std::string(lines.substr(lines.rfind('\n') + 1));  // npos + 1 is 0
}

}  // namespace

TEST(NotALog, IsRefusedByBothProgramsWithNoOutputTouched) {
  TempDir dir;
  const std::string file = dir.file("stream.log.x"), old = dir.file("old.log"),
                    fresh = dir.file("new.log"), cut = dir.file("cut.log");
  writeFile(cut, "-- TPC-H Query 1\n");
  const std::string log = StreamLog().query(3, 2).query(16, 12000).text();
  writeFile(dir.file("original.log"), log);
  ASSERT_EQ(runStreamtrim({dir.file("original.log"), dir.file("cut-of-it.log")}).status, 0);
  struct Case {
    std::string content;
    std::string says;
    bool asCutLog;  // the checker refuses it as the cut log too, not only as the original
  };
  const std::string cutOfIt = readFile(dir.file("cut-of-it.log"));
  std::vector<Case> cases = {
      {utf16(log, false), "a UTF-16 log (UTF-16LE without a byte-order mark", true},
      {utf16(log, true), "a UTF-16 log (UTF-16BE without a byte-order mark", true},
      // Its header on the second line, which starts at an odd offset.
      {utf16("preamble\n" + log, false), "a UTF-16 log (UTF-16LE without a byte-order mark", true},
      {"\xff\xfe" + utf16(log, false), "a UTF-16 log (it starts with a UTF-16 byte-order mark)",
       true},
      {utf32(log, false), "a UTF-32 log (UTF-32LE without a byte-order mark", true},
      {utf32(log, true), "a UTF-32 log (UTF-32BE without a byte-order mark", true},
      {std::string("\xff\xfe\0\0", 4) + utf32(log, false),
       "a UTF-32 log (it starts with a UTF-32 byte-order mark)", true},
      {std::string("\0\0\xfe\xff", 4) + utf32(log, true),
       "a UTF-32 log (it starts with a UTF-32 byte-order mark)", true},
      {cutOfIt, "already a cut log", false},
      {withCrlf(cutOfIt), "already a cut log", false},
      // A log is text: a NUL byte in the first 64 KiB makes a binary file,
      // one past them does not (NearMissesAreLogs).
      {std::string("\x7f"
                   "ELF\x02\x01\x01\0",
                   8) +
           log,
       kNotText + "7,", true},
      {std::string(kFirstBlock - 1, 'x') + std::string(1, '\0') + log,
       kNotText + std::to_string(kFirstBlock - 1) + ",", true},
      {utf16(kHeader, false) + "\n" + kHeader, kNotText, true},  // a readable header too
      {utf32(kHeader, true) + "\n" + kHeader, kNotText, true},
      {std::string("x\x9c\xcb\x48\x04", 5) + log, "a zlib stream (as pigz -z writes), not a log",
       true},
      {"070707" + std::string(70, '7') + log, "a cpio archive, not a log", true},  // odc's
  };
  for (const auto& [signature, name] : kPackedSignatures) {
    // gzip and zstd are decoded, and this payload is no member or frame.
    bool decoded = compressedFormatOf(signature + "\x08") != nullptr;
    cases.push_back({signature + "\x08payload\n", decoded ? kUndecodable : "", true});
    // A byte short of its signature, a packed file is still binary.
    std::string shortOfIt = signature.substr(0, signature.size() - 1) + "x\n";
    if (shortOfIt.find('\0') != std::string::npos)
      cases.push_back({shortOfIt, kNotText, true});
  }
  // "ustar" and its zero byte a byte late: no tar archive, a binary file.
  cases.push_back({kHeader + std::string(258 - kHeader.size(), '-') + std::string("ustar\0\n", 7),
                   kNotText, true});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says.empty() ? c.content.substr(0, 6) : c.says);
    writeFile(file, c.content);
    // A packed file's message names its format and the command that unpacks it.
    auto refusesIt = [&](const std::string& line, const std::string& program) {
      if (c.says == kUndecodable) {
        EXPECT_TRUE(line.starts_with(program + ": " + file + ": ") &&
                    line.find(" of the compressed file (") != line.npos &&
                    line.ends_with(kUndecodable))
            << line;
        return;
      }
      EXPECT_EQ(line.rfind(program + ": " + file + ": " + c.says, 0), 0u) << line;
      if (c.says.empty()) {
        EXPECT_TRUE(line.find(", not a log; unpack it first, for example with ") != line.npos &&
                    line.ends_with(" " + file))
            << line;
      }
      // The conversion advised reads the log as it is.
      if (c.says.starts_with("a UTF-32 log (it starts")) {
        EXPECT_TRUE(line.ends_with("iconv -f UTF-32 -t UTF-8")) << line;
      }
      if (c.says.starts_with("a UTF-32 log (UTF-32")) {
        EXPECT_TRUE(line.ends_with("iconv -f " + c.says.substr(14, 8) + " -t UTF-8")) << line;
      }
    };
    for (const std::string& output : {old, fresh}) {
      writeFile(old, "previous output\n");
      RunResult run = runStreamtrim({file, output});
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
      refusesIt(lastLine(run.err), "streamtrim");
      EXPECT_EQ(readFile(old), "previous output\n");
      EXPECT_FALSE(fileExists(fresh));
    }
    std::vector<std::vector<std::string>> checks = {{cut, file}, {"--any-sample", cut, file}};
    if (c.asCutLog)
      checks.push_back({file});
    for (const auto& args : checks) {
      RunResult run = runVerify(args);
      EXPECT_EQ(run.status, 2) << args.size();
      // What the whole original tells comes after the problems found on the way.
      refusesIt(lastLine(run.err), "streamtrim-verify");
    }
  }
}

TEST(NotALog, NearMissesAreLogs) {
  TempDir dir;
  const std::string file = dir.file("stream.log");
  const std::string row = "Brand#11|7 [row: 3]\n";
  std::vector<std::string> cases = {
      kHeader + row + "x\n" + kMarker + "\n\n" + row,        // no empty line before the marker
      kHeader + row + "\n" + kMarker + "\nx\n" + row,        // none after it
      kHeader + row + "\n" + kMarker + " \n\n" + row,        // other text on it
      kHeader + row + "\n" + kMarker + "\r\n\n" + row,       // a carriage return on it alone
      kHeader + "\n" + kMarker + "\n\n" + kMarker + "\n\n",  // markers outside any result
      kHeader + "x\n\n" + kMarker + "\n\n" + row,            // no row before
      kHeader + row + "\n" + kMarker + "\n\nx\n",            // no row after
      kHeader + row + "\n" + kMarker + "\n\n===\n" + row,    // a separator before the row
      kHeader + "===\n\n" + kMarker + "\n\n" + row,          // a result without rows before
      std::string(kFirstBlock, 'x') + std::string(1, '\0') + kHeader,  // a NUL past 64 KiB
      kHeader + std::string(kFirstBlock, '-') + "\n" + utf16(kHeader, false) +
          "\n",  // UTF-16 past it
      "070701 rows were counted\n" + kHeader,
      "!<arch>\n" + kHeader,
      "x^2 is the square\n" + kHeader,  // a zlib header, then text
      "x rows selected\n" + kHeader,    // one with a preset dictionary
      "BZh is where this log's first line begins\n" + kHeader,
      "BZh0\x31\x41\x59\x26\x53\x59\n" + kHeader,  // no block size 0
      "LZIP is no archive\n" + kHeader,
      kHeader + std::string(257 - kHeader.size(), '-') + "ustard is text\n",
  };
  for (const auto& [signature, name] : kPackedSignatures) {
    // A signature holding NUL bytes a byte short is a binary file still.
    std::string shortOfIt = signature.substr(0, signature.size() - 1) + "x\n";
    if (shortOfIt.find('\0') == std::string::npos)
      cases.push_back(shortOfIt);
  }
  for (const std::string& content : cases) {
    SCOPED_TRACE(content.substr(0, 40));
    writeFile(file, content);
    // The previous case's output is an uncut log, which no run replaces.
    std::filesystem::remove(fsPath(dir.file("out.log")));
    RunResult run = runStreamtrim({file, dir.file("out.log")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(dir.file("out.log")), content);
    EXPECT_EQ(runVerify({file, file}).status, 0);
  }
}

// To tell a cut log given as the original, the checker reads the original to
// its end even once the comparison has stopped; a problem found on the way
// still names the line where it was found.
TEST(NotALog, AnOriginalReadToItsEndKeepsTheLinesOfItsProblems) {
  TempDir dir;
  writeFile(dir.file("cut.log"), "-- TPC-H Query 1\nselect 1;\n");
  writeFile(dir.file("original.log"), "-- TPC-H Query 1\nselect 1;\nselect 2;\nselect 3;\n");
  RunResult run = runVerify({dir.file("cut.log"), dir.file("original.log")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(
      run.err.rfind("streamtrim-verify: " + dir.file("original.log") + ":3: expected the end", 0),
      0u)
      << run.err;
}
