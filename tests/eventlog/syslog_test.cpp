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

const int kErr = 3, kWarning = 4, kInfo = 6;
const std::string kUiError = "[UI Events 0x40020106] An Error was posted. Legend was: ";

std::string pid() { return std::to_string(static_cast<long>(getpid())); }

class SyslogLog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { daemon_ = new SyslogDaemon; }
  static void TearDownTestSuite() {
    delete daemon_;
    Brimsel::detail::setSyslogSocketPath("");
  }
  void SetUp() override {
    ASSERT_TRUE(daemon_->running()) << daemon_->error();
    Brimsel::detail::setSyslogSocketPath(daemon_->socketPath());
  }
  // A source name of the running test's own, so that its entries are told apart.
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
      // Exceptions give their legend alone: not the code, explanation or location.
      {[&] { return logger.log(Exception("reader.cpp", 42, 4302, true, "cannot read"), EventLogger::LAYER_DATA); },
       kErr, "[Data Events 0x40020101] A Brimsel Exception Critical Error occured. Legend was: cannot read"},
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
    EXPECT_EQ(1, got[i].facility) << cases[i].message;  // user
    EXPECT_EQ(pid(), got[i].procId) << cases[i].message;
  }
}

// "<PRI>Mmm dd hh:mm:ss SOURCE[PID]: MESSAGE", local time, the day padded with a blank.
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
  std::set<std::string> possible;
  for (time_t t = before; t <= after; ++t) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm local;
    ASSERT_NE(nullptr, localtime_r(&t, &local));
    char text[32];
    std::snprintf(text, sizeof text, "%s %2d %02d:%02d:%02d", months[local.tm_mon], local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec);
    possible.insert(text);
  }
  EXPECT_EQ(1u, possible.count(match[1].str())) << got[0].raw;
}

// A new logger starts quiet; each level admits what the ones below admit, a
// level below 0 what 0 admits, above 3 what 3 admits. Errors, warnings,
// unknown-exception entries and exceptions pass at every level.
TEST_F(SyslogLog, LevelFiltersMessagesDebugAndTraceLinesOnly) {
  EXPECT_EQ(EventLogger::LEVEL_QUIET, EventLogger(source("-new")).level());
  for (int level : {-1, 0, 1, 2, 3, 4}) {
    SCOPED_TRACE("level " + std::to_string(level));
    const std::string name = source(std::to_string(level + 10));
    EventLogger logger(name);
    if (level != 0) logger.setLevel(static_cast<EventLogger::Level>(level));
    EXPECT_EQ(level >= 1, logger.logMessage("message", EventLogger::LAYER_UI));
    EXPECT_EQ(level >= 2, logger.logDebug("debug", EventLogger::LAYER_UI));
    EXPECT_EQ(level >= 3, logger.logTrace("trace", EventLogger::LAYER_UI));
    EXPECT_TRUE(logger.logWarning("warning", EventLogger::LAYER_UI));
    EXPECT_TRUE(logger.logUnknown(EventLogger::LAYER_UI));
    EXPECT_TRUE(logger.log(Exception(5, false, "exception"), EventLogger::LAYER_UI));
    // Datagrams of one socket arrive in order: once the last is there, all are.
    EXPECT_TRUE(logger.logError("last", EventLogger::LAYER_UI));

    std::vector<std::string> expected;
    if (level >= 1) expected.push_back("[UI Events 0xC0020107] A Message was posted. Legend was: message");
    if (level >= 2) expected.push_back("[UI Events 0xC0020108] Debug info was posted. Legend was: debug");
    if (level >= 3) expected.push_back("[UI Events 0xC0020109] Trace info was posted. Legend was: trace");
    expected.push_back("[UI Events 0x80020105] A Warning was posted. Legend was: warning");
    expected.push_back("[UI Events 0x40020104] An unknown exception was caught.");
    expected.push_back("[UI Events 0x80020100] A Brimsel Exception Warning occured. Legend was: exception");
    expected.push_back(kUiError + "last");
    ASSERT_EQ(expected.size(), daemon_->waitFor(name, expected.size()).size());
    const std::vector<SyslogEntry> got = daemon_->entries(name);
    ASSERT_EQ(expected.size(), got.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(expected[i], got[i].message);
    }
  }
}

TEST_F(SyslogLog, LayersChooseTheCategoryText) {
  const std::string name = source();
  EventLogger logger(name);
  const std::vector<std::pair<int, std::string>> layers = {
      {0, "Dal Events"}, {1, "Data Events"}, {2, "Data Events"}, {3, "UI Events"},       {4, "UI Events"},
      {5, "Daemon Events"}, {7, "UI Events"}, {-1, "UI Events"}, {65536 + 5, "UI Events"}};
  for (const auto& layer : layers) {
    EXPECT_TRUE(logger.logError("layer", static_cast<EventLogger::Layer>(layer.first)));
  }
  const std::vector<SyslogEntry> got = daemon_->waitFor(name, layers.size());
  ASSERT_EQ(layers.size(), got.size());
  for (size_t i = 0; i < layers.size(); ++i) {
    EXPECT_EQ("[" + layers[i].second + " 0x40020106] An Error was posted. Legend was: layer", got[i].message)
        << layers[i].first;
  }
}

