#include "result_cutter.h"

void decideCut(CutState& cut, int32_t curQueryNr, uint64_t rowsOfTable, const CutSizes& sizes) {
  cut.truncateThisResult = mayTruncateOutputOfQuery(curQueryNr, rowsOfTable, sizes);
  if (cut.truncateThisResult)
    generateOutputLines(cut.outputLines, rowsOfTable, cut.sequence, sizes);
}

void writeCutRow(CutState& cut, uint64_t rowNr, std::string_view currentLine, OutputFile& output) {
  if (cut.outputLines.count(rowNr) == 0)
    return;
  // Row 1 starts every cut table, so a last_output_line left over from the
  // previous cut table never produces a marker here.
  if (rowNr != 1 && cut.last_output_line != rowNr - 1) {
    output.writeDeletionMarker(rowNr - 1 - cut.last_output_line);
  }
  output.writeNumberedRow(currentLine, rowNr);
  cut.last_output_line = rowNr;
}
