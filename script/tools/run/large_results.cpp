#include "run/large_results.h"

#include <utility>

std::string largeResultNote(const LargeResult& result) {
  std::string rows = std::to_string(result.rows);
  std::string query = std::to_string(result.queryNr);
  if (result.inTable)
    return "note: a result of " + rows + " rows stays whole, since its header reads as query " +
           query +
           "'s and only queries 11, 16 and 20 are cut; the tool looks for a header line "
           "containing \"TPC-H Query\", one character and the query's number, and a line "
           "containing \"===\" before the rows";
  return "note: " + rows + " lines containing \"|\" after this header of query " + query +
         " stay whole, since they are not in a result table; the tool looks for a line "
         "containing \"===\" before the rows, each row a line containing \"|\"";
}

std::vector<LargeResult> LargeResultWatch::take() {
  return std::exchange(found_, {});
}
