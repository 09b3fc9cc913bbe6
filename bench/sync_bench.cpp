// Synchronisation and notification, side by side with the standard library
// and Boost in one run.
#include <brimsel/mutex.h>
#include <brimsel/semaphore.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

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

// The same auto-reset signal built directly on the standard library, the
// yardstick for the ping-pong below.
class StdSignal {
 public:
  void signal() {
    std::lock_guard<std::mutex> lock(_m);
    _bSignalled = true;
    _cv.notify_one();
  }
  void wait() {
    std::unique_lock<std::mutex> lock(_m);
    _cv.wait(lock, [this] { return _bSignalled; });
    _bSignalled = false;
  }

 private:
  std::mutex _m;
  std::condition_variable _cv;
  bool _bSignalled = false;
};

struct BrimselSignal {
  Brimsel::Semaphore s;
  void signal() { s.signal(true); }
  void wait() { s.wait(Brimsel::Semaphore::nINFINITE); }
};

// One iteration: signal the partner thread and wait for its answer.
template <typename Signal>
void pingPong(benchmark::State& state) {
  Signal ping;
  Signal pong;
  std::atomic<bool> stop(false);
  std::thread partner([&] {
    for (;;) {
      ping.wait();
      if (stop.load()) break;
      pong.signal();
    }
  });
  for (auto _ : state) {
    ping.signal();
    pong.wait();
  }
  stop.store(true);
  ping.signal();
  partner.join();
}

void BM_Sync_SemaphorePingPong_Brimsel(benchmark::State& state) { pingPong<BrimselSignal>(state); }
BENCHMARK(BM_Sync_SemaphorePingPong_Brimsel)->UseRealTime();

void BM_Sync_SemaphorePingPong_StdMutexCondition(benchmark::State& state) { pingPong<StdSignal>(state); }
BENCHMARK(BM_Sync_SemaphorePingPong_StdMutexCondition)->UseRealTime();

}  // namespace
