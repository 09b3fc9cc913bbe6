// Lookup tables of the CRC-32 register (polynomial 0x04C11DB7, MSB first),
// built at compile time. Table 0 is the classic byte table: entry i is the
// register after eight shift steps from i in the top byte. Table k holds the
// effect of a byte followed by k zero bytes, which lets the slicing loop
// handle sixteen bytes per step with one lookup each.
#ifndef BRIMSEL_SRC_CRC32_TABLES_H
#define BRIMSEL_SRC_CRC32_TABLES_H

#include <brimsel/export.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace Brimsel {
namespace detail {

constexpr std::uint32_t kCrcPolynomial = 0x04C11DB7u;

using CrcTables = std::array<std::array<std::uint32_t, 256>, 16>;

constexpr CrcTables makeCrcTables() {
  CrcTables t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t r = i << 24;
    for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ kCrcPolynomial : (r << 1);
    t[0][i] = r;
  }
  for (std::size_t k = 1; k < 16; ++k)
    for (std::size_t i = 0; i < 256; ++i)
      t[k][i] = t[0][t[k - 1][i] >> 24] ^ (t[k - 1][i] << 8);
  return t;
}

inline constexpr CrcTables kCrcTables = makeCrcTables();

static_assert(kCrcTables[0][1] == 0x04C11DB7u, "CRC table entry 1");
static_assert(kCrcTables[0][255] == 0xB1F740B4u, "CRC table entry 255");

// The portable path: sixteen bytes per step, then byte by byte. Exported for
// the tests, which compare every path against a bit-by-bit reference.
BRIMSEL_API std::uint32_t crc32Slicing(std::uint32_t crc, const unsigned char* p, std::size_t len);

}  // namespace detail
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_CRC32_TABLES_H
