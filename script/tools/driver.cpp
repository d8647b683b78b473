#include "driver.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "decode/decoded_log.h"
#include "run/progress.h"
#include "system/command_line.h"
#include "system/failure.h"
#include "system/input_file.h"
#include "system/interruption.h"
#include "system/output_file.h"
#include "system/terminal.h"
#include "trim_run.h"

const char* progname = nullptr;

namespace {

// The usage text is the tool's own, kept byte for byte, its spelling
// ("trucated", "cutted") included: scripts and audit reports compare it with
// what earlier versions printed, so it is not to be "fixed".
void printUsage(FILE* to) {
  std::fprintf(to,
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
}

// --version, --help and -h alone are answered, but only when nothing bears
// that name: every argument is a path first, so a log named --help is cut.
bool isAnsweredOption(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1)
    return false;
  const std::string& argument = arguments[0];
  return (argument == "--version" || argument == "--help" || argument == "-h") &&
         !nameIsTaken(argument);
}

// Prints the version or the usage text on standard output: status 0 once
// it is all written, 1 when it is not.
int answerOption(const std::string& option) {
  if (option == "--version")
    std::printf("streamtrim %s\n", STREAMTRIM_VERSION);
  else
    printUsage(stdout);
  return closeStandardOutput("streamtrim") ? 0 : 1;
}

}  // namespace

void usage() {
  printUsage(stderr);
  std::fflush(stderr);
  std::exit(1);
}

int main(int argc, char** argv) {
  prepareStandardStreams();
  handleInterruptions();
  static const std::string name = programName(argc, argv, "streamtrim");
  progname = name.c_str();
  std::vector<std::string> arguments = commandLineArguments(argc, argv);
  if (isAnsweredOption(arguments))
    return answerOption(arguments[0]);
  if (arguments.size() != 1 && arguments.size() != 2)
    usage();
  const std::string& inputname = arguments[0];
  std::string outputname = arguments.size() == 2 ? arguments[1] : "";
  std::unique_ptr<Terminal> terminal = progressTerminal(outputname);
  Progress progress(terminal.get());
  NoteSink note = [](const std::string& line) {
    std::fprintf(stderr, "streamtrim: %s\n", line.c_str());
  };
  try {
    refuseUnopenedDescriptor(outputname);
    trimLog({[&] { return openLog(inputname); }, [&] { return openOutputFile(outputname); },
             [&] { return openExistingOutput(outputname); }, outputname},
            progress, note);
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
