// trim_benchmark: how long streamtrim takes on large query-stream logs
// compared with programs that only read them, and how much memory it needs.
//
// Hot runs: on a page-cached log in which the results of queries 11, 16 and
// 20 hold tens of millions of rows (so nearly all of it is cut away), and on
// a smaller one in which nothing is cut (so every line is copied), streamtrim
// alternates with `wc -l`. Cold runs: on the large log again, streamtrim
// alternates with `cat LOG > /dev/null`, the log taken out of the page cache
// before each run. Hostile shapes: a log of ten million tiny results, one of
// ten thousand cut results and one of a single 200 MB line, each run once
// for its time and peak memory. The checker, streamtrim-verify, is timed
// against `wc -l` on the large cut log's cut, with the original and alone,
// and with the original piped through `cat` (against `cat | wc -l`), and run
// on the hostile shapes' cuts for its time and peak memory. Copied lines: on
// a page-cached log of ten million lines of which none is cut, streamtrim
// writing its output file alternates with `cp` copying the log, which is the
// least any program that writes the same bytes must spend; streamtrim with
// its standard output redirected to a file alternates with `cat LOG > FILE`;
// and streamtrim writing an output in place (in a folder locked against new
// files) alternates with it replacing an output. Compressed logs: the large
// log compressed with `zstd -3` and with `gzip -6` (by the command-line
// tools, once), streamtrim cutting each alternates with the format's tool
// decoding it twice to /dev/null (`zstd -dc`, `gzip -dc`), as streamtrim's
// two passes must; the plain log's run gives its time and memory beside them.
//
// The generated logs are kept in the cache directory and rewritten only when
// their recipe or their size no longer match.
//
// usage: trim_benchmark [--runs N] [--quick] [--checker] [--copied] [--compressed]
//                       [--streamtrim PATH] [--against PATH]
// It prints figures only; it asserts nothing about them.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "hostile_logs.h"
#include "page_cache.h"

namespace {

const char* streamtrimBinary = STREAMTRIM_BIN;  // --streamtrim replaces it
constexpr const char* kVerify = STREAMTRIM_VERIFY_BIN;
constexpr const char* kGenerator = MAKE_STREAM_LOG_BIN;
constexpr const char* kCacheDir = BENCH_CACHE_DIR;
constexpr const char* kWc = "/usr/bin/wc";
constexpr const char* kCat = "/bin/cat";
constexpr const char* kCp = "/bin/cp";
constexpr const char* kShell = "/bin/sh";
constexpr const char* kZstd = "/usr/bin/zstd";
constexpr const char* kGzip = "/bin/gzip";

[[noreturn]] void die(const std::string& what, const std::string& reason) {
  std::fprintf(stderr, "trim_benchmark: %s: %s\n", what.c_str(), reason.c_str());
  std::exit(1);
}

double now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Run {
  double seconds;
  long peakKiB;
  double cpuSeconds;  // user and system time of the process
};

std::string readText(const std::string& path);

// Where the measured programs' standard error goes: the notes streamtrim
// gives on the uncut log's large results would fill the benchmark's report.
const std::string kStderrPath = std::string(kCacheDir) + "/stderr.txt";

// Runs a program with its standard output sent to `stdoutPath` and returns
// its wall time and peak resident memory; a failing program ends the
// benchmark, with what it wrote to standard error.
Run runProgram(const std::vector<std::string>& args, const char* stdoutPath) {
  std::vector<char*> argv;
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  double start = now();
  pid_t pid = fork();
  if (pid < 0)
    die("fork", std::strerror(errno));
  if (pid == 0) {
    int fd = open(stdoutPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0)
      _exit(126);
    int errFd = open(kStderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (errFd < 0 || dup2(errFd, STDERR_FILENO) < 0)
      _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) < 0)
    die("wait4", std::strerror(errno));
  double seconds = now() - start;
  if (WIFSIGNALED(status))
    die(args[0], "killed by signal " + std::to_string(WTERMSIG(status)));
  if (WEXITSTATUS(status) != 0)
    die(args[0],
        "exited with status " + std::to_string(WEXITSTATUS(status)) + ": " + readText(kStderrPath));
  double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return {seconds, usage.ru_maxrss, cpu};
}

uint64_t fileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

std::string readText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  out.close();
  if (!out)
    die(path, "cannot write");
}

