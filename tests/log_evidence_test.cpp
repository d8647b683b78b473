// A cut log is told only by a deletion marker in the cutter's exact
// three-line form between two rows, its line ends all LF or all CRLF, also
// where rows are left out. (UTF-16 and UTF-32 without a byte-order mark:
// log_format_test.cpp and not_a_log_test.cpp.)

#include "log/log_evidence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Notes every line of log, with its offset, leaving out the rows it holds
// when leaveOutRows is set.
LogEvidence evidenceOf(const std::string& log, bool leaveOutRows = false,
                       LogEvidence::Scope scope = LogEvidence::Scope::kEncodingAndCut) {
  LogEvidence evidence(scope);
  for (size_t pos = 0; pos < log.size();) {
    size_t end = log.find('\n', pos);
    end = end == log.npos ? log.size() : end;
    std::string line = log.substr(pos, end - pos);
    if (leaveOutRows && line.find('|') != line.npos)
      evidence.rowsLeftOut();
    else
      evidence.noteLine(line, pos);
    pos = end + 1;
  }
  return evidence;
}

}  // namespace

TEST(LogEvidence, CutLogOnlyByTheExactThreeLineMarkerBetweenRows) {
  const std::string marker = "----------- deleted 7 rows -----------";
  struct Case {
    const char* name;
    std::string log;
    bool leaveOutRows;
    bool cut;
  };
  const std::vector<Case> cases = {
      {"a marker", "a|1 [row: 1]\n\n" + marker + "\n\na|9 [row: 9]\n", false, true},
      {"a marker, rows left out", "a|1\n\n" + marker + "\n\na|9\n", true, true},
      {"CRLF line ends", "a|1\r\n\r\n" + marker + "\r\n\r\na|9\r\n", false, true},
      {"CRLF line ends, rows left out", "a|1\r\n\r\n" + marker + "\r\n\r\na|9\r\n", true, true},
      {"a marker after text that is none",
       "a|1\n\nx\n\n" + marker + "\n\na|2\n\n" + marker + "\n\na|9\n", false, true},
      {"two empty lines before", "a|1\n\n\n" + marker + "\n\na|9\n", false, false},
      {"two empty lines after", "a|1\n\n" + marker + "\n\n\na|9\n", false, false},
      {"no empty line before", "a|1\n" + marker + "\n\na|9\n", false, false},
      {"no empty line after", "a|1\n\n" + marker + "\na|9\n", false, false},
      {"a carriage return on the marker alone", "a|1\n\n" + marker + "\r\n\na|9\n", false, false},
      {"a carriage return on the empty lines alone", "a|1\r\n\r\n" + marker + "\n\r\na|9\n", false,
       false},
      {"a carriage return on one empty line", "a|1\n\r\n" + marker + "\r\n\na|9\n", false, false},
      {"no row before", "x\n\n" + marker + "\n\na|9\n", false, false},
      {"no row after", "a|1\n\n" + marker + "\n\nx\n", false, false},
      {"no row after, rows left out", "a|1\n\n" + marker + "\n\nx\n", true, false},
      {"at the log's start", "\n" + marker + "\n\na|9\n", false, false},
      {"at the log's end", "a|1\n\n" + marker + "\n\n", false, false},
      {"two markers outside any result",
       "-- TPC-H Query 1\n\n" + marker + "\n\n" + marker + "\n\nselect 1;\n", false, false},
      {"a row between", "a|1\n\n" + marker + "\na|b\n\na|9\n", true, false},
      {"a row between, left out", "a|1\n\na|b\n" + marker + "\n\na|9\n", true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(evidenceOf(c.log, c.leaveOutRows).holdsDeletionMarker(), c.cut) << c.name;
    // A cut log that is checked is looked at for its encoding only.
    EXPECT_FALSE(
        evidenceOf(c.log, c.leaveOutRows, LogEvidence::Scope::kEncoding).holdsDeletionMarker())
        << c.name;
  }
}
