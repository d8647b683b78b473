#include "log_evidence.h"

#include "failure.h"

void LogEvidence::noteLineBeforeHeader(std::string_view text, uint64_t offset) {
  if (isHeaderLine(text)) {
    readableHeader_ = true;
  } else if (wide_ == WideEncoding::kNone) {
    wide_ = wideHeaderEncoding(text, offset);
  }
}

// Most lines end the stage at once; only a line that may continue the
// marker is looked at further.
void LogEvidence::noteMarkerLine(std::string_view text) {
  std::string_view empty = crlf_ ? "\r" : "";
  switch (marker_) {
    case Marker::kRow:
      if (text.empty() || text == "\r") {
        crlf_ = !text.empty();
        marker_ = Marker::kEmptyBefore;
        return;
      }
      break;
    case Marker::kEmptyBefore:
      if (crlf_ ? text.ends_with('\r') && isDeletionMarkerLine(text.substr(0, text.size() - 1))
                : isDeletionMarkerLine(text)) {
        marker_ = Marker::kMiddle;
        return;
      }
      break;
    case Marker::kMiddle:
      if (text == empty) {
        marker_ = Marker::kEmptyAfter;
        return;
      }
      break;
    case Marker::kEmptyAfter:
    case Marker::kNone:
      break;
  }
  if (isRowLine(text))
    rowsLeftOut();
  else
    marker_ = Marker::kNone;
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
