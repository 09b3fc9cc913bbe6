// A private rsyslogd for the Linux event-log tests: it listens on a socket in
// a temporary folder (no other inputs) and writes every entry it receives to
// a file there, one line per entry, with the fields the tests check. Every
// wait is bounded.
#ifndef BRIMSEL_TESTS_EVENTLOG_SYSLOG_DAEMON_H
#define BRIMSEL_TESTS_EVENTLOG_SYSLOG_DAEMON_H

#if !defined(_WIN32)

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

namespace brimsel_test {

// One entry as the daemon parsed it.
struct SyslogEntry {
  int severity = -1;
  int facility = -1;
  std::string programName;  // the source name
  std::string procId;       // the PID from "SOURCE[PID]:"
  std::string message;      // what follows "SOURCE[PID]: "
  std::string raw;          // the datagram as received (control bytes escaped)
};

class SyslogDaemon {
 public:
  // Starts rsyslogd in a new temporary folder; on failure, error() says why.
  SyslogDaemon();
  // Stops the daemon and removes its folder.
  ~SyslogDaemon();
  SyslogDaemon(const SyslogDaemon&) = delete;
  SyslogDaemon& operator=(const SyslogDaemon&) = delete;

  bool running() const { return _pid > 0 && _error.empty(); }
  const std::string& error() const { return _error; }
  const std::string& socketPath() const { return _socket; }
  const std::string& folder() const { return _dir; }

  // Stops the daemon (SIGTERM, then SIGKILL after 5 s) and starts it again on
  // the same socket path, keeping what was received so far.
  bool restart();
  void stop();

  // Every entry of `source` received so far.
  std::vector<SyslogEntry> entries(const std::string& source) const;
  // Waits until `count` entries of `source` arrived or `timeout` passed;
  // returns what arrived.
  std::vector<SyslogEntry> waitFor(const std::string& source, size_t count,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

 private:
  bool start();

  std::string _dir;
  std::string _socket;
  std::string _output;
  std::string _error;
  pid_t _pid = -1;
};

}  // namespace brimsel_test

#endif  // !_WIN32
#endif  // BRIMSEL_TESTS_EVENTLOG_SYSLOG_DAEMON_H
