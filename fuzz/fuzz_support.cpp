#include "fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "checker/verifier.h"
#include "log/log_evidence.h"
#include "scanner.h"
#include "system/failure.h"
#include "system/input_file.h"
#include "system/memory_file.h"  // MemoryOutputFile

namespace {

// Logs stay small, so that the fuzzer runs thousands of them a second: a
// table can still run past two of the row index's checkpoints (rows 257 and
// 513), and short reads (0xF9) make lines straddle reads in any log. Lines
// longer than a read block are left to the tests.
constexpr size_t kMaxLogBytes = size_t{1} << 16;
constexpr size_t kMaxLogLines = 600;
constexpr unsigned char kRepeat = 0xFF;
constexpr unsigned char kRepeatNumbered = 0xFE;
constexpr unsigned char kConcatenate = 0xFD;
constexpr unsigned char kChooseSizes = 0xFC;
constexpr unsigned char kChooseEdit = 0xFB;
constexpr unsigned char kLimitReads = 0xF9;
constexpr unsigned char kChangeBetweenPasses = 0xF8;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

class LogBuilder {
 public:
  explicit LogBuilder(FuzzLog& out) : out_(out) {}

  void addLine(std::string_view line, bool terminated) {
    if (!room(line.size() + 1))
      return;
    out_.log.append(line);
    if (terminated)
      out_.log += '\n';
    ++lines_;
    previous_ = line;
  }

  // Carries out a directive; false when segment is not one.
  bool directive(std::string_view segment) {
    auto marker = static_cast<unsigned char>(segment.empty() ? 0 : segment[0]);
    bool known = marker == kRepeat || marker == kRepeatNumbered || marker == kConcatenate ||
                 marker == kChooseSizes || marker == kChooseEdit || marker == kLimitReads ||
                 marker == kChangeBetweenPasses;
    if (!known || segment.size() < 2 || !isDigit(segment[1]))
      return false;
    uint64_t count = 0;
    for (size_t i = 1; i < segment.size() && isDigit(segment[i]) && count < kMaxLogBytes; ++i)
      count = count * 10 + static_cast<uint64_t>(segment[i] - '0');
    if (marker == kChooseSizes) {
      out_.sizes = kFuzzSizes[count % std::size(kFuzzSizes)];
    } else if (marker == kChooseEdit) {
      out_.editChosen = true;
      out_.edit = count;
    } else if (marker == kLimitReads) {
      out_.maxRead = count;
    } else if (marker == kChangeBetweenPasses) {
      out_.changeChosen = true;
      out_.change = count;
    } else {
      repeat(marker, count);
    }
    return true;
  }

 private:
  void repeat(unsigned char marker, uint64_t count) {
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
  }

  bool room(size_t bytes) const {
    return lines_ < kMaxLogLines && out_.log.size() + bytes <= kMaxLogBytes;
  }

  FuzzLog& out_;
  std::string previous_;
  size_t lines_ = 0;
};

uint64_t newFileId() {
  static uint64_t files = 0;
  return ++files;
}

// A log in memory whose reads return at most maxRead bytes each (0: no
// limit), as a slow file system's may, and whose stamp names file id.
class MemoryLog final : public InputFile {
 public:
  MemoryLog(std::string name, std::string_view bytes, size_t maxRead, uint64_t id = newFileId())
      : InputFile(std::move(name)),
        bytes_(bytes),
        maxRead_(maxRead == 0 ? SIZE_MAX : maxRead),
        id_(id) {}

  FileStamp stamp() const override {
    FileStamp stamp;
    stamp.fileId = id_;
    stamp.size = bytes_.size();
    return stamp;
  }

  size_t readAt(uint64_t offset, char* buffer, size_t size) const override {
    if (offset >= bytes_.size())
      return 0;
    size_t count = std::min({size, maxRead_, static_cast<size_t>(bytes_.size() - offset)});
    std::copy_n(bytes_.data() + offset, count, buffer);
    return count;
  }

 private:
  std::string_view bytes_;
  size_t maxRead_;
  uint64_t id_;
};

class CountingListener : public VerifyListener {
 public:
  explicit CountingListener(CheckResult& result) : result_(result) {}
  void problem(const std::string&, uint64_t line, const std::string& what) override {
    if (result_.problems++ == 0)
      result_.first = "line " + std::to_string(line) + ": " + what;
  }
  void cutResult(const CutResultReport&) override {}

 private:
  CheckResult& result_;
};

// A line as a message shows it: at most 80 bytes, other bytes escaped.
std::string shown(std::string_view line) {
  std::string out = "\"";
  for (size_t i = 0; i < line.size() && i < 80; ++i) {
    auto c = static_cast<unsigned char>(line[i]);
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
    out += c >= 0x20 && c < 0x7f ? std::string(1, static_cast<char>(c)) : std::string(escaped);
  }
  return out + (line.size() > 80 ? "\"..." : "\"");
}

}  // namespace

