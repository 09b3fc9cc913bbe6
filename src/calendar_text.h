// SPDX-License-Identifier: MIT
// Digit writing and field reading shared by Date, Time and Timestamp.
//
// Hand-written rather than snprintf/atoi/strtod: the text forms are fixed,
// these run for every value a Variant prints or parses, and the standard
// functions would also make the decimal point depend on the locale.
#ifndef BRIMSEL_CALENDAR_TEXT_H
#define BRIMSEL_CALENDAR_TEXT_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "decimal.h"

namespace Brimsel {
namespace detail {

// "00" "01" ... "99", two characters per value.
struct DigitPairs {
  char text[200];
  constexpr DigitPairs() : text() {
    for (std::size_t i = 0; i < 100; ++i) {
      text[2 * i] = static_cast<char>('0' + i / 10);
      text[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
  }
};
inline constexpr DigitPairs kDigitPairs{};

inline char* putTwoDigits(char* out, unsigned value) {  // value < 100
  std::memcpy(out, kDigitPairs.text + 2 * std::size_t(value), 2);
  return out + 2;
}

inline char* putField2(char* out, int value) {  // "%02i"
  if (static_cast<unsigned>(value) < 100u) return putTwoDigits(out, static_cast<unsigned>(value));
  return writePadded(out, value, 2);
}

// "%04i-%02i-%02i"; at most 17 characters.
inline char* putDate(char* out, int year, int month, int day) {
  if (static_cast<unsigned>(year) < 10000u) {
    out = putTwoDigits(out, static_cast<unsigned>(year) / 100u);
    out = putTwoDigits(out, static_cast<unsigned>(year) % 100u);
  } else {
    out = writePadded(out, year, 4);
  }
  *out++ = '-';
  out = putField2(out, month);
  *out++ = '-';
  return putField2(out, day);
}

// "%02i:%02i:%02i" of the hour, minute and whole second.
inline char* putTime(char* out, int hour, int minute, int second) {
  out = putField2(out, hour);
  *out++ = ':';
  out = putField2(out, minute);
  *out++ = ':';
  return putField2(out, second);
}

// What each byte may be in the text forms, one bit per use.
enum : unsigned char { kDateChar = 1, kTimeChar = 2 };
struct CharClasses {
  unsigned char of[256];
  constexpr CharClasses() : of() {
    for (int c = '0'; c <= '9'; ++c) of[c] = kDateChar | kTimeChar;
    of[static_cast<unsigned char>('-')] = kDateChar;
    of[static_cast<unsigned char>(':')] = kTimeChar;
    of[static_cast<unsigned char>('.')] = kTimeChar;
  }
};
inline constexpr CharClasses kCharClasses{};

// Whether every byte of the text has `charClass`; no early exit, the texts
// are short and the loop stays free of branches.
inline bool allOfClass(const char* text, std::size_t size, unsigned char charClass) {
  unsigned char all = charClass;
  for (std::size_t i = 0; i < size; ++i)
    all &= kCharClasses.of[static_cast<unsigned char>(text[i])];
  return all != 0;
}

// The atoi rule over [p, end): the fields hold no white space (nor '+'),
// so the sign-and-digits part of it. Fields are at most four characters.
inline int readInteger(const char* p, const char* end) { return readShortSigned(p, end); }

// The strtod rule over [p, end) for text made of digits, ':' and '.': digits,
// at most one '.', then digits, up to the first character that cannot
// continue the number; nothing readable gives 0.0. At most 15 digits are
// given, so the digits are an exact integer and one division by an exact
// power of ten yields the correctly rounded value, as strtod would.
inline double readDecimal(const char* p, const char* end) {
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::uint64_t digits = 0;
  int fractionDigits = 0;
  for (; p < end && isDigit(*p); ++p) digits = digits * 10u + static_cast<unsigned>(*p - '0');
  if (p < end && *p == '.') {
    for (++p; p < end && isDigit(*p); ++p) {
      digits = digits * 10u + static_cast<unsigned>(*p - '0');
      ++fractionDigits;
    }
  }
  if (fractionDigits == 0) return static_cast<double>(digits);
  return static_cast<double>(digits) / kPowersOfTen[fractionDigits];
}

// How much of the `size` bytes at `text` a C string holds: the bytes before
// the first zero byte. Nothing after it is read.
inline std::size_t cStringLength(const char* text, std::size_t size) {
  const void* zero = std::memchr(text, '\0', size);
  return zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : size;
}

// Exactly ten characters; up to the first zero byte, digits and '-', with '-'
// at positions 4 and 7; the fields by the atoi rule (a zero byte ends a
// field). False on any fault; the values are then unset.
inline bool readDateText(const char* text, std::size_t size, int& year, int& month, int& day) {
  if (size != 10) return false;
  const std::size_t length = cStringLength(text, size);
  if (!allOfClass(text, length, kDateChar)) return false;
  if (length <= 7 || text[4] != '-' || text[7] != '-') return false;
  year = readInteger(text, text + 4);
  month = readInteger(text + 5, text + 7);
  day = readInteger(text + 8, text + 10);
  return true;
}

// 8 to 15 characters; up to the first zero byte, digits, ':' and '.', with
// ':' at positions 2 and 5; hour and minute by the atoi rule, the second by
// the strtod rule (a zero byte ends a field).
inline bool readTimeText(const char* text, std::size_t size, int& hour, int& minute,
                         double& second) {
  if (size < 8 || size > 15) return false;
  const std::size_t length = cStringLength(text, size);
  if (!allOfClass(text, length, kTimeChar)) return false;
  if (length <= 5 || text[2] != ':' || text[5] != ':') return false;
  hour = readInteger(text, text + 2);
  minute = readInteger(text + 3, text + 5);
  second = readDecimal(text + 6, text + length);
  return true;
}

}  // namespace detail
}  // namespace Brimsel

#endif  // BRIMSEL_CALENDAR_TEXT_H
