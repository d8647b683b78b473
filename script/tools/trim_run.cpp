#include "trim_run.h"

#include "decode/decoded_log.h"
#include "log/existing_output.h"
#include "log/log_evidence.h"
#include "log/log_format.h"
#include "scanner.h"
#include "system/failure.h"

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

// What the gathering pass found that makes the log no log to cut.
void refuseWhatIsNoLog(const std::string& path, const GatheredLog& gathered) {
  refuseWideLogWithoutMark(path, gathered.evidence);
  if (gathered.evidence.holdsDeletionMarker())
    throw Failure(
        path,
        "already a cut log (it holds a deletion marker as streamtrim writes it); give the "
        "original log as the first argument and the cut log as the second (were they "
        "swapped?)");
}

// Throws when the file the output would replace is one no run leaves there.
void refuseToReplaceOriginal(const TrimFiles& files, const InputFile& log) {
  if (!files.openExistingOutput)
    return;
  if (std::unique_ptr<InputFile> existing = files.openExistingOutput()) {
    std::string reason = whyNotReplaceable(*existing, log);
    if (!reason.empty())
      throw Failure(existing->path(), reason);
  }
}

// A note stands on a line of its own: the status line is erased first, and
// the next drawing puts it back below.
void noteLargeResults(const std::string& path, const GatheredLog& gathered, Progress& progress,
                      const NoteSink& note) {
  if (!note || gathered.largeResults.empty())
    return;
  progress.erase();
  for (const LargeResult& result : gathered.largeResults)
    note(printableName(path) + ":" + std::to_string(result.line) + ": " + largeResultNote(result));
}

}  // namespace

void trimLog(const TrimFiles& files, Progress& progress, const NoteSink& note) {
  GatheredLog gathered;
  std::string path;
  uint64_t decodedSize = 0;
  {
    std::unique_ptr<InputFile> input = files.openLog();
    path = input->path();
    refusePackedFile(*input);
    refuseWideLog(*input);
    refuseNonTextLog(*input);
    refuseToReplaceOriginal(files, *input);
    refuseCompressedOutputName(files.outputName);
    progress.beginPass(1, input->stamp().size);
    scanResultAndGenerateOutput(*input, nullptr, true, gathered, progress.readObserver());
    refuseWhatIsNoLog(path, gathered);
    if (const auto* decoded = dynamic_cast<const DecodedInputFile*>(input.get()))
      decodedSize = decoded->decodedBytes();
  }
  noteLargeResults(path, gathered, progress, note);

  std::unique_ptr<InputFile> input = files.openLog();
  std::unique_ptr<OutputFile> output = files.openOutput();
  output->refuseToOverwrite(gathered.input);
  if (note) {
    output->setNoteSink([&](const std::string& line) {
      progress.erase();
      note(line);
    });
  }
  output->announce();
  output->begin();
  progress.beginPass(2, gathered.input.size);
  scanResultAndGenerateOutput(*input, output.get(), false, gathered, progress.readObserver());
  input.reset();
  output->close();

  RunSummary summary = summaryOfResults(gathered);
  summary.bytesOut = output->bytesWritten();
  summary.bytesDecoded = decodedSize;
  summary.seconds = progress.elapsed();
  progress.finish(summary);
}
