// SPDX-License-Identifier: MIT
// The bulk paths of the CRC-32 register by carry-less multiplication, chosen
// at run time on x86-64 processors that have it.
//
// The message is read as one long polynomial, first bit highest. Sixteen
// bytes, byte-swapped so that the first byte is the most significant, form a
// 128-bit polynomial; multiplying a 128-bit partial result by x^D modulo P
// ("folding" it D bits further down the message) takes two carry-less
// products of its 64-bit halves with the constants x^(D+64) mod P and
// x^D mod P. Several lanes run side by side to hide the latency of the
// multiplier, are folded into one, and the final 128 bits are reduced to the
// 32-bit register, the last step by Barrett reduction. The register's own
// value enters as the top 32 bits of the first block, which is exactly what
// the byte-at-a-time update does with it.
//
// Two widths: PCLMULQDQ on 128-bit registers, and VPCLMULQDQ with AVX2 on
// 256-bit registers, which folds two blocks per instruction. Each is compiled
// for its own instruction set only (the rest of the library keeps the
// baseline) and runs only after the processor has been asked.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "crc32_tables.h"
#include "platform/cpu.h"

#if defined(BRIMSEL_CPU_X86_64)
#if defined(__GNUC__) || defined(__clang__)
#define BRIMSEL_CLMUL_TARGET __attribute__((target("pclmul,sse4.1,ssse3")))
#define BRIMSEL_WIDE_CLMUL_TARGET __attribute__((target("vpclmulqdq,avx2,pclmul,sse4.1,ssse3")))
#define BRIMSEL_WIDEST_CLMUL_TARGET \
  __attribute__((target("vpclmulqdq,avx512f,avx512bw,avx2,pclmul,sse4.1,ssse3")))
#else
#define BRIMSEL_CLMUL_TARGET
#define BRIMSEL_WIDE_CLMUL_TARGET
#define BRIMSEL_WIDEST_CLMUL_TARGET
#endif
#endif

namespace Brimsel {
namespace detail {

namespace {

#if defined(BRIMSEL_CPU_X86_64)

// x^N mod P as an intrinsic's 64-bit operand, fixed at compile time.
template <unsigned N>
constexpr long long k = static_cast<long long>(xPowModP(N));
constexpr long long kBarrettQuotient = static_cast<long long>(barrettQuotient());

// Shuffle control that reverses the byte order within each 16-byte lane, so
// that the first byte becomes the most significant: as two 64-bit halves,
// byte i of the result takes byte 15 - i.
constexpr long long kSwapHigh = 0x0001020304050607LL;
constexpr long long kSwapLow = 0x08090A0B0C0D0E0FLL;

BRIMSEL_CLMUL_TARGET inline __m128i loadSwapped(const unsigned char* p, __m128i swap) {
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), swap);
}

// x * x^D mod P (up to 96 bits) for constants {x^(D+64) mod P, x^D mod P}, plus `next`.
BRIMSEL_CLMUL_TARGET inline __m128i fold(__m128i x, __m128i constants, __m128i next) {
  const __m128i high = _mm_clmulepi64_si128(x, constants, 0x11);
  const __m128i low = _mm_clmulepi64_si128(x, constants, 0x00);
  return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

// Eight consecutive 16-byte partial results x[0..7] (x[7] last), then `len`
// more bytes at `p`: folds the lanes into one, takes whole blocks, reduces
// to the register and leaves the last few bytes to the slicing path.
BRIMSEL_CLMUL_TARGET inline std::uint32_t finish(const __m128i x[8], const unsigned char* p,
                                                 std::size_t len) {
  const __m128i swap = _mm_set_epi64x(kSwapHigh, kSwapLow);
  const __m128i by128 = _mm_set_epi64x(k<128 + 64>, k<128>);
  __m128i r = x[0];
  for (int i = 1; i < 8; ++i) r = fold(r, by128, x[i]);
  while (len >= 16) {
    r = fold(r, by128, loadSwapped(p, swap));
    p += 16;
    len -= 16;
  }

  // The register is r * x^32 mod P. With r = H x^64 + L: H x^96 + L x^32 is
  // congruent to H (x^96 mod P) + L x^32, 96 bits; its top 32 bits times
  // (x^64 mod P) bring it to 64 bits.
  const __m128i reduce = _mm_set_epi64x(k<64>, k<96>);
  __m128i t =
      _mm_xor_si128(_mm_clmulepi64_si128(r, reduce, 0x01), _mm_slli_si128(_mm_move_epi64(r), 4));
  t = _mm_xor_si128(_mm_clmulepi64_si128(t, reduce, 0x11), _mm_move_epi64(t));

  // Barrett: for R = A x^32 + B, R mod P = B + low32(floor(A * mu / x^32) * P).
  const __m128i barrett = _mm_set_epi64x(static_cast<long long>(kCrcPolynomial), kBarrettQuotient);
  const __m128i a = _mm_srli_epi64(t, 32);
  const __m128i q = _mm_srli_epi64(_mm_clmulepi64_si128(a, barrett, 0x00), 32);
  const __m128i qp = _mm_clmulepi64_si128(q, barrett, 0x10);
  const std::uint32_t crc = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_xor_si128(t, qp)));

