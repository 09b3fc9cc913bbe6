#include <brimsel/exception.h>
#include <brimsel/publisher.h>
#include <brimsel/subscriber.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "sync_test_support.h"

using Brimsel::Exception;
using Brimsel::Publisher;
using Brimsel::Subscriber;
using synctest::kBlockedFor;
using synctest::kGenerous;

namespace {

struct Call {
  const Subscriber* who;
  Publisher* publisher;
  int reason;
  void* data;
};

// Records every notification in a shared log, then runs an optional action.
class Recorder : public Subscriber {
 public:
  explicit Recorder(bool notifyDeletes = true) : Subscriber(notifyDeletes) {}
  Recorder(void* context, bool notifyDeletes) : Subscriber(context, notifyDeletes) {}
  void notify(Publisher* publisher, int reason, void* data) override {
    if (log != nullptr) log->push_back({this, publisher, reason, data});
    if (onNotify) onNotify(publisher, reason, data);
  }
  std::vector<Call>* log = nullptr;
  std::function<void(Publisher*, int, void*)> onNotify;
};

// Subscribers in one array, so their addresses ascend with their index.
struct Board {
  explicit Board(std::size_t n) : subs(new Recorder[n]), count(n) {
    for (std::size_t i = 0; i < n; ++i) subs[i].log = &log;
  }
  Recorder& operator[](std::size_t i) { return subs[i]; }
  // Indices of the subscribers in the log, in call order.
  std::vector<int> order() const {
    std::vector<int> r;
    for (const Call& c : log) r.push_back(static_cast<int>(static_cast<const Recorder*>(c.who) - subs.get()));
    return r;
  }
  std::unique_ptr<Recorder[]> subs;
  std::size_t count;
  std::vector<Call> log;
};

using Order = std::vector<int>;

int kData = 0;
void* const pData = &kData;

}  // namespace

TEST(Subscriber, KeepsItsContextAndFlagAndCopiesThem) {
  Recorder byDefault;
  EXPECT_TRUE(byDefault.notifyDeletes());
  EXPECT_EQ(byDefault.subscriberContext(), nullptr);

  int context = 0;
  Recorder quiet(&context, false);
  EXPECT_EQ(quiet.subscriberContext(), &context);
  EXPECT_FALSE(quiet.notifyDeletes());

  Recorder copy(quiet);
  EXPECT_EQ(copy.subscriberContext(), &context);
  EXPECT_FALSE(copy.notifyDeletes());
  copy = byDefault;
  EXPECT_TRUE(copy.notifyDeletes());
  EXPECT_EQ(copy.subscriberContext(), nullptr);
  static_cast<Subscriber&>(copy) = quiet;
  EXPECT_EQ(copy.subscriberContext(), &context);
  EXPECT_FALSE(copy.notifyDeletes());
  const Subscriber& self = copy = copy;
  EXPECT_EQ(&self, &copy);
  EXPECT_EQ(copy.subscriberContext(), &context);
}

TEST(PublisherSet, AddingTwiceKeepsOneEntryAndRemovingAStrangerChangesNothing) {
  Board b(3);
  Publisher p;
  p.changed(pData);  // no subscribers: nothing happens
  EXPECT_TRUE(b.log.empty());

  p.addSubscriber(&b[1]);
  p.addSubscriber(&b[1]);
  EXPECT_EQ(p.subscribers().size(), 1u);
  p.removeSubscriber(&b[2]);
  p.removeSubscriber(nullptr);
  EXPECT_EQ(p.subscribers().size(), 1u);
  p.changed(pData);
  EXPECT_EQ(b.order(), Order({1}));

  EXPECT_THROW(p.addSubscriber(nullptr), Exception);
  EXPECT_EQ(p.subscribers().size(), 1u);

  p.removeSubscriber(&b[1]);
  EXPECT_TRUE(p.subscribers().empty());
  p.changed(pData);
  EXPECT_EQ(b.order(), Order({1}));
}

TEST(PublisherChanged, NotifiesEachSubscriberOnceInAddressOrder) {
  Board b(4);
  b[1] = Recorder(false);  // told of changes whatever its end-notification flag
  b[1].log = &b.log;
  Publisher p;
  for (int i : {3, 0, 2, 1}) p.addSubscriber(&b[i]);
  p.changed(pData);
  EXPECT_EQ(b.order(), Order({0, 1, 2, 3}));
  for (const Call& c : b.log) {
    EXPECT_EQ(c.publisher, &p);
    EXPECT_EQ(c.reason, Publisher::nREASON_CHANGED);
    EXPECT_EQ(c.data, pData);
  }
  b.log.clear();
  p.changed(nullptr);
  ASSERT_EQ(b.log.size(), 4u);
  EXPECT_EQ(b.log[0].data, nullptr);
}

