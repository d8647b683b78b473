#include "progress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace {

// The escape sequence that erases from the cursor to the end of the line.
constexpr char kEraseLine[] = "\x1b[K";

// Also a terminal reached through another device node counts as the same
// one: both nodes are character devices with the same device number.
bool sameFile(const struct stat& a, const struct stat& b) {
  if (a.st_dev == b.st_dev && a.st_ino == b.st_ino)
    return true;
  return S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode) && a.st_rdev == b.st_rdev;
}

}  // namespace

bool progressWanted(int errFd, const std::string& outputPath) {
  struct stat err;
  if (::isatty(errFd) == 0 || ::fstat(errFd, &err) != 0)
    return false;
  struct stat out;
  int found = outputPath.empty() ? ::fstat(STDOUT_FILENO, &out) : ::stat(outputPath.c_str(), &out);
  return found != 0 || !sameFile(out, err);  // a missing output file is no terminal
}

double monotonicSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

Progress::Progress(int fd, ProgressTiming timing) : fd_(fd), timing_(std::move(timing)) {
  start_ = passStart_ = timing_.clock();
  nextDraw_ = start_ + timing_.delay;
}

void Progress::beginPass(int pass, uint64_t logSize) {
  if (fd_ < 0)
    return;
  pass_ = pass;
  logSize_ = logSize;
  position_ = 0;
  passStart_ = timing_.clock();
}

void Progress::blockRead(uint64_t end, size_t bytes) {
  position_ = end;
  unchecked_ += bytes;
  if (unchecked_ < kCheckEvery)
    return;
  unchecked_ = 0;
  redrawIfDue();
}

void Progress::redrawIfDue() {
  double now = timing_.clock();
  if (now < nextDraw_)
    return;
  nextDraw_ = now + timing_.interval;
  std::string text = "\r";
  text += statusLine(pass_, position_, logSize_, now - passStart_);
  text += kEraseLine;
  put(text);
  shown_ = true;
}

double Progress::elapsed() const {
  return timing_.clock() - start_;
}

void Progress::erase() {
  if (!shown_)
    return;
  put(std::string("\r") + kEraseLine);
  shown_ = false;
}

void Progress::finish(const RunSummary& summary) {
  if (fd_ < 0)
    return;
  erase();
  put(summaryLine(summary) + "\n");
}

// The display is a courtesy: a terminal that has gone away must not fail a
// run whose output is fine, so errors are not reported.
void Progress::put(const std::string& text) const {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t written = ::write(fd_, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return;
    done += static_cast<size_t>(written);
  }
}
