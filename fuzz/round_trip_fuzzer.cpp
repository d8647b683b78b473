// Fuzz target of the round trip: the input becomes a log (fuzz_support.h),
// the tool cuts it in memory, and the checker must pass that cut in all four
// modes: alone and against the log, strictly and for any sample. Alone is
// left out when the log itself holds text the cut adds (numbered rows,
// deletion markers), which alone no reader can tell from a cut. A log that
// is no log to cut (in UTF-16 or UTF-32 without a byte-order mark, or
// holding a deletion marker) is refused by the checker, as checkInMemory
// requires, and goes no further.
//
// Then one edit is made to the cut: a byte changed, a line dropped or
// doubled, or a number changed by one. Checked strictly against the log, the
// edited cut must fail exactly when it differs from the tool's cut (a
// problem found, or the edited cut refused: dropping the one UTF-8 header of
// a log that also holds UTF-16 text leaves a log in UTF-16); alone it must
// fail, strictly and for any sample, whenever the edit touches a cut
// result's numbering (a deletion marker or a " [row: N]").

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cut_model.h"
#include "fuzz_support.h"

namespace {

struct Edit {
  const char* what;
  size_t at;      // where the edit starts in the cut
  size_t length;  // bytes of the cut it replaces
  std::string replacement;
  // Bytes of the cut the edit concerns from at: those it replaces, or the
  // line it doubles. A longer number reaches no further.
  size_t touched() const { return length > 0 ? length : replacement.size(); }
};

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// A decimal number one up or one down (not below zero); a leading zero the
// count loses goes, one it had stays.
std::string stepByOne(std::string digits, bool up) {
  size_t i = digits.size();
  if (up || digits.find_first_not_of('0') == digits.npos) {
    for (; i > 0 && digits[i - 1] == '9'; --i)
      digits[i - 1] = '0';
    if (i == 0)
      return "1" + digits;
    ++digits[i - 1];
    return digits;
  }
  bool leadingZero = digits[0] == '0';
  for (; digits[i - 1] == '0'; --i)
    digits[i - 1] = '9';
  --digits[i - 1];
  if (digits.size() > 1 && digits[0] == '0' && !leadingZero)
    digits.erase(0, 1);
  return digits;
}

// The line around offset at, newline included.
std::pair<size_t, size_t> lineAround(const std::string& cut, size_t at) {
  size_t start = cut.rfind('\n', at == 0 ? 0 : at - 1);
  start = start == cut.npos || at == 0 ? 0 : start + 1;
  return {start, cut.find('\n', at) + 1 - start};
}

// Which edit, where and how, all from choice.
Edit chooseEdit(const std::string& cut, uint64_t choice) {
  uint64_t kind = choice % 4;
  choice /= 4;
  size_t at = static_cast<size_t>(choice % cut.size());
  if (kind == 3) {
    std::vector<std::pair<size_t, size_t>> numbers;  // offset, length
    for (size_t i = 0; i < cut.size(); ++i) {
      size_t start = i;
      while (i < cut.size() && isDigit(cut[i]))
        ++i;
      if (i > start)
        numbers.emplace_back(start, i - start);
    }
    if (!numbers.empty()) {
      auto [start, length] = numbers[choice % numbers.size()];
      bool up = (choice / numbers.size()) % 2 == 0;
      return {"a number changed by one", start, length, stepByOne(cut.substr(start, length), up)};
    }
    kind = 0;
  }
  auto [lineStart, lineLength] = lineAround(cut, at);
  if (kind == 1)
    return {"a line dropped", lineStart, lineLength, ""};
  if (kind == 2)
    return {"a line doubled", lineStart, 0, cut.substr(lineStart, lineLength)};
  auto byte =
      static_cast<char>(static_cast<unsigned char>(cut[at]) + 1 + (choice / cut.size()) % 255);
  return {"a byte changed", at, 1, std::string(1, byte)};
}

bool touchesNumbering(const ModelCut& model, const Edit& edit) {
  return std::any_of(model.numbering.begin(), model.numbering.end(), [&edit](auto& range) {
    return range.first < edit.at + edit.touched() && edit.at < range.second;
  });
}

uint64_t hashOf(std::string_view bytes) {
  uint64_t hash = 1469598103934665603ULL;  // FNV-1a
  for (char c : bytes)
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  return hash;
}

bool mimicsCutText(std::string_view log) {
  return log.find(" [row: ") != log.npos || log.find("----------- deleted ") != log.npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  FuzzLog input = decodeLog(bytes);
  std::string cut = cutInMemory(input.log, input.sizes, input.maxRead);
  ModelCut model = cutByModel(input.log, input.sizes);
  if (cut != model.bytes)
    violation("the tool's cut is the model's: " + firstDifference(cut, model.bytes));

  bool mimics = mimicsCutText(input.log);
  for (const CheckMode& mode : kCheckModes) {
    if (!mode.withOriginal && mimics)
      continue;
    CheckResult result = checkInMemory(cut, input.log, mode, input.sizes, input.maxRead);
    if (result.refused)
      return 0;  // no log to cut, which streamtrim refuses too
    if (result.problems > 0)
      violation(std::string("the tool's cut verifies ") + mode.name + " (found " + result.first +
                ")");
  }
  if (cut.empty())
    return 0;

  Edit edit = chooseEdit(cut, input.editChosen ? input.edit : hashOf(bytes));
  std::string edited = cut;
  edited.replace(edit.at, edit.length, edit.replacement);
  auto what = [&edit] { return std::string(edit.what) + " at byte " + std::to_string(edit.at); };
  CheckResult strict =
      checkInMemory(edited, input.log, kStrictAgainstLog, input.sizes, input.maxRead);
  if (strict.failed() != (edited != cut))
    violation("the cut with " + what() + " fails strictly against the log exactly when it differs");
  if (mimics || !touchesNumbering(model, edit))
    return 0;
  for (const CheckMode& mode : {kStrictAlone, kAnySampleAlone}) {
    if (!checkInMemory(edited, input.log, mode, input.sizes, input.maxRead).failed())
      violation("the cut with " + what() + " in its numbering fails " + mode.name);
  }
  return 0;
}
