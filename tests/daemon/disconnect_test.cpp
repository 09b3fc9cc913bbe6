// Ending a connection from several threads at once, and while a send is
// blocked on a peer that reads nothing.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "daemon_test.h"

namespace {

using namespace dtest;

// Ends in time, or resets the peer (which frees the client, so that the test
// can finish) and reports the hang.
bool endsInTime(std::future<void>& done, support::Peer& peer) {
  if (support::readyWithin(done, std::chrono::seconds(5))) return true;
  peer.reset();
  done.wait();
  return false;
}

TEST_F(WithDaemon, ConcurrentDisconnectsEndTheConnectionExactlyOnce) {
  for (int round = 0; round < 20; ++round) {
    DaemonComm comm(record);
    support::Peer peer = open(comm);
    std::promise<void> go;
    std::shared_future<void> start = go.get_future().share();
    std::vector<std::future<bool>> calls;
    for (int i = 0; i < 4; ++i) {
      calls.push_back(std::async(std::launch::async, [&comm, start] { return start.wait(), comm.disconnect(); }));
    }
    go.set_value();
    int ended = 0;
    for (std::future<bool>& call : calls) {
      if (!support::readyWithin(call, std::chrono::seconds(5))) {
        std::fprintf(stderr, "disconnect hung in round %d\n", round);  // the calls still use the object
        std::_Exit(1);
      }
      ended += call.get() ? 1 : 0;
    }
    EXPECT_EQ(1, ended) << "round " << round;
  }
}

// The callback sends to a peer that reads nothing, so the send blocks on the
// response thread while it holds the stop lock; disconnect and the
// destructor must fail that send and return.
std::atomic<DaemonComm*> gComm(nullptr);
std::atomic<int> gSent(-1);
void sendTooMuch(DaemonComm::Status status, const std::string&) {
  if (status == DaemonComm::MESSAGE) gSent = gComm.load()->send(std::string(64u << 20, 'x')) ? 1 : 2;
}

TEST_F(WithDaemon, ASendBlockedInTheCallbackFailsOnDisconnectAndDestruction) {
  for (bool destroy : {false, true}) {
    std::unique_ptr<DaemonComm> comm(new DaemonComm(sendTooMuch));
    gComm = comm.get();
    gSent = 0;
    support::Peer peer = open(*comm);
    ASSERT_TRUE(peer.write("go\x04"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // lets the send fill the connection
    ASSERT_EQ(0, gSent.load()) << "the send did not block";
    std::future<void> done = std::async(std::launch::async, [&] { destroy ? comm.reset() : void(comm->disconnect()); });
    ASSERT_TRUE(endsInTime(done, peer)) << (destroy ? "the destructor" : "disconnect") << " waited for the send";
    EXPECT_EQ(2, gSent.load());
  }
}

TEST_F(WithDaemon, DisconnectFailsASendBlockedOnAnotherThread) {
  DaemonComm comm(record);
  support::Peer peer = open(comm);
  std::future<bool> sent = std::async(std::launch::async, [&] { return comm.send(std::string(64u << 20, 'x')); });
  ASSERT_FALSE(support::readyWithin(sent, std::chrono::milliseconds(300))) << "the send did not block";
  std::future<void> done = std::async(std::launch::async, [&] { EXPECT_TRUE(comm.disconnect() && !sent.get()); });
  ASSERT_TRUE(endsInTime(done, peer)) << "disconnect waited for the send";
}

}  // namespace
