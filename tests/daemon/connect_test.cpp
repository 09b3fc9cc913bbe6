// SPDX-License-Identifier: MIT
// Connecting, sending, ping and disconnecting against a daemon on 127.0.0.1.
#include <brimsel/daemoncomm.h>
#include <brimsel/exception.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "daemon_support.h"
#include "daemoncomm_internal.h"

using Brimsel::Exception;
using namespace dtest;

namespace {

using Connection = WithDaemon;

// The legend connect raised with; the object is left without a connection.
std::string connectFailure(DaemonComm& comm) {
  std::string legend = "(none)";
  try {
    comm.connect();
  } catch (const Exception& e) {
    EXPECT_EQ(e.errorCode(), 1001);
    EXPECT_FALSE(e.isFatal());
    EXPECT_EQ(e.file(), "daemoncomm.cpp");
    legend = e.legend();
  }
  EXPECT_FALSE(comm.isConnected());
  EXPECT_FALSE(comm.send("x"));
  EXPECT_FALSE(comm.disconnect());
  try {
    comm.createPingRequest();
    ADD_FAILURE() << "a ping request without a connection";
  } catch (const Exception& e) {
    EXPECT_EQ(e.errorCode(), 1002);
    EXPECT_EQ(e.legend(), "Client is not connected to daemon");
  }
  return legend;
}

TEST_F(Connection, FailuresAndTheirLegends) {
  DaemonComm comm(recordStatus);
  EXPECT_EQ(connectFailure(comm), "Connect string has not been parsed");
  int closedPort = 0;
  platform::closeSocket(platform::listenLoopback(closedPort));  // nothing listens there now
  ASSERT_TRUE(comm.parse("daemon://127.0.0.1:" + std::to_string(closedPort)));
  EXPECT_EQ(connectFailure(comm), "Failed to connect to host");
  ASSERT_TRUE(comm.parse("daemon://no-such-host.invalid:7000"));
  EXPECT_EQ(connectFailure(comm), "Failed to resolve host");
  // Ports the wire cannot carry fail before any attempt (70000 would reach 4464).
  for (const char* port : {"0", "-1", "65536", "70000"}) {
    ASSERT_TRUE(comm.parse(std::string("daemon://127.0.0.1:") + port));
    EXPECT_EQ(connectFailure(comm), "Failed to connect to host") << port;
  }
  EXPECT_EQ(daemon.accept(100), -1);
  EXPECT_EQ(inbox.size(), 0u);
  // Several objects, one start of the platform's sockets.
  DaemonComm other(nullptr);
  EXPECT_EQ(Brimsel::detail::socketStartCount(), 1);
}

TEST_F(Connection, SendPingDisconnectAndConnectAgain) {
  DaemonComm comm(recordStatus);
  EXPECT_EQ(comm.pingStatus(), DaemonComm::PING_REQUESTED);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    // By address, then by name over a new connection.
    std::string host = round == 1 ? "localhost" : "127.0.0.1";
    ASSERT_TRUE(comm.parse("daemon://" + host + ":" + std::to_string(daemon.port())));
    ASSERT_TRUE(comm.connect());
    EXPECT_TRUE(comm.isConnected());
    int s = daemon.accept();
    ASSERT_NE(s, -1);
    EXPECT_TRUE(comm.createPingRequest());
    EXPECT_TRUE(comm.send("abc"));
    EXPECT_TRUE(comm.send(""));
    // Connecting while connected keeps the one connection.
    EXPECT_TRUE(comm.connect());
    EXPECT_EQ(daemon.accept(100), -1);
    EXPECT_TRUE(comm.send(std::string("n\0l", 3)));
    EXPECT_EQ(daemon.read(s, 3), (Messages{"abc", "", std::string("n\0l", 3)}));
    ASSERT_TRUE(TestDaemon::write(s, "hello\x04"));
    ASSERT_TRUE(inbox.waitFor(static_cast<std::size_t>(round + 1)));
    EXPECT_TRUE(comm.disconnect());
    EXPECT_FALSE(comm.isConnected());
    EXPECT_FALSE(comm.disconnect());
    EXPECT_FALSE(comm.send("gone"));
    EXPECT_TRUE(daemon.waitClosed(s));
  }
  // A disconnect right after connect, before the thread may have run, still
  // ends it; the next connection never meets an old thread.
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(comm.connect());
    EXPECT_TRUE(comm.disconnect());
    EXPECT_TRUE(daemon.waitClosed(daemon.accept()));
  }
  EXPECT_EQ(inbox.messages(), (Messages{"hello", "hello"}));
}

