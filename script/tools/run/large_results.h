// Results that stay whole although they look too large to.
//
// The log's format is read exactly as log_format.h says. In TPC-H only
// queries 11, 16 and 20 have results of more rows than the cut limit, so a
// larger result that stays whole is most likely one whose header or
// separator the tool could not read, and its user should hear of it. Two
// shapes show it:
//
// - a result table of more rows than the limit, of a query that is never
//   cut: a header such as "TPC-H Query #16" reads as query 0;
// - more lines containing "|" than the limit between a header of query 11,
//   16 or 20 and the next header, outside the tables found: rows without a
//   line containing "===" before them, as PostgreSQL's aligned output (a
//   "---+---" ruler), MySQL's boxed tables, tab-separated output and a banner
//   of "=" framing the header give.
//
// Both programs follow the lines outside the tables, and the tables, through
// a LargeResultWatch and give one note per such result; nothing else changes.

#ifndef STREAMTRIM_LARGE_RESULTS_H
#define STREAMTRIM_LARGE_RESULTS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "log/log_format.h"
#include "sampler.h"

struct LargeResult {
  uint64_t line = 0;  // of its first row in a table, of its query's header otherwise
  int32_t queryNr = 0;
  uint64_t rows = 0;     // the table's rows, or the lines containing "|" outside tables
  bool inTable = false;  // which of the two shapes
};

// The note's text, without the file and line: what stays whole, and what the
// tool looks for.
std::string largeResultNote(const LargeResult& result);

class LargeResultWatch {
 public:
  // Results of more than limit rows are noted.
  explicit LargeResultWatch(uint64_t limit) : limit_(limit) {}

  // A header line, line number line, read outside the tables.
  void header(uint64_t line, int32_t queryNr) {
    endQuery();
    watching_ = isCuttableQuery(queryNr);
    headerLine_ = line;
    queryNr_ = queryNr;
  }
  // Any other line outside the tables, except a separator that starts one.
  void otherLine(std::string_view text) {
    if (watching_ && isRowLine(text))
      ++strayRows_;
  }
  // A table whose first row is line firstRowLine ended and stays whole.
  void wholeTable(uint64_t firstRowLine, int32_t queryNr, uint64_t rows) {
    if (rows > limit_ && !isCuttableQuery(queryNr))
      found_.push_back({firstRowLine, queryNr, rows, true});
  }
  // The log ended.
  void end() {
    endQuery();
    watching_ = false;
  }

  // The results found since the last call, in the log's order.
  std::vector<LargeResult> take();

 private:
  // Only rows counted while watching make strayRows_ more than 0.
  void endQuery() {
    if (strayRows_ > limit_)
      found_.push_back({headerLine_, queryNr_, strayRows_, false});
    strayRows_ = 0;
  }

  uint64_t limit_;
  bool watching_ = false;  // the last header was of a query that is cut
  uint64_t headerLine_ = 0;
  int32_t queryNr_ = 0;
  uint64_t strayRows_ = 0;  // since that header, outside the tables
  std::vector<LargeResult> found_;
};

#endif  // STREAMTRIM_LARGE_RESULTS_H
