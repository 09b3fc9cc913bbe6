// Connecting, sending, ping and disconnecting against a daemon on 127.0.0.1.
#include <brimsel/daemoncomm.h>
#include <brimsel/exception.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "daemon_support.h"
#include "daemoncomm_internal.h"

using Brimsel::DaemonComm;
using Brimsel::Exception;
using dtest::TestDaemon;

namespace {

class Connection : public ::testing::Test {
 protected:
  void SetUp() override { dtest::gInbox = &inbox; }
  void TearDown() override { dtest::gInbox = nullptr; }

  dtest::Inbox inbox;
  TestDaemon daemon;
};

// The legend connect raised with, or "(none)".
std::string connectFailure(DaemonComm& comm) {
  try {
    comm.connect();
  } catch (const Exception& e) {
    EXPECT_EQ(e.errorCode(), 1001);
    EXPECT_FALSE(e.isFatal());
    EXPECT_NE(e.file().find("daemoncomm"), std::string::npos);
    EXPECT_GT(e.line(), 0);
    return e.legend();
  }
  return "(none)";
}

// After a failed connect there is no connection of any kind.
void expectUnconnected(DaemonComm& comm) {
  EXPECT_FALSE(comm.isConnected());
  EXPECT_FALSE(comm.send("x"));
  EXPECT_FALSE(comm.disconnect());
  try {
    comm.createPingRequest();
    ADD_FAILURE() << "createPingRequest without a connection did not raise";
  } catch (const Exception& e) {
    EXPECT_EQ(e.errorCode(), 1002);
    EXPECT_FALSE(e.isFatal());
    EXPECT_EQ(e.legend(), "Client is not connected to daemon");
  }
}

TEST_F(Connection, ConnectFailuresAndTheirLegends) {
  DaemonComm comm(dtest::recordStatus);
  EXPECT_EQ(connectFailure(comm), "Connect string has not been parsed");
  expectUnconnected(comm);

  // Nothing listens on a port that was just given back.
  int closedPort = 0;
  int probe = Brimsel::platform::listenLoopback(closedPort);
  ASSERT_NE(probe, -1);
  Brimsel::platform::closeSocket(probe);
  ASSERT_TRUE(comm.parse("daemon://127.0.0.1:" + std::to_string(closedPort)));
  EXPECT_EQ(connectFailure(comm), "Failed to connect to host");
  expectUnconnected(comm);

  ASSERT_TRUE(comm.parse("daemon://no-such-host.invalid:7000"));
  EXPECT_EQ(connectFailure(comm), "Failed to resolve host");
  expectUnconnected(comm);

  // Ports the wire cannot carry fail before any attempt: 70000 would
  // otherwise reach port 4464.
  for (const char* port : {"0", "-1", "65536", "70000", "99999999999"}) {
    SCOPED_TRACE(port);
    ASSERT_TRUE(comm.parse(std::string("daemon://127.0.0.1:") + port));
    EXPECT_EQ(connectFailure(comm), "Failed to connect to host");
    expectUnconnected(comm);
  }
  // None of the failures reached the daemon or the callback.
  EXPECT_EQ(daemon.accept(100), -1);
  EXPECT_EQ(inbox.size(), 0u);

  // The settings survive the failures: the same object connects once the
  // connect string is right.
  ASSERT_TRUE(comm.parse(daemon.connectString()));
  EXPECT_TRUE(comm.connect());
  EXPECT_NE(daemon.accept(), -1);
}

TEST_F(Connection, ConnectSendPingDisconnect) {
  DaemonComm comm(dtest::recordStatus);
  EXPECT_EQ(comm.pingStatus(), DaemonComm::PING_REQUESTED);
  ASSERT_TRUE(comm.parse(daemon.connectString()));
  ASSERT_TRUE(comm.connect());
  EXPECT_TRUE(comm.isConnected());
  int s = daemon.accept();
  ASSERT_NE(s, -1);

  EXPECT_TRUE(comm.createPingRequest());
  EXPECT_EQ(comm.pingStatus(), DaemonComm::PING_REQUESTED);

  EXPECT_TRUE(comm.send("abc"));
  EXPECT_TRUE(comm.send(""));
  EXPECT_TRUE(comm.send(std::string("n\0l", 3)));
  EXPECT_EQ(daemon.readBytes(s, 9), std::string("abc\x04\x04n\0l\x04", 9));

  // Connecting again while connected keeps the one connection.
  EXPECT_TRUE(comm.connect());
  EXPECT_EQ(daemon.accept(200), -1);
  EXPECT_TRUE(comm.send("still"));
  EXPECT_EQ(daemon.readMessages(s, 1), std::vector<std::string>{"still"});

  EXPECT_TRUE(comm.disconnect());
  EXPECT_FALSE(comm.isConnected());
  EXPECT_TRUE(daemon.waitClosed(s));
  expectUnconnected(comm);
  // A disconnect is not a failure: the callback heard nothing.
  EXPECT_EQ(inbox.size(), 0u);
}

TEST_F(Connection, HostByName) {
  DaemonComm comm(dtest::recordStatus);
  ASSERT_TRUE(comm.parse("daemon://localhost:" + std::to_string(daemon.port())));
  ASSERT_TRUE(comm.connect());
  int s = daemon.accept();
  ASSERT_NE(s, -1);
  EXPECT_TRUE(comm.send("by name"));
  EXPECT_EQ(daemon.readMessages(s, 1), std::vector<std::string>{"by name"});
}

TEST_F(Connection, ReconnectAfterDisconnect) {
  DaemonComm comm(dtest::recordStatus);
  ASSERT_TRUE(comm.parse(daemon.connectString()));
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    ASSERT_TRUE(comm.connect());
    int s = daemon.accept();
    ASSERT_NE(s, -1);
    ASSERT_TRUE(TestDaemon::write(s, "hello " + std::to_string(round) + "\x04"));
    ASSERT_TRUE(inbox.waitFor(static_cast<std::size_t>(round + 1)));
    EXPECT_EQ(inbox.messages().back(), "hello " + std::to_string(round));
    EXPECT_TRUE(comm.send("bye"));
    EXPECT_EQ(daemon.readMessages(s, 1), std::vector<std::string>{"bye"});
    EXPECT_TRUE(comm.disconnect());
    EXPECT_TRUE(daemon.waitClosed(s));
  }
  EXPECT_EQ(inbox.size(), 3u);
}

