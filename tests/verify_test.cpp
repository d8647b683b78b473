// End to end: streamtrim-verify passes streamtrim's own cuts, alone and
// against their originals, names the line of each kind of tampering, and
// tells a check it could not make from a violation.

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "stream_log.h"
#include "test_support.h"

namespace {

using Lines = std::vector<std::string>;

Lines splitLines(const std::string& text) {
  Lines lines;
  size_t pos = 0;
  for (size_t newline; (newline = text.find('\n', pos)) != text.npos; pos = newline + 1)
    lines.push_back(text.substr(pos, newline - pos));
  return lines;
}

std::string joinLines(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines)
    text.append(line).append("\n");
  return text;
}

// Index of the first line at or after `from` that ends with (or, with
// `start`, begins with) what.
size_t find(const Lines& lines, std::string_view what, size_t from = 0, bool start = false) {
  for (size_t i = from; i < lines.size(); ++i) {
    if (start ? lines[i].starts_with(what) : lines[i].ends_with(what))
      return i;
  }
  ADD_FAILURE() << "no line " << (start ? "starts" : "ends") << " with " << what;
  return lines.size() - 1;
}

size_t firstMarker(const Lines& lines, size_t from = 0) {
  return find(lines, "----------- deleted ", from, true);
}

// The number a kept row ends with, " [row: N]".
uint64_t rowNumber(const std::string& keptRow) {
  return std::stoull(keptRow.substr(keptRow.rfind(' ') + 1));
}

std::string keptRow(uint64_t rowNr) {
  return rowText(rowNr) + " [row: " + std::to_string(rowNr) + "]";
}

std::string marker(uint64_t deleted) {
  return "----------- deleted " + std::to_string(deleted) + " rows -----------";
}

using stream_log_detail::markerCount;

void eraseLines(Lines& l, size_t i, size_t count = 1) {
  l.erase(l.begin() + static_cast<long>(i), l.begin() + static_cast<long>(i + count));
}

struct Logs {
  TempDir dir;
  std::string original = dir.file("stream.log");
  std::string cut = dir.file("cut.log");

  explicit Logs(const std::string& log) {
    writeFile(original, log);
    RunResult run = runStreamtrim({original, cut});
    EXPECT_EQ(run.status, 0) << run.err;
  }
};

struct Mode {
  const char* name;
  bool withOriginal;
  bool anySample;
};

const Mode kModes[] = {{"strict alone", false, false},
                       {"any sample alone", false, true},
                       {"strict against the original", true, false},
                       {"any sample against the original", true, true}};

// How the checker begins a problem at a line of the cut log.
std::string problemAt(const Logs& logs, size_t line) {
  return "streamtrim-verify: " + logs.cut + ":" + std::to_string(line) + ": ";
}

RunResult verify(const Logs& logs, const Mode& mode) {
  std::vector<std::string> args;
  if (mode.anySample)
    args.push_back("--any-sample");
  args.push_back(logs.cut);
  if (mode.withOriginal)
    args.push_back(logs.original);
  return runVerify(args);
}

// Two cut results of query 16 between small results, so that a tampered
// first result is followed by one that must still be checked.
std::string twoCutResults() {
  return StreamLog().query(3, 5).query(16, 12000).query(16, 12000).query(7, 2).text();
}

}  // namespace

TEST(VerifyRoundTrip, StreamtrimsOwnCutVerifiesInEveryMode) {
  StreamLog unterminated;
  unterminated.query(5, 3).query(20, 10500, false);
  std::string openAtEnd = unterminated.text();
  openAtEnd.pop_back();
  const std::vector<std::pair<const char*, std::string>> logs = {
      {"the sample log", readFile(SAMPLE_LOG)},
      {"several cut results of one query",
       StreamLog().query(16, 12000).query(11, 11000).query(16, 30000).query(16, 10001).text()},
      {"CRLF line ends", StreamLog("\r").query(3, 4).query(20, 11000).query(9, 2).text()},
      {"a cut result open at an unterminated end", openAtEnd},
      {"nothing to cut", StreamLog().query(16, 10000).query(5, 20000).text()},
  };
  for (const auto& [name, log] : logs) {
    Logs files(log);
    for (const Mode& mode : kModes) {
      SCOPED_TRACE(std::string(name) + ", " + mode.name);
      RunResult run = verify(files, mode);
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(withoutNotes(run.err), "");
      EXPECT_TRUE(std::string_view(run.out).ends_with(": verified\n")) << run.out;
    }
  }
}

