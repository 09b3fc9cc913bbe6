// SPDX-License-Identifier: MIT
// Mutex, Semaphore, the POSIX event under them, Publisher and Subscriber,
// with real threads; every wait is bounded.
#include <brimsel/mutex.h>
#include <brimsel/publisher.h>
#include <brimsel/semaphore.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>

#include "allocations.h"
#include "platform/event.h"
#include "semaphore_internal.h"
#include "support.h"

using namespace Brimsel;
using support::kPatience;
using support::kWhile;
using support::raised;
using support::readyWithin;

namespace {

// Takes `mx` on a thread of its own and holds it until let() or the end.
struct Contender {
  explicit Contender(Mutex& mx)
      : thread([this, &mx] {
          Mutex::Lock lock(mx, "Contender");
          got = true;
          release.get_future().wait_for(kPatience);
        }) {}
  ~Contender() {
    let();
    thread.join();
  }
  bool acquired(std::chrono::milliseconds limit) {
    return support::eventually([&] { return got.load(); }, limit);
  }
  void let() {
    std::call_once(once, [&] { release.set_value(); });
  }
  std::promise<void> release;
  std::once_flag once;
  std::atomic<bool> got{false};
  std::thread thread;
};

const char* const kNotOwned = "0:Mutex is not owned by the calling thread.";

TEST(Mutex, CountsLevelsRefusesStrayUnlocksAndExcludes) {
  char name[] = "a";
  Mutex mx(name), unnamed("");
  name[0] = 'z';
  EXPECT_TRUE(std::string(mx.name()) == "a" && unnamed.name() == nullptr);
  EXPECT_EQ(raised([&] { mx.unlock(); }), kNotOwned);
  mx.lock("by hand");
  try {
    Mutex::Lock outer(mx, nullptr), inner(mx, "inner");
    throw std::runtime_error("leaves the block");
  } catch (const std::runtime_error&) {
  }
  Contender other(mx);
  EXPECT_FALSE(other.acquired(kWhile)) << "the level taken by hand is still held";
  mx.unlock();
  ASSERT_TRUE(other.acquired(kPatience));
  EXPECT_EQ(raised([&] { mx.unlock(); }), kNotOwned);
  Contender third(mx);
  EXPECT_FALSE(third.acquired(kWhile)) << "a stray unlock freed the owner's lock";
  other.let();
  EXPECT_TRUE(third.acquired(kPatience));
  third.let();
  long counter = 0;  // only the mutex protects it, under contention from four threads
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        Mutex::Lock outer(mx, "outer"), inner(mx, "inner");
        counter = counter + 1;
      }
    });
  }
  support::endsInTime(
      [&] {
        for (std::thread& t : threads) t.join();
      },
      "contending for the mutex");
  EXPECT_EQ(counter, 80000);
}