TEST_F(Connection, ConcurrentSendersNeverInterleave) {
  DaemonComm comm(dtest::recordStatus);
  ASSERT_TRUE(comm.parse(daemon.connectString()));
  ASSERT_TRUE(comm.connect());
  int s = daemon.accept();
  ASSERT_NE(s, -1);

  // Long messages, so that the kernel splits writes and a sender without a
  // lock would interleave its bytes with another's.
  const int senders = 4, each = 50;
  std::vector<std::thread> threads;
  std::atomic<int> failed(0);
  for (int t = 0; t < senders; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < each; ++i) {
        std::string body(20000 + 997 * i, static_cast<char>('a' + t));
        if (!comm.send(std::to_string(t) + ":" + std::to_string(i) + ":" + body)) ++failed;
      }
    });
  }
  // Read while they send, or they would block on a full connection.
  std::vector<std::string> got = daemon.readMessages(s, senders * each);
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(failed.load(), 0);
  ASSERT_EQ(got.size(), static_cast<std::size_t>(senders * each));
  std::vector<int> next(senders, 0);
  for (const std::string& m : got) {
    std::size_t c1 = m.find(':'), c2 = m.find(':', c1 + 1);
    ASSERT_NE(c2, std::string::npos);
    int t = std::stoi(m.substr(0, c1)), i = std::stoi(m.substr(c1 + 1, c2 - c1 - 1));
    ASSERT_TRUE(t >= 0 && t < senders);
    EXPECT_EQ(i, next[t]++) << "messages of one sender out of order";
    std::string body = m.substr(c2 + 1);
    EXPECT_EQ(body.size(), static_cast<std::size_t>(20000 + 997 * i));
    EXPECT_EQ(body.find_first_not_of(static_cast<char>('a' + t)), std::string::npos);
  }
}

TEST_F(Connection, SendAfterTheDaemonWentAwayFailsQuietly) {
  DaemonComm comm(dtest::recordStatus);
  ASSERT_TRUE(comm.parse(daemon.connectString()));
  ASSERT_TRUE(comm.connect());
  int s = daemon.accept();
  ASSERT_NE(s, -1);
  daemon.close(s);
  // Writing into a connection the peer closed would raise SIGPIPE and kill
  // the test program; send must answer false instead, at the latest once the
  // loss has been noticed.
  bool sawFalse = dtest::eventually([&] { return !comm.send("anyone there?"); });
  EXPECT_TRUE(sawFalse);
  ASSERT_TRUE(inbox.waitFor(1));
  EXPECT_EQ(inbox.reports()[0].status, DaemonComm::FAILURE);
  EXPECT_FALSE(comm.isConnected());
  EXPECT_FALSE(comm.send("still?"));
}

TEST_F(Connection, DestroyWhileConnected) {
  int s;
  {
    DaemonComm comm(dtest::recordStatus);
    ASSERT_TRUE(comm.parse(daemon.connectString()));
    ASSERT_TRUE(comm.connect());
    s = daemon.accept();
    ASSERT_NE(s, -1);
  }
  EXPECT_TRUE(daemon.waitClosed(s));
  EXPECT_EQ(inbox.size(), 0u);
}

TEST_F(Connection, DisconnectRightAfterConnect) {
  // The thread may not have run yet: it must end all the same, and a new
  // connection must not meet the old thread.
  DaemonComm comm(dtest::recordStatus);
  ASSERT_TRUE(comm.parse(daemon.connectString()));
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(comm.connect());
    EXPECT_TRUE(comm.disconnect());
    int s = daemon.accept();
    ASSERT_NE(s, -1);
    EXPECT_TRUE(daemon.waitClosed(s));
  }
  ASSERT_TRUE(comm.connect());
  int s = daemon.accept();
  ASSERT_TRUE(TestDaemon::write(s, "after\x04"));
  ASSERT_TRUE(inbox.waitFor(1));
  EXPECT_EQ(inbox.messages(), std::vector<std::string>{"after"});
}

TEST_F(Connection, SocketsStartOncePerProcess) {
  DaemonComm first(nullptr);
  int started = Brimsel::detail::socketStartCount();
  EXPECT_EQ(started, 1);
  {
    DaemonComm second(nullptr), third(nullptr);
  }
  EXPECT_EQ(Brimsel::detail::socketStartCount(), started);
}

}  // namespace
