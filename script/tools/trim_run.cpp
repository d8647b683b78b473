#include "trim_run.h"

#include "log_format.h"
#include "scanner.h"

namespace {

// What the summary line tells of the log's results, all of which the gathering
// pass learnt: how many there are, and the rows of each one that is cut.
RunSummary summaryOfResults(const GatheredLog& gathered) {
  RunSummary summary;
  summary.resultsSeen = gathered.tables;
  summary.cutRows = gathered.cutRows();
  summary.bytesIn = gathered.input.size;
  return summary;
}

}  // namespace

void trimLog(const TrimFiles& files, Progress& progress) {
  GatheredLog gathered;
  {
    std::unique_ptr<InputFile> input = files.openLog();
    refuseUtf16Log(*input);
    progress.beginPass(1, input->stamp().size);
    scanResultAndGenerateOutput(*input, nullptr, true, gathered, progress.readObserver());
  }

  std::unique_ptr<InputFile> input = files.openLog();
  std::unique_ptr<OutputFile> output = files.openOutput();
  output->refuseToOverwrite(gathered.input);
  output->begin();
  progress.beginPass(2, gathered.input.size);
  scanResultAndGenerateOutput(*input, output.get(), false, gathered, progress.readObserver());
  input.reset();
  output->close();

  RunSummary summary = summaryOfResults(gathered);
  summary.bytesOut = output->bytesWritten();
  summary.seconds = progress.elapsed();
  progress.finish(summary);
}
