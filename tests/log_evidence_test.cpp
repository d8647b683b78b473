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
LogEvidence evidenceOf(const std::string& log, bool leaveOutRows, LogEvidence::Scope scope) {
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
  struct Case {
    const char* name;
    std::string log;  // "M": a marker's middle line; read with its rows and without
    bool cut;
  };
  const std::vector<Case> cases = {
      {"a marker", "a|1 [row: 1]\n\nM\n\na|9 [row: 9]\n", true},
      {"a marker between rows without numbers", "a|1\n\nM\n\na|9\n", true},
      {"CRLF line ends", "a|1\r\n\r\nM\r\n\r\na|9\r\n", true},
      {"a marker after text that is none", "a|1\n\nx\n\nM\n\na|2\n\nM\n\na|9\n", true},
      {"two empty lines before", "a|1\n\n\nM\n\na|9\n", false},
      {"two empty lines after", "a|1\n\nM\n\n\na|9\n", false},
      {"no empty line before", "a|1\nM\n\na|9\n", false},
      {"no empty line after", "a|1\n\nM\na|9\n", false},
      {"a carriage return on the marker alone", "a|1\n\nM\r\n\na|9\n", false},
      {"a carriage return on the empty lines alone", "a|1\r\n\r\nM\n\r\na|9\n", false},
      {"a carriage return on one empty line", "a|1\n\r\nM\r\n\na|9\n", false},
      {"no row before", "x\n\nM\n\na|9\n", false},
      {"no row after", "a|1\n\nM\n\nx\n", false},
      {"at the log's start", "\nM\n\na|9\n", false},
      {"at the log's end", "a|1\n\nM\n\n", false},
      {"two markers outside any result", "-- TPC-H Query 1\n\nM\n\nM\n\nselect 1;\n", false},
      {"a row between", "a|1\n\nM\na|b\n\na|9\n", false},
      {"a row between, before the marker", "a|1\n\na|b\nM\n\na|9\n", false},
  };
  for (const Case& c : cases) {
    std::string log;
    for (char ch : c.log)
      log += ch == 'M' ? std::string("----------- deleted 7 rows -----------") : std::string(1, ch);
    for (bool leaveOutRows : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (leaveOutRows ? ", rows left out" : ""));
      // A cut log that is checked is looked at for its encoding only.
      for (auto scope : {LogEvidence::Scope::kEncodingAndCut, LogEvidence::Scope::kEncoding}) {
        EXPECT_EQ(evidenceOf(log, leaveOutRows, scope).holdsDeletionMarker(),
                  c.cut && scope == LogEvidence::Scope::kEncodingAndCut);
      }
    }
  }
}
