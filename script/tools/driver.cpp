#include "driver.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "failure.h"
#include "input_file.h"
#include "output_file.h"
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

void trim(const std::string& inputname, const std::string& outputname) {
  GatheredLog gathered;
  scanResultAndGenerateOutput(inputname, nullptr, true, gathered);

  OutputFile output(outputname);
  output.refuseToOverwrite(gathered.input);
  output.truncate();
  scanResultAndGenerateOutput(inputname, &output, false, gathered);
  output.close();
}

}  // namespace

int main(int argc, char** argv) {
  progname = argv[0] != nullptr ? argv[0] : "streamtrim";
  if (argc != 2 && argc != 3)
    usage();
  reserveStandardDescriptors();
  std::string inputname = argv[1];
  std::string outputname = argc == 3 ? argv[2] : "";
  try {
    trim(inputname, outputname);
  } catch (const Failure& failure) {
    std::fprintf(stderr, "streamtrim: %s\n", failure.what());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "streamtrim: %s: out of memory\n", inputname.c_str());
    return 1;
  }
  return 0;
}
