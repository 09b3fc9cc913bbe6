// Entries written on Linux, read back from a private rsyslogd.
#if !defined(_WIN32)

#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>

#include "eventlogger_internal.h"
#include "syslog_daemon.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using Brimsel::EventLogger;
using Brimsel::Exception;
using brimsel_test::SyslogDaemon;
using brimsel_test::SyslogEntry;

namespace {

const int kFacilityUser = 1;
const int kErr = 3;
const int kWarning = 4;
const int kInfo = 6;

std::string pid() { return std::to_string(static_cast<long>(getpid())); }

class SyslogLog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { daemon_ = new SyslogDaemon; }
  static void TearDownTestSuite() {
    delete daemon_;
    daemon_ = nullptr;
    Brimsel::detail::setSyslogSocketPath("");
  }
  void SetUp() override {
    ASSERT_TRUE(daemon_->running()) << daemon_->error();
    Brimsel::detail::setSyslogSocketPath(daemon_->socketPath());
  }

  // A source name of this test's own, so that its entries are told apart.
  static std::string source(const std::string& suffix = "") {
    return std::string("brimsel-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
  }

  static SyslogDaemon* daemon_;
};

SyslogDaemon* SyslogLog::daemon_ = nullptr;

TEST_F(SyslogLog, EveryKindOfEntryHasItsSeverityCategoryIdentifierAndText) {
  const std::string name = source();
  EventLogger logger(name);
  logger.setLevel(EventLogger::LEVEL_TRACE);

  struct Case {
    std::function<bool()> write;
    int severity;
    std::string message;
  };
  const std::vector<Case> cases = {
      {[&] { return logger.logError("disk full", EventLogger::LAYER_DATA); }, kErr,
       "[Data Events 0x40020106] An Error was posted. Legend was: disk full"},
      {[&] { return logger.logWarning("low memory", EventLogger::LAYER_DAL); }, kWarning,
       "[Dal Events 0x80020105] A Warning was posted. Legend was: low memory"},
      {[&] { return logger.logMessage("started", EventLogger::LAYER_UI); }, kInfo,
       "[UI Events 0xC0020107] A Message was posted. Legend was: started"},
      {[&] { return logger.logDebug("x=1", EventLogger::LAYER_SERVICE); }, kInfo,
       "[Data Events 0xC0020108] Debug info was posted. Legend was: x=1"},
      {[&] { return logger.logTrace("received 12 bytes", EventLogger::LAYER_CLIENT); }, kInfo,
       "[UI Events 0xC0020109] Trace info was posted. Legend was: received 12 bytes"},
      {[&] { return logger.logUnknown(EventLogger::LAYER_DAEMON); }, kErr,
       "[Daemon Events 0x40020104] An unknown exception was caught."},
      // Exceptions: the legend alone, not the code, explanation or location.
      {[&] { return logger.log(Exception("reader.cpp", 42, 4302, true, "cannot read the table"), EventLogger::LAYER_DATA); },
       kErr, "[Data Events 0x40020101] A Brimsel Exception Critical Error occured. Legend was: cannot read the table"},
      {[&] { return logger.log(Exception(4302, false, "retrying"), EventLogger::LAYER_DAEMON); }, kWarning,
       "[Daemon Events 0x80020100] A Brimsel Exception Warning occured. Legend was: retrying"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(c.write()) << c.message;
  }

  const std::vector<SyslogEntry> got = daemon_->waitFor(name, cases.size());
  ASSERT_EQ(cases.size(), got.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(cases[i].message, got[i].message);
    EXPECT_EQ(cases[i].severity, got[i].severity) << cases[i].message;
    EXPECT_EQ(kFacilityUser, got[i].facility) << cases[i].message;
    EXPECT_EQ(pid(), got[i].procId) << cases[i].message;
  }
}

// The datagram itself: "<PRI>Mmm dd hh:mm:ss SOURCE[PID]: MESSAGE" with the
// local time of writing, the day padded with a blank.
TEST_F(SyslogLog, DatagramHasTheTraditionalFormWithLocalTime) {
  const std::string name = source();
  EventLogger logger(name);
  const time_t before = time(nullptr);
  ASSERT_TRUE(logger.logWarning("check", EventLogger::LAYER_UI));
  const time_t after = time(nullptr);

  const std::vector<SyslogEntry> got = daemon_->waitFor(name, 1);
  ASSERT_EQ(1u, got.size());
  const std::regex form("<12>([A-Z][a-z][a-z] [ 1-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]) " + name + "\\[" + pid() +
                        "\\]: \\[UI Events 0x80020105\\] A Warning was posted\\. Legend was: check");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(got[0].raw, match, form)) << got[0].raw;

  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::set<std::string> possible;
  for (time_t t = before; t <= after; ++t) {
    struct tm local;
    ASSERT_NE(nullptr, localtime_r(&t, &local));
    char text[32];
    std::snprintf(text, sizeof text, "%s %2d %02d:%02d:%02d", months[local.tm_mon], local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec);
    possible.insert(text);
  }
  EXPECT_EQ(1u, possible.count(match[1].str())) << got[0].raw;
}

// Each level admits what the ones below admit; below 0 is 0, above 3 is 3.
// Errors, warnings, unknown-exception entries and exceptions pass at every level.
TEST_F(SyslogLog, LevelFiltersMessagesDebugAndTraceLinesOnly) {
  for (int level : {-1, 0, 1, 2, 3, 4}) {
    SCOPED_TRACE("level " + std::to_string(level));
    const std::string name = source(std::to_string(level + 10));
    EventLogger logger(name);
    logger.setLevel(static_cast<EventLogger::Level>(level));
    EXPECT_EQ(level, static_cast<int>(logger.level()));

    EXPECT_EQ(level >= 1, logger.logMessage("message", EventLogger::LAYER_UI));
    EXPECT_EQ(level >= 2, logger.logDebug("debug", EventLogger::LAYER_UI));
    EXPECT_EQ(level >= 3, logger.logTrace("trace", EventLogger::LAYER_UI));
    EXPECT_TRUE(logger.logWarning("warning", EventLogger::LAYER_UI));
    EXPECT_TRUE(logger.logUnknown(EventLogger::LAYER_UI));
    EXPECT_TRUE(logger.log(Exception(5, false, "exception"), EventLogger::LAYER_UI));
    // Datagrams of one socket arrive in order: once the last entry is there,
    // everything written before it is too.
    EXPECT_TRUE(logger.logError("last", EventLogger::LAYER_UI));

    std::vector<std::string> expected;
    if (level >= 1) expected.push_back("[UI Events 0xC0020107] A Message was posted. Legend was: message");
    if (level >= 2) expected.push_back("[UI Events 0xC0020108] Debug info was posted. Legend was: debug");
    if (level >= 3) expected.push_back("[UI Events 0xC0020109] Trace info was posted. Legend was: trace");
    expected.push_back("[UI Events 0x80020105] A Warning was posted. Legend was: warning");
    expected.push_back("[UI Events 0x40020104] An unknown exception was caught.");
    expected.push_back("[UI Events 0x80020100] A Brimsel Exception Warning occured. Legend was: exception");
    expected.push_back("[UI Events 0x40020106] An Error was posted. Legend was: last");

    std::vector<SyslogEntry> got = daemon_->waitFor(name, expected.size());
    ASSERT_EQ(expected.size(), got.size());
    // Nothing filtered out may trail behind the last entry.
    got = daemon_->entries(name);
    ASSERT_EQ(expected.size(), got.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(expected[i], got[i].message);
    }
  }
}

TEST_F(SyslogLog, NewLoggerStartsQuiet) {
  EventLogger logger(source());
  EXPECT_EQ(EventLogger::LEVEL_QUIET, logger.level());
  EXPECT_FALSE(logger.logMessage("message", EventLogger::LAYER_UI));
}

TEST_F(SyslogLog, LayersChooseTheCategoryText) {
  const std::string name = source();
  EventLogger logger(name);
  const std::vector<std::pair<int, std::string>> layers = {
      {0, "Dal Events"}, {1, "Data Events"}, {2, "Data Events"}, {3, "UI Events"}, {4, "UI Events"},
      {5, "Daemon Events"}, {7, "UI Events"}, {-1, "UI Events"}, {65536 + 5, "UI Events"}};
  for (const auto& layer : layers) {
    EXPECT_TRUE(logger.logError("layer " + std::to_string(layer.first), static_cast<EventLogger::Layer>(layer.first)));
  }
  const std::vector<SyslogEntry> got = daemon_->waitFor(name, layers.size());
  ASSERT_EQ(layers.size(), got.size());
  for (size_t i = 0; i < layers.size(); ++i) {
    EXPECT_EQ("[" + layers[i].second + " 0x40020106] An Error was posted. Legend was: layer " +
                  std::to_string(layers[i].first),
              got[i].message);
  }
}

// The text is passed unchanged: several lines stay one entry, a "%1" in it is
// not expanded again, a long text is not cut; like the Windows event log, the
// text ends at a zero byte. (rsyslog writes control bytes as #ooo.)
TEST_F(SyslogLog, TextIsPassedUnchanged) {
  const std::string name = source();
  EventLogger logger(name);
  const std::string longText(4000, 'x');
  ASSERT_TRUE(logger.logError("first line\nsecond line\r\nthird", EventLogger::LAYER_UI));
  ASSERT_TRUE(logger.logError("100%1 sure", EventLogger::LAYER_UI));
  ASSERT_TRUE(logger.logError(longText, EventLogger::LAYER_UI));
  ASSERT_TRUE(logger.logError(std::string("before\0after", 12), EventLogger::LAYER_UI));
  ASSERT_TRUE(logger.logError("", EventLogger::LAYER_UI));

  const std::string prefix = "[UI Events 0x40020106] An Error was posted. Legend was: ";
  const std::vector<SyslogEntry> got = daemon_->waitFor(name, 5);
  ASSERT_EQ(5u, got.size());
  EXPECT_EQ(prefix + "first line#012second line#015#012third", got[0].message);
  EXPECT_EQ(prefix + "100%1 sure", got[1].message);
  EXPECT_EQ(prefix + longText, got[2].message);
  EXPECT_EQ(prefix + "before", got[3].message);
  EXPECT_EQ(prefix, got[4].message);
}

// No process-wide identity: loggers of several sources write side by side.
TEST_F(SyslogLog, EachLoggerKeepsItsOwnSource) {
  const std::string first = source("-first");
  const std::string second = source("-second");
  EventLogger a(first);
  EventLogger b(second);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(a.logError("a" + std::to_string(i), EventLogger::LAYER_UI));
    ASSERT_TRUE(b.logError("b" + std::to_string(i), EventLogger::LAYER_UI));
  }
  const std::vector<SyslogEntry> fromA = daemon_->waitFor(first, 3);
  const std::vector<SyslogEntry> fromB = daemon_->waitFor(second, 3);
  ASSERT_EQ(3u, fromA.size());
  ASSERT_EQ(3u, fromB.size());
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(std::string::npos, fromA[i].message.find("Legend was: a" + std::to_string(i)));
    EXPECT_NE(std::string::npos, fromB[i].message.find("Legend was: b" + std::to_string(i)));
  }
}

