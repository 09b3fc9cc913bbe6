// SPDX-License-Identifier: MIT
// Entries written on Linux, read back from a private rsyslogd.
#if !defined(_WIN32)

#include "eventlog_test.h"

using namespace brimsel_test;

namespace {

const std::string kUiError = "[UI Events 0x40020106] An Error was posted. Legend was: ";
const std::string pid = std::to_string(static_cast<long>(getpid()));

// The entries writeEach() gives, in its order.
std::vector<std::string> entriesOfEach(const std::string& category, const std::string& text) {
  const std::string c = "[" + category + " 0x";
  return {c + "40020106] An Error was posted. Legend was: " + text,
          c + "80020105] A Warning was posted. Legend was: " + text,
          c + "C0020107] A Message was posted. Legend was: " + text,
          c + "C0020108] Debug info was posted. Legend was: " + text,
          c + "C0020109] Trace info was posted. Legend was: " + text,
          c + "40020104] An unknown exception was caught.",
          c + "80020100] A Brimsel Exception Warning occured. Legend was: " + text};
}

// The daemon these tests share, stopped by pid when the program ends.
SyslogDaemon& daemon() {
  static SyslogDaemon shared;
  return shared;
}

class SyslogLog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(daemon().running()) << daemon().error;
    Brimsel::detail::setSyslogSocketPath(daemon().socketPath);
  }
  void TearDown() override { Brimsel::detail::setSyslogSocketPath(""); }
  // A source name of the running test's own, so that its entries are told apart.
  const std::string name = std::string("brimsel-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

// Each datagram is "<PRI>Mmm dd hh:mm:ss SOURCE[PID]: MESSAGE", facility user,
// local time with the day padded with a blank; exceptions give their legend
// alone (not the code, explanation or location).
TEST_F(SyslogLog, EveryKindOfEntryHasItsSeverityCategoryIdentifierAndText) {
  EventLogger logger(name);
  logger.setLevel(EventLogger::LEVEL_TRACE);
  const time_t before = time(nullptr);
  std::vector<bool> written = writeEach(logger, "disk full", EventLogger::LAYER_SERVICE);
  written.push_back(logger.log(Exception("reader.cpp", 42, 4302, true, "cannot read"), EventLogger::LAYER_SERVICE));
  EXPECT_EQ(std::vector<bool>(8, true), written);
  std::set<std::string> stamps;
  for (time_t t = before; t <= time(nullptr); ++t) {
    char text[32];
    stamps.insert(std::string(text, strftime(text, sizeof text, "%b %e %H:%M:%S", localtime(&t))));
  }
  std::vector<std::string> expected = entriesOfEach("Data Events", "disk full");
  expected.push_back("[Data Events 0x40020101] A Brimsel Exception Critical Error occured. Legend was: cannot read");
  const int severity[] = {3, 4, 6, 6, 6, 3, 4, 3};
  const std::vector<SyslogEntry> got = daemon().entries(name, expected.size());
  ASSERT_EQ(expected.size(), got.size());
  for (size_t i = 0; i < got.size(); ++i) {
    const std::string pri = "<" + std::to_string(8 + severity[i]) + ">", stamp = got[i].raw.substr(pri.size(), 15);
    EXPECT_EQ(std::make_pair(severity[i], expected[i]), std::make_pair(got[i].severity, got[i].message));
    EXPECT_EQ(std::make_pair(1, pid), std::make_pair(got[i].facility, got[i].procId));  // facility user
    EXPECT_EQ(pri + stamp + " " + name + "[" + pid + "]: " + expected[i], got[i].raw);
    EXPECT_EQ(1u, stamps.count(stamp)) << got[i].raw;
  }
}

// A new logger starts quiet; each level admits what the ones below admit, a
// level below 0 what 0 admits, above 3 what 3 admits. Errors, warnings,
// unknown-exception entries and exceptions pass at every level.
TEST_F(SyslogLog, LevelFiltersMessagesDebugAndTraceLinesOnly) {
  EXPECT_EQ(EventLogger::LEVEL_QUIET, EventLogger(name + "-new").level());
  const std::vector<std::string> all = entriesOfEach("UI Events", "t");
  for (int level : {-1, 0, 1, 2, 3, 4}) {
    SCOPED_TRACE("level " + std::to_string(level));
    EventLogger logger(name + std::to_string(level + 10));
    if (level != 0) logger.setLevel(static_cast<EventLogger::Level>(level));
    const std::vector<bool> admitted = {true, true, level >= 1, level >= 2, level >= 3, true, true};
    EXPECT_EQ(admitted, writeEach(logger, "t", EventLogger::LAYER_UI));
    std::vector<std::string> expected;
    for (size_t i = 0; i < all.size(); ++i) {
      if (admitted[i]) expected.push_back(all[i]);
    }
    // Datagrams of one socket arrive in order: an entry written in excess
    // shows as a wrong text among the first ones.
    EXPECT_EQ(expected, messages(daemon().entries(name + std::to_string(level + 10), expected.size())));
  }
}

// Layers choose the category text (any other layer gives "UI Events"). The
// text is passed unchanged: several lines stay one entry, a "%1" in it is not
// expanded again, a long text is not cut; like the Windows event log, the
// text ends at a zero byte. (rsyslog writes control bytes as #ooo.)
TEST_F(SyslogLog, LayersChooseTheCategoryAndTextsPassUnchanged) {
  EventLogger logger(name);
  struct Case {
    int layer;
    std::string text, category, shown;
  };
  const Case cases[] = {{0, "a", "Dal Events", "a"},
                        {1, "b", "Data Events", "b"},
                        {2, "c", "Data Events", "c"},
                        {3, "first line\nsecond line\r\nthird", "UI Events", "first line#012second line#015#012third"},
                        {4, "100%1 sure", "UI Events", "100%1 sure"},
                        {5, std::string(4000, 'x'), "Daemon Events", std::string(4000, 'x')},
                        {7, std::string("before\0after", 12), "UI Events", "before"},
                        {-1, "", "UI Events", ""},
                        {65536 + 5, "d", "UI Events", "d"}};
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    EXPECT_TRUE(logger.logError(c.text, static_cast<EventLogger::Layer>(c.layer))) << c.layer;
    expected.push_back("[" + c.category + " 0x40020106] An Error was posted. Legend was: " + c.shown);
  }
  EXPECT_EQ(expected, messages(daemon().entries(name, expected.size())));
}

