// trim_benchmark: how long streamtrim takes on a large, page-cached
// query-stream log compared with `wc -l` reading the same file, and how much
// memory it needs.
//
// Two logs are measured: one in which the results of queries 11, 16 and 20
// hold tens of millions of rows (so nearly all of the log is cut away), and a
// smaller one in which nothing is cut (so every line is copied). The logs are
// written once by make_stream_log and kept in the cache directory; a log is
// rewritten only when its parameters or its size no longer match.
//
// usage: trim_benchmark [--runs N] [--quick]
// It prints figures only; it asserts nothing about them.

#include <fcntl.h>
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
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kStreamtrim = STREAMTRIM_BIN;
constexpr const char* kGenerator = MAKE_STREAM_LOG_BIN;
constexpr const char* kCacheDir = BENCH_CACHE_DIR;
constexpr const char* kWc = "/usr/bin/wc";

[[noreturn]] void die(const std::string& what, const std::string& reason) {
  std::fprintf(stderr, "trim_benchmark: %s: %s\n", what.c_str(), reason.c_str());
  std::exit(1);
}

struct Scenario {
  std::string label;
  std::string fileName;
  std::vector<std::string> generatorArgs;
};

// The row counts give the stated sizes with make_stream_log's row lengths:
// about 18 bytes for query 11, 37 for query 16, 51 for query 20, 32 for
// query 3 and 61 for query 18. The uncut logs hold results of queries 11, 16
// and 20 of exactly 10000 rows, the most that is never cut.
std::vector<Scenario> scenarios(bool quick) {
  if (quick)
    return {
        {"cut, ~50 MB",
         "cut-50m.log",
         {"--streams", "2", "--rows", "11=200000", "--rows", "16=450000", "--rows", "20=100000"}},
        {"no cut, ~10 MB",
         "nocut-10m.log",
         {"--streams", "2", "--rows", "3=45000", "--rows", "18=37000", "--rows", "11=10000",
          "--rows", "16=10000", "--rows", "20=10000"}},
    };
  return {
      {"cut, ~1 GiB",
       "cut-1g.log",
       {"--streams", "3", "--rows", "11=3000000", "--rows", "16=5830000", "--rows", "20=1600000"}},
      {"no cut, ~100 MB",
       "nocut-100m.log",
       {"--streams", "8", "--rows", "3=130000", "--rows", "18=110000", "--rows", "11=10000",
        "--rows", "16=10000", "--rows", "20=10000"}},
  };
}

double now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Run {
  double seconds;
  long peakKiB;
};

// Runs a program with its standard output sent to `stdoutPath` and returns
// its wall time and peak resident memory; a failing program ends the benchmark.
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
    die(args[0], "exited with status " + std::to_string(WEXITSTATUS(status)));
  return {seconds, usage.ru_maxrss};
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

// Returns the path of the scenario's log, writing it first unless the cache
// holds one made with the same parameters and of the recorded size.
std::string cachedLog(const Scenario& scenario) {
  std::string log = std::string(kCacheDir) + "/" + scenario.fileName;
  std::string params = log + ".params";
  std::string wanted = joined(scenario.generatorArgs) + "\n";
  if (readText(params) == wanted + std::to_string(fileSize(log)) + "\n")
    return log;

  std::printf("writing %s (make_stream_log %s) ...\n", log.c_str(),
              joined(scenario.generatorArgs).c_str());
  std::fflush(stdout);
  std::string partial = log + ".partial";
  std::vector<std::string> args = {kGenerator};
  args.insert(args.end(), scenario.generatorArgs.begin(), scenario.generatorArgs.end());
  args.push_back(partial);
  Run run = runProgram(args, "/dev/null");
  if (std::rename(partial.c_str(), log.c_str()) != 0)
    die(log, std::strerror(errno));
  writeText(params, wanted + std::to_string(fileSize(log)) + "\n");
  std::printf("  written in %.1f s\n", run.seconds);
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

struct Result {
  std::string label;
  uint64_t bytes, lines, outputBytes;
  double trimSeconds, wcSeconds;
  long peakKiB;
};

Result measure(const Scenario& scenario, int runs) {
  std::string log = cachedLog(scenario);
  std::string out = log + ".trimmed";
  Result result{scenario.label, fileSize(log), countLines(log), 0, 0, 0, 0};
  std::vector<double> trim, wc;
  for (int i = 0; i < runs; ++i) {
    Run t = runProgram({kStreamtrim, log, out}, "/dev/null");
    Run w = runProgram({kWc, "-l", log}, "/dev/null");
    trim.push_back(t.seconds);
    wc.push_back(w.seconds);
    result.peakKiB = std::max(result.peakKiB, t.peakKiB);
    std::printf("  %-16s run %d: streamtrim %.3f s, wc -l %.3f s\n", scenario.label.c_str(), i + 1,
                t.seconds, w.seconds);
    std::fflush(stdout);
  }
  result.outputBytes = fileSize(out);
  std::remove(out.c_str());
  result.trimSeconds = median(trim);
  result.wcSeconds = median(wc);
  return result;
}

std::string mebibytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
  return text;
}

void printTable(const std::vector<Result>& results, int runs) {
  std::printf("\nmedian of %d runs each, alternating; page-cached input\n", runs);
  std::printf("%-16s %11s %11s %11s %10s %10s %7s %8s %10s\n", "log", "size", "lines", "output",
              "streamtrim", "wc -l", "ratio", "ns/line", "peak RSS");
  for (const Result& r : results)
    std::printf("%-16s %11s %11llu %11s %8.3f s %8.3f s %7.2f %8.1f %10s\n", r.label.c_str(),
                mebibytes(r.bytes).c_str(), static_cast<unsigned long long>(r.lines),
                mebibytes(r.outputBytes).c_str(), r.trimSeconds, r.wcSeconds,
                r.trimSeconds / r.wcSeconds, r.trimSeconds * 1e9 / static_cast<double>(r.lines),
                mebibytes(static_cast<uint64_t>(r.peakKiB) * 1024).c_str());
}

[[noreturn]] void usage() {
  std::fprintf(stderr,
               "usage: trim_benchmark [--runs N] [--quick]\n"
               "  --runs N  runs of streamtrim and of wc -l per log (default 7, 3 with --quick)\n"
               "  --quick   small logs (~50 MB and ~10 MB) for a smoke run\n");
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  int runs = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--quick") {
      quick = true;
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
      if (runs < 1)
        usage();
    } else {
      usage();
    }
  }
  if (runs == 0)
    runs = quick ? 3 : 7;
  if (mkdir(kCacheDir, 0755) != 0 && errno != EEXIST)
    die(kCacheDir, std::strerror(errno));

  std::vector<Result> results;
  for (const Scenario& scenario : scenarios(quick))
    results.push_back(measure(scenario, runs));
  printTable(results, runs);
  return 0;
}
