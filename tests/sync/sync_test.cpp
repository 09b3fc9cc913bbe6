// SPDX-License-Identifier: MIT
// Mutex, Semaphore, the POSIX event under them, Publisher and Subscriber,
// with real threads; every wait is bounded.
#include <brimsel/mutex.h>
#include <brimsel/publisher.h>
#include <brimsel/semaphore.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "allocations.h"
#include "platform/event.h"
#include "semaphore_internal.h"
#include "support.h"

using namespace Brimsel;
using support::raised;
using support::readyWithin;

namespace {

// The name is the mutex's own copy. Levels taken by hand and by guards all
// count; an unlock by a thread that does not own the mutex raises and changes
// nothing; four threads contend for it, nested.
TEST(Mutex, CountsLevelsRefusesStrayUnlocksAndExcludes) {
  char name[] = "a";
  Mutex mx(name), unnamed("");
  name[0] = 'z';
  EXPECT_TRUE(std::string(mx.name()) == "a" && unnamed.name() == nullptr);
  EXPECT_EQ(raised([&] { mx.unlock(); }), "0:Mutex is not owned by the calling thread.");
  mx.lock("by hand");
  { Mutex::Lock outer(mx, nullptr), inner(mx, "inner"); }
  EXPECT_EQ(support::endsInTime([&] { return raised([&] { mx.unlock(); }); }, "a stray unlock"),
            "0:Mutex is not owned by the calling thread.");
  std::future<void> other = std::async(std::launch::async, [&] { Mutex::Lock lock(mx, "other"); });
  EXPECT_FALSE(readyWithin(other, support::kWhile)) << "the level taken by hand was freed";
  mx.unlock();
  support::endsInTime([&] { other.get(); }, "locking the freed mutex");
  // Only the mutex protects the counter, under contention from four threads.
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        Mutex::Lock outer(mx, "outer"), inner(mx, "inner");
        counter = counter + 1;
      }
    });
  for (std::thread& t : threads) support::endsInTime([&] { t.join(); }, "contending for the mutex");
  EXPECT_EQ(counter, 80000);
}

// A signal stays pending until a wait consumes it; several collapse into one.
// Timeouts across a second boundary, unlimited ones and (where unsigned long
// is wider) ones beyond 32 bits all last until the signal. Copies share one
// event, which the last of them closes.
TEST(Semaphore, SignalsWaitsTimeoutsAndCopiesThatShareOneEvent) {
  Semaphore s;
  EXPECT_FALSE(s.wait(0) || s.wait(50));
  s.signal(true);
  s.signal(false);
  EXPECT_TRUE(s.wait(0) && !s.wait(0) && !s.wait(20));
  const unsigned long timeouts[] = {999, Semaphore::nINFINITE,
                                    sizeof(long) > 4 ? 0x100000064 : 1999};
  for (unsigned long timeout : timeouts) {
    auto waiting = std::async(std::launch::async, [&s, timeout] { return s.wait(timeout); });
    EXPECT_FALSE(readyWithin(waiting, std::chrono::milliseconds(300))) << timeout;
    s.signal(true);
    // The woken wait consumes the signal.
    EXPECT_TRUE(readyWithin(waiting) && waiting.get() && !s.wait(0)) << timeout;
  }
  const long before = detail::openSemaphoreEvents();
  {
    Semaphore original, assigned, copy(original);
    assigned.signal(true);  // pending on its own event, which the assignment drops
    assigned = original;
    assigned = static_cast<const Semaphore&>(assigned);
    { Semaphore shortLived(copy); }
    copy.signal(true);
    // One event open for the three, and one signal through a copy reaches the others.
    EXPECT_TRUE(detail::openSemaphoreEvents() == before + 1 && assigned.wait(0) &&
                !original.wait(0));
  }
  EXPECT_EQ(detail::openSemaphoreEvents(), before);
  using Brimsel::platform::WaitResult;
  const std::pair<WaitResult, const char*> raisedBy[] = {{WaitResult::abandoned, "4200:Abandoned."},
                                                         {WaitResult::failed, "4200:Failed."},
                                                         {WaitResult::unknown, "4201:"}};
  for (const auto& [result, outcome] : raisedBy)
    EXPECT_EQ(raised([&] { detail::semaphoreWaitOutcome(result); }), outcome);
  EXPECT_TRUE(detail::semaphoreWaitOutcome(WaitResult::signalled) &&
              !detail::semaphoreWaitOutcome(WaitResult::timedOut));
}

