// Cutting a result table in the output pass.
//
// At a result's separator line the cutting decision asks the rule whether the
// table that follows may be cut and, when it may, draws the rows it keeps.
// The row writer then sees every row of that table in order: a kept row is
// written with " [row: N]" appended, after a deletion marker when rows were
// removed before it; every other row is dropped. A cut table of N rows thus
// shows rows 1 to 1000, 1000 drawn rows each after a marker, then a marker
// and rows N - 999 to N: 1001 markers whose counts add up to N - 3000.

#ifndef STREAMTRIM_RESULT_CUTTER_H
#define STREAMTRIM_RESULT_CUTTER_H

#include <cstdint>
#include <set>
#include <string_view>

#include "random_sequence.h"
#include "sampler.h"
#include "system/output_file.h"

// The part of the output pass's state that belongs to cutting.
struct CutState {
  bool truncateThisResult = false;  // whether the current table is cut
  std::set<uint64_t> outputLines;   // rows the current cut table keeps
  uint64_t last_output_line = 0;    // number of the last row written by writeCutRow
  RandomSequence sequence;          // draws the samples of this pass's cut tables, in order
};

// Decides at a separator line whether the table that follows, a result of
// query curQueryNr with rowsOfTable rows, is cut, and draws its sample if so.
void decideCut(CutState& cut, int32_t curQueryNr, uint64_t rowsOfTable, const CutSizes& sizes = {});

// The two kinds of line a cut adds to the log, each written whole with one
// call: row with " [row: rowNumber]" appended, and a deletion marker (an empty
// line, "----------- deleted G rows -----------", an empty line).
void writeNumberedRow(OutputFile& output, std::string_view row, uint64_t rowNumber);
void writeDeletionMarker(OutputFile& output, uint64_t deletedRows);

// Writes row rowNr of a cut table (its text is currentLine) with its number,
// after a deletion marker for the rows removed before it, or drops it.
void writeCutRow(CutState& cut, uint64_t rowNr, std::string_view currentLine, OutputFile& output);

#endif  // STREAMTRIM_RESULT_CUTTER_H