TEST(VerifyTampered, EachTamperingIsRejectedAtItsLine) {
  struct Tamper {
    const char* name;
    bool seenAlone;  // false: only the original shows it
    const char* says;
    std::function<size_t(Lines&)> apply;  // returns the 1-based line to be named
  };
  // Edits the first line that ends with `what`, and names it.
  auto atLine = [](const char* what, void (*edit)(Lines&, size_t)) {
    return [=](Lines& l) {
      size_t i = find(l, what);
      edit(l, i);
      return i + 1;
    };
  };
  const std::vector<Tamper> tampers = {
      {"a dropped block row", true, "expected row 500, found row 501",
       atLine(" [row: 500]", [](Lines& l, size_t i) { eraseLines(l, i); })},
      {"a dropped random row", true, "found another marker",
       [](Lines& l) {
         size_t row = firstMarker(l) + 2;
         eraseLines(l, row);
         return row + 2;  // the next marker's count line, now right after the first marker
       }},
      {"a renumbered row", true, "expected row 500, found row 5000",
       atLine(" [row: 500]",
              [](Lines& l, size_t i) { l[i].replace(l[i].size() - 4, 4, "5000]"); })},
      {"a wrong marker count", true, "expected a marker for",
       [](Lines& l) {
         size_t m = firstMarker(l);
         l[m].insert(std::string_view("----------- deleted ").size(), "1");
         return m + 1;
       }},
      {"two random rows made consecutive, markers consistent", true,
       "expected a deletion marker after row",
       [](Lines& l) {
         size_t first = firstMarker(l) + 2, second = first + 4, third = second + 4;
         uint64_t next = rowNumber(l[first]) + 1, after = rowNumber(l[third]);
         l[second] = keptRow(next);
         l[third - 2] = marker(after - next - 1);
         eraseLines(l, first + 1, second - first - 1);
         return first + 2;
       }},
      {"rows swapped", true, "expected row 10, found row 11",
       atLine(" [row: 10]", [](Lines& l, size_t i) { std::swap(l[i], l[i + 1]); })},
      {"a truncated cut", true, "before the end of the log",
       [](Lines& l) {
         l.resize(firstMarker(l) + 3);
         return l.size();
       }},
      {"query 5 cut", true, "found one of query 5",
       [](Lines& l) {
         size_t header = find(l, "-- TPC-H Query 16", 0, true);
         l[header].replace(15, 2, "5");
         return find(l, " [row: 1]", header) + 1;
       }},
      {"a copied line altered", false, "of the original",
       atLine("from partsupp, part", [](Lines& l, size_t i) { l[i] += " "; })},
      {"a copied line altered past the bytes a message shows", false,
       "as supplier_cnt\", found ...\"",
       atLine("as supplier_cnt", [](Lines& l, size_t i) { l[i].back() = 'T'; })},
      {"a kept row's text altered", false, "of the original",
       [](Lines& l) {
         size_t row = firstMarker(l) + 2;
         l[row].insert(0, "x");
         return row + 1;
       }},
  };
  Logs logs(twoCutResults());
  const Lines cut = splitLines(readFile(logs.cut));
  for (const Tamper& tamper : tampers) {
    SCOPED_TRACE(tamper.name);
    Lines lines = cut;
    size_t line = tamper.apply(lines);
    writeFile(logs.cut, joinLines(lines));
    RunResult run = verify(logs, kModes[tamper.seenAlone ? 0 : 2]);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with(problemAt(logs, line))) << run.err;
    EXPECT_NE(run.err.substr(0, run.err.find('\n')).find(tamper.says), std::string::npos)
        << run.err;
    EXPECT_EQ(verify(logs, kModes[tamper.seenAlone ? 2 : 0]).status, tamper.seenAlone ? 1 : 0);
  }
}

