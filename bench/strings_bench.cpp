// SPDX-License-Identifier: MIT
// The text helpers side by side with Abseil on 1 MiB inputs: replace against
// absl::StrReplaceAll (few and many occurrences), tokenize by a set against
// absl::StrSplit(ByAnyChar, SkipEmpty), tokenize by one character against
// absl::StrSplit(ByChar). The peers treat some edges differently (the empty
// string, for one), so every input here is one on which the results agree,
// and each benchmark checks that before it measures.
#include <absl/strings/str_replace.h>
#include <absl/strings/str_split.h>
#include <benchmark/benchmark.h>
#include <brimsel/util.h>

#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kSize = std::size_t(1) << 20;

// 1 MiB of lower-case filler from 'd' to 'z' with `count` copies of "abc"
// spread evenly through it.
std::string textWithOccurrences(std::size_t count) {
  std::mt19937 rng(static_cast<unsigned>(count));
  std::string s(kSize, ' ');
  for (auto& c : s) c = static_cast<char>('d' + rng() % 23);
  const std::size_t step = kSize / count;
  for (std::size_t i = 0; i < count; ++i) s.replace(i * step, 3, "abc");
  return s;
}

// 1 MiB of CSV-like text: lines of 4 to 12 fields of 1 to 12 characters,
// separated by ',' and ended by '\n'. With `emptyFields`, one field in ten is
// empty (the by-character split keeps those).
std::string csvText(bool emptyFields) {
  std::mt19937 rng(7);
  std::string s;
  s.reserve(kSize + 64);
  while (s.size() < kSize) {
    const unsigned fields = 4 + rng() % 9;
    for (unsigned f = 0; f < fields; ++f) {
      if (f != 0) s += ',';
      if (emptyFields && rng() % 10 == 0) continue;
      const unsigned len = 1 + rng() % 12;
      for (unsigned i = 0; i < len; ++i) s += static_cast<char>('a' + rng() % 26);
    }
    s += '\n';
  }
  return s;
}

template <class List>
bool sameTokens(const List& a, const std::vector<std::string>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

void replaceBrimsel(benchmark::State& state) {
  const std::string input = textWithOccurrences(static_cast<std::size_t>(state.range(0)));
  std::string check = input;
  Brimsel::replace(check, "abc", "WXYZ");
  if (check != absl::StrReplaceAll(input, {{"abc", "WXYZ"}})) state.SkipWithError("results differ");
  for (auto _ : state) {
    std::string s = input;
    Brimsel::replace(s, "abc", "WXYZ");
    benchmark::DoNotOptimize(s.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(kSize));
}

void replaceAbseil(benchmark::State& state) {
  const std::string input = textWithOccurrences(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::string s = input;
    absl::StrReplaceAll({{"abc", "WXYZ"}}, &s);
    benchmark::DoNotOptimize(s.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(kSize));
}

void BM_Replace_Brimsel(benchmark::State& state) { replaceBrimsel(state); }
void BM_Replace_Abseil(benchmark::State& state) { replaceAbseil(state); }

void BM_TokenizeSet_Brimsel(benchmark::State& state) {
  const std::string input = csvText(false);
  const std::vector<std::string> peer =
      absl::StrSplit(input, absl::ByAnyChar(",\n"), absl::SkipEmpty());
  if (!sameTokens(Brimsel::tokenize(input, std::string(",\n")), peer))
    state.SkipWithError("results differ");
  for (auto _ : state) {
    Brimsel::StringList tokens = Brimsel::tokenize(input, std::string(",\n"));
    benchmark::DoNotOptimize(tokens.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(input.size()));
}

void BM_TokenizeSet_Abseil(benchmark::State& state) {
  const std::string input = csvText(false);
  for (auto _ : state) {
    std::vector<std::string> tokens =
        absl::StrSplit(input, absl::ByAnyChar(",\n"), absl::SkipEmpty());
    benchmark::DoNotOptimize(tokens.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(input.size()));
}

void BM_TokenizeChar_Brimsel(benchmark::State& state) {
  const std::string input = csvText(true);
  const std::vector<std::string> peer = absl::StrSplit(input, absl::ByChar(','));
  if (!sameTokens(Brimsel::tokenize(input, ','), peer)) state.SkipWithError("results differ");
  for (auto _ : state) {
    Brimsel::StringList tokens = Brimsel::tokenize(input, ',');
    benchmark::DoNotOptimize(tokens.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(input.size()));
}

void BM_TokenizeChar_Abseil(benchmark::State& state) {
  const std::string input = csvText(true);
  for (auto _ : state) {
    std::vector<std::string> tokens = absl::StrSplit(input, absl::ByChar(','));
    benchmark::DoNotOptimize(tokens.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(input.size()));
}

}  // namespace

BENCHMARK(BM_Replace_Brimsel)->Arg(10)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Replace_Abseil)->Arg(10)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TokenizeSet_Brimsel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TokenizeSet_Abseil)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TokenizeChar_Brimsel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TokenizeChar_Abseil)->Unit(benchmark::kMicrosecond);