  return len != 0 ? crc32Slicing(crc, p, len) : crc;
}

// Eight 128-bit lanes over 128-byte strides. Needs len >= 128.
BRIMSEL_CLMUL_TARGET std::uint32_t clmulUpdate(std::uint32_t crc, const unsigned char* p,
                                               std::size_t len) {
  const __m128i swap = _mm_set_epi64x(kSwapHigh, kSwapLow);
  const __m128i by1024 = _mm_set_epi64x(k<1024 + 64>, k<1024>);

  __m128i x[8];
  for (std::size_t i = 0; i < 8; ++i) x[i] = loadSwapped(p + 16 * i, swap);
  x[0] = _mm_xor_si128(x[0], _mm_set_epi32(static_cast<int>(crc), 0, 0, 0));
  for (p += 128, len -= 128; len >= 128; p += 128, len -= 128) {
    for (std::size_t i = 0; i < 8; ++i) x[i] = fold(x[i], by1024, loadSwapped(p + 16 * i, swap));
  }
  return finish(x, p, len);
}

BRIMSEL_WIDE_CLMUL_TARGET inline __m256i loadSwapped(const unsigned char* p, __m256i swap) {
  return _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), swap);
}

BRIMSEL_WIDE_CLMUL_TARGET inline __m256i fold(__m256i x, __m256i constants, __m256i next) {
  const __m256i high = _mm256_clmulepi64_epi128(x, constants, 0x11);
  const __m256i low = _mm256_clmulepi64_epi128(x, constants, 0x00);
  return _mm256_xor_si256(_mm256_xor_si256(high, low), next);
}

// Eight 256-bit lanes (sixteen blocks) over 256-byte strides, then four over
// 128-byte strides. Lane i holds blocks 2i (low half) and 2i+1 (high half)
// of its stride. Needs len >= 256. The lanes are written out one by one: as
// an array in loops (like the other paths) GCC keeps them on the stack
// around the main loop.
BRIMSEL_WIDE_CLMUL_TARGET std::uint32_t wideClmulUpdate(std::uint32_t crc, const unsigned char* p,
                                                        std::size_t len) {
  const __m256i swap = _mm256_set_epi64x(kSwapHigh, kSwapLow, kSwapHigh, kSwapLow);
  const __m256i by2048 = _mm256_set_epi64x(k<2048 + 64>, k<2048>, k<2048 + 64>, k<2048>);
  const __m256i by1024 = _mm256_set_epi64x(k<1024 + 64>, k<1024>, k<1024 + 64>, k<1024>);

  __m256i y0 = _mm256_xor_si256(loadSwapped(p, swap),
                                _mm256_set_epi32(0, 0, 0, 0, static_cast<int>(crc), 0, 0, 0));
  __m256i y1 = loadSwapped(p + 32, swap);
  __m256i y2 = loadSwapped(p + 64, swap);
  __m256i y3 = loadSwapped(p + 96, swap);
  __m256i y4 = loadSwapped(p + 128, swap);
  __m256i y5 = loadSwapped(p + 160, swap);
  __m256i y6 = loadSwapped(p + 192, swap);
  __m256i y7 = loadSwapped(p + 224, swap);
  p += 256;
  len -= 256;
  while (len >= 256) {
    y0 = fold(y0, by2048, loadSwapped(p, swap));
    y1 = fold(y1, by2048, loadSwapped(p + 32, swap));
    y2 = fold(y2, by2048, loadSwapped(p + 64, swap));
    y3 = fold(y3, by2048, loadSwapped(p + 96, swap));
    y4 = fold(y4, by2048, loadSwapped(p + 128, swap));
    y5 = fold(y5, by2048, loadSwapped(p + 160, swap));
    y6 = fold(y6, by2048, loadSwapped(p + 192, swap));
    y7 = fold(y7, by2048, loadSwapped(p + 224, swap));
    p += 256;
    len -= 256;
  }
  // The first half of the stride lies 1024 bits before the second.
  y0 = fold(y0, by1024, y4);
  y1 = fold(y1, by1024, y5);
  y2 = fold(y2, by1024, y6);
  y3 = fold(y3, by1024, y7);
  if (len >= 128) {
    y0 = fold(y0, by1024, loadSwapped(p, swap));
    y1 = fold(y1, by1024, loadSwapped(p + 32, swap));
    y2 = fold(y2, by1024, loadSwapped(p + 64, swap));
    y3 = fold(y3, by1024, loadSwapped(p + 96, swap));
    p += 128;
    len -= 128;
  }
  const __m128i x[8] = {_mm256_castsi256_si128(y0), _mm256_extracti128_si256(y0, 1),
                        _mm256_castsi256_si128(y1), _mm256_extracti128_si256(y1, 1),
                        _mm256_castsi256_si128(y2), _mm256_extracti128_si256(y2, 1),
                        _mm256_castsi256_si128(y3), _mm256_extracti128_si256(y3, 1)};
  return finish(x, p, len);
}

