// What tells two files apart: the whole file ID and the volume, an ID of 0
// proving nothing (the resolved path stands in for it there); and what tells
// a changed file.

#include <gtest/gtest.h>

#include <string>

#include "system/input_file.h"

namespace {

FileStamp stamp(uint64_t volume, uint64_t fileId, uint64_t fileIdHigh = 0,
                const char* finalPath = "", uint64_t size = 100) {
  FileStamp made;
  made.volume = volume;
  made.fileId = fileId;
  made.fileIdHigh = fileIdHigh;
  made.finalPath = finalPath;
  made.size = size;
  made.modifiedSeconds = 1700000000;
  return made;
}

}  // namespace

TEST(FileStamp, SameFileOnlyWhenTheWholeKnownIdAgrees) {
  FileStamp touched = stamp(7, 42, 9);
  touched.modifiedFraction = 1;
  struct Case {
    const char* name;
    FileStamp a, b;
    bool sameFile;
    bool sameContent;  // stamps taken of one file by two passes
  };
  const Case cases[] = {
      {"one file", stamp(7, 42), stamp(7, 42), true, true},
      {"another file", stamp(7, 42), stamp(7, 43), false, false},
      {"another volume", stamp(7, 42), stamp(8, 42), false, false},
      {"a 128-bit ID", stamp(7, 42, 9), stamp(7, 42, 9), true, true},
      {"grown", stamp(7, 42, 9), stamp(7, 42, 9, "", 101), true, false},
      {"touched", stamp(7, 42, 9), touched, true, false},
      // IDs that differ in their high half only, and IDs that fold alike.
      {"high halves differ", stamp(7, 42, 9), stamp(7, 42, 10), false, false},
      {"halves swapped", stamp(7, 9, 42), stamp(7, 42, 9), false, false},
      {"folded alike", stamp(7, 1, 3), stamp(7, 2, 0), false, false},
      // A volume that keeps no IDs: the IDs prove nothing, the resolved
      // paths decide, and a pass still finds its log unchanged.
      {"no IDs", stamp(7, 0), stamp(7, 0), false, true},
      {"no ID on one side", stamp(7, 0), stamp(7, 42), false, false},
      {"no IDs, one path", stamp(7, 0, 0, "\\\\?\\Z:\\a.log"), stamp(7, 0, 0, "\\\\?\\Z:\\a.log"),
       true, true},
      {"no IDs, two paths", stamp(7, 0, 0, "\\\\?\\Z:\\a.log"), stamp(7, 0, 0, "\\\\?\\Z:\\b.log"),
       false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.a.sameFileAs(c.b), c.sameFile);
    EXPECT_EQ(c.b.sameFileAs(c.a), c.sameFile);
    EXPECT_EQ(c.a.sameContentAs(c.b), c.sameContent);
  }
}
