// SPDX-License-Identifier: MIT
// Run-time detection of the processor features that the library's faster
// code paths rely on. The query depends on the compiler (CPUID comes through
// <cpuid.h> with GCC and clang, through <intrin.h> with MSVC), not on the
// operating system, so it lives here in one header for both builds. On
// processors other than x86-64 every feature reads as absent and callers keep
// their portable paths.
#ifndef BRIMSEL_SRC_PLATFORM_CPU_H
#define BRIMSEL_SRC_PLATFORM_CPU_H

#if defined(_MSC_VER) && defined(_M_X64)
#include <immintrin.h>
#include <intrin.h>
#define BRIMSEL_CPU_X86_64 1
#elif (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define BRIMSEL_CPU_X86_64 1
#endif

namespace Brimsel {
namespace platform {

struct CpuFeatures {
  bool ssse3 = false;
  bool sse41 = false;
  bool pclmul = false;      // carry-less multiplication of 64-bit halves (PCLMULQDQ)
  bool avx2 = false;        // 256-bit integer operations, with the OS saving YMM state
  bool vpclmulqdq = false;  // carry-less multiplication on 256-bit registers
  bool avx512bw = false;    // 512-bit registers with byte operations, with the OS saving them
};

#if defined(BRIMSEL_CPU_X86_64)
// CPUID leaf `leaf`, sub-leaf `sub`: {EAX, EBX, ECX, EDX}, all zero when the
// processor does not have the leaf.
inline void cpuid(unsigned int leaf, unsigned int sub, unsigned int out[4]) {
  out[0] = out[1] = out[2] = out[3] = 0;
#if defined(_MSC_VER)
  int regs[4] = {0, 0, 0, 0};
  __cpuid(regs, 0);
  if (static_cast<unsigned int>(regs[0]) < leaf) return;
  __cpuidex(regs, static_cast<int>(leaf), static_cast<int>(sub));
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned int>(regs[i]);
#else
  if (static_cast<unsigned int>(__get_cpuid_max(0, nullptr)) < leaf) return;
  __cpuid_count(leaf, sub, out[0], out[1], out[2], out[3]);
#endif
}

// The register state the operating system saves on a thread switch (XCR0).
#if defined(__GNUC__) || defined(__clang__)
__attribute__((target("xsave")))
#endif
inline unsigned long long
osSavedState() noexcept {
  return static_cast<unsigned long long>(_xgetbv(0));
}
#endif

// Reads the features once per call; callers keep the result.
inline CpuFeatures cpuFeatures() noexcept {
  CpuFeatures f;
#if defined(BRIMSEL_CPU_X86_64)
  unsigned int leaf1[4], leaf7[4];
  cpuid(1, 0, leaf1);
  cpuid(7, 0, leaf7);
  const unsigned int ecx = leaf1[2];
  // Leaf 1, ECX: bit 1 PCLMULQDQ, bit 9 SSSE3, bit 19 SSE4.1. These work on
  // the XMM registers, whose state every x86-64 operating system saves.
  f.pclmul = (ecx & (1u << 1)) != 0;
  f.ssse3 = (ecx & (1u << 9)) != 0;
  f.sse41 = (ecx & (1u << 19)) != 0;
  // YMM registers need AVX (bit 28) and an OS that saves them: OSXSAVE
  // (bit 27) and XCR0 bits 1 (XMM) and 2 (YMM).
  const bool osYmm =
      (ecx & (1u << 27)) != 0 && (ecx & (1u << 28)) != 0 && (osSavedState() & 0x6u) == 0x6u;
  // Leaf 7: EBX bit 5 AVX2, ECX bit 10 VPCLMULQDQ.
  f.avx2 = osYmm && (leaf7[1] & (1u << 5)) != 0;
  f.vpclmulqdq = osYmm && (leaf7[2] & (1u << 10)) != 0;
  // ZMM registers need XCR0 bits 5 to 7 (mask and upper register state);
  // leaf 7 EBX bit 16 AVX-512 F, bit 30 AVX-512 BW.
  const bool osZmm = osYmm && (osSavedState() & 0xE0u) == 0xE0u;
  f.avx512bw = osZmm && (leaf7[1] & (1u << 16)) != 0 && (leaf7[1] & (1u << 30)) != 0;
#endif
  return f;
}

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_PLATFORM_CPU_H
