// A file the output path holds already is replaced only when no original is
// lost with it: another uncut log (a glob naming two logs) or a packed file
// (an archive beside the log) is refused before the first pass, untouched
// and with no temporary file made; a previous cut, a byte-identical copy of
// the log, an empty file and any other file are replaced.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "stream_log.h"
#include "test_support.h"

namespace {

constexpr size_t kFirstBlock = 64 * 1024;

// The names in dir, sorted, as a shell's glob lists them.
std::vector<std::string> namesIn(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(fsPath(dir.path())))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string withCrlf(const std::string& text) {
  std::string converted;
  for (char c : text)
    converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return converted;
}

// Text of size bytes without a header: lines of dashes.
std::string filler(size_t size) {
  std::string text;
  while (text.size() + 64 < size)
    text += std::string(63, '-') + "\n";
  return text + std::string(size - text.size() - 1, '-') + "\n";
}

}  // namespace

TEST(ExistingOutput, OnlyAFileNoRunLeavesIsKept) {
  TempDir dir;
  const std::string log = StreamLog().query(3, 2).query(16, 12000).text();
  const std::string small = StreamLog().query(3, 2).text();  // nothing to cut
  writeFile(dir.file("stream0.log"), log);
  ASSERT_EQ(runStreamtrim({dir.file("stream0.log"), dir.file("made.log")}).status, 0);
  const std::string cut = readFile(dir.file("made.log"));
  std::filesystem::remove(fsPath(dir.file("made.log")));
  const std::string other = StreamLog().query(11, 12000).text();
  const std::string header = "-- TPC-H Query 16\n";
  const std::string row = "Brand#11|7\n";
  const std::string marker = "----------- deleted 7 rows -----------\n";
  struct Case {
    const char* name;
    std::string input;                    // the log to cut
    std::string output;                   // the file its output path holds
    std::string refusal;                  // the reason's start; empty when replaced
    std::string outName = "stream1.log";  // or a named descriptor
    bool posixOnly = false;
  };
  const std::string kUncut = "an uncut query-stream log (query headers, no deletion marker)";
  const std::string kBinary = "a binary file (a NUL byte in its first 64 KiB)";
  const std::vector<Case> cases = {
      {"GlobOfTwoLogs", log, other, kUncut},
      {"ArchiveBesideTheLog", log, "\x1f\x8b\x08payload", "a gzip-compressed file",
       "stream0.log.gz"},
      {"TarArchive", log, "out" + std::string(254, '\0') + std::string("ustar\0", 6),
       "a tar archive"},
      {"CpioArchive", log, "070701" + std::string(104, '0') + "TRAILER!!!", "a cpio archive"},
      {"Utf16Log", log, std::string("\xff\xfe-\0-\0\n\0", 8), "a UTF-16 file"},
      {"BinaryFile", log,
       "\x7f"
       "ELF" +
           std::string(3, '\0'),
       kBinary},
      {"NulAtTheFirstBlocksEnd", log, filler(kFirstBlock - 1) + std::string(1, '\0'), kBinary},
      {"NulPastTheFirstBlock", log, filler(kFirstBlock) + std::string(1, '\0'), ""},
      {"HeaderAtTheFirstBlocksEnd", log, filler(kFirstBlock - 1) + header + row, kUncut},
      {"HeaderPastTheFirstBlock", log, filler(kFirstBlock) + header + row, ""},
      {"UncutLogWithAMarkerShortOfItsEmptyLine", log, header + row + "\n" + marker + row, kUncut},
      {"UncutCopyOfTheLogAByteOff", small, small.substr(0, small.size() - 2) + "x\n", kUncut},
      {"UncutCopyOfTheLogAByteShort", small, small.substr(0, small.size() - 1), kUncut},
      {"PreviousCut", log, cut, ""},
      {"PreviousCutWithCrlf", log, withCrlf(cut), ""},
      {"PreviousCutMarkedPastTheFirstBlock", log,
       header + filler(kFirstBlock) + row + "\n" + marker + "\n" + row, ""},
      {"PreviousOutputOfALogWithNothingToCut", small, small, ""},
      {"EmptyFile", log, "", ""},
      {"AnyOtherFile", log, "notes of the run\n", ""},
      {"NamedDescriptorOnALog", log, other, "", "/dev/stdout", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.posixOnly && !systemIsPosix())
      continue;
    TempDir runDir;
    writeFile(runDir.file("stream0.log"), c.input);
    const bool descriptor = c.outName.starts_with("/");
    const std::string out = runDir.file(descriptor ? "stream1.log" : c.outName);
    writeFile(out, c.output);
    const std::vector<std::string> before = namesIn(runDir);
    RunOptions options;
    if (descriptor)
      options.stdoutAppendPath = out;
    // As the shell expands stream0.log* or stream*.log.
    std::vector<std::string> args;
    for (const std::string& name : before)
      args.push_back(runDir.file(name));
    if (descriptor)
      args = {runDir.file("stream0.log"), c.outName};
    RunResult run = runStreamtrim(args, options);
    const std::string expected = c.input == log ? cut : c.input;
    if (c.refusal.empty()) {
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(readFile(out), descriptor ? c.output + expected : expected);
      continue;
    }
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("streamtrim: " + out + ": " + c.refusal, 0), 0u) << run.err;
    EXPECT_TRUE(
        run.err.ends_with(", which the cut would replace; remove it first or name another "
                          "output (the second argument is where the cut goes)\n"))
        << run.err;
    EXPECT_EQ(readFile(out), c.output);
    EXPECT_EQ(namesIn(runDir), before);  // no temporary file either
  }
}
