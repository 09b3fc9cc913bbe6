// Run-time detection of the processor features that the library's faster
// code paths rely on. The query depends on the compiler (CPUID comes through
// <cpuid.h> with GCC and clang, through <intrin.h> with MSVC), not on the
// operating system, so it lives here in one header for both builds. On
// processors other than x86-64 every feature reads as absent and callers keep
// their portable paths.
#ifndef BRIMSEL_SRC_PLATFORM_CPU_H
#define BRIMSEL_SRC_PLATFORM_CPU_H

#if defined(_MSC_VER) && defined(_M_X64)
#include <intrin.h>
#define BRIMSEL_CPU_X86_64 1
#elif (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <cpuid.h>
#define BRIMSEL_CPU_X86_64 1
#endif

namespace Brimsel {
namespace platform {

struct CpuFeatures {
  bool ssse3 = false;
  bool sse41 = false;
  bool pclmul = false;  // carry-less multiplication of 64-bit halves (PCLMULQDQ)
};

// Reads the features once per call; callers keep the result.
inline CpuFeatures cpuFeatures() {
  CpuFeatures f;
#if defined(BRIMSEL_CPU_X86_64)
  unsigned int ecx = 0;
#if defined(_MSC_VER)
  int regs[4] = {0, 0, 0, 0};
  __cpuid(regs, 0);
  if (regs[0] < 1) return f;
  __cpuid(regs, 1);
  ecx = static_cast<unsigned int>(regs[2]);
#else
  unsigned int eax = 0, ebx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return f;
#endif
  // Leaf 1, ECX: bit 1 PCLMULQDQ, bit 9 SSSE3, bit 19 SSE4.1. These work on
  // the XMM registers, whose state every x86-64 operating system saves.
  f.pclmul = (ecx & (1u << 1)) != 0;
  f.ssse3 = (ecx & (1u << 9)) != 0;
  f.sse41 = (ecx & (1u << 19)) != 0;
#endif
  return f;
}

}  // namespace platform
}  // namespace Brimsel

#endif  // BRIMSEL_SRC_PLATFORM_CPU_H
