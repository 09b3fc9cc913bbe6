#include <brimsel/exception.h>
#include <brimsel/mutex.h>

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <thread>
#include <type_traits>
#include <vector>

#include "sync_test_support.h"

using Brimsel::Exception;
using Brimsel::Mutex;
using synctest::Contender;
using synctest::kBlockedFor;
using synctest::kGenerous;

static_assert(!std::is_copy_constructible<Mutex>::value, "a mutex is never copied");
static_assert(!std::is_copy_assignable<Mutex>::value, "a mutex is never assigned");
static_assert(!std::is_copy_constructible<Mutex::Lock>::value, "a copied lock would unlock twice");
static_assert(!std::is_copy_assignable<Mutex::Lock>::value, "a lock is never assigned");
static_assert(std::has_virtual_destructor<Mutex>::value && std::has_virtual_destructor<Mutex::Lock>::value,
              "both are meant to be derived from");

TEST(MutexName, NullAndEmptyKeepNoCopyOtherwiseAPrivateOne) {
  Mutex unnamed(nullptr);
  Mutex empty("");
  EXPECT_EQ(unnamed.name(), nullptr);
  EXPECT_EQ(empty.name(), nullptr);

  char one[] = "a";
  Mutex single(one);
  ASSERT_NE(single.name(), nullptr);
  EXPECT_NE(single.name(), one) << "the caller's buffer is not kept";
  one[0] = 'z';
  EXPECT_STREQ(single.name(), "a");

  std::vector<char> buffer(300, 'n');
  buffer.back() = '\0';
  Mutex longName(buffer.data());
  buffer.assign(buffer.size(), '\0');
  EXPECT_EQ(std::strlen(longName.name()), 299u);
  EXPECT_EQ(longName.name()[298], 'n');
}

TEST(MutexOwnership, RecursionIsCountedAcrossThreads) {
  Mutex mx("recursion");
  mx.lock("first");
  mx.lock(nullptr);  // the owner never blocks on its own mutex
  mx.unlock();
  {
    Contender other(mx);
    EXPECT_FALSE(other.acquiredWithin(kBlockedFor)) << "one level is still held";
    mx.unlock();
    EXPECT_TRUE(other.acquiredWithin(kGenerous)) << "the second unlock frees the mutex";
    // Now the other thread owns it; ours may not unlock it and may not take it.
    EXPECT_THROW(mx.unlock(), Exception);
    other.release();
  }
  // Free again: a fresh contender gets it at once.
  Contender third(mx);
  EXPECT_TRUE(third.acquiredWithin(kGenerous));
}

TEST(MutexOwnership, UnlockByANonOwnerIsRefusedAndChangesNothing) {
  Mutex mx("stray");
  try {
    mx.unlock();  // free mutex
    FAIL() << "unlock of a free mutex must raise";
  } catch (const Exception& e) {
    EXPECT_EQ(e.errorCode(), 0);
    EXPECT_FALSE(e.isFatal());
    EXPECT_EQ(e.legend(), "Mutex is not owned by the calling thread.");
  }

  mx.lock("owner");
  bool strayRaised = false;
  std::thread stray([&] {
    try {
      mx.unlock();
    } catch (const Exception&) {
      strayRaised = true;
    }
  });
  stray.join();
  EXPECT_TRUE(strayRaised);
  {
    Contender other(mx);
    EXPECT_FALSE(other.acquiredWithin(kBlockedFor)) << "the stray unlock must not free it";
    mx.unlock();
    EXPECT_TRUE(other.acquiredWithin(kGenerous));
  }
}

TEST(MutexLock, ReleasesExactlyTheLevelItTook) {
  Mutex mx("guard");
  mx.lock("outer, by hand");
  {
    Mutex::Lock guard(mx, "inner");
    Mutex::Lock again(mx, nullptr);
  }
  Contender other(mx);
  EXPECT_FALSE(other.acquiredWithin(kBlockedFor)) << "the hand-taken level remains";
  mx.unlock();
  EXPECT_TRUE(other.acquiredWithin(kGenerous));
}

TEST(MutexLock, IsReleasedBeforeAnExceptionReachesTheCaller) {
  Mutex mx("unwinding");
  auto guarded = [&mx] {
    Mutex::Lock guard(mx, "guarded");
    throw std::runtime_error("leaves the block");
  };
  EXPECT_THROW(guarded(), std::runtime_error);
  Contender other(mx);
  EXPECT_TRUE(other.acquiredWithin(kGenerous)) << "the lock must not outlive the block";
}

TEST(MutexLock, ExcludesOtherThreadsFromTheGuardedBlock) {
  Mutex mx("counter");
  long counter = 0;  // deliberately not atomic: only the mutex protects it
  constexpr int kThreads = 4;
  constexpr int kRounds = 20000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        Mutex::Lock outer(mx, "outer");
        const long seen = counter;
        {
          Mutex::Lock inner(mx, "inner");
          counter = seen + 1;
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
}
