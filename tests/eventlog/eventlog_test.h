// Shared by the event-log tests: every writer called once, and on Linux a
// private rsyslogd that serves a socket in a temporary folder (no other
// input) and writes each entry it receives as one line of a file there.
// Every wait is bounded.
#ifndef BRIMSEL_TESTS_EVENTLOG_EVENTLOG_TEST_H
#define BRIMSEL_TESTS_EVENTLOG_EVENTLOG_TEST_H

#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace brimsel_test {

using Brimsel::EventLogger;

// What each writer returned, in this order: error, warning, message, debug,
// trace, unknown exception, non-fatal exception.
inline std::vector<bool> writeEach(EventLogger& logger, const std::string& text, EventLogger::Layer layer) {
  return {logger.logError(text, layer),  logger.logWarning(text, layer), logger.logMessage(text, layer),
          logger.logDebug(text, layer),  logger.logTrace(text, layer),   logger.logUnknown(layer),
          logger.log(Brimsel::Exception(4302, false, text), layer)};
}

// Waits until `done` holds, `seconds` at most; returns whether it held.
template <class Done>
bool waitUntil(Done done, int seconds = 10) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace brimsel_test

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace brimsel_test {

inline std::string readFile(const std::string& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

// One entry as the daemon parsed it; `raw` is the datagram as received.
// rsyslog writes control bytes as #ooo, so a tab separates fields safely.
struct SyslogEntry {
  int severity = -1, facility = -1;
  std::string source, procId, raw, message;
};

class SyslogDaemon {
 public:
  SyslogDaemon() {
    char pattern[] = "/tmp/brimsel-eventlog-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      error = "cannot create a temporary folder for rsyslogd";
      return;
    }
    dir = pattern;
    socketPath = dir + "/log.sock";
    start();
  }
  ~SyslogDaemon() {
    stop();
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
  }
  SyslogDaemon(const SyslogDaemon&) = delete;
  SyslogDaemon& operator=(const SyslogDaemon&) = delete;
  bool running() const { return pid_ > 0; }

  // Starts a daemon on the socket path and output file (again after stop()).
  bool start() {
    std::error_code ec;
    std::filesystem::remove(socketPath, ec);  // only the new daemon's socket counts as ready
    const std::string config = dir + "/rsyslog.conf", out = dir + "/rsyslogd.out";
    std::ofstream(config) << "global(workDirectory=\"" << dir << "\")\n"
                          << "module(load=\"imuxsock\" SysSock.Use=\"off\")\n"
                          << "input(type=\"imuxsock\" Socket=\"" << socketPath << "\" RateLimit.Interval=\"0\")\n"
                          << "template(name=\"entry\" type=\"string\" string=\"%syslogseverity%\\t%syslogfacility%"
                             "\\t%programname%\\t%procid%\\t%rawmsg%\\t%msg%\\n\")\n"
                          << "*.* action(type=\"omfile\" file=\"" << dir << "/entries.log\" template=\"entry\")\n";
    std::string args[] = {"/usr/sbin/rsyslogd", "-n", "-f", config, "-i", dir + "/rsyslogd.pid"};
    char* argv[] = {&args[0][0], &args[1][0], &args[2][0], &args[3][0], &args[4][0], &args[5][0], nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    bool ended = rc != 0;
    waitUntil([&] {
      int status = 0;
      ended = ended || waitpid(pid_, &status, WNOHANG) == pid_;
      return ended || std::filesystem::exists(socketPath);
    });
    if (!ended && std::filesystem::exists(socketPath)) return true;
    if (ended) pid_ = -1;
    stop();
    error = "rsyslogd (Debian package rsyslog) did not start within 10 s: " + readFile(out);
    return false;
  }

  // SIGTERM, SIGKILL after 5 s.
  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    if (!waitUntil([&] { return waitpid(pid_, &status, WNOHANG) != 0; }, 5)) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }

  // The entries of `source`, once there are `count` of them (10 s at most).
  std::vector<SyslogEntry> entries(const std::string& source, size_t count = 0) const {
    std::vector<SyslogEntry> found;
    waitUntil([&] {
      found.clear();
      std::istringstream in(readFile(dir + "/entries.log"));
      for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string severity, facility;
        SyslogEntry e;
        std::getline(fields, severity, '\t');
        std::getline(fields, facility, '\t');
        std::getline(fields, e.source, '\t');
        std::getline(fields, e.procId, '\t');
        std::getline(fields, e.raw, '\t');
        std::getline(fields, e.message);
        if (e.source != source) continue;
        e.severity = std::atoi(severity.c_str());
        e.facility = std::atoi(facility.c_str());
        if (!e.message.empty() && e.message[0] == ' ') e.message.erase(0, 1);  // the blank after "[PID]:"
        found.push_back(e);
      }
      return found.size() >= count;
    });
    return found;
  }

  std::string dir, socketPath, error;

 private:
  pid_t pid_ = -1;
};

inline std::vector<std::string> messages(const std::vector<SyslogEntry>& entries) {
  std::vector<std::string> texts;
  for (const SyslogEntry& e : entries) texts.push_back(e.message);
  return texts;
}

}  // namespace brimsel_test

#endif  // !_WIN32
#endif  // BRIMSEL_TESTS_EVENTLOG_EVENTLOG_TEST_H
