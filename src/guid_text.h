// SPDX-License-Identifier: MIT
// The identifier's text form and order as the RPC runtime of Windows has
// them (UuidFromStringA, UuidCompare), written out for the systems that have
// no such runtime. Pure logic: the tests hold Windows against it.
#ifndef BRIMSEL_SRC_GUID_TEXT_H
#define BRIMSEL_SRC_GUID_TEXT_H

#include <brimsel/guid.h>

#include <cstring>

namespace Brimsel {
namespace detail {

inline int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of `digits` hexadecimal digits at `p`, or -1 when one is not a
// digit. At most 8 digits, so the value fits.
inline long long readHex(const char* p, int digits) {
  long long n = 0;
  for (int i = 0; i < digits; ++i) {
    const int d = hexValue(p[i]);
    if (d < 0) return -1;
    n = n * 16 + d;
  }
  return n;
}

// Reads the 36-character text form, either case, from the C string `text`.
// False for any other text, with `guid` left as it was.
inline bool parseGuidText(const char* text, _GUID& guid) {
  if (std::strlen(text) != 36) return false;
  if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') return false;
  const long long data1 = readHex(text, 8);
  const long long data2 = readHex(text + 9, 4);
  const long long data3 = readHex(text + 14, 4);
  if (data1 < 0 || data2 < 0 || data3 < 0) return false;
  static const int kByteOffsets[8] = {19, 21, 24, 26, 28, 30, 32, 34};
  unsigned char data4[8];
  for (int i = 0; i < 8; ++i) {
    const long long n = readHex(text + kByteOffsets[i], 2);
    if (n < 0) return false;
    data4[i] = static_cast<unsigned char>(n);
  }
  guid.Data1 = static_cast<std::uint32_t>(data1);
  guid.Data2 = static_cast<std::uint16_t>(data2);
  guid.Data3 = static_cast<std::uint16_t>(data3);
  std::memcpy(guid.Data4, data4, sizeof data4);
  return true;
}

template <typename T>
int order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// -1, 0 or +1 as `a` orders before, equal to or after `b`: Data1, Data2 and
// Data3 as unsigned numbers, then the bytes of Data4 in order.
inline int compareGuidFields(const _GUID& a, const _GUID& b) {
  if (int r = order(a.Data1, b.Data1)) return r;
  if (int r = order(a.Data2, b.Data2)) return r;
  if (int r = order(a.Data3, b.Data3)) return r;
  for (int i = 0; i < 8; ++i) {
    if (int r = order(a.Data4[i], b.Data4[i])) return r;
  }
  return 0;
}

}  // namespace detail
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_GUID_TEXT_H
