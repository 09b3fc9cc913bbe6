#include <brimsel/util.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "crc32_tables.h"

namespace {

// The register shifted bit by bit, the definition every path must agree with.
std::uint32_t bitwise(std::uint32_t crc, const unsigned char* p, std::size_t len) {
  for (std::size_t i = 0; i < len; ++i) {
    crc ^= std::uint32_t(p[i]) << 24;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

std::vector<unsigned char> randomBytes(std::size_t n, unsigned salt) {
  std::mt19937 rng(salt);
  std::vector<unsigned char> v(n);
  for (auto& b : v) b = static_cast<unsigned char>(rng());
  return v;
}

}  // namespace

TEST(Crc32, RegisterIsThirtyTwoBits) {
  static_assert(sizeof(Brimsel::CrcRegister) == 4, "32-bit register on every platform");
  static_assert(std::is_unsigned<Brimsel::CrcRegister>::value, "unsigned");
}

TEST(Crc32, CheckValuesAndTable) {
  unsigned char text[] = "123456789";
  EXPECT_EQ(Brimsel::crc32(0xFFFFFFFFu, text, 9), 0x0376E6E7u);
  EXPECT_EQ(Brimsel::crc32(0xFFFFFFFFu, text, 9) ^ 0xFFFFFFFFu, 0xFC891918u);
  EXPECT_EQ(Brimsel::detail::kCrcTables[0][1], 0x04C11DB7u);
  EXPECT_EQ(Brimsel::detail::kCrcTables[0][255], 0xB1F740B4u);
  for (unsigned i = 0; i < 256; ++i) {
    const unsigned char b = static_cast<unsigned char>(i);
    ASSERT_EQ(Brimsel::detail::kCrcTables[0][i], bitwise(0, &b, 1)) << i;
  }
}

TEST(Crc32, ZeroLengthReturnsTheRegister) {
  for (Brimsel::CrcRegister r : {0u, 1u, 0xFFFFFFFFu, 0x12345678u}) {
    EXPECT_EQ(Brimsel::crc32(r, static_cast<unsigned char*>(nullptr), 0), r);
  }
}

TEST(Crc32, EveryLengthAndAlignmentMatchesTheBitwiseRegister) {
  const std::vector<unsigned char> data = randomBytes(600, 1);
  for (std::size_t offset = 0; offset < 16; ++offset) {
    for (std::size_t len = 0; len + offset <= 300; ++len) {
      const std::uint32_t start = static_cast<std::uint32_t>(len * 2654435761u);
      ASSERT_EQ(Brimsel::crc32(start, data.data() + offset, static_cast<Brimsel::CrcRegister>(len)),
                bitwise(start, data.data() + offset, len))
          << "offset " << offset << " length " << len;
    }
  }
}

TEST(Crc32, LargeRandomBuffersAndChains) {
  std::mt19937 rng(5);
  for (int round = 0; round < 6; ++round) {
    const std::size_t n = 1 + rng() % (3u << 20);
    const std::vector<unsigned char> data = randomBytes(n, 100 + round);
    const std::uint32_t expected = bitwise(0xFFFFFFFFu, data.data(), n);
    ASSERT_EQ(Brimsel::crc32(0xFFFFFFFFu, data.data(), static_cast<Brimsel::CrcRegister>(n)), expected);
    // The same buffer in random pieces, each call starting from the last result.
    Brimsel::CrcRegister r = 0xFFFFFFFFu;
    std::size_t done = 0;
    while (done < n) {
      const std::size_t piece = std::min<std::size_t>(n - done, rng() % 70000);
      r = Brimsel::crc32(r, data.data() + done, static_cast<Brimsel::CrcRegister>(piece));
      done += piece;
    }
    ASSERT_EQ(r, expected) << "chained, length " << n;
  }
}
