// Where the cut log goes: a named file or standard output.
//
// What the output path names decides how it is written: its OutputKind,
// which outputWay() maps to a Way, the one table of it in the code (the
// README and the man page show the same table, with what the path holds
// after a failure and after each signal):
//
// - kFile: a regular file, or a path where no file exists yet, is replaced:
//   the cut is written to a new temporary file in the output's directory, in
//   large blocks (nobody reads it before it is complete), and only once every
//   byte is written and the file is closed without error is it renamed over
//   the output path. The path holds either what it held before the run or
//   the whole cut, never a part of it. The temporary file's name shows which
//   output it is for and that streamtrim made it
//   (".stream-cut.log.streamtrim-XXXXXX" beside stream-cut.log, the X's
//   differing from run to run, the output's name shortened so that the whole
//   fits the longest name a file system takes); it is created exclusively,
//   so that runs writing one output at once each write their own, and the
//   output ends as the complete cut of one of them. A symbolic link stays a
//   link: the file it leads to (following every link on the way) is
//   replaced, its temporary file made beside it. An existing output keeps
//   its permission bits, whatever the umask, and its owner and group where
//   the process may set them; a new one gets the permissions a created file
//   gets (on POSIX, what open() with 0666 gives: less the umask, or as the
//   directory's default ACL says). Hard links to the previous file keep
//   the previous content: the replacement is a new file.
// - kFileInClosedFolder: where no file can be created in the output's
//   directory but the output file itself may be written, it is written in
//   place instead: emptied by begin() and written (in blocks of whole lines
//   on POSIX systems, line by line on Windows), after a note (announce())
//   that an interrupted run leaves a part of the cut.
// - kFileInAppendOnlyFolder: an append-only directory (Linux's chattr +a)
//   takes a new file but lets none be renamed or removed, so neither a
//   temporary file's rename nor its removal would work: the output, existing
//   or new, is written in place as above, after its own note.
// - kFileRefusingRename: where the system refuses to rename the complete
//   temporary file over the output (another user's file in a sticky
//   directory, a file mounted on its own), close() copies it over the output
//   in place and removes it, after the same note.
//   An output written or copied in place is locked while it is written (an
//   advisory lock, from its opening on): a second run writing it in place at
//   the same time fails at once, naming the output, and leaves it alone,
//   rather than mix its cut with the first's.
// - kDescriptorOnFile: standard output, or a path that names an open
//   descriptor (/dev/stdout, /dev/fd/N, however spelt: /dev/fd//N,
//   /proc/thread-self/fd/N, a link to one), on a regular file is written where
//   the descriptor stands (appended where it appends, never emptied) in
//   blocks of whole lines: the file holds whole lines up to the last write.
// - kStream: standard output, a path that names an open descriptor, a pipe,
//   a FIFO, a terminal or a device is written where it stands, each
//   writeLine() handed to the system at once with one write, so that a
//   reader sees whole lines as they come. The scanner gives such an output
//   one line at a time; the other kinds may be given many at once.
// - kDiscarding: the null device (/dev/null, however reached), where
//   benchmarks and dry runs send the cut: no reader waits for its lines, so
//   it is written in blocks, as a file is.
//
// A regular file written where it stands (in place, or through a
// descriptor) holds whole lines also after a failed write: it is cut back to
// its last whole line, never below what it held before the run
// (output_writes_posix.h: POSIX systems).
//
// On every failure the temporary file is removed, and an OutputFile
// destroyed without a successful close() removes it too, so that a failing
// run leaves the previous output byte for byte. When a signal ends a run,
// interruption.h removes it. Only a run killed outright (SIGKILL, a power
// cut) can leave a temporary file behind, never a partial output.
//
// Every write is checked, a partial write is carried on, and so is the final
// close: a run that ends with status 0 has written all of its output.
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
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "system/input_file.h"

// What the output path names (see above).
enum class OutputKind {
  kFile,                    // a regular file or a new path, whose directory takes a new file
  kFileInClosedFolder,      // an existing regular file whose directory takes no new file
  kFileInAppendOnlyFolder,  // a regular file or a new path in an append-only directory
  kFileRefusingRename,      // a regular file the system refuses to rename a file over
  kDescriptorOnFile,        // standard output or a named descriptor, on a regular file
  kStream,                  // a pipe, a FIFO, a terminal or a device, named or standard output
  kDiscarding,              // the null device, named or standard output
};

