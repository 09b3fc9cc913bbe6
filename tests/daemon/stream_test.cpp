// SPDX-License-Identifier: MIT
// The response thread: splitting the stream into messages, handing them over,
// and giving up a connection the daemon ended.
#include <brimsel/daemoncomm.h>
#include <brimsel/exception.h>

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "daemon_support.h"

using namespace dtest;

namespace {

using Stream = WithDaemon;

TEST_F(Stream, SplittingIntoMessages) {
  DaemonComm comm(recordStatus);
  int s = open(comm);
  const std::string zeros("\0a\0\0b\0", 6);
  // Several per read; empty ones skipped; zero bytes kept.
  ASSERT_TRUE(TestDaemon::write(s, "one\x04\x04\x04two\x04" + zeros + "\x04"));
  ASSERT_TRUE(inbox.waitFor(3));
  // One byte per write: nothing before the terminator.
  const std::string slow = "one byte at a time";
  for (char c : slow) {
    ASSERT_TRUE(TestDaemon::write(s, std::string(1, c)));
    std::this_thread::sleep_for(std::chrono::microseconds(300));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(inbox.size(), 3u);
  ASSERT_TRUE(TestDaemon::write(s, "\x04"));
  // A complete message never waits for the partial one behind it.
  ASSERT_TRUE(TestDaemon::write(s, "first\x04sec"));
  ASSERT_TRUE(inbox.waitFor(5)) << "a complete message waited for a later read";
  ASSERT_TRUE(TestDaemon::write(s, "ond\x04"));
  ASSERT_TRUE(inbox.waitFor(6));
  EXPECT_EQ(inbox.messages(), (Messages{"one", "two", zeros, slow, "first", "second"}));
}

TEST_F(Stream, LargeMessageThenABulkOfSmallOnes) {
  DaemonComm comm(recordStatus);
  int s = open(comm);
  std::string big(1 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('A' + (i * 7) % 53);
  std::string bulk = big + "\x04";
  for (int i = 0; i < 20000; ++i) bulk += std::to_string(i) + "\x04";
  std::thread writer([&] { TestDaemon::write(s, bulk); });
  bool all = inbox.waitFor(20001);
  writer.join();
  ASSERT_TRUE(all);
  Messages got = inbox.messages();
  EXPECT_TRUE(got[0] == big) << "the 1 MiB message changed, size " << got[0].size();
  for (int i = 0; i < 20000; ++i) ASSERT_EQ(got[i + 1], std::to_string(i));
}

// Takes the messages itself, refusing some with either kind of exception.
class Picky : public DaemonComm {
 public:
  Picky() : DaemonComm(recordStatus) {}
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
  int s = open(comm);
  ASSERT_TRUE(TestDaemon::write(s, "a\x04" "bad\x04" "b\x04" "worse\x04" "c\x04"));
  ASSERT_TRUE(eventually([&] { return comm.taken == 3; }));
  ASSERT_TRUE(TestDaemon::write(s, "d\x04"));
  ASSERT_TRUE(eventually([&] { return comm.taken == 4; }));
  EXPECT_TRUE(comm.disconnect());
  EXPECT_EQ(comm.kept, (Messages{"a", "b", "c", "d"}));
  EXPECT_EQ(inbox.size(), 0u);  // the callback hears of none of it
}

TEST_F(Stream, ClosedOrResetByTheDaemon) {
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "reset" : "closed");
    Inbox mine;
    gInbox = &mine;
    DaemonComm comm(recordStatus);
    int s = open(comm);
    ASSERT_TRUE(TestDaemon::write(s, "last words\x04unfinished"));
    ASSERT_TRUE(mine.waitFor(1));
    reset ? daemon.reset(s) : daemon.close(s);
    ASSERT_TRUE(mine.waitFor(2));
    std::vector<Report> reports = mine.reports();
    EXPECT_EQ(reports[0].text, "last words");
    EXPECT_EQ(reports[1].status, DaemonComm::FAILURE);
    // Exactly the five-line text of the exception, with this library's
    // location in it.
    const std::string& text = reports[1].text;
    std::string::size_type at = text.find(" @ ");
    ASSERT_NE(at, std::string::npos);
    std::ostringstream expected;
    expected << Brimsel::Exception("daemoncomm.cpp", std::atoi(text.c_str() + at + 3), 1002, true,
                                   "Server connection terminated unexpectedly");
    EXPECT_EQ(text, expected.str());
    EXPECT_EQ(text.rfind("Error Code=1002\nExplanation=\"Daemon is not connected\"\nFatal=Y\n", 0), 0u);
    EXPECT_FALSE(comm.isConnected());
    EXPECT_FALSE(comm.send("x"));
    EXPECT_FALSE(comm.disconnect());
    EXPECT_EQ(mine.size(), 2u);
  }
  gInbox = &inbox;
  // Without a callback the connection is given up all the same.
  DaemonComm quiet(nullptr);
  daemon.close(open(quiet));
  EXPECT_TRUE(eventually([&] { return !quiet.isConnected(); }));
}

// Callbacks that act on the object they report for.
std::atomic<DaemonComm*> gComm(nullptr);

void answerAndHangUp(DaemonComm::Status status, const std::string& text) {
  DaemonComm* comm = gComm.load();
  if (status == DaemonComm::MESSAGE) comm->send("ack " + text);
  if (text == "bye") {
    EXPECT_TRUE(comm->disconnect());  // does not wait for itself
    EXPECT_FALSE(comm->send("after bye"));
  }
  recordStatus(status, text);
}

void reconnect(DaemonComm::Status status, const std::string& text) {
  if (status == DaemonComm::FAILURE) {
    EXPECT_NO_THROW(gComm.load()->connect());
  }
  recordStatus(status, text);
}

TEST_F(Stream, CallbackSendsDisconnectsAndReconnects) {
  DaemonComm comm(answerAndHangUp);
  gComm = &comm;
  int s = open(comm);
  ASSERT_TRUE(TestDaemon::write(s, "hello\x04" "bye\x04" "read already\x04"));
  EXPECT_EQ(daemon.read(s, 2), (Messages{"ack hello", "ack bye"}));
  EXPECT_TRUE(daemon.waitClosed(s));
  ASSERT_TRUE(inbox.waitFor(3));
  EXPECT_FALSE(comm.isConnected());
  EXPECT_FALSE(comm.disconnect());
  // The rest of the block the request came in was read already; it is
  // delivered, and nothing after it.
  EXPECT_EQ(inbox.messages(), (Messages{"hello", "bye", "read already"}));

  // From the report of a lost connection, the callback connects again.
  DaemonComm again(reconnect);
  gComm = &again;
  daemon.close(open(again));
  int s2 = daemon.accept();
  ASSERT_NE(s2, -1);
  ASSERT_TRUE(TestDaemon::write(s2, "over the new one\x04"));
  ASSERT_TRUE(inbox.waitFor(5));
  EXPECT_EQ(inbox.reports()[4].text, "over the new one");
  EXPECT_TRUE(again.disconnect());
  EXPECT_TRUE(daemon.waitClosed(s2));
  gComm = nullptr;
}

TEST_F(Stream, DestroyWhileTheDaemonIsMidStream) {
  std::atomic<bool> stop(false);
  std::thread writer;
  {
    DaemonComm comm(recordStatus);
    int s = open(comm);
    writer = std::thread([&stop, s] {
      std::string chunk;
      for (int i = 0; i < 1000; ++i) chunk += "tick " + std::to_string(i) + "\x04";
      while (!stop && TestDaemon::write(s, chunk)) {
      }
    });
    ASSERT_TRUE(inbox.waitFor(100));
  }
  // The writes fail once the object has closed the connection.
  stop = true;
  writer.join();
  std::size_t after = inbox.size();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(inbox.size(), after);
}

}  // namespace