TEST(PublisherChanged, WalksTheSetAsItWasWhenTheWalkBegan) {
  Board b(5);
  Publisher p;
  for (int i : {0, 1, 2, 3}) p.addSubscriber(&b[i]);
  // 1 removes itself and 3 (which comes later), and adds 4 and 0's neighbour.
  b[1].onNotify = [&](Publisher* pub, int, void*) {
    pub->removeSubscriber(&b[1]);
    pub->removeSubscriber(&b[3]);
    pub->addSubscriber(&b[4]);
  };
  p.changed(pData);
  EXPECT_EQ(b.order(), Order({0, 1, 2, 3})) << "removed ones still notified, added one not yet";

  b.log.clear();
  b[1].onNotify = nullptr;
  p.changed(pData);
  EXPECT_EQ(b.order(), Order({0, 2, 4}));
}

TEST(PublisherChanged, ANestedChangeNotifiesTheCurrentSetBeforeTheOuterWalkGoesOn) {
  Board b(4);
  Publisher p;
  for (int i : {0, 1, 2}) p.addSubscriber(&b[i]);
  int inner = 0;
  b[0].onNotify = [&](Publisher* pub, int, void* data) {
    if (data != pData) return;
    pub->removeSubscriber(&b[2]);
    pub->addSubscriber(&b[3]);
    pub->changed(&inner);
  };
  p.changed(pData);
  EXPECT_EQ(b.order(), Order({0, 0, 1, 3, 1, 2}));
  const std::vector<void*> data = {pData, &inner, &inner, &inner, pData, pData};
  ASSERT_EQ(b.log.size(), data.size());
  for (std::size_t i = 0; i < data.size(); ++i) EXPECT_EQ(b.log[i].data, data[i]) << "call " << i;
}

TEST(PublisherChanged, AnExceptionFromNotifyEndsTheWalkAndReleasesTheMutex) {
  Board b(3);
  Publisher p;
  for (int i : {0, 1, 2}) p.addSubscriber(&b[i]);
  b[1].onNotify = [](Publisher*, int, void*) { throw std::runtime_error("subscriber failed"); };
  EXPECT_THROW(p.changed(pData), std::runtime_error);
  EXPECT_EQ(b.order(), Order({0, 1}));

  b[1].onNotify = nullptr;
  b.log.clear();
  // Another thread can use the publisher: the mutex was released.
  auto other = std::async(std::launch::async, [&] { p.changed(pData); });
  ASSERT_EQ(other.wait_for(kGenerous), std::future_status::ready);
  EXPECT_EQ(b.order(), Order({0, 1, 2}));
}

TEST(PublisherDestructor, TellsOnlyTheSubscribersThatAskedInAddressOrder) {
  Board b(4);
  b[2] = Recorder(false);
  b[2].log = &b.log;
  Publisher* raw = nullptr;
  {
    Publisher p;
    raw = &p;
    for (int i : {3, 2, 1, 0}) p.addSubscriber(&b[i]);
  }
  EXPECT_EQ(b.order(), Order({0, 1, 3}));
  for (const Call& c : b.log) {
    EXPECT_EQ(c.publisher, raw);
    EXPECT_EQ(c.reason, Publisher::nREASON_DESTROYED);
    EXPECT_EQ(c.data, static_cast<void*>(raw));
  }
}

TEST(PublisherDestructor, EndNotificationsMayCallBackWithoutEffectOrDeadlock) {
  Board b(3);
  Recorder stranger;
  std::vector<std::size_t> sizesSeen;
  for (int i : {0, 1}) {
    b[i].onNotify = [&](Publisher* pub, int reason, void*) {
      if (reason != Publisher::nREASON_DESTROYED) return;
      pub->removeSubscriber(&b[0]);
      pub->removeSubscriber(&b[2]);
      pub->addSubscriber(&stranger);
      pub->changed(pData);
      sizesSeen.push_back(pub->subscribers().size());
    };
  }
  auto* p = new Publisher;
  for (int i : {0, 1, 2}) p->addSubscriber(&b[i]);
  // On its own thread, so that a deadlock fails the test instead of hanging it.
  std::promise<void> done;
  std::thread destroyer([&] {
    delete p;
    done.set_value();
  });
  if (done.get_future().wait_for(kGenerous) != std::future_status::ready) {
    destroyer.detach();
    FAIL() << "destroying the publisher deadlocked";
  }
  destroyer.join();
  EXPECT_EQ(b.order(), Order({0, 1, 2})) << "no change notifications, every end notification";
  EXPECT_EQ(sizesSeen, std::vector<std::size_t>({3u, 3u})) << "the set is frozen while destroyed";
}

