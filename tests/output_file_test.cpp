#include "system/output_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/failure.h"
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

TEST(OutputFile, WritesLinesWholeAndCountsTheirBytes) {
  TempDir dir;
  std::unique_ptr<OutputFile> out = openOutputFile(dir.file("out"));
  EXPECT_EQ(out->name(), dir.file("out"));
  out->writeLine("plain");
  out->writeLine("");
  out->writeLine("two ", "parts\n");
  out->writeLine("", "lines\nof their own\n");
  EXPECT_EQ(out->bytesWritten(), 36u);
  out->close();
  EXPECT_EQ(readFile(dir.file("out")), "plain\n\ntwo parts\nlines\nof their own\n");
}

TEST(OutputFile, EmptyPathIsStandardOutput) {
  // Standard output goes to a file meanwhile, as the OutputFile closes it.
  TempDir dir;
  std::string name;
  std::string failure;
  {
    StandardOutputRedirect redirect(dir.file("stdout"));
    failure = failureOf([&] {
      std::unique_ptr<OutputFile> out = openOutputFile("");
      name = out->name();
      out->writeLine("to standard output");
      out->close();
    });
  }
  EXPECT_EQ(failure, "");
  EXPECT_EQ(name, "standard output");
  EXPECT_EQ(readFile(dir.file("stdout")), "to standard output\n");
}

TEST(OutputFile, FailuresNameTheOutputAndTheReason) {
  TempDir dir;
  std::string missing = dir.file("missing/out");
  EXPECT_EQ(failureOf([&] { openOutputFile(missing); }),
            missing + ": " + systemReason(SystemError::kNoSuchDirectory));
}

TEST(OutputFile, WriteToAFullDeviceNamesTheOutputAndTheReason) {
  const char* full = fullDevice();
  if (full == nullptr)
    GTEST_SKIP() << "this system has no device that is always full";
  EXPECT_EQ(failureOf([&] { openOutputFile(full)->writeLine("x"); }),
            std::string(full) + ": " + systemReason(SystemError::kNoSpace));
}

TEST(OutputFile, RefusesToOverwriteTheInputAndReplacesOnlyOnClose) {
  TempDir dir;
  std::string log = dir.file("log");
  writeFile(log, "the log\n");
  writeFile(dir.file("other"), "the log\n");
  createHardLink(log, dir.file("hard"));
  std::vector<std::string> names = {"log", "hard"};
  if (createSymlink(log, dir.file("soft")))  // Windows lets only some users make one
    names.push_back("soft");
  FileStamp stamp = openInputFile(log)->stamp();
  for (const std::string& name : names) {
    std::string what = failureOf([&] { openOutputFile(dir.file(name))->refuseToOverwrite(stamp); });
    EXPECT_EQ(what.rfind(dir.file(name) + ": ", 0), 0u) << name << ": " << what;
  }
  EXPECT_EQ(readFile(log), "the log\n");  // opening alone does not truncate

  std::unique_ptr<OutputFile> other = openOutputFile(dir.file("other"));
  EXPECT_EQ(failureOf([&] { other->refuseToOverwrite(stamp); }), "");
  EXPECT_EQ(readFile(dir.file("other")), "the log\n");
  other->begin();
  other->writeLine("new");
  EXPECT_EQ(readFile(dir.file("other")), "the log\n");  // replaced only by close()
  other->close();
  EXPECT_EQ(readFile(dir.file("other")), "new\n");

  EXPECT_EQ(failureOf([] { openOutputFile(kNullDevice)->begin(); }), "");  // not a regular file
}