// A signal stays pending until a wait consumes it; several collapse into one.
// Timeouts across a second boundary, unlimited ones and (where unsigned long
// is wider) ones beyond 32 bits all last until the signal.
TEST(Semaphore, SignalsWaitsTimeoutsAndCopiesThatShareOneEvent) {
  Semaphore s;
  EXPECT_FALSE(s.wait(0) || s.wait(50));
  s.signal(true);
  s.signal(false);
  EXPECT_TRUE(s.wait(0));
  EXPECT_FALSE(s.wait(0));
  for (unsigned long timeout :
       {999ul, static_cast<unsigned long>(Semaphore::nINFINITE),
        static_cast<unsigned long>(sizeof(long) > 4 ? 0x100000064ull : 1999)}) {
    std::future<bool> waiting =
        std::async(std::launch::async, [&s, timeout] { return s.wait(timeout); });
    EXPECT_FALSE(readyWithin(waiting, std::chrono::milliseconds(300))) << timeout;
    s.signal(true);
    ASSERT_TRUE(readyWithin(waiting)) << timeout;
    EXPECT_TRUE(waiting.get() && !s.wait(0)) << timeout << ": the woken wait consumes the signal";
  }
  // Copies share one event, which the last of them closes.
  const long before = detail::openSemaphoreEvents();
  {
    Semaphore original, assigned;
    Semaphore copy(original);
    assigned.signal(true);  // pending on its own event, which the assignment drops
    EXPECT_EQ(detail::openSemaphoreEvents(), before + 2);
    assigned = original;
    assigned = static_cast<const Semaphore&>(assigned);
    EXPECT_EQ(detail::openSemaphoreEvents(), before + 1);
    EXPECT_FALSE(assigned.wait(0));
    { Semaphore shortLived(copy); }
    copy.signal(true);
    EXPECT_TRUE(assigned.wait(0)) << "a signal through one copy reaches another";
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
// a late test; signals with nobody waiting collapse into one.
TEST(Event, EachSignalReleasesOneWaiter) {
  using namespace Brimsel::platform;
  for (unsigned long n : {2ul, 4ul}) {
    for (int round = 0; round < 200; ++round) {
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
      ASSERT_TRUE(released == n && !stolen)
          << n << " waiters, round " << round << ", released " << released;
    }
  }
  Event* e = eventCreate();
  eventSet(e);
  eventSet(e);
  EXPECT_EQ(std::async(std::launch::async, [&] { return eventWait(e, 5000); }).get(),
            WaitResult::signalled);
  EXPECT_TRUE(eventWait(e, 0) == WaitResult::timedOut && eventWait(e, 20) == WaitResult::timedOut);
  eventClose(e);
}
#endif

// Subscribers in one array, so that their addresses ascend with their index;
// each logs "<index><reason>" and runs its action.
struct Board {
  struct Recorder : Subscriber {
    Recorder() : Subscriber(this, true) {}
    Board* board = nullptr;
    std::function<void(Publisher*, int)> action;
    void notify(Publisher* p, int reason, void* data) override {
      board->log +=
          std::to_string(this - board->subs) + (reason == 0 ? (data == nullptr ? "n" : "c") : "d");
      if (reason == Publisher::nREASON_DESTROYED && data != p) board->log += "?";
      if (action) action(p, reason);
    }
  };
  Board() {
    for (Recorder& r : subs) r.board = this;
  }
  Recorder subs[5];
  std::string log;
};

int gData = 0;

// Removed ones are still told in a walk, added ones only in the next; a
// nested change tells the set of its own moment first; an unchanged set is
// walked without allocating.
TEST(Publisher, WalksInAddressOrderOverTheSetAsItWasWhenTheWalkBegan) {
  Board b;
  Publisher p;
  p.changed(&gData);
  for (int i : {3, 0, 2, 1, 3}) p.addSubscriber(&b.subs[i]);
  p.removeSubscriber(&b.subs[4]);
  EXPECT_EQ(raised([&] { p.addSubscriber(nullptr); }), "0:Null subscriber.");
  const long before = support::allocations();
  p.changed(&gData);
  EXPECT_EQ(support::allocations(), before);
  EXPECT_EQ(b.log, "0c1c2c3c");
  b.log.clear();
  b.subs[1].action = [&](Publisher* pub, int) {
    b.subs[1].action = nullptr;
    pub->removeSubscriber(&b.subs[3]);
    pub->addSubscriber(&b.subs[4]);
    pub->changed(nullptr);
  };
  p.changed(&gData);
  EXPECT_EQ(b.log, "0c1c0n1n2n4n2c3c");
  b.log.clear();
  b.subs[2].action = [](Publisher*, int) { throw std::runtime_error("subscriber failed"); };
  EXPECT_THROW(p.changed(&gData), std::runtime_error);
  EXPECT_EQ(b.log, "0c1c2c");
  support::endsInTime([&] { p.removeSubscriber(&b.subs[2]); },
                      "a walk that raised left the mutex held:");
  EXPECT_EQ(b.subs[1].subscriberContext(), &b.subs[1]);
}

// Those who asked are told of the end, in address order, with the publisher
// as data: one that raises is passed over, one that changes the set and the
// publisher meanwhile does not hold the end up. Copies keep sets of their own.
TEST(Publisher, EndsByTellingThoseWhoAskedAndCopiesKeepTheirOwnSets) {
  Board b;
  struct Quiet : Subscriber {
    Quiet() : Subscriber(false) {}
    void notify(Publisher*, int, void*) override { ADD_FAILURE() << "asked not to be told"; }
  } quiet;
  Publisher target;
  target.addSubscriber(&b.subs[4]);
  auto* p = new Publisher;
  for (int i : {3, 1, 0}) p->addSubscriber(&b.subs[i]);
  p->addSubscriber(&quiet);
  Publisher copy(*p);
  copy.removeSubscriber(&quiet);
  target = *p;
  b.subs[0].action = [](Publisher*, int reason) {
    if (reason == Publisher::nREASON_DESTROYED) throw Exception(0, false, "dropped");
  };
  b.subs[1].action = [&](Publisher* pub, int reason) {
    if (reason != Publisher::nREASON_DESTROYED || pub != p) return;
    pub->removeSubscriber(&b.subs[3]);
    pub->addSubscriber(&b.subs[4]);
    pub->changed(&gData);
    target = *pub;
  };
  support::endsInTime([&] { delete p; }, "destroying the publisher");
  EXPECT_EQ(b.log, "0d1d3d");
  b.log.clear();
  copy.changed(&gData);
  target.changed(&gData);
  EXPECT_EQ(b.log, "0c1c3c4c");
  for (int i : {0, 1, 3}) copy.removeSubscriber(&b.subs[i]);
  target.removeSubscriber(&b.subs[4]);
}

}  // namespace
