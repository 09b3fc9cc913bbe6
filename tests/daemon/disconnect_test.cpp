// SPDX-License-Identifier: MIT
// Ending a connection from several threads at once, and while a send is
// blocked on a daemon that does not read.
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>

#include "daemon_support.h"

namespace {

using namespace dtest;

// Ends in time, or unblocks the client by resetting the daemon's end `s`
// (so that the test can finish) and reports the hang.
bool endsInTime(std::future<void>& done, TestDaemon& daemon, int s) {
  if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
  daemon.reset(s);
  done.wait();
  return false;
}

TEST_F(WithDaemon, ConcurrentDisconnectsEndTheConnectionExactlyOnce) {
  for (int round = 0; round < 20; ++round) {
    DaemonComm comm(recordStatus);
    open(comm);
    std::promise<void> go;
    std::shared_future<void> start = go.get_future().share();
    std::vector<std::future<bool>> calls;
    for (int i = 0; i < 4; ++i)
      calls.push_back(std::async(std::launch::async, [&comm, start] {
        start.wait();
        return comm.disconnect();
      }));
    go.set_value();
    int ended = 0;
    for (std::future<bool>& call : calls) {
      if (call.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // The calls cannot be abandoned while they use the object.
        std::fprintf(stderr, "disconnect hung in round %d\n", round);
        std::_Exit(1);
      }
      ended += call.get() ? 1 : 0;
    }
    EXPECT_EQ(1, ended) << "round " << round;
    EXPECT_FALSE(comm.isConnected());
  }
}

// The callback sends to a daemon that reads nothing, so the send blocks on
// the response thread while it holds the stop lock.
std::atomic<DaemonComm*> gBlocked(nullptr);
std::atomic<int> gSent(-1);
std::atomic<bool> gSending(false);
void sendTooMuch(DaemonComm::Status status, const std::string&) {
  if (status != DaemonComm::MESSAGE) return;
  gSending = true;
  gSent = gBlocked.load()->send(std::string(64u << 20, 'x')) ? 1 : 0;
}

class BlockedSend : public WithDaemon {
 protected:
  // Connects `comm`, starts the blocking send in its callback and returns
  // the daemon's end once the send has filled the connection.
  int block(DaemonComm& comm) {
    gBlocked = &comm;
    gSent = -1;
    gSending = false;
    const int s = open(comm);
    EXPECT_TRUE(TestDaemon::write(s, std::string("go\x04")));
    EXPECT_TRUE(eventually([] { return gSending.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return s;
  }
};

TEST_F(BlockedSend, DisconnectFailsTheCallbacksSendAndReturns) {
  DaemonComm comm(sendTooMuch);
  const int s = block(comm);
  std::future<void> done = std::async(std::launch::async, [&] { EXPECT_TRUE(comm.disconnect()); });
  ASSERT_TRUE(endsInTime(done, daemon, s)) << "disconnect waited for the blocked send";
  EXPECT_EQ(0, gSent.load());
}

TEST_F(BlockedSend, TheDestructorFailsTheCallbacksSendAndReturns) {
  std::unique_ptr<DaemonComm> comm(new DaemonComm(sendTooMuch));
  const int s = block(*comm);
  std::future<void> done = std::async(std::launch::async, [&] { comm.reset(); });
  ASSERT_TRUE(endsInTime(done, daemon, s)) << "the destructor waited for the blocked send";
  EXPECT_EQ(0, gSent.load());
}

TEST_F(WithDaemon, DisconnectFailsASendBlockedOnAnotherThread) {
  DaemonComm comm(recordStatus);
  const int s = open(comm);
  std::future<bool> sent = std::async(std::launch::async, [&] { return comm.send(std::string(64u << 20, 'x')); });
  ASSERT_EQ(std::future_status::timeout, sent.wait_for(std::chrono::milliseconds(300))) << "the send did not block";
  std::future<void> done = std::async(std::launch::async, [&] {
    EXPECT_TRUE(comm.disconnect());
    EXPECT_FALSE(sent.get());
  });
  ASSERT_TRUE(endsInTime(done, daemon, s)) << "disconnect waited for the blocked send";
}

}  // namespace
