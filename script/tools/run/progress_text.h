// What the progress display says: the status line redrawn while a run lasts
// and the summary line left when it ends. Pure functions of their arguments,
// so the wording can be checked without a terminal or a clock.
//
// Sizes and speeds are in decimal units (kB, MB, GB, TB) with three
// significant digits.

#ifndef STREAMTRIM_PROGRESS_TEXT_H
#define STREAMTRIM_PROGRESS_TEXT_H

#include <cstdint>
#include <string>
#include <vector>

// The facts a finished run reports.
struct RunSummary {
  uint64_t resultsSeen = 0;       // result tables in the log
  std::vector<uint64_t> cutRows;  // rows of each cut result, in log order
  uint64_t bytesIn = 0;           // size of the log
  uint64_t bytesOut = 0;          // bytes written to the output
  double seconds = 0;             // wall time of the whole run
  uint64_t bytesDecoded = 0;      // its decoded size, for a compressed log; 0 for a plain one
};

// "streamtrim: pass 1/2  42%  612 MB/s  0:03 left": pass (1 or 2) has read
// up to byte done of a log of total bytes in elapsed seconds. The speed and
// the time left are those of this pass; the percentage never passes 100,
// also for a log that grows.
std::string statusLine(int pass, uint64_t done, uint64_t total, double elapsed);

// "streamtrim: 22 results seen, 1 cut (18314 rows); 2.08 MB in, 1.21 MB out;
// 0.84 s"; a compressed log's decoded size after its own, as "512 kB in
// (2.08 MB decoded)". Up to five cut results are listed with their rows; more are
// summed.
std::string summaryLine(const RunSummary& summary);

// "0 B", "999 B", "1.00 kB", "12.3 MB", "456 GB".
std::string formatBytes(double bytes);

// "0:03", "12:00", "2:01:05": whole seconds as a clock shows them.
std::string formatClock(uint64_t seconds);

// "0.84 s" under a minute, else formatClock of the nearest second.
std::string formatSeconds(double seconds);

#endif  // STREAMTRIM_PROGRESS_TEXT_H
