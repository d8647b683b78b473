#include "log/log_evidence.h"

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
