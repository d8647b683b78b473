#include "system/output_file.h"

#include "system/failure.h"

namespace {

// One row per OutputKind, in its order.
constexpr struct {
  OutputKind kind;
  Way way;
} kWays[] = {
    {OutputKind::kFile, {Method::kReplace, true, nullptr}},
    {OutputKind::kFileInClosedFolder, {Method::kInPlace, true, "its folder takes no new file"}},
    {OutputKind::kFileInAppendOnlyFolder, {Method::kInPlace, true, "its folder is append-only"}},
    {OutputKind::kFileRefusingRename,
     {Method::kInPlace, true, "the system refuses to rename a file over it"}},
    {OutputKind::kDescriptorOnFile, {Method::kAsItIs, true, nullptr}},
    {OutputKind::kStream, {Method::kAsItIs, false, nullptr}},
    {OutputKind::kDiscarding, {Method::kAsItIs, true, nullptr}},
};

}  // namespace

Way outputWay(OutputKind kind) {
  for (const auto& row : kWays) {
    if (row.kind == kind)
      return row.way;
  }
  return kWays[0].way;
}

std::string inPlaceNote(const std::string& output, const std::string& reason) {
  return printableName(output) + ": note: written in place, as " + reason +
         "; an interrupted run leaves a partial file";
}

void OutputFile::announce() const {
  if (const char* reason = way().note)
    note(inPlaceNote(name(), reason));
}

void OutputFile::note(const std::string& line) const {
  if (noteSink_)
    noteSink_(line);
}

void OutputFile::writeLine(std::string_view line) {
  writeLine(line, "\n");
}

void OutputFile::writeLine(std::string_view text, std::string_view ending) {
  write(text, ending);
  bytesWritten_ += text.size() + ending.size();
}