std::string joined(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args)
    text += (text.empty() ? "" : " ") + arg;
  return text;
}

// A log the benchmark writes once and keeps: recipe says how it was made.
struct LogFile {
  std::string label;
  std::string fileName;
  std::string recipe;
  std::function<void(const std::string& path)> write;
};

LogFile generated(const std::string& label, const std::string& fileName,
                  const std::vector<std::string>& generatorArgs) {
  auto write = [generatorArgs](const std::string& path) {
    std::vector<std::string> args = {kGenerator};
    args.insert(args.end(), generatorArgs.begin(), generatorArgs.end());
    args.push_back(path);
    runProgram(args, "/dev/null");
  };
  return {label, fileName, joined(generatorArgs), write};
}

// The row counts give the stated sizes with make_stream_log's row lengths:
// about 18 bytes for query 11, 37 for query 16, 51 for query 20, 32 for
// query 3 and 61 for query 18. The uncut logs hold results of queries 11, 16
// and 20 of exactly 10000 rows, the most that is never cut.
std::vector<LogFile> hotLogs(bool quick) {
  if (quick)
    return {
        generated("cut, ~50 MB", "cut-50m.log",
                  {"--streams", "2", "--rows", "11=200000", "--rows", "16=450000", "--rows",
                   "20=100000"}),
        generated("no cut, ~10 MB", "nocut-10m.log",
                  {"--streams", "2", "--rows", "3=45000", "--rows", "18=37000", "--rows",
                   "11=10000", "--rows", "16=10000", "--rows", "20=10000"}),
    };
  return {
      generated("cut, ~1 GiB", "cut-1g.log",
                {"--streams", "3", "--rows", "11=3000000", "--rows", "16=5830000", "--rows",
                 "20=1600000"}),
      generated("no cut, ~100 MB", "nocut-100m.log",
                {"--streams", "8", "--rows", "3=130000", "--rows", "18=110000", "--rows",
                 "11=10000", "--rows", "16=10000", "--rows", "20=10000"}),
  };
}

// Ten million lines (a tenth with --quick), about 320 MB, none of them cut:
// query 16 keeps the 10000 rows that are never cut.
LogFile copiedLinesLog(bool quick) {
  const std::string rows = quick ? "1000000" : "10000000";
  return generated("copied lines", "copied-" + rows + ".log",
                   {"--streams", "1", "--rows", "3=" + rows, "--rows", "16=10000"});
}

// About 200 MB each (a tenth of that with --quick).
std::vector<LogFile> hostileLogs(bool quick) {
  uint64_t scale = quick ? 10 : 1;
  uint64_t tiny = 10'000'000 / scale, cut = 10'000 / scale, line = 200'000'000 / scale;
  return {
      {std::to_string(tiny) + " tiny tables", "tiny-tables-" + std::to_string(tiny) + ".log",
       "tiny tables " + std::to_string(tiny),
       [tiny](const std::string& path) { writeTinyTables(path, tiny); }},
      {std::to_string(cut) + " cut tables", "cut-tables-" + std::to_string(cut) + ".log",
       "cut tables " + std::to_string(cut) + " of 10001 rows",
       [cut](const std::string& path) { writeCutTables(path, cut, 10001); }},
      {"one " + std::to_string(line / 1'000'000) + " MB line",
       "single-line-" + std::to_string(line) + ".log", "single line " + std::to_string(line),
       [line](const std::string& path) { writeSingleLine(path, line); }},
  };
}

// Returns the path of the log, writing it first unless the cache holds one
// made with the same recipe and of the recorded size.
std::string cachedLog(const LogFile& file) {
  std::string log = std::string(kCacheDir) + "/" + file.fileName;
  std::string params = log + ".params";
  std::string wanted = file.recipe + "\n";
  if (readText(params) == wanted + std::to_string(fileSize(log)) + "\n")
    return log;

  std::printf("writing %s (%s) ...\n", log.c_str(), file.recipe.c_str());
  std::fflush(stdout);
  std::string partial = log + ".partial";
  double start = now();
  file.write(partial);
  if (std::rename(partial.c_str(), log.c_str()) != 0)
    die(log, std::strerror(errno));
  writeText(params, wanted + std::to_string(fileSize(log)) + "\n");
  std::printf("  written in %.1f s\n", now() - start);
  return log;
}

