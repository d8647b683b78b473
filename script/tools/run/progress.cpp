#include "run/progress.h"

#include <chrono>
#include <utility>

double monotonicSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

Progress::Progress(Terminal* terminal, ProgressTiming timing)
    : terminal_(terminal), timing_(std::move(timing)) {
  start_ = passStart_ = timing_.clock();
  nextDraw_ = start_ + timing_.delay;
}

void Progress::beginPass(int pass, uint64_t logSize) {
  if (terminal_ == nullptr)
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

// The line stops short of the window's last column: a terminal that wraps
// on reaching it would move the cursor to a row the next drawing no longer
// reaches.
void Progress::redrawIfDue() {
  double now = timing_.clock();
  if (now < nextDraw_)
    return;
  nextDraw_ = now + timing_.interval;
  std::string line = statusLine(pass_, position_, logSize_, now - passStart_);
  int width = terminal_->width();
  if (width > 0 && line.size() >= static_cast<size_t>(width))
    line.resize(static_cast<size_t>(width - 1));
  terminal_->drawStatus(line);
  shown_ = true;
}

double Progress::elapsed() const {
  return timing_.clock() - start_;
}

void Progress::erase() {
  if (!shown_)
    return;
  terminal_->eraseStatus();
  shown_ = false;
}

void Progress::finish(const RunSummary& summary) {
  if (terminal_ == nullptr)
    return;
  erase();
  terminal_->printLine(summaryLine(summary));
}
