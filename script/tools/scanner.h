// One pass over a query-stream log.
//
// The scanner follows the log's structure with three states: HEADER (outside
// a query, looking for a header line), QUERY (after a header, looking for the
// separator line) and TABLE (counting the rows of a result). The log is read
// twice. The gathering pass writes nothing; it counts the rows of every
// result table and notes where the rows of the large ones start. The output
// pass writes the log: every line unchanged, except the rows of the results
// that are cut, which go through the row writer (result_cutter.h). The output
// pass counts the rows again and fails when a count, or the number of tables,
// differs from the gathering pass's: the log changed in between. The
// gathering pass also notes, at no cost worth measuring, what tells a log
// from a file that only looks like one (log_evidence.h) and the results that
// stay whole though they look too large (large_results.h).

#ifndef STREAMTRIM_SCANNER_H
#define STREAMTRIM_SCANNER_H

#include <cstdint>
#include <string>
#include <vector>

#include "large_results.h"
#include "log/log_evidence.h"
#include "log/read_observer.h"
#include "run/row_count_digest.h"
#include "run/row_index.h"
#include "sampler.h"
#include "system/input_file.h"
#include "system/output_file.h"

enum ScannerState : int32_t { HEADER = 0, QUERY = 1, TABLE = 2 };

// What the gathering pass learns of the log and the output pass relies on.
// Its size grows with the number of tables that are cut, never with the
// number of tables: every other table leaves only its mark in a digest.
struct GatheredLog {
  // A table that is cut, as the output pass must find it again.
  struct CutTable {
    uint64_t table = 0;     // which table, counted from 0 among all
    uint64_t rows = 0;      // how many rows it has
    uint64_t firstRow = 0;  // where its rows start in the log
  };

  FileStamp input;                        // the log as the gathering pass found it
  uint64_t tables = 0;                    // result tables seen, cut or not
  std::vector<CutTable> cut;              // the tables that are cut, in order of appearance
  RowCountDigest uncut;                   // (table, rows) of every table that is not cut
  RowIndex index;                         // checkpoints of the cut tables, numbered as in cut
  LogEvidence evidence;                   // what the lines outside the tables tell of the log
  std::vector<LargeResult> largeResults;  // that stay whole though they look too large

  // The rows of each cut table, in order.
  std::vector<uint64_t> cutRows() const;
};

// Runs one pass over the log input, freshly opened: the gathering pass when
// gatherInfoOnly is true (output is not used and may be null), otherwise the
// output pass, which writes to output what the earlier gathering pass into
// gathered prepared for. Throws a Failure when the log cannot be read, a
// write fails, or the log is not the one the gathering pass saw. observer,
// when not null, is told of every block the pass reads. Both passes must be
// given the same sizes.
void scanResultAndGenerateOutput(const InputFile& input, OutputFile* output, bool gatherInfoOnly,
                                 GatheredLog& gathered, ReadObserver* observer = nullptr,
                                 const CutSizes& sizes = {});

#endif  // STREAMTRIM_SCANNER_H
