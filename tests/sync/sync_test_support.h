// Helpers for the synchronisation tests: a thread that contends for a mutex,
// with every wait bounded.
#ifndef BRIMSEL_TESTS_SYNC_SUPPORT_H
#define BRIMSEL_TESTS_SYNC_SUPPORT_H

#include <brimsel/mutex.h>

#include <chrono>
#include <future>
#include <thread>

namespace synctest {

using namespace std::chrono_literals;

// Long enough for any scheduler to run a ready thread; only a test that fails
// waits this long.
constexpr std::chrono::milliseconds kGenerous = 10s;
// How long a blocked thread is watched to show that it stays blocked.
constexpr std::chrono::milliseconds kBlockedFor = 150ms;

// A second thread that locks the mutex, reports when it owns it, and unlocks
// when told to (or at destruction). The owner of the test must have freed the
// mutex before the Contender is destroyed.
class Contender {
 public:
  explicit Contender(Brimsel::Mutex& mx) : _mx(mx), _acquiredFuture(_acquired.get_future()) {
    _thread = std::thread([this] {
      _mx.lock("Contender");
      _acquired.set_value();
      _release.get_future().wait_for(kGenerous);
      _mx.unlock();
    });
  }
  ~Contender() {
    if (!_released) _release.set_value();
    _thread.join();
  }
  Contender(const Contender&) = delete;
  Contender& operator=(const Contender&) = delete;

  bool acquiredWithin(std::chrono::milliseconds d) {
    return _acquiredFuture.wait_for(d) == std::future_status::ready;
  }
  void release() {
    _release.set_value();
    _released = true;
  }

 private:
  Brimsel::Mutex& _mx;
  std::promise<void> _acquired;
  std::future<void> _acquiredFuture;
  std::promise<void> _release;
  bool _released = false;
  std::thread _thread;
};

}  // namespace synctest

#endif  // BRIMSEL_TESTS_SYNC_SUPPORT_H
