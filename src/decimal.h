// SPDX-License-Identifier: MIT
// Decimal text, read and written by hand: the library's number texts are
// fixed forms, and the C library's functions would make them depend on the
// locale (and atoi's overflow is undefined).
#ifndef BRIMSEL_SRC_DECIMAL_H
#define BRIMSEL_SRC_DECIMAL_H

#include <climits>

namespace Brimsel {
namespace detail {

inline bool isDigit(char c) { return static_cast<unsigned char>(c - '0') < 10u; }

// White space as isspace() has it in the "C" locale.
inline bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// An optional sign, then decimal digits up to the first other byte of
// [p, end); no digits read as 0. A number beyond int gives the nearest limit
// (its remaining digits are still read). `p` is left behind what was read.
inline int readSigned(const char*& p, const char* end) {
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long value = 0;
  for (; p != end && isDigit(*p); ++p) {
    value = value * 10 + (*p - '0');
    if (value > limit) value = limit;
  }
  return static_cast<int>(negative ? -value : value);
}

// readSigned() for a field of at most nine bytes, which no value overflows:
// an optional '-', then digits up to the first other byte of [p, end). The
// calendar's fixed-width fields are read by it, without paying for the sign
// '+' and the saturation on every digit.
inline int readShortSigned(const char* p, const char* end) {
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  int value = 0;
  for (; p != end && isDigit(*p); ++p) value = value * 10 + (*p - '0');
  return negative ? -value : value;
}

// The atoi rule over [p, end): leading white space, then readSigned().
inline int readAtoi(const char* p, const char* end) {
  while (p != end && isSpace(*p)) ++p;
  return readSigned(p, end);
}

// Writes `value` in decimal, at least `width` characters wide, filled on the
// left with `fill`; returns the end. Writes at most 20 characters beyond the
// fill.
inline char* writeDecimal(char* out, unsigned long long value, int width = 1, char fill = '0') {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10u);
    value /= 10u;
  } while (value != 0u);
  for (int pad = width - count; pad > 0; --pad) *out++ = fill;
  while (count > 0) *out++ = digits[--count];
  return out;
}

// printf's "%0<width>i" of any int: at least `width` characters, zeros after
// the sign, the sign counting as one of them.
inline char* writePadded(char* out, int value, int width) {
  if (value >= 0) return writeDecimal(out, static_cast<unsigned>(value), width);
  *out++ = '-';
  // Unsigned negation is defined for INT_MIN too.
  return writeDecimal(out, 0u - static_cast<unsigned>(value), width - 1);
}

}  // namespace detail
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_DECIMAL_H
