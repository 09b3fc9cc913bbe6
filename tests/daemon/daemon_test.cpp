// SPDX-License-Identifier: MIT
// DaemonComm against a test server on 127.0.0.1: the connect string,
// connecting and sending, the response thread, and ending a connection from
// several threads at once. Every wait is bounded.
#include <brimsel/daemoncomm.h>
#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>
#include <gtest/gtest.h>

#include <climits>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "loopback.h"
#include "support.h"

#if !defined(_WIN32)
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "child.h"
#include "eventlogger_internal.h"
#endif

using Brimsel::DaemonComm;
using Messages = std::vector<std::string>;
using support::raised;

namespace {

// What the status callback was given, in order: messages as they are,
// failures with "!" in front.
std::mutex gMx;
Messages gTexts;
void record(DaemonComm::Status status, const std::string& text) {
  std::lock_guard<std::mutex> guard(gMx);
  gTexts.push_back(status == DaemonComm::MESSAGE ? text : "!" + text);
}
Messages texts() {
  std::lock_guard<std::mutex> guard(gMx);
  return gTexts;
}
bool has(std::size_t count) {
  return support::eventually([&] { return texts().size() >= count; });
}
// The object the callbacks below act on.
std::atomic<DaemonComm*> gComm(nullptr);
const std::string kHuge(64u << 20, 'x');  // more than a connection holds

class Daemon : public ::testing::Test {
 protected:
  void SetUp() override { gTexts.clear(); }
  // Connects `comm` and returns the server's end of the connection.
  support::Peer open(DaemonComm& comm) {
    EXPECT_TRUE(comm.parse(server.connectString()) && comm.connect());
    support::Peer peer = server.accept();
    EXPECT_NE(peer.socket(), -1);
    return peer;
  }
  support::LoopbackServer server;
};

TEST(ConnectString, GrammarAndTheThreeForms) {
  const std::string n(1, '\0');
  const struct {
    std::string text, expected;  // "protocol|host|port|user|password", or "" when it does not parse
  } rows[] = {{"proto://hostA:7000x", "proto|hostA|7000||"},
              {"proto://:abc", "proto||0||"},
              {"proto//hostA:7000", ""},
              {"", ""},
              {"alice:a:b@proto://hostA:7000", "proto|hostA|7000|alice|a:b"},
              {"u:p@x@proto://h:1", "x@proto|h|1|u|p"},
              {":@p://h:1", "p|h|1||"},
              {"alice@proto://hostA:7000", ""},
              {"proto:" + n + n + "hostA:7000", "proto|hostA|7000||"},
              {"proto::", ""},
              {"proto:/:7000", ""},
              {"a:bc:5", "a||5||"},
              {"p://h: \t+42", "p|h|42||"},
              {"p://h:+-1", "p|h|0||"},
              {"p://h:12" + n + "34", "p|h|12||"},
              {"p://h:-99999999999999", "p|h|" + std::to_string(INT_MIN) + "||"},
              {"p://h:99999999999999", "p|h|" + std::to_string(INT_MAX) + "||"},
              {"p://h:2147483648", "p|h|2147483647||"}};
  for (const auto& row : rows) {
    DaemonComm comm(nullptr);
    std::string user = "-", password = "-", host = "h0", protocol;
    int port = 1;
    const bool ok = comm.parse(user, password, host, port, row.text,
                               row.expected.substr(0, row.expected.find('|')));
    const std::string got =
        ok ? comm.protocol() + "|" + host + "|" + std::to_string(port) + "|" + user + "|" + password
           : "";
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
  EXPECT_EQ(
      user + password + host + std::to_string(port) + comm.host() + std::to_string(comm.parsedOk()),
      "u0p0h01hostC1");
}

// After a failure there is no connection, nothing to send, nothing to ping.
std::string connectFailure(DaemonComm& comm) {
  Brimsel::Exception e(0, false, "");
  const std::string outcome = raised([&] { comm.connect(); }, &e);
  EXPECT_TRUE(!e.isFatal() && e.file() == "daemoncomm.cpp" && !comm.isConnected() &&
              !comm.send("x") && !comm.disconnect());
  EXPECT_EQ(raised([&] { comm.createPingRequest(); }), "1002:Client is not connected to daemon");
  return outcome;
}

TEST_F(Daemon, ConnectFailuresAndTheirLegends) {
  DaemonComm comm(record);
  EXPECT_EQ(connectFailure(comm), "1001:Connect string has not been parsed");
  int closedPort = 0;
  support::closeSocket(support::listenLoopback(closedPort));  // nothing listens there now
  for (const std::string& port : {std::to_string(closedPort), std::string("0"), std::string("-1"),
                                  std::to_string(server.port() + 65536)}) {
    ASSERT_TRUE(comm.parse("daemon://127.0.0.1:" + port));
    EXPECT_EQ(connectFailure(comm), "1001:Failed to connect to host") << port;
  }
  ASSERT_TRUE(comm.parse("daemon://no-such-host.invalid:7000"));
  EXPECT_EQ(connectFailure(comm), "1001:Failed to resolve host");
  EXPECT_EQ(server.accept(100).socket(), -1);
  EXPECT_TRUE(texts().empty());
}

TEST_F(Daemon, SendPingDisconnectAndConnectAgain) {
  DaemonComm comm(record);
  EXPECT_EQ(comm.pingStatus(), DaemonComm::PING_REQUESTED);
  for (const char* host : {"127.0.0.1", "localhost"}) {
    ASSERT_TRUE(comm.parse("daemon://" + std::string(host) + ":" + std::to_string(server.port())) &&
                comm.connect());
    support::Peer peer = server.accept();
    EXPECT_TRUE(comm.isConnected() && comm.createPingRequest() && comm.send("abc") &&
                comm.send(""));
    EXPECT_TRUE(comm.connect()) << "connecting while connected keeps the one connection";
    EXPECT_EQ(server.accept(100).socket(), -1);
    EXPECT_TRUE(comm.send(std::string("n\0l", 3)));
    EXPECT_EQ(peer.messages(3), Messages({"abc", "", std::string("n\0l", 3)}));
    ASSERT_TRUE(peer.write("hello\x04") && has(host[0] == '1' ? 1 : 2));
    EXPECT_TRUE(comm.disconnect());
    EXPECT_FALSE(comm.isConnected() || comm.disconnect() || comm.send("gone"));
    EXPECT_TRUE(peer.closedByClient());
  }
  // A disconnect right after connect, before the thread may have run, still ends it.
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(comm.connect() && comm.disconnect());
    EXPECT_TRUE(server.accept().closedByClient());
  }
  EXPECT_EQ(texts(), Messages({"hello", "hello"}));
}

// Several per read, empty ones skipped, zero bytes kept; a complete message
// never waits for the partial one behind it; one byte per write works too; a
// long message grows the buffer, which shrinks again.
TEST_F(Daemon, SplittingTheStreamIntoMessages) {
  DaemonComm comm(record);
  support::Peer peer = open(comm);
  const std::string zeros("\0a\0\0b\0", 6), slow = "one byte at a time";
  ASSERT_TRUE(peer.write("one\x04\x04\x04two\x04" + zeros + "\x04" + "first\x04sec") && has(4));
  ASSERT_TRUE(peer.write("ond\x04") && has(5));
  for (char c : slow) ASSERT_TRUE(peer.write(std::string(1, c)));
  std::string big(1 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('A' + (i * 7) % 53);
  std::string bulk = "\x04" + big + "\x04";
  for (int i = 0; i < 2000; ++i) bulk += std::to_string(i) + "\x04";
  std::thread writer([&] { peer.write(bulk); });
  const bool all = has(2007);
  writer.join();
  ASSERT_TRUE(all);
  const Messages got = texts();
  EXPECT_EQ(Messages(got.begin(), got.begin() + 6),
            Messages({"one", "two", zeros, "first", "second", slow}));
  EXPECT_TRUE(got[6] == big) << "the 1 MiB message changed, size " << got[6].size();
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(got[i + 7], std::to_string(i));
}

// Takes the messages itself, refusing some with either kind of exception:
// only the refused ones are lost, and nothing is reported.
class Picky : public DaemonComm {
 public:
  Picky() : DaemonComm(record) {}
  ~Picky() override { disconnect(); }
  void processMessage(const std::string& message) override {
    if (message == "bad") throw std::runtime_error("refused");
    if (message == "worse") throw Brimsel::Exception(0, false, "refused");
    record(MESSAGE, "took " + message);
  }
};

TEST_F(Daemon, ARaisingHandlerLosesOnlyItsOwnMessage) {
  Picky comm;
  support::Peer peer = open(comm);
  ASSERT_TRUE(peer.write("a\x04"
                         "bad\x04"
                         "b\x04"
                         "worse\x04"
                         "c\x04") &&
              has(3));
  ASSERT_TRUE(peer.write("d\x04") && has(4));
  EXPECT_TRUE(comm.disconnect());
  EXPECT_EQ(texts(), Messages({"took a", "took b", "took c", "took d"}));
}

// Closed or reset: the partial message is dropped, the connection given up
// and reported with the text of a fatal Exception 1002. Sends to a reset
// connection fail, never with SIGPIPE, though the response thread (held in
// its callback) has not closed the socket yet. Without a callback the connection is given up all
// the same.
std::shared_future<void> gHeld;
void holdInCallback(DaemonComm::Status status, const std::string& text) {
  record(status, text);
  if (status == DaemonComm::MESSAGE) gHeld.wait_for(support::kPatience);
}

TEST_F(Daemon, ClosedOrResetByTheServer) {
  for (bool reset : {false, true}) {
    SetUp();
    std::promise<void> release;
    gHeld = release.get_future().share();
    DaemonComm comm(holdInCallback);
    support::Peer peer = open(comm);
    ASSERT_TRUE(peer.write("last words\x04unfinished") && has(1));
    reset ? peer.reset() : peer.close();
    EXPECT_TRUE(!reset || support::eventually([&] { return !comm.send("anyone there?"); }));
    release.set_value();
    ASSERT_TRUE(has(2));
    const std::string text = texts()[1];
    std::ostringstream expected;
    expected << "!"
             << Brimsel::Exception("daemoncomm.cpp", std::atoi(text.c_str() + text.find(" @ ") + 3),
                                   1002, true, "Server connection terminated unexpectedly");
    EXPECT_EQ(text, expected.str());
    EXPECT_FALSE(comm.isConnected() || comm.send("x") || comm.disconnect());
    EXPECT_EQ(texts().size(), 2u);
  }
  DaemonComm quiet(nullptr);
  open(quiet).close();
  EXPECT_TRUE(support::eventually([&] { return !quiet.isConnected(); }));
}

// Answers each message, disconnects at "bye" from the response thread
// itself, and connects again from the report of each lost connection.
void answerAndReconnect(DaemonComm::Status status, const std::string& text) {
  DaemonComm* comm = gComm.load();
  if (status == DaemonComm::MESSAGE) comm->send("ack " + text);
  if (text == "bye") {
    EXPECT_TRUE(comm->disconnect() && !comm->send("after bye"));
  }
  if (status == DaemonComm::FAILURE) {
    EXPECT_NO_THROW(comm->connect());
  }
  record(status, text);
}

TEST_F(Daemon, CallbackSendsDisconnectsAndReconnects) {
  DaemonComm comm(answerAndReconnect);
  gComm = &comm;
  support::Peer peer = open(comm);
  ASSERT_TRUE(
      peer.write("hello\x04"
                 "bye\x04"
                 "read already\x04"));
  EXPECT_EQ(peer.messages(2), Messages({"ack hello", "ack bye"}));
  EXPECT_TRUE(peer.closedByClient());
  ASSERT_TRUE(has(3));
  EXPECT_FALSE(comm.isConnected() || comm.disconnect());
  // The rest of the block the request came in was read already: delivered, and nothing after it.
  EXPECT_EQ(texts(), Messages({"hello", "bye", "read already"}));
  DaemonComm again(answerAndReconnect);
  gComm = &again;
  open(again).close();
  support::Peer next;  // kept open until the end, or the client would lose it and connect again
  for (int lost = 1; lost <= 2; ++lost) {  // the second reconnection retires the first one's thread
    next = server.accept();
    ASSERT_TRUE(next.write("over the new one\x04") && has(3 + 2 * lost));
    if (lost == 1) next.close();
  }
  EXPECT_EQ(texts()[6], "over the new one");
  EXPECT_TRUE(again.disconnect());
}

TEST_F(Daemon, ConcurrentDisconnectsEndTheConnectionExactlyOnce) {
  for (int round = 0; round < 20; ++round) {
    DaemonComm comm(record);
    support::Peer peer = open(comm);
    std::promise<void> go;
    std::shared_future<void> start = go.get_future().share();
    std::vector<std::future<bool>> calls;
    for (int i = 0; i < 4; ++i)
      calls.push_back(std::async(std::launch::async,
                                 [&comm, start] { return start.wait(), comm.disconnect(); }));
    go.set_value();
    int ended = 0;
    for (std::future<bool>& call : calls)
      ended += support::endsInTime([&] { return call.get(); }, "disconnect") ? 1 : 0;
    EXPECT_EQ(1, ended) << "round " << round;
  }
}

// A send blocked on a peer that reads nothing, in the callback (under the
// stop lock) or on another thread, fails when disconnect or the destructor runs.
void sendTooMuch(DaemonComm::Status status, const std::string&) {
  if (status == DaemonComm::MESSAGE) record(status, gComm.load()->send(kHuge) ? "sent" : "failed");
}

TEST_F(Daemon, ASendBlockedInTheCallbackOrElsewhereFailsOnDisconnectAndDestruction) {
  for (bool destroy : {false, true}) {
    SetUp();
    auto comm = std::make_unique<DaemonComm>(sendTooMuch);
    gComm = comm.get();
    support::Peer peer = open(*comm);
    ASSERT_TRUE(peer.write("go\x04"));
    std::this_thread::sleep_for(
        std::chrono::milliseconds(300));  // lets the send fill the connection
    ASSERT_TRUE(texts().empty()) << "the send did not block";
    support::endsInTime([&] { destroy ? comm.reset() : void(comm->disconnect()); },
                        destroy ? "the destructor" : "disconnect");
    EXPECT_EQ(texts(), Messages({"failed"}));
  }
  DaemonComm comm(record);
  support::Peer peer = open(comm);
  std::future<bool> sent = std::async(std::launch::async, [&] { return comm.send(kHuge); });
  ASSERT_FALSE(support::readyWithin(sent, std::chrono::milliseconds(300)))
      << "the send did not block";
  EXPECT_TRUE(support::endsInTime([&] { return comm.disconnect() && !sent.get(); }, "disconnect"));
}

#if !defined(_WIN32)
// A process that closed its standard input gets descriptor 0 for the
// connection, which works like any other.
TEST_F(Daemon, ConnectionOnDescriptorZero) {
  EXPECT_EQ(
      support::inChild([&] {
        close(0);
        DaemonComm comm(nullptr);
        return comm.parse(server.connectString()) && comm.connect() && comm.send("on zero") ? 0 : 1;
      }),
      "exit 0");
  EXPECT_EQ(server.accept().messages(1), Messages({"on zero"}));
}

// Each delivered block is one trace line, terminators included; a partial
// message goes with the next block; below the trace level nothing is written.
TEST_F(Daemon, EachDeliveredBlockIsOneTraceLine) {
  const std::string path = "/tmp/brimsel-trace-" + std::to_string(getpid());
  const int catcher = socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un at = {};
  at.sun_family = AF_UNIX;
  path.copy(at.sun_path, sizeof at.sun_path - 1);
  ASSERT_EQ(bind(catcher, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  Brimsel::detail::setSyslogSocketPath(path);
  Brimsel::EventLogger logger("brimsel-daemon-test");
  logger.setLevel(Brimsel::EventLogger::LEVEL_TRACE);
  DaemonComm comm(record);
  support::Peer peer = open(comm);
  const std::pair<const char*, const char*> blocks[] = {{"a\x04\x04"
                                                         "b\x04",
                                                         "a\x04\x04"
                                                         "b\x04"},
                                                        {"c\x04"
                                                         "d",
                                                         "c\x04"},
                                                        {"e\x04", "de\x04"},
                                                        {"f\x04", ""}};
  for (std::size_t i = 0; i < 4; ++i) {
    const auto& [sent, traced] = blocks[i];
    if (*traced == '\0') logger.setLevel(Brimsel::EventLogger::LEVEL_DEBUG);
    ASSERT_TRUE(peer.write(sent) && has(i + 2));
    char buffer[4096];
    const long n = support::waitForData(catcher, *traced ? 10000 : 100)
                       ? recv(catcher, buffer, sizeof buffer, 0)
                       : 0;
    const std::string entry(buffer, n > 0 ? n : 0),
        legend = "0xC0020109] Trace info was posted. Legend was: ";
    EXPECT_EQ(entry.substr(std::min(entry.size(), entry.find(legend))),
              *traced ? legend + traced : "");
  }
  comm.disconnect();
  Brimsel::detail::setSyslogSocketPath("");
  close(catcher);
  unlink(path.c_str());
  EXPECT_EQ(texts(), Messages({"a", "b", "c", "de", "f"}));
}
#endif

}  // namespace