// How the cut reaches the output path.
enum class Method {
  kReplace,  // a temporary file, renamed over the path by close()
  kInPlace,  // the file emptied and rewritten (copied over it, for kFileRefusingRename)
  kAsItIs,   // written where the descriptor stands, never emptied
};

// How one kind of output is written: the table's row.
struct Way {
  Method method;
  bool inBlocks;     // lines gathered into large blocks; else each line written at once
  const char* note;  // why it is written in place, for the note; null when it is not
};

// The table: the Way of each OutputKind.
Way outputWay(OutputKind kind);

// The note announce() gives for an output written in place because of
// reason: "<output>: note: ...".
std::string inPlaceNote(const std::string& output, const std::string& reason);

class OutputFile {
 public:
  // Each system's replacement removes its temporary file when it is
  // destroyed without a successful close().
  virtual ~OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // "standard output" or the path, as error messages name it.
  const std::string& name() const { return name_; }

  virtual OutputKind kind() const = 0;
  Way way() const { return outputWay(kind()); }

  // Where notes go: each one line, for standard error. None by default. An
  // output written in place says so before the output pass (announce()); a
  // replacement that could not keep all of the previous file's attributes
  // says what it lost once it is in place (file_attributes.h).
  void setNoteSink(std::function<void(const std::string&)> sink) { noteSink_ = std::move(sink); }

  // Gives the note of an output written in place, when its kind has one:
  // called once before the output pass.
  void announce() const;

  // Throws when the output path leads to the file that input names (through
  // links too): replacing it would lose the log, writing it in place would
  // destroy it before it is read.
  virtual void refuseToOverwrite(const FileStamp& input) const = 0;

  // Starts the output pass: a named regular file written in place is
  // emptied now, other kinds are left as they are, as the shell's ">" would
  // (standard output and a named descriptor are never emptied: the shell has
  // opened them as the user asked, for appending maybe). A replacement's
  // temporary file is empty already.
  virtual void begin() = 0;

  // Writes line and a newline.
  void writeLine(std::string_view line);

  // Writes text and then ending, which completes it to whole lines (its
  // last byte a newline): a line can be given in two parts without copying
  // the first.
  void writeLine(std::string_view text, std::string_view ending);

  // Finishes the output and reports any failure: what is held back in a
  // block is written; a replacement is closed and then renamed (or copied)
  // over the output path, which holds the cut only when this returns. On
  // POSIX systems standard output is closed too, so that an error the system
  // reports only then is not lost; on Windows its handle is left to the
  // process's exit.
  virtual void close() = 0;

  // Bytes written so far.
  uint64_t bytesWritten() const { return bytesWritten_; }

 protected:
  explicit OutputFile(std::string name) : name_(std::move(name)) {}

  // Writes first and then second, one line's bytes: written out at once,
  // with one system call where the system allows, when the output goes line
  // by line; gathered into large blocks for a replacement. Goes on after a
  // partial write and throws a Failure naming the output when a write fails.
  virtual void write(std::string_view first, std::string_view second) = 0;

  // Hands note a line of standard error, when there is a sink.
  void note(const std::string& line) const;

 private:
  std::string name_;
  std::function<void(const std::string&)> noteSink_;
  uint64_t bytesWritten_ = 0;
};

// The name error messages give standard output.
inline constexpr char kStandardOutputName[] = "standard output";

// Opens path for writing on this system (an empty path means standard
// output), choosing its OutputKind: a replacement's temporary file is created
// now, an output written in place is opened (and created when missing) but
// not yet emptied (see begin()). Throws a Failure naming the output when it
// cannot be opened or its temporary file cannot be created.
std::unique_ptr<OutputFile> openOutputFile(const std::string& path);

// Throws a Failure naming the output ("Bad file descriptor") when path names
// a descriptor (/dev/fd/N, however spelt) that the caller did not hand over
// open. Called before the tool opens any file of its own: the tool's files
// take the lowest free numbers, so that such a descriptor would later be
// found open on the tool's own input. Every other failure of the path is
// openOutputFile()'s to report. Nothing to check where no path names a
// descriptor (Windows).
void refuseUnopenedDescriptor(const std::string& path);

// The regular file that a named output path leads to (its links followed),
// opened for reading, so that what it holds can be told before it is
// replaced (existing_output.h); null for standard output, a named
// descriptor, a pipe, a device, a path where no file exists, and a file that
// cannot be read, which openOutputFile() handles as before. Opens nothing
// that is no regular file: a pipe's writer is never taken for a reader.
std::unique_ptr<InputFile> openExistingOutput(const std::string& path);

#endif  // STREAMTRIM_OUTPUT_FILE_H
