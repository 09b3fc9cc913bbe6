#include <brimsel/exception.h>
#include <brimsel/semaphore.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "semaphore_internal.h"
#include "sync_test_support.h"

using Brimsel::Exception;
using Brimsel::Semaphore;
using synctest::kBlockedFor;
using synctest::kGenerous;
using Clock = std::chrono::steady_clock;

namespace {

constexpr unsigned long kGenerousMs = 10000;

// Runs wait(timeout) on another thread; the result is read with a bounded
// wait. If a wait never returns, the destructor signals until it does, so a
// failing test still ends.
class Waiter {
 public:
  Waiter(Semaphore& s, unsigned long timeout) : _s(s) {
    _result = std::async(std::launch::async, [this, timeout] { return _s.wait(timeout); });
  }
  ~Waiter() {
    if (!_result.valid()) return;  // result() has been read
    while (_result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) _s.signal(true);
  }
  bool returnedWithin(std::chrono::milliseconds d) { return _result.wait_for(d) == std::future_status::ready; }
  bool result() { return _result.get(); }

 private:
  Semaphore& _s;
  std::future<bool> _result;
};

void expectWaitRaises(unsigned long code, int expectedCode, const char* expectedLegend) {
  try {
    Brimsel::detail::semaphoreWaitOutcome(code);
    ADD_FAILURE() << "code " << code << " must raise";
  } catch (const Exception& e) {
    EXPECT_EQ(e.errorCode(), expectedCode) << "for code " << code;
    EXPECT_FALSE(e.isFatal());
    EXPECT_EQ(e.legend(), expectedLegend);
    EXPECT_NE(e.file().find("semaphore"), std::string::npos) << e.file();
    EXPECT_GT(e.line(), 0);
  }
}

}  // namespace

TEST(SemaphoreSignal, IsKeptUntilAWaitConsumesItAndSignalsCollapse) {
  Semaphore s;
  EXPECT_FALSE(s.wait(0)) << "a fresh semaphore is not signalled";
  s.signal(true);
  EXPECT_TRUE(s.wait(0)) << "a signal with no waiter stays pending";
  EXPECT_FALSE(s.wait(0)) << "and the wait consumed it";

  s.signal(true);
  s.signal(false);  // the flag makes no difference
  s.signal(true);
  EXPECT_TRUE(s.wait(0));
  EXPECT_FALSE(s.wait(0)) << "several signals collapse into one";

  s.signal(false);
  EXPECT_TRUE(s.wait(0)) << "signal(false) signals too";
}

TEST(SemaphoreWait, ZeroOnlyTestsAndATimedWaitTakesAboutItsTime) {
  Semaphore s;
  const auto t0 = Clock::now();
  EXPECT_FALSE(s.wait(0));
  EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(50)) << "wait(0) must not block";

  const auto t1 = Clock::now();
  EXPECT_FALSE(s.wait(100));
  const auto took = Clock::now() - t1;
  // Windows timers tick every 15.6 ms or so; the lower bound allows one tick.
  EXPECT_GE(took, std::chrono::milliseconds(84));
  EXPECT_LT(took, std::chrono::milliseconds(2000));
}

TEST(SemaphoreWait, ABlockedWaitReturnsAsSoonAsAnotherThreadSignals) {
  for (unsigned long timeout : {static_cast<unsigned long>(Semaphore::nINFINITE), kGenerousMs}) {
    Semaphore s;
    Waiter w(s, timeout);
    EXPECT_FALSE(w.returnedWithin(kBlockedFor)) << "nothing signalled yet, timeout " << timeout;
    s.signal(true);
    ASSERT_TRUE(w.returnedWithin(kGenerous)) << "timeout " << timeout;
    EXPECT_TRUE(w.result());
    EXPECT_FALSE(s.wait(0)) << "the woken wait consumed the signal";
  }
}