BRIMSEL_WIDEST_CLMUL_TARGET inline __m512i loadSwapped(const unsigned char* p, __m512i swap) {
  return _mm512_shuffle_epi8(_mm512_loadu_si512(p), swap);
}

// The three-way XOR is one instruction here (ternary logic, truth table 0x96).
BRIMSEL_WIDEST_CLMUL_TARGET inline __m512i fold(__m512i x, __m512i constants, __m512i next) {
  return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, constants, 0x11),
                                   _mm512_clmulepi64_epi128(x, constants, 0x00), next, 0x96);
}

// Four 512-bit lanes (sixteen blocks) over 256-byte strides; lane i holds
// blocks 4i to 4i+3 of its stride. Then two lanes over 128-byte strides.
// Needs len >= 256.
BRIMSEL_WIDEST_CLMUL_TARGET std::uint32_t widestClmulUpdate(std::uint32_t crc,
                                                            const unsigned char* p,
                                                            std::size_t len) {
  const __m512i swap = _mm512_set_epi64(kSwapHigh, kSwapLow, kSwapHigh, kSwapLow, kSwapHigh,
                                        kSwapLow, kSwapHigh, kSwapLow);
  const __m512i by2048 = _mm512_set_epi64(k<2048 + 64>, k<2048>, k<2048 + 64>, k<2048>,
                                          k<2048 + 64>, k<2048>, k<2048 + 64>, k<2048>);
  const __m512i by1024 = _mm512_set_epi64(k<1024 + 64>, k<1024>, k<1024 + 64>, k<1024>,
                                          k<1024 + 64>, k<1024>, k<1024 + 64>, k<1024>);

  __m512i z[4];
  for (std::size_t i = 0; i < 4; ++i) z[i] = loadSwapped(p + 64 * i, swap);
  z[0] = _mm512_xor_si512(
      z[0], _mm512_set_epi32(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<int>(crc), 0, 0, 0));
  for (p += 256, len -= 256; len >= 256; p += 256, len -= 256) {
    for (std::size_t i = 0; i < 4; ++i) z[i] = fold(z[i], by2048, loadSwapped(p + 64 * i, swap));
  }
  for (int i = 0; i < 2; ++i) z[i] = fold(z[i], by1024, z[i + 2]);
  if (len >= 128) {
    for (std::size_t i = 0; i < 2; ++i) z[i] = fold(z[i], by1024, loadSwapped(p + 64 * i, swap));
    p += 128;
    len -= 128;
  }
  __m128i x[8];
  _mm512_storeu_si512(x, z[0]);
  _mm512_storeu_si512(x + 4, z[1]);
  return finish(x, p, len);
}

CrcPath processorPath() noexcept {
  const platform::CpuFeatures f = platform::cpuFeatures();
  if (!(f.pclmul && f.ssse3 && f.sse41)) return CrcPath::Slicing;
  if (!(f.avx2 && f.vpclmulqdq)) return CrcPath::Clmul;
  return f.avx512bw ? CrcPath::WidestClmul : CrcPath::WideClmul;
}

#else

CrcPath processorPath() noexcept { return CrcPath::Slicing; }

#endif

// Both read at load time. A crc32 call from another library's static
// constructor that runs earlier sees zero, the slicing path, which is correct.
const CrcPath kSupportedPath = processorPath();
std::atomic<int> activePath{static_cast<int>(kSupportedPath)};

}  // namespace

CrcPath crc32SupportedPath() { return kSupportedPath; }

CrcPath crc32ActivePath() {
  return static_cast<CrcPath>(activePath.load(std::memory_order_relaxed));
}

void limitCrc32Path(CrcPath path) {
  const int limit = static_cast<int>(path);
  const int supported = static_cast<int>(kSupportedPath);
  activePath.store(limit < supported ? limit : supported, std::memory_order_relaxed);
}

std::uint32_t crc32Bulk(std::uint32_t crc, const unsigned char* p, std::size_t len) {
  switch (crc32ActivePath()) {
#if defined(BRIMSEL_CPU_X86_64)
    case CrcPath::WidestClmul:
      return widestClmulUpdate(crc, p, len);
    case CrcPath::WideClmul:
      return wideClmulUpdate(crc, p, len);
    case CrcPath::Clmul:
      return clmulUpdate(crc, p, len);
#endif
    default:
      return crc32Slicing(crc, p, len);
  }
}

}  // namespace detail
}  // namespace Brimsel
