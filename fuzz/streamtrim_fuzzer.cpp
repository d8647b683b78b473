// libFuzzer target: runs both passes of the tool, cutting included, on a log
// built from the fuzz input, and checks the output against a small reference
// model of the log's structure; it also holds every row counter the CPU can
// run against the portable one, so that the fuzzer reaches the vector paths
// the tool does not pick on this machine.
//
// Input encoding. The input is taken line by line, byte for byte (zero bytes,
// carriage returns and a missing final newline all reach the tool), except
// for directive lines: a byte 0xFF, 0xFE or 0xFD followed by a decimal count
// (anything after the count is ignored) stands for
//   0xFF: the previous line repeated COUNT times;
//   0xFE: the same, with 1, 2, ... COUNT appended to the copies;
//   0xFD: one line made of COUNT copies of the previous line.
// Without them no input of sensible length could hold a table large enough
// to be cut (10001 rows) or a line longer than the tool's read block.
//
// The model does not redraw the random sample: it takes the kept rows from
// the output and checks what must hold for every sample.
//
// The target also runs the checker, streamtrim-verify's engine, on the cut
// (the round trip): the cut of any log verifies against that log, strictly
// and for any sample, and alone as well unless the log itself holds text the
// cut adds (numbered rows, deletion markers), which alone no reader can tell
// from a cut. Then one byte of the cut, chosen from the input, is changed:
// against the log the checker must reject it; alone it must reject it when
// the byte lies in a cut result's numbering (a marker or a " [row: N]").

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "failure.h"
#include "output_file.h"
#include "row_scan.h"
#include "scanner.h"
#include "verifier.h"

namespace {

// Each line outside a cut table costs the tool a write, so the line count is
// bounded too; 50000 lines still leave room for tables five times the cut limit.
constexpr size_t kMaxLogBytes = size_t{4} << 20;
constexpr size_t kMaxLogLines = 50000;
constexpr unsigned char kRepeat = 0xFF;
constexpr unsigned char kRepeatNumbered = 0xFE;
constexpr unsigned char kConcatenate = 0xFD;
constexpr uint64_t kKeptRows = 3000;
constexpr uint64_t kBlockRows = 1000;

struct Scratch {
  std::string log;
  std::string output;
  std::string changed;  // the output with one byte changed
};

const Scratch* scratchFiles = nullptr;  // once created

// At exit, and before a violation aborts the run.
void removeScratchFiles() {
  if (scratchFiles != nullptr) {
    ::unlink(scratchFiles->log.c_str());
    ::unlink(scratchFiles->output.c_str());
    ::unlink(scratchFiles->changed.c_str());
  }
}

[[noreturn]] void violation(const std::string& what) {
  std::fprintf(stderr, "streamtrim_fuzzer: %s\n", what.c_str());
  std::fflush(stderr);
  removeScratchFiles();
  std::abort();
}

void require(bool holds, const std::string& what) {
  if (!holds)
    violation("property violated: " + what);
}

// ---- Decoding the input into a log ----

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

class LogBuilder {
 public:
  void addLine(std::string_view line, bool terminated) {
    if (!room(line.size() + 1))
      return;
    log_.append(line);
    if (terminated)
      log_ += '\n';
    ++lines_;
    previous_ = line;
  }

  // Adds the lines a directive stands for; false when segment is not one.
  bool expandDirective(std::string_view segment) {
    auto marker = static_cast<unsigned char>(segment.empty() ? 0 : segment[0]);
    bool known = marker == kRepeat || marker == kRepeatNumbered || marker == kConcatenate;
    if (!known || segment.size() < 2 || !isDigit(segment[1]))
      return false;
    uint64_t count = 0;
    for (size_t i = 1; i < segment.size() && isDigit(segment[i]) && count < kMaxLogBytes; ++i)
      count = count * 10 + static_cast<uint64_t>(segment[i] - '0');
    std::string base = previous_;
    if (marker == kConcatenate && base.empty())
      count = 0;  // nothing to grow, and no reason to spin over a large count
    std::string line;
    for (uint64_t k = 1; k <= count && room(line.size() + base.size() + 1); ++k) {
      if (marker == kConcatenate) {
        line += base;
        continue;
      }
      line = base;
      if (marker == kRepeatNumbered)
        line += std::to_string(k);
      addLine(line, true);
    }
    if (marker == kConcatenate)
      addLine(line, true);
    return true;
  }

