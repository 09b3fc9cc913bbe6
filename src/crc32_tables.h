// SPDX-License-Identifier: MIT
// Lookup tables of the CRC-32 register (polynomial 0x04C11DB7, MSB first),
// built at compile time. Table 0 is the classic byte table: entry i is the
// register after eight shift steps from i in the top byte. Table k holds the
// effect of a byte followed by k zero bytes, which lets the slicing loop
// handle sixteen bytes per step with one lookup each.
#ifndef BRIMSEL_SRC_CRC32_TABLES_H
#define BRIMSEL_SRC_CRC32_TABLES_H

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
    for (std::size_t i = 0; i < 256; ++i) t[k][i] = t[0][t[k - 1][i] >> 24] ^ (t[k - 1][i] << 8);
  return t;
}

inline constexpr CrcTables kCrcTables = makeCrcTables();

static_assert(kCrcTables[0][1] == 0x04C11DB7u, "CRC table entry 1");
static_assert(kCrcTables[0][255] == 0xB1F740B4u, "CRC table entry 255");

// The portable path: sixteen bytes per step, then eight, four and single bytes. Exported for
// the tests, which compare every path against a bit-by-bit reference.
std::uint32_t crc32Slicing(std::uint32_t crc, const unsigned char* p, std::size_t len);

// Polynomial arithmetic behind the carry-less multiplication path. A 32-bit
// value stands for a polynomial over GF(2) whose coefficient of x^i is bit i;
// P is x^32 + kCrcPolynomial.
//
// x^n mod P. Running the register over one byte multiplies it by x^8 modulo
// P, so these are the factors that move a partial result across n bits of
// message in one multiplication.
constexpr std::uint32_t xPowModP(unsigned n) {
  std::uint32_t r = 1;
  for (unsigned i = 0; i < n; ++i) r = (r & 0x80000000u) ? (r << 1) ^ kCrcPolynomial : (r << 1);
  return r;
}

// floor(x^64 / P), 33 bits: the quotient estimate of the Barrett reduction
// that turns a 64-bit product into the 32-bit register without a division.
constexpr std::uint64_t barrettQuotient() {
  // The top step of the long division is taken by hand: it cancels x^64
  // (which does not fit in 64 bits) and leaves kCrcPolynomial * x^32.
  const std::uint64_t fullPolynomial = (std::uint64_t(1) << 32) | kCrcPolynomial;
  std::uint64_t quotient = std::uint64_t(1) << 32;
  std::uint64_t rest = std::uint64_t(kCrcPolynomial) << 32;
  for (int d = 63; d >= 32; --d) {
    if ((rest >> d) & 1u) {
      quotient |= std::uint64_t(1) << (d - 32);
      rest ^= fullPolynomial << (d - 32);
    }
  }
  return quotient;
}

static_assert(xPowModP(31) == 0x80000000u && xPowModP(32) == kCrcPolynomial, "x^n mod P");
static_assert(barrettQuotient() == 0x104D101DFull, "Barrett quotient of P");

// Inputs shorter than this always take the slicing path: below it the setup
// of the folding loop costs more than it saves.
constexpr std::size_t kCrcBulkMinimum = 256;

// The ways crc32 can run, slowest first: slicing tables; carry-less
// multiplication on 128-bit registers (PCLMULQDQ); the same on 256-bit
// registers (VPCLMULQDQ with AVX2), two blocks per instruction; and on
// 512-bit registers (VPCLMULQDQ with AVX-512 BW), four blocks per instruction.
enum class CrcPath { Slicing = 0, Clmul = 1, WideClmul = 2, WidestClmul = 3 };

// The fastest path this processor and build offer.
CrcPath crc32SupportedPath();
// The path crc32 takes for inputs of at least kCrcBulkMinimum bytes.
CrcPath crc32ActivePath();
// Test switch: crc32 uses at most `path` (and never more than the processor
// offers), so every path is covered on any machine; CrcPath::WidestClmul
// restores the choice by processor.
void limitCrc32Path(CrcPath path);
// The register over `len` >= kCrcBulkMinimum bytes by the active path.
std::uint32_t crc32Bulk(std::uint32_t crc, const unsigned char* p, std::size_t len);

}  // namespace detail
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_CRC32_TABLES_H
