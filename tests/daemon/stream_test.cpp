// The response thread: splitting the stream into messages, handing them over,
// and giving up a connection the daemon ended.
#include <brimsel/daemoncomm.h>
#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "daemon_support.h"

using Brimsel::DaemonComm;
using dtest::TestDaemon;

namespace {

class Stream : public ::testing::Test {
 protected:
  void SetUp() override { dtest::gInbox = &inbox; }
  void TearDown() override { dtest::gInbox = nullptr; }

  // Connects `comm` to the daemon and returns the daemon's end.
  int open(DaemonComm& comm) {
    EXPECT_TRUE(comm.parse(daemon.connectString()));
    EXPECT_TRUE(comm.connect());
    int s = daemon.accept();
    EXPECT_NE(s, -1);
    return s;
  }

  dtest::Inbox inbox;
  TestDaemon daemon;
};

using Messages = std::vector<std::string>;

TEST_F(Stream, SeveralMessagesInOneReadArriveInOrder) {
  DaemonComm comm(dtest::recordStatus);
  int s = open(comm);
  ASSERT_TRUE(TestDaemon::write(s, "one\x04two\x04three\x04"));
  ASSERT_TRUE(inbox.waitFor(3));
  EXPECT_EQ(inbox.messages(), (Messages{"one", "two", "three"}));
  for (const dtest::Report& r : inbox.reports()) EXPECT_EQ(r.status, DaemonComm::MESSAGE);
}

TEST_F(Stream, EmptyMessagesAreNotDelivered) {
  DaemonComm comm(dtest::recordStatus);
  int s = open(comm);
  ASSERT_TRUE(TestDaemon::write(s, "\x04\x04" "a\x04\x04\x04" "b\x04"));
  ASSERT_TRUE(inbox.waitFor(2));
  ASSERT_TRUE(TestDaemon::write(s, "\x04" "end\x04"));
  ASSERT_TRUE(inbox.waitFor(3));
  EXPECT_EQ(inbox.messages(), (Messages{"a", "b", "end"}));
}

TEST_F(Stream, ZeroBytesAreKept) {
  DaemonComm comm(dtest::recordStatus);
  int s = open(comm);
  std::string withZeros("\0a\0\0b\0", 6);
  ASSERT_TRUE(TestDaemon::write(s, withZeros + "\x04" + std::string(1, '\0') + "\x04"));
  ASSERT_TRUE(inbox.waitFor(2));
  EXPECT_EQ(inbox.messages(), (Messages{withZeros, std::string(1, '\0')}));
}

TEST_F(Stream, MessageSplitAcrossWritesDownToOneByte) {
  DaemonComm comm(dtest::recordStatus);
  int s = open(comm);
  const std::string text = "a message written one byte at a time";
  for (char c : text) {
    ASSERT_TRUE(TestDaemon::write(s, std::string(1, c)));
    std::this_thread::sleep_for(std::chrono::microseconds(300));
  }
  // Nothing is handed over before the terminator.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(inbox.size(), 0u);
  ASSERT_TRUE(TestDaemon::write(s, "\x04"));
  ASSERT_TRUE(inbox.waitFor(1));
  EXPECT_EQ(inbox.messages(), Messages{text});
  // Terminator and next message in the same write as the tail of a message.
  ASSERT_TRUE(TestDaemon::write(s, "par"));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(TestDaemon::write(s, "t\x04next\x04"));
  ASSERT_TRUE(inbox.waitFor(3));
  EXPECT_EQ(inbox.messages(), (Messages{text, "part", "next"}));
}

TEST_F(Stream, CompleteMessagesDoNotWaitForATrailingPartOne) {
  // While the daemon keeps sending, most reads end inside a message; every
  // complete one must still be handed over at once.
  DaemonComm comm(dtest::recordStatus);
  int s = open(comm);
  ASSERT_TRUE(TestDaemon::write(s, "first\x04sec"));
  ASSERT_TRUE(inbox.waitFor(1)) << "a complete message waited for the partial one behind it";
  EXPECT_EQ(inbox.messages(), Messages{"first"});
  ASSERT_TRUE(TestDaemon::write(s, "ond\x04thi"));
  ASSERT_TRUE(inbox.waitFor(2));
  ASSERT_TRUE(TestDaemon::write(s, "rd\x04"));
  ASSERT_TRUE(inbox.waitFor(3));
  EXPECT_EQ(inbox.messages(), (Messages{"first", "second", "third"}));
}

TEST_F(Stream, LargeMessageAndBulkStream) {
  DaemonComm comm(dtest::recordStatus);
  int s = open(comm);
  std::string big(1 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('A' + (i * 7) % 53);
  const int count = 20000;
  std::string bulk;
  for (int i = 0; i < count; ++i) bulk += "message " + std::to_string(i) + "\x04";
  std::thread writer([&] { TestDaemon::write(s, big + "\x04" + bulk); });
  bool all = inbox.waitFor(count + 1);
  writer.join();
  ASSERT_TRUE(all);
  Messages got = inbox.messages();
  ASSERT_EQ(got.size(), static_cast<std::size_t>(count + 1));
  EXPECT_TRUE(got[0] == big) << "the 1 MiB message arrived changed, size " << got[0].size();
  for (int i = 0; i < count; ++i) ASSERT_EQ(got[i + 1], "message " + std::to_string(i));
}

// Takes the messages itself, and refuses some of them.
class Picky : public DaemonComm {
 public:
  Picky() : DaemonComm(dtest::recordStatus) {}
  std::atomic<int> taken{0};
  std::vector<std::string> kept;  // written on the response thread only

 protected:
  void processMessage(const std::string& message) override {
    if (message == "bad") throw std::runtime_error("cannot take it");
    if (message == "worse") throw Brimsel::Exception(0, false, "cannot take it either");
    kept.push_back(message);
    ++taken;
  }
};

TEST_F(Stream, ARaisingHandlerLosesOnlyItsOwnMessage) {
  Picky comm;
  int s = open(comm);
  ASSERT_TRUE(TestDaemon::write(s, "a\x04" "bad\x04" "b\x04" "worse\x04" "c\x04"));
  ASSERT_TRUE(dtest::eventually([&] { return comm.taken.load() == 3; }));
  ASSERT_TRUE(TestDaemon::write(s, "d\x04"));
  ASSERT_TRUE(dtest::eventually([&] { return comm.taken.load() == 4; }));
  EXPECT_TRUE(comm.disconnect());
  EXPECT_EQ(comm.kept, (Messages{"a", "b", "c", "d"}));
  // A derived handler takes the messages instead of the callback, and a
  // refused message is not reported.
  EXPECT_EQ(inbox.size(), 0u);
}

// The text the callback receives when the daemon ends the connection.
void expectLostConnectionText(const std::string& text) {
  std::regex form(
      "Error Code=1002\n"
      "Explanation=\"Daemon is not connected\"\n"
      "Fatal=Y\n"
      "Legend=\"Server connection terminated unexpectedly\"\n"
      "Location=daemoncomm\\.cpp @ ([0-9]+)\n");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(text, m, form)) << text;
  // Exactly what the exception's own text form gives.
  std::ostringstream expected;
  expected << Brimsel::Exception("daemoncomm.cpp", std::stoi(m[1]), 1002, true,
                                 "Server connection terminated unexpectedly");
  EXPECT_EQ(text, expected.str());
}

TEST_F(Stream, DaemonClosingTheConnectionIsReportedAndGivenUp) {
  DaemonComm comm(dtest::recordStatus);
  int s = open(comm);
  // A message before the close still arrives; a partial one is dropped.
  ASSERT_TRUE(TestDaemon::write(s, "last words\x04unfinish"));
  ASSERT_TRUE(inbox.waitFor(1));
  daemon.close(s);
  ASSERT_TRUE(inbox.waitFor(2));
  std::vector<dtest::Report> reports = inbox.reports();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].text, "last words");
  EXPECT_EQ(reports[1].status, DaemonComm::FAILURE);
  expectLostConnectionText(reports[1].text);
  EXPECT_FALSE(comm.isConnected());
  EXPECT_FALSE(comm.send("x"));
  EXPECT_FALSE(comm.disconnect());
  EXPECT_THROW(comm.createPingRequest(), Brimsel::Exception);

  // The object connects again with the same settings.
  ASSERT_TRUE(comm.connect());
  int s2 = daemon.accept();
  ASSERT_TRUE(TestDaemon::write(s2, "again\x04"));
  ASSERT_TRUE(inbox.waitFor(3));
  EXPECT_EQ(inbox.reports()[2].text, "again");
}

