// SPDX-License-Identifier: MIT
// A second reading of the calendar text forms, written the plain C way
// (length checks, strspn, cutting the fields, atoi and strtod), that the fuzz
// targets hold the library's hand-written readers against. Like the readers,
// it reads a text as a C string: nothing after its first zero byte (the
// buffers are filled with zeros from there on), while the length rules apply
// to the whole string.
#ifndef BRIMSEL_FUZZ_CALENDAR_REFERENCE_H
#define BRIMSEL_FUZZ_CALENDAR_REFERENCE_H

#include <brimsel/exception.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace calendar_reference {

struct DateFields {
  int year, month, day;
};
struct TimeFields {
  int hour, minute;
  double second;
};

inline bool readDate(const std::string& text, DateFields& f) {
  if (text.size() != 10) return false;
  char buffer[12];
  std::strncpy(buffer, text.c_str(), sizeof buffer);
  if (std::strspn(buffer, "0123456789-") != std::strlen(buffer)) return false;
  if (buffer[4] != '-' || buffer[7] != '-') return false;
  buffer[4] = buffer[7] = '\0';
  f.year = std::atoi(buffer);
  f.month = std::atoi(buffer + 5);
  f.day = std::atoi(buffer + 8);
  return true;
}

inline bool readTime(const std::string& text, TimeFields& f) {
  if (text.size() < 8 || text.size() > 15) return false;
  char buffer[16];
  std::strncpy(buffer, text.c_str(), sizeof buffer);
  if (std::strspn(buffer, "0123456789:.") != std::strlen(buffer)) return false;
  if (buffer[2] != ':' || buffer[5] != ':') return false;
  buffer[2] = buffer[5] = '\0';
  f.hour = std::atoi(buffer);
  f.minute = std::atoi(buffer + 3);
  f.second = std::strtod(buffer + 6, nullptr);
  return true;
}

// Where the timestamp text (a C string) splits, or npos.
inline std::size_t separatorOf(const std::string& text) {
  for (char c : {' ', 'T', 'Z'}) {
    const char* at = std::strchr(text.c_str(), c);
    if (at != nullptr) return static_cast<std::size_t>(at - text.c_str());
  }
  return std::string::npos;
}

// Stops the run when an exception is not the one a calendar fault raises.
inline void checkFailure(const Brimsel::Exception& e, int code, const char* legend) {
  if (e.errorCode() != code || e.legend() != legend || e.isFatal() || !e.file().empty() || e.line() != -1) {
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

}  // namespace calendar_reference

#endif
