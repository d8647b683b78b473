// End to end: streamtrim-verify passes streamtrim's own cuts, alone and
// against their originals, names the line of each kind of tampering, and
// tells a check it could not make from a violation.

#include <functional>
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

size_t firstMarker(const Lines& lines) {
  return find(lines, "----------- deleted ", 0, true);
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
    bool seenAlone;                       // false: only the original shows it
    std::function<size_t(Lines&)> apply;  // returns the 1-based line to be named
    const char* says;
  };
  const std::vector<Tamper> tampers = {
      {"a dropped block row", true,
       [](Lines& l) {
         size_t i = find(l, " [row: 500]");
         l.erase(l.begin() + static_cast<long>(i));
         return i + 1;
       },
       "expected row 500, found row 501"},
      {"a dropped random row", true,
       [](Lines& l) {
         size_t row = firstMarker(l) + 2;
         l.erase(l.begin() + static_cast<long>(row));
         return row + 2;  // the next marker's count line, now right after the first marker
       },
       "found another marker"},
      {"a renumbered row", true,
       [](Lines& l) {
         size_t i = find(l, " [row: 500]");
         l[i].replace(l[i].size() - 4, 4, "5000]");
         return i + 1;
       },
       "expected row 500, found row 5000"},
      {"a wrong marker count", true,
       [](Lines& l) {
         size_t m = firstMarker(l);
         l[m].insert(std::string_view("----------- deleted ").size(), "1");
         return m + 1;
       },
       "expected a marker for"},
      {"two random rows made consecutive, markers consistent", true,
       [](Lines& l) {
         size_t first = firstMarker(l) + 2, second = first + 4, third = second + 4;
         auto number = [&](size_t i) { return std::stoull(l[i].substr(l[i].rfind(' ') + 1)); };
         uint64_t next = number(first) + 1, after = number(third);
         l[second] = rowText(next) + " [row: " + std::to_string(next) + "]";
         l[third - 2] =
             "----------- deleted " + std::to_string(after - next - 1) + " rows -----------";
         l.erase(l.begin() + static_cast<long>(first) + 1, l.begin() + static_cast<long>(second));
         return first + 2;
       },
       "expected a deletion marker after row"},
      {"rows swapped", true,
       [](Lines& l) {
         size_t i = find(l, " [row: 10]");
         std::swap(l[i], l[i + 1]);
         return i + 1;
       },
       "expected row 10, found row 11"},
      {"a truncated cut", true,
       [](Lines& l) {
         l.resize(firstMarker(l) + 3);
         return l.size();
       },
       "before the end of the log"},
      {"query 5 cut", true,
       [](Lines& l) {
         size_t header = find(l, "-- TPC-H Query 16", 0, true);
         l[header].replace(15, 2, "5");
         return find(l, " [row: 1]", header) + 1;
       },
       "found one of query 5"},
      {"a copied line altered", false,
       [](Lines& l) {
         size_t i = find(l, "from partsupp, part");
         l[i] += " ";
         return i + 1;
       },
       "of the original"},
      {"a copied line altered past the bytes a message shows", false,
       [](Lines& l) {
         size_t i = find(l, "as supplier_cnt");
         l[i].back() = 'T';
         return i + 1;
       },
       "as supplier_cnt\", found ...\""},
      {"a kept row's text altered", false,
       [](Lines& l) {
         size_t row = firstMarker(l) + 2;
         l[row].insert(0, "x");
         return row + 1;
       },
       "of the original"},
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
    std::string named = "streamtrim-verify: " + logs.cut + ":" + std::to_string(line) + ": ";
    EXPECT_TRUE(run.err.starts_with(named)) << run.err;
    EXPECT_NE(run.err.substr(0, run.err.find('\n')).find(tamper.says), std::string::npos)
        << run.err;
    EXPECT_EQ(verify(logs, kModes[tamper.seenAlone ? 2 : 0]).status, tamper.seenAlone ? 1 : 0);
  }
}