TEST(PublisherDestructor, AnExceptionFromOneEndNotificationDoesNotSilenceTheOthers) {
  Board b(3);
  b[0].onNotify = [](Publisher*, int, void*) { throw Exception(0, false, "end notification failed"); };
  {
    Publisher p;
    for (int i : {0, 1, 2}) p.addSubscriber(&b[i]);
  }
  EXPECT_EQ(b.order(), Order({0, 1, 2}));
}

TEST(PublisherCopy, ACopyNotifiesTheSameSubscribersAndAssignmentKeepsOwnOnes) {
  Board b(4);
  Publisher source;
  for (int i : {0, 2}) source.addSubscriber(&b[i]);
  Publisher copy(source);
  EXPECT_TRUE(b.log.empty()) << "subscribers are not told of the copy";
  copy.changed(pData);
  EXPECT_EQ(b.order(), Order({0, 2}));
  for (const Call& c : b.log) EXPECT_EQ(c.publisher, &copy);

  copy.addSubscriber(&b[3]);
  b.log.clear();
  source.changed(pData);
  EXPECT_EQ(b.order(), Order({0, 2})) << "the copy's set is its own";

  Publisher assigned;
  assigned.addSubscriber(&b[1]);
  const Publisher& result = assigned = source;
  EXPECT_EQ(&result, &assigned);
  b.log.clear();
  assigned.changed(pData);
  EXPECT_EQ(b.order(), Order({1}));
}

TEST(PublisherCopy, AssigningFromAPublisherBeingDestroyedLeavesTheTargetLive) {
  Board b(2);
  Publisher target;
  target.addSubscriber(&b[1]);
  {
    Publisher dying;
    dying.addSubscriber(&b[0]);
    b[0].onNotify = [&](Publisher* pub, int reason, void*) {
      if (reason == Publisher::nREASON_DESTROYED) target = *pub;
    };
  }
  b.log.clear();
  target.changed(pData);
  EXPECT_EQ(b.order(), Order({1})) << "the target must still notify";
}

TEST(PublisherThreads, NotificationsAreSerialisedAndNoneIsLost) {
  std::atomic<int> inFlight(0);
  std::atomic<bool> overlapped(false);
  struct Counter : Subscriber {
    std::atomic<int>* inFlight = nullptr;
    std::atomic<bool>* overlapped = nullptr;
    long count = 0;  // plain: the publisher's mutex protects it
    void notify(Publisher*, int reason, void*) override {
      if (reason != Publisher::nREASON_CHANGED) return;
      if (inFlight->fetch_add(1) != 0) *overlapped = true;
      ++count;
      inFlight->fetch_sub(1);
    }
  };
  Counter stable[2];
  Counter churn;
  for (Counter* c : {&stable[0], &stable[1], &churn}) {
    c->inFlight = &inFlight;
    c->overlapped = &overlapped;
  }
  Publisher p;  // after its subscribers, so that it is destroyed first
  p.addSubscriber(&stable[0]);
  p.addSubscriber(&stable[1]);
  constexpr int kRounds = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) p.changed(nullptr);
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < kRounds; ++i) {
      p.addSubscriber(&churn);
      p.removeSubscriber(&churn);
    }
  });
  for (std::thread& t : threads) t.join();
  EXPECT_FALSE(overlapped.load());
  EXPECT_EQ(stable[0].count, 2 * kRounds);
  EXPECT_EQ(stable[1].count, 2 * kRounds);
  EXPECT_EQ(p.subscribers().size(), 2u);
}

TEST(PublisherThreads, AnotherThreadWaitsForARunningWalk) {
  Board b(2);
  Publisher p;
  p.addSubscriber(&b[0]);
  std::promise<void> inside;
  std::promise<void> gate;
  std::shared_future<void> gateOpen = gate.get_future().share();
  b[0].onNotify = [&](Publisher*, int, void* data) {
    if (data != pData) return;
    inside.set_value();
    gateOpen.wait_for(kGenerous);
  };
  auto walk = std::async(std::launch::async, [&] { p.changed(pData); });
  ASSERT_EQ(inside.get_future().wait_for(kGenerous), std::future_status::ready);
  auto add = std::async(std::launch::async, [&] { p.addSubscriber(&b[1]); });
  EXPECT_EQ(add.wait_for(kBlockedFor), std::future_status::timeout) << "the walk holds the mutex";
  gate.set_value();
  ASSERT_EQ(walk.wait_for(kGenerous), std::future_status::ready);
  ASSERT_EQ(add.wait_for(kGenerous), std::future_status::ready);
  EXPECT_EQ(p.subscribers().size(), 2u);
}