// Cuts whose sample meets the reporting rule but is not the one streamtrim
// draws, or results left whole: a strict check names the first line where
// the sample parts from the tool's (and, when the rows are a fresh run's
// first draw, that two cut logs may have been joined); a check for any
// sample accepts the log.
TEST(VerifyTampered, AnotherSampleIsRejectedOnlyWhenStrict) {
  const char* const kJoinedLogs =
      "the log may be two cut logs joined, which --any-sample accepts\n";
  const std::string first = StreamLog().query(3, 5).query(16, 12000).text();
  const std::string second = StreamLog().query(20, 11000).query(7, 2).text();
  struct Case {
    const char* name;
    std::string log;
    std::function<size_t(Logs&)> tamper;  // the 1-based line a strict check names, 0: unchecked
    const char* says;                     // after the line
    bool joined;
  };
  const std::vector<Case> cases = {
      // The second cut result's sample in place of the first's, which is not
      // a fresh run's either.
      {"another compliant sample", twoCutResults(),
       [](Logs& logs) {
         Lines lines = splitLines(readFile(logs.cut));
         size_t first = find(lines, " [row: 1]"), firstEnd = find(lines, "(12000 rows)", first);
         size_t second = find(lines, " [row: 1]", firstEnd),
                secondEnd = find(lines, "(12000 rows)", second);
         size_t differ = 0;
         while (lines[first + differ] == lines[second + differ])
           ++differ;
         std::copy(lines.begin() + static_cast<long>(second),
                   lines.begin() + static_cast<long>(secondEnd),
                   lines.begin() + static_cast<long>(first));
         writeFile(logs.cut, joinLines(lines));
         return first + differ + 3;  // the marker before the first differing row
       },
       "", false},
      // The second log's sample is a fresh run's first draw, not the next of
      // the sequence.
      {"two cut logs joined", first + second,
       [&](Logs& logs) {
         Logs one(first), other(second);
         writeFile(logs.cut, readFile(one.cut) + readFile(other.cut));
         Lines lines = splitLines(readFile(logs.cut));
         return find(lines, " [row: 1000]", find(lines, "-- TPC-H Query 20", 0, true)) + 5;
       },
       "expected row ", true},
      {"a result left whole", twoCutResults(),
       [](Logs& logs) {
         writeFile(logs.cut, readFile(logs.original));
         return size_t{0};
       },
       "", false},
  };
  for (const Case& c : cases) {
    Logs logs(c.log);
    size_t line = c.tamper(logs);
    for (const Mode& mode : kModes) {
      SCOPED_TRACE(std::string(c.name) + ", " + mode.name);
      RunResult run = verify(logs, mode);
      EXPECT_EQ(run.status, mode.anySample ? 0 : 1) << run.err;
      if (mode.anySample || line == 0)
        continue;
      EXPECT_TRUE(run.err.starts_with(problemAt(logs, line) + c.says)) << run.err;
      EXPECT_EQ(run.err.find(kJoinedLogs) != std::string::npos, c.joined) << run.err;
    }
  }
}

namespace {

// Inserts an empty line, a marker for `deleted` rows and an empty line after
// line index i; returns the 1-based line of the marker.
size_t insertMarker(Lines& l, size_t i, uint64_t deleted) {
  l.insert(l.begin() + static_cast<long>(i) + 1, {"", marker(deleted), ""});
  return i + 3;
}

// Moves the first drawn row after line index `from` that has room for it one
// row up, its markers recounted: a cut of the right shape and of the
// original's rows whose sample is not the tool's. Returns its 1-based line.
size_t moveDrawnRowUp(Lines& l, size_t from) {
  for (size_t m = firstMarker(l, from);; m = firstMarker(l, m + 1)) {
    if (markerCount(l[m + 4]) < 2)
      continue;  // the next row would be its neighbour
    uint64_t row = rowNumber(l[m + 2]) + 1;
    l[m] = marker(markerCount(l[m]) + 1);
    l[m + 2] = keptRow(row);
    l[m + 4] = marker(markerCount(l[m + 4]) - 1);
    return m + 3;
  }
}

// The modes of kModes, one bit each, as a near-miss names its problems in.
constexpr unsigned kStrictAlone = 1, kAnyAlone = 2, kStrictOriginal = 4, kAnyOriginal = 8;
constexpr unsigned kAlone = kStrictAlone | kAnyAlone,
                   kAgainstOriginal = kStrictOriginal | kAnyOriginal,
                   kStrict = kStrictAlone | kStrictOriginal, kEveryMode = 15;

struct Named {
  size_t line;  // 1-based, in the cut log
  std::string says;
  unsigned modes;  // where the check names it
};
using Problems = std::vector<Named>;
using Edit = std::function<Problems(Lines&)>;

// A line the cutter writes only inside cut results, added outside them at
// line m: named there alone, and as a line the original lacks against it.
Problems strayAt(size_t m, const std::string& says) {
  return {{m, says, kAlone}, {m - 1, "expected line", kAgainstOriginal}};
}

// A copy of the kept row at index i without its " [row: N]", put after it:
// a row line no cut result may hold. Returns its 1-based line.
size_t insertUntaggedRow(Lines& l, size_t i) {
  std::string untagged = l[i].substr(0, l[i].rfind(" [row: "));
  l.insert(l.begin() + static_cast<long>(i) + 1, untagged);
  return i + 2;
}

// A marker for `deleted` rows put after the row that ends with `row`.
Edit markerAfter(const char* row, uint64_t deleted, const char* says) {
  return [=](Lines& l) -> Problems {
    return {{insertMarker(l, find(l, row), deleted), says, kEveryMode}};
  };
}

// The rows from the one that ends with `row` to the cut result's last left out.
Edit rowsLeftOutFrom(const char* row, uint64_t count) {
  return [=](Lines& l) -> Problems {
    size_t first = find(l, row);
    eraseLines(l, first, count);
    return {{first + 1,
             "expected 3000 kept rows in a cut result, found " + std::to_string(3000 - count),
             kEveryMode}};
  };
}

// Another edit, and a drawn row of the next cut result moved by one, which
// only the checks named by `modes` see.
Edit andADrawnRowMoved(const Edit& edit, unsigned modes) {
  return [=](Lines& l) -> Problems {
    Problems problems = edit(l);
    problems.push_back({moveDrawnRowUp(l, find(l, "-- TPC-H Query 20", 0, true)),
                        ", the next row of streamtrim's sample, found row ", modes});
    return problems;
  };
}

}  // namespace

