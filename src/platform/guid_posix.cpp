// SPDX-License-Identifier: MIT
// Identifiers on Linux: random (version 4) identifiers from the kernel's
// random source; the text form and the order as Windows has them.
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <system_error>

#include "guid_text.h"
#include "platform/guid.h"

namespace Brimsel {
namespace platform {

namespace {

// Fills the buffer from the kernel, or returns the errno that stopped it.
int readRandom(unsigned char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = getrandom(buffer + done, size - done, 0);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == ENOSYS) {
      break;  // a kernel older than 3.17: read the device instead
    } else {
      return n < 0 ? errno : EIO;
    }
  }
  if (done == size) return 0;

  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  int error = 0;
  while (done < size) {
    const ssize_t n = read(fd, buffer + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      error = n < 0 ? errno : EIO;
      break;
    }
  }
  close(fd);
  return error;
}

}  // namespace

bool createGuid(_GUID& guid, std::string& why) {
  unsigned char bytes[16];
  const int error = readRandom(bytes, sizeof(bytes));
  if (error != 0) {
    why = "the system's random source failed (" + std::system_category().message(error) + ")";
    return false;
  }
  // Filled through the fields, not as raw bytes, so the numbers carry the
  // version and variant bits wherever the machine puts their bytes.
  guid.Data1 = static_cast<std::uint32_t>(bytes[0]) << 24 |
               static_cast<std::uint32_t>(bytes[1]) << 16 |
               static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
  guid.Data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
  // Version 4 (random) in the top four bits of Data3, and the variant of
  // RFC 4122 (binary 10) in the top two bits of the first byte of Data4.
  guid.Data3 = static_cast<std::uint16_t>(((bytes[6] & 0x0F) | 0x40) << 8 | bytes[7]);
  guid.Data4[0] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  std::memcpy(guid.Data4 + 1, bytes + 9, 7);
  return true;
}

bool parseGuid(const char* text, _GUID& guid) {
  if (detail::parseGuidText(text, guid)) return true;
  guid = _GUID();
  return false;
}

int compareGuids(const _GUID& a, const _GUID& b) { return detail::compareGuidFields(a, b); }

}  // namespace platform
}  // namespace Brimsel
