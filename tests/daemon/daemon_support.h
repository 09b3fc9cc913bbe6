// An in-process daemon on 127.0.0.1 and a thread-safe record of status
// callbacks, for the tests of the daemon client. Every wait is bounded.
#ifndef BRIMSEL_TESTS_DAEMON_SUPPORT_H
#define BRIMSEL_TESTS_DAEMON_SUPPORT_H

#include <brimsel/daemoncomm.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <string>
#include <utility>
#include <vector>

#include "platform/socket.h"

namespace dtest {

// The upper bound of any single wait in these tests; generous because the
// Windows build runs under Wine and the sanitizers slow everything down.
constexpr int kWaitMs = 10000;

struct Report {
  Brimsel::DaemonComm::Status status;
  std::string text;
};

// What the status callback was given, in order.
class Inbox {
 public:
  void push(Brimsel::DaemonComm::Status status, const std::string& text);
  // Waits until at least `count` reports have arrived; false after kWaitMs.
  bool waitFor(std::size_t count, int timeoutMs = kWaitMs);
  std::vector<Report> reports();
  std::vector<std::string> messages();  // the MESSAGE texts alone
  std::size_t size();

 private:
  std::mutex _mx;
  std::condition_variable _cv;
  std::vector<Report> _reports;
};

// The status callback of the tests: records into the inbox set here.
extern std::atomic<Inbox*> gInbox;
void recordStatus(Brimsel::DaemonComm::Status status, const std::string& text);

// A daemon the test drives by hand: it listens on 127.0.0.1 at a port the
// system chooses and hands each accepted connection's socket to the test.
class TestDaemon {
 public:
  TestDaemon();
  ~TestDaemon();
  TestDaemon(const TestDaemon&) = delete;
  TestDaemon& operator=(const TestDaemon&) = delete;

  int port() const { return _nPort; }
  std::string connectString() const;

  // The next client connection, or -1 when none came within `timeoutMs`.
  int accept(int timeoutMs = kWaitMs);
  static bool write(int s, const std::string& bytes);
  // The next `count` messages the client sent on `s` (without terminators);
  // fewer when the client closed or the time ran out.
  std::vector<std::string> readMessages(int s, std::size_t count, int timeoutMs = kWaitMs);
  // Exactly `count` raw bytes, or fewer on close or time-out.
  std::string readBytes(int s, std::size_t count, int timeoutMs = kWaitMs);
  // True when the client closes `s` within `timeoutMs` (data is discarded).
  bool waitClosed(int s, int timeoutMs = kWaitMs);
  // Orderly close, or a reset.
  void close(int s);
  void reset(int s);

 private:
  int _nListener = -1;
  int _nPort = 0;
  std::vector<int> _open;
  std::map<int, std::string> _pending;  // bytes read beyond the last message
};

// Waits until `condition` holds, at most `timeoutMs`.
template <typename Condition>
bool eventually(Condition condition, int timeoutMs = kWaitMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace dtest

#endif  // BRIMSEL_TESTS_DAEMON_SUPPORT_H