TEST_F(Connection, ConcurrentSendersNeverInterleave) {
  DaemonComm comm(recordStatus);
  int s = open(comm);
  // Long messages, which the system writes in several pieces.
  const int senders = 4, each = 40;
  std::vector<std::thread> threads;
  for (int t = 0; t < senders; ++t)
    threads.emplace_back([&comm, t] {
      for (int i = 0; i < each; ++i) comm.send(std::to_string(t) + std::string(30000 + 997 * i, 'a' + t));
    });
  Messages got = daemon.read(s, senders * each);  // while they send
  for (std::thread& th : threads) th.join();
  ASSERT_EQ(got.size(), static_cast<std::size_t>(senders * each));
  std::vector<int> seen(senders, 0);
  for (const std::string& m : got) {
    int t = m[0] - '0';
    ASSERT_TRUE(t >= 0 && t < senders);
    EXPECT_EQ(m, std::to_string(t) + std::string(30000 + 997 * seen[t]++, 'a' + t));
  }
}

// Records, then holds the response thread in the callback until released.
std::shared_future<void> gHeld;
void holdInCallback(DaemonComm::Status status, const std::string& text) {
  recordStatus(status, text);
  if (status == DaemonComm::MESSAGE) gHeld.wait_for(std::chrono::milliseconds(kWaitMs));
}

TEST_F(Connection, SendAfterTheDaemonWentAwayIsFalseWithoutSignal) {
  {
    std::promise<void> release;
    gHeld = release.get_future().share();
    DaemonComm comm(holdInCallback);
    int s = open(comm);
    ASSERT_TRUE(TestDaemon::write(s, "hold\x04"));
    ASSERT_TRUE(inbox.waitFor(1));
    daemon.reset(s);
    // The response thread is held, so the socket is still open: a write into
    // a connection the peer reset would raise SIGPIPE and end this program.
    EXPECT_TRUE(eventually([&] { return !comm.send("anyone there?"); }));
    EXPECT_FALSE(comm.send("still there?"));
    release.set_value();
    EXPECT_TRUE(inbox.waitFor(2));
  }
  // Destroying a connected object closes its connection and reports nothing.
  int s;
  {
    DaemonComm comm(recordStatus);
    s = open(comm);
  }
  EXPECT_TRUE(daemon.waitClosed(s));
  EXPECT_EQ(inbox.size(), 2u);
}

// A sender blocked on a connection the daemon no longer reads must be freed
// when the connection is lost, or the response thread (which closes the
// socket under the send lock) and every later disconnect would wait forever.
TEST_F(Connection, ALostConnectionFreesASenderBlockedOnAFullConnection) {
  DaemonComm comm(recordStatus);
  int s = open(comm);
  std::atomic<int> sent(-1);
  std::thread sender([&] { sent = comm.send(std::string(64u << 20, 'x')) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let the send fill the connection
  daemon.close(s);
  ASSERT_TRUE(inbox.waitFor(1));
  EXPECT_EQ(inbox.reports()[0].status, DaemonComm::FAILURE);
  const bool freed = eventually([&] { return sent.load() != -1; });
  if (!freed) daemon.reset(s);  // unblocks the sender so that the test can end
  sender.join();
  ASSERT_TRUE(freed) << "the send stayed blocked after the connection was lost";
  EXPECT_EQ(sent.load(), 0);
  EXPECT_FALSE(comm.disconnect());
}

}  // namespace
