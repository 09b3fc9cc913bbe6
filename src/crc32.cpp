// SPDX-License-Identifier: MIT
// CRC-32 register update, polynomial 0x04C11DB7, most significant bit first:
// the portable slicing path, and the choice between it and the carry-less
// multiplication paths (crc32_clmul.cpp).
#include <brimsel/util.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "crc32_tables.h"

namespace Brimsel {

namespace {

using detail::kCrcTables;

inline std::uint32_t crcByte(std::uint32_t crc, unsigned char b) {
  return kCrcTables[0][((crc >> 24) ^ b) & 0xFFu] ^ (crc << 8);
}

inline std::uint32_t loadBigEndian(const unsigned char* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         std::uint32_t(p[3]);
}

// Fewer than sixteen bytes: eight and four at a time, then single bytes.
std::uint32_t tailUpdate(std::uint32_t crc, const unsigned char* p, std::size_t len) {
  if (len >= 8) {
    const std::uint32_t a = crc ^ loadBigEndian(p);
    const std::uint32_t b = loadBigEndian(p + 4);
    crc = kCrcTables[7][a >> 24] ^ kCrcTables[6][(a >> 16) & 0xFFu] ^
          kCrcTables[5][(a >> 8) & 0xFFu] ^ kCrcTables[4][a & 0xFFu] ^
          kCrcTables[3][b >> 24] ^ kCrcTables[2][(b >> 16) & 0xFFu] ^
          kCrcTables[1][(b >> 8) & 0xFFu] ^ kCrcTables[0][b & 0xFFu];
    p += 8;
    len -= 8;
  }
  if (len >= 4) {
    const std::uint32_t a = crc ^ loadBigEndian(p);
    crc = kCrcTables[3][a >> 24] ^ kCrcTables[2][(a >> 16) & 0xFFu] ^
          kCrcTables[1][(a >> 8) & 0xFFu] ^ kCrcTables[0][a & 0xFFu];
    p += 4;
    len -= 4;
  }
  while (len-- > 0) crc = crcByte(crc, *p++);
  return crc;
}

// Kept local so that crc32 reaches it directly rather than through the
// exported (and so interposable) detail::crc32Slicing.
std::uint32_t slicingUpdate(std::uint32_t crc, const unsigned char* p, std::size_t len) {
  // Sixteen bytes per step: the register is folded into the first four and
  // each byte looks up the table of its distance from the end of the block.
  while (len >= 16) {
    const std::uint32_t a = crc ^ loadBigEndian(p);
    const std::uint32_t b = loadBigEndian(p + 4);
    const std::uint32_t c = loadBigEndian(p + 8);
    const std::uint32_t d = loadBigEndian(p + 12);
    crc = kCrcTables[15][a >> 24] ^ kCrcTables[14][(a >> 16) & 0xFFu] ^
          kCrcTables[13][(a >> 8) & 0xFFu] ^ kCrcTables[12][a & 0xFFu] ^
          kCrcTables[11][b >> 24] ^ kCrcTables[10][(b >> 16) & 0xFFu] ^
          kCrcTables[9][(b >> 8) & 0xFFu] ^ kCrcTables[8][b & 0xFFu] ^
          kCrcTables[7][c >> 24] ^ kCrcTables[6][(c >> 16) & 0xFFu] ^
          kCrcTables[5][(c >> 8) & 0xFFu] ^ kCrcTables[4][c & 0xFFu] ^
          kCrcTables[3][d >> 24] ^ kCrcTables[2][(d >> 16) & 0xFFu] ^
          kCrcTables[1][(d >> 8) & 0xFFu] ^ kCrcTables[0][d & 0xFFu];
    p += 16;
    len -= 16;
  }
  return tailUpdate(crc, p, len);
}

}  // namespace

namespace detail {

std::uint32_t crc32Slicing(std::uint32_t crc, const unsigned char* p, std::size_t len) {
  return slicingUpdate(crc, p, len);
}

}  // namespace detail

CrcRegister crc32(CrcRegister crc, unsigned char* buf, CrcRegister len) {
  const std::uint32_t r = static_cast<std::uint32_t>(crc);
  const std::size_t n = static_cast<std::size_t>(len);
  // Short inputs stay on the slicing path, which has no setup to pay for;
  // the shortest go straight to its last steps.
  if (n < 16) return static_cast<CrcRegister>(tailUpdate(r, buf, n));
  if (n >= detail::kCrcBulkMinimum) return static_cast<CrcRegister>(detail::crc32Bulk(r, buf, n));
  return static_cast<CrcRegister>(slicingUpdate(r, buf, n));
}

}  // namespace Brimsel
