// The streamtrim-verify command:
//   streamtrim-verify [--any-sample] <cutlog> [<inputfile>]
//   streamtrim-verify --version
//
// Checks a cut log alone or against its original (verifier.h), prints one
// line per cut result and a summary on standard output, and each problem on
// standard error as "streamtrim-verify: <file>:<line>: <what>". The exit
// status follows cmp and diff: 0 verified, 1 a violation, 2 could not check
// (misuse, a file that cannot be read, a read or write error).

#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "checker/verifier.h"
#include "system/command_line.h"
#include "system/failure.h"

namespace {

constexpr int kVerified = 0;
constexpr int kViolation = 1;
constexpr int kCannotCheck = 2;

const char* progname = "streamtrim-verify";

void printUsage(FILE* to) {
  std::fprintf(to,
               "usage: %s [--any-sample] <cutlog> [<inputfile>]\n"
               "       %s --version\n\n"
               "Checks that a query-stream log cut by streamtrim is a faithful cut.\n"
               "Alone it checks every cut result's shape and that its random rows are\n"
               "the ones streamtrim draws; with the original log it also checks that\n"
               "every line and every kept row is the original's.\n\n"
               "\t--any-sample  accept any random rows that meet the reporting rule\n"
               "\t--version     print the version and exit\n"
               "\tcutlog        the cut log to check\n"
               "\tinputfile     the log it was cut from\n\n"
               "Exit status: 0 verified, 1 a violation found, 2 could not check.\n",
               progname, progname);
}

[[noreturn]] void usageError(const std::string& what) {
  if (!what.empty())
    std::fprintf(stderr, "%s: %s\n", progname, what.c_str());
  printUsage(stderr);
  std::exit(kCannotCheck);
}

VerifyOptions parseArguments(const std::vector<std::string>& arguments) {
  VerifyOptions options;
  std::vector<std::string> paths;
  bool optionsEnded = false;
  for (const std::string& argument : arguments) {
    std::string_view arg = argument;
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      paths.emplace_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--any-sample") {
      options.anySample = true;
    } else if (arg == "--help") {
      printUsage(stdout);
      std::exit(closeStandardOutput(progname) ? kVerified : kCannotCheck);
    } else if (arg == "--version") {
      std::printf("%s %s\n", progname, STREAMTRIM_VERSION);
      std::exit(closeStandardOutput(progname) ? kVerified : kCannotCheck);
    } else {
      usageError("unknown option " + printableName(arg));
    }
  }
  if (paths.empty() || paths.size() > 2)
    usageError(paths.empty() ? "" : "too many arguments");
  options.cutLog = paths[0];
  if (paths.size() == 2)
    options.original = paths[1];
  return options;
}

const char* verdictWord(Verdict verdict, const char* passed, const char* failed) {
  switch (verdict) {
    case Verdict::kPassed:
      return passed;
    case Verdict::kFailed:
      return failed;
    default:
      return "unchecked";
  }
}

class PrintingListener : public VerifyListener {
 public:
  explicit PrintingListener(const VerifyOptions& options)
      : options_(options), cutName_(printableName(options.cutLog)) {}

  void problem(const std::string& file, uint64_t line, const std::string& what) override {
    std::fprintf(stderr, "%s: %s:%llu: %s\n", progname, printableName(file).c_str(),
                 static_cast<unsigned long long>(line), what.c_str());
  }

  // A note reads as a problem does, and says it is a note.
  void note(const std::string& file, uint64_t line, const std::string& what) override {
    problem(file, line, what);
  }

  void cutResult(const CutResultReport& report) override {
    std::string rows = report.rows == 0 ? "an unknown number of" : std::to_string(report.rows);
    std::printf("%s:%llu: query %d, %s rows: shape %s, sample %s", cutName_.c_str(),
                static_cast<unsigned long long>(report.line), static_cast<int>(report.queryNr),
                rows.c_str(), verdictWord(report.shape, "ok", "violated"),
                options_.anySample ? "any" : verdictWord(report.sample, "ok", "not streamtrim's"));
    if (!options_.original.empty())
      std::printf(", rows %s", verdictWord(report.original, "match", "differ"));
    std::printf("\n");
  }

 private:
  const VerifyOptions& options_;
  std::string cutName_;
};

void printSummary(const VerifyOptions& options, const VerifySummary& summary) {
  std::string against =
      options.original.empty() ? "alone" : "against " + printableName(options.original);
  std::printf("%s: %llu results, %llu cut, checked %s %s: ", printableName(options.cutLog).c_str(),
              static_cast<unsigned long long>(summary.results),
              static_cast<unsigned long long>(summary.cutResults),
              options.anySample ? "for any sample" : "strictly", against.c_str());
  if (summary.problems == 0)
    std::printf("verified\n");
  else
    std::printf("%llu problem%s\n", static_cast<unsigned long long>(summary.problems),
                summary.problems == 1 ? "" : "s");
}

}  // namespace

int main(int argc, char** argv) {
  prepareStandardStreams();
  VerifyOptions options = parseArguments(commandLineArguments(argc, argv));
  PrintingListener listener(options);
  int status = kCannotCheck;
  try {
    VerifySummary summary = verifyCutLog(options, listener);
    printSummary(options, summary);
    status = summary.problems == 0 ? kVerified : kViolation;
  } catch (const Failure& failure) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", progname, failure.what());
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s: out of memory\n", progname,
                 printableName(options.cutLog).c_str());
  }
  if (!closeStandardOutput(progname))
    return kCannotCheck;
  return status;
}
