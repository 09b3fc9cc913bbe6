// SPDX-License-Identifier: MIT
#include <brimsel/config.h>
#include <brimsel/version.h>

#include <cstddef>

#include "decimal.h"

#if !defined(BRIMSEL_VERSION_MAJOR) || !defined(BRIMSEL_VERSION_MINOR) || \
    !defined(BRIMSEL_VERSION_PATCH) || !defined(BRIMSEL_VERSION_TWEAK)
#error "The build passes the project version as BRIMSEL_VERSION_MAJOR/MINOR/PATCH/TWEAK"
#endif

namespace Brimsel {

namespace {

// -1, 0 or +1: how `other` stands to `mine`.
int sign(int mine, int other) {
  if (other > mine) return 1;
  if (other < mine) return -1;
  return 0;
}

}  // namespace

Version::Version(int nMajor, int nMinor, int nRelease, int nBuild)
    : _nMajor(nMajor), _nMinor(nMinor), _nRelease(nRelease), _nBuild(nBuild) {}

Version::Version(const Version& other)
    : _nMajor(other._nMajor),
      _nMinor(other._nMinor),
      _nRelease(other._nRelease),
      _nBuild(other._nBuild) {}

const Version& Version::operator=(const Version& other) {
  if (this != &other) {
    _nMajor = other._nMajor;
    _nMinor = other._nMinor;
    _nRelease = other._nRelease;
    _nBuild = other._nBuild;
  }
  return *this;
}

Version::~Version() = default;

bool Version::operator==(const Version& other) const {
  return _nMajor == other._nMajor && _nMinor == other._nMinor && _nRelease == other._nRelease &&
         _nBuild == other._nBuild;
}

bool Version::operator!=(const Version& other) const { return !(*this == other); }

bool Version::operator<(const Version& other) const {
  if (_nMajor != other._nMajor) return _nMajor < other._nMajor;
  if (_nMinor != other._nMinor) return _nMinor < other._nMinor;
  if (_nRelease != other._nRelease) return _nRelease < other._nRelease;
  return _nBuild < other._nBuild;
}

bool Version::operator>(const Version& other) const { return other < *this; }

bool Version::operator<=(const Version& other) const { return *this == other || *this < other; }

bool Version::operator>=(const Version& other) const { return *this == other || *this > other; }

int Version::compare(const Version& other, int depth) const {
  int r = sign(_nMajor, other._nMajor);
  if (depth == 0 || r != 0) return r;
  r = sign(_nMinor, other._nMinor);
  if (depth == 1 || r != 0) return r;
  r = sign(_nRelease, other._nRelease);
  if (depth == 2 || r != 0) return r;
  return sign(_nBuild, other._nBuild);
}

std::string Version::text() const {
  return std::to_string(_nMajor) + '.' + std::to_string(_nMinor) + '.' + std::to_string(_nRelease) +
         '.' + std::to_string(_nBuild);
}

std::string Version::textLS() const {
  std::string s =
      std::to_string(_nMajor) + '.' + std::to_string(_nMinor) + '-' + std::to_string(_nRelease);
  if (_nBuild != 0) s += '.' + std::to_string(_nBuild);
  return s;
}

Version Version::fromText(const std::string& text) {
  // Only the first 128 characters count, and a zero byte ends the text early,
  // as it would for the C string this form often comes from.
  const std::size_t kLimit = 128;
  std::size_t length = text.find('\0');
  if (length == std::string::npos || length > kLimit)
    length = text.size() < kLimit ? text.size() : kLimit;

  int parts[4] = {-1, -1, -1, -1};
  const char* p = text.data();
  const char* const end = p + length;
  for (int& part : parts) {
    while (p != end && !detail::isDigit(*p)) ++p;
    if (p == end) break;
    // A run of digits, never signed (the sign before it was skipped);
    // saturated at the largest int, the rest of the run still consumed.
    part = detail::readSigned(p, end);
  }
  return Version(parts[0], parts[1], parts[2], parts[3]);
}

// Function-local statics: built once on first use, thread-safely (the
// language guarantees it), and destroyed when the library is unloaded.
const std::string& product() {
  static const std::string name("Brimsel Foundation Class Library");
  return name;
}

const std::string& copyright() {
  // The same wording as the LegalCopyright of the Windows version resource.
  static const std::string notice(
      "Copyright (c) 2026 the Brimsel Foundation Class Library developers");
  return notice;
}

const Version& version() {
  static const Version v(BRIMSEL_VERSION_MAJOR, BRIMSEL_VERSION_MINOR, BRIMSEL_VERSION_PATCH,
                         BRIMSEL_VERSION_TWEAK);
  return v;
}

}  // namespace Brimsel
