// What the x86-64 row counter asks of the CPU before it picks a version
// (row_scan_x86_64.cpp).

#ifndef STREAMTRIM_ROW_SCAN_X86_64_H
#define STREAMTRIM_ROW_SCAN_X86_64_H

// What countRowLines may use on this CPU: the instructions the CPU has and,
// for the wider vectors, whose registers the system saves.
struct X86Features {
  bool popcnt = false;
  bool avx2 = false;
};
X86Features x86Features();

#endif  // STREAMTRIM_ROW_SCAN_X86_64_H
