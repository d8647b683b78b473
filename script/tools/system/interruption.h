// What a run leaves when it is interrupted: on POSIX systems by any signal
// that would end it (SIGINT from Ctrl+C, SIGTERM, SIGHUP when the terminal
// closes, SIGQUIT, SIGUSR1, SIGALRM and the others listed in
// interruption_posix.cpp); on Windows by Ctrl+C, Ctrl+Break and closing the
// console.
//
// An interrupted run removes the temporary file of the output it was
// writing (output_file.h), so that the output path keeps its previous file,
// and erases the status line if one is shown (progress.h), so that the
// shell's prompt starts on a clean row. It then ends as the interruption
// would have ended it without streamtrim's handling: on POSIX by the same
// signal, so that the shell sees the usual status (130 for SIGINT, 143 for
// SIGTERM, 129 for SIGHUP) and a script that started it stops as well, and
// a core is dumped where the signal's default action dumps one. A program
// fault (SIGSEGV, SIGABRT, ...) is handled the same way. SIGXFSZ (a file
// grown past `ulimit -f`) is ignored instead, so that the write fails and the
// run ends with that failure, its previous output kept.
//
// The handling runs at any moment of the run, possibly inside a write of
// the main program: it does no more than remove a file whose name was
// prepared beforehand and write a few bytes prepared beforehand. Each system
// does this in a file of its own (interruption_posix.cpp,
// interruption_windows.cpp).

#ifndef STREAMTRIM_INTERRUPTION_H
#define STREAMTRIM_INTERRUPTION_H

#include <string>

// Handles the interruptions from now on. Called once, first thing in main.
// An interruption that whoever started the program set to be ignored (as
// nohup does with SIGHUP, or a shell with SIGINT for a background job) stays
// ignored, and a POSIX signal that has a handler already (a sanitizer's of
// SIGSEGV) keeps it.
void handleInterruptions();

// While it lives, an interruption removes the file at path, a temporary
// file of the run. One exists at a time.
class RemovedOnInterruption {
 public:
  explicit RemovedOnInterruption(const std::string& path);
  ~RemovedOnInterruption();
  RemovedOnInterruption(const RemovedOnInterruption&) = delete;
  RemovedOnInterruption& operator=(const RemovedOnInterruption&) = delete;

 private:
  std::string path_;  // kept here for the handling to read
};

// Whether a status line stands on the terminal now, for an interruption to
// erase: each system's terminal (terminal.h) says so as it draws and erases
// it.
void setStatusLineShown(bool shown);

#endif  // STREAMTRIM_INTERRUPTION_H
