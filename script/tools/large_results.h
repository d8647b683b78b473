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
// - more rows containing "|" than the limit between a header of query 11, 16
//   or 20 and the next header, outside the tables found: rows without a line
//   containing "===" before them, as PostgreSQL's aligned output (a
//   "---+---" ruler), its expanded display, MySQL's boxed tables and a banner
//   of "=" framing the header give;
// - more rows than the limit between two header lines (or the log's start or
//   end), none of them cut: tab-separated or space-aligned rows, a header
//   the tool does not read ("TPC-H query 16") so that its rows follow the
//   previous query's output, a result printed in pages. Such a stretch is
//   left alone when it is a result read as a table, which the tool judged by
//   its rows, with no more rows than the limit besides and no row containing
//   "|" after it: the SQL text, the heading and a row count around a result
//   of up to the limit.
//
// Only the notes count rows so; the cut counts the lines containing "|" of
// a table, as log_format.h says. A note counts rows, not lines, since a
// client prints more lines than rows: blank lines, rulers (lines of "-" or
// "=", with "+", "|" and blanks), the heading above a ruler (repeated on
// every page), the line that counts a result's rows ("(9000 rows)", "9000
// rows selected.") and the field lines of an expanded record ("-[ RECORD 1
// ]-", then one "column | value" line each) are no rows; a record is one.
// Rows are counted from the first ruler, separator or record after a
// header: the lines before are the query's text. A stretch's rows are those
// containing "|" or, when more, its other lines that are rows: a result's
// rows share one shape, and the lines of the other are its text and timing.
//
// Both programs follow the lines outside the tables, and the tables, through
// a LargeResultWatch and give one note per such result; nothing else changes.

#ifndef STREAMTRIM_LARGE_RESULTS_H
#define STREAMTRIM_LARGE_RESULTS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sampler.h"

struct LargeResult {
  enum class Shape { kTable, kStrayRows, kStretch };
  uint64_t line = 0;    // of its first row in a table, of its query's header for stray
                        // rows, of a stretch's first line
  int32_t queryNr = 0;  // of the last header before it
  uint64_t rows = 0;    // the table's rows, the stray rows or the stretch's rows
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
  void header(uint64_t line, int32_t queryNr);
  // Any other line outside the tables, except a separator that starts one,
  // and whether it is a row line (contains "|").
  void otherLine(std::string_view text, bool row);
  // A separator started a table: the line before it was a heading.
  void tableBegins() { endHeading(false); }
  // A table whose first row is line firstRowLine ended and stays whole. Its
  // last row is a heading when a ruler follows it, so the line after it
  // decides its count.
  void wholeTable(uint64_t firstRowLine, int32_t queryNr, uint64_t rows);
  // A table was cut.
  void cutTable() {
    cut_ = true;
    last_ = Kind::kNone;
  }
  // The log ended.
  void end() {
    endStretch();
    watching_ = false;
  }

  // The results found since the last call, in the log's order.
  std::vector<LargeResult> take();

 private:
  // What a line outside the tables is, as far as rows go.
  enum class Kind { kNone, kRuler, kHeadingRuler, kRow, kOther, kTableRow };

  void note(const LargeResult& result) {
    found_.push_back(result);
    noted_ = true;
  }
  // A ruler, or a separator: the line before it is a heading, no row, unless
  // the ruler is a box's lower edge, below a row.
  void endHeading(bool boxEdge);
  // A ruler, a separator or an expanded record: the lines before the first
  // in a stretch are its query's text, no rows.
  void beginRows() {
    if (!ruled_)
      rows_ = others_ = 0;
    ruled_ = true;
  }
  void count(std::string_view text, bool row);
  // The table read last, once the line after it is known.
  void endTable() {
    if (!tableJudged_)
      judgeTable();
  }
  void judgeTable();
  void endStretch();

  uint64_t limit_;
  bool watching_ = false;    // the last header was of a query that is cut
  uint64_t headerLine_ = 0;  // 0 before the first header
  int32_t queryNr_ = 0;
  // Since that header (or the log's start):
  uint64_t rows_ = 0;       // rows containing "|" (or records) outside the tables
  uint64_t others_ = 0;     // other lines that are rows
  uint64_t tableRows_ = 0;  // of the table that stays whole
  uint64_t rowsBeforeTable_ = 0;
  bool tableRead_ = false;
  bool tableJudged_ = true;  // whether the table's own note was decided
  uint64_t tableLine_ = 0;
  int32_t tableQueryNr_ = 0;
  bool cut_ = false;
  bool noted_ = false;
  bool inRecord_ = false;  // the lines before were an expanded record's
  bool ruled_ = false;     // a ruler, a separator or an expanded record was read
  Kind last_ = Kind::kNone, beforeLast_ = Kind::kNone;  // the two lines read last
  std::vector<LargeResult> found_;
};

#endif  // STREAMTRIM_LARGE_RESULTS_H