// Copies share the source; it stays open while any copy holds it.
TEST_F(SyslogLog, CopiesShareTheSourceUntilTheLastIsGone) {
  const std::string name = source();
  auto original = std::make_unique<EventLogger>(name);
  original->setLevel(EventLogger::LEVEL_DEBUG);
  EventLogger copy(*original);
  EventLogger assigned(source("-other"));
  assigned = *original;
  assigned = assigned;
  original.reset();

  EXPECT_TRUE(copy.logDebug("from the copy", EventLogger::LAYER_UI));
  EXPECT_FALSE(copy.logTrace("level is copied too", EventLogger::LAYER_UI));
  EXPECT_TRUE(assigned.logDebug("from the assigned one", EventLogger::LAYER_UI));
  const std::vector<SyslogEntry> got = daemon_->waitFor(name, 2);
  ASSERT_EQ(2u, got.size());
  EXPECT_NE(std::string::npos, got[0].message.find("from the copy"));
  EXPECT_NE(std::string::npos, got[1].message.find("from the assigned one"));
  EXPECT_TRUE(daemon_->entries(source("-other")).empty());
}

TEST_F(SyslogLog, ConcurrentWritersLoseNoEntry) {
  const std::string name = source();
  EventLogger logger(name);
  logger.setLevel(EventLogger::LEVEL_TRACE);
  const int threads = 4;
  const int perThread = 50;
  std::vector<std::thread> writers;
  std::vector<int> failures(threads, 0);
  for (int t = 0; t < threads; ++t) {
    writers.emplace_back([&logger, &failures, t] {
      for (int i = 0; i < perThread; ++i) {
        if (!logger.logTrace("thread " + std::to_string(t) + " entry " + std::to_string(i), EventLogger::LAYER_CLIENT)) {
          ++failures[t];
        }
      }
    });
  }
  for (std::thread& w : writers) {
    w.join();
  }
  for (int t = 0; t < threads; ++t) {
    EXPECT_EQ(0, failures[t]) << "thread " << t;
  }
  const std::vector<SyslogEntry> got = daemon_->waitFor(name, threads * perThread);
  ASSERT_EQ(static_cast<size_t>(threads * perThread), got.size());
  std::set<std::string> texts;
  for (const SyslogEntry& e : got) {
    texts.insert(e.message);
  }
  for (int t = 0; t < threads; ++t) {
    for (int i = 0; i < perThread; ++i) {
      EXPECT_EQ(1u, texts.count("[UI Events 0xC0020109] Trace info was posted. Legend was: thread " +
                                std::to_string(t) + " entry " + std::to_string(i)));
    }
  }
}

