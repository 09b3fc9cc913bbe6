// SPDX-License-Identifier: MIT
// Bounded waits shared by the synchronisation tests.
#ifndef BRIMSEL_TESTS_SYNC_SUPPORT_H
#define BRIMSEL_TESTS_SYNC_SUPPORT_H

#include <chrono>
#include <future>

namespace synctest {

// Long enough for any scheduler to run a ready thread; only a failing test
// waits this long.
constexpr std::chrono::milliseconds kGenerous(10000);
// How long a blocked thread is watched to show that it stays blocked.
constexpr std::chrono::milliseconds kBlockedFor(150);

template <typename T>
bool readyWithin(const std::future<T>& f, std::chrono::milliseconds d) {
  return f.wait_for(d) == std::future_status::ready;
}

}  // namespace synctest

#endif  // BRIMSEL_TESTS_SYNC_SUPPORT_H
