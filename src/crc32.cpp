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

// The register after `Words` big-endian words at `p`, the register folded
// into the first: each byte looks up the table of its distance from the end
// of the block.
template <std::size_t Words>
inline std::uint32_t sliceBlock(std::uint32_t crc, const unsigned char* p) {
  std::uint32_t next = 0;
  for (std::size_t i = 0; i < Words; ++i) {
    const std::uint32_t w = loadBigEndian(p + 4 * i) ^ (i == 0 ? crc : 0u);
    const std::size_t distance = 4 * (Words - 1 - i);
    next ^= kCrcTables[distance + 3][w >> 24] ^ kCrcTables[distance + 2][(w >> 16) & 0xFFu] ^
            kCrcTables[distance + 1][(w >> 8) & 0xFFu] ^ kCrcTables[distance][w & 0xFFu];
  }
  return next;
}

// Fewer than sixteen bytes: eight and four at a time, then single bytes.
std::uint32_t tailUpdate(std::uint32_t crc, const unsigned char* p, std::size_t len) {
  if (len >= 8) {
    crc = sliceBlock<2>(crc, p);
    p += 8;
    len -= 8;
  }
  if (len >= 4) {
    crc = sliceBlock<1>(crc, p);
    p += 4;
    len -= 4;
  }
  while (len-- > 0) crc = crcByte(crc, *p++);
  return crc;
}

// Kept local so that crc32 reaches it directly rather than through
// detail::crc32Slicing. Sixteen bytes per step.
std::uint32_t slicingUpdate(std::uint32_t crc, const unsigned char* p, std::size_t len) {
  for (; len >= 16; p += 16, len -= 16) crc = sliceBlock<4>(crc, p);
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
