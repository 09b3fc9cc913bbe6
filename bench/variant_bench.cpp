// SPDX-License-Identifier: MIT
// Typed values side by side with their peers, in one run:
//  - copying a Variant holding an int and a 64-byte string, against a
//    Poco::Dynamic::Var and an out-of-line copy of a
//    std::variant<int, double, std::string> holding the same;
//  - expand over a 1 MiB template with 50,000 references, against the obvious
//    loop that replaces the leftmost reference and searches again from the
//    front; and the same template doubled, to see that the time only doubles.
#include <Poco/Dynamic/Var.h>
#include <benchmark/benchmark.h>
#include <brimsel/util.h>
#include <brimsel/variable.h>
#include <brimsel/variant.h>

#include <string>
#include <variant>

#if defined(_MSC_VER)
#define BENCH_NOINLINE __declspec(noinline)
#else
#define BENCH_NOINLINE __attribute__((noinline))
#endif

namespace {

using StdVariant = std::variant<int, double, std::string>;

// Out of line, as the Variant copy is (it lives in the shared library).
BENCH_NOINLINE StdVariant copyStdVariant(const StdVariant& v) { return v; }

const std::string kText64(64, 's');

void VariantCopyIntBrimsel(benchmark::State& state) {
  const Brimsel::Variant v(42);
  for (auto _ : state) {
    Brimsel::Variant copy(v);
    benchmark::DoNotOptimize(copy);
  }
}

void VariantCopyIntPocoVar(benchmark::State& state) {
  const Poco::Dynamic::Var v(42);
  for (auto _ : state) {
    Poco::Dynamic::Var copy(v);
    benchmark::DoNotOptimize(copy);
  }
}

void VariantCopyIntStdVariant(benchmark::State& state) {
  const StdVariant v(42);
  for (auto _ : state) {
    StdVariant copy = copyStdVariant(v);
    benchmark::DoNotOptimize(copy);
  }
}

void VariantCopyString64Brimsel(benchmark::State& state) {
  const Brimsel::Variant v(kText64);
  for (auto _ : state) {
    Brimsel::Variant copy(v);
    benchmark::DoNotOptimize(copy);
  }
}

void VariantCopyString64PocoVar(benchmark::State& state) {
  const Poco::Dynamic::Var v(kText64);
  for (auto _ : state) {
    Poco::Dynamic::Var copy(v);
    benchmark::DoNotOptimize(copy);
  }
}

void VariantCopyString64StdVariant(benchmark::State& state) {
  const StdVariant v(kText64);
  for (auto _ : state) {
    StdVariant copy = copyStdVariant(v);
    benchmark::DoNotOptimize(copy);
  }
}

BENCHMARK(VariantCopyIntBrimsel);
BENCHMARK(VariantCopyIntPocoVar);
BENCHMARK(VariantCopyIntStdVariant);
BENCHMARK(VariantCopyString64Brimsel);
BENCHMARK(VariantCopyString64PocoVar);
BENCHMARK(VariantCopyString64StdVariant);

// 1000 variables of short texts without references.
const Brimsel::VariableMap& expandVariables() {
  static const Brimsel::VariableMap vars = [] {
    Brimsel::VariableMap m;
    for (int i = 0; i < 1000; ++i)
      m["name" + std::to_string(i)] = Brimsel::Variant("value" + std::to_string(i));
    return m;
  }();
  return vars;
}

// `references` references spread evenly over `bytes` bytes of text that
// holds stray "$", "(" and ")" as well.
std::string makeTemplate(std::size_t bytes, int references) {
  std::string t;
  t.reserve(bytes);
  for (int i = 0; i < references; ++i) {
    const std::size_t end =
        bytes / static_cast<std::size_t>(references) * static_cast<std::size_t>(i + 1);
    const std::string ref = "$(name" + std::to_string((i * 7919) % 1000) + ")";
    t += "$ (x)";
    t.append(end - t.size() - ref.size(), '-');
    t += ref;
  }
  t.resize(bytes, '.');
  return t;
}

std::string restartAtTheFront(const std::string& text, const Brimsel::VariableMap& vars) {
  std::string s = text;
  for (;;) {
    const std::size_t open = s.find("$(");
    if (open == std::string::npos) return s;
    const std::size_t close = s.find(')', open);
    const auto found = vars.find(s.substr(open + 2, close - open - 2));
    s.replace(open, close - open + 1, found->second.toString());
  }
}

void VariantExpandLinear(benchmark::State& state) {
  const std::size_t mebibytes = static_cast<std::size_t>(state.range(0));
  const std::string t = makeTemplate(mebibytes << 20, 50000 * static_cast<int>(mebibytes));
  for (auto _ : state) benchmark::DoNotOptimize(Brimsel::expand(t, expandVariables()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(t.size()));
}

void VariantExpandRestartAtTheFront(benchmark::State& state) {
  const std::string t = makeTemplate(std::size_t(1) << 20, 50000);
  const std::string expected = Brimsel::expand(t, expandVariables());
  for (auto _ : state) {
    const std::string result = restartAtTheFront(t, expandVariables());
    if (result != expected) state.SkipWithError("the two expansions differ");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(t.size()));
}

BENCHMARK(VariantExpandLinear)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(VariantExpandRestartAtTheFront)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