// Reads the whole log once, which also brings it into the page cache.
uint64_t countLines(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0)
    die(path, std::strerror(errno));
  std::vector<char> block(1 << 20);
  uint64_t lines = 0;
  ssize_t got = 0;
  while ((got = read(fd, block.data(), block.size())) > 0)
    lines += static_cast<uint64_t>(std::count(block.data(), block.data() + got, '\n'));
  if (got < 0)
    die(path, std::strerror(errno));
  close(fd);
  return lines;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Contender {
  const char* name;
  std::vector<std::string> args;
  bool cold = false;                     // the log is taken out of the page cache before each run
  std::string stdoutPath = "/dev/null";  // where its standard output goes (emptied)
};

struct Measured {
  double seconds;  // median
  long peakKiB;
  double cpuSeconds;  // median
};

// Runs the contenders one after the other, runs times over, so that a
// disturbance of the machine falls on all of them alike; returns each one's
// median time and peak memory.
std::vector<Measured> alternate(const std::string& label, const char* kind, const std::string& log,
                                const std::vector<Contender>& contenders, int runs) {
  std::vector<std::vector<double>> times(contenders.size()), cpuTimes(contenders.size());
  std::vector<Measured> result(contenders.size(), {0, 0, 0});
  for (int i = 0; i < runs; ++i) {
    std::printf("  %-16s %s run %d:", label.c_str(), kind, i + 1);
    for (size_t c = 0; c < contenders.size(); ++c) {
      if (contenders[c].cold)
        evictFromPageCache(log);
      Run run = runProgram(contenders[c].args, contenders[c].stdoutPath.c_str());
      times[c].push_back(run.seconds);
      cpuTimes[c].push_back(run.cpuSeconds);
      result[c].peakKiB = std::max(result[c].peakKiB, run.peakKiB);
      std::printf("%s %s %.3f s", c == 0 ? "" : ",", contenders[c].name, run.seconds);
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  for (size_t c = 0; c < contenders.size(); ++c) {
    result[c].seconds = median(times[c]);
    result[c].cpuSeconds = median(cpuTimes[c]);
  }
  return result;
}

struct HotResult {
  std::string label;
  uint64_t bytes, lines, outputBytes;
  double trimSeconds, wcSeconds;
  long peakKiB;
};

HotResult measureHot(const LogFile& file, int runs) {
  std::string log = cachedLog(file);
  std::string out = log + ".trimmed";
  HotResult result{file.label, fileSize(log), countLines(log), 0, 0, 0, 0};
  std::vector<Measured> m =
      alternate(file.label, "hot", log,
                {{"streamtrim", {streamtrimBinary, log, out}}, {"wc -l", {kWc, "-l", log}}}, runs);
  result.outputBytes = fileSize(out);
  std::remove(out.c_str());
  result.trimSeconds = m[0].seconds;
  result.wcSeconds = m[1].seconds;
  result.peakKiB = m[0].peakKiB;
  return result;
}

struct ColdResult {
  std::string label;
  uint64_t bytes;
  double trimSeconds, catSeconds, cachedAfterEviction;
  long peakKiB;
};

// Each run starts with the log out of the page cache. The cached fraction
// measured after one eviction shows that the eviction works on this system.
ColdResult measureCold(const LogFile& file, int runs) {
  std::string log = cachedLog(file);
  std::string out = log + ".trimmed";
  evictFromPageCache(log);
  ColdResult result{file.label, fileSize(log), 0, 0, cachedFraction(log), 0};
  std::vector<Measured> m = alternate(
      file.label, "cold", log,
      {{"cat", {kCat, log}, true}, {"streamtrim", {streamtrimBinary, log, out}, true}}, runs);
  std::remove(out.c_str());
  result.catSeconds = m[0].seconds;
  result.trimSeconds = m[1].seconds;
  result.peakKiB = m[1].peakKiB;
  return result;
}

// The large log compressed by a command-line tool, as a site keeps its logs:
// made once from the cached log and kept beside it.
LogFile compressed(const LogFile& plain, const char* tool, const char* level, const char* suffix) {
  auto write = [plain, tool, level](const std::string& path) {
    runProgram({tool, level, "-c", cachedLog(plain)}, path.c_str());
  };
  std::string name = std::string(tool).substr(std::string(tool).rfind('/') + 1);
  return {name + " " + level, plain.fileName + suffix, name + " " + level + " of " + plain.recipe,
          write};
}

struct CompressedResult {
  std::string label;
  uint64_t bytes;
  double trimSeconds, twiceSeconds, target;
  long peakKiB;
};

// streamtrim on a compressed log decodes it twice, once a pass, and cuts
// it: its yardstick is the format's own tool decoding the log twice to
// /dev/null, which is the least any two passes over it cost. The cut must
// be the plain log's cut. plainCut is that cut's path.
CompressedResult measureCompressedLog(const LogFile& file, const char* tool, double target,
                                      const std::string& plainCut, int runs) {
  std::string log = cachedLog(file);
  std::string out = log + ".trimmed";
  countLines(log);
  const std::string twice = "\"$0\" -dc \"$1\" && exec \"$0\" -dc \"$1\"";
  std::vector<Measured> m = alternate(file.label, "compressed", log,
                                      {{"streamtrim", {streamtrimBinary, log, out}},
                                       {"decoded twice", {kShell, "-c", twice, tool, log}}},
                                      runs);
  if (readText(out) != readText(plainCut))
    die(out, "not the cut of the plain log");
  std::remove(out.c_str());
  return {file.label, fileSize(log), m[0].seconds, m[1].seconds, target, m[0].peakKiB};
}

// The plain log first, for its cut and its peak memory beside the compressed
// ones'; then zstd -3 and gzip -6 of it, each against its yardstick.
std::vector<CompressedResult> measureCompressed(const LogFile& plain, int runs) {
  std::string log = cachedLog(plain);
  std::string cut = log + ".trimmed-plain";
  countLines(log);
  std::vector<Measured> m =
      alternate(plain.label, "plain", log, {{"streamtrim", {streamtrimBinary, log, cut}}}, runs);
  std::vector<CompressedResult> results{{"plain", fileSize(log), m[0].seconds, 0, 0, m[0].peakKiB}};
  results.push_back(
      measureCompressedLog(compressed(plain, kZstd, "-3", ".zst"), kZstd, 1.0, cut, runs));
  results.push_back(
      measureCompressedLog(compressed(plain, kGzip, "-6", ".gz"), kGzip, 0.6, cut, runs));
  std::remove(cut.c_str());
  return results;
}

struct CopyResult {
  std::string label;
  uint64_t bytes, lines;
  double trimSeconds, cpSeconds;
  double stdoutSeconds, catSeconds;       // standard output redirected to a file
  double nullSeconds, catNullSeconds;     // the cut to /dev/null, as a dry run writes it
  double inPlaceSeconds, replaceSeconds;  // -1 where no folder could be locked
  long peakKiB;
};

// A folder in which no file can be made while its files may be written: for
// root, whom permissions do not stop, one marked immutable. locked() is
// false where the file system allows neither.
class LockedFolder {
 public:
  explicit LockedFolder(const std::string& path) : fd_(open(path.c_str(), O_RDONLY)) {
    if (geteuid() != 0) {
      locked_ = chmod(path.c_str(), 0555) == 0;
      return;
    }
    if (ioctl(fd_, FS_IOC_GETFLAGS, &flags_) != 0)
      return;
    int immutable = flags_ | FS_IMMUTABLE_FL;
    locked_ = ioctl(fd_, FS_IOC_SETFLAGS, &immutable) == 0;
  }
  ~LockedFolder() {
    if (locked_ && geteuid() == 0)
      ioctl(fd_, FS_IOC_SETFLAGS, &flags_);
    fchmod(fd_, 0755);
    close(fd_);
  }
  bool locked() const { return locked_; }

 private:
  int fd_;
  int flags_ = 0;
  bool locked_ = false;
};

// streamtrim must write the log whole, as cp does: a log it cut would not
// measure the copying.
CopyResult measureCopied(const LogFile& file, int runs) {
  std::string log = cachedLog(file);
  std::string out = log + ".trimmed";
  std::string copy = log + ".copied";
  CopyResult result{file.label, fileSize(log), countLines(log), 0, 0, 0, 0, 0, 0, -1, -1, 0};
  std::vector<Measured> m =
      alternate(file.label, "copy", log,
                {{"streamtrim", {streamtrimBinary, log, out}}, {"cp", {kCp, log, copy}}}, runs);
  if (fileSize(out) != result.bytes)
    die(out, "not a copy of the log: some of it was cut");
  result.trimSeconds = m[0].seconds;
  result.cpSeconds = m[1].seconds;
  result.peakKiB = m[0].peakKiB;
  m = alternate(
      file.label, "stdout", log,
      {{"streamtrim >", {streamtrimBinary, log}, false, out}, {"cat >", {kCat, log}, false, copy}},
      runs);
  if (fileSize(out) != result.bytes)
    die(out, "not a copy of the log: some of it was cut");
  result.stdoutSeconds = m[0].seconds;
  result.catSeconds = m[1].seconds;
  m = alternate(file.label, "/dev/null", log,
                {{"streamtrim /dev/null", {streamtrimBinary, log, "/dev/null"}},
                 {"cat > /dev/null", {kCat, log}}},
                runs);
  result.nullSeconds = m[0].seconds;
  result.catNullSeconds = m[1].seconds;
  std::remove(out.c_str());
  std::remove(copy.c_str());

  std::string folder = log + ".locked";
  std::string inPlace = folder + "/out.log";
  mkdir(folder.c_str(), 0755);
  writeText(inPlace, "");
  {
    LockedFolder locked(folder);
    if (locked.locked()) {
      m = alternate(file.label, "in place", log,
                    {{"in place", {streamtrimBinary, log, inPlace}},
                     {"replaced", {streamtrimBinary, log, out}}},
                    runs);
      result.inPlaceSeconds = m[0].seconds;
      result.replaceSeconds = m[1].seconds;
    }
  }
  if (result.inPlaceSeconds >= 0 && fileSize(inPlace) != result.bytes)
    die(inPlace, "not a copy of the log: some of it was cut");
  std::remove(inPlace.c_str());
  std::remove(folder.c_str());
  std::remove(out.c_str());
  return result;
}

struct VerifyResult {
  std::string label;
  double againstSeconds, wcSeconds, aloneSeconds, pipedSeconds, pipedWcSeconds;
  long peakKiB;
};

// The checker on streamtrim's cut of a page-cached log: it must pass (a
// failing run ends the benchmark), and against the original it reads all of
// the original, as `wc -l` does. Piped, the original comes through `cat`, as
// it would from a decompressor, and `wc -l` reads it the same way.
VerifyResult measureVerify(const LogFile& file, int runs) {
  std::string log = cachedLog(file);
  std::string cut = log + ".trimmed";
  runProgram({streamtrimBinary, log, cut}, "/dev/null");
  countLines(log);
  const std::string piped = std::string(kCat) + " \"$1\" | exec \"$0\" \"$2\" /dev/stdin";
  const std::string pipedWc = std::string(kCat) + " \"$1\" | exec \"$0\" -l";
  std::vector<Measured> m = alternate(file.label, "verify", log,
                                      {{"against the log", {kVerify, cut, log}},
                                       {"wc -l", {kWc, "-l", log}},
                                       {"alone", {kVerify, cut}},
                                       {"piped", {kShell, "-c", piped, kVerify, log, cut}},
                                       {"piped wc -l", {kShell, "-c", pipedWc, kWc, log}}},
                                      runs);
  std::remove(cut.c_str());
  return {file.label,
          m[0].seconds,
          m[1].seconds,
          m[2].seconds,
          m[3].seconds,
          m[4].seconds,
          std::max({m[0].peakKiB, m[2].peakKiB, m[3].peakKiB})};
}

struct ShapeResult {
  std::string label;
  uint64_t bytes, outputBytes;
  double seconds;
  long peakKiB;
  double verifySeconds;
  long verifyPeakKiB;
};

// One run on a page-cached log, then one check of its cut against it: these
// logs are about memory.
ShapeResult measureShape(const LogFile& file) {
  std::string log = cachedLog(file);
  std::string out = log + ".trimmed";
  countLines(log);
  Run t = runProgram({streamtrimBinary, log, out}, "/dev/null");
  Run v = runProgram({kVerify, out, log}, "/dev/null");
  std::printf("  %-16s run: streamtrim %.3f s, verify %.3f s\n", file.label.c_str(), t.seconds,
              v.seconds);
  std::fflush(stdout);
  ShapeResult result{file.label, fileSize(log), fileSize(out), t.seconds,
                     t.peakKiB,  v.seconds,     v.peakKiB};
  std::remove(out.c_str());
  return result;
}

std::string mebibytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
  return text;
}

std::string kibibytes(long kib) {
  return mebibytes(static_cast<uint64_t>(kib) * 1024);
}

void printHot(const std::vector<HotResult>& results, int runs) {
  std::printf("\nhot: median of %d runs each, alternating; page-cached input\n", runs);
  std::printf("%-16s %11s %11s %11s %10s %10s %7s %8s %10s\n", "log", "size", "lines", "output",
              "streamtrim", "wc -l", "ratio", "ns/line", "peak RSS");
  for (const HotResult& r : results)
    std::printf("%-16s %11s %11llu %11s %8.3f s %8.3f s %7.2f %8.1f %10s\n", r.label.c_str(),
                mebibytes(r.bytes).c_str(), static_cast<unsigned long long>(r.lines),
                mebibytes(r.outputBytes).c_str(), r.trimSeconds, r.wcSeconds,
                r.trimSeconds / r.wcSeconds, r.trimSeconds * 1e9 / static_cast<double>(r.lines),
                kibibytes(r.peakKiB).c_str());
}

void printCold(const ColdResult& r, int runs) {
  std::printf("\ncold: median of %d runs each, alternating; log evicted before each run\n", runs);
  std::printf("%-16s %11s %10s %10s %7s %10s %16s\n", "log", "size", "streamtrim", "cat", "ratio",
              "peak RSS", "cached after evict");
  std::printf("%-16s %11s %8.3f s %8.3f s %7.2f %10s %15.1f%%\n", r.label.c_str(),
              mebibytes(r.bytes).c_str(), r.trimSeconds, r.catSeconds, r.trimSeconds / r.catSeconds,
              kibibytes(r.peakKiB).c_str(), 100 * r.cachedAfterEviction);
}

void printCompressed(const std::vector<CompressedResult>& results, const std::string& of,
                     int runs) {
  std::printf("\ncompressed: median of %d runs each, alternating; page-cached input; %s\n", runs,
              of.c_str());
  std::printf("%-16s %11s %10s %13s %7s %7s %10s\n", "log", "size", "streamtrim", "decoded twice",
              "ratio", "target", "peak RSS");
  for (const CompressedResult& r : results) {
    if (r.twiceSeconds == 0) {
      std::printf("%-16s %11s %8.3f s %13s %7s %7s %10s\n", r.label.c_str(),
                  mebibytes(r.bytes).c_str(), r.trimSeconds, "", "", "",
                  kibibytes(r.peakKiB).c_str());
      continue;
    }
    std::printf("%-16s %11s %8.3f s %11.3f s %7.2f %7.2f %10s\n", r.label.c_str(),
                mebibytes(r.bytes).c_str(), r.trimSeconds, r.twiceSeconds,
                r.trimSeconds / r.twiceSeconds, r.target, kibibytes(r.peakKiB).c_str());
  }
}

void printCopied(const CopyResult& r, int runs) {
  std::printf("\ncopied lines: median of %d runs each, alternating; page-cached input\n", runs);
  std::printf("%-16s %11s %11s %10s %10s %7s %10s\n", "log", "size", "lines", "streamtrim", "cp",
              "ratio", "peak RSS");
  std::printf("%-16s %11s %11llu %8.3f s %8.3f s %7.2f %10s\n", r.label.c_str(),
              mebibytes(r.bytes).c_str(), static_cast<unsigned long long>(r.lines), r.trimSeconds,
              r.cpSeconds, r.trimSeconds / r.cpSeconds, kibibytes(r.peakKiB).c_str());
  std::printf("%-16s %11s %11s %10s %10s %7s\n", "", "", "", "stdout>file", "cat>file", "ratio");
  std::printf("%-16s %11s %11s %8.3f s %8.3f s %7.2f\n", "", "", "", r.stdoutSeconds, r.catSeconds,
              r.stdoutSeconds / r.catSeconds);
  std::printf("%-16s %11s %11s %10s %10s %7s\n", "", "", "", "/dev/null", "cat>null", "ratio");
  std::printf("%-16s %11s %11s %8.3f s %8.3f s %7.2f\n", "", "", "", r.nullSeconds,
              r.catNullSeconds, r.nullSeconds / r.catNullSeconds);
  if (r.inPlaceSeconds < 0) {
    std::printf("in place: not measured, no folder could be locked against new files here\n");
    return;
  }
  std::printf("%-16s %11s %11s %10s %10s %7s\n", "", "", "", "in place", "replaced", "ratio");
  std::printf("%-16s %11s %11s %8.3f s %8.3f s %7.2f\n", "", "", "", r.inPlaceSeconds,
              r.replaceSeconds, r.inPlaceSeconds / r.replaceSeconds);
}

void printVerify(const VerifyResult& r, int runs) {
  std::printf("\nverify: median of %d runs each, alternating; page-cached input\n", runs);
  std::printf("%-16s %15s %10s %7s %10s %16s %13s %7s %10s\n", "log", "against the log", "wc -l",
              "ratio", "alone", "original piped", "piped wc -l", "ratio", "peak RSS");
  std::printf("%-16s %13.3f s %8.3f s %7.2f %8.3f s %14.3f s %11.3f s %7.2f %10s\n",
              r.label.c_str(), r.againstSeconds, r.wcSeconds, r.againstSeconds / r.wcSeconds,
              r.aloneSeconds, r.pipedSeconds, r.pipedWcSeconds, r.pipedSeconds / r.pipedWcSeconds,
              kibibytes(r.peakKiB).c_str());
}

void printShapes(const std::vector<ShapeResult>& results) {
  std::printf("\nhostile shapes: one run each; page-cached input\n");
  std::printf("%-20s %11s %11s %10s %10s %10s %10s\n", "log", "size", "output", "streamtrim",
              "peak RSS", "verify", "peak RSS");
  for (const ShapeResult& r : results)
    std::printf("%-20s %11s %11s %8.3f s %10s %8.3f s %10s\n", r.label.c_str(),
                mebibytes(r.bytes).c_str(), mebibytes(r.outputBytes).c_str(), r.seconds,
                kibibytes(r.peakKiB).c_str(), r.verifySeconds, kibibytes(r.verifyPeakKiB).c_str());
}

// Two builds of streamtrim on the same page-cached logs, run alternately:
// the one measured and another (--against), for what a change of build
// (flags, linking) costs. Both must write the same cut.
struct AgainstResult {
  std::string label;
  uint64_t bytes;
  double seconds, otherSeconds, cpuSeconds, otherCpuSeconds;
};

std::vector<AgainstResult> measureAgainst(const std::string& other, bool quick, int runs) {
  std::vector<AgainstResult> results;
  for (const LogFile& file : {hotLogs(quick).front(), copiedLinesLog(quick)}) {
    std::string log = cachedLog(file);
    std::string out = log + ".trimmed", otherOut = log + ".trimmed-other";
    countLines(log);
    std::vector<Measured> m = alternate(
        file.label, "hot", log,
        {{"streamtrim", {streamtrimBinary, log, out}}, {"other", {other, log, otherOut}}}, runs);
    if (readText(out) != readText(otherOut))
      die(otherOut, "not the cut " + std::string(streamtrimBinary) + " wrote");
    std::remove(out.c_str());
    std::remove(otherOut.c_str());
    results.push_back(
        {file.label, fileSize(log), m[0].seconds, m[1].seconds, m[0].cpuSeconds, m[1].cpuSeconds});
  }
  return results;
}

// The processor time (user and system) of the process is printed beside the
// elapsed time: on a machine shared with other work it varies far less, and
// it is what a change of build changes.
void printAgainst(const std::vector<AgainstResult>& results, const std::string& other, int runs) {
  std::printf("\nstreamtrim: %s\nother:      %s\nmedians of %d alternating runs, page-cached\n",
              streamtrimBinary, other.c_str(), runs);
  std::printf("%-16s %11s %12s %12s %8s %12s %12s %8s\n", "log", "size", "streamtrim", "other",
              "ratio", "cpu", "other cpu", "ratio");
  for (const AgainstResult& r : results)
    std::printf("%-16s %11s %10.3f s %10.3f s %8.3f %10.3f s %10.3f s %8.3f\n", r.label.c_str(),
                mebibytes(r.bytes).c_str(), r.seconds, r.otherSeconds, r.seconds / r.otherSeconds,
                r.cpuSeconds, r.otherCpuSeconds, r.cpuSeconds / r.otherCpuSeconds);
}

[[noreturn]] void usage() {
  std::fprintf(stderr,
               "usage: trim_benchmark [--runs N] [--quick] [--checker] [--copied] "
               "[--compressed] [--streamtrim PATH] [--against PATH]\n"
               "  --runs N           hot and cold runs per log (default 7, 3 with --quick)\n"
               "  --quick            logs of a tenth or less of the size, for a smoke run\n"
               "  --checker          measure the checker on the large log only\n"
               "  --copied           measure copying the log of copied lines only\n"
               "  --compressed       measure the large log compressed with zstd -3 and gzip -6\n"
               "                     only, against decoding it twice\n"
               "  --streamtrim PATH  measure this binary instead of the one built here\n"
               "  --against PATH     only the hot large log and the log of copied lines, with\n"
               "                     this other build of streamtrim run alternately\n");
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  bool checkerOnly = false;
  bool copiedOnly = false;
  bool compressedOnly = false;
  std::string against;
  int runs = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--quick") {
      quick = true;
    } else if (arg == "--checker") {
      checkerOnly = true;
    } else if (arg == "--copied") {
      copiedOnly = true;
    } else if (arg == "--compressed") {
      compressedOnly = true;
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
      if (runs < 1)
        usage();
    } else if (arg == "--streamtrim" && i + 1 < argc) {
      streamtrimBinary = argv[++i];
    } else if (arg == "--against" && i + 1 < argc) {
      against = argv[++i];
    } else {
      usage();
    }
  }
  if (runs == 0)
    runs = quick ? 3 : 7;
  if (mkdir(kCacheDir, 0755) != 0 && errno != EEXIST)
    die(kCacheDir, std::strerror(errno));

  std::printf("measuring %s\n", streamtrimBinary);
  if (!against.empty()) {
    printAgainst(measureAgainst(against, quick, runs), against, runs);
    return 0;
  }
  if (copiedOnly) {
    printCopied(measureCopied(copiedLinesLog(quick), runs), runs);
    return 0;
  }
  std::vector<LogFile> hot = hotLogs(quick);
  const std::string compressedOf = "of the log \"" + hot.front().label + "\"";
  if (compressedOnly) {
    printCompressed(measureCompressed(hot.front(), runs), compressedOf, runs);
    return 0;
  }
  if (checkerOnly) {
    printVerify(measureVerify(hot.front(), runs), runs);
    return 0;
  }
  std::vector<HotResult> hotResults;
  for (const LogFile& file : hot)
    hotResults.push_back(measureHot(file, runs));
  CopyResult copied = measureCopied(copiedLinesLog(quick), runs);
  VerifyResult verify = measureVerify(hot.front(), runs);
  ColdResult cold = measureCold(hot.front(), runs);
  std::vector<CompressedResult> compressedResults = measureCompressed(hot.front(), runs);
  std::vector<ShapeResult> shapes;
  for (const LogFile& file : hostileLogs(quick))
    shapes.push_back(measureShape(file));
  printHot(hotResults, runs);
  printCopied(copied, runs);
  printVerify(verify, runs);
  printCold(cold, runs);
  printCompressed(compressedResults, compressedOf, runs);
  printShapes(shapes);
  return 0;
}
