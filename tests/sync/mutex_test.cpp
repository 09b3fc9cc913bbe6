// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/mutex.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <type_traits>
#include <vector>

#include "sync_test_support.h"

using Brimsel::Exception;
using Brimsel::Mutex;
using namespace synctest;

static_assert(!std::is_copy_constructible<Mutex::Lock>::value && !std::is_copy_assignable<Mutex::Lock>::value,
              "a copied Lock would unlock twice");

namespace {

// A second thread that takes `mx` and holds it until released (or for
// kGenerous at most). The test must free the mutex before it goes.
class Contender {
 public:
  explicit Contender(Mutex& mx)
      : _acquired(_got.get_future()), _thread([this, &mx] {
          mx.lock("Contender");
          _got.set_value();
          _release.get_future().wait_for(kGenerous);
          mx.unlock();
        }) {}
  ~Contender() {
    release();
    _thread.join();
  }
  bool acquiredWithin(std::chrono::milliseconds d) const { return readyWithin(_acquired, d); }
  void release() {
    if (!_released) _release.set_value();
    _released = true;
  }

 private:
  std::promise<void> _got, _release;
  std::future<void> _acquired;
  bool _released = false;
  std::thread _thread;
};

}  // namespace

TEST(Mutex, KeepsItsOwnCopyOfANonEmptyName) {
  EXPECT_EQ(Mutex("").name(), nullptr);
  char one[] = "a";
  Mutex named(one);
  one[0] = 'z';
  EXPECT_STREQ(named.name(), "a");
}

TEST(Mutex, CountsEachLevelAndALockReleasesItsOwnEvenWhenUnwinding) {
  Mutex mx("levels");
  mx.lock("by hand");
  try {
    Mutex::Lock outer(mx, nullptr);  // the owner never blocks on its own mutex
    Mutex::Lock inner(mx, "inner");
    throw std::runtime_error("leaves the block");
  } catch (const std::runtime_error&) {
  }
  Contender other(mx);
  EXPECT_FALSE(other.acquiredWithin(kBlockedFor)) << "the level taken by hand is still held";
  mx.unlock();
  EXPECT_TRUE(other.acquiredWithin(kGenerous));
}

TEST(Mutex, RefusesAnUnlockByAThreadThatDoesNotOwnIt) {
  Mutex mx("stray");
  try {
    mx.unlock();
    FAIL() << "unlocking a free mutex must raise";
  } catch (const Exception& e) {
    EXPECT_EQ(e.errorCode(), 0);
    EXPECT_FALSE(e.isFatal());
    EXPECT_EQ(e.legend(), "Mutex is not owned by the calling thread.");
  }
  Contender other(mx);
  ASSERT_TRUE(other.acquiredWithin(kGenerous));
  EXPECT_THROW(mx.unlock(), Exception);
  Contender third(mx);
  EXPECT_FALSE(third.acquiredWithin(kBlockedFor)) << "the stray unlock must not free the owner's lock";
  other.release();
  EXPECT_TRUE(third.acquiredWithin(kGenerous));
}

TEST(Mutex, ExcludesOtherThreadsFromTheGuardedBlock) {
  Mutex mx("counter");
  long counter = 0;  // not atomic: only the mutex protects it
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
