// The response thread: messages out of the stream, handlers that raise, a
// connection the server ends, callbacks that act on their own object, and
// the trace line of each delivered block.
#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>

#include <sstream>
#include <stdexcept>
#include <thread>

#include "daemon_test.h"

#if !defined(_WIN32)
#include <sys/socket.h>
#include <sys/un.h>

#include "eventlogger_internal.h"
#endif

using namespace dtest;

namespace {

using Stream = WithDaemon;

// Several per read, empty ones skipped, zero bytes kept; a complete message
// never waits for the partial one behind it; one byte per write works too.
TEST_F(Stream, SplittingIntoMessages) {
  DaemonComm comm(record);
  support::Peer peer = open(comm);
  const std::string zeros("\0a\0\0b\0", 6), slow = "one byte at a time";
  ASSERT_TRUE(peer.write("one\x04\x04\x04two\x04" + zeros + "\x04" + "first\x04sec") && inbox.has(4));
  ASSERT_TRUE(peer.write("ond\x04") && inbox.has(5));
  for (char c : slow) ASSERT_TRUE(peer.write(std::string(1, c)));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(inbox.texts().size(), 5u);
  std::string big(1 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('A' + (i * 7) % 53);
  std::string bulk = "\x04" + big + "\x04";
  for (int i = 0; i < 20000; ++i) bulk += std::to_string(i) + "\x04";
  std::thread writer([&] { peer.write(bulk); });
  const bool all = inbox.has(20007);
  writer.join();
  ASSERT_TRUE(all);
  const Messages got = inbox.texts();
  EXPECT_EQ(Messages(got.begin(), got.begin() + 6), Messages({"one", "two", zeros, "first", "second", slow}));
  EXPECT_TRUE(got[6] == big) << "the 1 MiB message changed, size " << got[6].size();
  for (int i = 0; i < 20000; ++i) ASSERT_EQ(got[i + 7], std::to_string(i));
}

// Takes the messages itself, refusing some with either kind of exception.
class Picky : public DaemonComm {
 public:
  Picky() : DaemonComm(record) {}
  ~Picky() override { disconnect(); }
  std::atomic<int> taken{0};
  Messages kept;  // the response thread's alone until it has ended

 protected:
  void processMessage(const std::string& message) override {
    if (message == "bad") throw std::runtime_error("refused");
    if (message == "worse") throw Brimsel::Exception(0, false, "refused");
    kept.push_back(message);
    ++taken;
  }
};

TEST_F(Stream, ARaisingHandlerLosesOnlyItsOwnMessage) {
  Picky comm;
  support::Peer peer = open(comm);
  ASSERT_TRUE(peer.write("a\x04" "bad\x04" "b\x04" "worse\x04" "c\x04"));
  ASSERT_TRUE(support::eventually([&] { return comm.taken == 3; }));
  ASSERT_TRUE(peer.write("d\x04") && support::eventually([&] { return comm.taken == 4; }));
  EXPECT_TRUE(comm.disconnect());
  EXPECT_EQ(comm.kept, Messages({"a", "b", "c", "d"}));
  EXPECT_TRUE(inbox.texts().empty());
}

// Closed or reset: the partial message is dropped, the connection given up
// and reported with the text of a fatal Exception 1002.
TEST_F(Stream, ClosedOrResetByTheServer) {
  for (bool reset : {false, true}) {
    Inbox mine;
    gInbox = &mine;
    DaemonComm comm(record);
    support::Peer peer = open(comm);
    ASSERT_TRUE(peer.write("last words\x04unfinished") && mine.has(1));
    reset ? peer.reset() : peer.close();
    ASSERT_TRUE(mine.has(2));
    const std::string text = mine.texts()[1];
    const std::size_t at = text.find(" @ ");
    std::ostringstream expected;
    expected << "!" << Brimsel::Exception("daemoncomm.cpp", std::atoi(text.c_str() + at + 3), 1002, true,
                                          "Server connection terminated unexpectedly");
    EXPECT_TRUE(at != std::string::npos && text == expected.str()) << text;
    EXPECT_FALSE(comm.isConnected() || comm.send("x") || comm.disconnect());
    EXPECT_EQ(mine.texts().size(), 2u);
  }
  gInbox = &inbox;
  DaemonComm quiet(nullptr);  // without a callback the connection is given up all the same
  open(quiet).close();
  EXPECT_TRUE(support::eventually([&] { return !quiet.isConnected(); }));
}

std::atomic<DaemonComm*> gComm(nullptr);

// Answers each message; "bye" disconnects from the response thread itself.
void answerAndHangUp(DaemonComm::Status status, const std::string& text) {
  if (status == DaemonComm::MESSAGE) gComm.load()->send("ack " + text);
  if (text == "bye") {
    EXPECT_TRUE(gComm.load()->disconnect() && !gComm.load()->send("after bye"));
  }
  record(status, text);
}

// Connects again from the report of each lost connection.
void reconnect(DaemonComm::Status status, const std::string& text) {
  if (status == DaemonComm::FAILURE) {
    EXPECT_NO_THROW(gComm.load()->connect());
  }
  record(status, text);
}

TEST_F(Stream, CallbackSendsDisconnectsAndReconnects) {
  DaemonComm comm(answerAndHangUp);
  gComm = &comm;
  support::Peer peer = open(comm);
  ASSERT_TRUE(peer.write("hello\x04" "bye\x04" "read already\x04"));
  EXPECT_EQ(peer.messages(2), Messages({"ack hello", "ack bye"}));
  EXPECT_TRUE(peer.closedByClient());
  ASSERT_TRUE(inbox.has(3));
  EXPECT_FALSE(comm.isConnected() || comm.disconnect());
  // The rest of the block the request came in was read already: delivered, and nothing after it.
  EXPECT_EQ(inbox.texts(), Messages({"hello", "bye", "read already"}));
  DaemonComm again(reconnect);
  gComm = &again;
  open(again).close();
  support::Peer next;  // kept open until the end, or the client would lose it and connect again
  for (int lost = 1; lost <= 2; ++lost) {  // the second reconnection retires the first one's thread
    next = server.accept();
    ASSERT_TRUE(next.write("over the new one\x04") && inbox.has(3 + 2 * lost));
    if (lost == 1) next.close();
  }
  EXPECT_EQ(inbox.texts()[6], "over the new one");
  EXPECT_TRUE(again.disconnect());
  gComm = nullptr;
}

TEST_F(Stream, DestroyedWhileTheServerIsMidStream) {
  std::atomic<bool> stop(false);
  std::thread writer;
  support::Peer peer;
  {
    DaemonComm comm(record);
    peer = open(comm);
    writer = std::thread([&stop, s = peer.socket()] {
      std::string chunk;
      for (int i = 0; i < 1000; ++i) chunk += "tick " + std::to_string(i) + "\x04";
      while (!stop && support::sendAll(s, chunk.data(), chunk.size())) {
      }
    });
    EXPECT_TRUE(inbox.has(100));
  }
  stop = true;  // the writes fail once the object has closed the connection
  writer.join();
  const std::size_t after = inbox.texts().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(inbox.texts().size(), after);
}

#if !defined(_WIN32)
// Each delivered block is one trace line, terminators included; a partial
// message goes with the next block; below the trace level nothing is written.
TEST_F(Stream, EachDeliveredBlockIsOneTraceLine) {
  const std::string path = "/tmp/brimsel-trace-" + std::to_string(getpid());
  const int catcher = socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un at = {};
  at.sun_family = AF_UNIX;
  path.copy(at.sun_path, sizeof at.sun_path - 1);
  ASSERT_EQ(bind(catcher, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  Brimsel::detail::setSyslogSocketPath(path);
  auto next = [&](int timeoutMs) {
    char buffer[4096];
    const long n = support::waitForData(catcher, timeoutMs) ? recv(catcher, buffer, sizeof buffer, 0) : 0;
    const std::string entry(buffer, n > 0 ? n : 0);
    return entry.substr(std::min(entry.size(), entry.find("0xC0020109] Trace info was posted. Legend was: ")));
  };
  {
    Brimsel::EventLogger logger("brimsel-daemon-test");
    logger.setLevel(Brimsel::EventLogger::LEVEL_TRACE);
    DaemonComm comm(record);
    support::Peer peer = open(comm);
    const std::string trace = "0xC0020109] Trace info was posted. Legend was: ";
    ASSERT_TRUE(peer.write("a\x04\x04" "b\x04") && inbox.has(2));
    EXPECT_EQ(next(10000), trace + "a\x04\x04" "b\x04");
    ASSERT_TRUE(peer.write("c\x04" "d") && inbox.has(3));
    EXPECT_EQ(next(10000), trace + "c\x04");
    ASSERT_TRUE(peer.write("e\x04") && inbox.has(4));
    EXPECT_EQ(next(10000), trace + "de\x04");
    logger.setLevel(Brimsel::EventLogger::LEVEL_DEBUG);
    ASSERT_TRUE(peer.write("f\x04") && inbox.has(5));
    EXPECT_EQ(next(100), "");
    comm.disconnect();
  }
  Brimsel::detail::setSyslogSocketPath("");
  close(catcher);
  unlink(path.c_str());
  EXPECT_EQ(inbox.texts(), Messages({"a", "b", "c", "de", "f"}));
}
#endif

}  // namespace
