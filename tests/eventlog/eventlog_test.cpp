// SPDX-License-Identifier: MIT
// EventLogger. On every platform the bytes of a Linux entry and the cuts of
// long texts; on Linux the process-wide logger, the level filter and the
// entries as a private rsyslogd receives them, and the registration files
// below a temporary store; on Windows the messages of the shipped brimsel.dll
// and the registry values of a registered source.
#include "platform/eventlog.h"

#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "allocations.h"
#include "support.h"
#include "syslogentry.h"

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
namespace fs = std::filesystem;

namespace {

// The catalogue (identifier as the entries show it, text), the events of
// writeEach() in its order first; the logger never writes the last two, which
// the DLL holds all the same.
const std::pair<const char*, const char*> kEvents[] = {
    {"40020106", "An Error was posted. Legend was: %1"},
    {"80020105", "A Warning was posted. Legend was: %1"},
    {"C0020107", "A Message was posted. Legend was: %1"},
    {"C0020108", "Debug info was posted. Legend was: %1"},
    {"C0020109", "Trace info was posted. Legend was: %1"},
    {"40020104", "An unknown exception was caught."},
    {"80020100", "A Brimsel Exception Warning occured. Legend was: %1"},
    {"40020101", "A Brimsel Exception Critical Error occured. Legend was: %1"},
    {"40020102", "A SQL Exception Critical Error occured. Legend was: %1"},
    {"40020103", "A DAL Exception Critical Error occured. Legend was: %1"}};

// The category text of the layers -1 to 5: category n is that of layer n - 1,
// category 5 that of layer 5.
const char* const kCategoryOfLayer[] = {"UI Events", "Dal Events", "Data Events",  "Data Events",
                                        "UI Events", "UI Events",  "Daemon Events"};

// What each writer returned, in kEvents' order (a non-fatal, then a fatal
// exception last).
std::vector<bool> writeEach(EventLogger& logger, const std::string& text, EventLogger::Layer l) {
  return {logger.logError(text, l),
          logger.logWarning(text, l),
          logger.logMessage(text, l),
          logger.logDebug(text, l),
          logger.logTrace(text, l),
          logger.logUnknown(l),
          logger.log(Brimsel::Exception(4302, false, text), l),
          logger.log(Brimsel::Exception("a.cpp", 42, 4302, true, text), l)};
}

// The bytes of a Linux entry, formatted without a daemon: as parts (how the
// writer sends a long entry) and copied whole, which must agree; "refused"
// when the entry cannot be formatted.
std::string formatted(const Brimsel::SyslogFields& fields) {
  Brimsel::SyslogEntry entry;
  if (!entry.format(fields)) return "refused";
  std::string parts, whole(entry.size(), '\0');
  for (std::size_t i = 0; i < Brimsel::SyslogEntry::kPartCount; ++i) parts += entry.parts()[i];
  EXPECT_EQ(whole.substr(0, entry.copyTo(&whole[0], whole.size())), parts);
  return parts;
}

// The day padded with a blank, the other numbers with zeros; only the first
// %1 takes the insertion, which is not read again. At most 65,536 bytes: the
// insertion keeps what fits, then "...", and the text after it follows; a tag
// too long for any text is refused. On Windows an insertion keeps at most
// 31,839 characters, what ReportEventA takes (Wine takes any length, so only
// this shows the cut).
TEST(LongEntry, FieldsInTheirPlacesAndTextsCutToWhatThePlatformTakes) {
  Brimsel::SyslogFields f = {1,         11,           5,     9, 7, 3, "", 12345678, "Dal Events",
                             0xabcdeUL, "%1 then %1", "<%1>"};
  EXPECT_EQ(formatted(f), "<11>Dec  5 09:07:03 [12345678]: [Dal Events 0x000ABCDE] <%1> then %1");
  const std::string head = "<11>Dec  5 09:07:03 [12345678]: [Dal Events 0x000ABCDE] ",
                    tail = " then %1", fits(65536 - head.size() - tail.size(), 'x');
  const std::string longer = fits + "y", tag(65536, 't');
  f.insertion = fits;
  EXPECT_EQ(formatted(f), head + fits + tail);
  f.insertion = longer;
  EXPECT_EQ(formatted(f), head + fits.substr(3) + "..." + tail);
  f.tag = tag;
  EXPECT_EQ(formatted(f), "refused");
  std::string cut;
  const char* const most = &fits[fits.size() - 31839];
  EXPECT_EQ(Brimsel::platform::fitInsertion(most, 31839, cut), most);
  EXPECT_EQ(Brimsel::platform::fitInsertion(most - 2, Brimsel::platform::kMaxInsertionWindows, cut),
            fits.substr(0, 31836) + "...");
}

#if !defined(_WIN32)
// A private rsyslogd serving a socket in a temporary folder (no other input),
// where loggers write from the start; it writes each datagram as received on
// a line of its own, control bytes as #ooo.
struct Rsyslogd {
  Rsyslogd() {
    char pattern[] = "/tmp/brimsel-eventlog-XXXXXX";
    dir = mkdtemp(pattern) ? pattern : "/nonexistent";
    std::ofstream(dir + "/conf")
        << "global(maxMessageSize=\"128k\")\nmodule(load=\"imuxsock\" SysSock.Use=\"off\")\n"
        << "input(type=\"imuxsock\" Socket=\"" << dir << "/log.sock\" RateLimit.Interval=\"0\")\n"
        << "template(name=\"raw\" type=\"string\" string=\"%rawmsg%\\n\")\n"
        << "*.* action(type=\"omfile\" file=\"" << dir << "/entries\" template=\"raw\")\n";
    Brimsel::detail::setSyslogSocketPath(dir + "/log.sock");
    start();
  }
  ~Rsyslogd() {
    stop();
    fs::remove_all(dir);
  }
  // Ready once the new daemon's socket is there.
  bool start() {
    fs::remove(dir + "/log.sock");
    if ((pid = fork()) == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);  // gone with a test program that crashed
      execl("/usr/sbin/rsyslogd", "rsyslogd", "-n", "-iNONE", "-f", (dir + "/conf").c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    return support::eventually([&] { return fs::exists(dir + "/log.sock"); });
  }
  void stop() {
    if (pid > 0 && kill(pid, SIGKILL) == 0)
      support::eventually([&] { return waitpid(pid, nullptr, WNOHANG) != 0; });
    pid = -1;
  }
  // The complete lines of `source`, once there are `count` (kPatience at
  // most), each time stamp checked against the last seconds of the local
  // clock (the day padded by a blank) and cut out.
  std::vector<std::string> entries(const std::string& source, std::size_t count) const {
    std::vector<std::string> found;
    support::eventually([&] {
      found.clear();
      std::ifstream in(dir + "/entries", std::ios::binary);
      for (std::string line; std::getline(in, line) && !in.eof();)
        if (line.find(" " + source + "[") != std::string::npos) found.push_back(line);
      return found.size() >= count;
    });
    std::string recent;  // "|Mmm dd hh:mm:ss" of each of the last ten seconds
    for (time_t t = time(nullptr), first = t - 10; t > first; --t) {
      char stamp[32];
      recent.append(stamp, strftime(stamp, sizeof stamp, "|%b %e %H:%M:%S", localtime(&t)));
    }
    for (std::string& e : found) {
      EXPECT_NE(recent.find("|" + e.substr(e.find('>') + 1, 15)), std::string::npos) << e;
      e.erase(e.find('>') + 1, 15);
    }
    return found;
  }
  std::string dir;
  pid_t pid = -1;
} gDaemon;

// The line of writeEach()'s event `e` from `source` on `layer` with `text`,
// as entries() gives it: the priority is 8 (facility user) + the severity; a
// datagram beyond 65,536 bytes keeps what fits of the text, then "...".
std::string sent(const std::string& source, int e, int layer, const std::string& text) {
  const int severity[] = {3, 4, 6, 6, 6, 3, 4, 3};  // error, warning or information
  std::string message = kEvents[e].second;
  if (message.back() == '1') message.replace(message.size() - 2, 2, text);  // %1
  const std::string line = "<" + std::to_string(8 + severity[e]) + "> " + source + "[" +
                           std::to_string(getpid()) + "]: [" + kCategoryOfLayer[layer + 1] + " 0x" +
                           kEvents[e].first + "] " + message;
  return line.size() <= 65536 - 15 ? line : line.substr(0, 65536 - 15 - 3) + "...";
}

// A new logger is quiet, and calls its level filters out allocate nothing.
// Each level admits what the ones below admit (below 0 as 0, above 3 as 3);
// the layer chooses the category. Texts are not formatted or expanded again
// and end at a zero byte; an exception shows its legend alone. A text beyond
// what a datagram holds is cut to one of exactly 65,536 bytes ending in "...".
// The datagrams of one socket keep their order.
TEST(Syslog, EveryWriterLevelLayerAndText) {
  const std::pair<std::string, std::string> texts[] = {
      {"first\nsecond\r\nthird", "first#012second#015#012third"},
      {"100%1 sure", "100%1 sure"},
      {std::string(4000, 'x'), std::string(4000, 'x')},
      {std::string("before\0after", 12), "before"},
      {"", ""},
      {std::string(1u << 20, 'x'), std::string(1u << 20, 'x')}};
  std::vector<std::string> expected;
  for (int level = -1; level <= 4; ++level) {
    const auto& [text, shown] = texts[level + 1];
    EventLogger logger("brimsel-every");
    const long allocations = support::allocations();
    EXPECT_FALSE(logger.logMessage(text, EventLogger::LAYER_UI) ||
                 logger.logDebug(text, EventLogger::LAYER_UI) ||
                 logger.logTrace(text, EventLogger::LAYER_UI));
    EXPECT_EQ(support::allocations(), allocations);
    logger.setLevel(static_cast<EventLogger::Level>(level));
    const std::vector<bool> admitted = {true,       true, level >= 1, level >= 2,
                                        level >= 3, true, true,       true};
    EXPECT_EQ(writeEach(logger, text, EventLogger::Layer(level + 1)), admitted);
    for (int e = 0; e < 8; ++e)
      if (admitted[e]) expected.push_back(sent("brimsel-every", e, level + 1, shown));
  }
  EXPECT_EQ(gDaemon.entries("brimsel-every", expected.size()), expected);
}

// theLogger() is the newest logger, never a copy, and none once that is gone.
// Copies share the source and the level; it is closed once, after the last
// copy (the open files of the process show it).
TEST(Syslog, CopiesShareTheSourceUntilTheLastIsGone) {
  auto openFiles = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
  const auto before = openFiles();
  {
    EventLogger assigned("brimsel-other");
    {
      EventLogger original("brimsel-copies");
      original.setLevel(EventLogger::LEVEL_DEBUG);
      assigned = original;
      assigned = static_cast<const EventLogger&>(assigned);
      EXPECT_EQ(openFiles(), before + 1);
      EXPECT_TRUE(EventLogger(original).logDebug("copy", EventLogger::LAYER_UI));
      EXPECT_EQ(EventLogger::theLogger(), &original);
    }
    EXPECT_EQ(EventLogger::theLogger(), nullptr);
    EXPECT_TRUE(assigned.logDebug("assigned", EventLogger::LAYER_UI));
  }
  EXPECT_EQ(openFiles(), before);
}

// Refused while the daemon is down; the same logger writes to a new daemon
// on the same path. A source that cannot open writes nothing.
TEST(Syslog, RefusedSourcesAndRestartedDaemons) {
  EventLogger logger("brimsel-back");
  gDaemon.stop();
  EXPECT_FALSE(logger.logError("nobody listens", EventLogger::LAYER_UI));
  ASSERT_TRUE(gDaemon.start()) << "rsyslogd (Debian package rsyslog) did not start";
  EXPECT_TRUE(logger.logError("listened", EventLogger::LAYER_UI));
  EXPECT_EQ(gDaemon.entries("brimsel-back", 1),
            std::vector{sent("brimsel-back", 0, 4, "listened")});
  for (const std::string& path : {gDaemon.dir + "/missing.sock", "/tmp/" + std::string(200, 'n')}) {
    Brimsel::detail::setSyslogSocketPath(path);
    EventLogger refused("brimsel-refused");
    EXPECT_EQ(writeEach(refused, "x", EventLogger::LAYER_DAL), std::vector<bool>(8, false)) << path;
  }
  Brimsel::detail::setSyslogSocketPath(gDaemon.dir + "/log.sock");
}

// One file per source below a store in a temporary folder, written whole;
// the module's file, or the running executable. Names that would leave the
// folder and stores that cannot be written give false and leave nothing.
TEST(Registration, WritesTheFourValuesOrNothing) {
  const std::string root = gDaemon.dir + "/a/Application", exe = fs::canonical("/proc/self/exe");
  Brimsel::detail::setEventSourceStoreRoot(root + "//");
  const std::string head =
      "# Event source registration written by the Brimsel library\nCategoryCount=5\n"
      "TypesSupported=31\nEventMessageFile=";
  EventLogger logger("brimsel-registration");
  const std::pair<const void*, std::string> modules[] = {
      {nullptr, exe},
      {reinterpret_cast<const void*>(&writeEach), exe},
      {reinterpret_cast<const void*>(&std::terminate), "/libstdc++.so"}};
  for (const auto& [module, file] : modules) {
    logger.setModuleHandle(module);
    ASSERT_TRUE(EventLogger(logger).registerEventSource("Test Source"));
    std::ifstream in(root + "/Test Source");
    const std::string stored(std::istreambuf_iterator<char>(in), {}),
        path = stored.substr(stored.rfind('=') + 1);  // with its line feed
    EXPECT_EQ(stored, head + path + "CategoryMessageFile=" + path);
    EXPECT_NE(path.find(file), std::string::npos) << path;
  }
  EXPECT_EQ(fs::status(root + "/Test Source").permissions() & fs::perms::all, fs::perms(0644));
  logger.setModuleHandle(reinterpret_cast<const void*>(0x10));
  EXPECT_FALSE(logger.registerEventSource("nowhere"));
  logger.setModuleHandle(nullptr);
  fs::create_directories(root + "/taken");
  EXPECT_FALSE(logger.registerEventSource(std::string("nul\0", 4)));
  for (const char* bad : {"", ".", "..", "a/b", "taken"})
    EXPECT_FALSE(logger.registerEventSource(bad)) << bad;
  EXPECT_EQ(std::distance(fs::directory_iterator(root), {}), 2);
  Brimsel::detail::setEventSourceStoreRoot(root + "/Test Source/below");
  EXPECT_FALSE(logger.registerEventSource("source"));
}
#else
// The category texts and event messages of the shipped brimsel.dll beside
// this program, in English (United States). The four registry values of a
// registered source: the running executable without a module, else the
// module's file; a handle of no module and an empty name are refused. Every
// writer writes.
TEST(Registration, TheMessagesOfTheDllAndTheFourValuesOfItsFile) {
  const HMODULE library = LoadLibraryA("brimsel.dll");
  ASSERT_NE(library, nullptr);
  char buffer[MAX_PATH * 4];
  auto text = [&](DWORD id) {
    return std::string(
        buffer, FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, library,
                               id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), buffer,
                               sizeof buffer, nullptr));
  };
  for (DWORD c = 1; c <= 5; ++c)
    EXPECT_EQ(text(c), std::string(kCategoryOfLayer[c < 5 ? c : 6]) + "\r\n") << c;
  for (const auto& [id, message] : kEvents)
    EXPECT_EQ(text(std::stoul(id, nullptr, 16)), std::string(message) + "\r\n") << id;
  const std::string key =
      "SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Application\\Brimsel Test Executable";
  auto value = [&](const char* name, DWORD type) {  // empty when missing or of another type
    DWORD size = sizeof buffer;
    const bool read = RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, type | RRF_NOEXPAND,
                                   nullptr, buffer, &size) == ERROR_SUCCESS;
    return std::string(buffer, read ? size : 0);
  };
  EventLogger logger("Brimsel Test Executable");
  for (HMODULE module : {HMODULE(nullptr), library}) {
    logger.setModuleHandle(module);
    ASSERT_TRUE(EventLogger(logger).registerEventSource("Brimsel Test Executable"));
    const std::string path(buffer, GetModuleFileNameA(module, buffer, sizeof buffer));
    EXPECT_EQ(value("CategoryCount", RRF_RT_REG_DWORD) + value("TypesSupported", RRF_RT_REG_DWORD) +
                  value("EventMessageFile", RRF_RT_REG_SZ) +
                  value("CategoryMessageFile", RRF_RT_REG_SZ),
              std::string("\5\0\0\0\37\0\0\0", 8) + path + '\0' + path + '\0');
  }
  EXPECT_FALSE(logger.registerEventSource(""));
  logger.setModuleHandle(reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x10)));
  EXPECT_FALSE(logger.registerEventSource("Brimsel Test No Module"));
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
  logger.setLevel(EventLogger::LEVEL_TRACE);
  EXPECT_EQ(writeEach(logger, "a\r\nb", EventLogger::Layer(-1)), std::vector<bool>(8, true));
}
#endif

}  // namespace
