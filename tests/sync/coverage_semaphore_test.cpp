// SPDX-License-Identifier: MIT
#include <brimsel/semaphore.h>

#include <gtest/gtest.h>

#include <future>

#include "sync_test_support.h"

using Brimsel::Semaphore;
using namespace synctest;

// A timed wait turns its timeout into an absolute deadline; timeouts just
// under a whole number of seconds carry the sub-second part into the next
// second for almost any starting time. A deadline with a wrong carry is
// either refused by the system (the wait fails at once) or falls before the
// start (the wait times out at once): both show as a wait that does not last
// until the signal.
TEST(Semaphore, TimedWaitsWhoseDeadlineCrossesASecondLastUntilTheSignal) {
  for (unsigned long timeout : {999ul, 1999ul, 2998ul}) {
    SCOPED_TRACE(timeout);
    Semaphore s;
    std::future<bool> waiting = std::async(std::launch::async, [&s, timeout] { return s.wait(timeout); });
    // Still waiting after a while, so the signal reaches a wait in progress
    // rather than one that would consume a pending signal at its start.
    EXPECT_FALSE(readyWithin(waiting, std::chrono::milliseconds(50)));
    s.signal(true);
    ASSERT_TRUE(readyWithin(waiting, kGenerous));
    EXPECT_TRUE(waiting.get());
  }
}
