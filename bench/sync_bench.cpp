// SPDX-License-Identifier: MIT
// Synchronisation and notification, side by side with the standard library
// and Boost in one run.
#include <benchmark/benchmark.h>
#include <brimsel/mutex.h>
#include <brimsel/publisher.h>
#include <brimsel/semaphore.h>
#include <brimsel/subscriber.h>

#include <atomic>
#include <boost/signals2/signal.hpp>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

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

// One iteration: signal the partner thread and wait for its answer. Both
// threads on one CPU measure the hand-over itself rather than the scheduler's
// placement: taskset -c 0 brimsel-bench --benchmark_filter=SemaphorePingPong.
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

void BM_Sync_SemaphorePingPong_StdMutexCondition(benchmark::State& state) {
  pingPong<StdSignal>(state);
}
BENCHMARK(BM_Sync_SemaphorePingPong_StdMutexCondition)->UseRealTime();

// Publisher::changed with ten subscribers against a plain loop of virtual
// calls over the same ten, boost::signals2 with ten slots that make the same
// calls, and the naive publisher that locks and copies its set per call.
//
// The subscribers are of two classes, so that the compiler cannot turn the
// virtual calls into inlined code (it does so speculatively when a file
// holds only one class that overrides notify).
class CountingOnes : public Brimsel::Subscriber {
 public:
  void notify(Brimsel::Publisher*, int reason, void*) override { _n += reason + 1; }
  long _n = 0;
};

class CountingTwos : public Brimsel::Subscriber {
 public:
  void notify(Brimsel::Publisher*, int reason, void*) override { _n += reason + 2; }
  long _n = 0;
};

struct TenSubscribers {
  CountingOnes ones[5];
  CountingTwos twos[5];
  // In ascending address order, the order in which a Publisher notifies.
  std::vector<Brimsel::Subscriber*> all() {
    std::vector<Brimsel::Subscriber*> v;
    for (CountingOnes& s : ones) v.push_back(&s);
    for (CountingTwos& s : twos) v.push_back(&s);
    return v;
  }
};

void BM_Sync_PublisherChanged_Brimsel(benchmark::State& state) {
  TenSubscribers subs;
  Brimsel::Publisher p;
  for (Brimsel::Subscriber* s : subs.all()) p.addSubscriber(s);
  int data = 0;
  for (auto _ : state) p.changed(&data);
  for (Brimsel::Subscriber* s : subs.all()) p.removeSubscriber(s);
  benchmark::DoNotOptimize(subs.ones[0]._n);
}
BENCHMARK(BM_Sync_PublisherChanged_Brimsel);

void BM_Sync_PublisherChanged_PlainVirtualLoop(benchmark::State& state) {
  TenSubscribers subs;
  const std::vector<Brimsel::Subscriber*> all = subs.all();
  Brimsel::Publisher p;
  int data = 0;
  for (auto _ : state) {
    for (Brimsel::Subscriber* s : all) s->notify(&p, 0, &data);
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(subs.ones[0]._n);
}
BENCHMARK(BM_Sync_PublisherChanged_PlainVirtualLoop);

void BM_Sync_PublisherChanged_BoostSignals2(benchmark::State& state) {
  TenSubscribers subs;
  Brimsel::Publisher p;
  boost::signals2::signal<void(Brimsel::Publisher*, int, void*)> sig;
  for (Brimsel::Subscriber* s : subs.all()) {
    sig.connect(
        [s](Brimsel::Publisher* pub, int reason, void* data) { s->notify(pub, reason, data); });
  }
  int data = 0;
  for (auto _ : state) sig(&p, 0, &data);
  benchmark::DoNotOptimize(subs.ones[0]._n);
}
BENCHMARK(BM_Sync_PublisherChanged_BoostSignals2);

void BM_Sync_PublisherChanged_LockAndCopySet(benchmark::State& state) {
  TenSubscribers subs;
  std::set<Brimsel::Subscriber*> set;
  for (Brimsel::Subscriber* s : subs.all()) set.insert(s);
  std::recursive_mutex mx;
  Brimsel::Publisher p;
  int data = 0;
  for (auto _ : state) {
    std::lock_guard<std::recursive_mutex> lock(mx);
    const std::set<Brimsel::Subscriber*> walk(set);
    for (Brimsel::Subscriber* s : walk) s->notify(&p, 0, &data);
  }
  benchmark::DoNotOptimize(subs.ones[0]._n);
}
BENCHMARK(BM_Sync_PublisherChanged_LockAndCopySet);

}  // namespace
