// Mutex, Semaphore, Publisher and Subscriber with real threads; every wait
// is bounded.
#include <brimsel/mutex.h>
#include <brimsel/publisher.h>
#include <brimsel/semaphore.h>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "allocations.h"
#include "semaphore_internal.h"
#include "support.h"

using namespace Brimsel;
using support::kPatience;
using support::kWhile;
using support::raised;
using support::readyWithin;

namespace {

// Takes `mx` on a thread of its own and holds it until released.
struct Contender {
  explicit Contender(Mutex& mx)
      : thread([this, &mx] {
          mx.lock("Contender");
          got.set_value();
          release.get_future().wait_for(kPatience);
          mx.unlock();
        }) {}
  ~Contender() {
    let();
    thread.join();
  }
  bool acquired(std::chrono::milliseconds limit) { return readyWithin(acquiredFuture, limit); }
  void let() {
    if (!released) release.set_value();
    released = true;
  }
  std::promise<void> got, release;
  std::future<void> acquiredFuture = got.get_future();
  bool released = false;
  std::thread thread;
};

}  // namespace

TEST(Mutex, CountsLevelsRefusesStrayUnlocksAndExcludes) {
  char name[] = "a";
  Mutex mx(name), unnamed("");
  name[0] = 'z';
  EXPECT_TRUE(std::string(mx.name()) == "a" && unnamed.name() == nullptr);
  EXPECT_EQ(raised([&] { mx.unlock(); }), "0:Mutex is not owned by the calling thread.");
  mx.lock("by hand");
  try {
    Mutex::Lock outer(mx, nullptr), inner(mx, "inner");
    throw std::runtime_error("leaves the block");
  } catch (const std::runtime_error&) {
  }
  {
    Contender other(mx);
    EXPECT_FALSE(other.acquired(kWhile)) << "the level taken by hand is still held";
    mx.unlock();
    ASSERT_TRUE(other.acquired(kPatience));
    EXPECT_EQ(raised([&] { mx.unlock(); }), "0:Mutex is not owned by the calling thread.");
    Contender third(mx);
    EXPECT_FALSE(third.acquired(kWhile)) << "a stray unlock freed the owner's lock";
    other.let();
    EXPECT_TRUE(third.acquired(kPatience));
  }
  long counter = 0;  // only the mutex protects it
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        Mutex::Lock outer(mx, "outer");
        const long seen = counter;
        Mutex::Lock inner(mx, "inner");
        counter = seen + 1;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter, 80000);
}

// A signal stays pending until a wait consumes it; several collapse into one.
// Timeouts across a second boundary, unlimited ones and (where unsigned long
// is wider) ones beyond 32 bits all last until the signal.
TEST(Semaphore, SignalsWaitsAndTimeouts) {
  Semaphore s;
  EXPECT_FALSE(s.wait(0));
  EXPECT_FALSE(s.wait(50));
  s.signal(true);
  s.signal(false);
  EXPECT_TRUE(s.wait(0));
  EXPECT_FALSE(s.wait(0));
  for (unsigned long timeout : {999ul, 2998ul, static_cast<unsigned long>(Semaphore::nINFINITE),
                                static_cast<unsigned long>(sizeof(long) > 4 ? 0x100000064ull : 1999)}) {
    std::future<bool> waiting = std::async(std::launch::async, [&s, timeout] { return s.wait(timeout); });
    EXPECT_FALSE(readyWithin(waiting, std::chrono::milliseconds(300))) << timeout;
    s.signal(true);
    ASSERT_TRUE(readyWithin(waiting)) << timeout;
    EXPECT_TRUE(waiting.get()) << timeout;
    EXPECT_FALSE(s.wait(0)) << "the woken wait consumed the signal";
  }
}

TEST(Semaphore, CopiesShareOneEventThatTheLastOfThemCloses) {
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
  const std::pair<unsigned long, const char*> raisedBy[] = {
      {0x80, "4200:Abandoned."}, {0xFFFFFFFFul, "4200:Failed."}, {1, "4201:"}, {0x81, "4201:"}, {0x103, "4201:"}};
  for (const auto& [result, outcome] : raisedBy) EXPECT_EQ(raised([&] { detail::semaphoreWaitOutcome(result); }), outcome);
  EXPECT_TRUE(detail::semaphoreWaitOutcome(0) && !detail::semaphoreWaitOutcome(0x102));
}

namespace {

// Subscribers in one array, so that their addresses ascend with their index;
// each logs "<index><reason>" and runs its action.
struct Board {
  struct Recorder : Subscriber {
    Recorder() : Subscriber(this, true) {}
    Board* board = nullptr;
    std::function<void(Publisher*, int)> action;
    void notify(Publisher* p, int reason, void* data) override {
      board->log += std::to_string(this - board->subs) + (reason == 0 ? (data == nullptr ? "n" : "c") : "d");
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

}  // namespace

TEST(Publisher, WalksInAddressOrderOverTheSetAsItWasWhenTheWalkBegan) {
  Board b;
  Publisher p;
  p.changed(&gData);
  for (int i : {3, 0, 2, 1, 3}) p.addSubscriber(&b.subs[i]);
  p.removeSubscriber(&b.subs[4]);
  EXPECT_EQ(raised([&] { p.addSubscriber(nullptr); }), "0:Null subscriber.");
  p.changed(&gData);
  EXPECT_EQ(b.log, "0c1c2c3c");
  b.log.clear();
  // Removed ones are still told in this walk, the added one only in the next;
  // a nested change tells the set of its own moment first.
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
  EXPECT_TRUE(readyWithin(std::async(std::launch::async, [&] { p.removeSubscriber(&b.subs[2]); })))
      << "the mutex was left held";
  EXPECT_EQ(b.subs[1].subscriberContext(), &b.subs[1]);
}

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
  std::promise<void> done;
  std::thread destroyer([&] {
    delete p;
    done.set_value();
  });
  const bool ended = readyWithin(done.get_future());
  ended ? destroyer.join() : destroyer.detach();
  ASSERT_TRUE(ended) << "destroying the publisher deadlocked";
  EXPECT_EQ(b.log, "0d1d3d");
  b.log.clear();
  copy.changed(&gData);
  target.changed(&gData);
  EXPECT_EQ(b.log, "0c1c3c4c");
  for (int i : {0, 1, 3}) copy.removeSubscriber(&b.subs[i]);
  target.removeSubscriber(&b.subs[4]);
}

// Walks from two threads and registrations from a third: each walk sees a
// whole set, no count is lost, and an unchanged set costs no allocation.
TEST(Publisher, SerialisesWalksAndRegistrationsAndWalksWithoutAllocating) {
  struct Counter : Subscriber {
    long count = 0;  // plain: only the publisher's mutex keeps the walks apart
    void notify(Publisher*, int reason, void*) override { count += reason == Publisher::nREASON_CHANGED; }
  } stable[2], churn;
  Publisher p;
  p.addSubscriber(&stable[0]);
  p.addSubscriber(&stable[1]);
  const long before = support::allocations();
  for (int i = 0; i < 100; ++i) p.changed(nullptr);
  EXPECT_EQ(support::allocations(), before);
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) p.changed(nullptr);
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < 2000; ++i) {
      p.addSubscriber(&churn);
      p.removeSubscriber(&churn);
    }
  });
  for (std::thread& t : threads) t.join();
  EXPECT_TRUE(stable[0].count == 4100 && stable[1].count == 4100) << stable[0].count << " " << stable[1].count;
}
