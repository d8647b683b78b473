#include "large_results.h"

#include <algorithm>
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
      return "note: " + rows + " rows after this header of query " + query +
             " stay whole, since they are not in a result table; the tool looks for a line "
             "containing \"===\" before the rows, each row a line containing \"|\"";
    default:
      return "note: " + rows +
             " rows from here up to the next header stay whole, none of them cut, more than "
             "a result the tool leaves whole may hold; if they are a result, the tool looks "
             "for a header line containing \"TPC-H Query\", one character and the query's "
             "number, a line containing \"===\" before the rows, and each row a line "
             "containing \"|\"";
  }
}

namespace {

// Plain loops: the first character tells most lines apart, and these run
// on every line outside the tables.
bool isBlankChar(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

bool isBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), isBlankChar);
}

// A line of "-" or "=", with "+", "|" and blanks: under a heading, between
// pages, around a box.
bool isRuler(std::string_view text) {
  bool rule = false;
  for (char c : text) {
    if (c == '-' || c == '=')
      rule = true;
    else if (c != '+' && c != '|' && !isBlankChar(c))
      return false;
  }
  return rule;
}

// An expanded record's first line, "-[ RECORD 12 ]-+---" ("+-[ RECORD 12 ]"
// in a box).
bool isRecordHeader(std::string_view text) {
  return text.starts_with("-[ RECORD ") || text.starts_with("+-[ RECORD ");
}

// The line that counts a result's rows: "(9000 rows)", "9000 rows selected.",
// "1 row in set".
bool isRowCount(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && (isBlankChar(text[at]) || text[at] == '('))
    ++at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9')
    ++at;  // at least one, as " row" cannot follow the blanks
  return text.substr(at).starts_with(" row");
}

}  // namespace

void LargeResultWatch::header(uint64_t line, int32_t queryNr) {
  endStretch();
  watching_ = isCuttableQuery(queryNr);
  headerLine_ = line;
  queryNr_ = queryNr;
}

void LargeResultWatch::otherLine(std::string_view text, bool row) {
  if (isRuler(text)) {
    inRecord_ = false;
    endHeading(text.starts_with('+'));
    endTable();
    return;
  }
  endTable();
  count(text, row);
}

void LargeResultWatch::wholeTable(uint64_t firstRowLine, int32_t queryNr, uint64_t rows) {
  tableRows_ = rows;
  tableRead_ = true;
  rowsBeforeTable_ = rows_;
  tableJudged_ = isCuttableQuery(queryNr);  // within the limit, or it would be cut
  tableLine_ = firstRowLine;
  tableQueryNr_ = queryNr;
  if (rows > 0) {
    beforeLast_ = rows > 1 ? Kind::kTableRow : last_;
    last_ = Kind::kTableRow;
  }
}

// A box's upper edge and the one under its heading follow a ruler or the
// heading, its lower edge follows a row; every other ruler is under a
// heading.
void LargeResultWatch::endHeading(bool boxEdge) {
  Kind kind = Kind::kRuler;
  if (!boxEdge || beforeLast_ == Kind::kRuler) {
    uint64_t* heading = last_ == Kind::kRow        ? &rows_
                        : last_ == Kind::kOther    ? &others_
                        : last_ == Kind::kTableRow ? &tableRows_
                                                   : nullptr;
    if (heading != nullptr) {
      --*heading;
      kind = Kind::kHeadingRuler;
    }
  }
  beginRows();
  beforeLast_ = last_;
  last_ = kind;
}

void LargeResultWatch::count(std::string_view text, bool row) {
  Kind kind = Kind::kNone;
  if (isRecordHeader(text)) {
    beginRows();
    inRecord_ = true;
    ++rows_;
  } else if (row && !inRecord_) {  // in a record, a "column | value" line
    ++rows_;
    kind = Kind::kRow;
  } else if (!row) {
    inRecord_ = false;
    if (!isBlank(text) && !isRowCount(text)) {
      ++others_;
      kind = Kind::kOther;
    }
  }
  beforeLast_ = last_;
  last_ = kind;
}

void LargeResultWatch::judgeTable() {
  if (tableRows_ > limit_)
    note({tableLine_, tableQueryNr_, tableRows_, LargeResult::Shape::kTable});
  tableJudged_ = true;
}

// A stretch read as one table the tool judged, and little else, is a
// result of up to the limit with its heading and row count. Rows containing
// "|" after the table are more of the result, on another page.
void LargeResultWatch::endStretch() {
  endTable();
  if (watching_ && rows_ > limit_)
    note({headerLine_, queryNr_, rows_, LargeResult::Shape::kStrayRows});
  uint64_t rows = tableRows_ + rows_;
  bool readResult = tableRead_ && rows_ == rowsBeforeTable_ && rows_ <= limit_;
  bool large = others_ > limit_ || (rows > limit_ && !readResult);
  if (large && !cut_ && !noted_)
    found_.push_back(
        {headerLine_ + 1, queryNr_, std::max(rows, others_), LargeResult::Shape::kStretch});
  rows_ = others_ = tableRows_ = rowsBeforeTable_ = 0;
  tableRead_ = cut_ = noted_ = inRecord_ = ruled_ = false;
  last_ = beforeLast_ = Kind::kNone;
}

std::vector<LargeResult> LargeResultWatch::take() {
  if (found_.empty())
    return {};  // the usual case, at every header
  return std::exchange(found_, {});
}
