// row_scan/: counting rows in bulk, one counter for each kind of CPU behind
// this header; it builds on nothing else of the tool.
//
// Counting the rows of a result table in bulk.
//
// The rows of the large results are most of a log's bytes, and the gathering
// pass only needs to know how many there are and where some of them start.
// countRowLines steps over many row lines at once: on x86-64 it looks at 64
// bytes at a time, with the widest vectors the CPU has (AVX2 or SSE2);
// elsewhere it goes line by line. The build picks the version for the target
// CPU: row_scan_x86_64.cpp or row_scan_generic.cpp.

#ifndef STREAMTRIM_ROW_SCAN_H
#define STREAMTRIM_ROW_SCAN_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

struct RowRun {
  uint64_t rows = 0;  // complete row lines counted
  size_t bytes = 0;   // their length, newlines included
};

// Counts the row lines (lines containing "|") at the start of text, stopping
// before the first line without "|", before a last line that has no newline
// in text (it may continue beyond it), or after maxRows rows.
RowRun countRowLines(std::string_view text, uint64_t maxRows);

// The same, one line at a time with memchr (row_scan.cpp); the reference for
// countRowLines and its version on other CPUs.
RowRun countRowLinesPortable(std::string_view text, uint64_t maxRows);

// Every version countRowLines may choose that runs on this CPU, by name, so
// that tests can hold each of them against countRowLinesPortable.
using RowCounter = RowRun (*)(std::string_view text, uint64_t maxRows);
std::vector<std::pair<const char*, RowCounter>> rowCountersForThisCpu();

#endif  // STREAMTRIM_ROW_SCAN_H