// A sample that meets the reporting rule but is not the one streamtrim
// draws: the second cut result's sample put in place of the first's.
TEST(VerifyTampered, AnotherCompliantSampleIsRejectedOnlyWhenStrict) {
  Logs logs(twoCutResults());
  Lines lines = splitLines(readFile(logs.cut));
  size_t first = find(lines, " [row: 1]"), firstEnd = find(lines, "(12000 rows)", first);
  size_t second = find(lines, " [row: 1]", firstEnd),
         secondEnd = find(lines, "(12000 rows)", second);
  Lines other(lines.begin() + static_cast<long>(second),
              lines.begin() + static_cast<long>(secondEnd));
  size_t differ = 0;
  while (lines[first + differ] == other[differ])
    ++differ;
  std::copy(other.begin(), other.end(), lines.begin() + static_cast<long>(first));
  writeFile(logs.cut, joinLines(lines));

  for (const Mode& mode : kModes) {
    SCOPED_TRACE(mode.name);
    RunResult run = verify(logs, mode);
    EXPECT_EQ(run.status, mode.anySample ? 0 : 1) << run.err;
    if (!mode.anySample) {
      // The marker before the first differing row is where the lines part.
      std::string line = std::to_string(first + differ + 3);
      EXPECT_TRUE(run.err.starts_with("streamtrim-verify: " + logs.cut + ":" + line + ": "))
          << run.err;
    }
  }
}

TEST(VerifyTampered, AResultLeftWholeIsRejectedOnlyWhenStrict) {
  Logs logs(twoCutResults());
  writeFile(logs.cut, readFile(logs.original));
  for (const Mode& mode : kModes) {
    SCOPED_TRACE(mode.name);
    EXPECT_EQ(verify(logs, mode).status, mode.anySample ? 0 : 1);
  }
}

TEST(VerifyCannotCheck, MisuseAndUnreadableArgumentsGiveStatusTwo) {
  TempDir dir;
  writeFile(dir.file("cut.log"), "");
  NamedPipe pipe(dir);
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--no-such-option", dir.file("cut.log")},
      {dir.file("cut.log"), dir.file("cut.log"), dir.file("cut.log")},
      {dir.file("missing.log")},
      {dir.file("cut.log"), dir.file("missing.log")},
      {dir.path()},
      {dir.file("cut.log"), dir.path()},
      {pipe.path()},
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
  EXPECT_EQ(runVerify({"--version"}, full).status, 2);  // the version too must be written
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
    std::function<size_t(Lines&)> apply;  // returns the 1-based line to be named, 0 for none
  };
  auto addCr = [](Lines& l, size_t i) {
    l[i] += "\r";
    return i + 1;
  };
  const std::vector<Conversion> conversions = {
      {"every line", false,
       [&](Lines& l) {
         for (size_t i = 1; i < l.size(); ++i)
           addCr(l, i);
         return addCr(l, 0), find(l, " [row: 1]\r") + 1;
       }},
      {"every line of a CRLF log's cut", true,
       [&](Lines& l) {
         for (size_t i = 1; i < l.size(); ++i)
           addCr(l, i);
         return addCr(l, 0), find(l, "\r [row: 1]\r") + 1;
       }},
      {"a kept row", false, [&](Lines& l) { return addCr(l, find(l, " [row: 500]")); }},
      {"a marker", false, [&](Lines& l) { return addCr(l, firstMarker(l)); }},
      {"the empty line before a marker", false,
       [&](Lines& l) { return addCr(l, firstMarker(l) - 1); }},
      {"the empty line after a marker", false,
       [&](Lines& l) { return addCr(l, firstMarker(l) + 1); }},
      {"none in a CRLF log's cut", true, [](Lines&) { return size_t{0}; }},
  };
  const std::string log = StreamLog().query(3, 5).query(16, 12000).query(7, 2).text();
  const std::string crlfLog = StreamLog("\r").query(3, 5).query(16, 12000).query(7, 2).text();
  for (const Conversion& conversion : conversions) {
    Logs logs(conversion.crlfLog ? crlfLog : log);
    Lines lines = splitLines(readFile(logs.cut));
    size_t line = conversion.apply(lines);
    writeFile(logs.cut, joinLines(lines));
    for (const Mode& mode : {kModes[0], kModes[2]}) {
      SCOPED_TRACE(std::string(conversion.name) + ", " + mode.name);
      RunResult run = verify(logs, mode);
      EXPECT_EQ(run.status, line == 0 ? 0 : 1) << run.err;
      std::string named =
          "streamtrim-verify: " + logs.cut + ":" + std::to_string(line) + ": expected ";
      if (line == 0) {
        EXPECT_EQ(run.err, "");
      } else {
        size_t at = run.err.find(named);
        if (at == std::string::npos) {
          ADD_FAILURE() << "no problem at line " << line << ": " << run.err;
          continue;
        }
        EXPECT_NE(run.err.substr(at, run.err.find('\n', at) - at).find("line-end conversion"),
                  std::string::npos)
            << run.err;
      }
    }
  }
}
