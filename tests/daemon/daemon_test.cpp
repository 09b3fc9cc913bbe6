// The connect string, connecting, sending and disconnecting.
#include <brimsel/exception.h>

#include <climits>
#include <future>
#include <thread>

#include "daemon_test.h"

using namespace dtest;
using support::raised;

namespace {

TEST(ConnectString, GrammarAndTheThreeForms) {
  const std::string n(1, '\0');
  const struct {
    std::string text, expected;  // "protocol|host|port|user|password", or "" when it does not parse
  } rows[] = {
      {"proto://hostA:7000x", "proto|hostA|7000||"}, {"proto://:abc", "proto||0||"}, {"proto//hostA:7000", ""}, {"", ""},
      {"alice:a:b@proto://hostA:7000", "proto|hostA|7000|alice|a:b"}, {"u:p@x@proto://h:1", "x@proto|h|1|u|p"},
      {":@p://h:1", "p|h|1||"}, {"alice@proto://hostA:7000", ""}, {"proto:" + n + n + "hostA:7000", "proto|hostA|7000||"},
      {"proto::", ""}, {"proto:/:7000", ""}, {"a:bc:5", "a||5||"}, {"p://h: \t+42", "p|h|42||"}, {"p://h:+-1", "p|h|0||"},
      {"p://h:12" + n + "34", "p|h|12||"}, {"p://h:-99999999999999", "p|h|" + std::to_string(INT_MIN) + "||"},
      {"p://h:99999999999999", "p|h|" + std::to_string(INT_MAX) + "||"}, {"p://h:2147483648", "p|h|2147483647||"}};
  for (const auto& row : rows) {
    DaemonComm comm(nullptr);
    std::string user = "-", password = "-", host = "h0", protocol;
    int port = 1;
    const bool ok = comm.parse(user, password, host, port, row.text, row.expected.substr(0, row.expected.find('|')));
    const std::string got = ok ? comm.protocol() + "|" + host + "|" + std::to_string(port) + "|" + user + "|" + password : "";
    EXPECT_EQ(got, row.expected) << row.text;
    EXPECT_EQ(comm.parse(protocol, host, port, row.text), !row.expected.empty());
    EXPECT_EQ(protocol + host + std::to_string(port) + std::to_string(comm.parsedOk()),
              ok ? comm.protocol() + comm.host() + std::to_string(comm.port()) + "1" : "-10");
  }
  // Another protocol, if only by letter case: false, the outputs alone, the object parsed.
  DaemonComm comm(nullptr);
  std::string user = "u0", password = "p0", host = "h0";
  int port = 1;
  EXPECT_FALSE(comm.parse(user, password, host, port, "bob:pw@Daemon://hostC:82", "daemon"));
  EXPECT_FALSE(comm.parse(user, password, host, port, "other://hostC:82", comm.protocol()));
  EXPECT_EQ(user + password + host + std::to_string(port) + comm.host() + std::to_string(comm.parsedOk()), "u0p0h01hostC1");
}

// After a failure there is no connection, nothing to send, nothing to ping.
std::string connectFailure(DaemonComm& comm) {
  Brimsel::Exception e(0, false, "");
  const std::string outcome = raised([&] { comm.connect(); }, &e);
  EXPECT_TRUE(!e.isFatal() && e.file() == "daemoncomm.cpp" && !comm.isConnected() && !comm.send("x") && !comm.disconnect());
  EXPECT_EQ(raised([&] { comm.createPingRequest(); }), "1002:Client is not connected to daemon");
  return outcome;
}

using Connection = WithDaemon;

TEST_F(Connection, FailuresAndTheirLegends) {
  DaemonComm comm(record);
  EXPECT_EQ(connectFailure(comm), "1001:Connect string has not been parsed");
  int closedPort = 0;
  support::closeSocket(support::listenLoopback(closedPort));  // nothing listens there now
  ASSERT_TRUE(comm.parse("daemon://127.0.0.1:" + std::to_string(closedPort)));
  EXPECT_EQ(connectFailure(comm), "1001:Failed to connect to host");
  ASSERT_TRUE(comm.parse("daemon://no-such-host.invalid:7000"));
  EXPECT_EQ(connectFailure(comm), "1001:Failed to resolve host");
  for (const std::string& port : {std::string("0"), std::string("-1"), std::to_string(server.port() + 65536)}) {
    ASSERT_TRUE(comm.parse("daemon://127.0.0.1:" + port));
    EXPECT_EQ(connectFailure(comm), "1001:Failed to connect to host") << port;  // before any attempt
  }
  EXPECT_EQ(server.accept(100).socket(), -1);
  EXPECT_TRUE(inbox.texts().empty());
}

TEST_F(Connection, SendPingDisconnectAndConnectAgain) {
  DaemonComm comm(record);
  EXPECT_EQ(comm.pingStatus(), DaemonComm::PING_REQUESTED);
  for (const char* host : {"127.0.0.1", "localhost"}) {
    ASSERT_TRUE(comm.parse("daemon://" + std::string(host) + ":" + std::to_string(server.port())) && comm.connect());
    support::Peer peer = server.accept();
    EXPECT_TRUE(comm.isConnected() && comm.createPingRequest() && comm.send("abc") && comm.send(""));
    EXPECT_TRUE(comm.connect()) << "connecting while connected keeps the one connection";
    EXPECT_EQ(server.accept(100).socket(), -1);
    EXPECT_TRUE(comm.send(std::string("n\0l", 3)));
    EXPECT_EQ(peer.messages(3), Messages({"abc", "", std::string("n\0l", 3)}));
    ASSERT_TRUE(peer.write("hello\x04"));
    ASSERT_TRUE(inbox.has(host[0] == '1' ? 1 : 2));
    EXPECT_TRUE(comm.disconnect());
    EXPECT_FALSE(comm.isConnected() || comm.disconnect() || comm.send("gone"));
    EXPECT_TRUE(peer.closedByClient());
  }
  // A disconnect right after connect, before the thread may have run, still ends it.
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(comm.connect() && comm.disconnect());
    EXPECT_TRUE(server.accept().closedByClient());
  }
  EXPECT_EQ(inbox.texts(), Messages({"hello", "hello"}));
  // Destroying a connected object closes its connection and reports nothing.
  auto other = std::make_unique<DaemonComm>(record);
  support::Peer peer = open(*other);
  other.reset();
  EXPECT_TRUE(peer.closedByClient());
  EXPECT_EQ(inbox.texts().size(), 2u);
}

