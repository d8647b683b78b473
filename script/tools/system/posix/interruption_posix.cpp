// Interruptions on POSIX systems: every signal whose default action ends the
// process and that a program may catch, listed in kSignals.
//
// The handler may run inside any call of the main program, so it uses only
// what is safe there: it reads what the main program stored beforehand
// through lock-free atomics, and calls unlink(), write(), sigaction(),
// sigprocmask() and raise(). Every handled signal is blocked while it runs,
// so that a second one (Ctrl+C pressed twice, SIGTERM after SIGHUP) cannot
// cut the cleanup short.
//
// SIGPIPE is not in the table: the tool ignores it from the start
// (command_line.h), so that a pipe whose reader has gone fails the write
// with EPIPE and the run ends by SIGPIPE from the main program, its status
// line erased. Only an output written straight to a pipe meets it; a
// replacement's temporary file is a regular file, which never raises it.

#include "system/posix/interruption_posix.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "system/interruption.h"

namespace {

// What a handled signal does to the run.
enum class Handling {
  kEnd,     // remove the temporary file, erase the status line, end by the signal
  kFault,   // the same, the signal's default action then dumping core
  kIgnore,  // nothing: the system call it would interrupt fails instead
};

struct HandledSignal {
  int number;
  Handling handling;
};

// Every catchable signal whose default action ends the process, and the
// real-time signals (SIGRTMIN to SIGRTMAX) where the system has them, which
// handleInterruptions() adds as kEnd.
//
// SIGXFSZ (a file grown past `ulimit -f`) is ignored, so that the write
// fails with EFBIG and the run ends as on a full disk: status 1, "File too
// large", the previous output kept. The faults (a bad memory access, an
// illegal instruction, abort()) are bugs of the program: their temporary
// file is removed too, its name checked first (see onSignal), and their
// default action then dumps core as it would have.
constexpr HandledSignal kSignals[] = {
    {SIGHUP, Handling::kEnd},    {SIGINT, Handling::kEnd},     {SIGQUIT, Handling::kEnd},
    {SIGTERM, Handling::kEnd},   {SIGUSR1, Handling::kEnd},    {SIGUSR2, Handling::kEnd},
    {SIGALRM, Handling::kEnd},   {SIGVTALRM, Handling::kEnd},  {SIGPROF, Handling::kEnd},
    {SIGXCPU, Handling::kEnd},   {SIGXFSZ, Handling::kIgnore}, {SIGSEGV, Handling::kFault},
    {SIGBUS, Handling::kFault},  {SIGILL, Handling::kFault},   {SIGFPE, Handling::kFault},
    {SIGABRT, Handling::kFault}, {SIGSYS, Handling::kFault},   {SIGTRAP, Handling::kFault},
#ifdef SIGPOLL  // Linux's SIGIO; the BSDs' and macOS's SIGIO is ignored by default
    {SIGPOLL, Handling::kEnd},
#endif
#ifdef SIGPWR
    {SIGPWR, Handling::kEnd},
#endif
#ifdef SIGSTKFLT
    {SIGSTKFLT, Handling::kEnd},
#endif
#ifdef SIGEMT
    {SIGEMT, Handling::kFault},
#endif
};

// Moves to the start of the row and erases it, as the terminal's
// eraseStatus() does.
constexpr char kEraseStatusLine[] = "\r\x1b[K";

// The file to remove: the path a RemovedOnInterruption holds, or null, and
// a checksum of the path taken as it was published.
std::atomic<const char*> fileToRemove{nullptr};
std::atomic<uint64_t> fileToRemoveSum{0};
std::atomic<bool> statusLineShown{false};

static_assert(std::atomic<const char*>::is_always_lock_free);
static_assert(std::atomic<uint64_t>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

// The signals the handler handles, blocked while it runs and while a
// temporary file is made (InterruptionsHeld). Filled by handleInterruptions()
// before any handler is installed.
sigset_t handledSignals;

// FNV-1a over the bytes of path: a loop over memory, safe in a handler.
uint64_t checksum(const char* path) {
  uint64_t sum = 14695981039346656037u;
  for (; *path != '\0'; ++path)
    sum = (sum ^ static_cast<unsigned char>(*path)) * 1099511628211u;
  return sum;
}

// Ends the process by signal, as it would have ended without the handler
// (with a core dump where the signal's default action makes one).
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

// After a fault the program's memory may be damaged: the path is removed
// only while it still has the checksum it was published with, so that a
// damaged name can never remove another file (the user's previous output).
extern "C" void onSignal(int signal) {
  const char* path = fileToRemove.load();
  if (path != nullptr && checksum(path) == fileToRemoveSum.load())
    ::unlink(path);
  if (statusLineShown.load()) {
    ssize_t ignored = ::write(STDERR_FILENO, kEraseStatusLine, sizeof kEraseStatusLine - 1);
    (void)ignored;  // a terminal gone away is no reason to stay
  }
  endBySignal(signal);
}

// Handles signal as handling says, unless whoever started the program set it
// to be ignored, or a handler is in place already: a sanitizer's, which
// reports a fault better than a core dump does.
void handle(int signal, Handling handling) {
  struct sigaction previous;
  if (::sigaction(signal, nullptr, &previous) != 0 || (previous.sa_flags & SA_SIGINFO) != 0 ||
      previous.sa_handler != SIG_DFL)
    return;
  struct sigaction action = {};
  action.sa_handler = handling == Handling::kIgnore ? SIG_IGN : onSignal;
  action.sa_mask = handledSignals;
  ::sigaction(signal, &action, nullptr);
}

}  // namespace

void handleInterruptions() {
  sigemptyset(&handledSignals);
  for (const HandledSignal& handled : kSignals)
    sigaddset(&handledSignals, handled.number);
#ifdef SIGRTMIN
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
    sigaddset(&handledSignals, signal);
#endif
  for (const HandledSignal& handled : kSignals)
    handle(handled.number, handled.handling);
#ifdef SIGRTMIN
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
    handle(signal, Handling::kEnd);
#endif
}

// path_ is complete before it is published: the handler reads it only
// through the atomic pointer, which is withdrawn before path_ goes. The
// checksum is stored first, so that a handler that sees the new pointer
// sees its checksum too.
RemovedOnInterruption::RemovedOnInterruption(const std::string& path) : path_(path) {
  fileToRemoveSum.store(checksum(path_.c_str()));
  fileToRemove.store(path_.c_str());
}

RemovedOnInterruption::~RemovedOnInterruption() {
  fileToRemove.store(nullptr);
}

void setStatusLineShown(bool shown) {
  statusLineShown.store(shown);
}

InterruptionsHeld::InterruptionsHeld() {
  ::sigprocmask(SIG_BLOCK, &handledSignals, &previous_);
}

InterruptionsHeld::~InterruptionsHeld() {
  ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
}
