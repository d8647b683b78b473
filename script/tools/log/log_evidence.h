// What a log's lines tell of whether it is a log to cut at all.
//
// Two kinds of file look like logs from their first bytes and are not: a log
// saved as UTF-16 or UTF-32 without a byte-order mark, in which no line test
// of the tool can match, so that a cut would be a mere copy; and a log that
// streamtrim has cut already, whose cut would replace the original it was
// meant to shorten (the arguments given the wrong way round). Telling either
// takes the whole log, so the evidence is gathered line by line during a
// read that happens anyway and judged at its end:
//
// - UTF-16 or UTF-32: "TPC-H Query" occurs in one of them and never as it is
//   in a log, in any line. Nothing else decides: a log with one readable
//   header is read as it is.
// - A cut log: a deletion marker exactly as the cutter writes it, between two
//   kept rows: a row (a line containing "|"), an empty line, the marker's
//   middle line, an empty line and a row, with nothing else on the three
//   lines of the marker. Their line ends may have become CRLF after the cut
//   (git, an editor, a transfer), all three of them alike. The same lines
//   outside a result, with no row on either side, are text the log holds.

#ifndef STREAMTRIM_LOG_EVIDENCE_H
#define STREAMTRIM_LOG_EVIDENCE_H

#include <cstdint>
#include <string>
#include <string_view>

#include "log/log_format.h"

class LogEvidence {
 public:
  // Whether a cut log is looked for too: a cut log that is checked needs
  // only its encoding told, and then costs nothing past its first header.
  enum class Scope { kEncoding, kEncodingAndCut };
  explicit LogEvidence(Scope scope = Scope::kEncodingAndCut) : scope_(scope) {}

  // The next line of the log, starting at offset in the file. Lines come in
  // the log's order; rows (lines containing "|") may be left out, as long as
  // rowsLeftOut() is called in their place. Once a readable header has been
  // seen, a line costs a test or two.
  void noteLine(std::string_view text, uint64_t offset) {
    if (!readableHeader_)
      noteLineBeforeHeader(text, offset);
    if (scope_ == Scope::kEncodingAndCut)
      noteMarkerLine(text, isRowLine(text));
  }
  // The same for a line known to hold no "TPC-H Query" as it is, and whether
  // it is a row, for less.
  void noteOtherLine(std::string_view text, uint64_t offset, bool row) {
    if (!readableHeader_ && wide_ == WideEncoding::kNone)
      wide_ = wideHeaderEncoding(text, offset);
    if (scope_ == Scope::kEncodingAndCut)
      noteMarkerLine(text, row);
  }
  // The same for a line known to hold "TPC-H Query" as it is.
  void noteReadableHeader(std::string_view text) {
    readableHeader_ = true;
    if (scope_ == Scope::kEncodingAndCut)
      noteMarkerLine(text, isRowLine(text));
  }
  void rowsLeftOut() {
    if (marker_ == Marker::kEmptyAfter)
      deletionMarker_ = true;
    marker_ = Marker::kRow;
  }

  // The encoding of a log whose header mark occurs only in UTF-16 or UTF-32,
  // kNone for any other log.
  WideEncoding onlyWideHeaders() const { return readableHeader_ ? WideEncoding::kNone : wide_; }

  // Always false in the scope kEncoding.
  bool holdsDeletionMarker() const { return deletionMarker_; }

 private:
  // How far the lines read last go into a deletion marker between rows.
  enum class Marker { kNone, kRow, kEmptyBefore, kMiddle, kEmptyAfter };

  void noteLineBeforeHeader(std::string_view text, uint64_t offset);
  // Most lines are no part of a marker, and cost a test or two.
  void noteMarkerLine(std::string_view text, bool row) {
    if (marker_ != Marker::kNone && continuesMarker(text))
      return;
    if (row)
      rowsLeftOut();
    else
      marker_ = Marker::kNone;
  }
  // Moves marker_ on and true when text is the next line of a marker.
  bool continuesMarker(std::string_view text);

  Scope scope_;
  bool readableHeader_ = false;
  WideEncoding wide_ = WideEncoding::kNone;  // of the first header mark in UTF-16 or UTF-32
  Marker marker_ = Marker::kNone;
  bool crlf_ = false;  // the empty line before the marker read last ends in a carriage return
  bool deletionMarker_ = false;
};

// Throws a Failure naming path, with the conversion to make, when evidence
// shows a log in UTF-16 or UTF-32 without a byte-order mark.
void refuseWideLogWithoutMark(const std::string& path, const LogEvidence& evidence);

// A log is text: a file whose first block (kFirstBlockBytes) holds a zero
// byte is no log, as git and grep tell a binary file. Throws a Failure
// naming log then: with the conversion to make when the block shows a log in
// UTF-16 or UTF-32 without a byte-order mark, else as not a text log. Called
// once the signatures with their own messages (log_format.h) are ruled out.
void refuseNonTextLog(const InputFile& log);

#endif  // STREAMTRIM_LOG_EVIDENCE_H