// Edits a checker that miscounted by one, took a wrong cutter's habit for the
// rule, or lost its draw's step would let through: each named at its line in
// every mode that can see it, one problem per cut result, and the log's other
// cut result still passing, its sample checked wherever the draw can keep
// step: with the original, whose row count the tool drew for, or alone when
// the tampered result's drawn rows confirm the row count it shows.
TEST(VerifyTampered, NearMissesAreRejectedAtTheirLine) {
  struct NearMiss {
    const char* name;
    const char* okCuts;  // in each of kModes, a digit: cut results that pass with their sample
    Edit apply;
  };
  const std::string log =
      StreamLog().query(3, 5).query(16, 12000).query(20, 10001).query(7, 2).text();
  // The same log whose first cut result has one row more: the draw the cut
  // shows when its last block is renumbered one up.
  const Lines drawnFor12001 = [] {
    Logs other(StreamLog().query(3, 5).query(16, 12001).query(20, 10001).query(7, 2).text());
    return splitLines(readFile(other.cut));
  }();
  const char* const kFirstBlockMarker = "(rows 1 to 1000 are all kept), found a deletion marker";
  const char* const kLastBlockMarker = "(the last 1000 rows are all kept), found a deletion marker";
  const char* const kStrayMarker = "expected deletion markers only inside cut results";
  const char* const kUntagged = "expected a kept row ending in \" [row: N]\", found \"Brand#";
  const Edit lastBlockMarker = markerAfter(" [row: 11001]", 3, kLastBlockMarker);
  const Edit row11500LeftOut = [](Lines& l) -> Problems {
    size_t row = find(l, " [row: 11500]");
    eraseLines(l, row);
    return {{row + 1, "expected row 11500, found row 11501", kEveryMode}};
  };
  const std::vector<NearMiss> nearMisses = {
      {"a marker counting one row too few", "1111",
       [](Lines& l) -> Problems {
         size_t m = firstMarker(l);
         l[m] = marker(markerCount(l[m]) - 1);
         return {{m + 1, "expected a marker for", kEveryMode}};
       }},
      {"the marker before the last block counting one row too many", "1111",
       [](Lines& l) -> Problems {
         size_t m = find(l, " [row: 11001]") - 2;
         l[m] = marker(markerCount(l[m]) + 1);
         return {{m + 1, "expected a marker for", kEveryMode}};
       }},
      {"a marker for 0 rows between two rows of the first block", "1111",
       markerAfter(" [row: 500]", 0, kFirstBlockMarker)},
      {"a marker before row 1000", "1111", markerAfter(" [row: 999]", 3, kFirstBlockMarker)},
      {"a marker between the first and the second row of the last block", "1111", lastBlockMarker},
      {"the same, and a drawn row of the next cut result moved by one", "0101",
       andADrawnRowMoved(lastBlockMarker, kStrict)},
      {"row 1001 kept as a random row without a marker", "0111",
       [](Lines& l) -> Problems {
         size_t m = firstMarker(l);
         uint64_t drawn = rowNumber(l[m + 2]);
         l[m + 2] = keptRow(1001);
         l[m + 4] = marker(markerCount(l[m + 4]) + drawn - 1001);
         eraseLines(l, m - 1, 3);
         return {{m, "expected a deletion marker after row 1000, found row 1001", kEveryMode}};
       }},
      {"a marker for 0 rows before row 1001 kept as a random row", "0111",
       [](Lines& l) -> Problems {
         size_t m = firstMarker(l);
         uint64_t drawn = markerCount(l[m]) + 1001;  // the first random row
         l[m] = marker(0);
         l[m + 2] = keptRow(1001);
         l[m + 4] = marker(markerCount(l[m + 4]) + drawn - 1001);
         return {{m + 1, "found a marker for 0 rows", kEveryMode}};
       }},
      {"a marker after a cut result's last row", "2222",
       [&](Lines& l) {
         return strayAt(insertMarker(l, find(l, " [row: 12000]"), 3), kStrayMarker);
       }},
      {"a marker and a row after a cut result's last row", "2222",
       [&](Lines& l) {
         size_t last = find(l, " [row: 12000]");
         size_t m = insertMarker(l, last, 3);
         l.insert(l.begin() + static_cast<long>(last) + 4, keptRow(12004));
         return strayAt(m, kStrayMarker);
       }},
      {"a marker in a query's text", "2222",
       [&](Lines& l) {
         return strayAt(insertMarker(l, find(l, "-- TPC-H Query 7", 0, true), 1), kStrayMarker);
       }},
      {"strays in three stretches between results", "2222",
       [&](Lines& l) {
         Problems problems =
             strayAt(insertMarker(l, find(l, "-- TPC-H Query 3", 0, true), 1), kStrayMarker);
         size_t footer = find(l, "(5 rows)");
         l.insert(l.begin() + static_cast<long>(footer) + 1, keptRow(6));
         problems.push_back({footer + 2, "found row 6 outside", kAlone});
         problems.push_back({insertMarker(l, find(l, " [row: 12000]"), 3), kStrayMarker, kAlone});
         return problems;
       }},
      {"a line with no column separator ending like a row tag, outside the results", "2222",
       [](Lines& l) -> Problems {
         size_t header = find(l, "-- TPC-H Query 7", 0, true);
         l.insert(l.begin() + static_cast<long>(header) + 1, "-- as in [row: 3]");
         return {{header + 2, "expected line", kAgainstOriginal}};
       }},
      {"an untagged row in the first block", "1111",
       [&](Lines& l) -> Problems {
         return {{insertUntaggedRow(l, find(l, " [row: 500]")), kUntagged, kEveryMode}};
       }},
      {"an untagged row after a drawn row", "1111",
       [&](Lines& l) -> Problems {
         return {{insertUntaggedRow(l, firstMarker(l) + 2), kUntagged, kEveryMode}};
       }},
      {"an untagged row after a cut result's last row", "1111",
       [&](Lines& l) -> Problems {
         return {{insertUntaggedRow(l, find(l, " [row: 12000]")), kUntagged, kEveryMode}};
       }},
      {"an untagged row in each cut result", "0000",
       [&](Lines& l) -> Problems {
         size_t first = insertUntaggedRow(l, find(l, " [row: 1000]"));
         size_t second =
             insertUntaggedRow(l, find(l, " [row: 1]", find(l, "-- TPC-H Query 20", 0, true)));
         return {{first, kUntagged, kEveryMode}, {second, kUntagged, kEveryMode}};
       }},
      {"one numbered row more after the last block", "1111",
       [](Lines& l) -> Problems {
         size_t last = find(l, " [row: 12000]");
         l.insert(l.begin() + static_cast<long>(last) + 1, keptRow(12001));
         return {{last + 2, "expected the cut result to end after 3000 kept rows, found row 12001",
                  kEveryMode}};
       }},
      {"one numbered row more after the last block, past an empty line", "2222",
       [](Lines& l) {
         size_t last = find(l, " [row: 12000]");
         l.insert(l.begin() + static_cast<long>(last) + 1, {"", keptRow(12001)});
         return strayAt(last + 3, "found row 12001 outside");
       }},
      {"one numbered row more after a cut result's footer", "2222",
       [](Lines& l) {
         size_t footer = find(l, "(12000 rows)");
         l.insert(l.begin() + static_cast<long>(footer) + 1, keptRow(12001));
         Problems problems = strayAt(footer + 2, "found row 12001 outside");
         problems[1].line = footer + 2;  // the original's footer is not the end of its result
         return problems;
       }},
      {"the last row left out", "0111", rowsLeftOutFrom(" [row: 12000]", 1)},
      // Against the original, the next result's draw goes by the original's
      // 12000 rows, not the 11900 the cut reaches (11999 would draw the same).
      {"the last 100 rows left out", "0111", rowsLeftOutFrom(" [row: 11901]", 100)},
      {"a row of the last block left out, its row count unreadable", "0111", row11500LeftOut},
      {"the same, and a drawn row of the next cut result moved by one", "0101",
       andADrawnRowMoved(row11500LeftOut, kStrictOriginal)},
      {"the last block renumbered one up, its marker counting one more", "0211",
       [&](Lines& l) -> Problems {
         size_t first = find(l, " [row: 11001]");
         l[first - 2] = marker(markerCount(l[first - 2]) + 1);
         for (size_t i = first; i < first + 1000; ++i)
           l[i] = keptRow(11002 + (i - first));
         size_t differs = firstMarker(l);
         while (!l[differs].ends_with("]") || l[differs] == drawnFor12001[differs])
           ++differs;
         return {{differs + 1, ", the next row of streamtrim's sample, found row ", kStrictAlone},
                 {first + 1000, "expected a row the original's result has", kAgainstOriginal}};
       }},
      {"a cut result ending at row 10000", "1111",
       [](Lines& l) -> Problems {
         size_t first = find(l, " [row: 10001]") - 999;
         l[first - 2] = marker(markerCount(l[first - 2]) - 1);
         for (size_t i = first; i < first + 1000; ++i)
           l[i] = keptRow(9001 + (i - first));
         return {{first + 1000, "expected a cut result of more than 10000 rows, found one of 10000",
                  kEveryMode}};
       }},
      {"a result left whole before a correct cut", "1111",
       [](Lines& l) -> Problems {
         size_t first = find(l, " [row: 1]"), end = find(l, "(12000 rows)", first);
         Lines whole;
         for (uint64_t r = 1; r <= 12000; ++r)
           whole.push_back(rowText(r));
         eraseLines(l, first, end - first);
         l.insert(l.begin() + static_cast<long>(first), whole.begin(), whole.end());
         return {{first + 1, "expected query 16's result of 12000 rows to be cut", kStrict}};
       }},
  };
  Logs logs(log);
  const Lines cut = splitLines(readFile(logs.cut));
  for (const NearMiss& nearMiss : nearMisses) {
    Lines lines = cut;
    const Problems named = nearMiss.apply(lines);
    writeFile(logs.cut, joinLines(lines));
    for (size_t m = 0; m < std::size(kModes); ++m) {
      const Mode& mode = kModes[m];
      SCOPED_TRACE(std::string(nearMiss.name) + ", " + mode.name);
      RunResult run = verify(logs, mode);
      Problems expected;
      for (const Named& problem : named) {
        if ((problem.modes >> m & 1) != 0)
          expected.push_back(problem);
      }
      EXPECT_EQ(run.status, expected.empty() ? 0 : 1) << run.err;
      Lines problems = splitLines(run.err);
      EXPECT_EQ(problems.size(), expected.size()) << run.err;
      for (size_t p = 0; p < std::min(problems.size(), expected.size()); ++p) {
        std::string at = problemAt(logs, expected[p].line);
        EXPECT_TRUE(problems[p].starts_with(at) && problems[p].find(expected[p].says) != at.npos)
            << "expected " << at << "..." << expected[p].says << "..., found " << problems[p];
      }
      std::string count =
          expected.size() == 1 ? "1 problem" : std::to_string(expected.size()) + " problems";
      EXPECT_TRUE(run.out.ends_with(expected.empty() ? ": verified\n" : ": " + count + "\n"))
          << run.out;
      std::string ok = mode.anySample ? "shape ok, sample any" : "shape ok, sample ok";
      int okCuts = 0;
      for (const std::string& report : splitLines(run.out))
        okCuts += report.find(ok) != report.npos && report.find("differ") == report.npos;
      EXPECT_EQ(okCuts, nearMiss.okCuts[m] - '0') << run.out;
    }
  }
}

