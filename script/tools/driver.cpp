#include "driver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "failure.h"
#include "input_file.h"
#include "output_file.h"
#include "progress.h"
#include "scanner.h"

const char* progname = nullptr;

void usage() {
  std::fprintf(stderr,
               "usage: %s <inputfile> [<outputfile>]\n\n"
               "Cuts resultsets in the logfile of a querystream if they are too large.\n"
               "Restrictions of clause 8.3 apply, i.e. only Q11, Q16 and Q20 may be trucated.\n"
               "and for them the first and last 1000 rows and 1000 random non-consecutive rows "
               "must be reported (with row number)\n\n"
               "\tinputfile   The logfile of a querystream which is too large\n"
               "\toutputfile  The name of the outputfile used to store the cutted stream log "
               "(default is stdout)\n"
               "\n",
               progname);
  std::fflush(stderr);
  std::exit(1);
}

namespace {

// The log's size, for the first pass's percentage. A log that cannot be
// looked at is the first pass's to report.
uint64_t sizeOfLog(const std::string& inputname) {
  struct stat info;
  return ::stat(inputname.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

// What the summary line tells of the log's results, all of which the gathering
// pass learnt: how many there are, and the rows of each one that is cut.
RunSummary summaryOfResults(const GatheredLog& gathered) {
  RunSummary summary;
  summary.resultsSeen = gathered.tables;
  summary.cutRows = gathered.rows;
  summary.bytesIn = gathered.input.size;
  return summary;
}

void trim(const std::string& inputname, const std::string& outputname, Progress& progress) {
  GatheredLog gathered;
  progress.beginPass(1, sizeOfLog(inputname));
  scanResultAndGenerateOutput(inputname, nullptr, true, gathered, progress.readObserver());

  OutputFile output(outputname);
  output.refuseToOverwrite(gathered.input);
  output.truncate();
  progress.beginPass(2, gathered.input.size);
  scanResultAndGenerateOutput(inputname, &output, false, gathered, progress.readObserver());
  output.close();

  RunSummary summary = summaryOfResults(gathered);
  summary.bytesOut = output.bytesWritten();
  summary.seconds = progress.elapsed();
  progress.finish(summary);
}

}  // namespace

int main(int argc, char** argv) {
  progname = argv[0] != nullptr ? argv[0] : "streamtrim";
  if (argc != 2 && argc != 3)
    usage();
  reserveStandardDescriptors();
  std::string inputname = argv[1];
  std::string outputname = argc == 3 ? argv[2] : "";
  Progress progress(progressWanted(STDERR_FILENO, outputname) ? STDERR_FILENO : -1);
  try {
    trim(inputname, outputname, progress);
  } catch (const Failure& failure) {
    progress.erase();
    std::fprintf(stderr, "streamtrim: %s\n", failure.what());
    return 1;
  } catch (const std::bad_alloc&) {
    progress.erase();
    std::fprintf(stderr, "streamtrim: %s: out of memory\n", inputname.c_str());
    return 1;
  }
  return 0;
}
