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
  std::vector<bool> written = {logger.logError(text, l),   logger.logWarning(text, l),
                               logger.logMessage(text, l), logger.logDebug(text, l),
                               logger.logTrace(text, l),   logger.logUnknown(l)};
  for (bool fatal : {false, true})
    written.push_back(logger.log(Brimsel::Exception("a.cpp", 42, 4302, fatal, text), l));
  return written;
}

// The bytes of a Linux entry, formatted without a daemon and copied whole
// (the writer sends a long one as its parts, which the Syslog test sees
// arrive): the day padded with a blank, the other numbers with zeros; only
// the first %1 takes the insertion, which is not read again. A tag too long
// for any text is refused. (How a long insertion is cut, and that one which
// just fits is not, the Syslog test sees too.) On Windows an insertion keeps
// at most 31,839 characters, what ReportEventA takes (Wine takes any length,
// so only this shows the cut).
TEST(LongEntry, FieldsInTheirPlacesAndTextsCutToWhatThePlatformTakes) {
  Brimsel::SyslogFields f = {1, 11, 5, 9, 7, 3, "", 12345678, "Dal", 0xabcde, "%1 then %1", "<%1>"};
  Brimsel::SyslogEntry entry;
  ASSERT_TRUE(entry.format(f));
  std::string whole(entry.size(), '\0'), tag(65536, 't'), many(31841, 'x'), cut;
  EXPECT_EQ(whole.substr(0, entry.copyTo(&whole[0], whole.size())),
            "<11>Dec  5 09:07:03 [12345678]: [Dal 0x000ABCDE] <%1> then %1");
  f.tag = tag;
  EXPECT_FALSE(entry.format(f));
  EXPECT_EQ(Brimsel::platform::fitInsertion(&many[2], 31839, cut), &many[2]);  // as it is
  EXPECT_EQ(Brimsel::platform::fitInsertion(&many[0], Brimsel::platform::kMaxInsertionWindows, cut),
            many.substr(0, 31836) + "...");
}

#if !defined(_WIN32)
// A private rsyslogd serving a socket in a temporary folder (no other input),
// where loggers write from the start; it writes each datagram of the source
// brimsel-syslog as received on a line of its own, control bytes as #ooo.
struct Rsyslogd {
  Rsyslogd() {
    char pattern[] = "/tmp/brimsel-eventlog-XXXXXX";
    dir = mkdtemp(pattern) ? pattern : "/nonexistent";
    std::ofstream(dir + "/conf")
        << "$MaxMessageSize 128k\n$ModLoad imuxsock\n$OmitLocalLogging on\n$AddUnixListenSocket "
        << dir << "/log.sock\n$template raw,\"%rawmsg%\\n\"\n"
        << ":programname, isequal, \"brimsel-syslog\" " << dir << "/entries;raw\n";
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
            nullptr);
      _exit(127);
    }
    return support::eventually([&] { return fs::exists(dir + "/log.sock"); });
  }
  void stop() {
    if (pid > 0 && kill(pid, SIGKILL) == 0)
      support::eventually([&] { return waitpid(pid, nullptr, WNOHANG) != 0; });
    pid = -1;
  }
  std::string dir;
  pid_t pid = -1;
} gDaemon;

// The line of writeEach()'s event `e` from brimsel-syslog on `layer` with
// `text`, its time stamp cut out: the priority is 8 (facility user) + the
// severity, 11 for an error, 12 for a warning, 14 for information; a datagram
// beyond 65,536 bytes keeps what fits of the text, then "...".
std::string sent(int e, int layer, const std::string& text) {
  std::string line = kEvents[e].second;
  if (line.back() == '1') line.replace(line.size() - 2, 2, text);  // %1
  line = "<1" + std::string(1, "12444121"[e]) + "> brimsel-syslog[" + std::to_string(getpid()) +
         "]: [" + kCategoryOfLayer[layer + 1] + " 0x" + kEvents[e].first + "] " + line;
  return line.size() <= 65536 - 15 ? line : line.substr(0, 65536 - 15 - 3) + "...";
}

