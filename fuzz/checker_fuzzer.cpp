// Fuzz target of the checker on raw bytes: any input is checked as a cut
// log, alone and against an original, strictly and for any sample. The input
// is the cut log up to the first two bytes 0xFA 0xFA and the original after
// them; without them the cut log is its own original. First lines 0xFC K
// and 0xF9 K choose the sizes and limit the reads as in the other targets
// (fuzz_support.h).
//
// The checker must never crash, leak or give up on these logs: a log in
// memory can always be read. It refuses only what is no log to check, as
// checkInMemory requires. What it says must hold together: a cut that
// passes strictly passes for any sample too, and one that passes strictly
// against the original is the very cut the tool makes of that original.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  FuzzLog settings;
  while (input.size() >= 2 && (static_cast<unsigned char>(input[0]) == 0xFC ||
                               static_cast<unsigned char>(input[0]) == 0xF9)) {
    size_t newline = input.find('\n');
    FuzzLog line = decodeLog(input.substr(0, newline));
    if (static_cast<unsigned char>(input[0]) == 0xFC)
      settings.sizes = line.sizes;
    else
      settings.maxRead = line.maxRead;
    input.remove_prefix(newline == input.npos ? input.size() : newline + 1);
  }
  size_t split = input.find("\xFA\xFA");
  std::string_view cut = input.substr(0, split);
  std::string_view original = split == input.npos ? cut : input.substr(split + 2);

  // A strict pass is a pass for any sample too, alone and against the log.
  const std::pair<CheckMode, CheckMode> kModes[] = {{kStrictAlone, kAnySampleAlone},
                                                    {kStrictAgainstLog, kAnySampleAgainstLog}};
  for (const auto& [strict, anySample] : kModes) {
    CheckResult strictResult =
        checkInMemory(cut, original, strict, settings.sizes, settings.maxRead);
    CheckResult anyResult =
        checkInMemory(cut, original, anySample, settings.sizes, settings.maxRead);
    if (strictResult.refused || anyResult.refused)
      continue;  // no log to check, as checkInMemory requires
    if (strictResult.problems == 0 && anyResult.problems > 0)
      violation(std::string("a cut that passes ") + strict.name + " passes " + anySample.name +
                " (found " + anyResult.first + ")");
    if (strict.withOriginal && strictResult.problems == 0) {
      std::string expected = cutInMemory(original, settings.sizes, settings.maxRead);
      if (expected != cut)
        violation("a cut that passes strictly against the log is the tool's cut of it: " +
                  firstDifference(cut, expected));
    }
  }
  return 0;
}
