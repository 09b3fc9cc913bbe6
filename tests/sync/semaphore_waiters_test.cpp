// Several threads waiting on one POSIX event: each signal releases exactly
// one of them, as a Windows auto-reset event does.
#if !defined(_WIN32)

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/event.h"

namespace {

using namespace Brimsel::platform;

// Waits (bounded) until `n` threads are blocked in eventWait on `e`.
bool blockedWithin(Event* e, unsigned long n) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (eventWaiting(e) != n) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(EventWaiters, BackToBackSignalsReleaseAsManyBlockedWaiters) {
  for (unsigned long n : {2ul, 4ul}) {
    for (int round = 0; round < 200; ++round) {
      Event* e = eventCreate();
      ASSERT_NE(nullptr, e);
      std::atomic<unsigned long> released(0);
      std::vector<std::thread> waiters;
      for (unsigned long i = 0; i < n; ++i) {
        waiters.emplace_back([&] {
          if (eventWait(e, 5000) == nWAIT_OBJECT_0) ++released;
        });
      }
      ASSERT_TRUE(blockedWithin(e, n));
      for (unsigned long i = 0; i < n; ++i) eventSet(e);
      // A test that arrives now finds nothing: every signal went to a waiter.
      const unsigned long stolen = eventWait(e, 0) == nWAIT_OBJECT_0 ? 1 : 0;
      for (std::thread& t : waiters) t.join();
      eventClose(e);
      ASSERT_EQ(n, released.load()) << n << " waiters, round " << round;
      ASSERT_EQ(0ul, stolen) << n << " waiters, round " << round;
    }
  }
}

TEST(EventWaiters, ASignalWithoutWaitersStaysSetAndSignalsCollapse) {
  Event* e = eventCreate();
  eventSet(e);
  eventSet(e);
  std::thread late([&] { EXPECT_EQ(nWAIT_OBJECT_0, eventWait(e, 5000)); });
  late.join();
  EXPECT_EQ(nWAIT_TIMEOUT, eventWait(e, 0));
  EXPECT_EQ(nWAIT_TIMEOUT, eventWait(e, 20));
  eventClose(e);
}

}  // namespace

#endif
