// Fuzz target of the cutter: the input becomes a log (fuzz_support.h), the
// tool cuts it in memory, and the cut must be, byte for byte, what the plain
// model of the rule (cut_model.h) makes of the log.
//
// With a 0xF8 directive one byte of the log is changed between the tool's
// passes ('|' to '#', any other byte to '|'), the log's size and age kept, as
// only its content tells the change. The tool must fail when the tables'
// row counts changed, or where the rows of a cut table start, unless the byte
// lies among the rows of a cut table, most of which the output pass steps
// over, to where the first pass found them. It must not fail otherwise.
//
// It also holds every row counter this CPU runs against the portable one,
// those the tool does not pick on this machine included, so that the fuzzer
// reaches the vector paths too.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cut_model.h"
#include "fuzz_support.h"
#include "row_scan/row_scan.h"

namespace {

// From the start of the log and of its first tables, on two lengths that may
// end inside a line, with limits that stop the count within the 64-byte
// steps and at their edges. What a counter does depends on the 64 bytes at
// hand and on what it counted before, so a kilobyte shows every case.
void checkRowCounters(std::string_view log) {
  static const auto counters = rowCountersForThisCpu();
  std::vector<size_t> starts{0};
  for (size_t separator = log.find("==="); separator != log.npos && starts.size() < 4;
       separator = log.find("===", separator + 3)) {
    size_t newline = log.find('\n', separator);
    if (newline == log.npos)
      break;
    starts.push_back(newline + 1);
    separator = newline;
  }
  for (size_t start : starts) {
    for (size_t length : {size_t{1000}, size_t{130}}) {
      std::string_view text = log.substr(start, std::min(length, log.size() - start));
      for (uint64_t limit : {uint64_t{1}, uint64_t{64}, uint64_t{257}, UINT64_MAX}) {
        RowRun expected = countRowLinesPortable(text, limit);
        for (const auto& [name, counter] : counters) {
          RowRun run = counter(text, limit);
          if (run.rows != expected.rows || run.bytes != expected.bytes)
            violation(std::string("the ") + name + " row counter agrees with the portable one");
        }
      }
    }
  }
}

void checkChangedLog(const FuzzLog& input) {
  std::string changed = input.log;
  size_t at = static_cast<size_t>(input.change % changed.size());
  changed[at] = changed[at] == '|' ? '#' : '|';
  std::vector<ModelTable> before = tablesByModel(input.log, input.sizes);
  std::vector<ModelTable> after = tablesByModel(changed, input.sizes);
  bool rowsChanged = !std::equal(before.begin(), before.end(), after.begin(), after.end(),
                                 [](auto& a, auto& b) { return a.rows == b.rows; });
  bool cutMoved = false;
  for (size_t t = 0; t < before.size(); ++t)
    cutMoved |= before[t].cut && (t >= after.size() || after[t].begin != before[t].begin);
  bool amongCutRows = std::any_of(before.begin(), before.end(), [at](auto& table) {
    return table.cut && table.begin <= at && at < table.end;
  });
  bool failed = failsOnChange(input.log, changed, input.sizes, input.maxRead);
  if (failed && !rowsChanged && !cutMoved)
    violation(
        "the tool fails only for a change of the tables' rows or of where cut rows start "
        "(byte " +
        std::to_string(at) + " changed)");
  if (!failed && (rowsChanged || cutMoved) && !amongCutRows)
    violation(
        "the tool fails when the tables' rows, or where cut rows start, change outside "
        "the cut rows (byte " +
        std::to_string(at) + " changed)");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzLog input = decodeLog(std::string_view(reinterpret_cast<const char*>(data), size));
  std::string cut = cutInMemory(input.log, input.sizes, input.maxRead);
  std::string expected = cutByModel(input.log, input.sizes).bytes;
  if (cut != expected)
    violation("the tool's cut is the model's: " + firstDifference(cut, expected));
  if (input.changeChosen && !input.log.empty())
    checkChangedLog(input);
  checkRowCounters(input.log);
  return 0;
}
