#include "log/existing_output.h"

#include <cstring>
#include <vector>

#include "log/line_reader.h"
#include "log/log_evidence.h"
#include "log/log_format.h"

namespace {

constexpr char kWhatToDo[] =
    ", which the cut would replace; remove it first or name another output (the second "
    "argument is where the cut goes)";

// Whether the two files, of one size, hold the same bytes: read up to the
// first difference.
bool sameBytes(const InputFile& one, const InputFile& other) {
  std::vector<char> a(LineReader::kBlockSize), b(LineReader::kBlockSize);
  for (uint64_t offset = 0;;) {
    size_t got = one.readAt(offset, a.data(), a.size());
    if (got == 0)
      return other.readAt(offset, b.data(), 1) == 0;
    for (size_t n = 0, read = 0; read < got; read += n) {
      n = other.readAt(offset + read, b.data() + read, got - read);
      if (n == 0)
        return false;
    }
    if (std::memcmp(a.data(), b.data(), got) != 0)
      return false;
    offset += got;
  }
}

// What the signatures of a packed file or a wide log in the first block tell.
std::string signatureReason(const std::string& block) {
  if (const PackedFormat* format = packedFormatOf(block))
    return format->name;
  WideEncoding encoding = byteOrderMarkOf(block);
  if (encoding == WideEncoding::kNone)
    return "";
  std::string family = wideFamilyOf(encoding);
  return "a " + family + " file (it starts with a " + family + " byte-order mark)";
}

enum class Holds { kCut, kUncutLog, kBinary, kOther };

// A marker decides as soon as it is read; the first block's bytes decide
// the rest: a NUL byte makes a binary file, a header an uncut log, unless a
// marker comes later.
Holds whatItHolds(const InputFile& existing) {
  LineReader reader(existing);
  LogEvidence evidence;
  bool header = false;
  Line line;
  while (reader.next(line)) {
    evidence.noteLine(line.text, line.offset);
    if (evidence.holdsDeletionMarker())
      return Holds::kCut;
    if (line.offset >= kFirstBlockBytes) {
      if (!header)
        return Holds::kOther;
      continue;
    }
    std::string_view inBlock = line.text.substr(0, kFirstBlockBytes - line.offset);
    if (std::memchr(inBlock.data(), '\0', inBlock.size()) != nullptr)
      return Holds::kBinary;
    header = header || isHeaderLine(line.text);
  }
  return header ? Holds::kUncutLog : Holds::kOther;
}

}  // namespace

std::string whyNotReplaceable(const InputFile& existing, const InputFile& log) {
  FileStamp stamp = existing.stamp(), logStamp = log.stamp();
  // The log itself is refused as the output later, with its own message.
  if (stamp.size == 0 || stamp.sameFileAs(logStamp))
    return "";
  std::string reason = signatureReason(firstBlockOf(existing));
  if (reason.empty()) {
    if (stamp.size == logStamp.size && sameBytes(existing, log))
      return "";
    switch (whatItHolds(existing)) {
      case Holds::kBinary:
        reason = "a binary file (a NUL byte in its first " +
                 std::to_string(kFirstBlockBytes / 1024) + " KiB)";
        break;
      case Holds::kUncutLog:
        reason = "an uncut query-stream log (query headers, no deletion marker)";
        break;
      default:
        return "";
    }
  }
  return reason + kWhatToDo;
}
