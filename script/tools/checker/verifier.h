// checker/: streamtrim-verify, its driver (verify_driver.cpp) and every
// part only it uses; it builds on the tool's spine at the top, run/, log/,
// row_scan/ and system/. This header is its entry.
//
// Checking a cut log: the judge of streamtrim's work.
//
// The checker reads the cut log with a parser of its own, so that a fault in
// the cutter is not repeated in its judge; it shares with the cutter only the
// reading of lines and files, the line predicates and the sampler, which
// define the draw. It follows the log's structure as the cutter does and
// recognises a cut result by its numbered rows: each cut result must keep
// rows 1 to 1000, 1000 rows strictly between the blocks, each after a
// deletion marker, and rows N - 999 to N, every marker counting its gap.
//
// Strict (the default), a cut must be the very one streamtrim makes: only
// results of query 11, 16 or 20 with more than 10000 rows are cut, all of
// them, each to the rows the tool's sequence draws, replayed over the cut
// results in log order as one run of the tool draws them. With anySample
// any random rows meeting the shape pass, and a result may be left whole.
//
// Each log is read once, front to back, so either may be a pipe or a FIFO
// (pipe_input_file.h); a log that changes while it is read fails the check,
// which a pipe, whose content is what it delivers, cannot do.
//
// Given the original log too, both are read once, side by side: every line
// outside the cut results must be the original's, byte for byte, every kept
// row the original's row of that number, and each cut result's N the
// original result's row count. Strict and against the original, a log that
// passes is exactly streamtrim's output for that original. The original is
// read to its end even once the logs are out of step, so that an original
// that is a cut log itself is always told.
//
// Its parts: verifier.cpp walks the cut log's structure, reading it with
// numbered_line_reader.h; cut_log_syntax.h parses the kept rows and markers;
// cut_result_check.h holds each cut result against the shape every cut must
// have (cut_shape.h), the original and the tool's draw (sample_replay.h);
// original_log.h holds the cut against the original, which original_reader.h
// reads; problem_report.h passes the problems on and counts them, and
// problem_text.h quotes lines in the messages.

#ifndef STREAMTRIM_VERIFIER_H
#define STREAMTRIM_VERIFIER_H

#include <cstdint>
#include <string>

#include "checker/verdict.h"
#include "sampler.h"
#include "system/input_file.h"

struct VerifyOptions {
  std::string cutLog;
  std::string original;  // empty: check the cut log alone
  bool anySample = false;
};

// One cut result, as the report shows it.
struct CutResultReport {
  uint64_t line = 0;  // of its first row in the cut log
  int32_t queryNr = 0;
  uint64_t rows = 0;  // N; 0 when the cut does not show it
  Verdict shape = Verdict::kNotChecked;
  Verdict sample = Verdict::kNotChecked;    // kNotChecked with anySample, or when not replayable
  Verdict original = Verdict::kNotChecked;  // against the original's rows, when it is given
};

struct VerifySummary {
  uint64_t results = 0;     // result tables in the cut log
  uint64_t cutResults = 0;  // of them cut
  uint64_t problems = 0;
};

// Receives what the check finds, as it finds it.
class VerifyListener {
 public:
  virtual ~VerifyListener() = default;
  // A violation at line `line` of `file` (the cut log or the original).
  virtual void problem(const std::string& file, uint64_t line, const std::string& what) = 0;
  // A cut result, once its last line has been read.
  virtual void cutResult(const CutResultReport& report) = 0;
  // A note at line `line` of the cut log that changes no verdict: a result
  // that stays whole though it looks too large (large_results.h). A listener
  // that shows no notes need not take them.
  virtual void note(const std::string& file, uint64_t line, const std::string& what) {
    (void)file, (void)line, (void)what;
  }
};

// Checks the cut log as options say, reporting to listener. At most one
// problem is reported per result; every result is checked. Throws a Failure
// when a log cannot be read, is neither a regular file nor a pipe, is no log
// (a compressed file or an archive, a log in UTF-16), or changes while it is
// read, and when the original is a cut log itself. What takes the whole of a
// log to tell is told once it has been read, after the problems found on the
// way.
VerifySummary verifyCutLog(const VerifyOptions& options, VerifyListener& listener);

// The same on logs already opened: cutLog and, when not null, the original.
// Problems name the files by their paths. Only the fuzz targets give other
// sizes than the tool's.
VerifySummary verifyCutLog(const InputFile& cutLog, const InputFile* original, bool anySample,
                           VerifyListener& listener, const CutSizes& sizes = {});

#endif  // STREAMTRIM_VERIFIER_H