// Each log is read once, front to back, so either may come from a pipe: a
// FIFO, or a pipe by its /dev/fd path (standard input, on POSIX). Through a
// pipe the check finds what it finds in a file: a missing last newline, a
// log in UTF-16.
TEST(VerifyPipes, EitherLogMayComeFromAPipe) {
  enum Source { kNone, kFile, kFifo, kStandardInput };
  struct Case {
    Source cut, original;
    const char* cutEnd;         // appended to the cut log
    const char* originalStart;  // put before the original
    int status;
    const char* says;  // in the report or the first problem
  };
  const Case cases[] = {
      {kFifo, kNone, "", "", 0, ": verified\n"},
      {kFile, kFifo, "", "", 0, ": verified\n"},
      {kFifo, kFifo, "", "", 0, ": verified\n"},
      {kFile, kStandardInput, "", "", 0, ": verified\n"},
      {kFifo, kNone, "Time: 1 ms", "", 1, "expected a newline at the end of the last line"},
      {kFile, kFifo, "", "\xff\xfe", 2, "a UTF-16 log"},
  };
  Logs logs(twoCutResults());
  const std::string cutFile = logs.dir.file("piped-cut.log"), file = logs.dir.file("piped.log");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.cut) + " " + std::to_string(c.original) + " " + c.says);
    if (!systemIsPosix() && c.original == kStandardInput)
      continue;
    writeFile(cutFile, readFile(logs.cut) + c.cutEnd);
    writeFile(file, c.originalStart + readFile(logs.original));
    FedPipe cutPipe(logs.dir, readFile(cutFile)), pipe(logs.dir, readFile(file));
    std::vector<std::string> args = {c.cut == kFifo ? cutPipe.path() : cutFile};
    if (c.original == kFile || c.original == kFifo)
      args.push_back(c.original == kFifo ? pipe.path() : file);
    std::string script = "cat \"$2\" | " + emulatorPrefix() + "\"$0\" \"$1\" /dev/stdin";
    RunResult run =
        c.original == kStandardInput
            ? runProgram("/bin/sh", {"sh", "-c", script, STREAMTRIM_VERIFY_BINARY, cutFile, file})
            : runVerify(args);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
  }
}

