// SPDX-License-Identifier: MIT
#include "platform/guid.h"

#include <brimsel/exception.h>
#include <brimsel/guid.h>

#include <cstdio>
#include <cstring>

#include "errors.h"

namespace Brimsel {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of `digits` hexadecimal digits at `p`, or -1 when one is not a
// digit. At most 8 digits, so the value fits.
long long readHex(const char* p, int digits) {
  long long n = 0;
  for (int i = 0; i < digits; ++i) {
    const int d = hexValue(p[i]);
    if (d < 0) return -1;
    n = n * 16 + d;
  }
  return n;
}

// Reads the 36-character text form, either case, from the C string `text`.
// False for any other text.
bool parse(const char* text, _GUID& guid) {
  if (std::strlen(text) != 36) return false;
  if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') return false;
  const long long data1 = readHex(text, 8);
  const long long data2 = readHex(text + 9, 4);
  const long long data3 = readHex(text + 14, 4);
  if (data1 < 0 || data2 < 0 || data3 < 0) return false;
  static const int kByteOffsets[8] = {19, 21, 24, 26, 28, 30, 32, 34};
  for (int i = 0; i < 8; ++i) {
    const long long n = readHex(text + kByteOffsets[i], 2);
    if (n < 0) return false;
    guid.Data4[i] = static_cast<unsigned char>(n);
  }
  guid.Data1 = static_cast<std::uint32_t>(data1);
  guid.Data2 = static_cast<std::uint16_t>(data2);
  guid.Data3 = static_cast<std::uint16_t>(data3);
  return true;
}

template <typename T>
int order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// -1, 0 or +1 as `a` orders before, equal to or after `b`, as Windows'
// UuidCompare orders them: Data1, Data2 and Data3 as unsigned numbers, then
// the bytes of Data4 in order.
int compare(const _GUID& a, const _GUID& b) {
  if (int r = order(a.Data1, b.Data1)) return r;
  if (int r = order(a.Data2, b.Data2)) return r;
  if (int r = order(a.Data3, b.Data3)) return r;
  for (int i = 0; i < 8; ++i) {
    if (int r = order(a.Data4[i], b.Data4[i])) return r;
  }
  return 0;
}

}  // namespace

// Built by the constexpr default constructor: constant-initialised, so it is
// valid before any start-up code of the library or of its callers runs.
const Guid Guid::null;  // NOLINT(cert-err58-cpp): constant-initialised

Guid::Guid(const _GUID& guid) : _guid(guid) {}

Guid::Guid(const Guid& other) : _guid(other._guid) {}

const Guid& Guid::operator=(const Guid& other) {
  if (this != &other) _guid = other._guid;
  return *this;
}

Guid::~Guid() = default;

bool Guid::operator==(const Guid& other) const {
  return std::memcmp(&_guid, &other._guid, sizeof(_guid)) == 0;
}

bool Guid::operator!=(const Guid& other) const { return !(*this == other); }

bool Guid::operator<(const Guid& other) const { return compare(_guid, other._guid) == -1; }

bool Guid::operator>(const Guid& other) const { return compare(_guid, other._guid) == 1; }

std::string Guid::asString() const {
  char text[40];
  std::snprintf(text, sizeof(text), "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned long>(_guid.Data1), static_cast<unsigned>(_guid.Data2),
                static_cast<unsigned>(_guid.Data3), static_cast<unsigned>(_guid.Data4[0]),
                static_cast<unsigned>(_guid.Data4[1]), static_cast<unsigned>(_guid.Data4[2]),
                static_cast<unsigned>(_guid.Data4[3]), static_cast<unsigned>(_guid.Data4[4]),
                static_cast<unsigned>(_guid.Data4[5]), static_cast<unsigned>(_guid.Data4[6]),
                static_cast<unsigned>(_guid.Data4[7]));
  return text;
}

Guid Guid::create() {
  _GUID guid = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
  std::string why;
  // An identifier made without randomness could collide with anyone else's;
  // the caller hears of it instead of receiving one.
  if (!platform::createGuid(guid, why)) {
    throw Exception(BRIMSEL_HERE, detail::kSeeLegend, false,
                    "Failed to create a unique identifier: " + why);
  }
  return Guid(guid);
}

Guid Guid::fromString(const std::string& text) {
  _GUID guid = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
  if (!parse(text.c_str(), guid)) return null;
  return Guid(guid);
}

}  // namespace Brimsel
