#include <gtest/gtest.h>

#include "test_support.h"

TEST(Smoke, CopiesALogWithoutResults) {
  TempDir dir;
  writeFile(dir.file("in.log"), "hello\nworld\n");
  RunResult run = runStreamtrim({dir.file("in.log")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "hello\nworld\n");
  EXPECT_EQ(run.err, "");
}