TEST(VerifyCannotCheck, MisuseAndUnreadableArgumentsGiveStatusTwo) {
  TempDir dir;
  writeFile(dir.file("cut.log"), "");
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--no-such-option", dir.file("cut.log")},
      {dir.file("cut.log"), dir.file("cut.log"), dir.file("cut.log")},
      {dir.file("missing.log")},
      {dir.file("cut.log"), dir.file("missing.log")},
      {dir.path()},
      {dir.file("cut.log"), dir.path()},
      {kNullDevice},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.empty() ? "no arguments" : args.back());
    RunResult run = runVerify(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.starts_with("streamtrim-verify: ") || run.err.starts_with("usage: "))
        << run.err;
    EXPECT_EQ(run.out, "");
  }
}

TEST(VerifyCannotCheck, AFullOutputGivesStatusTwo) {
  if (fullDevice() == nullptr)
    GTEST_SKIP() << "this system has no device that is always full";
  TempDir dir;
  writeFile(dir.file("cut.log"), "");
  RunOptions full;
  full.stdoutPath = fullDevice();
  RunResult run = runVerify({dir.file("cut.log")}, full);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "streamtrim-verify: standard output: " + systemReason(SystemError::kNoSpace) + "\n");
  for (const char* option : {"--version", "--help"}) {  // what they print must be written too
    RunResult answer = runVerify({option}, full);
    EXPECT_EQ(answer.status, 2) << option;
    EXPECT_EQ(answer.err, run.err) << option;
  }
}

