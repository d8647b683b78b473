#include "log/log_evidence.h"

#include <algorithm>
#include <string>

#include "system/failure.h"

void LogEvidence::noteLineBeforeHeader(std::string_view text, uint64_t offset) {
  if (isHeaderLine(text)) {
    readableHeader_ = true;
  } else if (wide_ == WideEncoding::kNone) {
    wide_ = wideHeaderEncoding(text, offset);
  }
}

bool LogEvidence::continuesMarker(std::string_view text) {
  switch (marker_) {
    case Marker::kRow:
      if (text.empty() || text == "\r") {
        crlf_ = !text.empty();
        marker_ = Marker::kEmptyBefore;
        return true;
      }
      return false;
    case Marker::kEmptyBefore:
      if (crlf_ ? text.ends_with('\r') && isDeletionMarkerLine(text.substr(0, text.size() - 1))
                : isDeletionMarkerLine(text)) {
        marker_ = Marker::kMiddle;
        return true;
      }
      return false;
    case Marker::kMiddle:
      if (text == (crlf_ ? "\r" : "")) {
        marker_ = Marker::kEmptyAfter;
        return true;
      }
      return false;
    default:
      return false;
  }
}

void refuseWideLogWithoutMark(const std::string& path, const LogEvidence& evidence) {
  WideEncoding encoding = evidence.onlyWideHeaders();
  if (encoding == WideEncoding::kNone)
    return;
  std::string family = wideFamilyOf(encoding), name = wideNameOf(encoding);
  throw Failure(path, "a " + family + " log (" + name +
                          " without a byte-order mark: \"TPC-H Query\" occurs only in " + family +
                          "); convert it to UTF-8 first, for example with iconv -f " + name +
                          " -t UTF-8");
}

// The block's lines are split at the byte 0A, as the line reader splits them,
// so that a header in UTF-16 or UTF-32 is found as the whole pass finds it.
void refuseNonTextLog(const InputFile& log) {
  std::string block = firstBlockOf(log);
  size_t zero = block.find('\0');
  if (zero == std::string::npos)
    return;
  LogEvidence evidence(LogEvidence::Scope::kEncoding);
  std::string_view rest = block;
  for (uint64_t offset = 0; !rest.empty();) {
    std::string_view line = rest.substr(0, rest.find('\n'));
    evidence.noteLine(line, offset);
    size_t taken = std::min(rest.size(), line.size() + 1);
    rest.remove_prefix(taken);
    offset += taken;
  }
  refuseWideLogWithoutMark(log.path(), evidence);
  throw Failure(log.path(), "not a text log (it holds a NUL byte at offset " +
                                std::to_string(zero) + ", in its first " +
                                std::to_string(kFirstBlockBytes / 1024) +
                                " KiB, as a binary file does); a log kept packed must be "
                                "unpacked first");
}
