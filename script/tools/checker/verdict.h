// What one check of a cut result came to: its shape, its sample, its rows
// against the original. The checker's parts each give one; the report shows
// them all (verifier.h).

#ifndef STREAMTRIM_VERDICT_H
#define STREAMTRIM_VERDICT_H

enum class Verdict { kPassed, kFailed, kNotChecked };

#endif  // STREAMTRIM_VERDICT_H
