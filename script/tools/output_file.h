// Where the cut log goes: a named file or standard output.
//
// Every line is handed to the system as soon as it is complete (one write per
// line), so the output is whole up to its last written line at any moment.
// Every write is checked, and so is the final close: a run that ends with
// status 0 has written all of its output.
//
// OutputFile is about bytes: it writes whole lines and counts them; what the
// lines say (a numbered row, a deletion marker) is the cutter's business
// (result_cutter.h). How the bytes reach the system is each system's own
// (output_file_posix.cpp, output_file_windows.cpp), and memory_file.h keeps
// them in memory for the fuzzers and tests.

#ifndef STREAMTRIM_OUTPUT_FILE_H
#define STREAMTRIM_OUTPUT_FILE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "input_file.h"

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // "standard output" or the path, as error messages name it.
  const std::string& name() const { return name_; }

  // Throws when the output is the file that input names: writing it would
  // destroy the log before it is read.
  virtual void refuseToOverwrite(const FileStamp& input) const = 0;

  // Empties a named regular output file; other kinds (devices, pipes) are
  // left as they are, as the shell's ">" would. Standard output is never
  // emptied: the shell has opened it as the user asked, for appending maybe.
  virtual void truncate() = 0;

  // Writes line and a newline with one system call.
  void writeLine(std::string_view line);

  // Writes text and then ending, which completes it to whole lines (its
  // last byte a newline), with one system call: a line can be given in two
  // parts without copying the first.
  void writeLine(std::string_view text, std::string_view ending);

  // Closes the output and reports a failing close. Standard output is closed
  // too, so that an error the system reports only then is not lost.
  virtual void close() = 0;

  // Bytes written so far.
  uint64_t bytesWritten() const { return bytesWritten_; }

 protected:
  explicit OutputFile(std::string name) : name_(std::move(name)) {}

  // Writes first and then second, one line's bytes, with one system call
  // where the system allows; goes on after a partial write and throws a
  // Failure naming the output when a write fails.
  virtual void write(std::string_view first, std::string_view second) = 0;

 private:
  std::string name_;
  uint64_t bytesWritten_ = 0;
};

// The name error messages give standard output.
inline constexpr char kStandardOutputName[] = "standard output";

// Opens path for writing on this system, creating it when missing but not yet
// truncating it (see truncate()); an empty path means standard output. Throws
// a Failure naming the output when it cannot be opened.
std::unique_ptr<OutputFile> openOutputFile(const std::string& path);

#endif  // STREAMTRIM_OUTPUT_FILE_H
