// What a log's lines tell of whether it is a log to cut at all.
//
// Two kinds of file look like logs from their first bytes and are not: a log
// saved as UTF-16 without a byte-order mark, in which no line test of the
// tool can match, so that a cut would be a mere copy; and a log that
// streamtrim has cut already, whose cut would replace the original it was
// meant to shorten (the arguments given the wrong way round). Telling either
// takes the whole log, so the evidence is gathered line by line during a
// read that happens anyway and judged at its end:
//
// - UTF-16: "TPC-H Query" occurs in UTF-16 and never as it is in a log, in
//   any line. Nothing else decides: a log with one readable header is read
//   as it is.
// - A cut log: a deletion marker exactly as the cutter writes it, its middle
//   line between two empty lines, with nothing else on any of the three.

#ifndef STREAMTRIM_LOG_EVIDENCE_H
#define STREAMTRIM_LOG_EVIDENCE_H

#include <cstdint>
#include <string>
#include <string_view>

#include "log/log_format.h"

class LogEvidence {
 public:
  // The next line of the log, starting at offset in the file. Lines come in
  // the log's order; rows (lines containing "|") may be left out, as long as
  // rowsLeftOut() is called in their place. Once a readable header has been
  // seen, a line costs a test or two.
  void noteLine(std::string_view text, uint64_t offset) {
    if (!readableHeader_)
      noteLineBeforeHeader(text, offset);
    noteMarkerLine(text);
  }
  void rowsLeftOut() { markerLines_ = 0; }
  // The same as noteLine for a line known to hold "TPC-H Query" as it is,
  // for less.
  void noteReadableHeader() {
    readableHeader_ = true;
    markerLines_ = 0;
  }

  // The byte order of a log whose header mark occurs only in UTF-16, kNone
  // for any other log.
  Utf16Order onlyUtf16Headers() const { return readableHeader_ ? Utf16Order::kNone : utf16_; }

  bool holdsDeletionMarker() const { return deletionMarker_; }

 private:
  void noteLineBeforeHeader(std::string_view text, uint64_t offset);
  void noteMarkerLine(std::string_view text) {
    if (text.empty()) {
      deletionMarker_ = deletionMarker_ || markerLines_ == 2;
      markerLines_ = 1;
    } else {
      markerLines_ = markerLines_ == 1 && isDeletionMarkerLine(text) ? 2 : 0;
    }
  }

  bool readableHeader_ = false;
  Utf16Order utf16_ = Utf16Order::kNone;  // of the first header mark in UTF-16
  int markerLines_ = 0;                   // of a deletion marker just read: 1 empty line, or 2
  bool deletionMarker_ = false;
};

// Throws a Failure naming path, with the conversion to make, when evidence
// shows a log in UTF-16 without a byte-order mark.
void refuseUtf16LogWithoutMark(const std::string& path, const LogEvidence& evidence);

#endif  // STREAMTRIM_LOG_EVIDENCE_H
