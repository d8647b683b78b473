// What the Windows files add to interruption.h: holding an interruption off
// while a step that must not be cut in two is done.
//
// Windows runs the console's control handler on a thread of its own, beside
// the main program, not in place of it. A temporary file created but not yet
// known to the handler would stay after Ctrl+C, and one the handler removes
// while the main program puts it in place would turn a finished run into a
// failed one with a message about a file the user never named. Such steps
// hold interruptions off; the handler waits until they are done.

#ifndef STREAMTRIM_INTERRUPTION_WINDOWS_H
#define STREAMTRIM_INTERRUPTION_WINDOWS_H

// While it lives, an interruption waits. Once an interruption has been
// handled, none is held off again: the constructor waits for the system to
// end the process.
class InterruptionsHeld {
 public:
  InterruptionsHeld();
  ~InterruptionsHeld();
  InterruptionsHeld(const InterruptionsHeld&) = delete;
  InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;
};

#endif  // STREAMTRIM_INTERRUPTION_WINDOWS_H