TEST_F(Connection, ConcurrentSendersNeverInterleave) {
  DaemonComm comm(record);
  support::Peer peer = open(comm);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&comm, t] {
      for (int i = 0; i < 40; ++i) comm.send(std::to_string(t) + std::string(30000 + 997 * i, 'a' + t));
    });
  }
  const Messages got = peer.messages(160);  // while they send
  for (std::thread& th : threads) th.join();
  ASSERT_EQ(got.size(), 160u);
  int seen[4] = {};
  for (const std::string& m : got) {
    const int t = m[0] - '0';
    ASSERT_TRUE(t >= 0 && t < 4);
    EXPECT_EQ(m, std::to_string(t) + std::string(30000 + 997 * seen[t]++, 'a' + t));
  }
}

// A connection the server reset gives false sends, never SIGPIPE, though the
// response thread (held in its callback) has not closed the socket yet; a
// sender blocked on a full connection is freed when the connection is lost.
std::shared_future<void> gHeld;
void holdInCallback(DaemonComm::Status status, const std::string& text) {
  record(status, text);
  if (status == DaemonComm::MESSAGE) gHeld.wait_for(support::kPatience);
}

TEST_F(Connection, SendsOnALostConnectionFailAndABlockedSenderIsFreed) {
  std::promise<void> release;
  gHeld = release.get_future().share();
  {
    DaemonComm comm(holdInCallback);
    support::Peer peer = open(comm);
    ASSERT_TRUE(peer.write("hold\x04") && inbox.has(1));
    peer.reset();
    EXPECT_TRUE(support::eventually([&] { return !comm.send("anyone there?"); }));
    release.set_value();
    EXPECT_TRUE(inbox.has(2));
  }
  DaemonComm comm(record);
  support::Peer peer = open(comm);
  std::future<bool> sent = std::async(std::launch::async, [&] { return comm.send(std::string(64u << 20, 'x')); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // lets the send fill the connection
  peer.close();
  ASSERT_TRUE(inbox.has(3));
  const bool freed = support::readyWithin(sent);
  if (!freed) peer.reset();  // unblocks the sender so that the test can end
  ASSERT_TRUE(freed) << "the send stayed blocked after the connection was lost";
  EXPECT_FALSE(sent.get() || comm.disconnect());
}

}  // namespace