TEST_F(Stream, ResetConnectionIsALostConnection) {
  DaemonComm comm(dtest::recordStatus);
  int s = open(comm);
  ASSERT_TRUE(TestDaemon::write(s, "hi\x04"));
  ASSERT_TRUE(inbox.waitFor(1));
  daemon.reset(s);
  ASSERT_TRUE(inbox.waitFor(2));
  EXPECT_EQ(inbox.reports()[1].status, DaemonComm::FAILURE);
  expectLostConnectionText(inbox.reports()[1].text);
  EXPECT_FALSE(comm.isConnected());
}

TEST_F(Stream, LostConnectionWithoutCallbackIsGivenUpAllTheSame) {
  DaemonComm comm(nullptr);
  int s = open(comm);
  daemon.close(s);
  EXPECT_TRUE(dtest::eventually([&] { return !comm.isConnected(); }));
  EXPECT_FALSE(comm.send("x"));
}

// Callbacks that act on the object they report for.
std::atomic<DaemonComm*> gComm(nullptr);
std::atomic<int> gDisconnectResult(-1);

void disconnectOnBye(DaemonComm::Status status, const std::string& text) {
  DaemonComm* comm = gComm.load();
  if (status == DaemonComm::MESSAGE) comm->send("ack " + text);
  if (text == "bye") {
    gDisconnectResult = comm->disconnect() ? 1 : 0;
    // Gone for good: a send after it fails.
    comm->send("after bye");
  }
  dtest::recordStatus(status, text);
}

