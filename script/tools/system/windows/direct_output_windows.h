// The outputs Windows writes where they stand, never through a temporary
// file (output_file_windows.cpp chooses them):
//
// - Where the output's directory takes no new file (ERROR_ACCESS_DENIED) but
//   the output exists and may be written, it is written in place as before
//   replacement, after the note that says so: opened letting others only
//   read it, emptied by begin() and written as it comes (the rows of a table
//   copied whole in one write).
// - Standard output, a pipe, a console or a device (NUL) is written line by
//   line: the two parts of a line are joined in a buffer kept from line to
//   line and go out with one WriteFile call. A line longer than a megabyte
//   is written part by part instead: joining it would double the memory the
//   longest line costs, and a write of many megabytes reaches a pipe or a
//   disk in pieces anyway.
// - A file that refuses writing (read-only) is opened all the same, without
//   write access, so that refuseToOverwrite can tell the read-only log
//   itself from another file before it reports the refusal; Windows would
//   refuse to replace it as well.
//
// Standard output stays open: the C runtime holds its handle as well,
// closing it under the runtime would let a later open take the handle's
// place, and CloseHandle reports no write error that WriteFile has not
// reported already.

#ifndef STREAMTRIM_DIRECT_OUTPUT_WINDOWS_H
#define STREAMTRIM_DIRECT_OUTPUT_WINDOWS_H

#include <string>
#include <string_view>

#include "system/input_file.h"
#include "system/output_file.h"
#include "system/windows/windows_api.h"

// Throws when stamp is the one input names: the output is the log itself.
void refuseIfSame(const FileStamp& stamp, const FileStamp& input, const std::string& name);

// Standard output, or a named output written where it stands (see above).
class DirectOutputFile final : public OutputFile {
 public:
  // Standard output.
  DirectOutputFile();

  // An output already open at handle.
  DirectOutputFile(const std::string& path, HANDLE handle)
      : OutputFile(path), handle_(handle), named_(true) {}

  // Opens path as before replacement: letting others only read it while
  // it is written.
  explicit DirectOutputFile(const std::string& path);

  // A file that refuses writing for error, open at handle only to be
  // identified.
  DirectOutputFile(const std::string& path, HANDLE handle, DWORD error)
      : OutputFile(path), handle_(handle), named_(true), refusal_(error) {}

  ~DirectOutputFile() override;

  OutputKind kind() const override;
  void refuseToOverwrite(const FileStamp& input) const override;
  void begin() override;
  void close() override;

 protected:
  void write(std::string_view first, std::string_view second) override;

 private:
  bool onDisk() const { return ::GetFileType(handle_) == FILE_TYPE_DISK; }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool named_ = false;  // a path of the user's, not standard output
  DWORD refusal_ = 0;   // why the file may not be written, when it may not
  std::string joined_;  // the line being written
};

#endif  // STREAMTRIM_DIRECT_OUTPUT_WINDOWS_H