// --version answers with the project's version and reads no file; after "--"
// it is a file name like any other. The man pages carry the same version.
TEST(VerifyVersion, PrintsTheProjectVersionAndExits) {
  const std::string version = std::string("streamtrim-verify ") + PROJECT_VERSION + "\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    bool printsVersion;
  };
  const std::vector<Case> cases = {
      {{"--version"}, 0, true},
      {{"--version", "missing.log"}, 0, true},
      {{"--any-sample", "--version"}, 0, true},
      {{"--", "--version"}, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    RunResult run = runVerify(c.args);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.out, c.printsVersion ? version : "");
    EXPECT_EQ(run.err.empty(), c.printsVersion) << run.err;
  }
  EXPECT_NE(runVerify({"--help"}).out.find("--version"), std::string::npos);
  for (const char* page : {"streamtrim.1", "streamtrim-verify.1"}) {
    std::string text = readFile(std::string(DOC_DIR) + "/" + page);
    std::string title = text.substr(0, text.find('\n'));
    EXPECT_NE(title.find(std::string("\"streamtrim ") + PROJECT_VERSION + "\""), std::string::npos)
        << page << ": " << title;
    EXPECT_NE(title.find(std::string("\"") + RELEASE_DATE + "\""), std::string::npos)
        << page << ": " << title;
  }
}

