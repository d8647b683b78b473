#include "driver.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "command_line.h"
#include "failure.h"
#include "input_file.h"
#include "output_file.h"
#include "progress.h"
#include "scanner.h"
#include "terminal.h"

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

// What the summary line tells of the log's results, all of which the gathering
// pass learnt: how many there are, and the rows of each one that is cut.
RunSummary summaryOfResults(const GatheredLog& gathered) {
  RunSummary summary;
  summary.resultsSeen = gathered.tables;
  summary.cutRows = gathered.rows;
  summary.bytesIn = gathered.input.size;
  return summary;
}

// Each pass opens the log afresh: a log replaced between the passes is then
// seen to be another file.
void trim(const std::string& inputname, const std::string& outputname, Progress& progress) {
  GatheredLog gathered;
  {
    std::unique_ptr<InputFile> input = openInputFile(inputname);
    progress.beginPass(1, input->stamp().size);
    scanResultAndGenerateOutput(*input, nullptr, true, gathered, progress.readObserver());
  }

  std::unique_ptr<OutputFile> output = openOutputFile(outputname);
  output->refuseToOverwrite(gathered.input);
  output->truncate();
  {
    std::unique_ptr<InputFile> input = openInputFile(inputname);
    progress.beginPass(2, gathered.input.size);
    scanResultAndGenerateOutput(*input, output.get(), false, gathered, progress.readObserver());
  }
  output->close();

  RunSummary summary = summaryOfResults(gathered);
  summary.bytesOut = output->bytesWritten();
  summary.seconds = progress.elapsed();
  progress.finish(summary);
}

}  // namespace

int main(int argc, char** argv) {
  prepareStandardStreams();
  static const std::string name = programName(argc, argv, "streamtrim");
  progname = name.c_str();
  std::vector<std::string> arguments = commandLineArguments(argc, argv);
  if (arguments.size() != 1 && arguments.size() != 2)
    usage();
  const std::string& inputname = arguments[0];
  std::string outputname = arguments.size() == 2 ? arguments[1] : "";
  std::unique_ptr<Terminal> terminal = progressTerminal(outputname);
  Progress progress(terminal.get());
  try {
    trim(inputname, outputname, progress);
  } catch (const BrokenPipe& failure) {
    progress.erase();
    endByBrokenPipe();
    std::fprintf(stderr, "streamtrim: %s\n", failure.what());
    return 1;
  } catch (const Failure& failure) {
    progress.erase();
    std::fprintf(stderr, "streamtrim: %s\n", failure.what());
    return 1;
  } catch (const std::bad_alloc&) {
    progress.erase();
    std::fprintf(stderr, "streamtrim: %s: out of memory\n", printableName(inputname).c_str());
    return 1;
  }
  return 0;
}
