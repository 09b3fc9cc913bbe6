// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/publisher.h>
#include <brimsel/subscriber.h>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include "sync_test_support.h"

using Brimsel::Exception;
using Brimsel::Publisher;
using Brimsel::Subscriber;
using namespace synctest;
using Order = std::vector<int>;

namespace {

struct Call {
  int who;
  Publisher* publisher;
  int reason;
  void* data;
};

// Subscribers in one array, so that their addresses ascend with their index;
// each records its calls in the shared log and then runs its optional action.
struct Board {
  struct Recorder : Subscriber {
    Board* board = nullptr;
    std::function<void(Publisher*, int)> action;
    void notify(Publisher* p, int reason, void* data) override {
      board->log.push_back({static_cast<int>(this - board->subs), p, reason, data});
      if (action) action(p, reason);
    }
  };
  Board() {
    for (Recorder& r : subs) r.board = this;
  }
  Order order() const {
    Order o;
    for (const Call& c : log) o.push_back(c.who);
    return o;
  }
  Recorder subs[5];
  std::vector<Call> log;
};

int kData = 0;
void* const pData = &kData;

}  // namespace

TEST(Publisher, NotifiesEachRegisteredSubscriberOnceInAddressOrder) {
  Board b;
  Publisher p;
  p.changed(pData);  // nobody to tell
  for (int i : {3, 0, 2, 1, 3}) p.addSubscriber(&b.subs[i]);
  p.removeSubscriber(&b.subs[4]);  // not registered: no change
  EXPECT_THROW(p.addSubscriber(nullptr), Exception);
  EXPECT_EQ(p.subscribers().size(), 4u);
  p.changed(pData);
  EXPECT_EQ(b.order(), Order({0, 1, 2, 3}));
  for (const Call& c : b.log) {
    EXPECT_EQ(c.publisher, &p);
    EXPECT_EQ(c.reason, Publisher::nREASON_CHANGED);
    EXPECT_EQ(c.data, pData);
  }
}

TEST(Publisher, AWalkCoversTheSetAsItWasWhenTheWalkBegan) {
  Board b;
  Publisher p;
  for (int i : {0, 1, 2, 3}) p.addSubscriber(&b.subs[i]);
  b.subs[1].action = [&](Publisher* pub, int) {
    pub->removeSubscriber(&b.subs[1]);
    pub->removeSubscriber(&b.subs[3]);
    pub->addSubscriber(&b.subs[4]);
  };
  p.changed(pData);
  EXPECT_EQ(b.order(), Order({0, 1, 2, 3})) << "removed ones still told, the added one not yet";
  b.log.clear();
  p.changed(pData);
  EXPECT_EQ(b.order(), Order({0, 2, 4}));
}

TEST(Publisher, ANestedChangeTellsTheCurrentSetBeforeTheOuterWalkGoesOn) {
  Board b;
  Publisher p;
  for (int i : {0, 1, 2}) p.addSubscriber(&b.subs[i]);
  b.subs[0].action = [&](Publisher* pub, int) {
    b.subs[0].action = nullptr;
    pub->removeSubscriber(&b.subs[2]);
    pub->addSubscriber(&b.subs[3]);
    pub->changed(nullptr);
  };
  p.changed(pData);
  EXPECT_EQ(b.order(), Order({0, 0, 1, 3, 1, 2}));
  EXPECT_EQ(b.log[1].data, nullptr);
  EXPECT_EQ(b.log[4].data, pData);
}

TEST(Publisher, AnExceptionFromNotifyEndsTheWalkAndFreesTheMutex) {
  Board b;
  Publisher p;
  for (int i : {0, 1, 2}) p.addSubscriber(&b.subs[i]);
  b.subs[1].action = [](Publisher*, int) { throw std::runtime_error("subscriber failed"); };
  EXPECT_THROW(p.changed(pData), std::runtime_error);
  EXPECT_EQ(b.order(), Order({0, 1}));
  b.subs[1].action = nullptr;
  auto other = std::async(std::launch::async, [&] { p.addSubscriber(&b.subs[3]); });
  EXPECT_TRUE(readyWithin(other, kGenerous));
}

TEST(Publisher, EndsByTellingTheSubscribersThatAskedAndIgnoresTheirCalls) {
  Board b;
  struct Quiet : Subscriber {
    Quiet() : Subscriber(false) {}
    void notify(Publisher*, int, void*) override { ADD_FAILURE() << "asked not to be told"; }
  } quiet;
  std::vector<std::size_t> sizesSeen;
  auto* p = new Publisher;
  for (int i : {3, 1, 0}) p->addSubscriber(&b.subs[i]);
  p->addSubscriber(&quiet);
  b.subs[0].action = [](Publisher*, int) { throw Exception(0, false, "dropped"); };
  b.subs[1].action = [&](Publisher* pub, int) {
    pub->removeSubscriber(&b.subs[3]);
    pub->addSubscriber(&b.subs[4]);
    pub->changed(pData);
    sizesSeen.push_back(pub->subscribers().size());
  };
  // On its own thread, so that a deadlock fails the test instead of hanging it.
  std::promise<void> done;
  std::thread destroyer([&] {
    delete p;
    done.set_value();
  });
  if (!readyWithin(done.get_future(), kGenerous)) {
    destroyer.detach();
    FAIL() << "destroying the publisher deadlocked";
  }
  destroyer.join();
  EXPECT_EQ(b.order(), Order({0, 1, 3}));
  for (const Call& c : b.log) {
    EXPECT_EQ(c.reason, Publisher::nREASON_DESTROYED);
    EXPECT_EQ(c.data, static_cast<void*>(c.publisher));
  }
  EXPECT_EQ(sizesSeen, std::vector<std::size_t>({4u}));
}

TEST(Publisher, ACopyTellsTheSameSubscribersAndAssignmentChangesNothing) {
  Board b;
  Publisher target;
  target.addSubscriber(&b.subs[4]);
  {
    Publisher source;
    source.addSubscriber(&b.subs[0]);
    Publisher copy(source);
    copy.addSubscriber(&b.subs[1]);
    target = source;
    copy.changed(pData);
    source.changed(pData);
    EXPECT_EQ(b.order(), Order({0, 1, 0}));
    // Assigned from inside an end notification, while the source is destroyed.
    b.subs[0].action = [&](Publisher* pub, int reason) {
      if (reason == Publisher::nREASON_DESTROYED) target = *pub;
    };
    copy.removeSubscriber(&b.subs[0]);
    copy.removeSubscriber(&b.subs[1]);
  }
  b.log.clear();
  target.changed(pData);
  EXPECT_EQ(b.order(), Order({4})) << "the target keeps its own subscribers and stays live";
}

TEST(Publisher, SerialisesWalksAndRegistrationsAcrossThreads) {
  struct Counter : Subscriber {
    long count = 0;  // plain: only the publisher's mutex keeps the walks apart
    void notify(Publisher*, int reason, void*) override { count += reason == Publisher::nREASON_CHANGED; }
  } stable[2], churn;
  Publisher p;  // after its subscribers, so that it goes first
  p.addSubscriber(&stable[0]);
  p.addSubscriber(&stable[1]);
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
  EXPECT_EQ(stable[0].count, 4000);
  EXPECT_EQ(stable[1].count, 4000);
}