TEST_F(Stream, CallbackSendsAndDisconnects) {
  DaemonComm comm(disconnectOnBye);
  gComm = &comm;
  gDisconnectResult = -1;
  int s = open(comm);
  ASSERT_TRUE(TestDaemon::write(s, "hello\x04" "bye\x04" "ignored\x04"));
  ASSERT_TRUE(inbox.waitFor(2));
  EXPECT_EQ(daemon.readMessages(s, 2), (Messages{"ack hello", "ack bye"}));
  EXPECT_TRUE(daemon.waitClosed(s));
  EXPECT_EQ(gDisconnectResult.load(), 1);
  EXPECT_FALSE(comm.isConnected());
  EXPECT_FALSE(comm.disconnect());
  // The rest of the block the disconnect came in is still delivered (it was
  // read already), and nothing after it.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(inbox.messages(), (Messages{"hello", "bye", "ignored"}));
  gComm = nullptr;
}

void reconnectOnFailure(DaemonComm::Status status, const std::string& text) {
  if (status == DaemonComm::FAILURE) {
    try {
      gComm.load()->connect();
    } catch (const Brimsel::Exception&) {
      dtest::recordStatus(DaemonComm::FAILURE, "reconnect failed");
    }
  }
  dtest::recordStatus(status, text);
}

TEST_F(Stream, CallbackReconnectsAfterALostConnection) {
  DaemonComm comm(reconnectOnFailure);
  gComm = &comm;
  int s = open(comm);
  daemon.close(s);
  int s2 = daemon.accept();
  ASSERT_NE(s2, -1);
  ASSERT_TRUE(inbox.waitFor(1));
  EXPECT_TRUE(comm.isConnected());
  ASSERT_TRUE(TestDaemon::write(s2, "over the new one\x04"));
  ASSERT_TRUE(inbox.waitFor(2));
  EXPECT_EQ(inbox.reports()[1].text, "over the new one");
  EXPECT_TRUE(comm.disconnect());
  EXPECT_TRUE(daemon.waitClosed(s2));
  gComm = nullptr;
}

TEST_F(Stream, DestroyWhileTheDaemonIsMidStream) {
  std::atomic<bool> stop(false);
  int s;
  std::thread writer;
  {
    DaemonComm comm(dtest::recordStatus);
    s = open(comm);
    writer = std::thread([&] {
      std::string chunk;
      for (int i = 0; i < 1000; ++i) chunk += "tick " + std::to_string(i) + "\x04";
      while (!stop && TestDaemon::write(s, chunk)) {
      }
    });
    ASSERT_TRUE(inbox.waitFor(100));
  }
  // The object is gone: the daemon's writes fail once the connection is closed.
  stop = true;
  writer.join();
  std::size_t after = inbox.size();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(inbox.size(), after);
}

}  // namespace
