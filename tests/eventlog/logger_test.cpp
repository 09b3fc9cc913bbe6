// SPDX-License-Identifier: MIT
// The process-wide logger and the level filter: the rules that hold on every
// platform, whatever the system log does with the entries.
#include "eventlog_test.h"

#include <cstdlib>
#include <new>

using Brimsel::EventLogger;

namespace {

// Read while the program starts, before any test constructs a logger.
EventLogger* const loggerAtStart = EventLogger::theLogger();

// Null before any; newest wins; copies never become it; destroying the
// process-wide logger leaves none rather than a dangling one, destroying any
// other changes nothing.
TEST(TheLogger, IsTheNewestLoggerAndNeverACopy) {
  EXPECT_EQ(nullptr, loggerAtStart);
  ASSERT_EQ(nullptr, EventLogger::theLogger());
  auto first = std::make_unique<EventLogger>("brimsel-first");
  EXPECT_EQ(first.get(), EventLogger::theLogger());
  auto second = std::make_unique<EventLogger>("brimsel-second");
  {
    EventLogger copy(*second);
    copy = *first;
    EXPECT_EQ(second.get(), EventLogger::theLogger());
  }
  EXPECT_EQ(second.get(), EventLogger::theLogger());
  first.reset();
  EXPECT_EQ(second.get(), EventLogger::theLogger());
  std::make_unique<EventLogger>("brimsel-third").reset();
  EXPECT_EQ(nullptr, EventLogger::theLogger());
}

}  // namespace

// Sanitizer runtimes bring their own operator new, which must stay in place.
#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// On Linux the library's allocations go through this program's operator new,
// so a filtered-out call that allocated would be seen here.
namespace {
std::atomic<long> allocations{0};
}

// GCC takes the free() below for a mismatch with the malloc() it sees
// inlined into operator new; both halves are replaced together here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(Levels, FilteredCallsDoNotAllocate) {
  EventLogger logger("brimsel-no-allocation");
  const std::string text(100, 'x');  // longer than any short-string buffer
  const long before = allocations.load();
  for (int i = 0; i < 100; ++i) {
    EXPECT_FALSE(logger.logMessage(text, EventLogger::LAYER_UI));
    EXPECT_FALSE(logger.logDebug(text, EventLogger::LAYER_CLIENT));
    EXPECT_FALSE(logger.logTrace(text, EventLogger::LAYER_DAEMON));
  }
  EXPECT_EQ(before, allocations.load());
}

}  // namespace
#endif
