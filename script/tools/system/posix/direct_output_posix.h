// The outputs POSIX systems write where they stand, never through a
// temporary file (output_file_posix.cpp chooses them): standard output, a
// device, a pipe, a terminal, a path that names an open descriptor
// (/dev/stdout, /dev/fd/N, written through a copy of the descriptor, as
// standard output is), and a regular file whose directory takes no new file
// or is append-only, locked from its opening on (lockForTheRun). A stream
// gets each line with one system call, a regular file blocks of lines
// (output_writes_posix.h).

#ifndef STREAMTRIM_DIRECT_OUTPUT_POSIX_H
#define STREAMTRIM_DIRECT_OUTPUT_POSIX_H

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "system/input_file.h"
#include "system/output_file.h"
#include "system/posix/output_writes_posix.h"

// Throws when the file described by info is the one input names.
void refuseIfSame(const struct stat& info, const FileStamp& input, const std::string& name);

// Standard output, or a named output written where it stands (see above).
class DirectOutputFile final : public OutputFile {
 public:
  // Standard output.
  DirectOutputFile();

  // The path, opened by name (created when missing, as by the shell's >):
  // when it is a regular file, one written in place as inPlace says.
  explicit DirectOutputFile(const std::string& path,
                            OutputKind inPlace = OutputKind::kFileInClosedFolder);

  // The path, which names the open descriptor fd: written through a copy of
  // it, as standard output is.
  DirectOutputFile(const std::string& path, int fd);

  ~DirectOutputFile() override;

  OutputKind kind() const override { return kind_; }
  void refuseToOverwrite(const FileStamp& input) const override;
  void begin() override;
  void close() override;

 protected:
  void write(std::string_view first, std::string_view second) override;

 private:
  void learnKind();

  int fd_ = -1;
  bool named_ = false;       // opened here, not standard output
  bool descriptor_ = false;  // a path that names an open descriptor
  OutputKind inPlace_ = OutputKind::kFileInClosedFolder;
  OutputKind kind_ = OutputKind::kStream;
  BlockWriter blocks_;
};

#endif  // STREAMTRIM_DIRECT_OUTPUT_POSIX_H
