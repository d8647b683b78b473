// run/: what a run keeps track of besides the lines it copies: where the
// rows of the cut results start (row_index.h), the row counts the second
// pass checks (row_count_digest.h), and the status and summary lines
// (this header, progress_text.h); it builds on log/ and system/.
//
// Progress of a run, shown on a terminal.
//
// A run over a log of many gigabytes takes long enough that its user wants to
// see it move. When standard error is a terminal and the cut log does not go
// to a terminal, a status line (progress_text.h) appears once the run has lasted a
// second, is redrawn in place at most ten times a second, and is erased at
// the end, when a summary line takes its place. A failure erases it too, so
// that the error message stands on a line of its own. Anywhere else (a file,
// a pipe, or when the cut log goes to a terminal) nothing at all is
// written. The status line is cut to the window's width, read anew for each
// drawing, so that it always fills one row and erasing it leaves nothing.
//
// The log reader feeds the display block by block (read_observer.h), and the
// clock is read only once per kCheckEvery bytes read, so the display adds
// nothing to the work done per line and no thread is needed.

#ifndef STREAMTRIM_PROGRESS_H
#define STREAMTRIM_PROGRESS_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "log/read_observer.h"
#include "run/progress_text.h"
#include "system/terminal.h"

// Seconds on the system's monotonic clock.
double monotonicSeconds();

struct ProgressTiming {
  std::function<double()> clock = monotonicSeconds;  // seconds, never going back
  double delay = 1.0;                                // a run shorter than this shows no status line
  double interval = 0.1;                             // the least time between two drawings
};

class Progress final : public ReadObserver {
 public:
  static constexpr uint64_t kCheckEvery = 256 * 1024;  // bytes read between looks at the clock

  // Draws on terminal, or nothing at all when it is null.
  explicit Progress(Terminal* terminal, ProgressTiming timing = {});

  // What the log reader should report to: null when nothing is drawn, so
  // that a run without a terminal does not even pay for the reports.
  ReadObserver* readObserver() { return terminal_ != nullptr ? this : nullptr; }

  // Pass 1 or 2 starts over a log of logSize bytes.
  void beginPass(int pass, uint64_t logSize);

  void blockRead(uint64_t end, size_t bytes) override;

  // Seconds since the display was made, which is when the run started.
  double elapsed() const;

  // Removes the status line, if one is shown.
  void erase();

  // Erases the status line and leaves the summary in its place.
  void finish(const RunSummary& summary);

 private:
  void redrawIfDue();
  Terminal* terminal_;
  ProgressTiming timing_;
  double start_;
  double passStart_;
  double nextDraw_;  // the earliest time of the next drawing
  int pass_ = 1;
  uint64_t logSize_ = 0;
  uint64_t position_ = 0;   // how far the current pass has read
  uint64_t unchecked_ = 0;  // bytes read since the clock was last read
  bool shown_ = false;      // a status line stands on the terminal
};

#endif  // STREAMTRIM_PROGRESS_H