TEST(SemaphoreWait, EachSignalReleasesExactlyOneOfSeveralWaiters) {
  Semaphore s;
  std::atomic<int> released(0);
  std::vector<std::future<bool>> waits;
  for (int i = 0; i < 3; ++i) {
    waits.push_back(std::async(std::launch::async, [&] {
      const bool r = s.wait(kGenerousMs);
      ++released;
      return r;
    }));
  }
  std::this_thread::sleep_for(kBlockedFor);  // let all three block
  EXPECT_EQ(released.load(), 0);
  for (int expected = 1; expected <= 3; ++expected) {
    s.signal(true);
    const auto deadline = Clock::now() + kGenerous;
    while (released.load() < expected && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // room for a wrongly released second one
    EXPECT_EQ(released.load(), expected);
  }
  for (auto& f : waits) {
    ASSERT_EQ(f.wait_for(kGenerous), std::future_status::ready);
    EXPECT_TRUE(f.get());
  }
}

TEST(SemaphoreWait, ACountWiderThan32BitsIsNotCutShort) {
  if (sizeof(unsigned long) <= 4) GTEST_SKIP() << "unsigned long is the 32-bit count here";
  // Cut to 32 bits this would be a 100 ms wait.
  const unsigned long wide = static_cast<unsigned long>(0x100000064ull);
  Semaphore s;
  Waiter w(s, wide);
  EXPECT_FALSE(w.returnedWithin(std::chrono::milliseconds(400)));
  s.signal(true);
  ASSERT_TRUE(w.returnedWithin(kGenerous));
  EXPECT_TRUE(w.result());
}

TEST(SemaphoreWait, PlatformResultsMapAsTheTableSays) {
  EXPECT_TRUE(Brimsel::detail::semaphoreWaitOutcome(0));
  EXPECT_FALSE(Brimsel::detail::semaphoreWaitOutcome(0x102));
  expectWaitRaises(0x80, 4200, "Abandoned.");
  expectWaitRaises(0xFFFFFFFFul, 4200, "Failed.");
  for (unsigned long other : {1ul, 0x81ul, 0x101ul, 0x103ul, 0xFFFFFFFEul}) expectWaitRaises(other, 4201, "");
  EXPECT_EQ(Exception::explainErrorCode(4200), "Semaphore wait failed.");
  EXPECT_EQ(Exception::explainErrorCode(4201), "Unknown/undocumented MS return code.");
}

TEST(SemaphoreCopies, ShareOneEventClosedOnceAfterTheLastCopy) {
  const long before = Brimsel::detail::openSemaphoreEvents();
  {
    Semaphore original;
    EXPECT_EQ(Brimsel::detail::openSemaphoreEvents(), before + 1);
    Semaphore copy(original);
    EXPECT_EQ(Brimsel::detail::openSemaphoreEvents(), before + 1) << "a copy opens no event of its own";

    copy.signal(true);
    EXPECT_TRUE(original.wait(0)) << "a signal through the copy reaches the source";
    EXPECT_FALSE(copy.wait(0)) << "and was consumed there";

    Semaphore assigned;
    EXPECT_EQ(Brimsel::detail::openSemaphoreEvents(), before + 2);
    assigned.signal(true);  // pending on its own event, which the assignment drops
    assigned = original;
    EXPECT_EQ(Brimsel::detail::openSemaphoreEvents(), before + 1) << "the dropped event is closed";
    EXPECT_FALSE(assigned.wait(0)) << "now refers to the source's event";
    assigned = assigned;  // self-assignment keeps the event
    EXPECT_EQ(Brimsel::detail::openSemaphoreEvents(), before + 1);

    {
      Waiter w(original, kGenerousMs);
      assigned.signal(true);
      ASSERT_TRUE(w.returnedWithin(kGenerous)) << "a wait on one copy is released through another";
      EXPECT_TRUE(w.result());
    }

    {
      Semaphore shortLived(copy);
    }
    EXPECT_EQ(Brimsel::detail::openSemaphoreEvents(), before + 1) << "copies remain, so the event stays open";
    copy.signal(true);
    EXPECT_TRUE(original.wait(0));
  }
  EXPECT_EQ(Brimsel::detail::openSemaphoreEvents(), before) << "closed once the last copy is gone";
}

TEST(SemaphoreCopies, CopiesMadeAndDroppedOnManyThreadsKeepTheEventAlive) {
  const long before = Brimsel::detail::openSemaphoreEvents();
  {
    Semaphore s;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&s] {
        for (int i = 0; i < 2000; ++i) {
          Semaphore copy(s);
          copy.signal(true);
          copy.wait(0);
        }
      });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(Brimsel::detail::openSemaphoreEvents(), before + 1);
    s.signal(true);
    EXPECT_TRUE(s.wait(0));
  }
  EXPECT_EQ(Brimsel::detail::openSemaphoreEvents(), before);
}
