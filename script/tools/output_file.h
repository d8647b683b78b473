// Where the cut log goes: a named file or standard output.
//
// Every line is handed to the system as soon as it is complete (one write per
// line), so the output is whole up to its last written line at any moment.
// Every write is checked, and so is the final close: a run that ends with
// status 0 has written all of its output.

#ifndef STREAMTRIM_OUTPUT_FILE_H
#define STREAMTRIM_OUTPUT_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "input_file.h"

class OutputFile {
 public:
  // Opens path for writing, creating it when missing but not yet truncating
  // it (see truncate()); an empty path means standard output. Throws a
  // Failure naming the output when it cannot be opened.
  explicit OutputFile(const std::string& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // "standard output" or the path, as error messages name it.
  const std::string& name() const { return name_; }

  // Throws when the output is the file that input names: writing it would
  // destroy the log before it is read.
  void refuseToOverwrite(const FileStamp& input) const;

  // Empties a named regular output file; other kinds (devices, pipes) are
  // left as they are, as the shell's ">" would. Standard output is never
  // emptied: the shell has opened it as the user asked, for appending maybe.
  void truncate();

  void writeLine(std::string_view line);
  void writeNumberedRow(std::string_view row, uint64_t rowNumber);
  void writeDeletionMarker(uint64_t deletedRows);

  // Closes the output and reports a failing close. Standard output is closed
  // too, so that an error the system reports only then is not lost.
  void close();

  // Bytes written so far.
  uint64_t bytesWritten() const { return bytesWritten_; }

 private:
  static constexpr size_t kJoinedLine = 1024;

  void writeAll(std::string_view first, std::string_view second);
  void writeBytes(const char* bytes, size_t size);

  std::string name_;
  int fd_ = -1;
  bool named_ = false;  // a path of the user's, not standard output
  uint64_t bytesWritten_ = 0;
};

#endif  // STREAMTRIM_OUTPUT_FILE_H
