// What the POSIX files add to interruption.h: holding the handled signals
// off while a step that must not be cut in two is done.
//
// A signal handler runs in place of the main program. A temporary file
// created but not yet registered for removal would stay after a signal
// that came in between: such a step blocks the signals, and one that came
// meanwhile is handled as soon as the step is done.

#ifndef STREAMTRIM_INTERRUPTION_POSIX_H
#define STREAMTRIM_INTERRUPTION_POSIX_H

#include <signal.h>

// While it lives, the signals that interruption_posix.cpp handles are
// blocked.
class InterruptionsHeld {
 public:
  InterruptionsHeld();
  ~InterruptionsHeld();
  InterruptionsHeld(const InterruptionsHeld&) = delete;
  InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;

 private:
  sigset_t previous_;
};

#endif  // STREAMTRIM_INTERRUPTION_POSIX_H
