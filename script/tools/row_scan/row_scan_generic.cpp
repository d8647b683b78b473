// countRowLines on CPUs without a version of their own: line by line.

#include "row_scan/row_scan.h"

RowRun countRowLines(std::string_view text, uint64_t maxRows) {
  return countRowLinesPortable(text, maxRows);
}

std::vector<std::pair<const char*, RowCounter>> rowCountersForThisCpu() {
  return {{"portable", countRowLinesPortable}};
}
