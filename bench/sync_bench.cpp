// Synchronisation and notification, side by side with the standard library
// and Boost in one run.
#include <brimsel/mutex.h>

#include <benchmark/benchmark.h>

#include <mutex>

namespace {

void BM_Sync_MutexLockUnlock_Brimsel(benchmark::State& state) {
  Brimsel::Mutex mx("bench");
  for (auto _ : state) {
    mx.lock("bench");
    mx.unlock();
  }
}
BENCHMARK(BM_Sync_MutexLockUnlock_Brimsel);

void BM_Sync_MutexLockUnlock_StdRecursive(benchmark::State& state) {
  std::recursive_mutex mx;
  for (auto _ : state) {
    mx.lock();
    mx.unlock();
  }
}
BENCHMARK(BM_Sync_MutexLockUnlock_StdRecursive);

void BM_Sync_MutexScopedLock_Brimsel(benchmark::State& state) {
  Brimsel::Mutex mx("bench");
  for (auto _ : state) {
    Brimsel::Mutex::Lock guard(mx, "bench");
  }
}
BENCHMARK(BM_Sync_MutexScopedLock_Brimsel);

void BM_Sync_MutexScopedLock_StdRecursive(benchmark::State& state) {
  std::recursive_mutex mx;
  for (auto _ : state) {
    std::lock_guard<std::recursive_mutex> guard(mx);
  }
}
BENCHMARK(BM_Sync_MutexScopedLock_StdRecursive);

}  // namespace
