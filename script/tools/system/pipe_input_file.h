// A pipe or a FIFO read as an InputFile: front to back, once.
//
// The checker reads each log once, front to back, so either of its logs may
// come from a pipe (streamtrim-verify cut.log <(zstd -dc stream.log.zst)) or
// a FIFO. A pipe has no offsets: readAt() serves the offset where the pipe
// stands, and the checker steps over deleted rows by reading them, as it
// does in a file. An offset already read cannot be read again, with one
// exception: the pipe's first kKeptBytes stay in memory, so that the
// refusals that look at a log's first bytes (refuseWideLog in log_format.h
// and the like) can read them with readAt(0, ...) before the line reader
// starts there and reads them again. Nothing else goes back: the line reader
// keeps in its buffer what it may go back to (LineReader::hold).
//
// A pipe cannot change under its reader: what it delivers is its content.
// Its stamp() stays the one it had when it was opened, with its size and
// modification time 0, so the check for a log changed while it was read
// holds on a pipe by its nature.
//
// Each system reads its pipes in its own file (input_file_posix.cpp,
// input_file_windows.cpp) by implementing readSome().

#ifndef STREAMTRIM_PIPE_INPUT_FILE_H
#define STREAMTRIM_PIPE_INPUT_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "system/input_file.h"

class PipeInputFile : public InputFile {
 public:
  // The first bytes kept for another read at offset 0: more than any
  // signature at a log's start needs.
  static constexpr size_t kKeptBytes = 64 * 1024;

  FileStamp stamp() const override { return stamp_; }

  // Throws a Failure naming the pipe for an offset that is neither where the
  // pipe stands nor among its first bytes read.
  size_t readAt(uint64_t offset, char* buffer, size_t size) const override;

  bool isPipe() const override { return true; }

 protected:
  // stamp identifies the pipe; its size and times are not kept.
  PipeInputFile(std::string path, const FileStamp& stamp);

  // Reads up to size bytes (at least 1) where the pipe stands, waiting for
  // them; returns the count, 0 at the pipe's end. Throws a Failure naming
  // the pipe on a read error.
  virtual size_t readSome(char* buffer, size_t size) const = 0;

 private:
  FileStamp stamp_;
  // The pipe's position and first bytes change as it is read, which to the
  // reader is reading, as readAt on a file is.
  mutable uint64_t position_ = 0;
  mutable std::string kept_;  // its first min(position_, kKeptBytes) bytes
};

#endif  // STREAMTRIM_PIPE_INPUT_FILE_H
