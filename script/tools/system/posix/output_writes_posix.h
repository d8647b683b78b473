// system/posix/: system/'s interfaces on Linux, macOS and the BSDs.
//
// The writes every POSIX output makes (output_file_posix.cpp): a line handed
// to the system at once, lines gathered into large blocks, and a finished
// file copied over another. Each goes on after a partial write and throws a
// Failure naming the output (name) when a write fails.

#ifndef STREAMTRIM_OUTPUT_WRITES_POSIX_H
#define STREAMTRIM_OUTPUT_WRITES_POSIX_H

#include <string>
#include <string_view>
#include <vector>

// Writes first and then second to fd at once: joined into one write() when
// short, as most lines are, else with writev().
void writeNow(int fd, const std::string& name, std::string_view first, std::string_view second);

// Gathers whole lines into blocks, each written with one call once full: the
// file holds whole lines up to the last write. A line of a quarter block or
// more goes out on its own, without a copy.
class BlockWriter {
 public:
  static constexpr size_t kBlock = size_t{1} << 20;

  void write(int fd, const std::string& name, std::string_view first, std::string_view second);

  // Writes what is held back.
  void flush(int fd, const std::string& name);

 private:
  std::vector<char> block_;
};

// Copies the file at from over the existing file at to in place (emptied
// first, keeping its identity, links, owner and permissions).
void copyFileOver(const std::string& from, const std::string& to, const std::string& name);

#endif  // STREAMTRIM_OUTPUT_WRITES_POSIX_H