// A source that cannot open (no socket, or a socket nobody serves) gives a
// logger whose every writer returns false.
TEST_F(SyslogLog, RefusedSourceWritesNothing) {
  const std::string stale = daemon_->folder() + "/stale.sock";
  {
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, stale.c_str());
    ASSERT_EQ(0, bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address));
    close(fd);  // the file stays, nobody reads it
  }
  const std::string tooLong = "/tmp/" + std::string(200, 'n') + ".sock";
  for (const std::string& path : {daemon_->folder() + "/missing.sock", stale, tooLong}) {
    SCOPED_TRACE(path);
    Brimsel::detail::setSyslogSocketPath(path);
    EventLogger logger(source());
    logger.setLevel(EventLogger::LEVEL_TRACE);
    EXPECT_EQ(&logger, EventLogger::theLogger());
    EXPECT_FALSE(logger.logError("e", EventLogger::LAYER_UI));
    EXPECT_FALSE(logger.logWarning("w", EventLogger::LAYER_UI));
    EXPECT_FALSE(logger.logMessage("m", EventLogger::LAYER_UI));
    EXPECT_FALSE(logger.logDebug("d", EventLogger::LAYER_UI));
    EXPECT_FALSE(logger.logTrace("t", EventLogger::LAYER_UI));
    EXPECT_FALSE(logger.logUnknown(EventLogger::LAYER_UI));
    EXPECT_FALSE(logger.log(Exception(5, true, "x"), EventLogger::LAYER_UI));
  }
  unlink(stale.c_str());
}

// A logger opened before the daemon restarts keeps writing to the new daemon
// that serves the same socket path.
TEST(SyslogRestart, LoggerWritesAgainAfterTheDaemonRestarts) {
  SyslogDaemon daemon;
  ASSERT_TRUE(daemon.running()) << daemon.error();
  Brimsel::detail::setSyslogSocketPath(daemon.socketPath());
  EventLogger logger("brimsel-restart");
  Brimsel::detail::setSyslogSocketPath("");

  ASSERT_TRUE(logger.logError("before", EventLogger::LAYER_UI));
  ASSERT_EQ(1u, daemon.waitFor("brimsel-restart", 1).size());
  ASSERT_TRUE(daemon.restart()) << daemon.error();
  EXPECT_TRUE(logger.logError("after", EventLogger::LAYER_UI));
  const std::vector<SyslogEntry> got = daemon.waitFor("brimsel-restart", 2);
  ASSERT_EQ(2u, got.size());
  EXPECT_NE(std::string::npos, got[1].message.find("Legend was: after"));

  // While no daemon serves the socket, entries are refused, not reported as written.
  daemon.stop();
  EXPECT_FALSE(logger.logError("nobody listens", EventLogger::LAYER_UI));
}

}  // namespace

#endif  // !_WIN32