// Each logger writes under its own source; copies share it (and the level),
// and it stays open while any copy holds it.
TEST_F(SyslogLog, CopiesShareTheSourceUntilTheLastIsGone) {
  auto original = std::make_unique<EventLogger>(name);
  original->setLevel(EventLogger::LEVEL_DEBUG);
  EventLogger copy(*original);
  EventLogger assigned(name + "-other");
  EXPECT_TRUE(assigned.logError("own source", EventLogger::LAYER_UI));
  assigned = *original;
  assigned = assigned;
  original.reset();
  EXPECT_TRUE(copy.logDebug("copy", EventLogger::LAYER_UI));
  EXPECT_FALSE(copy.logTrace("the level is copied too", EventLogger::LAYER_UI));
  EXPECT_TRUE(assigned.logDebug("assigned", EventLogger::LAYER_UI));
  EXPECT_EQ((std::vector<std::string>{"[UI Events 0xC0020108] Debug info was posted. Legend was: copy",
                                      "[UI Events 0xC0020108] Debug info was posted. Legend was: assigned"}),
            messages(daemon().entries(name, 2)));
  EXPECT_EQ(std::vector<std::string>{kUiError + "own source"}, messages(daemon().entries(name + "-other")));
}

TEST_F(SyslogLog, ConcurrentWritersLoseNoEntry) {
  EventLogger logger(name);
  logger.setLevel(EventLogger::LEVEL_TRACE);
  std::atomic<int> written{0};
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&logger, &written, t] {
      for (int i = t * 50; i < t * 50 + 50; ++i) {
        written += logger.logTrace(std::to_string(i), EventLogger::LAYER_CLIENT);
      }
    });
  }
  for (std::thread& w : writers) w.join();
  EXPECT_EQ(200, written.load());
  std::multiset<std::string> expected;
  for (int i = 0; i < 200; ++i) expected.insert(entriesOfEach("UI Events", std::to_string(i))[4]);
  const std::vector<std::string> got = messages(daemon().entries(name, expected.size()));
  EXPECT_EQ(expected, std::multiset<std::string>(got.begin(), got.end()));
}

// A source that cannot open (no socket, a path too long for a socket) gives
// a logger whose every writer returns false.
TEST_F(SyslogLog, RefusedSourceWritesNothing) {
  for (const std::string& path : {daemon().dir + "/missing.sock", "/tmp/" + std::string(200, 'n')}) {
    SCOPED_TRACE(path);
    Brimsel::detail::setSyslogSocketPath(path);
    EventLogger logger(name);
    logger.setLevel(EventLogger::LEVEL_TRACE);
    EXPECT_EQ(&logger, EventLogger::theLogger());
    EXPECT_EQ(std::vector<bool>(7, false), writeEach(logger, "x", EventLogger::LAYER_UI));
    EXPECT_FALSE(logger.log(Exception(5, true, "x"), EventLogger::LAYER_UI));
  }
}

// While the daemon is down entries are refused, not reported written; a
// logger opened before it restarts writes to the new daemon on the same path.
TEST_F(SyslogLog, LoggerWritesAgainAfterTheDaemonRestarts) {
  EventLogger logger(name);
  ASSERT_TRUE(logger.logError("before", EventLogger::LAYER_UI));
  ASSERT_EQ(1u, daemon().entries(name, 1).size());
  daemon().stop();
  EXPECT_FALSE(logger.logError("nobody listens", EventLogger::LAYER_UI));
  ASSERT_TRUE(daemon().start()) << daemon().error;
  EXPECT_TRUE(logger.logError("after", EventLogger::LAYER_UI));
  EXPECT_EQ((std::vector<std::string>{kUiError + "before", kUiError + "after"}), messages(daemon().entries(name, 2)));
}

}  // namespace

#endif  // !_WIN32
