// Interruptions on POSIX systems: SIGINT, SIGTERM and SIGHUP.
//
// The handler may run inside any call of the main program, so it uses only
// what is safe there: it reads what the main program stored beforehand
// through lock-free atomics, and calls unlink(), write(), sigaction(),
// sigprocmask() and raise(). The three signals are blocked while it runs,
// so that a second one (Ctrl+C pressed twice) cannot cut the cleanup short.

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "interruption.h"

namespace {

constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP};

// Moves to the start of the row and erases it, as the terminal's
// eraseStatus() does.
constexpr char kEraseStatusLine[] = "\r\x1b[K";

// The file to remove: the path a RemovedOnInterruption holds, or null.
std::atomic<const char*> fileToRemove{nullptr};
std::atomic<bool> statusLineShown{false};

static_assert(std::atomic<const char*>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

// Ends the process by signal, as it would have ended without the handler.
[[noreturn]] void endBySignal(int signal) {
  struct sigaction byDefault = {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  ::sigaction(signal, &byDefault, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  ::raise(signal);  // pending while blocked
  ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
  ::_exit(128 + signal);  // not reached: the signal ends the process
}

extern "C" void onInterruption(int signal) {
  if (const char* path = fileToRemove.load())
    ::unlink(path);
  if (statusLineShown.load()) {
    ssize_t ignored = ::write(STDERR_FILENO, kEraseStatusLine, sizeof kEraseStatusLine - 1);
    (void)ignored;  // a terminal gone away is no reason to stay
  }
  endBySignal(signal);
}

}  // namespace

void handleInterruptions() {
  struct sigaction handler = {};
  handler.sa_handler = onInterruption;
  sigemptyset(&handler.sa_mask);
  for (int signal : kInterruptions)
    sigaddset(&handler.sa_mask, signal);
  for (int signal : kInterruptions) {
    struct sigaction previous;
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
      ::sigaction(signal, &handler, nullptr);
  }
}

// path_ is complete before it is published: the handler reads it only
// through the atomic pointer, which is withdrawn before path_ goes.
RemovedOnInterruption::RemovedOnInterruption(const std::string& path) : path_(path) {
  fileToRemove.store(path_.c_str());
}

RemovedOnInterruption::~RemovedOnInterruption() {
  fileToRemove.store(nullptr);
}

void setStatusLineShown(bool shown) {
  statusLineShown.store(shown);
}
