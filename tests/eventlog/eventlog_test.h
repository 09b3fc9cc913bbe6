// SPDX-License-Identifier: MIT
// Shared by the event-log tests: every writer called once, and on Linux a
// private rsyslogd that serves a socket in a temporary folder (no other
// input) and writes each entry it receives as one line of a file there.
// Every wait is bounded.
#ifndef BRIMSEL_TESTS_EVENTLOG_EVENTLOG_TEST_H
#define BRIMSEL_TESTS_EVENTLOG_EVENTLOG_TEST_H

#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace brimsel_test {

using Brimsel::EventLogger;
using Brimsel::Exception;

// What each writer returned, in this order: error, warning, message, debug,
// trace, unknown exception, non-fatal exception.
inline std::vector<bool> writeEach(EventLogger& logger, const std::string& text, EventLogger::Layer layer) {
  return {logger.logError(text, layer),  logger.logWarning(text, layer), logger.logMessage(text, layer),
          logger.logDebug(text, layer),  logger.logTrace(text, layer),   logger.logUnknown(layer),
          logger.log(Exception(4302, false, text), layer)};
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
#include "eventlogger_internal.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace brimsel_test {

inline std::string readFile(const std::string& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

// One entry as the daemon parsed it; `raw` is the datagram as received.
// rsyslog writes control bytes as #ooo, so a tab separates fields safely.
struct SyslogEntry {
  int severity, facility;
  std::string source, procId, raw, message;
};

class SyslogDaemon {
 public:
  SyslogDaemon() {
    char pattern[] = "/tmp/brimsel-eventlog-XXXXXX";
    dir = mkdtemp(pattern) ? pattern : "";
    socketPath = dir + "/log.sock";
    if (!dir.empty()) start();
  }
  ~SyslogDaemon() {
    stop();
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
  }
  bool running() const { return pid_ > 0; }

  // Starts a daemon on the socket path and output file (again after stop()).
  bool start() {
    std::error_code ec;
    std::filesystem::remove(socketPath, ec);  // only the new daemon's socket counts as ready
    std::ofstream(dir + "/rsyslog.conf")
        << "global(workDirectory=\"" << dir << "\")\nmodule(load=\"imuxsock\" SysSock.Use=\"off\")\n"
        << "input(type=\"imuxsock\" Socket=\"" << socketPath << "\" RateLimit.Interval=\"0\")\n"
        << "template(name=\"entry\" type=\"string\" string=\"%syslogseverity%\\t%syslogfacility%"
           "\\t%programname%\\t%procid%\\t%rawmsg%\\t%msg:2:$%\\n\")\n"  // %msg% starts with the blank after ':'
        << "*.* action(type=\"omfile\" file=\"" << dir << "/entries.log\" template=\"entry\")\n";
    const std::string command = "exec /usr/sbin/rsyslogd -n -f " + dir + "/rsyslog.conf -i " + dir +
                                "/rsyslogd.pid >" + dir + "/rsyslogd.out 2>&1";
    pid_ = fork();
    if (pid_ == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    bool ended = pid_ < 0;
    waitUntil([&] {
      int status = 0;
      ended = ended || waitpid(pid_, &status, WNOHANG) == pid_;
      return ended || std::filesystem::exists(socketPath);
    });
    if (!ended && std::filesystem::exists(socketPath)) return true;
    if (ended) pid_ = -1;
    stop();
    error = "rsyslogd (Debian package rsyslog) did not start within 10 s: " + readFile(dir + "/rsyslogd.out");
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
        std::string f[6];
        for (int i = 0; i < 6; ++i) std::getline(fields, f[i], i < 5 ? '\t' : '\n');
        if (f[2] == source) found.push_back({std::atoi(f[0].c_str()), std::atoi(f[1].c_str()), f[2], f[3], f[4], f[5]});
      }
      return found.size() >= count;
    });
    return found;
  }

  std::string dir, socketPath, error = "cannot create a temporary folder for rsyslogd";

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
