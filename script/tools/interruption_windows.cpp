// Interruptions on Windows: Ctrl+C, Ctrl+Break and closing the console.
//
// Not handled yet: an interruption ends the process as the system does by
// default, and a replacement's temporary file stays (output_file.h).

#include "interruption.h"

void handleInterruptions() {}

RemovedOnInterruption::RemovedOnInterruption(const std::string& path) : path_(path) {}

RemovedOnInterruption::~RemovedOnInterruption() = default;

void setStatusLineShown(bool) {}