// Line ends converted to CRLF after the cut put a carriage return after
// lines that the cutter ends with a newline alone: named at the first such
// line, alone and against the original. A log that has CRLF line ends
// itself is cut with its carriage returns before the row tags, and passes.
TEST(VerifyLineEnds, AConversionToCrlfAfterTheCutIsNamedAtItsLine) {
  struct Conversion {
    const char* name;
    bool crlfLog;
    bool everyLine;                             // else only the line named
    std::function<size_t(const Lines&)> named;  // index of the line to be named; none: no problem
  };
  const std::vector<Conversion> conversions = {
      {"every line", false, true, [](const Lines& l) { return find(l, " [row: 1]"); }},
      {"every line of a CRLF log's cut", true, true,
       [](const Lines& l) { return find(l, "\r [row: 1]"); }},
      {"a kept row", false, false, [](const Lines& l) { return find(l, " [row: 500]"); }},
      {"a marker", false, false, [](const Lines& l) { return firstMarker(l); }},
      {"the empty line before a marker", false, false,
       [](const Lines& l) { return firstMarker(l) - 1; }},
      {"the empty line after a marker", false, false,
       [](const Lines& l) { return firstMarker(l) + 1; }},
      {"none in a CRLF log's cut", true, false, nullptr},
  };
  const std::string log = StreamLog().query(3, 5).query(16, 12000).query(7, 2).text();
  const std::string crlfLog = StreamLog("\r").query(3, 5).query(16, 12000).query(7, 2).text();
  for (const Conversion& conversion : conversions) {
    Logs logs(conversion.crlfLog ? crlfLog : log);
    Lines lines = splitLines(readFile(logs.cut));
    size_t line = conversion.named ? conversion.named(lines) + 1 : 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (conversion.everyLine || i + 1 == line)
        lines[i] += "\r";
    }
    writeFile(logs.cut, joinLines(lines));
    for (const Mode& mode : {kModes[0], kModes[2]}) {
      SCOPED_TRACE(std::string(conversion.name) + ", " + mode.name);
      RunResult run = verify(logs, mode);
      EXPECT_EQ(run.status, line == 0 ? 0 : 1) << run.err;
      if (line == 0) {
        EXPECT_EQ(run.err, "");
        continue;
      }
      size_t at = run.err.find(problemAt(logs, line) + "expected ");
      EXPECT_TRUE(at != std::string::npos &&
                  run.err.substr(at, run.err.find('\n', at) - at).find("line-end conversion") !=
                      std::string::npos)
          << "no conversion named at line " << line << ": " << run.err;
    }
  }
}

// A result begins at its separator line, for the checker as for streamtrim's
// count: a separator as the log's last line, with or without its newline,
// begins one; a separator outside a query begins none.
TEST(VerifySummary, CountsTheResultsAsStreamtrimDoes) {
  struct Case {
    const char* name;
    std::string log;
    bool unterminated;  // the cut log's last newline taken away: a problem of its own
    const char* counts;
  };
  const std::string separatorLast =
      StreamLog().query(3, 5).query(16, 12000).query(7, 0, false).text();
  const std::vector<Case> cases = {
      {"a separator as the last line", separatorLast, false, ": 3 results, 1 cut, "},
      {"the same without its newline", separatorLast, true, ": 3 results, 1 cut, "},
      {"a result without rows", StreamLog().query(3, 5).query(7, 0).text(), false,
       ": 2 results, 0 cut, "},
      {"a separator after a cut result's last row",
       StreamLog().query(16, 12000, false).text() + "===\n", false, ": 1 results, 1 cut, "},
      {"a separator before the first header", "===\n" + StreamLog().query(3, 5).text(), false,
       ": 1 results, 0 cut, "},
  };
  for (const Case& c : cases) {
    Logs logs(c.log);
    if (c.unterminated) {
      std::string cut = readFile(logs.cut);
      ASSERT_TRUE(cut.ends_with("=\n"));
      writeFile(logs.cut, cut.substr(0, cut.size() - 1));
    }
    for (const Mode& mode : {kModes[0], kModes[2]}) {
      SCOPED_TRACE(std::string(c.name) + ", " + mode.name);
      RunResult run = verify(logs, mode);
      EXPECT_EQ(run.status, c.unterminated ? 1 : 0) << run.err;
      EXPECT_NE(run.out.find(c.counts), std::string::npos) << run.out;
    }
  }
}

// "-" names a file, as any other name: standard input, here another log,
// is read only by its own path.
TEST(VerifyArguments, ADashIsAFileName) {
  SKIP_UNLESS_POSIX("standard input is given through the shell");
  Logs logs(twoCutResults());
  Logs other(StreamLog().query(3, 5).text());
  struct Case {
    bool dashIsCut;  // else "-" is the original
    std::vector<std::string> args;
    const char* says;
  };
  const std::vector<Case> cases = {
      {true, {"-"}, "-: 4 results, 2 cut, checked strictly alone: verified\n"},
      {true, {"--", "-"}, "-: 4 results, 2 cut, checked strictly alone: verified\n"},
      {true,
       {"--any-sample", "-", "stream.log"},
       "-: 4 results, 2 cut, checked for any sample against stream.log: verified\n"},
      {false,
       {"cut.log", "-"},
       "cut.log: 4 results, 2 cut, checked strictly against -: verified\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    writeFile(logs.dir.file("-"), readFile(c.dashIsCut ? logs.cut : logs.original));
    std::vector<std::string> args = {"sh", "-c", "exec " + emulatorPrefix() + "\"$@\" < \"$0\"",
                                     other.cut, STREAMTRIM_VERIFY_BINARY};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RunOptions inDir;
    inDir.cwd = logs.dir.path();
    RunResult run = runProgram("/bin/sh", args, inDir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.ends_with(c.says)) << run.out;
  }
}
