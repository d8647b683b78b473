// The progress display's terminal on POSIX systems: the status line is
// drawn over with a carriage return and the escape sequence that erases the
// rest of the line (ESC [ K), which every terminal of these systems knows.
// Each operation is one write.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "system/interruption.h"
#include "system/terminal.h"

namespace {

// Erases from the cursor to the end of the line.
constexpr char kEraseLine[] = "\x1b[K";

class PosixTerminal final : public Terminal {
 public:
  explicit PosixTerminal(int fd) : fd_(fd) {}

  void drawStatus(std::string_view line) override {
    setStatusLineShown(true);  // before it shows: an interruption must not miss it
    write(std::string("\r").append(line).append(kEraseLine));
  }

  void eraseStatus() override {
    write(std::string("\r") + kEraseLine);
    setStatusLineShown(false);
  }

  void printLine(std::string_view line) override { write(std::string(line).append("\n")); }

  int width() override {
    winsize size{};
    if (::ioctl(fd_, TIOCGWINSZ, &size) != 0)
      return 0;
    return size.ws_col;
  }

 private:
  void write(std::string_view text) {
    while (!text.empty()) {
      ssize_t written = ::write(fd_, text.data(), text.size());
      if (written < 0 && errno == EINTR)
        continue;
      if (written <= 0)
        return;
      text.remove_prefix(static_cast<size_t>(written));
    }
  }

  int fd_;
};

// Whether the output at path is a terminal: a character device that says
// so once opened. Opening it has no effect on a terminal (O_NOCTTY), and
// other character devices are not terminals; a missing file is none.
bool isTerminalPath(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode))
    return false;
  int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return true;  // a terminal not ours to open is still no place for the display
  bool terminal = ::isatty(fd) != 0;
  ::close(fd);
  return terminal;
}

}  // namespace

std::unique_ptr<Terminal> progressTerminal(const std::string& outputPath) {
  if (::isatty(STDERR_FILENO) == 0)
    return nullptr;
  bool outputIsTerminal =
      outputPath.empty() ? ::isatty(STDOUT_FILENO) != 0 : isTerminalPath(outputPath);
  if (outputIsTerminal)
    return nullptr;
  return std::make_unique<PosixTerminal>(STDERR_FILENO);
}
