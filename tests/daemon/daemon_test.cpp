// SPDX-License-Identifier: MIT
// DaemonComm against a test server on 127.0.0.1: the connect string,
// connecting and sending, the response thread, and ending a connection from
// several threads at once. Every wait is bounded. In the texts below, "\4" is
// the terminator 0x04.
#include <brimsel/daemoncomm.h>
#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>
#include <gtest/gtest.h>

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
  // Connects `comm` to `host` and returns the server's end of the connection.
  support::Peer open(DaemonComm& comm, const std::string& host = "127.0.0.1") {
    EXPECT_TRUE(comm.parse("daemon://" + host + ":" + std::to_string(server.port())) &&
                comm.connect());
    return server.accept();
  }
  support::LoopbackServer server;
};

// What the three forms of parse give for each text (beyond these rows, the
// fuzz target checks that every successful parse gives back the pieces of its
// text in their places, and the Variant tests check the port's atoi rule
// against the C library). The legends of failed connects, after which there
// is no connection, nothing to send, nothing to ping. Connecting while
// connected keeps the connection.
// Received: several messages per read, empty ones skipped, zero bytes kept; a
// complete message never waits for the partial one behind it; a long message
// grows the buffer, which shrinks again.
TEST_F(Daemon, ParseConnectSendReceiveAndDisconnect) {
  DaemonComm comm(record);
  // What parse(protocol, host, port, text) returns ("!" for false) and gives out, then the user
  // and password from the six-argument form asked for the protocol found.
  const std::pair<std::string, std::string> rows[] = {
      {"proto://hostA: \t+7000x", "proto|hostA|7000||"},
      {"proto//hostA:7000", "!||-1"},
      {"", "!||-1"},
      {std::string("alice:a:b@proto:\0\0hostA:7000", 28), "proto|hostA|7000|alice|a:b"},
      {"alice@proto://hostA:7000", "!||-1"},
      {"proto:/:7000", "!||-1"},
      {"a:bc:5", "a||5||"}};
  std::string user, password, host, protocol;
  int port = 0;
  for (const auto& [text, expected] : rows) {
    std::string got = comm.parse(protocol, host, port, text) ? "" : "!";
    got += protocol + "|" + host + "|" + std::to_string(port);
    if (comm.parse(user, password, host, port, text, protocol)) got += "|" + user + "|" + password;
    EXPECT_EQ(got, expected) << text;
  }
  // Another protocol, if only by letter case (also the object's own, which parse clears): false,
  // the outputs as the last row left them, the object parsed with the settings of the text.
  EXPECT_FALSE(comm.parse(user, password, host, port, "bob:pw@Daemon://hostC:82", "daemon") ||
               comm.parse(user, password, host, port, "other://hostC:82", comm.protocol()));
  EXPECT_EQ(user + password + host + std::to_string(port) + comm.host(), "5hostC");
  const std::pair<std::string, const char*> failures[] = {
      {"", "Connect string has not been parsed"},
      {"daemon://127.0.0.1:1", "Failed to connect to host"},  // nothing listens there
      {"daemon://127.0.0.1:" + std::to_string(server.port() + 65536), "Failed to connect to host"},
      {"daemon://no-such-host.invalid:7000", "Failed to resolve host"}};
  for (const auto& [text, legend] : failures) {
    Brimsel::Exception e(0, false, "");
    comm.parse(text);
    EXPECT_EQ(raised([&] { comm.connect(); }, &e), std::string("1001:") + legend) << text;
    EXPECT_TRUE(!e.isFatal() && e.file() == "daemoncomm.cpp" && !comm.isConnected() &&
                !comm.send("x") && !comm.disconnect());
    EXPECT_EQ(raised([&] { comm.createPingRequest(); }, &e),
              "1002:Client is not connected to daemon");
    EXPECT_FALSE(e.isFatal());
  }
  support::Peer peer = open(comm, "localhost");
  const std::string zeros("\0a\0\0b\0", 6);
  EXPECT_TRUE(comm.isConnected() && comm.createPingRequest() && comm.send("abc") && comm.send("") &&
              comm.send(zeros) && comm.connect() && server.accept(100).socket() == -1);
  EXPECT_EQ(peer.messages(3), Messages({"abc", "", zeros}));
  ASSERT_TRUE(peer.write("one\4\4\4two\4" + zeros + "\4first\4sec") && has(4));
  std::string big(1 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('A' + (i * 7) % 53);
  ASSERT_TRUE(peer.write("ond\4" + big + "\4" + big + "\4") && has(7));
  EXPECT_TRUE(texts() == Messages({"one", "two", zeros, "first", "second", big, big}));
  EXPECT_TRUE(support::endsInTime([&] { return comm.disconnect(); }, "disconnect") &&
              !comm.isConnected() && !comm.send("gone"));
}

// Takes the messages itself on the response thread: refuses some with either
// kind of exception (only those are lost), answers the others, at "bye"
// disconnects from there, and at "hold" waits until the test lets it go. Its
// status callback connects again from the report of each lost connection.
class Responder : public DaemonComm {
 public:
  Responder() : DaemonComm(reconnect) { gComm = this; }
  ~Responder() override { disconnect(); }
  void processMessage(const std::string& message) override {
    if (message == "bad") throw std::runtime_error("refused");
    if (message == "worse") throw Brimsel::Exception(0, false, "refused");
    record(MESSAGE, message);
    if (message == "hold") support::eventually([this] { return released.load(); });
    send("ack " + message);
    EXPECT_TRUE(message != "bye" || (disconnect() && !send("after bye")));
  }
  static void reconnect(Status status, const std::string& text) {
    record(status, text);
    EXPECT_NO_THROW(gComm.load()->connect());
  }
  std::atomic<bool> released{false};  // lets a held response thread go on
};

// A connection closed or reset by the server is given up and reported with
// the text of a fatal Exception 1002; a partial message is dropped. Sends to
// a reset connection fail, never with SIGPIPE, though the response thread
// (held in processMessage) has not closed the socket yet. The second
// reconnection retires the first one's thread.
TEST_F(Daemon, TheResponseThreadSendsDisconnectsAndReconnects) {
  Responder comm;
  support::Peer peer = open(comm);
  ASSERT_TRUE(peer.write("hello\4bad\4worse\4bye\4read already\4"));
  EXPECT_EQ(peer.messages(2), Messages({"ack hello", "ack bye"}));
  ASSERT_TRUE(peer.closedByClient() && has(3) && !comm.isConnected() && !comm.disconnect());
  open(comm).close();
  peer = server.accept();  // connected again from the report
  ASSERT_TRUE(peer.write("hold\4unfinished") && has(5));
  peer.reset();
  EXPECT_TRUE(support::eventually([&] { return !comm.send("anyone there?"); }));
  comm.released = true;
  peer = server.accept();  // kept open until the end, or the client would connect again
  ASSERT_TRUE(peer.write("over the newest one\4") && has(7));
  const std::string text = texts()[3];  // the report names the line it comes from
  std::ostringstream lost;
  lost << Brimsel::Exception("daemoncomm.cpp", std::atoi(text.c_str() + text.find(" @ ") + 3), 1002,
                             true, "Server connection terminated unexpectedly");
  // The rest of the block "bye" came in was read already: delivered, and nothing after it.
  EXPECT_EQ(texts(), Messages({"hello", "bye", "read already", "!" + lost.str(), "hold",
                               "!" + lost.str(), "over the newest one"}));
}

// Right after connect, before the thread may have run, four threads
// disconnect at once.
TEST_F(Daemon, ConcurrentDisconnectsEndTheConnectionExactlyOnce) {
  for (int round = 0; round < 20; ++round) {
    DaemonComm comm(record);
    ASSERT_TRUE(comm.parse("daemon://127.0.0.1:" + std::to_string(server.port())) &&
                comm.connect());
    std::promise<void> go;
    const std::shared_future<void> start = go.get_future().share();
    std::vector<std::future<bool>> calls(4);
    for (auto& call : calls)
      call = std::async(std::launch::async, [&] { return start.wait(), comm.disconnect(); });
    go.set_value();
    int ended = 0;
    for (auto& call : calls) ended += support::endsInTime([&] { return call.get(); }, "disconnect");
    EXPECT_TRUE(ended == 1 && server.accept().closedByClient()) << "round " << round;
  }
}

// A send blocked in the callback (under the stop lock) on a peer that reads
// nothing fails when disconnect or the destructor runs. (A send blocked on
// another thread is failed the same way, by the shutdown of the socket that
// ends the connection, whoever ends it.)
TEST_F(Daemon, ABlockedSendFailsOnDisconnectAndDestruction) {
  for (bool destroy : {false, true}) {
    SetUp();
    auto comm = std::make_unique<DaemonComm>([](DaemonComm::Status status, const std::string&) {
      record(status, gComm.load()->send(kHuge) ? "sent" : "failed");
    });
    gComm = comm.get();
    support::Peer peer = open(*comm);
    ASSERT_TRUE(peer.write("go\4"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // lets the send fill it
    support::endsInTime([&] { destroy ? comm.reset() : void(comm->disconnect()); }, "the ending");
    EXPECT_EQ(texts(), Messages({"failed"}));  // not "sent": it did block
  }
  DaemonComm comm(nullptr);  // without a callback, a lost connection is given up all the same
  open(comm).close();
  EXPECT_TRUE(support::eventually([&] { return !comm.isConnected(); }));
}

#if !defined(_WIN32)
// A process that closed its standard input gets descriptor 0 for the
// connection, which works like any other. Each delivered block is one trace
// line, terminators included; a partial message waits for its block.
TEST_F(Daemon, OnDescriptorZeroEachDeliveredBlockIsOneTraceLine) {
  sockaddr_un at = {AF_UNIX, {}};
  ("/tmp/brimsel-trace-" + std::to_string(getpid())).copy(at.sun_path, sizeof at.sun_path - 1);
  const int catcher = socket(AF_UNIX, SOCK_DGRAM, 0);
  ASSERT_EQ(bind(catcher, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  EXPECT_EQ(support::inChild([&] {  // exits with 0 when all went well
              Brimsel::detail::setSyslogSocketPath(at.sun_path);
              Brimsel::EventLogger logger("brimsel-daemon-test");
              logger.setLevel(Brimsel::EventLogger::LEVEL_TRACE);
              close(0);
              DaemonComm comm(nullptr);
              support::Peer peer = open(comm);
              return !(comm.send("on zero") && peer.messages(1) == Messages({"on zero"}) &&
                       peer.write("a\4\4b\4c") && support::waitForData(catcher, 10000));
            }),
            "exit 0");
  std::string entry(4096, '\0');
  entry.resize(std::max<long>(0, recv(catcher, &entry[0], entry.size(), MSG_DONTWAIT)));
  EXPECT_EQ(entry.substr(std::min(entry.find("0x"), entry.size())),
            "0xC0020109] Trace info was posted. Legend was: a\4\4b\4");
  close(catcher);
  unlink(at.sun_path);
}
#endif

}  // namespace
