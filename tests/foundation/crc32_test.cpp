// SPDX-License-Identifier: MIT
#include <brimsel/util.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "crc32_tables.h"
#include "platform/cpu.h"

using Brimsel::detail::CrcPath;

static_assert(sizeof(Brimsel::CrcRegister) == 4, "32-bit register on every platform");

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

const char* const kPathNames[] = {"Slicing", "Clmul", "WideClmul", "WidestClmul"};

Brimsel::CrcRegister crc(std::uint32_t r, const unsigned char* p, std::size_t n) {
  // The register only reads the buffer; its signature takes it non-const.
  return Brimsel::crc32(r, const_cast<unsigned char*>(p), static_cast<Brimsel::CrcRegister>(n));
}

}  // namespace

TEST(Crc32, PathFollowsTheProcessorAndTheSwitchOnlyLowersIt) {
  const Brimsel::platform::CpuFeatures f = Brimsel::platform::cpuFeatures();
  const bool narrow = f.pclmul && f.ssse3 && f.sse41;
  const bool wide = narrow && f.avx2 && f.vpclmulqdq;
  const CrcPath best = !narrow ? CrcPath::Slicing
                       : !wide ? CrcPath::Clmul
                               : f.avx512bw ? CrcPath::WidestClmul : CrcPath::WideClmul;
  EXPECT_EQ(Brimsel::detail::crc32SupportedPath(), best);
  EXPECT_EQ(Brimsel::detail::crc32ActivePath(), best);
  Brimsel::detail::limitCrc32Path(CrcPath::Slicing);
  EXPECT_EQ(Brimsel::detail::crc32ActivePath(), CrcPath::Slicing);
  Brimsel::detail::limitCrc32Path(CrcPath::Clmul);
  EXPECT_EQ(Brimsel::detail::crc32ActivePath(), narrow ? CrcPath::Clmul : CrcPath::Slicing);
  Brimsel::detail::limitCrc32Path(CrcPath::WidestClmul);
  EXPECT_EQ(Brimsel::detail::crc32ActivePath(), best);
}

// Every test below runs once on each path; a path this processor lacks is
// skipped rather than silently replaced by a slower one.
class Crc32Paths : public ::testing::TestWithParam<CrcPath> {
 protected:
  void SetUp() override {
    if (static_cast<int>(GetParam()) > static_cast<int>(Brimsel::detail::crc32SupportedPath()))
      GTEST_SKIP() << "this processor lacks the path";
    Brimsel::detail::limitCrc32Path(GetParam());
    ASSERT_EQ(Brimsel::detail::crc32ActivePath(), GetParam());
  }
  void TearDown() override { Brimsel::detail::limitCrc32Path(CrcPath::WidestClmul); }
};

INSTANTIATE_TEST_SUITE_P(EveryPath, Crc32Paths,
                         ::testing::Values(CrcPath::Slicing, CrcPath::Clmul, CrcPath::WideClmul,
                                           CrcPath::WidestClmul),
                         [](const ::testing::TestParamInfo<CrcPath>& info) {
                           return std::string(kPathNames[static_cast<int>(info.param)]);
                         });

TEST_P(Crc32Paths, CheckValuesAndAnyStartingRegister) {
  unsigned char text[] = "123456789";
  EXPECT_EQ(Brimsel::crc32(0xFFFFFFFFu, text, 9), 0x0376E6E7u);
  EXPECT_EQ(Brimsel::crc32(0xFFFFFFFFu, text, 9) ^ 0xFFFFFFFFu, 0xFC891918u);
  // The check text behind a long prefix: the bulk path must hand its register on exactly.
  std::vector<unsigned char> data = randomBytes(5000, 7);
  std::copy(text, text + 9, data.end() - 9);
  const Brimsel::CrcRegister prefix = crc(0xFFFFFFFFu, data.data(), data.size() - 9);
  EXPECT_EQ(prefix, bitwise(0xFFFFFFFFu, data.data(), data.size() - 9));
  EXPECT_EQ(crc(prefix, data.data() + data.size() - 9, 9), bitwise(prefix, text, 9));
  // Registers with bits set anywhere must survive entry into the bulk path,
  // over random and zero bytes alike; no bytes leave any register as it is.
  const std::vector<unsigned char> zeros(4096, 0);
  for (std::uint32_t r : {0u, 1u, 0x80000000u, 0xFFFFFFFFu, 0xDEADBEEFu, 0x0000FFFFu}) {
    EXPECT_EQ(crc(r, data.data(), 1000), bitwise(r, data.data(), 1000)) << r;
    EXPECT_EQ(crc(r, zeros.data(), zeros.size()), bitwise(r, zeros.data(), zeros.size())) << r;
    EXPECT_EQ(Brimsel::crc32(r, static_cast<unsigned char*>(nullptr), 0), r);
  }
}

// Every length 0..4096 from each of sixteen start offsets, the reference
// carried along byte by byte so each length costs one call.
TEST_P(Crc32Paths, EveryLengthAndAlignmentMatchesTheBitwiseRegister) {
  const std::vector<unsigned char> data = randomBytes(4096 + 64, 1);
  for (std::size_t offset = 0; offset < 16; ++offset) {
    const unsigned char* p = data.data() + offset;
    const std::uint32_t start = static_cast<std::uint32_t>(0x9E3779B9u * (offset + 1));
    std::uint32_t expected = start;
    for (std::size_t len = 0; len <= 4096; ++len) {
      ASSERT_EQ(crc(start, p, len), expected) << "offset " << offset << " length " << len;
      expected = bitwise(expected, p + len, 1);
    }
  }
  // Every start within a cache line for lengths around the bulk minimum and the 128-byte stride.
  for (std::size_t offset = 0; offset < 64; ++offset) {
    for (std::size_t len : {255u, 256u, 257u, 383u, 384u, 400u, 511u, 512u, 1000u, 4095u}) {
      const unsigned char* p = data.data() + offset;
      ASSERT_EQ(crc(0xFFFFFFFFu, p, len), bitwise(0xFFFFFFFFu, p, len))
          << "offset " << offset << " length " << len;
    }
  }
}

TEST_P(Crc32Paths, LargeRandomBuffersAndChains) {
  std::mt19937 rng(5);
  for (int round = 0; round < 6; ++round) {
    const std::size_t n = 1 + rng() % (5u << 20);
    const std::vector<unsigned char> data = randomBytes(n, 100 + round);
    const std::uint32_t expected = bitwise(0xFFFFFFFFu, data.data(), n);
    ASSERT_EQ(crc(0xFFFFFFFFu, data.data(), n), expected) << "length " << n;
    // The same buffer in random pieces of every size, each call starting from
    // the last result, so calls switch between the paths.
    Brimsel::CrcRegister r = 0xFFFFFFFFu;
    for (std::size_t done = 0, piece = 0; done < n; done += piece) {
      piece = std::min<std::size_t>(n - done, rng() % ((rng() % 2 != 0) ? 300u : 70000u));
      r = crc(r, data.data() + done, piece);
    }
    ASSERT_EQ(r, expected) << "chained, length " << n;
  }
}
