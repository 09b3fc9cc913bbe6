// SPDX-License-Identifier: MIT
// An in-process daemon on 127.0.0.1 and a record of status callbacks, for the
// daemon client's tests. Every wait is bounded.
#ifndef BRIMSEL_TESTS_DAEMON_SUPPORT_H
#define BRIMSEL_TESTS_DAEMON_SUPPORT_H

#include <brimsel/daemoncomm.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace dtest {

using Brimsel::DaemonComm;
namespace platform = Brimsel::platform;
using Messages = std::vector<std::string>;

// Generous: the Windows build runs under Wine, and the sanitizers are slow.
constexpr int kWaitMs = 10000;

struct Report {
  DaemonComm::Status status;
  std::string text;
};

// What the status callback was given, in order.
class Inbox {
 public:
  void push(DaemonComm::Status status, const std::string& text) {
    std::lock_guard<std::mutex> guard(_mx);
    _reports.push_back(Report{status, text});
    _cv.notify_all();
  }
  bool waitFor(std::size_t count, int timeoutMs = kWaitMs) {
    std::unique_lock<std::mutex> guard(_mx);
    return _cv.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return _reports.size() >= count; });
  }
  std::vector<Report> reports() {
    std::lock_guard<std::mutex> guard(_mx);
    return _reports;
  }
  Messages messages() {
    Messages texts;
    for (const Report& r : reports())
      if (r.status == DaemonComm::MESSAGE) texts.push_back(r.text);
    return texts;
  }
  std::size_t size() { return reports().size(); }

 private:
  std::mutex _mx;
  std::condition_variable _cv;
  std::vector<Report> _reports;
};

// The tests' status callback records into the inbox set here.
inline std::atomic<Inbox*> gInbox(nullptr);
inline void recordStatus(DaemonComm::Status status, const std::string& text) {
  if (Inbox* inbox = gInbox.load()) inbox->push(status, text);
}

template <typename Condition>
bool eventually(Condition condition, int timeoutMs = kWaitMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A daemon the test drives by hand: it listens at a port the system chooses
// and hands each accepted connection's socket to the test.
class TestDaemon {
 public:
  TestDaemon() {
    DaemonComm starter(nullptr);  // starts Windows Sockets
    _nListener = platform::listenLoopback(_nPort);
    if (_nListener == -1) throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  ~TestDaemon() {
    for (int s : _open) platform::closeSocket(s);
    platform::closeSocket(_nListener);
  }
  int port() const { return _nPort; }
  std::string connectString() const { return "daemon://127.0.0.1:" + std::to_string(_nPort); }

  // The next client connection, or -1 when none comes in time.
  int accept(int timeoutMs = kWaitMs) {
    int s = platform::acceptConnection(_nListener, timeoutMs);
    if (s != -1) {
      platform::setNoDelay(s);
      _open.push_back(s);
    }
    return s;
  }
  static bool write(int s, const std::string& bytes) { return platform::sendAll(s, bytes.data(), bytes.size()); }
  // The next `count` messages the client sent (terminators removed); fewer
  // when it closed or the time ran out.
  Messages read(int s, std::size_t count) {
    Messages got;
    std::size_t end;
    while (got.size() < count) {
      if ((end = _pending.find('\x04')) != std::string::npos) {
        got.push_back(_pending.substr(0, end));
        _pending.erase(0, end + 1);
      } else if (!receive(s)) {
        break;
      }
    }
    return got;
  }
  // True when the client closes `s` in time (what it sent is dropped).
  bool waitClosed(int s) {
    while (receive(s)) _pending.clear();
    return _bClosed;
  }
  void close(int s) { platform::shutdownSocket(s, 1); }
  void reset(int s) {
    _open.erase(std::remove(_open.begin(), _open.end(), s), _open.end());
    platform::closeWithReset(s);
  }

 private:
  bool receive(int s) {
    char buffer[65536];
    _bClosed = false;
    if (!platform::waitForData(s, kWaitMs)) return false;
    long n = platform::receiveBlocking(s, buffer, sizeof buffer);
    if (n > 0) _pending.append(buffer, static_cast<std::size_t>(n));
    _bClosed = n <= 0;
    return n > 0;
  }

  int _nListener = -1;
  int _nPort = 0;
  std::vector<int> _open;
  std::string _pending;  // bytes read beyond the last message (one client at a time)
  bool _bClosed = false;
};

// The fixture of the tests that talk to the daemon.
class WithDaemon : public ::testing::Test {
 protected:
  void SetUp() override { gInbox = &inbox; }
  void TearDown() override { gInbox = nullptr; }
  // Connects `comm` and returns the daemon's end of the connection.
  int open(DaemonComm& comm) {
    EXPECT_TRUE(comm.parse(daemon.connectString()));
    EXPECT_TRUE(comm.connect());
    int s = daemon.accept();
    EXPECT_NE(s, -1);
    return s;
  }

  Inbox inbox;
  TestDaemon daemon;
};

}  // namespace dtest

#endif  // BRIMSEL_TESTS_DAEMON_SUPPORT_H