void violation(const std::string& what) {
  std::fprintf(stderr, "fuzz target: property violated: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

FuzzLog decodeLog(std::string_view input) {
  FuzzLog out;
  LogBuilder builder(out);
  while (!input.empty()) {
    size_t newline = input.find('\n');
    bool terminated = newline != input.npos;
    std::string_view segment = input.substr(0, terminated ? newline : input.size());
    input.remove_prefix(terminated ? newline + 1 : input.size());
    if (!builder.directive(segment))
      builder.addLine(segment, terminated);
  }
  return out;
}

// The driver's sequence: gather on first, then begin the output and
// write it from second.
void runTool(const InputFile& first, const InputFile& second, const CutSizes& sizes,
             OutputFile& output) {
  GatheredLog gathered;
  scanResultAndGenerateOutput(first, nullptr, true, gathered, nullptr, sizes);
  output.refuseToOverwrite(gathered.input);
  output.begin();
  scanResultAndGenerateOutput(second, &output, false, gathered, nullptr, sizes);
  output.close();
}

std::unique_ptr<InputFile> memoryLog(std::string name, std::string_view bytes, size_t maxRead,
                                     uint64_t id) {
  return std::make_unique<MemoryLog>(std::move(name), bytes, maxRead, id == 0 ? newFileId() : id);
}

std::string cutTwice(const InputFile& first, const InputFile& second, const CutSizes& sizes) {
  MemoryOutputFile output("cut log");
  runTool(first, second, sizes, output);
  return output.bytes();
}

std::string cutInMemory(std::string_view log, const CutSizes& sizes, size_t maxRead) {
  MemoryLog input("log", log, maxRead);
  MemoryOutputFile output("cut log");
  try {
    runTool(input, input, sizes, output);
  } catch (const std::exception& error) {
    violation(std::string("the tool cuts a log in memory without failing (it threw: ") +
              error.what() + ")");
  }
  return output.bytes();
}

bool failsOnChange(std::string_view log, std::string_view changed, const CutSizes& sizes,
                   size_t maxRead) {
  MemoryLog before("log", log, maxRead);
  MemoryLog after("log", changed, maxRead, before.stamp().fileId);
  MemoryOutputFile output("cut log");
  try {
    runTool(before, after, sizes, output);
  } catch (const Failure&) {
    return true;
  } catch (const std::exception& error) {
    violation(std::string("the tool reports a changed log as a failure (it threw: ") +
              error.what() + ")");
  }
  return false;
}

namespace {

// The evidence of every line of log, noted in order.
LogEvidence evidenceOfEveryLine(std::string_view log) {
  LogEvidence evidence;
  for (size_t pos = 0; pos < log.size();) {
    size_t end = std::min(log.find('\n', pos), log.size());
    evidence.noteLine(log.substr(pos, end - pos), pos);
    pos = end + 1;
  }
  return evidence;
}

// What a log is, kept for the next checks of the same log: the targets
// check one cut, against one log, in several modes, and a log's evidence
// cost as much as the check itself.
struct KnownLog {
  std::string bytes;
  bool wide = false;  // "TPC-H Query" only in UTF-16 or UTF-32
  bool cut = false;   // holding a deletion marker between rows
};

// A cut log that is checked needs only its encoding told.
const KnownLog& knownLog(std::string_view log, KnownLog& known, bool asOriginal) {
  if (known.bytes == log)
    return known;
  known.bytes.assign(log);  // into the room the last one took
  // Most logs hold neither a zero byte, which "TPC-H Query" in UTF-16 or
  // UTF-32 has, nor a marker's text, and need no look at each line.
  known.wide = known.cut = false;
  if (log.find('\0') != log.npos || (asOriginal && log.find("----------- deleted ") != log.npos)) {
    LogEvidence evidence = evidenceOfEveryLine(log);
    known.wide = evidence.onlyWideHeaders() != WideEncoding::kNone;
    known.cut = evidence.holdsDeletionMarker();
  }
  return known;
}

// Whether the checker must refuse to check cut, against original when
// withOriginal.
bool refusedAsNoLog(std::string_view cut, std::string_view original, bool withOriginal) {
  static KnownLog knownCut, knownOriginal;
  if (knownLog(cut, knownCut, false).wide)
    return true;
  if (!withOriginal)
    return false;
  const KnownLog& known = knownLog(original, knownOriginal, true);
  return known.wide || known.cut;
}

}  // namespace

CheckResult checkInMemory(std::string_view cut, std::string_view original, const CheckMode& mode,
                          const CutSizes& sizes, size_t maxRead) {
  MemoryLog cutLog("cut log", cut, maxRead);
  MemoryLog originalLog("log", original, maxRead);
  CheckResult result;
  CountingListener listener(result);
  std::string failure;
  try {
    verifyCutLog(cutLog, mode.withOriginal ? &originalLog : nullptr, mode.anySample, listener,
                 sizes);
  } catch (const Failure& refusal) {
    result.refused = true;
    failure = refusal.what();
  } catch (const std::exception& error) {
    failure = error.what();
  }
  bool otherFailure = !failure.empty() && !result.refused;
  if (otherFailure || result.refused != refusedAsNoLog(cut, original, mode.withOriginal))
    violation(std::string("the checker checks a log in memory ") + mode.name +
              ", refusing exactly what is no log to check (" +
              (failure.empty() ? std::string("it checked it") : "it said: " + failure) + ")");
  return result;
}

std::string firstDifference(std::string_view found, std::string_view expected) {
  size_t at = static_cast<size_t>(
      std::mismatch(found.begin(), found.end(), expected.begin(), expected.end()).first -
      found.begin());
  size_t lineStart = found.substr(0, at).rfind('\n');
  lineStart = lineStart == found.npos ? 0 : lineStart + 1;
  auto lineAt = [lineStart](std::string_view text) {
    std::string_view rest = text.substr(std::min(lineStart, text.size()));
    return rest.substr(0, rest.find('\n'));
  };
  size_t lineNr = static_cast<size_t>(std::count(found.begin(), found.begin() + lineStart, '\n'));
  return "line " + std::to_string(lineNr + 1) + " is " + shown(lineAt(found)) + ", expected " +
         shown(lineAt(expected)) + " (" + std::to_string(found.size()) + " bytes, expected " +
         std::to_string(expected.size()) + ")";
}
