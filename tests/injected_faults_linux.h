// The faults of fault_injection.cpp, for the end-to-end tests: while a
// Faults lives, each streamtrim started preloads the fault library with the
// settings given (STREAMTRIM_FAULT_...). Only Linux builds linked
// dynamically, run without an emulator, have the library.

#ifndef STREAMTRIM_INJECTED_FAULTS_LINUX_H
#define STREAMTRIM_INJECTED_FAULTS_LINUX_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#ifdef STREAMTRIM_FAULT_LIBRARY
const char* const kFaultLibrary = STREAMTRIM_FAULT_LIBRARY;
#else
const char* const kFaultLibrary = nullptr;
#endif

// While it lives, the runs streamtrim starts preload the fault library with
// these settings, or nothing where there is none.
using FaultSettings = std::vector<std::pair<std::string, std::string>>;

class Faults {
 public:
  explicit Faults(FaultSettings settings) : settings_(std::move(settings)) {
    if (kFaultLibrary == nullptr)
      return;
    ::setenv("LD_PRELOAD", kFaultLibrary, 1);
    // A sanitized build's runtime must come first, unless told otherwise.
    const char* asan = std::getenv("ASAN_OPTIONS");
    asanOptions_ = asan ? std::optional<std::string>(asan) : std::nullopt;
    ::setenv("ASAN_OPTIONS",
             (asan ? std::string(asan) + ":" : "").append("verify_asan_link_order=0").c_str(), 1);
    for (const auto& [name, value] : settings_)
      ::setenv(("STREAMTRIM_FAULT_" + name).c_str(), value.c_str(), 1);
  }
  ~Faults() {
    if (kFaultLibrary == nullptr)
      return;
    ::unsetenv("LD_PRELOAD");
    if (asanOptions_)
      ::setenv("ASAN_OPTIONS", asanOptions_->c_str(), 1);
    else
      ::unsetenv("ASAN_OPTIONS");
    for (const auto& setting : settings_)
      ::unsetenv(("STREAMTRIM_FAULT_" + setting.first).c_str());
  }
  Faults(const Faults&) = delete;
  Faults& operator=(const Faults&) = delete;

 private:
  FaultSettings settings_;
  std::optional<std::string> asanOptions_;
};

#define SKIP_WITHOUT_FAULT_LIBRARY() \
  if (kFaultLibrary != nullptr) {    \
  } else                             \
    GTEST_SKIP() << "no fault library in this build (Linux, linked dynamically)"

#endif  // STREAMTRIM_INJECTED_FAULTS_LINUX_H
