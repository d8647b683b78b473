#include "row_scan/row_scan.h"

#include <cstring>

RowRun countRowLinesPortable(std::string_view text, uint64_t maxRows) {
  RowRun run;
  const char* data = text.data();
  while (run.rows < maxRows) {
    size_t left = text.size() - run.bytes;
    const void* newline = std::memchr(data + run.bytes, '\n', left);
    if (newline == nullptr)
      break;
    size_t length = static_cast<size_t>(static_cast<const char*>(newline) - (data + run.bytes));
    if (std::memchr(data + run.bytes, '|', length) == nullptr)
      break;
    run.bytes += length + 1;
    ++run.rows;
  }
  return run;
}
