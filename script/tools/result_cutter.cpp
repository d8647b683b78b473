#include "result_cutter.h"

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

void decideCut(CutState& cut, int32_t curQueryNr, uint64_t rowsOfTable, const CutSizes& sizes) {
  cut.truncateThisResult = mayTruncateOutputOfQuery(curQueryNr, rowsOfTable, sizes);
  if (cut.truncateThisResult)
    generateOutputLines(cut.outputLines, rowsOfTable, cut.sequence, sizes);
}

void writeNumberedRow(OutputFile& output, std::string_view row, uint64_t rowNumber) {
  char suffix[sizeof kRowPrefix + 24];
  char* end = std::copy(kRowPrefix, kRowPrefix + sizeof kRowPrefix - 1, suffix);
  end = appendNumber(end, rowNumber);
  *end++ = ']';
  *end++ = '\n';
  output.writeLine(row, std::string_view(suffix, static_cast<size_t>(end - suffix)));
}

void writeDeletionMarker(OutputFile& output, uint64_t deletedRows) {
  char marker[sizeof kMarkerPrefix + sizeof kMarkerSuffix + 24];
  char* end = std::copy(kMarkerPrefix, kMarkerPrefix + sizeof kMarkerPrefix - 1, marker);
  end = appendNumber(end, deletedRows);
  end = std::copy(kMarkerSuffix, kMarkerSuffix + sizeof kMarkerSuffix - 1, end);
  output.writeLine(std::string_view(marker, static_cast<size_t>(end - marker)), {});
}

void writeCutRow(CutState& cut, uint64_t rowNr, std::string_view currentLine, OutputFile& output) {
  if (cut.outputLines.count(rowNr) == 0)
    return;
  // Row 1 starts every cut table, so a last_output_line left over from the
  // previous cut table never produces a marker here.
  if (rowNr != 1 && cut.last_output_line != rowNr - 1) {
    writeDeletionMarker(output, rowNr - 1 - cut.last_output_line);
  }
  writeNumberedRow(output, currentLine, rowNr);
  cut.last_output_line = rowNr;
}
