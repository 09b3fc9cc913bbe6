// The process-wide logger, levels and copies: the rules that hold on every
// platform, whatever the system log does with the entries.
#include <brimsel/eventlogger.h>

#include "eventcatalogue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

using Brimsel::EventLogger;

namespace {

// Read while the program starts, before any test constructs a logger.
EventLogger* const loggerAtStart = EventLogger::theLogger();

TEST(TheLogger, IsNullBeforeAnyLoggerIsConstructed) { EXPECT_EQ(nullptr, loggerAtStart); }

// Newest wins; copies never become it; destroying the process-wide logger
// leaves none rather than a dangling one, destroying any other changes nothing.
TEST(TheLogger, IsTheNewestLoggerAndNeverACopy) {
  ASSERT_EQ(nullptr, EventLogger::theLogger());
  auto first = std::make_unique<EventLogger>("brimsel-first");
  EXPECT_EQ(first.get(), EventLogger::theLogger());
  auto second = std::make_unique<EventLogger>("brimsel-second");
  EXPECT_EQ(second.get(), EventLogger::theLogger());
  {
    EventLogger copy(*second);
    copy = *first;
    EXPECT_EQ(second.get(), EventLogger::theLogger());
  }
  EXPECT_EQ(second.get(), EventLogger::theLogger());
  first.reset();
  EXPECT_EQ(second.get(), EventLogger::theLogger());
  auto third = std::make_unique<EventLogger>("brimsel-third");
  third.reset();
  EXPECT_EQ(nullptr, EventLogger::theLogger());
  second.reset();
  EXPECT_EQ(nullptr, EventLogger::theLogger());
}

// The category of each layer; categories 2 and 3 share their text, so only
// the numbers tell layers 1 and 2 apart.
TEST(Layers, MapToTheirCategories) {
  using Brimsel::catalogue::categoryOf;
  EXPECT_EQ(1, categoryOf(EventLogger::LAYER_DAL));
  EXPECT_EQ(2, categoryOf(EventLogger::LAYER_DATA));
  EXPECT_EQ(3, categoryOf(EventLogger::LAYER_SERVICE));
  EXPECT_EQ(4, categoryOf(EventLogger::LAYER_CLIENT));
  EXPECT_EQ(4, categoryOf(EventLogger::LAYER_UI));
  EXPECT_EQ(5, categoryOf(EventLogger::LAYER_DAEMON));
  for (int other : {-1, 6, 7, 256, -65536}) {
    EXPECT_EQ(4, categoryOf(other)) << other;
  }
}

}  // namespace

// Sanitizer runtimes bring their own operator new, which must stay in place.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define BRIMSEL_TEST_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define BRIMSEL_TEST_COUNT_ALLOCATIONS 0
#endif
#endif
#if !defined(BRIMSEL_TEST_COUNT_ALLOCATIONS) && !defined(_WIN32)
#define BRIMSEL_TEST_COUNT_ALLOCATIONS 1
#endif

#if BRIMSEL_TEST_COUNT_ALLOCATIONS
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
  if (void* p = std::malloc(size == 0 ? 1 : size)) {
    return p;
  }
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
