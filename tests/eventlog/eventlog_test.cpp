// SPDX-License-Identifier: MIT
// EventLogger: the process-wide logger and the level filter everywhere; on
// Linux the entries as a private rsyslogd receives them and the registration
// files below a temporary store; on Windows the messages of the shipped
// brimsel.dll and the registry values of a registered source.
#include "platform/eventlog.h"

#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <tuple>

#include "allocations.h"
#include "support.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "eventlogger_internal.h"
#endif

using Brimsel::EventLogger;
using Brimsel::Exception;
namespace fs = std::filesystem;

namespace {

// Read while the program starts, before any test constructs a logger.
EventLogger* const gLoggerAtStart = EventLogger::theLogger();

// Newest wins, copies never become it, destroying it leaves none; filtered
// calls allocate nothing.
TEST(TheLogger, IsTheNewestLoggerAndFilteredCallsCostNoAllocation) {
  EXPECT_EQ(gLoggerAtStart, nullptr);
  auto first = std::make_unique<EventLogger>("brimsel-first");
  EXPECT_EQ(EventLogger::theLogger(), first.get());
  auto second = std::make_unique<EventLogger>("brimsel-second");
  {
    EventLogger copy(*second);
    copy = *first;
  }
  first.reset();
  EXPECT_EQ(EventLogger::theLogger(), second.get());
  const std::string text(100, 'x');
  const long before = support::allocations();
  for (int level = -1; level < 3; ++level) {
    second->setLevel(static_cast<EventLogger::Level>(level));
    EXPECT_FALSE(second->logTrace(text, EventLogger::LAYER_UI) ||
                 (level < 2 && second->logDebug(text, EventLogger::LAYER_UI)) ||
                 (level < 1 && second->logMessage(text, EventLogger::LAYER_UI)));
  }
  EXPECT_EQ(support::allocations(), before);
  second.reset();
  EXPECT_EQ(EventLogger::theLogger(), nullptr);
}

// ReportEventA refuses an insertion string beyond 31,839 characters (Wine
// takes any length, so the event log itself cannot show the cut).
TEST(LongEntry, WindowsInsertionStringsAreCutToWhatReportEventTakes) {
  std::string cut;
  const std::string fits(31839, 'f'), text = std::string(31836, 'a') + "bcdef";
  EXPECT_EQ(fits.c_str(), Brimsel::platform::fitInsertion(fits.c_str(), 31839, cut));
  EXPECT_EQ(
      std::string(31836, 'a') + "...",
      Brimsel::platform::fitInsertion(text.c_str(), Brimsel::platform::kMaxInsertionWindows, cut));
}

#if !defined(_WIN32)
// What each writer returned: error, warning, message, debug, trace, unknown, exception.
std::vector<bool> writeEach(EventLogger& logger, const std::string& text, int layer) {
  const auto l = static_cast<EventLogger::Layer>(layer);
  return {logger.logError(text, l),
          logger.logWarning(text, l),
          logger.logMessage(text, l),
          logger.logDebug(text, l),
          logger.logTrace(text, l),
          logger.logUnknown(l),
          logger.log(Exception(4302, false, text), l)};
}

// What writeEach() gives, in its order, with `text` inserted.
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

std::string readFile(const std::string& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

// A private rsyslogd serving a socket in a temporary folder (no other input)
// that writes each datagram as received on a line of its own, control bytes
// as #ooo.
struct Rsyslogd {
  Rsyslogd() {
    char pattern[] = "/tmp/brimsel-eventlog-XXXXXX";
    dir = mkdtemp(pattern) ? pattern : "/nonexistent";
    std::ofstream(dir + "/rsyslog.conf")
        << "global(workDirectory=\"" << dir
        << "\" maxMessageSize=\"128k\")\nmodule(load=\"imuxsock\" SysSock.Use=\"off\")\n"
        << "input(type=\"imuxsock\" Socket=\"" << dir << "/log.sock\" RateLimit.Interval=\"0\")\n"
        << "template(name=\"raw\" type=\"string\" string=\"%rawmsg%\\n\")\n"
        << "*.* action(type=\"omfile\" file=\"" << dir << "/entries\" template=\"raw\")\n";
    start();
  }
  ~Rsyslogd() {
    stop();
    fs::remove_all(dir);
  }
  bool start() {
    fs::remove(dir + "/log.sock");  // only the new daemon's socket counts as ready
    if ((pid = fork()) == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // gone with a test program that crashed
      execl("/usr/sbin/rsyslogd", "rsyslogd", "-n", "-f", (dir + "/rsyslog.conf").c_str(), "-i",
            (dir + "/pid").c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    return support::eventually([&] {
             return fs::exists(dir + "/log.sock") || waitpid(pid, nullptr, WNOHANG) != 0;
           }) &&
           fs::exists(dir + "/log.sock");
  }
  void stop() {
    if (pid > 0 && kill(pid, SIGTERM) == 0 &&
        !support::eventually([&] { return waitpid(pid, nullptr, WNOHANG) != 0; })) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    pid = -1;
  }
  // The datagrams of `source`, once there are `count` (kPatience at most).
  std::vector<std::string> entries(const std::string& source, std::size_t count) const {
    std::vector<std::string> found;
    support::eventually([&] {
      found.clear();
      std::istringstream in(readFile(dir + "/entries"));
      for (std::string line; std::getline(in, line);) {
        if (line.find(" " + source + "[") != std::string::npos) found.push_back(line);
      }
      return found.size() >= count;
    });
    return found;
  }
  // Their messages, after "<source>[<pid>]: ".
  std::vector<std::string> messages(const std::string& source, std::size_t count) const {
    std::vector<std::string> texts;
    for (const std::string& e : entries(source, count))
      texts.push_back(e.substr(e.find("]: ") + 3));
    return texts;
  }
  std::string dir;
  pid_t pid = -1;
};

Rsyslogd& daemon() {
  static Rsyslogd shared;
  return shared;
}

class Syslog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(daemon().pid, 0) << "rsyslogd (Debian package rsyslog) did not start";
    Brimsel::detail::setSyslogSocketPath(daemon().dir + "/log.sock");
  }
  void TearDown() override { Brimsel::detail::setSyslogSocketPath(""); }
  const std::string name =
      std::string("brimsel-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

// Each level admits what the ones below admit (below 0 as 0, above 3 as 3);
// the layer chooses the category. Every datagram: the priority (facility
// user, the writer's severity), a local time stamp with the day padded by a
// blank, the source and the process id.
TEST_F(Syslog, EveryWriterAtEveryLevelAndLayer) {
  const char* const categories[] = {"Dal Events", "Data Events", "Data Events",
                                    "UI Events",  "UI Events",   "Daemon Events"};
  const int severities[] = {3, 4, 6, 6, 6, 3, 4};
  for (int level = -1; level <= 4; ++level) {
    const std::string source = name + std::to_string(level + 1),
                      tag = " " + source + "[" + std::to_string(getpid()) + "]: ";
    EventLogger logger(source);
    EXPECT_EQ(logger.level(), EventLogger::LEVEL_QUIET);
    logger.setLevel(static_cast<EventLogger::Level>(level));
    const time_t before = time(nullptr);
    const std::vector<bool> admitted = {true, true, level >= 1, level >= 2, level >= 3, true, true};
    EXPECT_EQ(writeEach(logger, "t", level + 1), admitted);
    const std::vector<std::string> all = entriesOfEach(categories[level + 1], "t");
    std::vector<std::string> expected, seen;
    for (std::size_t i = 0; i < all.size(); ++i) {
      if (admitted[i])
        expected.push_back("<" + std::to_string(8 + severities[i]) + ">" + tag + all[i]);
    }
    for (std::string e : daemon().entries(source, expected.size())) {
      const std::size_t at = e.find('>') + 1;
      char stamp[32];
      bool known = false;
      for (time_t t = before; t <= time(nullptr) && !known; ++t) {
        known = e.compare(at, 15, stamp,
                          strftime(stamp, sizeof stamp, "%b %e %H:%M:%S", localtime(&t))) == 0;
      }
      EXPECT_TRUE(known) << e;
      seen.push_back(e.erase(at, 15));
    }
    EXPECT_EQ(seen, expected);  // datagrams of one socket arrive in order
  }
}

// Not formatted or expanded again; a text ends at a zero byte; a fatal
// exception is a critical error with its legend alone. A text beyond what a
// datagram holds is cut to one of exactly 65,536 bytes ending in "...".
TEST_F(Syslog, TextsPassUnchangedUpToWhatADatagramHolds) {
  EventLogger logger(name);
  const std::pair<std::string, std::string> cases[] = {
      {"first\nsecond\r\nthird", "first#012second#015#012third"},
      {"100%1 sure", "100%1 sure"},
      {std::string(4000, 'x'), std::string(4000, 'x')},
      {std::string("before\0after", 12), "before"},
      {"", ""}};
  std::vector<std::string> expected;
  for (const auto& [text, shown] : cases) {
    EXPECT_TRUE(logger.logError(text, static_cast<EventLogger::Layer>(-1)));
    expected.push_back(entriesOfEach("UI Events", shown)[0]);
  }
  EXPECT_TRUE(
      logger.log(Exception("reader.cpp", 42, 4302, true, "cannot read"), EventLogger::LAYER_UI));
  expected.push_back(
      "[UI Events 0x40020101] A Brimsel Exception Critical Error occured. Legend was: cannot read");
  EXPECT_EQ(daemon().messages(name, expected.size()), expected);
  EXPECT_TRUE(logger.logError(std::string(1u << 20, 'x') + "end", EventLogger::LAYER_UI));
  const std::string entry = daemon().entries(name, expected.size() + 1).back();
  EXPECT_EQ(entry.size(), 65536u);
  EXPECT_EQ(entry.substr(entry.size() - 6), "xxx...");
}

// Copies share the source and the level; it is closed once, after the last
// copy (the open files of the process show it).
TEST_F(Syslog, CopiesShareTheSourceUntilTheLastIsGone) {
  auto openFiles = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto before = openFiles();
  {
    auto original = std::make_unique<EventLogger>(name);
    original->setLevel(EventLogger::LEVEL_DEBUG);
    auto copy = std::make_unique<EventLogger>(*original);
    EventLogger assigned(name + "-other");
    EXPECT_TRUE(assigned.logError("own source", EventLogger::LAYER_UI));
    EXPECT_EQ(openFiles(), before + 2);
    assigned = *original;
    assigned = static_cast<const EventLogger&>(assigned);
    EXPECT_EQ(openFiles(), before + 1);
    original.reset();
    { EventLogger third(*copy); }
    EXPECT_TRUE(copy->logDebug("copy", EventLogger::LAYER_UI));
    EXPECT_FALSE(copy->logTrace("the level is copied too", EventLogger::LAYER_UI));
    copy.reset();
    EXPECT_TRUE(assigned.logDebug("assigned", EventLogger::LAYER_UI));
    EXPECT_EQ(daemon().messages(name, 2),
              std::vector<std::string>({entriesOfEach("UI Events", "copy")[3],
                                        entriesOfEach("UI Events", "assigned")[3]}));
    EXPECT_EQ(daemon().messages(name + "-other", 1),
              std::vector<std::string>({entriesOfEach("UI Events", "own source")[0]}));
  }
  EXPECT_EQ(openFiles(), before);
}

// Refused while the daemon is down; the same logger writes to a new daemon
// on the same path. A source that cannot open writes nothing at all.
TEST_F(Syslog, RefusedSourcesAndRestartedDaemons) {
  EventLogger logger(name);
  daemon().stop();
  EXPECT_FALSE(logger.logError("nobody listens", EventLogger::LAYER_UI));
  ASSERT_TRUE(daemon().start());
  EXPECT_TRUE(logger.logError("listened", EventLogger::LAYER_UI));
  EXPECT_EQ(daemon().messages(name, 1),
            std::vector<std::string>({entriesOfEach("UI Events", "listened")[0]}));
  for (const std::string& path :
       {daemon().dir + "/missing.sock", "/tmp/" + std::string(200, 'n')}) {
    Brimsel::detail::setSyslogSocketPath(path);
    EventLogger refused(name);
    refused.setLevel(EventLogger::LEVEL_TRACE);
    EXPECT_EQ(writeEach(refused, "x", 0), std::vector<bool>(7, false)) << path;
  }
}

// One file per source below a temporary store, written whole; the module's
// file, or the running executable. Names that would leave the folder and
// stores that cannot be written give false and leave nothing behind.
TEST(Registration, WritesTheFourValuesOrNothing) {
  char pattern[] = "/tmp/brimsel-registry-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string temp = pattern, root = temp + "/a/Application",
                    exe = fs::canonical("/proc/self/exe");
  Brimsel::detail::setEventSourceStoreRoot(root + "//");
  EventLogger logger("brimsel-registration");
  const std::pair<const void*, std::string> modules[] = {
      {nullptr, exe},
      {reinterpret_cast<const void*>(&writeEach), exe},
      {reinterpret_cast<const void*>(&std::terminate), "libstdc++.so"}};
  for (const auto& [module, file] : modules) {
    logger.setModuleHandle(module);
    ASSERT_TRUE(EventLogger(logger).registerEventSource("Test Source"));
    const std::string stored = readFile(root + "/Test Source");
    const std::size_t at = stored.find("EventMessageFile=") + 17;
    const std::string path = stored.substr(at, stored.find('\n', at) - at);
    EXPECT_EQ(stored,
              "# Event source registration written by the Brimsel "
              "library\nCategoryCount=5\nTypesSupported=31\n"
              "EventMessageFile=" +
                  path + "\nCategoryMessageFile=" + path + "\n");
    EXPECT_TRUE(path == file || fs::path(path).filename().string().rfind(file, 0) == 0) << path;
  }
  EXPECT_EQ(fs::status(root + "/Test Source").permissions() & fs::perms::all, fs::perms(0644));
  logger.setModuleHandle(reinterpret_cast<const void*>(0x10));
  EXPECT_FALSE(logger.registerEventSource("nowhere"));
  logger.setModuleHandle(nullptr);
  fs::create_directories(root + "/taken");
  for (const std::string& bad : {std::string(), std::string(".."), std::string("a/b"),
                                 std::string("nul\0", 4), std::string("taken")}) {
    EXPECT_FALSE(logger.registerEventSource(bad)) << bad;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 2);
  Brimsel::detail::setEventSourceStoreRoot(root + "/Test Source/below");
  EXPECT_FALSE(logger.registerEventSource("source"));
  Brimsel::detail::setEventSourceStoreRoot("");
  fs::remove_all(temp);
}
#else
// The category texts and event messages of the shipped brimsel.dll beside
// this program, in English (United States), %1 replaced where an insertion is given.
TEST(MessageTable, HoldsTheCategoryTextsAndEventMessages) {
  const HMODULE library = LoadLibraryA("brimsel.dll");
  ASSERT_NE(library, nullptr);
  const std::pair<DWORD, std::string> texts[] = {
      {1, "Dal Events"},
      {2, "Data Events"},
      {3, "Data Events"},
      {4, "UI Events"},
      {5, "Daemon Events"},
      {0x40020101, "A Brimsel Exception Critical Error occured. Legend was: disk full"},
      {0x40020102, "A SQL Exception Critical Error occured. Legend was: disk full"},
      {0x40020103, "A DAL Exception Critical Error occured. Legend was: disk full"},
      {0x40020104, "An unknown exception was caught."},
      {0x40020106, "An Error was posted. Legend was: disk full"},
      {0x80020100, "A Brimsel Exception Warning occured. Legend was: disk full"},
      {0x80020105, "A Warning was posted. Legend was: disk full"},
      {0xC0020107, "A Message was posted. Legend was: disk full"},
      {0xC0020108, "Debug info was posted. Legend was: disk full"},
      {0xC0020109, "Trace info was posted. Legend was: disk full"}};
  for (const auto& [id, text] : texts) {
    char buffer[512];
    DWORD_PTR args[1] = {reinterpret_cast<DWORD_PTR>("disk full")};
    EXPECT_EQ(std::string(buffer, FormatMessageA(
                                      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                      library, id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                      buffer, sizeof buffer, reinterpret_cast<va_list*>(args))),
              text + "\r\n")
        << std::hex << id;
  }
}

// The four values of a registered source: the running executable without a
// module, else the module's file. A handle of no module and an empty name
// are refused. Copies write while any of them holds the source.
TEST(Registration, WritesTheFourValuesOfTheModuleFileAndCopiesWrite) {
  const std::string key =
      "SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Application\\Brimsel Test Executable";
  auto logger = std::make_unique<EventLogger>("Brimsel Test Executable");
  for (HMODULE module : {HMODULE(nullptr), LoadLibraryA("brimsel.dll")}) {
    logger->setModuleHandle(module);
    ASSERT_TRUE(EventLogger(*logger).registerEventSource("Brimsel Test Executable"));
    char file[MAX_PATH * 4];
    const std::string path(file, GetModuleFileNameA(module, file, sizeof file));
    for (const auto& [name, type, expected] :
         {std::make_tuple("CategoryCount", REG_DWORD, std::string("\5\0\0\0", 4)),
          std::make_tuple("TypesSupported", REG_DWORD, std::string("\37\0\0\0", 4)),
          std::make_tuple("EventMessageFile", REG_SZ, path + '\0'),
          std::make_tuple("CategoryMessageFile", REG_SZ, path + '\0')}) {
      DWORD gotType = 0, size = 1024;
      std::string data(size, '\0');
      EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND,
                             &gotType, &data[0], &size),
                ERROR_SUCCESS);
      EXPECT_EQ(std::make_pair(gotType, data.substr(0, size)),
                std::make_pair(DWORD(type), expected))
          << name;
    }
  }
  EXPECT_FALSE(logger->registerEventSource(""));
  logger->setModuleHandle(reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x10)));
  EXPECT_FALSE(logger->registerEventSource("Brimsel Test No Module"));
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
  EXPECT_TRUE(logger->log(Exception(4302, true, "fatal"), EventLogger::LAYER_UI));
  logger->setLevel(EventLogger::LEVEL_TRACE);
  EventLogger copy(*logger), assigned("Brimsel Test Other");
  assigned = *logger;
  logger.reset();
  for (EventLogger* l : {&copy, &assigned}) {
    EXPECT_TRUE(
        l->logError("line one\r\nline two", EventLogger::Layer(-1)) &&
        l->logWarning("w", EventLogger::LAYER_DAL) && l->logMessage("m", EventLogger::LAYER_DATA) &&
        l->logDebug("d", EventLogger::LAYER_SERVICE) &&
        l->logTrace("t", EventLogger::LAYER_DAEMON) && l->logUnknown(EventLogger::LAYER_UI));
  }
}
#endif

}  // namespace
