// Results that stay whole although they look too large to.
//
// The log's format is read exactly as log_format.h says. In TPC-H only
// queries 11, 16 and 20 have results of more rows than the cut limit, so a
// larger result that stays whole is most likely one whose header or
// separator the tool could not read, and its user should hear of it. Three
// shapes show it, each noted once, the first that fits:
//
// - a result table of more rows than the limit, of a query that is never
//   cut: a header such as "TPC-H Query #16" reads as query 0;
// - more lines containing "|" than the limit between a header of query 11,
//   16 or 20 and the next header, outside the tables found: rows without a
//   line containing "===" before them, as PostgreSQL's aligned output (a
//   "---+---" ruler), MySQL's boxed tables and a banner of "=" framing the
//   header give;
// - more lines than the limit between two header lines (or the log's start
//   or end), none of them cut: tab-separated or space-aligned rows, a header
//   the tool does not read ("TPC-H query 16") so that its rows follow the
//   previous query's output, a result printed in pages. Such a stretch is
//   left alone when it is a result read as a table, which the tool judged by
//   its rows, with no more lines than the limit besides and no line
//   containing "|" after it: the SQL text, the heading and a row count
//   around a result of up to the limit.
//
// Both programs follow the lines outside the tables, and the tables, through
// a LargeResultWatch and give one note per such result; nothing else changes.

#ifndef STREAMTRIM_LARGE_RESULTS_H
#define STREAMTRIM_LARGE_RESULTS_H

#include <cstdint>
#include <string>
#include <vector>

#include "sampler.h"

struct LargeResult {
  enum class Shape { kTable, kStrayRows, kStretch };
  uint64_t line = 0;    // of its first row in a table, of its query's header for stray
                        // rows, of a stretch's first line
  int32_t queryNr = 0;  // of the last header before it
  uint64_t rows = 0;    // the table's rows, the stray rows or the stretch's lines
  Shape shape = Shape::kTable;
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
    endStretch(line - 1);
    watching_ = isCuttableQuery(queryNr);
    headerLine_ = line;
    queryNr_ = queryNr;
  }
  // Any other line outside the tables, except a separator that starts one,
  // and whether it is a row line.
  void otherLine(bool row) { strayRows_ += row; }
  // A table whose first row is line firstRowLine ended and stays whole.
  void wholeTable(uint64_t firstRowLine, int32_t queryNr, uint64_t rows) {
    tableRows_ = rows;
    tableRead_ = true;
    strayRowsBeforeTable_ = strayRows_;
    if (rows > limit_ && !isCuttableQuery(queryNr))
      note({firstRowLine, queryNr, rows, LargeResult::Shape::kTable});
  }
  // A table was cut.
  void cutTable() { cut_ = true; }
  // The log ended after line lastLine.
  void end(uint64_t lastLine) {
    endStretch(lastLine);
    watching_ = false;
  }

  // The results found since the last call, in the log's order.
  std::vector<LargeResult> take();

 private:
  void note(const LargeResult& result) {
    found_.push_back(result);
    noted_ = true;
  }
  void endStretch(uint64_t lastLine);

  uint64_t limit_;
  bool watching_ = false;    // the last header was of a query that is cut
  uint64_t headerLine_ = 0;  // 0 before the first header
  int32_t queryNr_ = 0;
  // Since that header (or the log's start):
  uint64_t strayRows_ = 0;  // lines containing "|" outside the tables
  uint64_t tableRows_ = 0;  // of the table that stays whole
  uint64_t strayRowsBeforeTable_ = 0;
  bool tableRead_ = false;
  bool cut_ = false;
  bool noted_ = false;
  std::vector<LargeResult> found_;
};

#endif  // STREAMTRIM_LARGE_RESULTS_H
