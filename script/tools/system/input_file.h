// system/: the interfaces to the system (the log and the output, the
// terminal, interruptions, the command line) and the failure every part
// throws; each system's implementations are in system/posix/ and
// system/windows/, which CMake chooses. It builds on nothing else.
//
// The query-stream log as the tool reads it: a regular file, opened read-only.
//
// Each pass opens the log afresh and reads it with explicit offsets, so that a
// pass can jump over rows it does not need. The log must be a regular file: a
// pipe or a terminal could not be read a second time. A FileStamp taken at the
// start and end of each pass lets the tool notice a log that changes between
// or during the passes instead of cutting it wrongly.
//
// The checker reads each of its logs once, front to back, so it takes a pipe
// or a FIFO as well (pipe_input_file.h), read where it stands, its first
// bytes also again from offset 0.
//
// InputFile is the interface; each system implements it in a file of its own
// (input_file_posix.cpp, input_file_windows.cpp), and memory_file.h holds a
// log in memory for the fuzzers and tests.

#ifndef STREAMTRIM_INPUT_FILE_H
#define STREAMTRIM_INPUT_FILE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

// What identifies a file and tells whether its content may have changed.
// The system fills it in its own terms: a device and an inode, or a volume
// serial number and a file ID of up to 128 bits; a modification time in its
// own units. An ID of 0 is a file system's way of saying it keeps none.
struct FileStamp {
  uint64_t volume = 0;
  uint64_t fileId = 0;      // the ID's low 64 bits, the whole of it on most systems
  uint64_t fileIdHigh = 0;  // the high 64 bits of a 128-bit ID (ReFS)
  uint64_t size = 0;
  int64_t modifiedSeconds = 0;
  int64_t modifiedFraction = 0;  // below a second, in the system's own unit
  // Where the volume keeps no file IDs (the ID is 0): the file's full path
  // as the system resolves it (links and mapped drives followed), which
  // stands in for the ID. Empty where the ID is known.
  std::string finalPath;

  // Whether both are known to be one file: the whole ID and the volume
  // agree and the ID is not 0, or, without IDs, the resolved paths agree.
  bool sameFileAs(const FileStamp& other) const {
    if (fileId == 0 && fileIdHigh == 0)
      return !finalPath.empty() && sameIdAs(other) && finalPath == other.finalPath;
    return sameIdAs(other);
  }
  // Whether the file may be unchanged: nothing tells it from other, neither
  // its ID nor its size and modification time.
  bool sameContentAs(const FileStamp& other) const {
    return sameIdAs(other) && size == other.size && modifiedSeconds == other.modifiedSeconds &&
           modifiedFraction == other.modifiedFraction;
  }

 private:
  bool sameIdAs(const FileStamp& other) const {
    return volume == other.volume && fileId == other.fileId && fileIdHigh == other.fileIdHigh;
  }
};

class InputFile {
 public:
  virtual ~InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // The path as the user gave it (UTF-8), as messages name the file.
  const std::string& path() const { return path_; }

  // The file as it is now. Throws a Failure on error.
  virtual FileStamp stamp() const = 0;

  // Reads up to size bytes at offset into buffer; returns the count, 0 at the
  // end of the file. Throws a Failure naming the file on a read error. On a
  // pipe the count may be short, and only offsets from where it stands on,
  // and its first bytes, can be read: a refusal that looks at a log's first
  // bytes reads them with readAt(0, ...) before the line reader starts.
  virtual size_t readAt(uint64_t offset, char* buffer, size_t size) const = 0;

  // Whether this is a pipe, to be read front to back (pipe_input_file.h).
  virtual bool isPipe() const { return false; }

  // How far into the file as stored the reads up to readEnd reach, for a
  // progress display: readEnd itself, except for a compressed log decoded as
  // it is read (decode/decoded_log.h), whose stored bytes are fewer.
  virtual uint64_t storedOffset(uint64_t readEnd) const { return readEnd; }

 protected:
  explicit InputFile(std::string path) : path_(std::move(path)) {}

 private:
  std::string path_;
};

// The file's first size bytes, fewer only when it is shorter, read into
// buffer from offset 0 (a pipe may give them a few at a time). Throws as
// readAt does.
inline std::string_view firstBytesOf(const InputFile& file, char* buffer, size_t size) {
  size_t got = 0;
  for (size_t n = 1; got < size && n != 0; got += n)
    n = file.readAt(got, buffer + got, size - got);
  return std::string_view(buffer, got);
}

// What a program can read: streamtrim reads its log twice, so it must be a
// regular file; the checker reads its logs once, so a pipe will do as well.
enum class Readable { kRegularFile, kFileOrPipe };

// The reasons given for an input that is neither.
inline constexpr char kLogNotRegular[] = "not a regular file (the log is read twice)";
inline constexpr char kNeitherFileNorPipe[] = "neither a regular file nor a pipe";

// Opens the file at path for reading on this system; a FIFO, accepted as a
// pipe, once a writer has opened it. Throws a Failure naming path when it
// cannot be opened, is a directory, or is not what readable says.
std::unique_ptr<InputFile> openInputFile(const std::string& path,
                                         Readable readable = Readable::kRegularFile);

#endif  // STREAMTRIM_INPUT_FILE_H
