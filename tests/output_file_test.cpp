#include "output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "failure.h"
#include "test_support.h"

namespace {

// what() of the Failure that f throws, "" when it throws none.
template <typename F>
std::string failureOf(F f) {
  try {
    f();
  } catch (const Failure& failure) {
    return failure.what();
  }
  return "";
}

}  // namespace

TEST(OutputFile, WritesLinesRowsAndMarkers) {
  TempDir dir;
  std::unique_ptr<OutputFile> out = openOutputFile(dir.file("out"));
  EXPECT_EQ(out->name(), dir.file("out"));
  out->writeLine("plain");
  out->writeLine("");
  out->writeNumberedRow("a | b", 1);
  out->writeNumberedRow("big|", 18446744073709551615u);
  out->writeDeletionMarker(7);
  out->writeDeletionMarker(18446744073709551615u);
  out->close();
  EXPECT_EQ(readFile(dir.file("out")),
            "plain\n\na | b [row: 1]\nbig| [row: 18446744073709551615]\n"
            "\n----------- deleted 7 rows -----------\n\n"
            "\n----------- deleted 18446744073709551615 rows -----------\n\n");
}

TEST(OutputFile, EmptyPathIsStandardOutput) {
  // Standard output goes to a file meanwhile, as the OutputFile closes it.
  TempDir dir;
  std::fflush(stdout);
  int saved = ::dup(STDOUT_FILENO);
  int fd = ::open(dir.file("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_TRUE(saved >= 0 && fd >= 0 && ::dup2(fd, STDOUT_FILENO) == STDOUT_FILENO);
  ::close(fd);
  std::string name;
  std::string failure = failureOf([&] {
    std::unique_ptr<OutputFile> out = openOutputFile("");
    name = out->name();
    out->writeLine("to standard output");
    out->close();
  });
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  EXPECT_EQ(failure, "");
  EXPECT_EQ(name, "standard output");
  EXPECT_EQ(readFile(dir.file("stdout")), "to standard output\n");
}

TEST(OutputFile, FailuresNameTheOutputAndTheReason) {
  TempDir dir;
  std::string missing = dir.file("missing/out");
  EXPECT_EQ(failureOf([&] { openOutputFile(missing); }), missing + ": No such file or directory");
  EXPECT_EQ(failureOf([] { openOutputFile("/dev/full")->writeLine("x"); }),
            "/dev/full: No space left on device");
}

TEST(OutputFile, RefusesToOverwriteTheInputAndTruncatesOnlyOnRequest) {
  TempDir dir;
  std::string log = dir.file("log");
  writeFile(log, "the log\n");
  writeFile(dir.file("other"), "the log\n");
  ASSERT_EQ(::link(log.c_str(), dir.file("hard").c_str()), 0);
  ASSERT_EQ(::symlink(log.c_str(), dir.file("soft").c_str()), 0);
  FileStamp stamp = openInputFile(log)->stamp();
  for (const char* name : {"log", "hard", "soft"}) {
    std::string what = failureOf([&] { openOutputFile(dir.file(name))->refuseToOverwrite(stamp); });
    EXPECT_EQ(what.rfind(dir.file(name) + ": ", 0), 0u) << name << ": " << what;
  }
  EXPECT_EQ(readFile(log), "the log\n");  // opening alone does not truncate

  std::unique_ptr<OutputFile> other = openOutputFile(dir.file("other"));
  EXPECT_EQ(failureOf([&] { other->refuseToOverwrite(stamp); }), "");
  EXPECT_EQ(readFile(dir.file("other")), "the log\n");
  other->truncate();
  EXPECT_EQ(readFile(dir.file("other")), "");
  other->writeLine("new");
  other->close();
  EXPECT_EQ(readFile(dir.file("other")), "new\n");

  EXPECT_EQ(failureOf([] { openOutputFile("/dev/null")->truncate(); }), "");  // not a regular file
}
