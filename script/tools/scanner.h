// One pass over a query-stream log.
//
// The scanner follows the log's structure with three states: HEADER (outside
// a query, looking for a header line), QUERY (after a header, looking for the
// separator line) and TABLE (counting the rows of a result). The log is read
// twice. The gathering pass writes nothing; it counts the rows of every
// result table and notes where the rows of the large ones start. The output
// pass writes the log: every line unchanged, except the rows of the results
// that are cut, which go through the row writer (result_cutter.h).

#ifndef STREAMTRIM_SCANNER_H
#define STREAMTRIM_SCANNER_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "input_file.h"
#include "output_file.h"
#include "read_observer.h"
#include "row_index.h"

enum ScannerState : int32_t { HEADER = 0, QUERY = 1, TABLE = 2 };

// What the gathering pass learns of the log and the output pass relies on.
struct GatheredLog {
  FileStamp input;                             // the log as the gathering pass found it
  std::vector<uint64_t> rowsOfTable;           // rows of each result table, in order of appearance
  std::map<size_t, RowIndex> rowIndexOfTable;  // by position in rowsOfTable, for cut tables
};

// Runs one pass over the log at inputfile: the gathering pass when
// gatherInfoOnly is true (output is not used and may be null), otherwise the
// output pass, which writes to output what the earlier gathering pass into
// gathered prepared for. Throws a Failure when the log cannot be read, a
// write fails, or the log is not the one the gathering pass saw. observer,
// when not null, is told of every block the pass reads.
void scanResultAndGenerateOutput(const std::string& inputfile, OutputFile* output,
                                 bool gatherInfoOnly, GatheredLog& gathered,
                                 ReadObserver* observer = nullptr);

#endif  // STREAMTRIM_SCANNER_H