  const std::string& log() const { return log_; }

 private:
  bool room(size_t bytes) const {
    return lines_ < kMaxLogLines && log_.size() + bytes <= kMaxLogBytes;
  }

  std::string log_;
  std::string previous_;
  size_t lines_ = 0;
};

std::string decodeLog(std::string_view input) {
  LogBuilder builder;
  while (!input.empty()) {
    size_t newline = input.find('\n');
    bool terminated = newline != input.npos;
    std::string_view segment = input.substr(0, terminated ? newline : input.size());
    input.remove_prefix(terminated ? newline + 1 : input.size());
    if (!builder.expandDirective(segment))
      builder.addLine(segment, terminated);
  }
  return builder.log();
}

// ---- Scratch files and running the tool ----

void writeWhole(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush())
    violation("cannot write scratch file " + path);
}

std::string readWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file)
    violation("cannot read scratch file " + path);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string makeScratchFile(const char* dir, const char* stem) {
  std::string path = std::string(dir) + "/" + stem + "-XXXXXX";
  int fd = ::mkstemp(path.data());
  if (fd < 0)
    violation("cannot create a scratch file in " + std::string(dir));
  ::close(fd);
  return path;
}

// Created once per process, in memory where the system offers it.
const Scratch& scratch() {
  if (scratchFiles == nullptr) {
    const char* dir = std::getenv("TMPDIR");
    if (::access("/dev/shm", W_OK) == 0)
      dir = "/dev/shm";
    else if (dir == nullptr || *dir == '\0')
      dir = "/tmp";
    scratchFiles = new Scratch{makeScratchFile(dir, "streamtrim-fuzz-log"),
                               makeScratchFile(dir, "streamtrim-fuzz-out"),
                               makeScratchFile(dir, "streamtrim-fuzz-changed")};
    std::atexit(removeScratchFiles);
  }
  return *scratchFiles;
}

// The driver's sequence: gather, then open, truncate and write the output.
std::string runTool(const Scratch& files) {
  try {
    GatheredLog gathered;
    scanResultAndGenerateOutput(*openInputFile(files.log), nullptr, true, gathered);
    std::unique_ptr<OutputFile> output = openOutputFile(files.output);
    output->refuseToOverwrite(gathered.input);
    output->truncate();
    scanResultAndGenerateOutput(*openInputFile(files.log), output.get(), false, gathered);
    output->close();
  } catch (const Failure& failure) {
    violation(std::string("the tool failed on a stable log: ") + failure.what());
  } catch (const std::exception& error) {
    violation(std::string("unexpected exception: ") + error.what());
  }
  return readWhole(files.output);
}

// ---- Reference model of the log ----

struct Table {
  int32_t queryNr;
  size_t firstRow;  // index in the line list of row 1
  uint64_t rows;
  bool cut;
};

struct Model {
  std::vector<std::string_view> lines;  // an unterminated last line included
  std::vector<Table> tables;
};

bool contains(std::string_view line, std::string_view what) {
  return line.find(what) != line.npos;
}

// After the first "TPC-H Query" and one more character, as atoi reads,
// saturating at the limits of int32_t.
int32_t queryNumber(std::string_view header) {
  std::string_view rest = header.substr(header.find("TPC-H Query") + 11);
  rest.remove_prefix(rest.empty() ? 0 : 1);
  while (!rest.empty() && (rest[0] == ' ' || (rest[0] >= '\t' && rest[0] <= '\r')))
    rest.remove_prefix(1);
  bool negative = !rest.empty() && rest[0] == '-';
  if (!rest.empty() && (rest[0] == '-' || rest[0] == '+'))
    rest.remove_prefix(1);
  int64_t value = 0;
  for (; !rest.empty() && isDigit(rest[0]); rest.remove_prefix(1)) {
    if (value <= std::numeric_limits<int32_t>::max())
      value = value * 10 + (rest[0] - '0');
  }
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::clamp(negative ? -value : value, kMin, kMax));
}

