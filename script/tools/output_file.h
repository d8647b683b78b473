// Where the cut log goes: a named file or standard output.
//
// The path holds either what it held before the run or the whole cut, never
// a part of it. How that is done depends on what the path names
// (OutputFile::Method):
//
// - A regular file, or a path where no file exists yet, is replaced: the cut
//   is written to a new temporary file in the output's directory, in large
//   blocks (nobody reads it before it is complete), and only once every byte
//   is written and the file is closed without error is it renamed over the
//   output path. The temporary file's name shows which output it is for and
//   that streamtrim made it (".stream-cut.log.streamtrim-XXXXXX" beside
//   stream-cut.log, the X's differing from run to run); it is created
//   exclusively, so that runs writing one output at once each write their
//   own, and the output ends as the complete cut of one of them. A symbolic
//   link stays a link: the file it leads to (following every link on the
//   way) is replaced, its temporary file made beside it. An existing output
//   keeps its permission bits, whatever the umask, and its owner and group
//   where the process may set them; a new one gets the permissions a created
//   file gets (0666 less the umask on POSIX). Hard links to the previous
//   file keep the previous content: the replacement is a new file.
// - Where no file can be created in the output's directory but the output
//   file itself may be written, it is written in place instead: emptied by
//   begin() and written line by line, as any other kind of output is.
// - Standard output, a pipe, a FIFO, a terminal or a device is written in
//   place, each writeLine() handed to the system at once with one write, so
//   that a reader sees whole lines as they come. The scanner gives such an
//   output one line at a time; a replacement may be given many at once.
//
// On every failure the temporary file is removed, and an OutputFile
// destroyed without a successful close() removes it too, so that a failing
// run leaves the previous output byte for byte. When a signal or the user
// interrupts a run, interruption.h removes it. Only a run killed outright
// (SIGKILL, a power cut) can leave a temporary file behind, never a partial
// output.
//
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
#include <utility>
#include <vector>

#include "input_file.h"

class OutputFile {
 public:
  // How the cut reaches the output path (see above).
  enum class Method {
    kReplace,     // a temporary file, renamed over the path by close()
    kInPlace,     // a regular file whose directory takes no new file: emptied and rewritten
    kLineByLine,  // standard output, a pipe, a FIFO, a terminal or a device
  };

  // Removes the temporary file of an output that was not closed.
  virtual ~OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // "standard output" or the path, as error messages name it.
  const std::string& name() const { return name_; }

  virtual Method method() const = 0;

  // Throws when the output path leads to the file that input names (through
  // links too): replacing it would lose the log, writing it in place would
  // destroy it before it is read.
  virtual void refuseToOverwrite(const FileStamp& input) const = 0;

  // Starts the output pass: an output written in place that is a regular
  // file is emptied now, other kinds are left as they are, as the shell's
  // ">" would (standard output is never emptied: the shell has opened it as
  // the user asked, for appending maybe). A replacement's temporary file is
  // empty already.
  virtual void begin() = 0;

  // Writes line and a newline.
  void writeLine(std::string_view line);

  // Writes text and then ending, which completes it to whole lines (its
  // last byte a newline): a line can be given in two parts without copying
  // the first.
  void writeLine(std::string_view text, std::string_view ending);

  // Finishes the output and reports any failure: a replacement writes what
  // it holds back, is closed and then renamed over the output path, which
  // holds the cut only when this returns. Standard output is closed too, so
  // that an error the system reports only then is not lost.
  virtual void close() = 0;

  // Bytes written so far.
  uint64_t bytesWritten() const { return bytesWritten_; }

  // The notes the output has for the user since they were last taken, each
  // one line for standard error: what a replacement could not keep of the
  // file it replaced (file_attributes.h), once close() has put it in place.
  std::vector<std::string> takeNotes() { return std::exchange(notes_, {}); }

 protected:
  explicit OutputFile(std::string name) : name_(std::move(name)) {}

  void addNote(std::string note) { notes_.push_back(std::move(note)); }

  // Writes first and then second, one line's bytes: written out at once,
  // with one system call where the system allows, when the output goes line
  // by line; gathered into large blocks for a replacement. Goes on after a
  // partial write and throws a Failure naming the output when a write fails.
  virtual void write(std::string_view first, std::string_view second) = 0;

 private:
  std::string name_;
  uint64_t bytesWritten_ = 0;
  std::vector<std::string> notes_;
};

// The name error messages give standard output.
inline constexpr char kStandardOutputName[] = "standard output";

// Opens path for writing on this system (an empty path means standard
// output), choosing its Method: a replacement's temporary file is created
// now, an output written in place is opened (and created when missing) but
// not yet emptied (see begin()). Throws a Failure naming the output when it
// cannot be opened or its temporary file cannot be created.
std::unique_ptr<OutputFile> openOutputFile(const std::string& path);

#endif  // STREAMTRIM_OUTPUT_FILE_H