#if !defined(_WIN32)
// Each signal releases exactly one blocked waiter, as a Windows auto-reset
// event does: N back-to-back signals release N waiters and leave nothing for
// a late test. (Signals with nobody waiting collapse: the Semaphore test.)
TEST(Event, EachSignalReleasesOneWaiter) {
  using namespace Brimsel::platform;
  for (int round = 0; round < 400; ++round) {
    const unsigned long n = round % 2 == 0 ? 2 : 4;
    Event* e = eventCreate();
    std::atomic<unsigned long> released(0);
    std::vector<std::thread> waiters;
    for (unsigned long i = 0; i < n; ++i)
      waiters.emplace_back([&] { released += eventWait(e, 5000) == WaitResult::signalled; });
    ASSERT_TRUE(support::eventually([&] { return eventWaiting(e) == n; }));
    for (unsigned long i = 0; i < n; ++i) eventSet(e);
    const bool stolen = eventWait(e, 0) == WaitResult::signalled;
    for (std::thread& t : waiters) t.join();
    eventClose(e);
    ASSERT_TRUE(released == n && !stolen) << n << " waiters, round " << round;
  }
}
#endif

// Subscribers in one array, so that their addresses ascend with their index;
// each logs its index and what it was told ("c" for a change with data, "n"
// for one without, "d" for the end with the publisher as data, "?" for
// anything else) and runs its action.
int gData = 0;
std::string gLog;
struct Recorder : Subscriber {
  using Subscriber::Subscriber;
  void notify(Publisher* p, int reason, void* data) override;
  std::function<void(Publisher*, int, void*)> action;
} gSubs[6] = {{}, {}, {}, {}, {}, {false}};  // the last does not ask to be told of the end
void Recorder::notify(Publisher* p, int reason, void* data) {
  gLog += std::to_string(this - gSubs) + (reason == 0 ? (data ? "c" : "n") : data == p ? "d" : "?");
  if (action) action(p, reason, data);
}

// A walk covers the set as it was when it began: one removed meanwhile is
// still told, one added only in the next walk; a nested change tells the set
// of its own moment first; a walk allocates nothing, and one that raises
// leaves the mutex free. The end is told, in address order, to those who
// asked: one that raises is passed over, one that changes the set and the
// publisher meanwhile does not hold it up. Copies keep sets of their own and
// are not assigned.
TEST(Publisher, TellsTheSetOfItsMomentInAddressOrderAndItsEnd) {
  gLog.clear();
  for (Recorder& r : gSubs) r.action = nullptr;
  auto* p = new Publisher;
  p->changed(&gData);
  for (int i : {3, 0, 2, 1, 3}) p->addSubscriber(&gSubs[i]);
  p->removeSubscriber(&gSubs[4]);
  Publisher target(*p);  // not told of its copy
  EXPECT_EQ(raised([&] { p->addSubscriber(nullptr); }), "0:Null subscriber.");
  const long before = support::allocations();
  p->changed(&gData);
  EXPECT_EQ(support::allocations(), before);
  gSubs[1].action = [](Publisher* pub, int, void*) {
    gSubs[1].action = nullptr;  // acts once; it captures nothing that it would lose
    pub->removeSubscriber(&gSubs[3]);
    pub->addSubscriber(&gSubs[4]);
    pub->changed(nullptr);
  };
  p->changed(&gData);
  gSubs[0].action = [](Publisher*, int, void*) { throw Exception(0, false, "refused"); };
  EXPECT_THROW(p->changed(&gData), Exception);
  support::endsInTime([&] { p->removeSubscriber(&gSubs[4]); }, "removing after a raising walk");
  p->addSubscriber(&gSubs[5]);
  Publisher copy(*p);
  target = *p;
  gSubs[1].action = [&](Publisher* pub, int reason, void*) {
    if (reason != Publisher::nREASON_DESTROYED || pub != p) return;
    pub->removeSubscriber(&gSubs[2]);
    pub->addSubscriber(&gSubs[4]);
    pub->changed(&gData);
    target = *pub;
  };
  support::endsInTime([&] { delete p; }, "destroying the publisher");
  gSubs[0].action = nullptr;
  copy.changed(&gData);
  target.changed(&gData);
  EXPECT_EQ(gLog, std::string("0c1c2c3c") + "0c1c0n1n2n4n2c3c" + "0c" + "0d1d2d" + "0c1c2c5c" +
                      "0c1c2c3c");
}

}  // namespace
