// The bulk path of the CRC-32 register by carry-less multiplication
// (PCLMULQDQ), chosen at run time on x86-64 processors that have it.
//
// The message is read as one long polynomial, first bit highest. Sixteen
// bytes, byte-swapped so that the first byte is the most significant, form a
// 128-bit polynomial; multiplying a 128-bit partial result by x^D modulo P
// ("folding" it D bits further down the message) takes two carry-less
// products of its 64-bit halves with the constants x^(D+64) mod P and
// x^D mod P. Eight such lanes run side by side over 128-byte strides to hide
// the latency of the multiplier, are folded into one, and the final 128 bits
// are reduced to the 32-bit register, the last step by Barrett reduction.
// The register's own value enters as the top 32 bits of the first block,
// which is exactly what the byte-at-a-time update does with it.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "crc32_tables.h"
#include "platform/cpu.h"

#if defined(BRIMSEL_CPU_X86_64)
#include <immintrin.h>
#if defined(__GNUC__) || defined(__clang__)
// Only these functions use the instructions; the rest of the library keeps
// the baseline instruction set, and the dispatch below checks the processor.
#define BRIMSEL_CLMUL_TARGET __attribute__((target("pclmul,sse4.1,ssse3")))
#else
#define BRIMSEL_CLMUL_TARGET
#endif
#endif

namespace Brimsel {
namespace detail {

namespace {

#if defined(BRIMSEL_CPU_X86_64)

constexpr long long k(unsigned n) { return static_cast<long long>(xPowModP(n)); }

BRIMSEL_CLMUL_TARGET inline __m128i loadSwapped(const unsigned char* p, __m128i swap) {
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), swap);
}

// x * x^D mod P (up to 96 bits) for the constants {x^(D+64) mod P, x^D mod P}, plus `next`.
BRIMSEL_CLMUL_TARGET inline __m128i fold(__m128i x, __m128i constants, __m128i next) {
  const __m128i high = _mm_clmulepi64_si128(x, constants, 0x11);
  const __m128i low = _mm_clmulepi64_si128(x, constants, 0x00);
  return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

BRIMSEL_CLMUL_TARGET std::uint32_t clmulUpdate(std::uint32_t crc, const unsigned char* p,
                                              std::size_t len) {
  const __m128i swap = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m128i by1024 = _mm_set_epi64x(k(1024 + 64), k(1024));
  const __m128i by128 = _mm_set_epi64x(k(128 + 64), k(128));

  __m128i x0 = _mm_xor_si128(loadSwapped(p, swap), _mm_set_epi32(static_cast<int>(crc), 0, 0, 0));
  __m128i x1 = loadSwapped(p + 16, swap);
  __m128i x2 = loadSwapped(p + 32, swap);
  __m128i x3 = loadSwapped(p + 48, swap);
  __m128i x4 = loadSwapped(p + 64, swap);
  __m128i x5 = loadSwapped(p + 80, swap);
  __m128i x6 = loadSwapped(p + 96, swap);
  __m128i x7 = loadSwapped(p + 112, swap);
  p += 128;
  len -= 128;
  while (len >= 128) {
    x0 = fold(x0, by1024, loadSwapped(p, swap));
    x1 = fold(x1, by1024, loadSwapped(p + 16, swap));
    x2 = fold(x2, by1024, loadSwapped(p + 32, swap));
    x3 = fold(x3, by1024, loadSwapped(p + 48, swap));
    x4 = fold(x4, by1024, loadSwapped(p + 64, swap));
    x5 = fold(x5, by1024, loadSwapped(p + 80, swap));
    x6 = fold(x6, by1024, loadSwapped(p + 96, swap));
    x7 = fold(x7, by1024, loadSwapped(p + 112, swap));
    p += 128;
    len -= 128;
  }

  // Lane i sits 128 * (7 - i) bits before the end of the stride.
  __m128i x = fold(x0, by128, x1);
  x = fold(x, by128, x2);
  x = fold(x, by128, x3);
  x = fold(x, by128, x4);
  x = fold(x, by128, x5);
  x = fold(x, by128, x6);
  x = fold(x, by128, x7);
  while (len >= 16) {
    x = fold(x, by128, loadSwapped(p, swap));
    p += 16;
    len -= 16;
  }

  // The register is x * x^32 mod P. With x = H x^64 + L: H x^96 + L x^32 is
  // congruent to H (x^96 mod P) + L x^32, 96 bits; its top 32 bits times
  // (x^64 mod P) bring it to 64 bits.
  const __m128i reduce = _mm_set_epi64x(k(64), k(96));
  __m128i t = _mm_xor_si128(_mm_clmulepi64_si128(x, reduce, 0x01), _mm_slli_si128(_mm_move_epi64(x), 4));
  t = _mm_xor_si128(_mm_clmulepi64_si128(t, reduce, 0x11), _mm_move_epi64(t));

  // Barrett: for R = A x^32 + B, R mod P = B + low32((floor(A * mu / x^32)) * P).
  const __m128i barrett = _mm_set_epi64x(static_cast<long long>(kCrcPolynomial),
                                         static_cast<long long>(barrettQuotient()));
  const __m128i a = _mm_srli_epi64(t, 32);
  const __m128i q = _mm_srli_epi64(_mm_clmulepi64_si128(a, barrett, 0x00), 32);
  const __m128i qp = _mm_clmulepi64_si128(q, barrett, 0x10);
  crc = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_xor_si128(t, qp)));

  return len != 0 ? crc32Slicing(crc, p, len) : crc;
}

bool processorHasBulkPath() {
  const platform::CpuFeatures f = platform::cpuFeatures();
  return f.pclmul && f.ssse3 && f.sse41;
}

#else

bool processorHasBulkPath() { return false; }

#endif

// Read at load time. A crc32 call from another library's static constructor
// that runs earlier sees false and takes the slicing path, which is correct.
const bool kBulkSupported = processorHasBulkPath();
std::atomic<bool> forcedFallback{false};

}  // namespace

bool crc32BulkSupported() { return kBulkSupported; }

bool crc32BulkActive() {
  return kBulkSupported && !forcedFallback.load(std::memory_order_relaxed);
}

void forceCrc32Fallback(bool force) { forcedFallback.store(force, std::memory_order_relaxed); }

std::uint32_t crc32Bulk(std::uint32_t crc, const unsigned char* p, std::size_t len) {
#if defined(BRIMSEL_CPU_X86_64)
  return clmulUpdate(crc, p, len);
#else
  return crc32Slicing(crc, p, len);
#endif
}

}  // namespace detail
}  // namespace Brimsel
