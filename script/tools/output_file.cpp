#include "output_file.h"

#include <algorithm>
#include <charconv>

namespace {

const char kRowPrefix[] = " [row: ";
const char kMarkerPrefix[] = "\n----------- deleted ";
const char kMarkerSuffix[] = " rows -----------\n\n";

// Appends number in plain decimal to out; returns the end of what it wrote.
char* appendNumber(char* out, uint64_t number) {
  return std::to_chars(out, out + 20, number).ptr;
}

}  // namespace

void OutputFile::writeLine(std::string_view line) {
  writeParts(line, "\n");
}

void OutputFile::writeNumberedRow(std::string_view row, uint64_t rowNumber) {
  char suffix[sizeof kRowPrefix + 24];
  char* end = std::copy(kRowPrefix, kRowPrefix + sizeof kRowPrefix - 1, suffix);
  end = appendNumber(end, rowNumber);
  *end++ = ']';
  *end++ = '\n';
  writeParts(row, std::string_view(suffix, static_cast<size_t>(end - suffix)));
}

void OutputFile::writeDeletionMarker(uint64_t deletedRows) {
  char marker[sizeof kMarkerPrefix + sizeof kMarkerSuffix + 24];
  char* end = std::copy(kMarkerPrefix, kMarkerPrefix + sizeof kMarkerPrefix - 1, marker);
  end = appendNumber(end, deletedRows);
  end = std::copy(kMarkerSuffix, kMarkerSuffix + sizeof kMarkerSuffix - 1, end);
  writeParts(std::string_view(marker, static_cast<size_t>(end - marker)), {});
}

void OutputFile::writeParts(std::string_view first, std::string_view second) {
  write(first, second);
  bytesWritten_ += first.size() + second.size();
}
