// system/posix/: system/'s interfaces on Linux, macOS and the BSDs.
//
// The writes every POSIX output makes (output_file_posix.cpp): a line handed
// to the system at once, lines gathered into large blocks, and a finished
// file copied over another. Each goes on after a partial write and throws a
// Failure naming the output (name) when a write fails.
//
// A regular file holds whole lines also after a failure: when a write to it
// fails part-way (a full disk, past ulimit -f), the file is cut back to the
// end of the last whole line that went out before the failure is thrown, so
// that a later run appending to it starts on a line of its own. It is never
// cut below floor, what it held before the run (standard output appended to
// a report), and only where the failed write was at the file's end.

#ifndef STREAMTRIM_OUTPUT_WRITES_POSIX_H
#define STREAMTRIM_OUTPUT_WRITES_POSIX_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Writes first and then second to fd at once: joined into one write() when
// short, as most lines are, else with writev().
void writeNow(int fd, const std::string& name, std::string_view first, std::string_view second);

// Writes first and then second, whole lines, to the regular file fd, cut
// back to its last whole line, never below floor, when a write fails.
void writeLines(int fd, const std::string& name, std::string_view first, std::string_view second,
                uint64_t floor);

// Gathers whole lines into blocks, each written to a regular file with one
// call once full (writeLines): the file holds whole lines up to the last
// write, also after a failure. A line of a quarter block or more goes out on
// its own, without a copy.
class BlockWriter {
 public:
  static constexpr size_t kBlock = size_t{1} << 20;

  // floor: what the file held before the run, which a failure never cuts.
  explicit BlockWriter(uint64_t floor = 0) : floor_(floor) {}

  void write(int fd, const std::string& name, std::string_view first, std::string_view second);

  // Writes what is held back.
  void flush(int fd, const std::string& name);

 private:
  std::vector<char> block_;
  uint64_t floor_;
};

// Takes the lock of an output written in place, held until fd is closed: an
// advisory lock (flock) on the file, so that a second run writing the same
// output in place fails at once, before it empties the file, instead of
// writing over the first run's cut at its own offsets (the later cut, then
// zero bytes, then the earlier cut's tail). A replacement needs none: its
// rename is atomic. Throws a Failure naming the output when another holds
// the lock, or the system cannot lock the file.
void lockForTheRun(int fd, const std::string& name);

// Opens the existing file at path for writing in place, not emptied yet,
// and locks it (lockForTheRun). Returns its descriptor.
int openLockedInPlace(const std::string& path, const std::string& name);

// Copies the file at from over the file open (and locked) at out in place:
// emptied first, keeping its identity, links, owner and permissions, and cut
// back to its last whole line when a write fails. Closes out.
void copyFileOver(const std::string& from, int out, const std::string& name);

#endif  // STREAMTRIM_OUTPUT_WRITES_POSIX_H
