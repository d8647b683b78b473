// The query-stream log as the tool reads it: a regular file, opened read-only.
//
// Each pass opens the log afresh and reads it with explicit offsets, so that a
// pass can jump over rows it does not need. The log must be a regular file: a
// pipe or a terminal could not be read a second time. A FileStamp taken at the
// start and end of each pass lets the tool notice a log that changes between
// or during the passes instead of cutting it wrongly.

#ifndef STREAMTRIM_INPUT_FILE_H
#define STREAMTRIM_INPUT_FILE_H

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

// What identifies a file and tells whether its content may have changed.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  uint64_t size = 0;
  timespec modified{};

  bool sameFileAs(const FileStamp& other) const;
  bool sameContentAs(const FileStamp& other) const;  // same file, size and mtime
};

FileStamp stampOf(const struct stat& info);

class InputFile {
 public:
  // Opens path for reading. Throws a Failure naming path when it cannot be
  // opened or is not a regular file.
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  const std::string& path() const { return path_; }

  // The file as it is now (fstat). Throws on failure.
  FileStamp stamp() const;

  // Reads up to size bytes at offset into buffer; returns the count, 0 at the
  // end of the file. Retries interrupted reads; throws on a read error.
  size_t readAt(uint64_t offset, char* buffer, size_t size) const;

 private:
  std::string path_;
  int fd_ = -1;
};

#endif  // STREAMTRIM_INPUT_FILE_H
