// SPDX-License-Identifier: MIT
// Stops a calendar fuzz run on an unexpected outcome, naming the input.
#ifndef BRIMSEL_FUZZ_CHECK_H
#define BRIMSEL_FUZZ_CHECK_H

#include <brimsel/exception.h>

#include <cstdio>
#include <cstdlib>
#include <string>

inline bool hasNul(const std::string& text) { return text.find('\0') != std::string::npos; }

// Stops the run when an exception is not the one a calendar fault raises.
inline void checkFailure(const Brimsel::Exception& e, int code, const char* legend) {
  if (e.errorCode() != code || e.legend() != legend || e.isFatal() || !e.file().empty() ||
      e.line() != -1) {
    std::fprintf(stderr, "unexpected exception %d \"%s\"\n", e.errorCode(), e.legend().c_str());
    std::abort();
  }
}

inline void require(bool condition, const char* what, const std::string& text) {
  if (!condition) {
    std::fprintf(stderr, "%s for input of %zu bytes: \"%s\"\n", what, text.size(), text.c_str());
    std::abort();
  }
}

#endif