// The text is passed unchanged: several lines stay one entry, a "%1" in it is
// not expanded again, a long text is not cut; like the Windows event log, the
// text ends at a zero byte. (rsyslog writes control bytes as #ooo.)
TEST_F(SyslogLog, TextIsPassedUnchanged) {
  const std::string name = source();
  EventLogger logger(name);
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"first line\nsecond line\r\nthird", "first line#012second line#015#012third"},
      {"100%1 sure", "100%1 sure"},
      {std::string(4000, 'x'), std::string(4000, 'x')},
      {std::string("before\0after", 12), "before"},
      {"", ""}};
  for (const auto& text : texts) {
    ASSERT_TRUE(logger.logError(text.first, EventLogger::LAYER_UI));
  }
  const std::vector<SyslogEntry> got = daemon_->waitFor(name, texts.size());
  ASSERT_EQ(texts.size(), got.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(kUiError + texts[i].second, got[i].message);
  }
}

// Each logger writes under its own source; copies share it, and it stays
// open while any copy holds it.
TEST_F(SyslogLog, CopiesShareTheSourceUntilTheLastIsGone) {
  const std::string name = source();
  const std::string other = source("-other");
  auto original = std::make_unique<EventLogger>(name);
  original->setLevel(EventLogger::LEVEL_DEBUG);
  EventLogger copy(*original);
  EventLogger assigned(other);
  EXPECT_TRUE(assigned.logError("own source", EventLogger::LAYER_UI));
  assigned = *original;
  assigned = assigned;
  original.reset();

  EXPECT_TRUE(copy.logDebug("copy", EventLogger::LAYER_UI));
  EXPECT_FALSE(copy.logTrace("the level is copied too", EventLogger::LAYER_UI));
  EXPECT_TRUE(assigned.logDebug("assigned", EventLogger::LAYER_UI));
  const std::vector<SyslogEntry> got = daemon_->waitFor(name, 2);
  ASSERT_EQ(2u, got.size());
  EXPECT_EQ("[UI Events 0xC0020108] Debug info was posted. Legend was: copy", got[0].message);
  EXPECT_EQ("[UI Events 0xC0020108] Debug info was posted. Legend was: assigned", got[1].message);
  const std::vector<SyslogEntry> own = daemon_->entries(other);
  ASSERT_EQ(1u, own.size());
  EXPECT_EQ(kUiError + "own source", own[0].message);
}

TEST_F(SyslogLog, ConcurrentWritersLoseNoEntry) {
  const std::string name = source();
  EventLogger logger(name);
  logger.setLevel(EventLogger::LEVEL_TRACE);
  const int threads = 4, perThread = 50;
  std::vector<std::thread> writers;
  std::vector<int> failures(threads, 0);
  for (int t = 0; t < threads; ++t) {
    writers.emplace_back([&logger, &failures, t] {
      for (int i = 0; i < perThread; ++i) {
        failures[t] += logger.logTrace(std::to_string(t) + "/" + std::to_string(i), EventLogger::LAYER_CLIENT) ? 0 : 1;
      }
    });
  }
  for (std::thread& w : writers) w.join();
  EXPECT_EQ(std::vector<int>(threads, 0), failures);
  const std::vector<SyslogEntry> got = daemon_->waitFor(name, threads * perThread);
  std::set<std::string> texts;
  for (const SyslogEntry& e : got) texts.insert(e.message);
  EXPECT_EQ(static_cast<size_t>(threads * perThread), got.size());
  for (int t = 0; t < threads; ++t) {
    for (int i = 0; i < perThread; ++i) {
      const std::string text = std::to_string(t) + "/" + std::to_string(i);
      EXPECT_EQ(1u, texts.count("[UI Events 0xC0020109] Trace info was posted. Legend was: " + text)) << text;
    }
  }
}

// A source that cannot open (no socket, a socket nobody serves, a path too
// long for a socket) gives a logger whose every writer returns false.
TEST_F(SyslogLog, RefusedSourceWritesNothing) {
  const std::string stale = daemon_->folder() + "/stale.sock";
  const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, stale.c_str());
  ASSERT_EQ(0, bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address));
  close(fd);  // the socket file stays, nobody reads it

  for (const std::string& path : {daemon_->folder() + "/missing.sock", stale, "/tmp/" + std::string(200, 'n')}) {
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
}

// A logger opened before the daemon restarts writes to the new daemon on the
// same socket path; with no daemon, entries are refused, not reported written.
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
  EXPECT_EQ(kUiError + "after", got[1].message);

  daemon.stop();
  EXPECT_FALSE(logger.logError("nobody listens", EventLogger::LAYER_UI));
}

}  // namespace

#endif  // !_WIN32
