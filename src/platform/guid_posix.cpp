// SPDX-License-Identifier: MIT
// Identifiers on Linux: random (version 4) identifiers from the kernel's
// random source, and the text form and order of the Windows functions.
#include "platform/guid.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

namespace Brimsel {
namespace platform {

namespace {

// Fills the buffer from the kernel, or returns the errno that stopped it.
int readRandom(unsigned char* pBuffer, std::size_t nSize) {
  std::size_t nDone = 0;
  while (nDone < nSize) {
    const ssize_t n = getrandom(pBuffer + nDone, nSize - nDone, 0);
    if (n > 0) {
      nDone += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == ENOSYS) {
      break;  // a kernel older than 3.17: read the device instead
    } else {
      return n < 0 ? errno : EIO;
    }
  }
  if (nDone == nSize) return 0;

  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  int nError = 0;
  while (nDone < nSize) {
    const ssize_t n = read(fd, pBuffer + nDone, nSize - nDone);
    if (n > 0) {
      nDone += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      nError = n < 0 ? errno : EIO;
      break;
    }
  }
  close(fd);
  return nError;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of `nDigits` hexadecimal digits at `p`, or -1 when one is not a
// digit. At most 8 digits, so the value fits.
long long readHex(const char* p, int nDigits) {
  long long n = 0;
  for (int i = 0; i < nDigits; ++i) {
    const int d = hexValue(p[i]);
    if (d < 0) return -1;
    n = n * 16 + d;
  }
  return n;
}

template <typename T>
int order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

bool createGuid(_GUID& guid, std::string& strWhy) {
  unsigned char abRandom[16];
  const int nError = readRandom(abRandom, sizeof(abRandom));
  if (nError != 0) {
    strWhy = std::string("the system's random source failed (") + std::strerror(nError) + ")";
    return false;
  }
  // Filled through the fields, not as raw bytes, so the numbers carry the
  // version and variant bits wherever the machine puts their bytes.
  guid.Data1 = static_cast<std::uint32_t>(abRandom[0]) << 24 |
               static_cast<std::uint32_t>(abRandom[1]) << 16 |
               static_cast<std::uint32_t>(abRandom[2]) << 8 | abRandom[3];
  guid.Data2 = static_cast<std::uint16_t>(abRandom[4] << 8 | abRandom[5]);
  // Version 4 (random) in the top four bits of Data3, and the variant of
  // RFC 4122 (binary 10) in the top two bits of the first byte of Data4.
  guid.Data3 = static_cast<std::uint16_t>(((abRandom[6] & 0x0F) | 0x40) << 8 | abRandom[7]);
  guid.Data4[0] = static_cast<unsigned char>((abRandom[8] & 0x3F) | 0x80);
  std::memcpy(guid.Data4 + 1, abRandom + 9, 7);
  return true;
}

bool parseGuid(const char* pszText, _GUID& guid) {
  static const _GUID guidZero = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
  guid = guidZero;
  if (std::strlen(pszText) != 36) return false;
  if (pszText[8] != '-' || pszText[13] != '-' || pszText[18] != '-' || pszText[23] != '-')
    return false;
  const long long nData1 = readHex(pszText, 8);
  const long long nData2 = readHex(pszText + 9, 4);
  const long long nData3 = readHex(pszText + 14, 4);
  if (nData1 < 0 || nData2 < 0 || nData3 < 0) return false;
  unsigned char abData4[8];
  static const int anOffsets[8] = {19, 21, 24, 26, 28, 30, 32, 34};
  for (int i = 0; i < 8; ++i) {
    const long long n = readHex(pszText + anOffsets[i], 2);
    if (n < 0) return false;
    abData4[i] = static_cast<unsigned char>(n);
  }
  guid.Data1 = static_cast<std::uint32_t>(nData1);
  guid.Data2 = static_cast<std::uint16_t>(nData2);
  guid.Data3 = static_cast<std::uint16_t>(nData3);
  std::memcpy(guid.Data4, abData4, sizeof(abData4));
  return true;
}

int compareGuids(const _GUID& a, const _GUID& b) {
  if (int r = order(a.Data1, b.Data1)) return r;
  if (int r = order(a.Data2, b.Data2)) return r;
  if (int r = order(a.Data3, b.Data3)) return r;
  for (int i = 0; i < 8; ++i)
    if (int r = order(a.Data4[i], b.Data4[i])) return r;
  return 0;
}

}  // namespace platform
}  // namespace Brimsel
