// What the fuzz targets share: turning an input into a log, cutting and
// checking logs in memory with the tool's own scanner, cutter and checker,
// and reporting a property that does not hold.
//
// Input encoding of the cutter and round-trip targets. The input is taken
// line by line, byte for byte (zero bytes, carriage returns and a missing
// final newline all reach the tool), except for directive lines: a byte
// 0xFF, 0xFE, 0xFD, 0xFC, 0xFB, 0xF9 or 0xF8 followed by a decimal number K
// (anything after it is ignored) stands for
//   0xFF: the previous line repeated K times;
//   0xFE: the same, with 1, 2, ... K appended to the copies;
//   0xFD: one line made of K copies of the previous line;
//   0xFC: cut with kFuzzSizes[K % 4] instead of the first of them;
//   0xFB: K chooses the edit the round trip makes (by default a hash of the
//         input does);
//   0xF9: every read of the log returns at most K bytes (0: no limit, the
//         default), so that lines straddle reads in a small log too;
//   0xF8: the cutter target changes byte K of the log (modulo its size)
//         between the tool's two passes.
// Without repetition no input of sensible length could hold a table of
// hundreds of rows.

#ifndef STREAMTRIM_FUZZ_SUPPORT_H
#define STREAMTRIM_FUZZ_SUPPORT_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "sampler.h"
#include "system/input_file.h"

// The sizes the targets cut with. The first, the default, reaches every
// branch of the cutting with a dozen rows; the second is the smallest the
// sampler accepts; the third has fewer random rows than block rows; the last
// spreads the drawn rows over longer gaps. The tool's own sizes differ only
// in scale, and a log large enough for them would cost a hundred small ones.
inline const CutSizes kFuzzSizes[] = {{12, 2, 3}, {4, 1, 1}, {14, 3, 2}, {300, 25, 40}};

// Ends the run with a message that names the property.
[[noreturn]] void violation(const std::string& what);

struct FuzzLog {
  std::string log;
  CutSizes sizes = kFuzzSizes[0];
  size_t maxRead = 0;       // 0: reads as large as asked
  bool editChosen = false;  // a 0xFB directive gave edit
  uint64_t edit = 0;
  bool changeChosen = false;  // a 0xF8 directive gave change
  uint64_t change = 0;
};

// Expands the input's directives (see above) into a log.
FuzzLog decodeLog(std::string_view input);

// The tool's two passes over log, in memory, read at most maxRead bytes at
// a time; the cut log. A failure of the tool is a violation: a log in memory
// cannot change or fail to be read.
std::string cutInMemory(std::string_view log, const CutSizes& sizes, size_t maxRead = 0);

// A log in memory, whose bytes the caller keeps alive, read at most maxRead
// bytes at a time (0: no limit); its stamp names file id, or a file of its
// own when id is 0.
std::unique_ptr<InputFile> memoryLog(std::string name, std::string_view bytes, size_t maxRead,
                                     uint64_t id = 0);

// The tool's two passes, first gathering and second writing the cut, which
// it returns. Throws what the tool throws.
std::string cutTwice(const InputFile& first, const InputFile& second, const CutSizes& sizes);

// The same when the log is changed, its size and age kept, between the
// passes: the output pass reads changed. True when the tool fails for it.
bool failsOnChange(std::string_view log, std::string_view changed, const CutSizes& sizes,
                   size_t maxRead);

// The checker's four ways to check a cut log.
struct CheckMode {
  const char* name;
  bool withOriginal;
  bool anySample;
};
inline constexpr CheckMode kStrictAlone{"strictly alone", false, false};
inline constexpr CheckMode kAnySampleAlone{"for any sample alone", false, true};
inline constexpr CheckMode kStrictAgainstLog{"strictly against the log", true, false};
inline constexpr CheckMode kAnySampleAgainstLog{"for any sample against the log", true, true};
inline constexpr CheckMode kCheckModes[] = {kStrictAlone, kAnySampleAlone, kStrictAgainstLog,
                                            kAnySampleAgainstLog};

struct CheckResult {
  uint64_t problems = 0;
  std::string first;     // the first problem's message
  bool refused = false;  // the check ended refusing a log as no log to check

  // Whether the check did not verify the cut: a problem, or a log refused.
  bool failed() const { return problems > 0 || refused; }
};

// Checks cut, against original in a mode withOriginal, reading both at most
// maxRead bytes at a time. The checker must refuse exactly a cut log, or an
// original, in UTF-16 or UTF-32 without a byte-order mark, and an original
// that holds a deletion marker between rows, each told from all of the log's
// lines read in order (log_evidence.h); any other failure to check a log in memory, and a refusal
// of any other log, is a violation. Problems found before a refusal are
// counted too.
CheckResult checkInMemory(std::string_view cut, std::string_view original, const CheckMode& mode,
                          const CutSizes& sizes, size_t maxRead = 0);

// Where two texts first differ, by line, for a violation's message.
std::string firstDifference(std::string_view found, std::string_view expected);

#endif  // STREAMTRIM_FUZZ_SUPPORT_H
