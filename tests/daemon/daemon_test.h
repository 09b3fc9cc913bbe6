// The daemon client's tests: a record of status callbacks and a fixture with
// a test server on 127.0.0.1. Every wait is bounded.
#ifndef BRIMSEL_TESTS_DAEMON_TEST_H
#define BRIMSEL_TESTS_DAEMON_TEST_H

#include <brimsel/daemoncomm.h>

#include <gtest/gtest.h>

#include <mutex>

#include "loopback.h"
#include "support.h"

namespace dtest {

using Brimsel::DaemonComm;
using Messages = std::vector<std::string>;

// What the status callback was given, in order: messages as they are,
// failures with "!" in front.
class Inbox {
 public:
  void push(DaemonComm::Status status, const std::string& text) {
    std::lock_guard<std::mutex> guard(_mx);
    _texts.push_back(status == DaemonComm::MESSAGE ? text : "!" + text);
  }
  Messages texts() {
    std::lock_guard<std::mutex> guard(_mx);
    return _texts;
  }
  bool has(std::size_t count) {
    return support::eventually([&] { return texts().size() >= count; });
  }

 private:
  std::mutex _mx;
  Messages _texts;
};

inline std::atomic<Inbox*> gInbox(nullptr);
inline void record(DaemonComm::Status status, const std::string& text) {
  if (Inbox* inbox = gInbox.load()) inbox->push(status, text);
}

class WithDaemon : public ::testing::Test {
 protected:
  void SetUp() override { gInbox = &inbox; }
  void TearDown() override { gInbox = nullptr; }
  // Connects `comm` and returns the server's end of the connection.
  support::Peer open(DaemonComm& comm) {
    EXPECT_TRUE(comm.parse(server.connectString()) && comm.connect());
    support::Peer peer = server.accept();
    EXPECT_NE(peer.socket(), -1);
    return peer;
  }
  Inbox inbox;
  support::LoopbackServer server;
};

}  // namespace dtest

#endif  // BRIMSEL_TESTS_DAEMON_TEST_H
