#include <brimsel/util.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "crc32_tables.h"
#include "platform/cpu.h"

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

Brimsel::CrcRegister crc(std::uint32_t r, const unsigned char* p, std::size_t n) {
  return Brimsel::crc32(r, p, static_cast<Brimsel::CrcRegister>(n));
}

// Carry-less product of two polynomials of up to 64 coefficients, as {high, low}.
void carrylessMultiply(std::uint64_t a, std::uint64_t b, std::uint64_t& high, std::uint64_t& low) {
  high = low = 0;
  for (int i = 0; i < 64; ++i) {
    if ((b >> i) & 1u) {
      low ^= a << i;
      if (i != 0) high ^= a >> (64 - i);
    }
  }
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

// The folding constants: x^(8k) mod P is the register 1 run over k zero
// bytes, and the Barrett quotient mu satisfies mu * P = x^64 + (degree < 32).
TEST(Crc32, FoldingConstantsMatchTheRegister) {
  const std::vector<unsigned char> zeros(200, 0);
  for (unsigned bytes : {0u, 1u, 4u, 8u, 12u, 16u, 24u, 128u, 136u}) {
    EXPECT_EQ(Brimsel::detail::xPowModP(8 * bytes), bitwise(1, zeros.data(), bytes)) << bytes;
  }
  const std::uint64_t mu = Brimsel::detail::barrettQuotient();
  EXPECT_EQ(mu >> 32, 1u);  // degree 32 exactly
  std::uint64_t high = 0, low = 0;
  carrylessMultiply(mu, (std::uint64_t(1) << 32) | 0x04C11DB7u, high, low);
  EXPECT_EQ(high, 1u);              // the x^64 term
  EXPECT_EQ(low >> 32, 0u);         // nothing else at or above x^32
}

using Brimsel::detail::CrcPath;

TEST(Crc32, PathFollowsTheProcessor) {
  const Brimsel::platform::CpuFeatures f = Brimsel::platform::cpuFeatures();
  const bool narrow = f.pclmul && f.ssse3 && f.sse41;
  const bool wide = narrow && f.avx2 && f.vpclmulqdq;
  const CrcPath expected = !narrow ? CrcPath::Slicing
                           : !wide ? CrcPath::Clmul
                                   : f.avx512bw ? CrcPath::WidestClmul : CrcPath::WideClmul;
  EXPECT_EQ(Brimsel::detail::crc32SupportedPath(), expected);
  EXPECT_EQ(Brimsel::detail::crc32ActivePath(), expected);
  // The switch lowers the path but never raises it above the processor's.
  Brimsel::detail::limitCrc32Path(CrcPath::Slicing);
  EXPECT_EQ(Brimsel::detail::crc32ActivePath(), CrcPath::Slicing);
  Brimsel::detail::limitCrc32Path(CrcPath::Clmul);
  EXPECT_EQ(Brimsel::detail::crc32ActivePath(), narrow ? CrcPath::Clmul : CrcPath::Slicing);
  Brimsel::detail::limitCrc32Path(CrcPath::WidestClmul);
  EXPECT_EQ(Brimsel::detail::crc32ActivePath(), expected);
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
                           switch (info.param) {
                             case CrcPath::Slicing: return std::string("Slicing");
                             case CrcPath::Clmul: return std::string("Clmul");
                             case CrcPath::WideClmul: return std::string("WideClmul");
                             default: return std::string("WidestClmul");
                           }
                         });

TEST_P(Crc32Paths, CheckValuesOverLongText) {
  unsigned char text[] = "123456789";
  EXPECT_EQ(Brimsel::crc32(0xFFFFFFFFu, text, 9), 0x0376E6E7u);
  // Long input whose last nine bytes are the check text, started from the
  // register that the prefix leaves: the bulk path must hand it on exactly.
  std::vector<unsigned char> data = randomBytes(5000, 7);
  std::copy(text, text + 9, data.end() - 9);
  const Brimsel::CrcRegister prefix = crc(0xFFFFFFFFu, data.data(), data.size() - 9);
  EXPECT_EQ(prefix, bitwise(0xFFFFFFFFu, data.data(), data.size() - 9));
  EXPECT_EQ(crc(prefix, data.data() + data.size() - 9, 9), bitwise(prefix, text, 9));
}

TEST_P(Crc32Paths, ZeroLengthReturnsTheRegister) {
  for (Brimsel::CrcRegister r : {0u, 1u, 0xFFFFFFFFu, 0x12345678u}) {
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
  // Every start within a cache line and a page boundary for lengths around
  // the bulk minimum and the 128-byte stride.
  for (std::size_t offset = 0; offset < 64; ++offset) {
    for (std::size_t len : {255u, 256u, 257u, 383u, 384u, 400u, 511u, 512u, 1000u, 4095u}) {
      ASSERT_EQ(crc(0xFFFFFFFFu, data.data() + offset, len), bitwise(0xFFFFFFFFu, data.data() + offset, len))
          << "offset " << offset << " length " << len;
    }
  }
}

// Registers with bits set anywhere must survive entry into the bulk path.
TEST_P(Crc32Paths, AnyStartingRegister) {
  const std::vector<unsigned char> data = randomBytes(1000, 3);
  for (std::uint32_t r : {0u, 1u, 0x80000000u, 0xFFFFFFFFu, 0xDEADBEEFu, 0x0000FFFFu}) {
    EXPECT_EQ(crc(r, data.data(), data.size()), bitwise(r, data.data(), data.size())) << r;
  }
  // Zero bytes keep a zero register at zero and only shift any other.
  const std::vector<unsigned char> zeros(4096, 0);
  EXPECT_EQ(crc(0, zeros.data(), zeros.size()), 0u);
  EXPECT_EQ(crc(1, zeros.data(), 1024), Brimsel::detail::xPowModP(8 * 1024));
}

TEST_P(Crc32Paths, LargeRandomBuffersAndChains) {
  std::mt19937 rng(5);
  for (int round = 0; round < 6; ++round) {
    const std::size_t n = 1 + rng() % (5u << 20);
    const std::vector<unsigned char> data = randomBytes(n, 100 + round);
    const std::uint32_t expected = bitwise(0xFFFFFFFFu, data.data(), n);
    ASSERT_EQ(crc(0xFFFFFFFFu, data.data(), n), expected) << "length " << n;
    // The same buffer in random pieces, each call starting from the last
    // result: pieces of every size, so calls switch between the paths.
    Brimsel::CrcRegister r = 0xFFFFFFFFu;
    std::size_t done = 0;
    while (done < n) {
      const std::size_t limit = (rng() % 2 != 0) ? 300u : 70000u;
      const std::size_t piece = std::min<std::size_t>(n - done, rng() % limit);
      r = crc(r, data.data() + done, piece);
      done += piece;
    }
    ASSERT_EQ(r, expected) << "chained, length " << n;
  }
}
