// SPDX-License-Identifier: MIT
// crc32 side by side with its peers: Boost's crc_optimal for the same
// register, ISA-L's crc32_ieee (same polynomial, register inverted on the way
// in and out), the library's own slicing path, and a plain 64-bit summing
// read of the same memory as the ceiling set by memory bandwidth.
#include <benchmark/benchmark.h>
#include <brimsel/util.h>
#include <isa-l/crc.h>

#include <boost/crc.hpp>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "crc32_tables.h"

namespace {

constexpr std::size_t kOneMiB = std::size_t(1) << 20;
constexpr std::size_t kLarge = std::size_t(128) << 20;

const std::vector<unsigned char>& data(std::size_t n) {
  static std::vector<unsigned char> small = [] {
    std::vector<unsigned char> v(kOneMiB + 64);
    std::mt19937_64 rng(42);
    for (auto& b : v) b = static_cast<unsigned char>(rng());
    return v;
  }();
  if (n <= small.size()) return small;
  static std::vector<unsigned char> large = [] {
    std::vector<unsigned char> v(kLarge);
    std::mt19937_64 rng(43);
    for (std::size_t i = 0; i < v.size(); i += 8) {
      const std::uint64_t w = rng();
      std::memcpy(v.data() + i, &w, 8);
    }
    return v;
  }();
  return large;
}

using BoostCrc = boost::crc_optimal<32, 0x04C11DB7, 0xFFFFFFFF, 0, false, false>;

std::uint32_t isalRegister(std::uint32_t r, const unsigned char* p, std::size_t n) {
  return ~crc32_ieee(~r, p, n);
}

// Every peer must produce our register on the measured input, or the run is void.
bool agree(const unsigned char* p, std::size_t n) {
  const std::uint32_t ours = Brimsel::crc32(0xFFFFFFFFu, const_cast<unsigned char*>(p),
                                            static_cast<Brimsel::CrcRegister>(n));
  BoostCrc boost;
  boost.process_bytes(p, n);
  return ours == boost.checksum() && ours == isalRegister(0xFFFFFFFFu, p, n) &&
         ours == Brimsel::detail::crc32Slicing(0xFFFFFFFFu, p, n);
}

void setBytes(benchmark::State& state, std::size_t n) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(n));
}

void BM_Crc32_Brimsel(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const unsigned char* p = data(n).data();
  if (!agree(p, n)) state.SkipWithError("results differ");
  for (auto _ : state) {
    benchmark::DoNotOptimize(Brimsel::crc32(0xFFFFFFFFu, const_cast<unsigned char*>(p),
                                            static_cast<Brimsel::CrcRegister>(n)));
  }
  setBytes(state, n);
}

void BM_Crc32_Slicing(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const unsigned char* p = data(n).data();
  for (auto _ : state) benchmark::DoNotOptimize(Brimsel::detail::crc32Slicing(0xFFFFFFFFu, p, n));
  setBytes(state, n);
}

void BM_Crc32_Boost(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const unsigned char* p = data(n).data();
  for (auto _ : state) {
    BoostCrc crc;
    crc.process_bytes(p, n);
    benchmark::DoNotOptimize(crc.checksum());
  }
  setBytes(state, n);
}

void BM_Crc32_Isal(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const unsigned char* p = data(n).data();
  for (auto _ : state) benchmark::DoNotOptimize(isalRegister(0xFFFFFFFFu, p, n));
  setBytes(state, n);
}

void BM_PlainRead(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const unsigned char* p = data(n).data();
  for (auto _ : state) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, p + i, 8);
      sum += w;
    }
    benchmark::DoNotOptimize(sum);
  }
  setBytes(state, n);
}

// Short inputs: each call runs from a different start so that the loop is not
// one repeated address, and the register feeds the next call: crc32 against
// the slicing function called directly.
enum class ShortCallee { Crc32, Slicing };

void shortInputs(benchmark::State& state, ShortCallee callee) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const unsigned char* p = data(kOneMiB).data();
  std::uint32_t r = 0xFFFFFFFFu;
  std::size_t at = 0;
  for (auto _ : state) {
    switch (callee) {
      case ShortCallee::Crc32:
        r = static_cast<std::uint32_t>(Brimsel::crc32(r, const_cast<unsigned char*>(p) + at,
                                                      static_cast<Brimsel::CrcRegister>(n)));
        break;
      case ShortCallee::Slicing:
        r = Brimsel::detail::crc32Slicing(r, p + at, n);
        break;
    }
    at = (at + 64) & (kOneMiB - 1);
  }
  benchmark::DoNotOptimize(r);
  setBytes(state, n);
}

void BM_Crc32Short_Brimsel(benchmark::State& state) { shortInputs(state, ShortCallee::Crc32); }
void BM_Crc32Short_Slicing(benchmark::State& state) { shortInputs(state, ShortCallee::Slicing); }

// The lengths around each step of the short path: bytes, words and 16-byte blocks.
void shortLengths(benchmark::internal::Benchmark* b) {
  for (int n : {1, 3, 4, 7, 8, 15, 16, 17, 31, 32, 63, 64}) b->Arg(n);
}

}  // namespace

BENCHMARK(BM_Crc32_Brimsel)->Arg(kOneMiB)->Arg(kLarge);
BENCHMARK(BM_Crc32_Isal)->Arg(kOneMiB);
BENCHMARK(BM_Crc32_Slicing)->Arg(kOneMiB);
BENCHMARK(BM_Crc32_Boost)->Arg(kOneMiB);
BENCHMARK(BM_PlainRead)->Arg(kLarge);
BENCHMARK(BM_Crc32Short_Brimsel)->Apply(shortLengths);
BENCHMARK(BM_Crc32Short_Slicing)->Apply(shortLengths);
