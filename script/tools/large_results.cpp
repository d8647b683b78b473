#include "large_results.h"

#include <utility>

std::string largeResultNote(const LargeResult& result) {
  std::string rows = std::to_string(result.rows);
  std::string query = std::to_string(result.queryNr);
  switch (result.shape) {
    case LargeResult::Shape::kTable:
      return "note: a result of " + rows + " rows stays whole, since its header reads as query " +
             query +
             "'s and only queries 11, 16 and 20 are cut; the tool looks for a header line "
             "containing \"TPC-H Query\", one character and the query's number, and a line "
             "containing \"===\" before the rows";
    case LargeResult::Shape::kStrayRows:
      return "note: " + rows + " lines containing \"|\" after this header of query " + query +
             " stay whole, since they are not in a result table; the tool looks for a line "
             "containing \"===\" before the rows, each row a line containing \"|\"";
    default:
      return "note: " + rows +
             " lines from here up to the next header stay whole, none of them cut, more than "
             "a result the tool leaves whole may take; if they hold a result, the tool looks "
             "for a header line containing \"TPC-H Query\", one character and the query's "
             "number, a line containing \"===\" before the rows, and each row a line "
             "containing \"|\"";
  }
}

// A stretch read as one table the tool judged, and little else, is a
// result of up to the limit with its heading and row count. Rows after the
// table are more of the result, on another page.
void LargeResultWatch::endStretch(uint64_t lastLine) {
  if (watching_ && strayRows_ > limit_)
    note({headerLine_, queryNr_, strayRows_, LargeResult::Shape::kStrayRows});
  uint64_t lines = lastLine - headerLine_;
  bool readResult =
      tableRead_ && strayRows_ == strayRowsBeforeTable_ && lines - tableRows_ <= limit_;
  if (lines > limit_ && !cut_ && !noted_ && !readResult)
    found_.push_back({headerLine_ + 1, queryNr_, lines, LargeResult::Shape::kStretch});
  strayRows_ = tableRows_ = strayRowsBeforeTable_ = 0;
  tableRead_ = cut_ = noted_ = false;
}

std::vector<LargeResult> LargeResultWatch::take() {
  if (found_.empty())
    return {};  // the usual case, at every header
  return std::exchange(found_, {});
}
