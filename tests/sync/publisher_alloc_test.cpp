// SPDX-License-Identifier: MIT
// Whether Publisher::changed allocates: this program replaces the global
// allocation functions to count the calls made on each thread. Where the
// platform lets a program replace them for the libraries it loads (ELF), the
// count includes the library's own allocations; elsewhere the test is skipped.
#include <brimsel/publisher.h>
#include <brimsel/subscriber.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {
thread_local long tAllocations = 0;
}  // namespace

// Every plain (not over-aligned) form, so that no block is freed by another
// family's function than the one that allocated it.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  ++tAllocations;
  return std::malloc(n != 0 ? n : 1);
}
void* operator new(std::size_t n) {
  if (void* p = operator new(n, std::nothrow)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return operator new(n, std::nothrow); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

TEST(PublisherAllocation, ChangedAllocatesNothingWhileTheSetIsUnchanged) {
#if defined(_WIN32)
  GTEST_SKIP() << "a DLL keeps its own allocation functions";
#else
  struct Quiet : Brimsel::Subscriber {
    void notify(Brimsel::Publisher*, int, void*) override { ++calls; }
    long calls = 0;
  } subs[10];
  Brimsel::Publisher p;
  long before = tAllocations;
  for (Quiet& s : subs) p.addSubscriber(&s);
  ASSERT_GT(tAllocations, before) << "the count must include the library's allocations";
  p.removeSubscriber(&subs[3]);
  before = tAllocations;
  for (int i = 0; i < 100; ++i) p.changed(nullptr);
  EXPECT_EQ(tAllocations, before);
  EXPECT_EQ(subs[0].calls + subs[3].calls, 100);
  for (Quiet& s : subs) p.removeSubscriber(&s);
#endif
}
