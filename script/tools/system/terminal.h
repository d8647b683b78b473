// The terminal the progress display draws on (progress.h).
//
// The display belongs on standard error when that is a terminal and the cut
// log does not go to a terminal at all: the status line would land among the
// log's rows, and whoever sends a cut log to a terminal sees it move anyway.
// Each system answers these questions, and draws the status line as its
// terminal understands, in a file of its own (terminal_posix.cpp,
// terminal_windows.cpp); the display itself writes no escape sequence.

#ifndef STREAMTRIM_TERMINAL_H
#define STREAMTRIM_TERMINAL_H

#include <memory>
#include <string>
#include <string_view>

// The status line's operations, each done as the system's terminal
// understands it. The display is a courtesy: a terminal that has gone away
// must not fail a run whose output is fine, so errors are ignored.
class Terminal {
 public:
  virtual ~Terminal() = default;

  // Shows line as the status line, in place of the one shown before, and
  // leaves the cursor at its end. line fits the window (see width()).
  virtual void drawStatus(std::string_view line) = 0;

  // Removes the status line, leaving the cursor at the start of its row.
  virtual void eraseStatus() = 0;

  // Prints line (without its line break) where the cursor is, to stay, and
  // moves to the next row.
  virtual void printLine(std::string_view line) = 0;

  // The window's width in columns, read anew on each call (the user may
  // resize it); 0 when it cannot be told.
  virtual int width() = 0;
};

// Standard error as a terminal, when the display belongs there for a run
// whose cut log goes to outputPath (standard output when it is empty), and
// null otherwise.
std::unique_ptr<Terminal> progressTerminal(const std::string& outputPath);

#endif  // STREAMTRIM_TERMINAL_H
