// SPDX-License-Identifier: MIT
// What every test family needs: the outcome of a call that may raise, and
// bounded waits. Nothing here waits without a limit.
#ifndef BRIMSEL_TESTS_SUPPORT_H
#define BRIMSEL_TESTS_SUPPORT_H

#include <brimsel/exception.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

namespace support {

// How long a test waits for what must happen (long enough for Wine and the
// sanitizers; only a failing test waits this long), and how long it watches
// for what must not happen.
constexpr std::chrono::milliseconds kPatience(10000), kWhile(150);

// "ok" when `f` returns, "<code>:<legend>" of the Brimsel::Exception it
// raises, which is also copied to `caught` when given (for its fatal flag
// and location). Other exceptions pass through.
template <class F>
std::string raised(F&& f, Brimsel::Exception* caught = nullptr) {
  try {
    f();
    return "ok";
  } catch (const Brimsel::Exception& e) {
    if (caught != nullptr) *caught = e;
    return std::to_string(e.errorCode()) + ":" + e.legend();
  }
}

// Polls `done` until it holds or `limit` has passed; whether it held.
template <class Done>
bool eventually(Done done, std::chrono::milliseconds limit = kPatience) {
  for (const auto deadline = std::chrono::steady_clock::now() + limit; !done();) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

template <class T>
bool readyWithin(const std::future<T>& f, std::chrono::milliseconds limit = kPatience) {
  return f.wait_for(limit) == std::future_status::ready;
}

// What `f` returns, run on a thread of its own. A call that has not returned
// within `limit` ends the program: its thread still uses the test's objects.
template <class F>
auto endsInTime(F f, const char* what, std::chrono::milliseconds limit = kPatience) {
  auto done = std::async(std::launch::async, f);
  if (!readyWithin(done, limit)) {
    std::fprintf(stderr, "%s did not return\n", what);
    std::_Exit(1);
  }
  return done.get();
}

}  // namespace support

#endif  // BRIMSEL_TESTS_SUPPORT_H