// A new logger is quiet, and calls its level filters out allocate nothing.
// Each level admits what the ones below admit (below 0 as 0, above 3 as 3);
// the layer chooses the category. Texts are not formatted or expanded again
// and end at a zero byte; an exception shows its legend alone. A text beyond
// what a datagram holds is cut to one of exactly 65,536 bytes ending in "...";
// one that just fits is kept whole. The datagrams of one socket keep their
// order. Copies share the source and the level; it is closed once, after the
// last copy (the open files of the process show it). theLogger() is the
// newest logger, never a copy, and none once that is gone. A logger is
// refused while the daemon is down and writes to a new daemon on the same
// path. A source that cannot open writes nothing.
TEST(Syslog, WritersLevelsCopiesAndRestarts) {
  const std::pair<std::string, std::string> texts[] = {
      {"first\nsecond\r\nthird", "first#012second#015#012third"},
      {"100%1 sure", "100%1 sure"},
      {std::string(4000, 'x'), std::string(4000, 'x')},
      {std::string("before\0after", 12), "before"},
      {"", ""},
      {std::string(1u << 20, 'x'), std::string(1u << 20, 'x')}};
  auto openFiles = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
  const auto before = openFiles();
  auto assigned = std::make_unique<EventLogger>("brimsel-other");
  auto original = std::make_unique<EventLogger>("brimsel-syslog");
  original->setLevel(EventLogger::LEVEL_DEBUG);
  *assigned = *original;
  EXPECT_EQ(openFiles(), before + 1);
  gDaemon.stop();  // before anything is written that it could lose
  EXPECT_FALSE(original->logDebug("nobody listens", EventLogger::LAYER_UI));
  ASSERT_TRUE(gDaemon.start()) << "rsyslogd (Debian package rsyslog) did not start";
  EXPECT_TRUE(EventLogger(*original).logDebug("copy", EventLogger::LAYER_UI));
  EXPECT_EQ(EventLogger::theLogger(), original.get());
  original.reset();
  EXPECT_EQ(EventLogger::theLogger(), nullptr);
  const std::string fits(65536 - 15 - sent(3, 4, "").size(), 'f');
  EXPECT_TRUE(assigned->logDebug(fits, EventLogger::LAYER_UI));
  assigned.reset();
  EXPECT_EQ(openFiles(), before);
  std::vector<std::string> expected = {sent(3, 4, "copy"), sent(3, 4, fits)};
  for (int level = -1; level <= 4; ++level) {
    const auto& [text, shown] = texts[level + 1];
    const auto l = EventLogger::Layer(level + 1);
    EventLogger fresh("brimsel-syslog");
    const long allocations = support::allocations();
    EXPECT_FALSE(fresh.logMessage(text, l) || fresh.logDebug(text, l) || fresh.logTrace(text, l));
    EXPECT_EQ(support::allocations(), allocations);
    fresh.setLevel(static_cast<EventLogger::Level>(level));
    const std::vector<bool> kept{true, true, level >= 1, level >= 2, level >= 3, true, true, true};
    EXPECT_EQ(writeEach(fresh, text, l), kept);
    for (int e = 0; e < 8; ++e)
      if (kept[e]) expected.push_back(sent(e, level + 1, shown));
  }
  std::vector<std::string> found;  // the complete lines, once there are enough
  support::eventually([&] {
    found.clear();
    std::ifstream in(gDaemon.dir + "/entries", std::ios::binary);
    for (std::string line; std::getline(in, line) && !in.eof();) found.push_back(line);
    return found.size() >= expected.size();
  });
  std::string recent, stamp(32, '\0');  // recent: "|Mmm dd hh:mm:ss" of the last ten seconds
  for (time_t t = time(nullptr), first = t - 10; t > first; --t)
    recent.append(stamp, 0, strftime(&stamp[0], stamp.size(), "|%b %e %H:%M:%S", localtime(&t)));
  for (std::string& e : found)  // a time stamp cut out when it is recent, else left to fail
    if (recent.find("|" + e.substr(e.find('>') + 1, 15)) != std::string::npos)
      e.erase(e.find('>') + 1, 15);
  EXPECT_EQ(found, expected);
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
  EventLogger logger("brimsel-registration");
  logger.setModuleHandle(reinterpret_cast<const void*>(0x10));
  EXPECT_FALSE(logger.registerEventSource("nowhere"));
  const std::pair<const void*, std::string> modules[] = {
      {nullptr, exe},
      {reinterpret_cast<const void*>(&writeEach), exe},
      {reinterpret_cast<const void*>(&std::terminate), "/libstdc++.so"}};
  for (const auto& [module, file] : modules) {
    logger.setModuleHandle(module);
    ASSERT_TRUE(EventLogger(logger).registerEventSource("Test Source"));
    std::ifstream in(root + "/Test Source");
    const std::string stored(std::istreambuf_iterator<char>(in), {}),  // a comment line first
        values = stored.substr(stored.find('\n') + 1), path = stored.substr(stored.rfind('=') + 1);
    EXPECT_EQ(values, "CategoryCount=5\nTypesSupported=31\nEventMessageFile=" + path +
                          "CategoryMessageFile=" + path);  // each path with its line feed
    EXPECT_NE(path.find(file), std::string::npos) << path;
  }
  EXPECT_EQ(fs::status(root + "/Test Source").permissions() & fs::perms::all, fs::perms(0644));
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
  char buf[MAX_PATH * 4];
  auto text = [&](DWORD id) {  // 0x409: English (United States)
    const DWORD flags = FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS;
    return std::string(buf, FormatMessageA(flags, library, id, 0x409, buf, sizeof buf, nullptr));
  };
  for (DWORD c = 1; c <= 5; ++c)
    EXPECT_EQ(text(c), std::string(kCategoryOfLayer[c < 5 ? c : 6]) + "\r\n") << c;
  for (const auto& [id, message] : kEvents)
    EXPECT_EQ(text(std::stoul(id, nullptr, 16)), std::string(message) + "\r\n") << id;
  const char key[] =
      "SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Application\\Brimsel Test Executable";
  auto value = [&](const char* name) {  // a number only as a DWORD, a path only as a string
    DWORD size = sizeof buf, kinds = RRF_RT_REG_DWORD | RRF_RT_REG_SZ | RRF_NOEXPAND;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key, name, kinds, nullptr, buf, &size) != 0) size = 0;
    return std::string(buf, size);
  };
  EventLogger logger("Brimsel Test Executable");
  for (HMODULE module : {HMODULE(nullptr), library}) {
    logger.setModuleHandle(module);
    ASSERT_TRUE(EventLogger(logger).registerEventSource("Brimsel Test Executable"));
    const std::string path(buf, GetModuleFileNameA(module, buf, sizeof buf));
    EXPECT_EQ(value("CategoryCount") + value("TypesSupported") + value("EventMessageFile") +
                  value("CategoryMessageFile"),
              std::string("\5\0\0\0\37\0\0\0", 8) + path + '\0' + path + '\0');
  }
  EXPECT_FALSE(logger.registerEventSource(""));
  logger.setModuleHandle(reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x10)));
  EXPECT_FALSE(logger.registerEventSource("Brimsel Test No Module"));
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
  logger.setLevel(EventLogger::LEVEL_TRACE);
  EXPECT_EQ(writeEach(logger, "a\r\nb", EventLogger::Layer(-1)), std::vector<bool>(8, true));
}
#endif

}  // namespace