std::vector<std::string_view> splitLines(std::string_view log) {
  std::vector<std::string_view> lines;
  lines.reserve(static_cast<size_t>(std::count(log.begin(), log.end(), '\n')) + 1);
  while (!log.empty()) {
    size_t newline = log.find('\n');
    size_t length = newline == log.npos ? log.size() : newline;
    lines.push_back(log.substr(0, length));
    log.remove_prefix(newline == log.npos ? log.size() : newline + 1);
  }
  return lines;
}

Model buildModel(std::string_view log) {
  enum { kHeader, kQuery, kTable } state = kHeader;
  Model model{splitLines(log), {}};
  int32_t queryNr = 0;
  for (size_t i = 0; i < model.lines.size(); ++i) {
    std::string_view line = model.lines[i];
    if (state == kTable) {
      if (contains(line, "|")) {
        ++model.tables.back().rows;
        continue;
      }
      state = kHeader;  // the line that ends a table may be the next header
    }
    if (state == kQuery && contains(line, "===")) {
      model.tables.push_back({queryNr, i + 1, 0, false});
      state = kTable;
    } else if (contains(line, "TPC-H Query")) {
      queryNr = queryNumber(line);
      state = kQuery;
    }
  }
  for (Table& table : model.tables) {
    bool cuttable = table.queryNr == 11 || table.queryNr == 16 || table.queryNr == 20;
    table.cut = cuttable && table.rows > 10000;
  }
  return model;
}

// ---- Checking the output ----

// Byte ranges of the output that number a cut result: deletion markers with
// their empty lines, and the " [row: N]" of kept rows with its newline.
using Ranges = std::vector<std::pair<size_t, size_t>>;

class OutputReader {
 public:
  explicit OutputReader(std::string_view output) : start_(output.data()), rest_(output) {}
  bool atEnd() const { return rest_.empty(); }
  size_t position() const { return static_cast<size_t>(rest_.data() - start_); }
  std::string_view next() {
    size_t newline = rest_.find('\n');
    require(newline != rest_.npos, "every output line ends with a newline");
    std::string_view line = rest_.substr(0, newline);
    rest_.remove_prefix(newline + 1);
    return line;
  }

 private:
  const char* start_;
  std::string_view rest_;
};

