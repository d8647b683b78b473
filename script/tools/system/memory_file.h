// A log and a cut log held in memory, behind the same interfaces as files.
//
// The fuzzers and tests run the real scanner, cutter and checker on these:
// no file is made and no system call is spent per line, so thousands of
// logs a second can be cut and checked.

#ifndef STREAMTRIM_MEMORY_FILE_H
#define STREAMTRIM_MEMORY_FILE_H

#include <string>
#include <string_view>

#include "system/input_file.h"
#include "system/output_file.h"

// A log whose bytes the caller keeps alive. Each one is a file of its own:
// its stamp differs from every other MemoryInputFile's.
class MemoryInputFile final : public InputFile {
 public:
  MemoryInputFile(std::string name, std::string_view bytes);

  FileStamp stamp() const override;
  size_t readAt(uint64_t offset, char* buffer, size_t size) const override;

 private:
  std::string_view bytes_;
  uint64_t id_;
};

// Collects what is written, as a replacement does: nobody reads it before
// the run ends. It is never the input log.
class MemoryOutputFile final : public OutputFile {
 public:
  explicit MemoryOutputFile(std::string name) : OutputFile(std::move(name)) {}

  const std::string& bytes() const { return bytes_; }

  OutputKind kind() const override { return OutputKind::kFile; }
  void refuseToOverwrite(const FileStamp&) const override {}
  void begin() override { bytes_.clear(); }
  void close() override {}

 protected:
  void write(std::string_view first, std::string_view second) override;

 private:
  std::string bytes_;
};

#endif  // STREAMTRIM_MEMORY_FILE_H
