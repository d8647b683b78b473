#include "run/progress_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string printed(const char* format, auto... values) {
  char text[64];
  int length = std::snprintf(text, sizeof text, format, values...);
  return std::string(text, static_cast<size_t>(std::clamp(length, 0, int{sizeof text} - 1)));
}

std::string plural(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "(18314 rows)", "(12001 and 15000 rows)", "(1, 2 and 3 rows)"; too many to
// read in one line are summed instead.
std::string cutRowsText(const std::vector<uint64_t>& rows) {
  constexpr size_t kListed = 5;
  if (rows.size() > kListed) {
    uint64_t all = 0;
    for (uint64_t count : rows)
      all += count;
    std::string text = "(";
    return text.append(std::to_string(all)).append(" rows in all)");
  }
  std::string text = "(";
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i > 0)
      text += i + 1 == rows.size() ? " and " : ", ";
    text += std::to_string(rows[i]);
  }
  return text + " rows)";
}

}  // namespace

std::string formatBytes(double bytes) {
  static const char* const kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB"};
  size_t unit = 0;
  // Rounding decides the unit, so that 999.7 kB shows as 1.00 MB, not 1000 kB.
  while (bytes >= 999.5 && unit + 1 < std::size(kUnits)) {
    bytes /= 1000;
    ++unit;
  }
  if (unit == 0)
    return printed("%.0f B", bytes);
  const char* format = bytes < 9.995 ? "%.2f %s" : bytes < 99.95 ? "%.1f %s" : "%.0f %s";
  return printed(format, bytes, kUnits[unit]);
}

std::string formatClock(uint64_t seconds) {
  uint64_t hours = seconds / 3600;
  uint64_t minutes = seconds / 60 % 60;
  uint64_t rest = seconds % 60;
  if (hours > 0)
    return printed("%llu:%02llu:%02llu", static_cast<unsigned long long>(hours),
                   static_cast<unsigned long long>(minutes), static_cast<unsigned long long>(rest));
  return printed("%llu:%02llu", static_cast<unsigned long long>(minutes),
                 static_cast<unsigned long long>(rest));
}

std::string formatSeconds(double seconds) {
  if (seconds < 59.995)
    return printed("%.2f s", std::max(seconds, 0.0));
  return formatClock(static_cast<uint64_t>(std::llround(seconds)));
}

std::string statusLine(int pass, uint64_t done, uint64_t total, double elapsed) {
  done = std::min(done, total);
  auto percent =
      total == 0 ? 100 : static_cast<uint64_t>(done * 100.0 / static_cast<double>(total));
  std::string line =
      printed("streamtrim: pass %d/2  %3llu%%  ", pass, static_cast<unsigned long long>(percent));
  if (done == 0 || elapsed <= 0)
    return line + "-- B/s  --:-- left";
  double rate = static_cast<double>(done) / elapsed;
  double left = static_cast<double>(total - done) / rate;
  return line + formatBytes(rate) + "/s  " + formatClock(static_cast<uint64_t>(std::ceil(left))) +
         " left";
}

std::string summaryLine(const RunSummary& summary) {
  std::string line = "streamtrim: " + plural(summary.resultsSeen, "result", "results") + " seen, ";
  if (summary.cutRows.empty())
    line += "none cut";
  else
    line += std::to_string(summary.cutRows.size()) + " cut " + cutRowsText(summary.cutRows);
  line += "; " + formatBytes(static_cast<double>(summary.bytesIn)) + " in, ";
  if (summary.bytesDecoded > 0)
    line.insert(line.size() - 2,
                " (" + formatBytes(static_cast<double>(summary.bytesDecoded)) + " decoded)");
  return line + formatBytes(static_cast<double>(summary.bytesOut)) + " out; " +
         formatSeconds(summary.seconds);
}
