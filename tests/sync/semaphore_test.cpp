// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/semaphore.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

#include "semaphore_internal.h"
#include "sync_test_support.h"

using Brimsel::Exception;
using Brimsel::Semaphore;
using Brimsel::detail::openSemaphoreEvents;
using Brimsel::detail::semaphoreWaitOutcome;
using namespace synctest;
using Clock = std::chrono::steady_clock;

namespace {

std::future<bool> waitOnAnotherThread(Semaphore& s, unsigned long timeout) {
  return std::async(std::launch::async, [&s, timeout] { return s.wait(timeout); });
}

}  // namespace

TEST(Semaphore, KeepsOneSignalUntilAWaitConsumesItAndTimesOutOnTime) {
  Semaphore s;
  const auto t0 = Clock::now();
  EXPECT_FALSE(s.wait(0));
  const auto t1 = Clock::now();
  EXPECT_FALSE(s.wait(100));
  const auto t2 = Clock::now();
  EXPECT_LT(t1 - t0, std::chrono::milliseconds(50)) << "zero only tests";
  EXPECT_GE(t2 - t1, std::chrono::milliseconds(84));  // Windows timers may round down by one 15.6 ms tick
  EXPECT_LT(t2 - t1, std::chrono::milliseconds(2000));
  s.signal(true);
  s.signal(false);  // the flag makes no difference, and signals collapse
  EXPECT_TRUE(s.wait(0));
  EXPECT_FALSE(s.wait(0));
}

TEST(Semaphore, ALongWaitReturnsWhenAnotherThreadSignals) {
  std::vector<unsigned long> timeouts{Semaphore::nINFINITE};
  // A timeout wider than 32 bits must not be cut short (to 100 ms here).
  if (sizeof(unsigned long) > 4) timeouts.push_back(static_cast<unsigned long>(0x100000064ull));
  for (unsigned long timeout : timeouts) {
    SCOPED_TRACE(timeout);
    Semaphore s;
    std::future<bool> waiting = waitOnAnotherThread(s, timeout);
    EXPECT_FALSE(readyWithin(waiting, std::chrono::milliseconds(400)));
    s.signal(true);
    EXPECT_TRUE(readyWithin(waiting, kGenerous));
    while (!readyWithin(waiting, std::chrono::milliseconds(50))) s.signal(true);  // so that a failing test ends
    EXPECT_TRUE(waiting.get());
    EXPECT_FALSE(s.wait(0)) << "the woken wait consumed the signal";
  }
}

TEST(Semaphore, MapsEveryPlatformResultAsItsTableSays) {
  using Brimsel::platform::WaitResult;
  EXPECT_TRUE(semaphoreWaitOutcome(WaitResult::signalled));
  EXPECT_FALSE(semaphoreWaitOutcome(WaitResult::timedOut));
  const struct {
    WaitResult result;
    int code;
    const char* legend;
  } raised[] = {{WaitResult::abandoned, 4200, "Abandoned."}, {WaitResult::failed, 4200, "Failed."},
                {WaitResult::unknown, 4201, ""}};
  for (const auto& r : raised) {
    try {
      semaphoreWaitOutcome(r.result);
      ADD_FAILURE() << static_cast<int>(r.result) << " must raise";
    } catch (const Exception& e) {
      EXPECT_EQ(e.errorCode(), r.code);
      EXPECT_EQ(e.legend(), r.legend);
      EXPECT_FALSE(e.isFatal());
      EXPECT_NE(e.file().find("semaphore"), std::string::npos);
    }
  }
}

TEST(Semaphore, CopiesShareOneEventThatTheLastOfThemCloses) {
  const long before = openSemaphoreEvents();
  {
    Semaphore original;
    Semaphore copy(original);
    Semaphore assigned;
    assigned.signal(true);  // pending on its own event, which the assignment drops
    EXPECT_EQ(openSemaphoreEvents(), before + 2);
    assigned = original;
    assigned = assigned;
    EXPECT_EQ(openSemaphoreEvents(), before + 1);
    EXPECT_FALSE(assigned.wait(0)) << "now the source's event";
    std::future<bool> waiting = waitOnAnotherThread(original, 10000);
    copy.signal(true);
    EXPECT_TRUE(readyWithin(waiting, kGenerous)) << "a signal through one copy releases a wait on another";
    { Semaphore shortLived(copy); }
    assigned.signal(true);
    EXPECT_TRUE(original.wait(0)) << "still open while copies remain";
  }
  EXPECT_EQ(openSemaphoreEvents(), before);
}