// Plain decimal without sign or leading zeros, not zero, no overflow.
bool parseCount(std::string_view text, uint64_t& value) {
  if (text.empty() || text.size() > 19 || text[0] == '0')
    return false;
  value = 0;
  for (char c : text) {
    if (!isDigit(c))
      return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

uint64_t readMarker(OutputReader& out) {
  constexpr std::string_view kPrefix = "----------- deleted ";
  constexpr std::string_view kSuffix = " rows -----------";
  std::string_view line = out.next();
  bool framed = line.size() > kPrefix.size() + kSuffix.size() && line.starts_with(kPrefix) &&
                line.ends_with(kSuffix);
  uint64_t count = 0;
  require(framed &&
              parseCount(line.substr(kPrefix.size(), line.size() - kPrefix.size() - kSuffix.size()),
                         count),
          "a deletion marker reads \"----------- deleted G rows -----------\"");
  require(out.next().empty(), "a deletion marker ends with an empty line");
  return count;
}

// The sample's shape: both blocks whole, the drawn rows apart from each other
// and from the blocks.
void checkSample(const std::vector<uint64_t>& kept, uint64_t rows) {
  require(kept.size() == kKeptRows, "a cut table keeps 3000 rows");
  for (uint64_t i = 0; i < kBlockRows; ++i) {
    require(kept[i] == i + 1, "a cut table keeps rows 1 to 1000");
    require(kept[kKeptRows - kBlockRows + i] == rows - kBlockRows + 1 + i,
            "a cut table keeps its last 1000 rows");
  }
  for (uint64_t i = kBlockRows; i < kKeptRows - kBlockRows; ++i) {
    require(kept[i] >= kBlockRows + 2 && kept[i] <= rows - kBlockRows - 1,
            "drawn rows lie within 1002..N-1001");
    require(kept[i] - kept[i - 1] >= 2, "drawn rows are not adjacent");
  }
}

void checkCutTable(const Model& model, const Table& table, OutputReader& out, Ranges& numbering) {
  std::vector<uint64_t> kept;
  uint64_t last = 0, gap = 0, deleted = 0, markers = 0;
  while (last < table.rows) {
    size_t start = out.position();
    std::string_view line = out.next();
    if (line.empty()) {
      require(gap == 0, "no two deletion markers follow each other");
      gap = readMarker(out);
      numbering.emplace_back(start, out.position());
      deleted += gap;
      ++markers;
      continue;
    }
    size_t tag = line.rfind(" [row: ");
    uint64_t rowNr = 0;
    require(tag != line.npos && line.back() == ']' &&
                parseCount(line.substr(tag + 7, line.size() - tag - 8), rowNr),
            "a kept row ends with \" [row: N]\"");
    require(rowNr == last + 1 + gap, "a kept row follows the previous one after exactly the gap");
    require(rowNr <= table.rows, "a kept row's number lies within the table");
    require(line.substr(0, tag) == model.lines[table.firstRow + rowNr - 1],
            "a kept row is the input row of that number");
    numbering.emplace_back(start + tag, out.position());
    kept.push_back(rowNr);
    last = rowNr;
    gap = 0;
  }
  require(kept.size() + deleted == table.rows, "kept and deleted rows add up to the table");
  require(markers == kBlockRows + 1, "a cut table has 1001 deletion markers");
  checkSample(kept, table.rows);
}

void checkOutput(const Model& model, std::string_view output, Ranges& numbering) {
  OutputReader out(output);
  auto table = model.tables.begin();
  for (size_t i = 0; i < model.lines.size();) {
    while (table != model.tables.end() && (!table->cut || table->firstRow < i))
      ++table;
    if (table != model.tables.end() && table->firstRow == i) {
      checkCutTable(model, *table, out, numbering);
      i += table->rows;
      continue;
    }
    require(out.next() == model.lines[i], "every line outside cut tables is copied in order");
    ++i;
  }
  require(out.atEnd(), "the output ends after the last line of the log");
}

// Every row counter this CPU runs, those the tool does not pick here included,
// must agree with the portable one: from the start of the log and of its first
// tables, on the rest of the log and on a prefix that may end inside a line.
void checkRowCounters(const Model& model, std::string_view log) {
  static const auto counters = rowCountersForThisCpu();
  std::vector<size_t> starts{0};
  for (size_t t = 0; t < model.tables.size() && t < 3; ++t) {
    if (model.tables[t].firstRow < model.lines.size())
      starts.push_back(
          static_cast<size_t>(model.lines[model.tables[t].firstRow].data() - log.data()));
  }
  for (size_t start : starts) {
    for (size_t length : {log.size() - start, std::min<size_t>(log.size() - start, 1000)}) {
      std::string_view text = log.substr(start, length);
      for (uint64_t limit : {uint64_t{1}, uint64_t{64}, uint64_t{257}, UINT64_MAX}) {
        RowRun expected = countRowLinesPortable(text, limit);
        for (const auto& [name, counter] : counters) {
          RowRun run = counter(text, limit);
          require(run.rows == expected.rows && run.bytes == expected.bytes,
                  std::string("the ") + name + " row counter agrees with the portable one");
        }
      }
    }
  }
}

// ---- The checker's round trip ----

class CountingListener : public VerifyListener {
 public:
  void problem(const std::string&, uint64_t, const std::string& what) override {
    if (problems_++ == 0)
      first_ = what;
  }
  void cutResult(const CutResultReport&) override {}
  uint64_t problems() const { return problems_; }
  const std::string& first() const { return first_; }

 private:
  uint64_t problems_ = 0;
  std::string first_;
};

struct Check {
  const char* name;
  bool withOriginal;
  bool anySample;
};

constexpr Check kChecks[] = {{"strictly alone", false, false},
                             {"for any sample alone", false, true},
                             {"strictly against the log", true, false},
                             {"for any sample against the log", true, true}};

CountingListener verify(const Scratch& files, const std::string& cut, const Check& check) {
  CountingListener listener;
  try {
    verifyCutLog({cut, check.withOriginal ? files.log : "", check.anySample}, listener);
  } catch (const std::exception& error) {
    violation(std::string("the checker could not check ") + check.name + ": " + error.what());
  }
  return listener;
}

bool mimicsCutText(std::string_view log) {
  return contains(log, " [row: ") || contains(log, "----------- deleted ");
}

void checkRoundTrip(const Scratch& files, std::string_view log) {
  for (const Check& check : kChecks) {
    if (!check.withOriginal && mimicsCutText(log))
      continue;
    CountingListener result = verify(files, files.output, check);
    require(result.problems() == 0,
            std::string("the cut verifies ") + check.name + " (found: " + result.first() + ")");
  }
}

uint64_t hashOf(std::string_view bytes) {
  uint64_t hash = 1469598103934665603ULL;  // FNV-1a
  for (char c : bytes)
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  return hash;
}

// Where to change the output, and to what: half the changes replace a digit
// of the numbering (a small part of a cut's bytes, where most of the
// checker's rules apply, and where any other byte breaks the format at once)
// with another digit; the rest change any byte to any other.
std::pair<size_t, char> chooseChange(const std::string& output, const Ranges& numbering,
                                     uint64_t choice) {
  size_t at = static_cast<size_t>(choice % output.size());
  auto byte = static_cast<char>((choice >> 32) & 0xFF);
  if ((choice >> 63) != 0 && !numbering.empty()) {
    const auto& [begin, end] = numbering[(choice >> 40) % numbering.size()];
    std::vector<size_t> digits;
    for (size_t i = begin; i < end; ++i) {
      if (isDigit(output[i]))
        digits.push_back(i);
    }
    at = digits[choice % digits.size()];
    byte = static_cast<char>('0' + (choice >> 32) % 10);
    if (byte == output[at])
      byte = byte == '9' ? '1' : static_cast<char>(byte + 1);
  }
  if (byte == output[at])
    byte = static_cast<char>(byte ^ 1);
  return {at, byte};
}

void checkChangedByte(const Scratch& files, std::string output, const Ranges& numbering,
                      uint64_t choice) {
  if (output.empty())
    return;
  auto [at, byte] = chooseChange(output, numbering, choice);
  output[at] = byte;
  writeWhole(files.changed, output);
  bool inNumbering = std::any_of(numbering.begin(), numbering.end(), [at = at](auto& range) {
    return at >= range.first && at < range.second;
  });
  for (const Check& check : kChecks) {
    CountingListener result = verify(files, files.changed, check);
    if (check.withOriginal || inNumbering)
      require(result.problems() > 0, std::string("a changed byte at ") + std::to_string(at) +
                                         " is rejected " + check.name);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string log = decodeLog(std::string_view(reinterpret_cast<const char*>(data), size));
  const Scratch& files = scratch();
  writeWhole(files.log, log);
  std::string output = runTool(files);

  Model model = buildModel(log);
  if (std::none_of(model.tables.begin(), model.tables.end(), [](auto& t) { return t.cut; })) {
    bool unterminated = !log.empty() && log.back() != '\n';
    require(output == (unterminated ? log + "\n" : log), "an uncut log is copied unchanged");
  }
  Ranges numbering;
  checkOutput(model, output, numbering);
  checkRowCounters(model, log);
  checkRoundTrip(files, log);
  checkChangedByte(files, output, numbering,
                   hashOf(std::string_view(reinterpret_cast<const char*>(data), size)));
  return 0;
}
