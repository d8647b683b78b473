#include "log/log_evidence.h"

#include "system/failure.h"

void LogEvidence::noteLineBeforeHeader(std::string_view text, uint64_t offset) {
  if (isHeaderLine(text)) {
    readableHeader_ = true;
  } else if (utf16_ == Utf16Order::kNone) {
    utf16_ = utf16HeaderOrder(text, offset);
  }
}

void refuseUtf16LogWithoutMark(const std::string& path, const LogEvidence& evidence) {
  Utf16Order order = evidence.onlyUtf16Headers();
  if (order == Utf16Order::kNone)
    return;
  const char* encoding = order == Utf16Order::kLittleEndian ? "UTF-16LE" : "UTF-16BE";
  throw Failure(path, std::string("a UTF-16 log (") + encoding +
                          " without a byte-order mark: \"TPC-H Query\" occurs only in UTF-16); "
                          "convert it to UTF-8 first, for example with iconv -f " +
                          encoding + " -t UTF-8");
}
