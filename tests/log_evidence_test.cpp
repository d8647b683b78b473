// A cut log is told only by a deletion marker in the cutter's exact
// three-line form, also where rows between its lines are left out. (UTF-16
// without a byte-order mark: log_format_test.cpp and not_a_log_test.cpp.)

#include "log/log_evidence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Notes every line of log, with its offset, leaving out the rows it holds
// when leaveOutRows is set.
LogEvidence evidenceOf(const std::string& log, bool leaveOutRows = false) {
  LogEvidence evidence;
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

TEST(LogEvidence, CutLogOnlyByTheExactThreeLineMarker) {
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
      {"two empty lines before", "x\n\n\n" + marker + "\n\n", false, true},
      {"no empty line before", "x\n" + marker + "\n\n", false, false},
      {"no empty line after", "\n" + marker + "\nx\n", false, false},
      {"a carriage return", "\n" + marker + "\r\n\n", false, false},
      {"a row between", "\n" + marker + "\na|b\n\n", true, false},
      {"a row between, left out", "\na|b\n" + marker + "\n\n", true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(evidenceOf(c.log, c.leaveOutRows).holdsDeletionMarker(), c.cut) << c.name;
}
